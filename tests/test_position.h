// Position set-up for tests and benchmarks.
#pragma once

#include <string>

#include "types.h"

// The board cleared, the start position's values, then the program's FEN
// reader (ReadFen); its result is not looked at, so positions it refuses
// (a pawn on the last rank, the side not to move in check) still stand.
void SetupTestPosition(EngineBoard* board, const std::string& fen);

// Square index from its name ("e4"), -1 when not a square.
int SquareFromName(const std::string& name);
