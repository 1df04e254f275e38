// The learning book: a file of sorted 32-byte position records, each with up
// to two moves and their won, lost and drawn counts, read for a move choice and
// rewritten in place when a game's result is learned.
#pragma once

#include <string>
#include <vector>

#include "types.h"

constexpr int BOOK_RECORD_BYTES = 32;
constexpr int BOOK_CANDIDATES = 20;

// Fields of a move slot.
constexpr u32 BOOK_MOVE_MASK = 0xFFF;  // from x 64 + to
constexpr int BOOK_WON_SHIFT = 12;     // 7 bits
constexpr int BOOK_LOST_SHIFT = 19;    // 7 bits
constexpr int BOOK_DRAWN_SHIFT = 26;   // 6 bits

constexpr u32 BookSlotMove(u32 slot) { return slot & BOOK_MOVE_MASK; }
constexpr u32 BookSlotWon(u32 slot) { return (slot >> BOOK_WON_SHIFT) & 127; }
constexpr u32 BookSlotLost(u32 slot) { return (slot >> BOOK_LOST_SHIFT) & 127; }
constexpr u32 BookSlotDrawn(u32 slot) { return (slot >> BOOK_DRAWN_SHIFT) & 63; }
constexpr u32 MakeBookSlot(u32 move, u32 won, u32 lost, u32 drawn) {
    return (move & BOOK_MOVE_MASK) | ((won & 127) << BOOK_WON_SHIFT) | ((lost & 127) << BOOK_LOST_SHIFT) |
           ((drawn & 63) << BOOK_DRAWN_SHIFT);
}

struct BookRecord {
    u64 Code[3];  // PositionCode W0..W2
    u32 Slot[2];  // BookMoveSlot, 0 = empty
};
static_assert(sizeof(BookRecord) == BOOK_RECORD_BYTES, "BookRecord must be 32 bytes");

// Record key: the code's six 32-bit words folded into two.
u32 BookKeyLo(const BookRecord& r);
u32 BookKeyHi(const BookRecord& r);
// Ascending file order: high key word first, both unsigned.
bool BookKeyLess(const BookRecord& a, const BookRecord& b);
bool BookKeyEqual(const BookRecord& a, const BookRecord& b);
bool BookCodeEqual(const BookRecord& a, const BookRecord& b);

// Little-endian file image of a record and back.
void BookRecordToBytes(const BookRecord& r, unsigned char out[BOOK_RECORD_BYTES]);
BookRecord BookRecordFromBytes(const unsigned char in[BOOK_RECORD_BYTES]);

class bookclass {
public:
    // Opens an existing file for reading and writing (read only when it cannot
    // be written, and then nothing is learned); never creates or truncates it.
    // A file that cannot be opened, or is not a regular file, finds nothing.
    explicit bookclass(const char* path);
    ~bookclass();
    bookclass(const bookclass&) = delete;
    bookclass& operator=(const bookclass&) = delete;

    // Fills the position code and clears both move slots.
    static int EncodePosition(const Position* pos, BookRecord* out);

    // A book move (from x 64 + to) for the position, or 0.
    int FindMove(Position pos);

    // Adds the game's result (from white's view: 1 white won, 0 black won,
    // else a draw) to the stored move of the position before it; 1 when a
    // record was rewritten (it reaches the disk with FinishLearning). A
    // record that cannot be written is left as it was (0), and the reason
    // kept for TakeWriteError.
    int Learn(const Position* before, short move, float result);

    // Puts the records Learn rewrote since the last call on the disk, in one
    // flush. When that fails they are put back as they were (those no other
    // program changed meanwhile), the reason is kept for TakeWriteError and
    // the result is false. Closing the book does it too.
    bool FinishLearning();

    // Why the last rewrite failed since the last call ("" when none did).
    std::string TakeWriteError();

    i32 LearnMask[2] = {0, 0};

private:
    struct Run {
        long long first = -1;  // index of the run's first record, -1 none
        long long count = 0;   // whole records in the file
    };
    Run Lookup(const BookRecord& key);
    bool ReadRecord(long long index, BookRecord* r);
    bool WriteRecord(long long index, const BookRecord& r, const BookRecord& old);

    struct Rewritten {
        long long index;
        BookRecord before, after;
    };

    int fd_ = -1;
    std::vector<Rewritten> unflushed_;
    bool writable_ = false;
    std::string writeError_;
};
