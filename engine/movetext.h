// Square names and the coordinate text of moves: "e2e4", "e7e8q".
#pragma once

#include <string>
#include <string_view>

#include "types.h"

// "a1" .. "h8" by square; [64] "none".
extern const std::string SquareNames[65];

inline char FileLetter(int sq) { return static_cast<char>('a' + (sq & 7)); }
inline char RankDigit(int sq) { return static_cast<char>('1' + (sq >> 3)); }

// The square of a lower-case file letter and a rank digit; -1 when none.
int SquareFromName(char file, char rank);
// The same for a two-letter name ("e4"); -1 for any other text.
int SquareFromName(std::string_view name);
// The file letter in either case.
int SquareFromNameAnyCase(char file, char rank);

// 'n', 'b', 'r' or 'q'; 0 for any other piece.
char PromotionLetter(int piece);
// The piece of a lower-case promotion letter; NO_PIECE for any other.
int PromotionFromLetter(char letter);

// From and to square, then the promotion letter of a promoting move.
std::string CoordinateText(Move move);

struct CoordinateMove {
    int from = -1;
    int to = -1;
    int promotion = NO_PIECE;
};
// Two square names, then an optional promotion letter (the fifth character;
// the rest is not looked at). False, and out untouched, when the first four
// characters are not two squares.
bool ParseCoordinateText(std::string_view text, CoordinateMove* out);
