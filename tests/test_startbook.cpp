#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bitboard.h"
#include "engine_fixture.h"
#include "globals.h"
#include "hash.h"
#include "makemove.h"
#include "movegen.h"
#include "ordering.h"
#include "startbook.h"

namespace {

namespace fs = std::filesystem;

// The legal move with the coordinate text, or 0.
Move LegalMove(EngineBoard* board, const std::string& coord) {
    if (GenerateMoves(board) < 1) return 0;
    auto copy = std::make_unique<EngineBoard>();
    for (int i = 0; i <= board->List.Last; ++i) {
        const Move m = board->List.Moves[i];
        if (CoordinateText(m) != coord) continue;
        *copy = *board;
        if (!MakeMoveKeepsKingSafe(copy.get(), m, &copy->Pos)) continue;
        return m;
    }
    return 0;
}

// The board after the coordinate moves from the start position.
std::unique_ptr<EngineBoard> After(const std::vector<std::string>& moves) {
    auto board = std::make_unique<EngineBoard>();
    SetupStartPosition(board.get());
    for (const std::string& text : moves) {
        const Move m = LegalMove(board.get(), text);
        EXPECT_NE(m, 0) << text;
        if (m == 0) break;
        MakeMove(board.get(), m, &board->Pos);
    }
    return board;
}

// The moves the table stores for the position after the moves, in order.
std::vector<std::string> Stored(const std::vector<std::string>& moves) {
    const auto board = After(moves);
    std::vector<std::string> out;
    for (const StartBookSlot& slot : StartBookTable) {
        if (slot.KeyLo == 0 && slot.KeyHi == 0) break;
        if (slot.KeyLo != KeyLo(board->Pos.Key) || slot.KeyHi != KeyHi(board->Pos.Key)) continue;
        for (Move m : slot.Moves)
            if (m != 0) out.push_back(CoordinateText(m));
    }
    return out;
}

int UsedSlots() {
    int n = 0;
    while (n < START_BOOK_SLOTS && (StartBookTable[n].KeyLo != 0 || StartBookTable[n].KeyHi != 0)) ++n;
    return n;
}

using List = std::vector<std::string>;

class StartBookTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        std::string pattern = (fs::temp_directory_path() / "startbook.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // Empties the table and loads the text as a book file.
    void Load(const std::string& text) {
        const fs::path path = dir_ / "StartBook.pgn";
        std::ofstream(path, std::ios::binary) << text;
        book_ = std::make_unique<startBookclass>();
        book_->LoadFromPgn(path.string());
    }

    fs::path dir_;
    std::unique_ptr<startBookclass> book_;
};

TEST_F(StartBookTest, LinesShareTheirCommonPositions) {
    Load("1.e4 e5 2.Nf3 Nc6\n1.e4 c5\n");
    EXPECT_EQ(Stored({}), List({"e2e4"}));
    EXPECT_EQ(Stored({"e2e4"}), List({"e7e5", "c7c5"}));
    EXPECT_EQ(Stored({"e2e4", "e7e5"}), List({"g1f3"}));
    EXPECT_EQ(Stored({"e2e4", "e7e5", "g1f3"}), List({"b8c6"}));
    EXPECT_EQ(Stored({"e2e4", "e7e5", "g1f3", "b8c6"}), List({}));
    EXPECT_EQ(UsedSlots(), 4);
    // Each slot carries the key computed from scratch.
    const auto board = After({"e2e4", "e7e5"});
    const u64 key = ComputeHashKey(&board->Pos);
    EXPECT_EQ(book_->FindSlot(KeyLo(key), KeyHi(key)), 2);
    EXPECT_EQ(book_->Probe(KeyLo(key), KeyHi(key)), LegalMove(board.get(), "g1f3"));
}

TEST_F(StartBookTest, DialectReadsEveryWrittenForm) {
    struct Case {
        const char* what;
        const char* text;
        List at;        // position where the move is looked for
        List expected;  // moves stored there
    };
    const std::vector<Case> cases = {
        {"a piece move naming its file", "1.d4 d5 2.Nf3 Nf6 3.Nbd2", {"d2d4", "d7d5", "g1f3", "g8f6"}, {"b1d2"}},
        {"a piece move naming its rank", "1.Nc3 e5 2.Ne4 d5 3.Ng5 Nc6 4.N5f3\n1.Nc3 e5 2.Ne4 d5 3.Ng5 Nc6 4.N1f3",
         {"b1c3", "e7e5", "c3e4", "d7d5", "e4g5", "b8c6"}, {"g5f3", "g1f3"}},
        {"a whole origin square with a capture mark", "1.e3 e5 2.d4 Bb4+ 3.Bd2 Bxd2+ 4.Nb1xd2",
         {"e2e3", "e7e5", "d2d4", "f8b4", "c1d2", "b4d2"}, {"b1d2"}},
        {"a pawn capture", "1.e4 d5 2.exd5", {"e2e4", "d7d5"}, {"e4d5"}},
        {"a pawn capture mark in upper case", "1.e4 d5 2.eXd5", {"e2e4", "d7d5"}, {"e4d5"}},
        {"a piece capture mark in upper case", "1.e4 e5 2.Nf3 Nc6 3.NXe5", {"e2e4", "e7e5", "g1f3", "b8c6"},
         {"f3e5"}},
        {"long notation", "1.e2e4 e7e5 2.Ng1f3", {"e2e4", "e7e5"}, {"g1f3"}},
        {"an upper-case target square", "1.e4 e5 2.NF3", {"e2e4", "e7e5"}, {"g1f3"}},
        {"short castling at the end of a line", "1.e4 e5 2.Nf3 Nc6 3.Bc4 Bc5 4.O-O",
         {"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "f8c5"}, {"e1g1"}},
        {"long castling for both sides", "1.d4 d5 2.Nc3 Nc6 3.Bf4 Bf5 4.Qd2 Qd7 5.O-O-O O-O-O",
         {"d2d4", "d7d5", "b1c3", "b8c6", "c1f4", "c8f5", "d1d2", "d8d7", "e1c1"}, {"e8c8"}},
        {"a promotion naming its piece", "1.h4 g5 2.hxg5 h6 3.gxh6 Bg7 4.hxg7 Nf6 5.gxh8=N",
         {"h2h4", "g7g5", "h4g5", "h7h6", "g5h6", "f8g7", "h6g7", "g8f6"}, {"g7h8n"}},
        {"a promotion without its piece makes a queen", "1.h4 g5 2.hxg5 h6 3.gxh6 Bg7 4.hxg7 Nf6 5.gxh8",
         {"h2h4", "g7g5", "h4g5", "h7h6", "g5h6", "f8g7", "h6g7", "g8f6"}, {"g7h8q"}},
        {"check and mate marks, numbers and dots", "1. e4 f5 2. exf5 g6?? 3. fxg6 Nf6 4. gxh7+ Nxh7 5. Qh5#",
         {"e2e4", "f7f5", "e4f5", "g7g6", "f5g6", "g8f6", "g6h7", "f6h7"}, {"d1h5"}},
        {"a move matched among the legal moves only", "1.e3 e5 2.d4 Bb4+ 3.Nc3 Nf6 4.Ne2",
         {"e2e3", "e7e5", "d2d4", "f8b4", "b1c3", "g8f6"}, {"g1e2"}},
        {"a weak move is played but not stored", "1.e4 e5 2.Nf3? Nc6", {"e2e4", "e7e5"}, {}},
        {"the reply to a weak move is stored", "1.e4 e5 2.Nf3? Nc6", {"e2e4", "e7e5", "g1f3"}, {"b8c6"}},
        {"'!' right after a move ends the line", "1.e4 e5?! 2.Nf3", {"e2e4"}, {}},
        {"nothing after that '!' is read", "1.e4 e5?! 2.Nf3", {"e2e4", "e7e5"}, {}},
        {"'!' inside a move number is skipped", "1.e4 e5 2!Nf3", {"e2e4", "e7e5"}, {"g1f3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Load(c.text);
        EXPECT_EQ(Stored(c.at), c.expected);
    }
}

TEST_F(StartBookTest, CommentsEmptyLinesCarriageReturnsAndLongLines) {
    Load("! 1.d4 is a comment\n\n   \r\n1.e4 e5\r\n!\n1.c4" + std::string(5000, ' ') + "e5 2.Nc3\n");
    EXPECT_EQ(Stored({}), List({"e2e4", "c2c4"}));
    EXPECT_EQ(Stored({"e2e4"}), List({"e7e5"}));
    EXPECT_EQ(Stored({"c2c4"}), List({"e7e5"}));
    EXPECT_EQ(Stored({"c2c4", "e7e5"}), List({"b1c3"}));
    EXPECT_EQ(UsedSlots(), 4);
}

TEST_F(StartBookTest, BadTokenEndsTheLoadKeepingWhatWasRead) {
    struct Case {
        const char* what;
        const char* line;
    };
    const std::vector<Case> cases = {
        {"a move no piece can make", "1.e4 e5 2.Kf3"},
        {"a target that names no square", "1.e4 e5 2.Nf9"},
        {"a target of letters", "1.e4 e5 2.Nfg"},
        {"a move text too long", "1.e4 e5 2.Ng1xf3h"},
        {"a move text too short", "1.e4 e5 2.N"},
        {"a move left hanging at the end", "1.e4 e5 2.a"},
        {"a move that leaves the king in check", "1.e4 e5 2.d4 Bb4+ 3.Nf3"},
        {"a pinned piece moving", "1.d4 e5 2.Nc3 Bb4 3.Ne4"},
        {"an origin that names no square", "1.e4 e5 2.Nz1f3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Load(std::string("1.c3 c6\n") + c.line + "\n1.b3\n");
        const List first = Stored({});
        ASSERT_EQ(first.size(), 2u);
        EXPECT_EQ(first[0], "c2c3");
        EXPECT_NE(first[1], "b2b3");
        EXPECT_EQ(Stored({"c2c3"}), List({"c7c6"}));
        EXPECT_EQ(Stored({first[1]}), List({"e7e5"}));
    }
    Load("1.e4 e5 2.Kf3\n");
    EXPECT_EQ(UsedSlots(), 2);
    EXPECT_EQ(Stored({"e2e4", "e7e5"}), List({}));
}

TEST_F(StartBookTest, NinthMoveOfAPositionIsDropped) {
    Load("1.a3\n1.b3\n1.c3\n1.d3\n1.e3\n1.f3\n1.g3\n1.h3\n1.a4\n1.a3\n1.b4 e5\n");
    EXPECT_EQ(Stored({}), List({"a2a3", "b2b3", "c2c3", "d2d3", "e2e3", "f2f3", "g2g3", "h2h3"}));
    // The load goes on after a dropped move.
    EXPECT_EQ(Stored({"b2b4"}), List({"e7e5"}));
}

TEST_F(StartBookTest, FullTableStopsTheLoadWithoutOverflowing) {
    book_ = std::make_unique<startBookclass>();
    for (int i = 0; i < START_BOOK_SLOTS - 1; ++i) {
        StartBookTable[i].KeyLo = static_cast<u32>(i + 1);
        StartBookTable[i].KeyHi = 0xABCD0000u;
        StartBookTable[i].Moves[0] = MakeMoveCode(A2, A3, PAWN);
    }
    const fs::path path = dir_ / "StartBook.pgn";
    std::ofstream(path) << "1.e4 e5\n1.d4\n";
    book_->LoadFromPgn(path.string());
    EXPECT_EQ(Stored({}), List({"e2e4"}));  // the last free slot
    EXPECT_EQ(Stored({"e2e4"}), List({}));
    EXPECT_EQ(UsedSlots(), START_BOOK_SLOTS);
    EXPECT_EQ(book_->FindSlot(1, 1), START_BOOK_SLOTS);
    EXPECT_EQ(book_->Probe(1, 1), 0);
    EXPECT_EQ(book_->FindSlot(START_BOOK_SLOTS - 1, 0xABCD0000u), START_BOOK_SLOTS - 2);
    // A further load into the full table stores nothing.
    book_->LoadFromPgn(path.string());
    EXPECT_EQ(Stored({}), List({"e2e4"}));
}

TEST_F(StartBookTest, MissingFileLeavesTheTableEmpty) {
    book_ = std::make_unique<startBookclass>();
    book_->LoadFromPgn((dir_ / "none.pgn").string());
    book_->LoadFromPgn(dir_.string());  // a directory cannot be read as a book
    EXPECT_EQ(UsedSlots(), 0);
    const auto board = After({});
    EXPECT_EQ(book_->Probe(KeyLo(board->Pos.Key), KeyHi(board->Pos.Key)), 0);
    EXPECT_EQ(book_->FindSlot(KeyLo(board->Pos.Key), KeyHi(board->Pos.Key)), 0);
}

TEST_F(StartBookTest, ProbeChoosesAmongTheStoredMovesAtRandom) {
    Load("1.e4\n1.d4\n1.c4\n");
    const auto board = After({});
    const u32 lo = KeyLo(board->Pos.Key), hi = KeyHi(board->Pos.Key);
    const int slot = book_->FindSlot(lo, hi);
    ASSERT_EQ(slot, 0);
    std::set<Move> seen;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        EngineSeedRandom(seed);
        const Move expected = StartBookTable[slot].Moves[EngineRandom() % 3];
        EngineSeedRandom(seed);
        const Move m = book_->Probe(lo, hi);
        EXPECT_EQ(m, expected);
        seen.insert(m);
    }
    // Whole moves as generated: piece included.
    EXPECT_EQ(seen, std::set<Move>({MakeMoveCode(E2, E4, PAWN), MakeMoveCode(D2, D4, PAWN),
                                    MakeMoveCode(C2, C4, PAWN)}));
    EXPECT_EQ(book_->Probe(lo ^ 1, hi), 0);
}

// The start book that ships with the program.
std::vector<std::string> ShippedLines() {
    std::ifstream in(fs::path(TEST_DATA_DIR) / "StartBook.pgn");
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

TEST_F(StartBookTest, ShippedBookIsReadToTheEndOfEveryLine) {
    const std::vector<std::string> lines = ShippedLines();
    ASSERT_GT(lines.size(), 200u);
    book_ = std::make_unique<startBookclass>();
    book_->LoadFromPgn((fs::path(TEST_DATA_DIR) / "StartBook.pgn").string());

    std::map<u64, std::set<Move>> expected;
    int moveLines = 0;
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        if (line.empty() || line[0] == '!') continue;
        ++moveLines;
        // The line's own tokens, move numbers and marks taken off: each one is
        // the move as it is written in short algebraic notation.
        std::vector<std::string> tokens;
        std::istringstream words(line);
        for (std::string w; words >> w;) {
            w.erase(0, w.find_first_not_of("0123456789."));
            while (!w.empty() && (w.back() == '+' || w.back() == '#' || w.back() == '?')) w.pop_back();
            ASSERT_FALSE(w.empty());
            tokens.push_back(w);
        }
        size_t read = 0;
        const BookLineResult result = ReadBookLine(line, [&](const EngineBoard& before, Move move, bool store) {
            EXPECT_LT(read, tokens.size());
            if (read < tokens.size()) {
                EXPECT_EQ(MoveToSan(move, &before.List), tokens[read]);
            }
            ++read;
            if (store) expected[before.Pos.Key].insert(move);
            return true;
        });
        EXPECT_EQ(result, BookLineResult::Done);
        EXPECT_EQ(read, tokens.size());
    }
    EXPECT_GT(moveLines, 200);
    EXPECT_LE(expected.size(), static_cast<size_t>(START_BOOK_SLOTS));

    // The table holds every stored move, so the load read the whole file.
    EXPECT_EQ(UsedSlots(), static_cast<int>(expected.size()));
    for (const auto& [key, moves] : expected) {
        EXPECT_LE(moves.size(), static_cast<size_t>(START_BOOK_MOVES));
        const int slot = book_->FindSlot(KeyLo(key), KeyHi(key));
        ASSERT_LT(slot, START_BOOK_SLOTS);
        std::set<Move> held;
        for (Move m : StartBookTable[slot].Moves)
            if (m != 0) held.insert(m);
        EXPECT_EQ(held, moves);
    }

    // From the start position the book answers with one of the four first moves.
    const auto board = After({});
    const std::set<std::string> first = {"e2e4", "d2d4", "c2c4", "g1f3"};
    for (unsigned seed = 1; seed <= 20; ++seed) {
        EngineSeedRandom(seed);
        EXPECT_TRUE(first.count(CoordinateText(book_->Probe(KeyLo(board->Pos.Key), KeyHi(board->Pos.Key)))));
    }
}

TEST_F(StartBookTest, LoadsStartBookPgnFromTheCurrentDirectory) {
    const fs::path cwd = fs::current_path();
    fs::current_path(TEST_DATA_DIR);
    book_ = std::make_unique<startBookclass>();
    book_->LoadFromPgn();
    fs::current_path(cwd);
    std::vector<StartBookSlot> loaded(StartBookTable, StartBookTable + START_BOOK_SLOTS);
    book_ = std::make_unique<startBookclass>();
    EXPECT_EQ(UsedSlots(), 0);
    book_->LoadFromPgn((fs::path(TEST_DATA_DIR) / "StartBook.pgn").string());
    EXPECT_GT(UsedSlots(), 100);
    EXPECT_TRUE(std::equal(loaded.begin(), loaded.end(), StartBookTable, [](const StartBookSlot& a,
                                                                          const StartBookSlot& b) {
        return a.KeyLo == b.KeyLo && a.KeyHi == b.KeyHi && std::equal(a.Moves, a.Moves + START_BOOK_MOVES, b.Moves);
    }));
}

}  // namespace
