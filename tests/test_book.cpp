#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bitboard.h"
#include "book.h"
#include "engine_fixture.h"
#include "flushwatch.h"
#include "globals.h"
#include "makemove.h"
#include "movegen.h"
#include "startbook.h"
#include "unprivileged.h"

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<unsigned char>;

constexpr u32 Mv(int from, int to) { return static_cast<u32>(from * 64 + to); }

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ToBytes(const std::vector<BookRecord>& records) {
    Bytes bytes;
    for (const BookRecord& r : records) {
        unsigned char b[BOOK_RECORD_BYTES];
        BookRecordToBytes(r, b);
        bytes.insert(bytes.end(), b, b + BOOK_RECORD_BYTES);
    }
    return bytes;
}

BookRecord RecordOf(const Position& pos, u32 slot0, u32 slot1 = 0) {
    BookRecord r;
    bookclass::EncodePosition(&pos, &r);
    r.Slot[0] = slot0;
    r.Slot[1] = slot1;
    return r;
}

void SortByKey(std::vector<BookRecord>& records) {
    std::stable_sort(records.begin(), records.end(), BookKeyLess);
}

// A record for each position, its one move first + the position's index
// with the counts given, in key order.
std::vector<BookRecord> SortedRecords(const std::vector<Position>& positions, u32 first, u32 won, u32 lost,
                                      u32 drawn) {
    std::vector<BookRecord> records;
    for (size_t i = 0; i < positions.size(); ++i)
        records.push_back(RecordOf(positions[i], MakeBookSlot(first + static_cast<u32>(i), won, lost, drawn)));
    SortByKey(records);
    return records;
}

// The position of the record, nullptr when none of them is.
const Position* PositionOf(const std::vector<Position>& positions, const BookRecord& record) {
    for (const Position& p : positions)
        if (BookCodeEqual(RecordOf(p, 0), record)) return &p;
    return nullptr;
}

u32 HighFlagsWord(const BookRecord& r) { return static_cast<u32>(r.Code[2] >> 32); }

// Positions reached by random legal play from the start, all with different codes.
std::vector<Position> RandomPositions(size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<Position> out;
    std::set<std::vector<u64>> codes;
    auto board = std::make_unique<EngineBoard>();
    auto copy = std::make_unique<EngineBoard>();
    while (out.size() < count) {
        SetupStartPosition(board.get());
        const int plies = 1 + static_cast<int>(rng() % 30);
        for (int ply = 0; ply < plies; ++ply) {
            if (GenerateMoves(board.get()) < 1) break;
            std::vector<Move> legal;
            for (int i = 0; i <= board->List.Last; ++i) {
                *copy = *board;
                if (MakeMoveKeepsKingSafe(copy.get(), board->List.Moves[i], &copy->Pos))
                    legal.push_back(board->List.Moves[i]);
            }
            if (legal.empty()) break;
            MakeMove(board.get(), legal[rng() % legal.size()], &board->Pos);
        }
        BookRecord r;
        bookclass::EncodePosition(&board->Pos, &r);
        if (codes.insert({r.Code[0], r.Code[1], r.Code[2]}).second) out.push_back(board->Pos);
    }
    return out;
}

class BookTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // A folder the unprivileged user can reach too, for the read-only case.
        std::string folder = MakeReachableFolder("booktest");
        if (folder.empty()) {
            folder = (fs::temp_directory_path() / "booktest.XXXXXX").string();
            ASSERT_NE(mkdtemp(folder.data()), nullptr);
        }
        dir_ = folder;
        path_ = dir_ / "MLBook.lib";
        start_ = std::make_unique<EngineBoard>();
        SetupStartPosition(start_.get());
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, ec);
        fs::remove_all(dir_, ec);
    }

    // The move FindMove picks from a start-position book with these slots, for
    // each of the seeds.
    std::vector<int> Picks(const std::vector<u32>& slots, const std::vector<unsigned>& seeds) {
        std::vector<BookRecord> records;
        for (size_t i = 0; i < slots.size(); i += 2)
            records.push_back(RecordOf(start_->Pos, slots[i], i + 1 < slots.size() ? slots[i + 1] : 0));
        WriteAll(path_, ToBytes(records));
        bookclass book(path_.c_str());
        std::vector<int> picks;
        for (unsigned seed : seeds) {
            EngineSeedRandom(seed);
            picks.push_back(book.FindMove(start_->Pos));
        }
        return picks;
    }

    fs::path dir_;
    fs::path path_;
    std::unique_ptr<EngineBoard> start_;
};

TEST_F(BookTest, StartPositionCodeIsLaidOutBitByBit) {
    BookRecord r;
    EXPECT_EQ(bookclass::EncodePosition(&start_->Pos, &r), 1);
    EXPECT_EQ(r.Slot[0], 0u);
    EXPECT_EQ(r.Slot[1], 0u);
    // a1 white rook 1,1,1,0,1 then b1 white knight 1,1,0,1,1, least significant bit first.
    EXPECT_EQ(r.Code[0] & 0x3FF, 0x17u | (0x1Bu << 5));
    // 32 empty squares, 16 pawns of 3 bits, 12 pieces of 5 and 4 of 6 bits: 164
    // stream bits, the last one h8's black rook (1,1,1,0,0) ending at bit 163.
    // The high word holds stream bits 160-163 (1,1,0,0) and the flags: white
    // to move (bit 10) and all four castling rights (bits 11-14).
    EXPECT_EQ(HighFlagsWord(r), 0x7C03u);
    EXPECT_EQ((r.Code[2] >> 31) & 1, 1u);  // stream bit 159: h8 rook's first bit

    // After 1.e4: black to move, en passant square in bits 4-9.
    auto board = std::make_unique<EngineBoard>(*start_);
    MakeMove(board.get(), MakeMoveCode(E2, E4, PAWN), &board->Pos);
    ASSERT_NE(board->Pos.EpSquare, -1);
    bookclass::EncodePosition(&board->Pos, &r);
    EXPECT_EQ(HighFlagsWord(r) & ~0xFu, (static_cast<u32>(board->Pos.EpSquare) << 4) | 0x7800u);
}

TEST_F(BookTest, RecordBytesAreLittleEndianAndKeysFoldSixWords) {
    BookRecord r{};
    r.Code[0] = 0x0807060504030201ULL;
    r.Code[1] = 0x100F0E0D0C0B0A09ULL;
    r.Code[2] = 0x1817161514131211ULL;
    r.Slot[0] = 0x1C1B1A19u;
    r.Slot[1] = 0x201F1E1Du;
    unsigned char b[BOOK_RECORD_BYTES];
    BookRecordToBytes(r, b);
    for (int i = 0; i < BOOK_RECORD_BYTES; ++i) EXPECT_EQ(b[i], i + 1) << i;
    const BookRecord back = BookRecordFromBytes(b);
    EXPECT_TRUE(BookCodeEqual(back, r));
    EXPECT_EQ(back.Slot[0], r.Slot[0]);
    EXPECT_EQ(back.Slot[1], r.Slot[1]);
    EXPECT_EQ(BookKeyLo(r), 0x04030201u ^ 0x0C0B0A09u ^ 0x14131211u);
    EXPECT_EQ(BookKeyHi(r), 0x08070605u ^ 0x100F0E0Du ^ 0x18171615u);
}

TEST_F(BookTest, EncodeSortAndFindRoundTrip) {
    // The positions with the smallest and largest keys stay out of the file, so
    // the search also runs off both ends.
    std::vector<Position> positions = RandomPositions(62, 7);
    std::sort(positions.begin(), positions.end(), [](const Position& a, const Position& b) {
        return BookKeyLess(RecordOf(a, 0), RecordOf(b, 0));
    });
    ASSERT_TRUE(BookKeyLess(RecordOf(positions.front(), 0), RecordOf(positions[1], 0)));
    ASSERT_TRUE(BookKeyLess(RecordOf(positions[60], 0), RecordOf(positions.back(), 0)));
    std::vector<BookRecord> records;
    for (size_t i = 1; i + 1 < positions.size(); ++i)
        records.push_back(RecordOf(positions[i], MakeBookSlot(static_cast<u32>(i), 4, 0, 0)));
    std::shuffle(records.begin(), records.end(), std::mt19937(3));
    SortByKey(records);
    WriteAll(path_, ToBytes(records));

    bookclass book(path_.c_str());
    for (size_t i = 1; i + 1 < positions.size(); ++i) EXPECT_EQ(book.FindMove(positions[i]), static_cast<int>(i));
    EXPECT_EQ(book.FindMove(positions.front()), 0);
    EXPECT_EQ(book.FindMove(positions.back()), 0);
    // The book keeps working after a lookup ran off the end of the file.
    EXPECT_EQ(book.FindMove(positions[60]), 60);
    EXPECT_EQ(book.FindMove(positions[1]), 1);
}

TEST_F(BookTest, PositionRunSpreadOverRecordsIgnoresOtherCodesOfTheSameKey) {
    // A code with the same key but a different position: flip one bit in w0 and
    // the same bit in w2.
    BookRecord other = RecordOf(start_->Pos, 0);
    other.Code[0] ^= 1ULL << 40;
    other.Code[1] ^= 1ULL << 40;
    ASSERT_TRUE(BookKeyEqual(other, RecordOf(start_->Pos, 0)));
    ASSERT_FALSE(BookCodeEqual(other, RecordOf(start_->Pos, 0)));
    other.Slot[0] = MakeBookSlot(Mv(B1, C3), 10, 0, 0);

    const std::vector<Position> filler = RandomPositions(30, 11);
    std::vector<BookRecord> records;
    for (const Position& p : filler)
        if (!BookKeyEqual(RecordOf(p, 0), other)) records.push_back(RecordOf(p, MakeBookSlot(Mv(A2, A3), 5, 0, 0)));
    records.push_back(other);
    records.push_back(RecordOf(start_->Pos, MakeBookSlot(Mv(E2, E4), 1, 9, 0), 0));
    records.push_back(other);
    records.push_back(RecordOf(start_->Pos, MakeBookSlot(Mv(D2, D4), 2, 9, 0), MakeBookSlot(Mv(G1, F3), 5, 0, 0)));
    records.push_back(other);
    SortByKey(records);
    WriteAll(path_, ToBytes(records));

    bookclass book(path_.c_str());
    // The position's own slots are e4 (s 0.1), d4 (s 0.18) and Nf3 (never lost,
    // five wins): Nf3 wherever the binary search lands in the run.
    EXPECT_EQ(book.FindMove(start_->Pos), static_cast<int>(Mv(G1, F3)));
}

TEST_F(BookTest, ChoiceFollowsScoresAndWeights) {
    struct Case {
        const char* what;
        std::vector<u32> slots;     // won, lost, drawn packed with the move 1, 2, 3 ...
        std::vector<int> weights;   // as the rules give them, 0 = never chosen
        int atOnce;                 // index of a candidate played at once, -1 none
    };
    auto s = [](u32 i, u32 w, u32 l, u32 d) { return MakeBookSlot(i + 1, w, l, d); };
    const std::vector<Case> cases = {
        {"four wins and no loss are played at once", {s(0, 3, 0, 0), s(1, 4, 0, 0)}, {}, 1},
        {"three wins alone weigh 10000, 3-1 weighs 750", {s(0, 3, 0, 0), s(1, 3, 1, 0)}, {10000, 750}, -1},
        {"one half weighs 100 x s", {s(0, 1, 1, 0), s(1, 0, 0, 2), s(2, 1, 1, 1)}, {50, 50, 50}, -1},
        {"four fifths earns the top weight, one fifth still counts",
         {s(0, 4, 1, 0), s(1, 1, 4, 0), s(2, 2, 1, 0)}, {8000, 20, 666}, -1},
        {"a slot without games carries no weight", {s(0, 0, 0, 0), s(1, 1, 1, 0), s(2, 0, 0, 0)}, {0, 50, 0}, -1},
        {"low scores carry no weight", {s(0, 1, 9, 0), s(1, 2, 1, 1), s(2, 0, 5, 0)}, {0, 625, 0}, -1},
        {"counts at their field limits", {s(0, 127, 127, 63), s(1, 127, 0, 0)}, {50, 0}, 1},
    };
    std::vector<unsigned> seeds;
    for (unsigned i = 1; i <= 300; ++i) seeds.push_back(i * 7919u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<int> picks = Picks(c.slots, seeds);
        for (size_t k = 0; k < seeds.size(); ++k) {
            int expected = 0;
            if (c.atOnce >= 0) {
                expected = c.atOnce + 1;
            } else {
                int total = 0;
                for (int w : c.weights) total += w;
                EngineSeedRandom(seeds[k]);
                const int r = EngineRandom() % total;
                int sum = 0;
                for (size_t i = 0; i < c.weights.size() && expected == 0; ++i) {
                    sum += c.weights[i];
                    if (c.weights[i] > 0 && sum >= r) expected = static_cast<int>(i) + 1;
                }
            }
            ASSERT_EQ(picks[k], expected) << "seed " << seeds[k];
        }
    }
    // Both sides of the 10000 / 750 split come up.
    const std::vector<int> picks = Picks({s(0, 3, 0, 0), s(1, 3, 1, 0)}, seeds);
    EXPECT_GT(std::count(picks.begin(), picks.end(), 1), 200);
    EXPECT_GT(std::count(picks.begin(), picks.end(), 2), 5);
}

TEST_F(BookTest, NothingIsFoundWithoutAGoodCandidate) {
    auto s = [](u32 i, u32 w, u32 l, u32 d) { return MakeBookSlot(i + 1, w, l, d); };
    const std::vector<unsigned> seeds = {1, 2, 3};
    EXPECT_EQ(Picks({s(0, 1, 9, 0)}, seeds), std::vector<int>(3, 0));  // s = 0.1
    EXPECT_EQ(Picks({s(0, 0, 0, 0)}, seeds), std::vector<int>(3, 0));
    EXPECT_EQ(Picks({s(0, 0, 0, 0), 0, 0, s(1, 0, 3, 0)}, seeds), std::vector<int>(3, 0));
    // Only the first 20 candidates count: the four winners after them are not seen.
    std::vector<u32> slots;
    for (u32 i = 0; i < 20; ++i) slots.push_back(s(i, 1, 9, 0));
    for (u32 i = 20; i < 24; ++i) slots.push_back(s(i, 5, 0, 0));
    EXPECT_EQ(Picks(slots, seeds), std::vector<int>(3, 0));
    slots.erase(slots.begin());
    EXPECT_EQ(Picks(slots, seeds), std::vector<int>(3, 21));
}

TEST_F(BookTest, MissingEmptyOrShortFilesFindNothing) {
    {
        bookclass book(path_.c_str());
        EXPECT_EQ(book.FindMove(start_->Pos), 0);
        EXPECT_EQ(book.Learn(&start_->Pos, static_cast<short>(Mv(E2, E4)), 1.0f), 0);
    }
    EXPECT_FALSE(fs::exists(path_));  // never created
    for (size_t size : {0, 31}) {
        Bytes bytes = ToBytes({RecordOf(start_->Pos, MakeBookSlot(Mv(E2, E4), 5, 0, 0))});
        bytes.resize(size);
        WriteAll(path_, bytes);
        bookclass book(path_.c_str());
        EXPECT_EQ(book.FindMove(start_->Pos), 0) << size;
        EXPECT_EQ(book.Learn(&start_->Pos, static_cast<short>(Mv(E2, E4)), 1.0f), 0) << size;
        EXPECT_EQ(ReadAll(path_), bytes) << size;
    }
    bookclass directory(dir_.c_str());
    EXPECT_EQ(directory.FindMove(start_->Pos), 0);
}

TEST_F(BookTest, PartialTrailingRecordIsIgnoredAndKeptAsItIs) {
    const std::vector<Position> positions = RandomPositions(9, 5);
    const std::vector<BookRecord> records = SortedRecords(positions, 100, 6, 0, 0);
    Bytes bytes = ToBytes(records);
    // A record of the last position cut short: its key would sort last.
    const Bytes tail = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    WriteAll(path_, bytes);

    bookclass book(path_.c_str());
    const BookRecord& last = records.back();
    const Position* lastPos = PositionOf(positions, last);
    ASSERT_NE(lastPos, nullptr);
    EXPECT_EQ(book.FindMove(*lastPos), static_cast<int>(BookSlotMove(last.Slot[0])));
    ASSERT_EQ(book.Learn(lastPos, static_cast<short>(BookSlotMove(last.Slot[0])), 0.5f), 1);
    const Bytes after = ReadAll(path_);
    ASSERT_EQ(after.size(), bytes.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), after.end() - static_cast<long>(tail.size())));
}

// The file as it should be after learning: one slot of one record replaced.
Bytes WithSlot(Bytes bytes, size_t record, int slot, u32 value) {
    for (int i = 0; i < 4; ++i) bytes[record * 32 + 24 + slot * 4 + i] = static_cast<unsigned char>(value >> (8 * i));
    return bytes;
}

TEST_F(BookTest, LearnRewritesOnlyTheCountsOfThePlayedMove) {
    auto black = std::make_unique<EngineBoard>(*start_);
    MakeMove(black.get(), MakeMoveCode(E2, E4, PAWN), &black->Pos);
    std::vector<Position> others;
    for (const Position& p : RandomPositions(20, 9))
        if (!BookCodeEqual(RecordOf(p, 0), RecordOf(black->Pos, 0))) others.push_back(p);

    struct Case {
        const char* what;
        bool blackToMove;
        float result;
        u32 won, lost, drawn;           // before
        u32 wonAfter, lostAfter, drawnAfter;
    };
    const std::vector<Case> cases = {
        {"white wins, white moved", false, 1.0f, 2, 3, 4, 3, 3, 4},
        {"white wins, black moved", true, 1.0f, 2, 3, 4, 2, 4, 4},
        {"black wins, white moved", false, 0.0f, 2, 3, 4, 2, 4, 4},
        {"black wins, black moved", true, 0.0f, 2, 3, 4, 3, 3, 4},
        {"draw", true, 0.5f, 2, 3, 4, 2, 3, 5},
        {"a full won count scales both down", false, 1.0f, 127, 10, 0, 115, 9, 0},
        {"a full lost count scales both down", false, 0.0f, 5, 127, 1, 4, 115, 1},
        {"a full drawn count stays full", false, 0.5f, 1, 1, 63, 1, 1, 63},
        {"a slot without games starts counting", true, 0.5f, 0, 0, 0, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Position& pos = c.blackToMove ? black->Pos : start_->Pos;
        const u32 played = c.blackToMove ? Mv(E7, E5) : Mv(D2, D4);
        std::vector<BookRecord> records;
        for (const Position& p : others)
            records.push_back(RecordOf(p, MakeBookSlot(played, 1, 1, 1), MakeBookSlot(Mv(A2, A3), 1, 1, 1)));
        records.push_back(RecordOf(pos, MakeBookSlot(Mv(G1, F3), 7, 7, 7)));
        records.push_back(
            RecordOf(pos, MakeBookSlot(Mv(C2, C4), 1, 1, 1), MakeBookSlot(played, c.won, c.lost, c.drawn)));
        SortByKey(records);
        const Bytes before = ToBytes(records);
        WriteAll(path_, before);
        size_t index = 0;
        for (size_t i = 0; i < records.size(); ++i)
            if (BookCodeEqual(records[i], RecordOf(pos, 0)) && BookSlotMove(records[i].Slot[1]) == played) index = i;

        bookclass book(path_.c_str());
        // The low 12 bits of the move are what counts.
        const short move = static_cast<short>(MakeMoveCode(static_cast<int>(played >> 6), played & 63, PAWN));
        EXPECT_EQ(book.Learn(&pos, move, c.result), 1);
        EXPECT_EQ(ReadAll(path_),
                  WithSlot(before, index, 1, MakeBookSlot(played, c.wonAfter, c.lostAfter, c.drawnAfter)));
    }
}

TEST_F(BookTest, LearnFindsRecordsAtBothEndsAndNothingElse) {
    const std::vector<Position> positions = RandomPositions(25, 13);
    const std::vector<BookRecord> records = SortedRecords(positions, 200, 1, 1, 1);
    const Bytes before = ToBytes(records);
    WriteAll(path_, before);
    const Position* firstPos = PositionOf(positions, records.front());
    const Position* lastPos = PositionOf(positions, records.back());
    ASSERT_NE(firstPos, nullptr);
    ASSERT_NE(lastPos, nullptr);
    const Position first = *firstPos;
    const Position last = *lastPos;

    bookclass book(path_.c_str());
    // A move the position does not have, and a position the book does not have.
    EXPECT_EQ(book.Learn(&first, static_cast<short>(BookSlotMove(records.back().Slot[0])), 1.0f), 0);
    EXPECT_EQ(book.Learn(&start_->Pos, static_cast<short>(Mv(E2, E4)), 1.0f), 0);
    EXPECT_EQ(ReadAll(path_), before);

    const u32 firstSlot = records.front().Slot[0], lastSlot = records.back().Slot[0];
    EXPECT_EQ(book.Learn(&first, static_cast<short>(BookSlotMove(firstSlot)), 0.5f), 1);
    EXPECT_EQ(book.Learn(&last, static_cast<short>(BookSlotMove(lastSlot)), 0.5f), 1);
    Bytes expected = WithSlot(before, 0, 0, MakeBookSlot(BookSlotMove(firstSlot), 1, 1, 2));
    expected = WithSlot(expected, records.size() - 1, 0, MakeBookSlot(BookSlotMove(lastSlot), 1, 1, 2));
    EXPECT_EQ(ReadAll(path_), expected);
}

// A game's records reach the disk in one flush once they are all written;
// a flush that fails puts them all back as they were.
TEST_F(BookTest, AGamesRecordsAreFlushedOnceAndPutBackWhenTheFlushFails) {
    const std::vector<Position> positions = RandomPositions(12, 29);
    const std::vector<BookRecord> records = SortedRecords(positions, 300, 1, 1, 1);
    const Bytes before = ToBytes(records);
    Bytes learned = before;
    for (size_t i = 0; i < records.size(); ++i)
        learned = WithSlot(learned, i, 0, MakeBookSlot(BookSlotMove(records[i].Slot[0]), 1, 1, 2));
    WriteAll(path_, before);
    ASSERT_TRUE(WatchFlushes(path_));
    auto learnAll = [&](bookclass& book) {
        for (const BookRecord& r : records)
            EXPECT_EQ(book.Learn(PositionOf(positions, r), static_cast<short>(BookSlotMove(r.Slot[0])), 0.5f), 1);
    };
    for (const int failure : {0, EIO}) {
        SCOPED_TRACE(failure);
        Flushes.count = 0;
        {
            bookclass book(path_.c_str());
            learnAll(book);
            EXPECT_EQ(Flushes.count, 0);
            EXPECT_EQ(ReadAll(path_), learned);
            Flushes.failNext = failure;
            EXPECT_EQ(book.FinishLearning(), failure == 0);
            EXPECT_EQ(book.TakeWriteError(), failure ? std::strerror(failure) : "");
            EXPECT_EQ(ReadAll(path_), failure ? before : learned);
            EXPECT_TRUE(book.FinishLearning());  // nothing left
        }
        EXPECT_EQ(Flushes.count, failure ? 2 : 1);  // the records put back are flushed too
        WriteAll(path_, before);
    }
    // Closing the book flushes what was learned.
    Flushes.count = 0;
    {
        bookclass book(path_.c_str());
        learnAll(book);
    }
    EXPECT_EQ(Flushes.count, 1);
    EXPECT_EQ(ReadAll(path_), learned);
    Flushes = {};
}

TEST_F(BookTest, ReadOnlyFileIsReadButNotLearned) {
    const Bytes bytes = ToBytes({RecordOf(start_->Pos, MakeBookSlot(Mv(E2, E4), 5, 0, 0))});
    WriteAll(path_, bytes);
    fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    const UnprivilegedRun run = RunUnprivileged(
        [&] {
            ASSERT_NE(access(path_.c_str(), R_OK), -1) << "the book cannot be read";
            ASSERT_EQ(access(path_.c_str(), W_OK), -1) << "the read-only book can be written";
            bookclass book(path_.c_str());
            EXPECT_EQ(book.FindMove(start_->Pos), static_cast<int>(Mv(E2, E4)));
            EXPECT_EQ(book.Learn(&start_->Pos, static_cast<short>(Mv(E2, E4)), 1.0f), 0);
        },
        [] { return ::testing::Test::HasFailure(); });
    if (!run.ran) GTEST_SKIP() << run.why;
    EXPECT_FALSE(run.failed) << run.why;
    EXPECT_EQ(ReadAll(path_), bytes);
}

// A rewrite cut short (here by the file size limit, half way through the
// record) leaves the record as it was, and the reason is kept once.
TEST_F(BookTest, ARewriteCutShortLeavesTheRecordAsItWas) {
    const std::vector<Position> positions = RandomPositions(12, 21);
    const std::vector<BookRecord> records = SortedRecords(positions, 300, 2, 2, 2);
    const Bytes before = ToBytes(records);
    WriteAll(path_, before);
    const size_t index = records.size() / 2;
    const Position* pos = PositionOf(positions, records[index]);
    ASSERT_NE(pos, nullptr);
    const Position at = *pos;

    bookclass book(path_.c_str());
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = index * BOOK_RECORD_BYTES + BOOK_RECORD_BYTES - 4;  // the slot's last bytes lie past it
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int learned = book.Learn(&at, static_cast<short>(BookSlotMove(records[index].Slot[0])), 1.0f);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(learned, 0);
    EXPECT_EQ(ReadAll(path_), before);
    EXPECT_EQ(book.TakeWriteError(), std::strerror(EFBIG));
    EXPECT_EQ(book.TakeWriteError(), "");
    // With the limit gone the same result is learned.
    EXPECT_EQ(book.Learn(&at, static_cast<short>(BookSlotMove(records[index].Slot[0])), 1.0f), 1);
    EXPECT_NE(ReadAll(path_), before);
    EXPECT_EQ(book.TakeWriteError(), "");
}

TEST_F(BookTest, LearnWaitsForAnotherProgramsLockAndKeepsItsUpdate) {
    std::vector<BookRecord> records = {RecordOf(start_->Pos, MakeBookSlot(Mv(E2, E4), 1, 1, 1))};
    for (const Position& p : RandomPositions(6, 17)) records.push_back(RecordOf(p, MakeBookSlot(Mv(A2, A4), 1, 1, 1)));
    SortByKey(records);
    WriteAll(path_, ToBytes(records));
    size_t index = 0;
    for (size_t i = 0; i < records.size(); ++i)
        if (BookCodeEqual(records[i], RecordOf(start_->Pos, 0))) index = i;

    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The other copy of the program: it holds the lock while it learns a draw.
        const int fd = open(path_.c_str(), O_RDWR);
        struct flock fl{};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        if (fd < 0 || fcntl(fd, F_SETLKW, &fl) != 0) _exit(1);
        if (write(pipeFds[1], "L", 1) != 1) _exit(1);
        usleep(300 * 1000);
        unsigned char slot[4];
        const u32 value = MakeBookSlot(Mv(E2, E4), 1, 1, 2);
        for (int i = 0; i < 4; ++i) slot[i] = static_cast<unsigned char>(value >> (8 * i));
        if (pwrite(fd, slot, 4, static_cast<off_t>(index * 32 + 24)) != 4) _exit(1);
        close(fd);
        _exit(0);
    }
    char signal = 0;
    ASSERT_EQ(read(pipeFds[0], &signal, 1), 1);
    close(pipeFds[0]);
    close(pipeFds[1]);
    {
        bookclass book(path_.c_str());
        EXPECT_EQ(book.Learn(&start_->Pos, static_cast<short>(Mv(E2, E4)), 1.0f), 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const Bytes after = ReadAll(path_);
    const BookRecord r = BookRecordFromBytes(&after[index * 32]);
    EXPECT_EQ(r.Slot[0], MakeBookSlot(Mv(E2, E4), 2, 1, 2));
}

// The learning book that ships with the program.
class ShippedBookTest : public BookTest {};

TEST_F(ShippedBookTest, HoldsTheStartBookMovesSortedWithCountsToChooseFrom) {
    const Bytes bytes = ReadAll(fs::path(TEST_DATA_DIR) / "MLBook.lib");
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(bytes.size() % BOOK_RECORD_BYTES, 0u);
    std::map<std::vector<u64>, std::set<u32>> stored;
    for (size_t i = 0; i < bytes.size(); i += BOOK_RECORD_BYTES) {
        const BookRecord r = BookRecordFromBytes(&bytes[i]);
        if (i > 0) {
            EXPECT_FALSE(BookKeyLess(r, BookRecordFromBytes(&bytes[i - BOOK_RECORD_BYTES]))) << i;
        }
        EXPECT_NE(r.Slot[0], 0u) << i;
        for (u32 slot : r.Slot) {
            if (slot == 0) continue;
            EXPECT_GT(BookSlotWon(slot) + BookSlotLost(slot) + BookSlotDrawn(slot), 0u) << i;
            auto& moves = stored[std::vector<u64>{r.Code[0], r.Code[1], r.Code[2]}];
            EXPECT_TRUE(moves.insert(BookSlotMove(slot)).second) << i;
        }
    }
    // Exactly the moves the start book stores, position by position.
    std::map<std::vector<u64>, std::set<u32>> expected;
    std::ifstream in(fs::path(TEST_DATA_DIR) / "StartBook.pgn");
    std::string line;
    while (std::getline(in, line)) {
        ASSERT_EQ(ReadBookLine(line,
                               [&](const EngineBoard& before, Move move, bool store) {
                                   if (!store) return true;
                                   const BookRecord r = RecordOf(before.Pos, 0);
                                   expected[std::vector<u64>{r.Code[0], r.Code[1], r.Code[2]}].insert(
                                       static_cast<u32>(move) & 0xFFF);
                                   return true;
                               }),
                  BookLineResult::Done)
            << line;
    }
    EXPECT_EQ(stored, expected);
}

TEST_F(ShippedBookTest, AnswersFromTheStartPositionAndLearnsOneRecord) {
    fs::copy_file(fs::path(TEST_DATA_DIR) / "MLBook.lib", path_);
    const Bytes before = ReadAll(path_);
    const std::set<int> firstMoves = {static_cast<int>(Mv(E2, E4)), static_cast<int>(Mv(D2, D4)),
                                      static_cast<int>(Mv(C2, C4)), static_cast<int>(Mv(G1, F3))};
    bookclass book(path_.c_str());
    std::set<int> seen;
    for (unsigned seed = 1; seed <= 64; ++seed) {
        EngineSeedRandom(seed);
        const int move = book.FindMove(start_->Pos);
        EXPECT_TRUE(firstMoves.count(move)) << move;
        seen.insert(move);
    }
    EXPECT_EQ(seen, firstMoves);

    ASSERT_EQ(book.Learn(&start_->Pos, static_cast<short>(Mv(E2, E4)), 1.0f), 1);
    const Bytes after = ReadAll(path_);
    ASSERT_EQ(after.size(), before.size());
    std::vector<size_t> changed;
    for (size_t i = 0; i < before.size(); ++i)
        if (before[i] != after[i]) changed.push_back(i);
    ASSERT_FALSE(changed.empty());
    const size_t record = changed.front() / BOOK_RECORD_BYTES;
    for (size_t i : changed) EXPECT_EQ(i / BOOK_RECORD_BYTES, record);
    const BookRecord was = BookRecordFromBytes(&before[record * BOOK_RECORD_BYTES]);
    const BookRecord is = BookRecordFromBytes(&after[record * BOOK_RECORD_BYTES]);
    EXPECT_TRUE(BookCodeEqual(was, is));
    int learned = 0;
    for (int s = 0; s < 2; ++s) {
        EXPECT_EQ(BookSlotMove(was.Slot[s]), BookSlotMove(is.Slot[s]));
        if (was.Slot[s] == is.Slot[s]) continue;
        ++learned;
        EXPECT_EQ(BookSlotMove(is.Slot[s]), Mv(E2, E4));
        EXPECT_EQ(BookSlotWon(is.Slot[s]), BookSlotWon(was.Slot[s]) + 1);
        EXPECT_EQ(BookSlotLost(is.Slot[s]), BookSlotLost(was.Slot[s]));
        EXPECT_EQ(BookSlotDrawn(is.Slot[s]), BookSlotDrawn(was.Slot[s]));
    }
    EXPECT_EQ(learned, 1);
}

}  // namespace
