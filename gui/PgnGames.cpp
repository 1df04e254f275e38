// PGN games: the game appended to a file, a file's games listed, and a
// listed game replayed from the standard start position.
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include "ChessGUI.h"
#include "WindowLife.h"
#include "dialogs/MLOpen.h"
#include "dialogs/dialogparts.h"
#include "dialogs/saveGame.h"
#include "filewrite.h"
#include "globals.h"
#include "guiglobals.h"
#include "messageboxes.h"
#include "movegen.h"
#include "pgnreader.h"
#include "rootsearch.h"

namespace {

// Plays a move token in the game board's position, trying the moves it may
// mean in generated order: PLAY_ILLEGAL when none is legal, else PlayMove's
// result.
int PlayPgnMove(TfrmWinRovik& window, const SanMove& san) {
    GenerateMoves(&GameBoard);
    for (int i = 0; i <= GameBoard.List.Last; ++i) {
        if (!SanMatches(san, GameBoard.List.Moves[i])) continue;
        const int result = window.PlayMove(i, false, false);
        // A full record refuses every move (and has said so once).
        if (result != PLAY_ILLEGAL || window.RecordIsFull()) return result;
        GenerateMoves(&GameBoard);
    }
    return PLAY_ILLEGAL;
}

// Where a load stopped before the end of the game's text, and why.
QString StopText(int moveNumber, const std::string& word, bool illegal) {
    return "The game stops at move " + QString::number(moveNumber) + ": \"" + QString::fromLatin1(word) + "\" is " +
           (illegal ? "not a legal move here." : "no move.");
}

}  // namespace

void TfrmWinRovik::ShowMovedPieceClick() { Toggled(ShowMovedPiece); }

void TfrmWinRovik::SaveGamePgn() {
    SetTimerEnabled(Timer1, false);
    TfrmSaveGame* dialog = frmSaveGame;
    // A game set up from a position cannot be written from the start position.
    if (!dialog || PositionSetUp) {
        FinishWorker();
        return;
    }
    if (PendingCommand == CMD_SAVE_GAME_AS || ResetFields || dialog->edtFileName->text().isEmpty()) {
        if (dialog->exec() != QDialog::Accepted) {
            FinishWorker();
            return;
        }
    }
    const QString typed = dialog->edtFileName->text();
    if (typed.trimmed().isEmpty()) {
        ShowMessageBox(this, "The game was not saved: no file name was given.", "Error");
        FinishWorker();
        return;
    }
    const QString name = WithPgnExtension(typed);

    QByteArray text;
    for (const QString* tag : {&dialog->EventTag, &dialog->SiteTag, &dialog->DateTag, &dialog->WhiteTag,
                               &dialog->BlackTag, &dialog->ResultTag})
        text += tag->toLocal8Bit() + '\n';
    text += '\n';
    for (int row = 0; 2 * row < CurrentPly; ++row)
        text += PgnMoveLine(row, Cell(0, row).toStdString(), Cell(1, row).toStdString()) + '\n';

    // A game goes in whole or not at all.
    if (std::string reason; !AppendToFileWhole(LocalPath(name), std::string_view(text.constData(), text.size()),
                                               &reason) &&
                            !ProtocolMode)
        ShowMessageBox(this, "The game could not be saved to " + name + ":\n" + QString::fromLocal8Bit(reason),
                       "Error");
    FinishWorker();
}

void TfrmWinRovik::OpenGameFile() {
    SetTimerEnabled(Timer1, false);
    if (!OpenDialog1)
        OpenDialog1 = MakeFileDialog(this, "OpenDialog1", false, {"pgn Files (*.pgn *.PGN)", "All Files (*)"});
    QString name;
    if (!frmOpenGame || !ChooseFile(OpenDialog1, &name)) {
        FinishWorker();
        return;
    }
    ResetGame();
    PgnFileName = name;
    frmOpenGame->show();
    frmOpenGame->raise();
    frmOpenGame->LoadGameList(PgnFileName);
    FinishWorker();
}

void TfrmWinRovik::LoadSelectedGame() {
    SetTimerEnabled(Timer1, false);
    PgnSource source;
    if (!frmOpenGame || !source.Open(LocalPath(PgnFileName))) {
        FinishWorker();
        return;
    }
    ResetGame();
    LearnResult = -2.0;  // a loaded game is never learned from
    LastMoveHighlight = false;

    // How the load ended: at the game's end; at a game from a set-up
    // position; at a word that is no move or at a move that cannot be played
    // (both said, with the word); or where the game ends before its text
    // does (a mate, a null move, a full record). A draw nobody claimed (a
    // repetition, fifty moves) does not end it: every move the game holds is
    // played.
    enum class Ending { GameEnd, SetUp, NoMove, Illegal, Stopped };
    Ending ending = Ending::GameEnd;
    int played = PLAY_ILLEGAL;  // the result of the last move played
    std::string word;
    if (source.Seek(frmOpenGame->SelectedGameOffset)) {
        PgnGameReader game(source);
        const bool found = game.NextGame();
        if (found && game.SetsUpPosition()) {
            ending = Ending::SetUp;
        } else if (found) {
            while (game.NextMove(&word)) {
                if (IsNullMove(word)) {
                    ending = Ending::Stopped;
                    break;
                }
                SanMove san;
                if (!ReadSanMove(word, GameBoard.Pos.SideToMove, &san)) {
                    ending = Ending::NoMove;
                    break;
                }
                const int result = PlayPgnMove(*this, san);
                if (result == PLAY_ILLEGAL) {
                    // A full record has said so.
                    ending = RecordIsFull() ? Ending::Stopped : Ending::Illegal;
                    break;
                }
                played = result;
                if (played == PLAY_CHECKMATE) {
                    ending = Ending::Stopped;
                    break;
                }
            }
        }
    }

    const bool loaded = CurrentPly > 0;
    LastMoveHighlight = loaded && ShowMovedPiece->isChecked();
    if (loaded) {
        LastMoveFrom = MoveFrom(MoveCodes[CurrentPly - 1]);
        LastMoveTo = MoveTo(MoveCodes[CurrentPly - 1]);
    }
    ShowGamePosition();
    ResetClocks();
    // The position the game ends in is mate or a draw.
    if (played == PLAY_DRAWN || played == PLAY_CHECKMATE) SetTimerEnabled(tmrClock, false);
    if (ending == Ending::NoMove || ending == Ending::Illegal) {
        // With no move loaded the load failed, and says so first.
        if (!ProtocolMode)
            ShowMessageBox(this,
                           (loaded ? QString() : QString("Error loading game!\n")) +
                               StopText(CurrentPly / 2 + 1, word, ending == Ending::Illegal),
                           "Error");
    } else if (!loaded && ending != Ending::Stopped) {
        ShowMessageBox(this, "Error loading game!", "Error");
    }
    FinishWorker();
    if (loaded && ending != Ending::NoMove && ending != Ending::SetUp && frmSaveGame) {
        frmSaveGame->edtFileName->setText(PgnFileName);
        frmSaveGame->dlgSaveGame->selectFile(PgnFileName);
        ResetFields = 0;
    }
}
