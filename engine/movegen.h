// Pseudo-legal move generation and attack tests.
#pragma once

#include "types.h"

// Promotion ranks: [0] rank 7 (white promotes from it), [1] rank 2.
extern const Bitboard SeventhRank[2];

// Written by the quiescence search just before GenerateCaptures.
extern i32 QuiesceMargin;
// Start-up value of QuiesceMargin.
void ResetMoveGenState();

// Results: n >= 1 moves stored, -1 the opponent's king can be captured,
// -2 no move. Last is always set.
int GenerateMoves(EngineBoard* record);
int GenerateCaptures(EngineBoard* record);
int GenerateEvasions(EngineBoard* record);
// Evasions when the side to move is in check, else GenerateMoves.
int GenerateAll(EngineBoard* record);

void AddMove(EngineBoard* record);
void AddMovesToTargets(EngineBoard* record, Bitboard targets);

Bitboard RookAttacks(const EngineBoard* record, int square);
Bitboard BishopAttacks(const EngineBoard* record, int square);
Bitboard QueenAttacks(const EngineBoard* record, int square);

Bitboard AttackersOf(EngineBoard* record, const Position* pos, int square, u8 colour);
Bitboard FindPinner(EngineBoard* record, const Position* pos, int square, u8 colour);
// flag 1: is the side to move's king attacked; flag 0: is the other king attacked.
bool InCheck(EngineBoard* record, const Position* pos, u8 flag);
// flag 1: attacked by the opponent of the side to move; flag 0: by the side to move.
bool IsSquareAttacked(EngineBoard* record, const Position* pos, int square, u8 flag);
