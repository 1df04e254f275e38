// Position set-up and move helpers for tests and benchmarks.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "movetext.h"  // square names and coordinate move text for the tests
#include "types.h"

// The board cleared, the start position's values, then the program's FEN
// reader (ReadFen); its result is not looked at, so positions it refuses
// (a pawn on the last rank, the side not to move in check) still stand.
void SetupTestPosition(EngineBoard* board, const std::string& fen);

// The board of the squares.
Bitboard Squares(std::initializer_list<int> squares);

// The moves of the board's list that pass the search's own test: made on a
// copy, the mover's king is not left attacked. In list order.
std::vector<Move> LegalListedMoves(const EngineBoard& board);

// The legal moves of the board's position, generated as the search does
// (evasions when in check) on a copy of the board. In generated order.
std::vector<Move> LegalMovesOf(const EngineBoard& board);

// The leaves of the legal move tree below boards[0], depth >= 1 plies deep;
// boards holds depth + 1 records. Moves are tested as LegalListedMoves does.
u64 Perft(EngineBoard* boards, int depth);

// The engine's move in the game board's position as the move driver runs
// it (books and single replies aside), without a clock, up to depth plies:
// the deepening's last root-search code. startTick is the search's start.
int DeepenRootSearch(int depth, i64 startTick = 0);

// The positions the search benchmark and the search signature use.
struct BenchPosition {
    const char* name;
    const char* fen;
};
extern const BenchPosition BenchPositions[22];
