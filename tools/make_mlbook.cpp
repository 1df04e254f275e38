// Builds an initial learning book from a start-book file: every move that the
// start book stores becomes a book move of the position it is played from,
// with one win, one loss and one draw, so that each of them can be chosen and
// learning moves them apart from there. It also reports whether the start
// book itself fits its table (positions and moves per position).
//
//   make_mlbook StartBook.pgn MLBook.lib

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "book.h"
#include "globals.h"
#include "startbook.h"

namespace {

constexpr u32 INITIAL_WON = 1, INITIAL_LOST = 1, INITIAL_DRAWN = 1;

using Code = std::array<u64, 3>;

struct Entry {
    BookRecord record;
    size_t part;  // the record's place among its position's records
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s StartBook.pgn MLBook.lib\n", argv[0]);
        return 2;
    }
    ResetEngineState();

    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open %s\n", argv[0], argv[1]);
        return 1;
    }

    std::map<Code, std::vector<u32>> moves;  // position code -> moves in order of appearance
    std::map<u64, std::set<Move>> startBook;  // what the start book's table will hold
    size_t dropped = 0;
    auto collect = [&](const EngineBoard& before, Move move, bool store) {
        if (!store) return true;
        startBook[before.Pos.Key].insert(move);
        BookRecord r;
        bookclass::EncodePosition(&before.Pos, &r);
        auto& list = moves[Code{r.Code[0], r.Code[1], r.Code[2]}];
        const u32 m = static_cast<u32>(move) & BOOK_MOVE_MASK;
        if (std::find(list.begin(), list.end(), m) != list.end()) return true;
        if (list.size() < BOOK_CANDIDATES)
            list.push_back(m);
        else
            ++dropped;
        return true;
    };

    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (ReadBookLine(line, collect) != BookLineResult::Done) {
            std::fprintf(stderr, "%s:%d: unreadable or illegal move: %s\n", argv[1], lineNumber, line.c_str());
            return 1;
        }
    }

    std::vector<Entry> entries;
    size_t moveCount = 0;
    for (const auto& [code, list] : moves) {
        moveCount += list.size();
        for (size_t i = 0; i < list.size(); i += 2) {
            Entry e{};
            e.record.Code[0] = code[0];
            e.record.Code[1] = code[1];
            e.record.Code[2] = code[2];
            e.part = i / 2;
            for (size_t s = 0; s < 2 && i + s < list.size(); ++s)
                e.record.Slot[s] = MakeBookSlot(list[i + s], INITIAL_WON, INITIAL_LOST, INITIAL_DRAWN);
            entries.push_back(e);
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (!BookKeyEqual(a.record, b.record)) return BookKeyLess(a.record, b.record);
        const Code ca{a.record.Code[0], a.record.Code[1], a.record.Code[2]};
        const Code cb{b.record.Code[0], b.record.Code[1], b.record.Code[2]};
        if (ca != cb) return ca < cb;
        return a.part < b.part;
    });

    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    for (const Entry& e : entries) {
        unsigned char bytes[BOOK_RECORD_BYTES];
        BookRecordToBytes(e.record, bytes);
        out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    }
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    std::printf("%zu positions, %zu moves, %zu records written to %s\n", moves.size(), moveCount, entries.size(),
                argv[2]);
    if (dropped) std::printf("%zu moves beyond %d per position left out\n", dropped, BOOK_CANDIDATES);

    size_t widest = 0;
    for (const auto& [key, set] : startBook) widest = std::max(widest, set.size());
    std::printf("start book: %zu of %d positions, at most %zu of %d moves per position\n", startBook.size(),
                START_BOOK_SLOTS, widest, START_BOOK_MOVES);
    if (startBook.size() > static_cast<size_t>(START_BOOK_SLOTS) || widest > static_cast<size_t>(START_BOOK_MOVES)) {
        std::fprintf(stderr, "%s: warning: the start book will not hold every move of %s\n", argv[0], argv[1]);
        return 3;
    }
    return 0;
}
