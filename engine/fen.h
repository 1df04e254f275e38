// FEN text: the lenient reader and the writer.
#pragma once

#include <string>

#include "types.h"

// Results of ReadFen.
constexpr int FEN_SET_UP = 1;      // exactly one king of each colour
constexpr int FEN_KINGS_WRONG = 0; // any other number of kings
constexpr int FEN_REFUSED = -1;    // see ReadFen

// Sets pos up from FEN text. pos must hold the start position's values; the
// reader replaces the pieces, the side to move, the four castling rights,
// the en-passant square, the half-move clock, the keys, the key history,
// the king squares and the material, and leaves every other field.
//
// Characters outside "NBRQKnbrqk12345678/Pp" are dropped before and inside
// the placement; the fields after it are found by their places and by the
// letters and digits met there. Castling rights whose king and rook are
// not on their home squares are dropped, an en-passant square is kept only
// behind a pawn that can just have stepped twice, and a clock above 100
// reads as 100.
//
// FEN_REFUSED: a "/" inside a rank or a rank of more than eight squares
// (the board is then left half set up), or a pawn on the first or last
// rank, or the side not to move in check (the board is then fully set up).
int ReadFen(Position* pos, const std::string& text);

// The position as one line of FEN text, no line end: castling written in
// two halves, white's and black's, each "-" when that side has no right;
// the move number is currentPly / 2 + 1.
std::string WriteFen(const Position& pos, int currentPly);

// True for the characters the placement is read from.
bool IsPlacementCharacter(char c);
