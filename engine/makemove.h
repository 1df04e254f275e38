// Making moves on a position in place, null moves and draw rules.
#pragma once

#include "movegen.h"
#include "types.h"

constexpr int MAKE_KING_CAPTURED = -1;
constexpr int MAKE_NORMAL = 1;
constexpr int MAKE_THREEFOLD = 3;
constexpr int MAKE_FIFTY_MOVES = 4;
constexpr int MAKE_REPEATED = 5;

// Applies the move to pos; the move's parts are left in scratch->Gen.
int MakeMove(EngineBoard* scratch, Move move, Position* pos);
int MakeNullMove(EngineBoard* unused, Position* pos);
int UnmakeNullMove(EngineBoard* unused, Position* pos);
// Makes the move; whether it neither captured a king nor left the mover's
// king attacked.
inline bool MakeMoveKeepsKingSafe(EngineBoard* scratch, Move move, Position* pos) {
    return MakeMove(scratch, move, pos) != MAKE_KING_CAPTURED && !InCheck(scratch, pos, 0);
}
// CheckDraw's results.
constexpr int DRAW_NONE = 0;
constexpr int DRAW_REPETITION = 3;
constexpr int DRAW_FIFTY_MOVES = 4;
int CheckDraw(const Position* pos, int ply);

// A move of the position (one GenerateMoves lists) that does not leave the
// mover's king attacked. Leaves NodeCount as it was.
bool IsLegalMove(const Position& pos, Move move);
// The number of legal moves, and the last of them in generated order.
int LegalMoveCount(const Position& pos, Move* last);
