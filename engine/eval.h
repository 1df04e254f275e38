// Static evaluation: the frame, material and endgame knowledge, the
// positional terms and their constant tables.
#pragma once

#include <array>

#include "bitboard.h"
#include "types.h"

using i8 = std::int8_t;

// Margin of the lazy cut: 50 at the start of every engine move, raised to
// the largest piece-term swing seen during the move.
extern i32 LazyEvalMargin;
// The side the engine plays (1 black).
extern u8 ComputerColour;
// HasCastled of the root position of the running search.
extern u8 RootHasCastled[2];
// Start-up values of the three above.
void ResetEvalState();

// Fixed evaluation weights.
struct EvalWeightSet {
    i32 BlockedCPawnPenalty;
    i32 BlockedCentrePawnPenalty;
    i32 AllPawnsPenalty;
    i32 BackwardPawnPenalty;
    i32 ConnectedPassedBonus;
    i32 EarlyQueenPenalty;
    i32 TrappedBishopPenalty;
    i32 HemmedBishopPenalty;
    i32 TrappedRookPenalty;
    i32 BishopPairBonus;
    i32 ImbalanceBonus;
    i32 RookBehindPasserBonus;
    i32 RookFileBonus;
    i32 KnightOutpostBonus;
    i32 CastlingRightBonus;
    i32 CastledBonus;
};
inline constexpr EvalWeightSet EvalWeights = {4, 20, 15, 20, 30, 10, 175, 15, 40, 30, 100, 10, 5, 15, 10, 20};

// Fixed evaluation tables, laid end to end.
struct EvalTableSet {
    i32 IsolatedPenalty[9];   // isolated-pawn points, capped at 8
    i32 PassedBonus[8];       // by relative rank
    i32 DoubledPenalty[9];    // by file 1..8; [0] unused
    i32 SeventhRankBonus[8];  // rooks and queens on the seventh rank
    i32 KingAttackWeight[31]; // king-danger points 0..30
    i32 QueenMovePenalty[7];  // queen moves 0..6 (6 = six or more)
};
static_assert(sizeof(EvalTableSet) == 72 * sizeof(i32));
inline constexpr EvalTableSet EvalTables = {
    {0, 12, 20, 40, 50, 60, 70, 80, 90},
    {0, 10, 15, 30, 40, 70, 100, 0},
    {0, 15, 10, 8, 5, 5, 8, 10, 15},
    {0, 15, 40, 95, 96, 97, 98, 100},
    {0, 2, 3, 6, 12, 18, 25, 37, 50, 75, 100, 125, 150, 175, 200, 225, 250, 275, 300, 325, 350, 375, 400,
     425, 450, 475, 500, 525, 550, 575, 600},
    {0, 5, 12, 20, 25, 30, 35},
};

// Small boards of the evaluation. SeventhRank is the move generator's.
inline constexpr Bitboard Rank1 = 0x00000000000000FFULL;
inline constexpr Bitboard Rank2 = Rank1 << 8;
inline constexpr Bitboard Rank3 = Rank1 << 16;
inline constexpr Bitboard Rank6 = Rank1 << 40;
inline constexpr Bitboard Rank7 = Rank1 << 48;
inline constexpr Bitboard Rank8 = Rank1 << 56;
inline constexpr Bitboard SixthRank[2] = {Rank6, Rank3};
inline constexpr Bitboard SecondAndSeventhRanks = Rank2 | Rank7;
inline constexpr Bitboard EighthRank[2] = {Rank8, Rank1};
inline constexpr Bitboard DarkSquares = 0xAA55AA55AA55AA55ULL;
inline constexpr Bitboard LightSquares = ~DarkSquares;
inline constexpr Bitboard CentreSquares = Bit(D4) | Bit(E4) | Bit(D5) | Bit(E5);
inline constexpr Bitboard WideCentre = 0x00003C3C3C3C0000ULL;

// Piece-square tables, a1 = 0; [colour][square] with white first.
using SquareTable = std::array<i8, 64>;
extern const std::array<SquareTable, 2> PawnTable;
extern const std::array<SquareTable, 2> KnightTable;
extern const std::array<SquareTable, 2> BishopTable;
extern const std::array<SquareTable, 2> QueenTable;
extern const SquareTable RookTable;
extern const std::array<SquareTable, 2> KingDangerTable;
extern const SquareTable CentreTable;
extern const SquareTable QueensideKingTable;
extern const SquareTable KingsideKingTable;

// (term * weight) / 100, truncated toward zero. Terms are small table
// values; the product of 32-bit inputs fits. The neutral weight skips the
// arithmetic.
inline i64 ScaleTerm(i64 term, i64 weight) { return weight == 100 ? term : term * weight / 100; }

// Score from the side to move. May return exactly alpha or beta (lazy cut).
int Evaluate(EvalContext* ctx, const Position* pos, int ply, int alpha, int beta);
// Material, imbalance, trapped pieces, seventh rank and noise; side to move.
int EvaluateMaterial(EvalContext* ctx, const Position* pos);
// ENDGAME_UNKNOWN, ENDGAME_DRAWN (insufficient material), else a
// pawn-ending score from the side to move (always even).
constexpr int ENDGAME_UNKNOWN = 0;
constexpr int ENDGAME_DRAWN = 1;
int RecognizeEndgame(EvalContext* ctx, const Position* pos);
// Divides *score (side to move) for pawnless edges that do not win; returns 1.
int ScaleDrawishEndgame(EvalContext* ctx, const Position* pos, int* score);
// Bonus for driving a lone king, from side's view, never negative.
int EvaluateMopUp(EvalContext* ctx, const Position* pos, u8 side);

// Positional terms for colour c, from c's view.
int EvaluateKingSafety(EvalContext* ctx, const Position* pos, u8 c);
int EvaluatePawns(EvalContext* ctx, const Position* pos, u8 c);
int EvaluatePieces(EvalContext* ctx, const Position* pos, u8 c);
int EvaluateUncastled(EvalContext* ctx, const Position* pos, u8 c);
