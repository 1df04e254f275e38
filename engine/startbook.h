// The start book: opening lines read from a text file at start-up into a
// table of positions (by hash key) with up to eight moves each.
#pragma once

#include <functional>
#include <string>

#include "types.h"

constexpr int START_BOOK_SLOTS = 1000;
constexpr int START_BOOK_MOVES = 8;

struct StartBookSlot {
    u32 KeyLo;
    u32 KeyHi;
    Move Moves[START_BOOK_MOVES];  // 0 = empty; the first 0 ends the list
};
static_assert(sizeof(StartBookSlot) == 40, "StartBookSlot must be 40 bytes");

// Filled from index 0 up without gaps; a key of 0:0 marks an empty slot.
extern StartBookSlot StartBookTable[START_BOOK_SLOTS];
// Every slot empty, as at start-up.
void ClearStartBookTable();

enum class BookLineResult {
    Done,     // the line was read to its end
    Error,    // a malformed token or a move that is not legal here
    Stopped,  // the visitor asked to stop
};

// Reads one line of the book's dialect, played from the start position. For
// every move read, visit(position before the move, the move as generated,
// whether it is to be stored) is called before the move is made; returning
// false stops the line.
using BookLineVisitor = std::function<bool(const EngineBoard& before, Move move, bool store)>;
BookLineResult ReadBookLine(const std::string& line, const BookLineVisitor& visit);

class startBookclass {
public:
    // Empties every slot.
    startBookclass();

    // Reads "StartBook.pgn" in the current directory into the table.
    void LoadFromPgn();
    // Reads the named file into the table; a missing file loads nothing, the
    // first bad token or a full table ends the load.
    void LoadFromPgn(const std::string& path);

    // Slot holding the key, else the first empty slot; START_BOOK_SLOTS when
    // the table is full without it.
    int FindSlot(u32 keyLo, u32 keyHi);

    // One of the key's stored moves chosen at random, or 0.
    Move Probe(u32 keyLo, u32 keyHi);
};
