// FEN positions: a game set up from text out of a file, the clipboard or the
// protocol's "setboard", and the position shown written to a file.
#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>

#include <fstream>
#include <memory>

#include "ChessGUI.h"
#include "bitboard.h"
#include "WindowLife.h"
#include "dialogs/dialogparts.h"
#include "fen.h"
#include "filewrite.h"
#include "globals.h"
#include "guiglobals.h"
#include "hash.h"
#include "messageboxes.h"
#include "rootsearch.h"
#include "xboard.h"

namespace {

// Name filters: the first lists position files whatever the case of their
// extension, the second every file.
QFileDialog* MakeFenDialog(QWidget* parent, const char* name, bool forSaving, const QString& fenFilesText) {
    return MakeFileDialog(parent, name, forSaving, {fenFilesText + " (*.FEN *.fen)", "All Files (*)"});
}

// The text from its first character of the placement alphabet on.
std::string FromPlacement(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && !IsPlacementCharacter(text[at])) ++at;
    return text.substr(at);
}

// One line of a position file, as the reader takes it: empty when the line
// is to be passed over.
std::string PositionTextOfLine(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#' || line[0] == '[') return std::string();
    if (const std::size_t fen = line.find("FEN"); fen != std::string::npos) line.erase(0, fen + 3);
    return FromPlacement(line);
}

}  // namespace

int TfrmWinRovik::SetupFromFen(const std::string& text) {
    // Tried on a board of its own first: text that sets up no position
    // leaves the game in progress as it was.
    auto trial = std::make_unique<EngineBoard>();
    SetupStartPosition(trial.get());
    if (const int verdict = ReadFen(&trial->Pos, text); verdict < FEN_SET_UP) return verdict;
    ResetGame();
    LearnResult = -2.0;
    ResetFields = 1;
    const int result = ReadFen(&GameBoard.Pos, text);
    PlyOffset = GameBoard.Pos.SideToMove == BLACK ? 1 : 0;
    CurrentPly = 0;
    PositionHistory[0] = GameBoard.Pos;
    return result;
}

void TfrmWinRovik::LoadPosition() {
    SetTimerEnabled(Timer1, false);
    // No position set up: the game stays as it was, its last-move marker too.
    const bool highlight = HighlightBeforeLoad;
    HighlightBeforeLoad = false;
    auto keepGame = [this, highlight] {
        if (highlight && !LastMoveHighlight) {
            LastMoveHighlight = true;
            DrawBoard();
        }
    };
    const std::string pending = TakePendingPositionText();
    int result = 0;
    if (!pending.empty() || ProtocolMode) {
        // Protocol mode never asks for a file: an empty "setboard" fails.
        result = SetupFromFen(pending);
    } else {
        if (!OpenDialog2) OpenDialog2 = MakeFenDialog(this, "OpenDialog2", false, "FEN Files");
        QString name;
        if (!ChooseFile(OpenDialog2, &name)) {
            keepGame();
            FinishWorker();
            return;
        }
        std::ifstream in(LocalPath(name));
        if (!in) {
            keepGame();
            FinishWorker();
            return;
        }
        // Lines are read whole, so a long one is tried once, as one line.
        std::string line;
        while (result == 0) {
            if (!std::getline(in, line)) {
                result = -1;
                break;
            }
            const std::string text = PositionTextOfLine(line);
            if (!text.empty()) result = SetupFromFen(text);
        }
    }

    if (result >= 1) {
        ResetClocks();
        GameBoard.Pos.Key = ComputeHashKey(&GameBoard.Pos);
        GameBoard.Pos.PawnKey = ComputePawnHashKey(&GameBoard.Pos);
        PositionHistory[0] = GameBoard.Pos;
        ShowGamePosition();
        FinishWorker();
        SaveGame1->setEnabled(false);
        SaveGameas1->setEnabled(false);
        PositionSetUp = 1;
        return;
    }
    keepGame();
    if (ProtocolMode)
        SendProtocolLine("tellusererror Illegal position");
    else
        ShowMessageBox(this, "Error loading position!", "Error");
    FinishWorker();
    if (ProtocolMode) ResetGame();
}

void TfrmWinRovik::btnLoadFENClick() {
    SetPendingPositionText(std::string());
    HighlightBeforeLoad = LastMoveHighlight;
    LastMoveHighlight = false;
    PostCommand(CMD_LOAD_POSITION);
}

void TfrmWinRovik::btnPasteClipboardClick() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    std::string text = clipboard ? clipboard->text().toLocal8Bit().toStdString() : std::string();
    if (const std::size_t end = text.find('\0'); end != std::string::npos) text.erase(end);
    if (text.empty()) {
        ShowMessageBox(this, "Clipboard Empty!", "Error");
        return;
    }
    SetPendingPositionText(text);
    HighlightBeforeLoad = LastMoveHighlight;
    LastMoveHighlight = false;
    PostCommand(CMD_LOAD_POSITION);
}

void TfrmWinRovik::SavePosition1Click() {
    if (!SaveDialog1) SaveDialog1 = MakeFenDialog(this, "SaveDialog1", true, "FEN files");
    QString name;
    if (!ChooseFile(SaveDialog1, &name)) return;
    if (!name.contains(".fen")) name += ".fen";
    // The file holds the whole position or what it held before.
    const std::string fen = WriteFen(GameBoard.Pos, CurrentPly);
    if (std::string reason; !ReplaceFileWhole(LocalPath(name), fen, &reason) && !ProtocolMode)
        ShowMessageBox(this, "The position could not be saved to " + name + ":\n" + QString::fromLocal8Bit(reason),
                       "Error");
}
