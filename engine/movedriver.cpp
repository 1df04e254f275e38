#include "movedriver.h"

#include <algorithm>
#include <cstdlib>

#include "eval.h"
#include "globals.h"
#include "hash.h"
#include "host.h"
#include "makemove.h"
#include "movegen.h"
#include "ordering.h"
#include "timemanager.h"

i32 LastScores[5];  // set by ResetMoveDriverState

void ClearLastScores() {
    for (auto& s : LastScores) s = 0;
}

void ResetMoveDriverState() { ClearLastScores(); }

namespace {

// The start-up values are the reset's.
[[maybe_unused]] const bool moveDriverStateSet = (ResetMoveDriverState(), true);

double ElapsedMs() { return static_cast<double>(Host().TickMs() - SearchStartTick); }

}  // namespace

Deepening BeginEngineMove(i64 startTick, int timeControlType, double budgetMs, double hardLimitMs) {
    const Position& game = GameBoard.Pos;
    ComputerColour = game.SideToMove;
    RootHasCastled[0] = game.HasCastled[0];
    RootHasCastled[1] = game.HasCastled[1];
    LazyEvalMargin = 50;
    PrevBestMove = 0;
    BestMoveStability = 0;
    StopSearch = false;
    BeginSearch(startTick);
    TargetTimeMs = budgetMs;
    SearchHardLimitMs = hardLimitMs;

    Deepening d;
    d.side = game.SideToMove;
    d.timeControlType = timeControlType;
    d.firstBudgetMs = budgetMs;
    return d;
}

bool AnswerFromBook(Deepening* d, Move bookMove) {
    MoveList& list = GameBoard.List;
    GenerateMoves(&GameBoard);
    bool found = false;
    for (int i = 0; i <= list.Last; ++i) {
        const Move m = list.Moves[i];
        // A stored move that is not legal here (a key shared by two
        // positions) is not played.
        if (MoveFrom(m) == MoveFrom(bookMove) && MoveTo(m) == MoveTo(bookMove) && IsLegalMove(GameBoard.Pos, m)) {
            list.Score[i] = 0;
            found = true;
            d->elapsedMs = ElapsedMs();
        } else {
            list.Score[i] = -100;
        }
    }
    SortMoves(&list);
    return found;
}

bool AnswerSingleReply(Deepening* d) {
    Move only = 0;
    if (LegalMoveCount(GameBoard.Pos, &only) != 1) return false;
    MoveList& list = GameBoard.List;
    GenerateAll(&GameBoard);
    for (int i = 0; i <= list.Last; ++i) {
        if (list.Moves[i] == only) SwapMoves(&list, 0, i);
        list.Score[i] = -MATE_SCORE;
    }
    d->bestScore = LastScores[0];
    list.Score[0] = d->bestScore;
    d->code = ROOT_SINGLE_MOVE;
    d->elapsedMs = ElapsedMs();
    return true;
}

bool DeepenOnce(Deepening* d) {
    MoveList& list = GameBoard.List;
    ++IterationDepth;
    if (IterationDepth == 1) {
        SearchUninterruptible = true;
        d->code = SearchRoot(ONE_PLY, d->alpha, d->beta, true, true);
        SearchUninterruptible = false;
    } else {
        d->code = SearchRoot(IterationDepth * ONE_PLY, d->alpha, d->beta, false, true);
    }
    bool keepGoing = d->code != ROOT_SINGLE_MOVE;
    const bool noMove = d->code == ROOT_CHECKMATED || d->code == ROOT_STALEMATE;

    int best = -MATE_SCORE;
    for (int i = 0; i <= list.Last; ++i) best = std::max(best, static_cast<int>(list.Score[i]));

    if (best > d->alpha && best < d->beta) {
        // A stopped iteration (every score -32000) keeps the last best score.
        if (list.Score[0] != -MATE_SCORE || IterationDepth == 1) {
            SortMoves(&list);
            d->bestScore = list.Score[0];
        }
        d->alpha = std::max(d->bestScore - 50, -MATE_SCORE);
        d->beta = std::min(d->bestScore + 50, MATE_SCORE);
    } else {
        // The same depth again, in a wider window.
        const bool failLow = best <= d->alpha;
        --IterationDepth;
        if (IterationDepth > 2) {
            BestMoveStability = -2;
            const double left = Host().ClockLeftMs(d->side);
            TargetTimeMs = BudgetAfterFailedIteration(TargetTimeMs, d->firstBudgetMs, left, d->timeControlType,
                                                      failLow);
        }
        if (std::abs(d->alpha - d->beta) > 100) {
            d->alpha = -MATE_SCORE;
            d->beta = MATE_SCORE;
        } else if (failLow) {
            d->alpha = std::max(d->alpha - 200, -MATE_SCORE);
        } else {
            d->beta = std::min(d->beta + 200, MATE_SCORE);
        }
    }

    d->elapsedMs = ElapsedMs();

    if (d->code == ROOT_FAIL_HIGH) {
        BestMoveStability = 0;
    } else if (!noMove) {
        if (list.Moves[0] == PrevBestMove) {
            ++BestMoveStability;
            if (list.Last >= 1 && list.Score[0] - list.Score[1] > 100) ++BestMoveStability;
        } else {
            BestMoveStability = 0;
        }
        PrevBestMove = list.Moves[0];
        if (IterationTimeIsUp(d->elapsedMs, TargetTimeMs, BestMoveStability, GameBoard.Pos.GamePhase))
            keepGoing = false;
        // Nothing to spend: the first iteration is all.
        if (TargetTimeMs <= 0) keepGoing = false;
        if (InfiniteSearch) keepGoing = true;
        const int a = std::abs(d->bestScore);
        if (a > 31000 && IterationDepth > MATE_SCORE - a - 2) keepGoing = false;
        if (list.Last < 1 || list.Score[1] <= -MATE_SCORE) keepGoing = false;
    }
    if (!InfiniteSearch && d->elapsedMs >= SearchHardLimitMs) keepGoing = false;
    if (StopSearch || noMove) keepGoing = false;
    return keepGoing && IterationDepth < d->lastDepth;
}

void RecordBestScore(const Deepening& d) {
    if (LearnResult == -1.0 && std::abs(d.bestScore) > 200) {
        const bool aheadIsWhite = (d.bestScore > 200) == (d.side == WHITE);
        LearnResult = aheadIsWhite ? 1.0 : 0.0;
    }
    for (int i = 4; i > 0; --i) LastScores[i] = LastScores[i - 1];
    LastScores[0] = d.bestScore;
}

void EndEngineMove() {
    StopSearch = false;
    SearchUninterruptible = false;
    if (StaleHashCount > 5) {
        ClearHashTables();
        StaleHashCount = 0;
    }
}

bool ResignRuleHolds(const ResignInputs& in) {
    if (!in.enabled || in.bestScore >= -ResignThreshold) return false;
    for (int s : in.lastScores)
        if (s >= -ResignThreshold) return false;
    if (in.lastScores[1] - in.lastScores[4] > ResignThreshold / 2) return false;
    if (in.opponentPawnMaterial == 0 && in.opponentPieceMaterial < in.queenValue) return false;
    const int type = in.timeControlType;
    if (RunsOnClocks(type)) {
        if (in.opponentLeftMs < 20000) return false;
        if ((type == TIME_BLITZ && in.blitzMinutes > 30) || (type == TIME_TOURNAMENT && in.tournamentMinutes > 30)) {
            if (in.opponentLeftMs < 90000) return false;
        } else if (type == TIME_TOURNAMENT || in.blitzBonus == 0) {
            if (in.opponentLeftMs < 30000) return false;
        }
    }
    return true;
}

bool DrawnByRule(const Position& pos) {
    if (CheckDraw(&pos, 1) != DRAW_NONE) return true;
    EvalContext context{};
    return RecognizeEndgame(&context, &pos) == ENDGAME_DRAWN;
}

bool GameHasEnded(const Position& pos) { return DrawnByRule(pos) || LegalMoveCount(pos, nullptr) == 0; }
