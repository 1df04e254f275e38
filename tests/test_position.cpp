#include "test_position.h"

#include "bitboard.h"
#include "fen.h"
#include "globals.h"

int SquareFromName(const std::string& name) {
    if (name.size() != 2 || name[0] < 'a' || name[0] > 'h' || name[1] < '1' || name[1] > '8') return -1;
    return (name[1] - '1') * 8 + (name[0] - 'a');
}

void SetupTestPosition(EngineBoard* board, const std::string& fen) {
    *board = EngineBoard{};
    const double learn = LearnResult;  // the start position resets it
    SetupStartPosition(board);
    LearnResult = learn;
    ReadFen(&board->Pos, fen);
}
