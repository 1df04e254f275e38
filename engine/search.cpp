#include "search.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "bitboard.h"
#include "eval.h"
#include "globals.h"
#include "hash.h"
#include "host.h"
#include "makemove.h"
#include "movegen.h"
#include "ordering.h"
#include "timemanager.h"

// Set by ResetSearchState.
i64 LastPollNodeCount;
i64 QuiesceNodeCount;
i64 SearchStartTick;
double TargetTimeMs;
double SearchHardLimitMs;
i32 BestMoveStability;
i32 IterationDepth;
i32 RootAlpha;
i32 RootBeta;

void ResetSearchState() {
    LastPollNodeCount = 0;
    QuiesceNodeCount = 0;
    SearchStartTick = 0;
    TargetTimeMs = 0.0;
    SearchHardLimitMs = std::numeric_limits<double>::infinity();
    BestMoveStability = 0;
    IterationDepth = 0;
    RootAlpha = -MATE_SCORE;
    RootBeta = MATE_SCORE;
}

namespace {
// The start-up values are the reset's.
[[maybe_unused]] const bool searchStateSet = (ResetSearchState(), true);
}  // namespace

bool SearchStopped() { return StopSearch.load(std::memory_order_relaxed) && !SearchUninterruptible; }

namespace {

// An endgame the recogniser knows ends the node with its score (a draw
// scores 0), unless the side to move is in check.
inline bool RecognisedEndgame(EngineBoard* root, const Position* pos, int* score) {
    if (pos->GamePhase != PHASE_ENDGAME) return false;
    const int r = RecognizeEndgame(&root->Eval, pos);
    if (r == ENDGAME_UNKNOWN || InCheck(root, pos, 1)) return false;
    *score = (r == ENDGAME_DRAWN) ? 0 : r;
    return true;
}

void TestTime() {
    const double elapsed = static_cast<double>(Host().TickMs() - SearchStartTick);
    if (SearchTimeIsUp(elapsed, TargetTimeMs, BestMoveStability, SearchHardLimitMs)) StopSearch = true;
}

void Poll() {
    if (!Pondering) {
        if (NodeCount - LastPollNodeCount > 5000) {
            LastPollNodeCount = NodeCount;
            TestTime();
            if (InfiniteSearch) StopSearch = false;
            Host().ProcessMessages();
        }
    } else if (NodeCount - LastPollNodeCount > 1000) {
        LastPollNodeCount = NodeCount;
        Host().ProcessMessages();
    }
}

inline bool IsCapture(Move m) { return MoveCaptured(m) != 0; }

}  // namespace

int Search(EngineBoard* root, const Position* pos, int depth, int ply, int alpha, int beta) {
    if (SearchStopped()) return 0;
    if (ply >= MAX_PLY) return beta;

    int known = 0;
    if (RecognisedEndgame(root, pos, &known)) return known;

    Poll();
    if (SearchUninterruptible && StopSearch.load(std::memory_order_relaxed)) StopSearch = false;
    if (StopSearch.load(std::memory_order_relaxed)) return 0;

    const u32 keyLo = KeyLo(pos->Key);
    const u32 keyHi = KeyHi(pos->Key);
    if (ply <= 2) {
        root->HashMove = ProbeHashMove(keyLo, keyHi);
    } else {
        const int h = ProbeHash(depth, &alpha, &beta, keyLo, keyHi, &root->HashMove);
        if (h == PROBE_EXACT || h == PROBE_FAIL_LOW) return alpha;
        if (h == PROBE_FAIL_HIGH) return beta;
    }

    EngineBoard work;
    CopyPosition(&work.Pos, pos);
    const int side = work.Pos.SideToMove;
    const bool inCheck = InCheck(root, &work.Pos, 1);
    int n;
    if (inCheck) {
        n = GenerateEvasions(&work);
    } else {
        n = GenerateMoves(&work);
        work.Pos.MoveCount[side] = n;
    }

    int extension = (n == 1) ? 60 : 0;
    if (n == -1) {
        NodeCount -= 1;
        return MATE_SCORE - ply;
    }
    if (n == -2) return inCheck ? ply - MATE_SCORE : 0;
    if (pos->FiftyMoveCounter > 99) return 0;
    if (inCheck && extension == 0) extension = 45;

    const bool pvNode = (alpha == RootAlpha && beta == RootBeta) || (alpha == -RootBeta && beta == -RootAlpha);

    // Null move.
    const int rootMaterial = root->Pos.PieceMaterial[side];
    if (!pvNode && !inCheck && !work.Pos.NullMoveMade && IterationDepth > 3 && rootMaterial > 0) {
        const int nullDepth =
            (depth > 360 && rootMaterial > 800) ? depth + extension - 240 : depth + extension - 180;
        MakeNullMove(root, &work.Pos);
        const int score = nullDepth >= ONE_PLY ? -Search(root, &work.Pos, nullDepth, ply + 1, -beta, -beta + 1)
                                               : -Quiesce(root, &work.Pos, nullDepth, ply + 1, -beta, -beta + 1);
        if (SearchStopped()) return 0;
        if (score >= beta) return score;
        UnmakeNullMove(root, &work.Pos);
        if (score < -31000 && extension == 0) extension = 45;
    }

    // Internal iterative deepening for a PV node without a hash move.
    if (pvNode && root->HashMove == 0 && depth > 180 && !work.Pos.NullMoveMade) {
        const int s = Search(root, &work.Pos, depth - 180, ply, alpha, beta);
        if (s <= alpha && depth - 180 > 120) Search(root, &work.Pos, depth - 120, ply, -MATE_SCORE, beta);
        root->HashMove = ProbeHashMove(keyLo, keyHi);
    }

    // Futility base.
    bool futile = false;
    int base = 0;
    if (!pvNode && !inCheck && extension == 0 && ply > 1 && depth >= 120 && depth < 180) {
        base = EvaluateMaterial(&root->Eval, pos) + 600;
        futile = base <= alpha;
    } else if (!pvNode && ply > 1 && !inCheck && depth < 120) {
        base = EvaluateMaterial(&root->Eval, pos) + 300;
        futile = base <= alpha;
    }

    ScoreMoves(root, &work.List, side, ply, pos->LastMove, KeyLo(work.Pos.Key), KeyHi(work.Pos.Key));

    const Move previous = pos->LastMove;
    const bool previousCapture = IsCapture(previous);
    const int entryAlpha = alpha;
    Move bestMove = 0;
    bool searched = false;
    for (int i = 0; i <= work.List.Last; ++i) {
        PickBestMove(&work.List, i);
        const Move m = work.List.Moves[i];
        const int r = MakeMove(root, m, &work.Pos);
        if (r == MAKE_KING_CAPTURED) {
            // Half made: the previous move was illegal; nothing to search here.
            CopyPosition(&work.Pos, pos);
            continue;
        }

        int childDepth;
        if (extension == 0 && MovePiece(m) == PAWN && (SecondAndSeventhRanks & Bit(MoveTo(m)))) {
            childDepth = depth;
        } else if (extension == 0 && IsCapture(m) && previousCapture && MoveTo(m) == MoveTo(previous) &&
                   std::abs(PieceValue[MovePiece(m)] - PieceValue[MovePiece(previous)]) < 50) {
            childDepth = depth - 15;
        } else {
            childDepth = depth + extension - 60;
        }
        if (ply > 2 * IterationDepth) childDepth = 0;

        if (futile && PieceValue[MoveCaptured(m)] + base <= alpha && !InCheck(root, &work.Pos, 1)) {
            CopyPosition(&work.Pos, pos);
            searched = true;
            continue;
        }
        if (InCheck(root, &work.Pos, 0)) {
            CopyPosition(&work.Pos, pos);
            continue;
        }

        int score;
        if (r == MAKE_THREEFOLD || (r == MAKE_REPEATED && ply > 2)) {
            score = 0;
        } else if (pvNode && !searched) {
            score = childDepth >= ONE_PLY ? -Search(root, &work.Pos, childDepth, ply + 1, -beta, -alpha)
                                          : -Quiesce(root, &work.Pos, childDepth, ply + 1, -beta, -alpha);
        } else if (childDepth >= ONE_PLY) {
            score = -Search(root, &work.Pos, childDepth, ply + 1, -alpha - 1, -alpha);
            if (score > alpha && score < beta) score = -Search(root, &work.Pos, childDepth, ply + 1, -beta, -alpha);
        } else {
            score = -Quiesce(root, &work.Pos, 0, ply + 1, -alpha - 1, -alpha);
            if (score > alpha && score < beta) score = -Quiesce(root, &work.Pos, 0, ply + 1, -beta, -alpha);
        }

        CopyPosition(&work.Pos, pos);
        if (SearchStopped()) return 0;

        if (score > alpha) {
            bestMove = m;
            alpha = score;
            if (score >= beta) {
                UpdateHistory(root, m, depth, ply);
                if (r == MAKE_NORMAL) StoreHash(depth, score, HASH_LOWER, keyLo, keyHi, bestMove);
                return score;
            }
        }
        searched = true;
    }

    if (searched) {
        StoreHash(depth, alpha, alpha == entryAlpha ? HASH_UPPER : HASH_EXACT, keyLo, keyHi, bestMove);
        return alpha;
    }
    return inCheck ? ply - MATE_SCORE : 0;
}

int Quiesce(EngineBoard* root, const Position* pos, int depth, int ply, int alpha, int beta) {
    if (SearchStopped()) return 0;
    if (ply >= MAX_PLY) return beta;

    int known = 0;
    if (RecognisedEndgame(root, pos, &known)) return known;

    EngineBoard work;
    CopyPosition(&work.Pos, pos);
    const int side = work.Pos.SideToMove;
    bool inCheck = false;
    int n = 0;

    if (depth >= -ONE_PLY) {
        const int h = ProbeHash(0, &alpha, &beta, KeyLo(pos->Key), KeyHi(pos->Key), &root->HashMove);
        if (h == PROBE_EXACT || h == PROBE_FAIL_LOW) return alpha;
        if (h == PROBE_FAIL_HIGH) return beta;
        if (InCheck(root, &work.Pos, 1)) {
            n = GenerateEvasions(&work);
            inCheck = true;
            if (n == -2) return ply - MATE_SCORE;
        }
    }

    int standPat = 0;
    int delta = 0;
    if (!inCheck) {
        standPat = Evaluate(&root->Eval, &work.Pos, ply, alpha, beta);
        if (standPat > alpha) {
            if (standPat >= beta) return standPat;
            alpha = standPat;
        }
        const int other = side ^ 1;
        if (work.Pos.PieceMaterial[0] != 0 || work.Pos.PieceMaterial[1] != 0) {
            const int balance = (work.Pos.PawnMaterial[side] + work.Pos.PieceMaterial[side]) -
                                (work.Pos.PawnMaterial[other] + work.Pos.PieceMaterial[other]);
            delta = std::max(0, alpha - 100 - balance);
        }
        QuiesceMargin = delta;
        n = GenerateCaptures(&work);
    }

    if (n == -1) return MATE_SCORE - ply;
    if (n == -2) return standPat;

    const u64 key = depth >= -ONE_PLY ? work.Pos.Key : 0;
    ScoreMoves(root, &work.List, side, ply, work.Pos.LastMove, KeyLo(key), KeyHi(key));

    bool searched = false;
    for (int i = 0; i <= work.List.Last; ++i) {
        PickBestMove(&work.List, i);
        const Move m = work.List.Moves[i];
        if (!inCheck && PieceValue[MoveCaptured(m)] + PieceValue[MovePromotion(m)] < delta) {
            if (i == 0) return alpha;
            continue;
        }
        const int r = MakeMove(root, m, &work.Pos);
        QuiesceNodeCount += 1;
        if (r == MAKE_KING_CAPTURED || (inCheck && InCheck(root, &work.Pos, 0))) {
            CopyPosition(&work.Pos, pos);
            continue;
        }
        int score = -Quiesce(root, &work.Pos, depth - ONE_PLY, ply + 1, -alpha - 1, -alpha);
        if (score > alpha && score < beta) score = -Quiesce(root, &work.Pos, depth - ONE_PLY, ply + 1, -beta, -alpha);
        CopyPosition(&work.Pos, pos);
        if (score > alpha) {
            if (score >= beta) return score;
            alpha = score;
        }
        searched = true;
    }

    if (inCheck && !searched) return ply - MATE_SCORE;
    return alpha;
}
