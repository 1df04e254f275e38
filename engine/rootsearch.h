// The root search over the game position's moves, pondering on the
// opponent's time, and the texts the think window and the protocol show.
#pragma once

#include <string>

#include "types.h"

// The game's current position (its MoveList is the root move list), the
// board the ponder search works on, and the board the principal variation
// is replayed on for its text.
extern EngineBoard GameBoard;
extern EngineBoard PonderBoard;
extern EngineBoard SpareBoard;

// Best move of the last finished iteration (kept by the move driver).
extern Move PrevBestMove;
// Engine moves in a row with the fifty-move counter above 50.
extern i32 StaleHashCount;

// Results of SearchRoot.
constexpr int ROOT_SEARCHED = 1;
constexpr int ROOT_CHECKMATED = -1;  // also: a root move captured a king
constexpr int ROOT_STALEMATE = -2;
constexpr int ROOT_SINGLE_MOVE = -4;
constexpr int ROOT_FAIL_HIGH = -11;

// Searches every move of GameBoard once to depth (sixtieths of a ply) inside
// (alpha, beta). generate: build and order the root list first; otherwise
// the list the previous call left is used. display: write the think labels
// and protocol thinking lines (only when the host posts thinking). With
// result 1 the list holds the best move at index 0 with the best score and
// every other move with best - 1.
int SearchRoot(int depth, int alpha, int beta, bool generate, bool display);

// The resets at the start of a search of the game position, the engine's
// move or the ponder search: node counters, history table, the stale-hash
// count from the fifty-move counter, the start tick (ms, the host's clock)
// and the iteration depth; the search can be interrupted.
void BeginSearch(i64 startTick);

// Guesses the opponent's reply, makes it on PonderBoard and deepens a search
// of the result until stopped; leaves its results in the hash table only.
void Ponder();

// Score as the think window shows it: "0.35", "-1.20", "# in 3", "-# in 1".
std::string ScoreLabelText(int score);
// Score as a protocol thinking line carries it: centipawns, or 100000 + N
// for a mate in N moves and -100000 - N when mated in N.
std::string ProtocolScoreText(int score);
// The best move and up to 13 hash moves after it, replayed on SpareBoard
// from game, in algebraic notation separated by blanks.
std::string PrincipalVariationText(const Position& game, Move best);

// Start-up values of the globals above.
void ResetRootSearchState();
