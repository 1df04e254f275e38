// The main window in protocol mode: its start, the received commands carried
// out in order, what waiting commands do to a running search, and the peer's
// clock values.
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

#include "ChessGUI.h"
#include "dialogs/LEVELS.h"
#include "globals.h"
#include "guiglobals.h"
#include "rootsearch.h"
#include "search.h"
#include "xboard.h"

void TfrmWinRovik::FormShow() {
    if (ProtocolMode) StartProtocolMode();
    ReadSettings();
}

void TfrmWinRovik::StartProtocolMode() {
    setWindowState(windowState() | Qt::WindowMinimized);
    PendingCommand = CMD_HIDE_WINDOW;  // the first tick hides the window; commands wait for it
    SoundsOn = false;
    Panel3->hide();
    for (QMenu* menu : menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        menu->menuAction()->setVisible(false);
    Reader = std::make_unique<xboard>(true, ProtocolReaderInput ? ProtocolReaderInput : &StandardInput(),
                                      [this] { WakeGameLoop(); });
    Reader->Resume();
    SendProtocolLine("feature done=1");
}

bool TfrmWinRovik::CarryOutProtocolCommands() {
    const ProtocolSender send = [this](const std::string& line) { SendProtocolLine(line); };
    ProtocolCommand command;
    while (PendingCommand == 0 && HumanToMove && !AutoPlay && TakeProtocolCommand(&command)) {
        CommandReceivedMs = command.receivedMs;
        bool more = false;
        if (command.endOfInput)
            HandleEndOfInput();
        else
            more = HandleProtocolLine(command.line, send);
        TakeProtocolSettings();
        RunPostedCommand();
        if (!more) return true;
    }
    return false;
}

void TfrmWinRovik::StopSearchForProtocol() {
    if (!ProtocolMode) return;
    if (StopSignalled() || (Pondering ? ProtocolCommandsWaiting() : SearchInterruptWaiting())) StopSearch = true;
}

bool TfrmWinRovik::EngineMoveCancelled() const { return ProtocolMode && (StopSignalled() || EngineMoveCancelWaiting()); }

i64 TfrmWinRovik::MoveRequestTick() {
    const i64 now = TickMs();
    if (!ProtocolMode || CommandReceivedMs == 0) return now;
    const i64 age = std::max<i64>(0, ProtocolClockMs() - CommandReceivedMs);
    CommandReceivedMs = 0;
    return now - age;
}

void TfrmWinRovik::TakeProtocolSettings() {
    if (ProtocolSecondsPending) {
        ProtocolSecondsPending = false;
        LevelsDialog(this)->cboxSecs1->setEditText(QString::number(ProtocolSecondsPerMove));
        TargetTimeMs = ProtocolSecondsPerMove * 1000.0;
    }
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
