// The computer's move: the time budget, the two books, iterative deepening
// inside an aspiration window with its stop rules, the resign rule and the
// last-move window; and the ponder search on the opponent's time.
#include "ComputerMove.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "ChessGUI.h"
#include "bitboard.h"
#include "book.h"
#include "dialogs/LEVELS.h"
#include "eval.h"
#include "globals.h"
#include "guiglobals.h"
#include "hash.h"
#include "host.h"
#include "makemove.h"
#include "messageboxes.h"
#include "movegen.h"
#include "ordering.h"
#include "rootsearch.h"
#include "search.h"
#include "startbook.h"

// ------------------------------------------------------- plain functions

double MoveBudgetMs(const MoveBudgetInputs& in) {
    const int type = in.timeControlType;
    const double used = in.usedMs;
    const double left = in.leftMs;
    double t = in.previousBudgetMs;

    if (type == 1) {
        t = in.secondsValid ? in.secondsPerMove * 1000.0 : 1000.0;
    } else if (type == 2) {
        const double bonus = in.blitzBonus * 1000.0;
        const double allowance = static_cast<double>(in.ownMoves) * bonus + in.blitzMinutes * 60000.0 - used;
        // With nothing left the clock rules below decide.
        t = 0;
        if (allowance > 0) {
            t = bonus + allowance / 60;
            if (allowance / 6 <= t) t = allowance / 8;
            if (allowance <= 5000)
                t = 50;
            else if (allowance <= 15000)
                t *= 0.5;
        }
    } else if (type == 4) {
        // A period of no moves would divide by zero; it counts as one move.
        const double moves = std::max(in.tournamentMoves, 1);
        const double period = in.tournamentMinutes * 60000.0;
        const double a = in.ownMoves;
        if (a < moves) {
            t = (period - used) / (moves - a + 6);
        } else if (in.tournamentRest != 0) {
            t = (period + in.tournamentRest * 60000.0 - used) * 0.02;
        } else {
            const double k = std::floor(a / moves) + 1;
            t = (k * period - used) / (k * moves - a + 6);
        }
    }

    const bool clockRules = type == 2 || type == 4;
    if (clockRules) {
        if (left <= 1000)
            t = 50;
        else if (left <= 10000)
            t *= 0.25;
        else if (left <= 20000)
            t *= 0.5;
        else if (left <= 30000)
            t = t * 3 * 0.25;
    }
    if (!std::isfinite(t)) t = 1000;
    t = t * in.speedPercent * 0.01;
    // After the speed factor, so no personality can budget beyond the clock.
    if (clockRules && left * 0.2 < t) t = left * 0.1;
    return t;
}

double MoveHardLimitMs(bool protocolMode, int timeControlType, bool secondsValid, int secondsPerMove,
                       double leftMs) {
    if (timeControlType == 2 || timeControlType == 4) return std::max(0.0, leftMs - 500.0) * 0.25;
    if (timeControlType == 1 && protocolMode && secondsValid) {
        const double limit = std::max(secondsPerMove, 0) * 1000.0;
        return std::max(0.0, limit - std::max(200.0, limit * 0.02));
    }
    return std::numeric_limits<double>::infinity();
}

bool ResignRuleHolds(const ResignInputs& in) {
    if (!in.enabled || in.bestScore >= -ResignThreshold) return false;
    for (int s : in.lastScores)
        if (s >= -ResignThreshold) return false;
    if (in.lastScores[1] - in.lastScores[4] > ResignThreshold / 2) return false;
    if (in.opponentPawnMaterial == 0 && in.opponentPieceMaterial < in.queenValue) return false;
    const int type = in.timeControlType;
    if (type == 2 || type == 4) {
        if (in.opponentLeftMs < 20000) return false;
        if ((type == 2 && in.blitzMinutes > 30) || (type == 4 && in.tournamentMinutes > 30)) {
            if (in.opponentLeftMs < 90000) return false;
        } else if (type == 4 || in.blitzBonus == 0) {
            if (in.opponentLeftMs < 30000) return false;
        }
    }
    return true;
}

QString LastScoreText(int score) {
    if (std::abs(score) < 31000) {
        if (score == 0) return "0";
        return QLocale(QLocale::English).toString(score * 0.01, 'f', 2);
    }
    const int n = (MATE_SCORE - std::abs(score)) / 2;
    return (score > 0 ? "# in " : "-# in ") + QString::number(n);
}

QString NodeCountText(double value) { return QLocale(QLocale::English).toString(value, 'f', 0); }

// ------------------------------------------------------------- helpers

namespace {

// A move of the position that does not leave the mover's king attacked.
// Leaves the node counter as it was.
bool IsLegalMove(const Position& pos, Move move) {
    EngineBoard scratch;
    scratch.Pos = pos;
    const i64 nodes = NodeCount;
    const int r = MakeMove(&scratch, move, &scratch.Pos);
    NodeCount = nodes;
    return r != MAKE_KING_CAPTURED && !InCheck(&scratch, &scratch.Pos, 0);
}

// Generates the board's moves (evasions when in check); the generator's result.
int GenerateAll(EngineBoard* board) {
    return InCheck(board, &board->Pos, 1) ? GenerateEvasions(board) : GenerateMoves(board);
}

// Number of legal moves, and the last of them.
int LegalMoveCount(const Position& pos, Move* last) {
    EngineBoard scratch;
    scratch.Pos = pos;
    if (GenerateAll(&scratch) < 1) return 0;
    int count = 0;
    for (int i = 0; i <= scratch.List.Last; ++i) {
        if (!IsLegalMove(pos, scratch.List.Moves[i])) continue;
        ++count;
        if (last) *last = scratch.List.Moves[i];
    }
    return count;
}

// Repetition, the fifty-move rule or too little material to mate.
bool DrawnByRule(const Position& pos) {
    if (CheckDraw(&pos, 1) != 0) return true;
    EvalContext context{};
    return RecognizeEndgame(&context, &pos) == 1;
}

bool GameHasEnded(const Position& pos) { return DrawnByRule(pos) || LegalMoveCount(pos, nullptr) == 0; }

// The engine's host while a move is searched: the window's, and a stop once
// the hard limit has passed (the first iteration still runs to its end).
class DeadlineHost : public EngineHost {
public:
    DeadlineHost(EngineHost& window, i64 start, double limitMs) : w(window), start(start), limit(limitMs) {}
    i64 TickMs() override { return w.TickMs(); }
    void ProcessMessages() override {
        w.ProcessMessages();
        if (!InfiniteSearch && !SearchUninterruptible && static_cast<double>(w.TickMs() - start) >= limit)
            StopSearch = true;
    }
    void SetThinkLabel(ThinkLabel label, const std::string& text) override { w.SetThinkLabel(label, text); }
    void SendProtocolLine(const std::string& line) override { w.SendProtocolLine(line); }
    bool ProtocolMode() override { return w.ProtocolMode(); }
    bool PostThinking() override { return w.PostThinking(); }
    int CurrentPly() override { return w.CurrentPly(); }
    i64 MoveStartTick() override { return w.MoveStartTick(); }

private:
    EngineHost& w;
    i64 start;
    double limit;
};

class HostScope {
public:
    explicit HostScope(EngineHost* host) : previous(Host()) { SetEngineHost(host); }
    ~HostScope() { SetEngineHost(&previous); }
    HostScope(const HostScope&) = delete;
    HostScope& operator=(const HostScope&) = delete;

private:
    EngineHost& previous;
};

// Iteration stop: the elapsed time passed the share of the budget that the
// best move's stability allows.
bool IterationTimeIsUp(double elapsed, double target, int stability, int gamePhase) {
    struct Row {
        int above;
        double factor;
    };
    static constexpr Row Endgame[] = {{10, 0.3}, {9, 0.4}, {8, 0.5}, {5, 0.6}, {4, 0.7}, {0, 0.8}};
    static constexpr Row Other[] = {{9, 0.2}, {7, 0.3}, {6, 0.4}, {5, 0.5}, {2, 0.6}, {1, 0.7}, {0, 0.8}};
    if (elapsed > 2.0 * target) return true;
    if (gamePhase == 2) {
        for (const Row& row : Endgame)
            if (stability > row.above && elapsed > row.factor * target) return true;
    } else {
        for (const Row& row : Other)
            if (stability > row.above && elapsed > row.factor * target) return true;
    }
    return false;
}

// The name of the personality in use.
QString PersonalityName() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == "frmPersonality")
            if (const auto* box = top->findChild<QComboBox*>("cboxName")) return box->currentText();
    return "Morlaquin";
}

TfrmLevels* LevelsDialog(QWidget* owner) {
    if (frmLevels == nullptr) frmLevels = new TfrmLevels(owner);
    return frmLevels;
}

// The game commands that must wait while the computer thinks.
void EnableGameItems(QObject* window, bool enabled) {
    auto set = [window, enabled](const char* name) {
        if (auto* item = window->findChild<QAction*>(name)) item->setEnabled(enabled);
    };
    set("NewGame1");
    set("OpenGame1");
    if (!PositionSetUp) {
        set("SaveGame1");
        set("SaveGameas1");
    }
    for (const char* name : {"btnLoadFEN", "btnPasteClipboard", "GotoStartofGame1", "GoToEndofGame1", "SavePosition1"})
        set(name);
}

bool ItemChecked(QObject* window, const char* name) {
    const auto* item = window->findChild<QAction*>(name);
    return item && item->isChecked();
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
    // Preparation.
    Position& game = GameBoard.Pos;
    const int side = game.SideToMove;
    ComputerColour = static_cast<u8>(side);
    RootHasCastled[0] = game.HasCastled[0];
    RootHasCastled[1] = game.HasCastled[1];
    LazyEvalMargin = 50;
    StaleHashCount = game.FiftyMoveCounter > 50 ? StaleHashCount + 1 : 0;
    PrevBestMove = 0;
    BestMoveStability = 0;
    SetTimerEnabled(Timer1, false);
    NodeCount = 0;
    LastPollNodeCount = 0;
    QuiesceNodeCount = 0;
    EngineIsBlack = side;
    HumanToMove = false;
    StopSearch = false;
    SearchUninterruptible = false;
    EnableGameItems(this, false);
    if (CurrentPly == 0) {
        MoveStartTick = TickMs();
        SetTimerEnabled(tmrClock, true);
    }
    lblStatus->setText("  Thinking...");
    if (CurrentPly < 400) PositionHistory[CurrentPly] = game;
    for (auto& row : HistoryTable)
        for (auto& h : row) h = 0;
    SearchStartTick = MoveRequestTick();
    IterationDepth = 0;
    int alpha = -MATE_SCORE;
    int beta = MATE_SCORE;

    // Time budget.
    const int type = TimeControlType;
    MoveBudgetInputs budget;
    budget.timeControlType = type;
    bool secondsValid = false;
    int seconds = 0;
    if (type == 1) {
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
    if (type == 2 || type == 4) UpdateClocks();
    budget.leftMs = side == WHITE ? WhiteLeftMs : BlackLeftMs;
    budget.speedPercent = SpeedPercent;
    budget.previousBudgetMs = TargetTimeMs;
    TargetTimeMs = MoveBudgetMs(budget);
    const double firstBudget = TargetTimeMs;
    const double hardLimit = MoveHardLimitMs(ProtocolMode, type, secondsValid, seconds, budget.leftMs);

    MoveList& list = GameBoard.List;
    int code = ROOT_SEARCHED;
    int bestScore = 0;
    double elapsed = 0;
    bool answered = false;  // book move or single reply, no search

    // Books.
    if (UseBook && CurrentPly < 60 && !PositionSetUp) {
        int b = StartBook ? StartBook->Probe(KeyLo(game.Key), KeyHi(game.Key)) : 0;
        if (b == 0 && Book) b = Book->FindMove(game);
        if (b != 0) {
            lblScore->setText("IN BOOK");
            lblBestMove->setText(" ");
            lblCurrentMove->setText(" ");
            lblDepth->setText(" ");
            GenerateMoves(&GameBoard);
            for (int i = 0; i <= list.Last; ++i) {
                const Move m = list.Moves[i];
                // A stored move that is not legal here (a key shared by two
                // positions) is not played.
                if (MoveFrom(m) == MoveFrom(b) && MoveTo(m) == MoveTo(b) && IsLegalMove(game, m)) {
                    list.Score[i] = 0;
                    answered = true;
                    elapsed = static_cast<double>(TickMs() - SearchStartTick);
                } else {
                    list.Score[i] = -100;
                }
            }
            SortMoves(&list);
        }
    }

    // A single legal reply is played at once; its score is the last one found.
    Move only = 0;
    if (!answered && LegalMoveCount(game, &only) == 1) {
        GenerateAll(&GameBoard);
        for (int i = 0; i <= list.Last; ++i) {
            if (list.Moves[i] == only) SwapMoves(&list, 0, i);
            list.Score[i] = -MATE_SCORE;
        }
        bestScore = LastScores[0];
        list.Score[0] = bestScore;
        code = ROOT_SINGLE_MOVE;
        answered = true;
        elapsed = static_cast<double>(TickMs() - SearchStartTick);
    }

    // Iterative deepening.
    if (!answered) {
        DeadlineHost deadline(Host(), SearchStartTick, hardLimit);
        HostScope scope(&deadline);
        bool keepGoing = true;
        bool announced = false;
        while (keepGoing && IterationDepth < MAX_PLY) {
            ++IterationDepth;
            if (IterationDepth == 1) {
                SearchUninterruptible = true;
                code = SearchRoot(ONE_PLY, alpha, beta, true, true);
                SearchUninterruptible = false;
            } else {
                code = SearchRoot(IterationDepth * ONE_PLY, alpha, beta, false, true);
            }
            if (code == ROOT_SINGLE_MOVE) keepGoing = false;
            const bool noMove = code == ROOT_CHECKMATED || code == ROOT_STALEMATE;
            if (noMove && !announced) {
                announced = true;
                if (ProtocolMode) {
                    if (code == ROOT_STALEMATE)
                        SendProtocolLine("1/2-1/2 {Stalemate}");
                    else
                        SendProtocolLine(side == WHITE ? "0-1 {Black mates}" : "1-0 {White mates}");
                } else {
                    ShowMessageBox(this, code == ROOT_STALEMATE ? "Stalemate!!" : "Checkmate!!", "Result");
                    lblStatus->setText(" ");
                }
            }

            int best = -MATE_SCORE;
            for (int i = 0; i <= list.Last; ++i) best = std::max(best, static_cast<int>(list.Score[i]));

            if (best > alpha && best < beta) {
                if (list.Score[0] != -MATE_SCORE || IterationDepth == 1) {
                    SortMoves(&list);
                    bestScore = list.Score[0];
                }
                alpha = bestScore - 50 <= -MATE_SCORE ? -MATE_SCORE : bestScore - 50;
                beta = bestScore + 50 >= MATE_SCORE ? MATE_SCORE : bestScore + 50;
            } else {
                const bool failLow = best <= alpha;
                --IterationDepth;
                if (IterationDepth > 2) {
                    BestMoveStability = -2;
                    UpdateClocks();
                    const double left = side == WHITE ? WhiteLeftMs : BlackLeftMs;
                    if (left * 0.2 > TargetTimeMs || type == 1) {
                        if (failLow && (type == 2 || type == 4)) TargetTimeMs *= 1.5;
                        if (TargetTimeMs > 3 * firstBudget) TargetTimeMs = 3 * firstBudget;
                    }
                }
                if (std::abs(alpha - beta) > 100) {
                    alpha = -MATE_SCORE;
                    beta = MATE_SCORE;
                } else if (failLow) {
                    alpha = alpha - 200 <= -MATE_SCORE ? -MATE_SCORE : alpha - 200;
                } else {
                    beta = beta + 200 >= MATE_SCORE ? MATE_SCORE : beta + 200;
                }
            }

            elapsed = static_cast<double>(TickMs() - SearchStartTick);

            if (code == ROOT_FAIL_HIGH) {
                BestMoveStability = 0;
            } else if (!noMove) {
                if (list.Moves[0] == PrevBestMove) {
                    ++BestMoveStability;
                    if (list.Last >= 1 && list.Score[0] - list.Score[1] > 100) ++BestMoveStability;
                } else {
                    BestMoveStability = 0;
                }
                PrevBestMove = list.Moves[0];
                if (IterationTimeIsUp(elapsed, TargetTimeMs, BestMoveStability, game.GamePhase)) keepGoing = false;
                // Nothing to spend: the first iteration is all.
                if (TargetTimeMs <= 0) keepGoing = false;
                if (InfiniteSearch) keepGoing = true;
                const int a = std::abs(bestScore);
                if (a > 31000 && IterationDepth > MATE_SCORE - a - 2) keepGoing = false;
                if (list.Last < 1 || list.Score[1] <= -MATE_SCORE) keepGoing = false;
            }
            if (!InfiniteSearch && elapsed >= hardLimit) keepGoing = false;
            if (StopSearch || noMove || EngineMoveCancelled()) keepGoing = false;
        }
    }

    // Result for book learning.
    if (LearnResult == -1.0 && std::abs(bestScore) > 200) {
        const bool aheadIsWhite = (bestScore > 200) == (side == WHITE);
        LearnResult = aheadIsWhite ? 1.0 : 0.0;
    }

    // The last scores, newest first, and the resign rule.
    for (int i = 4; i > 0; --i) LastScores[i] = LastScores[i - 1];
    LastScores[0] = bestScore;
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
    const bool cancelled = EngineMoveCancelled();
    const bool noMove = code == ROOT_CHECKMATED || code == ROOT_STALEMATE;
    if (!(ProtocolMode && HumanVsHuman) && !cancelled && !noMove) {
        const Move best = list.Moves[0];
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
            if (ItemChecked(this, "ShowMovedPiece")) LastMoveHighlight = true;
            LastMoveFrom = MoveFrom(best);
            LastMoveTo = MoveTo(best);
            PlayMove(0, true, false);
            if (resigns) {
                ShowMessageBox(this, "Congratulations, " + PersonalityName() + " resigns", "Morlaquin");
                for (auto& s : LastScores) s = 0;
            }
        }
    }

    // Finish.
    StopSearch = false;
    SearchUninterruptible = false;
    HumanToMove = true;
    SetTimerEnabled(Timer1, true);
    EnableGameItems(this, true);
    if (StaleHashCount > 5) {
        ClearHashTables();
        StaleHashCount = 0;
    }
}

// ------------------------------------------------------------ pondering

void TfrmWinRovik::Ponder() {
    // A finished game has nothing to think about.
    if (GameHasEnded(GameBoard.Pos)) return;
    ::Ponder();
}
