// Constant bit tables, bit primitives, the start position and material count.
#pragma once

#include <bit>
#include <string>

#include "types.h"

extern const int KnightSteps[8];
extern const int KingSteps[8];
extern int OrthogonalSteps[7][4];
extern int DiagonalSteps[7][4];
extern int RelativeRank[2][64];
extern int FileOf[64];

extern Bitboard SetMask[64];
extern Bitboard ClearMask[64];
extern i16 BitIndexTable[65536];
extern i16 PopCountTable[65536];
extern Bitboard FileMask[10];
extern Bitboard QueensideFiles;
extern Bitboard KingsideFiles;
extern Bitboard PawnAttacks[2][64];
extern Bitboard KingZone[64];
extern Bitboard PassedPawnMask[2][64];
extern Bitboard PawnSquare[2][64][2];
extern Bitboard RookTrapMasks[4][3];
extern Bitboard KnightAttacks[64];
extern Bitboard KingAttacks[64];
extern Bitboard RookRays[64][4];
extern Bitboard BishopRays[64][4];
extern Bitboard RookAttacksEmpty[64];
extern Bitboard BishopAttacksEmpty[64];
extern Bitboard PawnPushes[64][2][2];
extern Bitboard Between[64][64];
extern i32 Direction[64][64];

extern std::string VersionText;

// King distance: max of file and rank difference.
int Distance(int a, int b);

// Highest set bit of the lowest non-empty 16-bit quarter; -1 for an empty board.
inline int BitIndex(Bitboard b) {
    if (b == 0) return -1;
    const int quarter = std::countr_zero(b) >> 4;
    const unsigned value = static_cast<unsigned>((b >> (16 * quarter)) & 0xFFFFu);
    return 16 * quarter + std::bit_width(value) - 1;
}

// Square of the lowest set bit, cleared from the board. The board is not empty.
inline int PopBit(Bitboard& b) {
    const int sq = std::countr_zero(b);
    b &= b - 1;
    return sq;
}

inline int PopCount(Bitboard b) { return std::popcount(b); }

// The board holding the one square; SetMask holds the same values.
constexpr Bitboard Bit(int sq) { return Bitboard{1} << sq; }

// Every square the colour's pieces stand on.
inline Bitboard OccupiedBy(const Position* pos, int colour) {
    const Bitboard* b = pos->Pieces[colour];
    return b[PAWN] | b[KNIGHT] | b[BISHOP] | b[ROOK] | b[QUEEN] | b[KING];
}

// The builders, in the order BuildBoardTables calls them.
void InitMasksAndKeys();
void InitBitIndexTable();
void InitPopCountTable();
void InitAttackTables();
// The masks, the next keys of the key generator (the move ordering's tables
// cleared and the C generator seeded from the clock on the way), the bit
// tables and the attack tables.
void BuildBoardTables();

void SetupStartPosition(EngineBoard* board);
void ComputeMaterial(Position* pos);
