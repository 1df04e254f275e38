// Engine-wide globals: piece values and personality weights, search and game
// flags, and the start-up and reset entry points.
#pragma once

#include <atomic>
#include <string>

#include "types.h"

// Piece values by code; PawnValue..QueenValue hold the same five values.
extern i32 PieceValue[8];
extern i32 PawnValue, KnightValue, BishopValue, RookValue, QueenValue;

// Personality weights (percent, 100 neutral) and the noise width.
extern i32 WeightPositional, WeightKingSafety, WeightPassed, WeightMobility;
extern i32 SpeedPercent;
extern i32 BlunderPercent;

// Move ordering state.
extern i32 HistoryTable[64][64];
extern i32 Killer1[MAX_PLY];
extern i32 Killer2[MAX_PLY];

// Search control; other threads and message handlers raise these.
extern std::atomic<bool> StopSearch;
extern std::atomic<bool> SearchUninterruptible;
extern std::atomic<bool> Pondering;
extern std::atomic<bool> InfiniteSearch;

extern std::atomic<u8> UseHashTable;

// Nodes visited by make-move since the search began.
extern i64 NodeCount;

// Book learning result from white's side: -1 none yet, -2 done or not wanted.
extern double LearnResult;

// The C runtime's generator, non-negative 31-bit numbers.
void EngineSeedRandom(unsigned seed);
int EngineRandom();

// Builds the texts and values and allocates the hash tables.
void InitEngineGlobals();
void FreeEngineGlobals();

// Start-up values of the globals above.
void ResetGlobalState();

// Brings every engine global back to its start-up value (tables rebuilt,
// hash tables reallocated at their initial sizes and cleared).
void ResetEngineState();
