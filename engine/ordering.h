// Move ordering (ordering scores, best-first selection, killers and history)
// and short algebraic move text.
#pragma once

#include <string>

#include "types.h"

// Exchanges move and score of entries i and j.
void SwapMoves(MoveList* list, int i, int j);

// Brings the best-scored entry among i..Last to index i; of equal scores the
// earliest stays.
void PickBestMove(MoveList* list, int i);

// Selection sort of the whole list, best first; ties keep their order of
// appearance at each step.
void SortMoves(MoveList* list);

// Fills Score for entries 0..Last. A non-zero key first refreshes
// root->HashMove from the hash table. previous is the move that led to the
// position (0 none).
void ScoreMoves(EngineBoard* root, MoveList* list, int side, int ply, Move previous, u32 keyLo,
                u32 keyHi);

// Records a quiet move that caused a cut-off: killers for the ply and the
// from-to history. depth is in sixtieths of a ply. root is not used.
void UpdateHistory(EngineBoard* root, Move move, int depth, int ply);

// Short algebraic text of a move of the list ("!" when it is not in the
// list); check and mate marks are left to the caller.
std::string MoveToSan(Move move, const MoveList* list);
