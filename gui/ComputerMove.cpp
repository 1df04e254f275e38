// The computer's move as the window runs it: the game commands frozen, the
// time budget from the time control and the clocks, the two books, the
// engine's deepening, the announcements, the last-move window and the move
// played or resigned; and the ponder search on the opponent's time.
#include "ComputerMove.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <iterator>

#include "ChessGUI.h"
#include "book.h"
#include "dialogs/LEVELS.h"
#include "dialogs/Personality.h"
#include "globals.h"
#include "guiglobals.h"
#include "hash.h"
#include "messageboxes.h"
#include "movedriver.h"
#include "ordering.h"
#include "rootsearch.h"
#include "startbook.h"
#include "timemanager.h"

// ------------------------------------------------------- last-move texts

QString LastScoreText(int score) { return score == 0 ? "0" : QString::fromStdString(ScoreLabelText(score)); }

QString NodeCountText(double value) { return QLocale(QLocale::English).toString(value, 'f', 0); }

// ------------------------------------------------------------- helpers

namespace {

// The name of the personality in use.
QString PersonalityName() { return frmPersonality ? frmPersonality->cboxName->currentText() : "Morlaquin"; }

// The game commands that must wait while the computer thinks.
void EnableGameItems(TfrmWinRovik& window, bool enabled) {
    QList<QAction*> items = {window.NewGame1, window.OpenGame1};
    if (!PositionSetUp) items << window.SaveGame1 << window.SaveGameas1;
    items << window.btnLoadFEN << window.btnPasteClipboard << window.GotoStartofGame1 << window.GoToEndofGame1
          << window.SavePosition1;
    for (QAction* item : items) item->setEnabled(enabled);
}

}  // namespace

// ------------------------------------------------------------ the driver

void TfrmWinRovik::ComputerMove() {
    // Nothing would be played: the protocol's force mode or a cancel that
    // waits behind this move's command.
    if ((ProtocolMode && HumanVsHuman) || EngineMoveCancelled()) {
        StopSearch = false;
        SearchUninterruptible = false;
        HumanToMove = true;
        return;
    }
    const i64 start = MoveRequestTick();
    const Position& game = GameBoard.Pos;
    const int side = game.SideToMove;
    SetTimerEnabled(Timer1, false);
    EngineIsBlack = side;
    HumanToMove = false;
    EnableGameItems(*this, false);
    if (CurrentPly == 0) {
        MoveStartTick = start;
        SetTimerEnabled(tmrClock, true);
    }
    lblStatus->setText("  Thinking...");
    if (CurrentPly < 400) PositionHistory[CurrentPly] = game;

    // Time budget.
    const int type = TimeControlType;
    MoveBudgetInputs budget;
    budget.timeControlType = type;
    bool secondsValid = false;
    int seconds = 0;
    if (type == TIME_PER_MOVE) {
        seconds = LevelsDialog(this)->cboxSecs1->currentText().trimmed().toInt(&secondsValid, 10);
        budget.secondsValid = secondsValid;
        budget.secondsPerMove = seconds;
    }
    budget.blitzMinutes = BlitzMinutes;
    budget.blitzBonus = BlitzBonus;
    budget.tournamentMoves = TournamentMoves;
    budget.tournamentMinutes = TournamentMinutes;
    budget.tournamentRest = TournamentRest;
    {
        int white = 0, black = 0;
        MovesPerSide(CurrentPly, ClockStartPly, &white, &black);
        budget.ownMoves = side == WHITE ? white : black;
    }
    budget.usedMs = side == WHITE ? WhiteUsedMs : BlackUsedMs;
    if (RunsOnClocks(type)) UpdateClocks();
    budget.leftMs = side == WHITE ? WhiteLeftMs : BlackLeftMs;
    budget.speedPercent = SpeedPercent;
    budget.previousBudgetMs = TargetTimeMs;
    Deepening search = BeginEngineMove(start, type, MoveBudgetMs(budget),
                                       MoveHardLimitMs(ProtocolMode, type, secondsValid, seconds, budget.leftMs));

    // Books, then a single legal reply, else the search.
    bool answered = false;
    if (UseBook && CurrentPly < 60 && !PositionSetUp) {
        Move b = StartBook ? StartBook->Probe(KeyLo(game.Key), KeyHi(game.Key)) : 0;
        if (b == 0 && Book) b = Book->FindMove(game);
        if (b != 0) {
            lblScore->setText("IN BOOK");
            lblBestMove->setText(" ");
            lblCurrentMove->setText(" ");
            lblDepth->setText(" ");
            answered = AnswerFromBook(&search, b);
        }
    }
    if (!answered) answered = AnswerSingleReply(&search);
    if (!answered) {
        bool more = true;
        while (more) {
            more = DeepenOnce(&search);
            if (search.code == ROOT_CHECKMATED || search.code == ROOT_STALEMATE) {
                if (ProtocolMode) {
                    if (search.code == ROOT_STALEMATE)
                        SendProtocolLine("1/2-1/2 {Stalemate}");
                    else
                        SendProtocolLine(side == WHITE ? "0-1 {Black mates}" : "1-0 {White mates}");
                } else {
                    ShowMessageBox(this, search.code == ROOT_STALEMATE ? "Stalemate!!" : "Checkmate!!", "Result");
                    lblStatus->setText(" ");
                }
            }
            if (EngineMoveCancelled()) more = false;
        }
    }
    RecordBestScore(search);
    const int bestScore = search.bestScore;

    ResignInputs resign;
    resign.enabled = ResignEnabled;
    resign.bestScore = bestScore;
    std::copy(std::begin(LastScores), std::end(LastScores), resign.lastScores);
    resign.opponentPawnMaterial = game.PawnMaterial[1 - side];
    resign.opponentPieceMaterial = game.PieceMaterial[1 - side];
    resign.queenValue = QueenValue;
    resign.timeControlType = type;
    resign.opponentLeftMs = side == WHITE ? BlackLeftMs : WhiteLeftMs;
    resign.blitzMinutes = BlitzMinutes;
    resign.blitzBonus = BlitzBonus;
    resign.tournamentMinutes = TournamentMinutes;
    const bool resigns = ResignRuleHolds(resign);

    // Output.
    const bool noMove = search.code == ROOT_CHECKMATED || search.code == ROOT_STALEMATE;
    if (!(ProtocolMode && HumanVsHuman) && !EngineMoveCancelled() && !noMove) {
        const MoveList& list = GameBoard.List;
        const Move best = list.Moves[0];
        const double elapsed = search.elapsedMs;
        const QString san = QString::fromStdString(MoveToSan(best, &list));
        lblStatus->setText("   Moved: " + san);
        lblLastMove->setText(san);
        lblLastDepth->setText(QString::number(IterationDepth));
        lblLastNodes->setText(NodeCountText(static_cast<double>(NodeCount)));
        lblLastTime->setText(FormatClockTime(elapsed, false));
        lblLastNS->setText(elapsed > 0 ? NodeCountText(static_cast<double>(NodeCount) / elapsed * 1000) : " ");
        lblLastScore->setText(LastScoreText(bestScore));

        if (ProtocolMode) {
            if (resigns)
                SendProtocolLine(side == WHITE ? "0-1 {Morlaquin resigns}" : "1-0 {Morlaquin resigns}");
            else
                PlayMove(0, false, true);
        } else {
            if (ShowMovedPiece->isChecked()) LastMoveHighlight = true;
            LastMoveFrom = MoveFrom(best);
            LastMoveTo = MoveTo(best);
            PlayMove(0, true, false);
            if (resigns) {
                ShowMessageBox(this, "Congratulations, " + PersonalityName() + " resigns", "Morlaquin");
                ClearLastScores();
            }
        }
    }

    // Finish.
    EndEngineMove();
    HumanToMove = true;
    SetTimerEnabled(Timer1, true);
    EnableGameItems(*this, true);
}

// ------------------------------------------------------------ pondering

void TfrmWinRovik::Ponder() {
    // A finished game has nothing to think about.
    if (GameHasEnded(GameBoard.Pos)) return;
    ::Ponder();
}
