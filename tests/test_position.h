// A small FEN reader for tests and benchmarks.
#pragma once

#include <string>

#include "types.h"

// Placement, side, castling, en passant and the fifty-move counter; keys and
// material are computed from scratch.
void SetupTestPosition(EngineBoard* board, const std::string& fen);

// Square index from its name ("e4"), -1 when not a square.
int SquareFromName(const std::string& name);
