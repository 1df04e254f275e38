// The main window in protocol mode: its start, the values the reader thread
// leaves for the GUI thread, and the peer's clock values.
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>

#include "ChessGUI.h"
#include "dialogs/LEVELS.h"
#include "globals.h"
#include "guiglobals.h"
#include "rootsearch.h"
#include "search.h"
#include "xboard.h"

void TfrmWinRovik::FormShow() {
    if (ProtocolMode) StartProtocolMode();
    ApplyStartPersonality();
}

void TfrmWinRovik::StartProtocolMode() {
    setWindowState(windowState() | Qt::WindowMinimized);
    PendingCommand = CMD_HIDE_WINDOW;  // the first tick hides the window; the reader waits for it
    Panel3->hide();
    for (QMenu* menu : menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        menu->menuAction()->setVisible(false);
    Reader = std::make_unique<xboard>(true, ProtocolSender(::SendProtocolLine),
                                      ProtocolReaderInput ? ProtocolReaderInput : &StandardInput());
    Reader->Resume();
    SendProtocolLine("feature done=1");
}

bool TfrmWinRovik::EngineMoveCancelled() const { return EngineMoveCancels.load() != CancelsAtTick; }

void TfrmWinRovik::TakeProtocolSettings() {
    if (ProtocolSecondsPending.exchange(false)) {
        const int seconds = ProtocolSecondsPerMove;
        if (frmLevels == nullptr) frmLevels = new TfrmLevels(this);
        frmLevels->cboxSecs1->setEditText(QString::number(seconds));
        TargetTimeMs = seconds * 1000.0;
    }
    if (ProtocolDrawReported.exchange(false) && LearnResult == -1.0) LearnResult = 0.5;
}

void TfrmWinRovik::ApplyProtocolTimes() {
    if (XboardTimeMs == 0.0 && XboardOtimMs == 0.0 && HeldEngineTimeMs == 0.0 && HeldOpponentTimeMs == 0.0)
        return;
    UpdateClocks();  // charges the running time and takes over what is still pending
    const bool engineBlack = GameBoard.Pos.SideToMove == BLACK;
    auto set = [this](bool black, double ms) {
        double& used = black ? BlackUsedMs : WhiteUsedMs;
        double& left = black ? BlackLeftMs : WhiteLeftMs;
        used = left - ms + used;
        left = ms;
    };
    if (HeldEngineTimeMs != 0.0) set(engineBlack, HeldEngineTimeMs);
    if (HeldOpponentTimeMs != 0.0) set(!engineBlack, HeldOpponentTimeMs);
    HeldEngineTimeMs = HeldOpponentTimeMs = 0.0;
    ShowClocks(BlackLeftMs, WhiteLeftMs);
}
