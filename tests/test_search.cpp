#include <algorithm>
#include <atomic>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "bitboard.h"
#include "engine_fixture.h"
#include "eval.h"
#include "globals.h"
#include "hash.h"
#include "host.h"
#include "makemove.h"
#include "movegen.h"
#include "ordering.h"
#include "rootsearch.h"
#include "search.h"

namespace {

class SearchTest : public HostedEngineTest {
protected:
    void SetUp() override {
        HostedEngineTest::SetUp();
        TargetTimeMs = 1e15;
        LazyEvalMargin = 50;
    }

    // A reset engine with the game board at fen, no time limit.
    static void Fresh(const char* fen) {
        ResetEngineState();
        TargetTimeMs = 1e15;
        LazyEvalMargin = 50;
        SetupTestPosition(&GameBoard, fen);
    }
};

Move FindMove(const Position& pos, int from, int to, int promotion = 0) {
    EngineBoard b;
    b.Pos = pos;
    if (GenerateMoves(&b) < 1) return 0;
    for (int i = 0; i <= b.List.Last; ++i) {
        const Move m = b.List.Moves[i];
        if (MoveFrom(m) == from && MoveTo(m) == to && MovePromotion(m) == promotion) return m;
    }
    return 0;
}

Position After(const Position& pos, Move m) {
    EngineBoard b;
    b.Pos = pos;
    MakeMove(&b, m, &b.Pos);
    return b.Pos;
}

std::vector<Move> LegalMoves(const Position& pos) {
    EngineBoard b;
    b.Pos = pos;
    if (GenerateMoves(&b) < 1) return {};
    return LegalListedMoves(b);
}

bool IsMated(const Position& pos) {
    EngineBoard b;
    b.Pos = pos;
    return LegalMoves(pos).empty() && InCheck(&b, &b.Pos, 1);
}

// Brute force, independent of the search: does m force mate within n moves?
bool MoveMatesWithin(const Position& pos, Move m, int n) {
    const Position q = After(pos, m);
    if (IsMated(q)) return true;
    if (n <= 1) return false;
    const auto replies = LegalMoves(q);
    if (replies.empty()) return false;
    for (Move r : replies) {
        const Position s = After(q, r);
        bool mates = false;
        for (Move next : LegalMoves(s))
            if (MoveMatesWithin(s, next, n - 1)) {
                mates = true;
                break;
            }
        if (!mates) return false;
    }
    return true;
}

u16 StoredInfo(u64 key) {
    const HashEntry& e = HashTable[KeyLo(key) & (HashTableEntries - 1)];
    return (e.KeyLo == KeyLo(key) && e.KeyHi == KeyHi(key)) ? e.Info : u16{0xFFFF};
}

// Stored depth in plies of a position, -1 when it is not in the table.
int StoredPlies(u64 key) {
    const u16 info = StoredInfo(key);
    return info == 0xFFFF ? -1 : (info & 0x7F);
}

// Many captures and checks: a large tree at a small depth.
const char* const Busy = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0";
const char* const Middlegame = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R1BQKB1R w KQ - 0";

// ---------------------------------------------------------------- Search

TEST_F(SearchTest, PlyLimitReturnsBetaWithoutMakingMoves) {
    SetupTestPosition(&GameBoard, Middlegame);
    IterationDepth = 10;
    EXPECT_EQ(Search(&GameBoard, &GameBoard.Pos, 600, MAX_PLY, -77, 55), 55);
    EXPECT_EQ(Quiesce(&GameBoard, &GameBoard.Pos, 0, MAX_PLY, -77, 55), 55);
    EXPECT_EQ(NodeCount, 0);
    // The deepest plies that still search keep every per-ply table in range.
    Search(&GameBoard, &GameBoard.Pos, 180, MAX_PLY - 1, -MATE_SCORE, MATE_SCORE);
    Quiesce(&GameBoard, &GameBoard.Pos, 0, MAX_PLY - 1, -MATE_SCORE, MATE_SCORE);
    EXPECT_GT(NodeCount, 0);
}

TEST_F(SearchTest, MateStalemateAndFiftyMoveScores) {
    struct Case {
        const char* fen;
        int fifty;
        int ply;
        int expected;
    };
    const Case cases[] = {
        {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1", 1, 5, 5 - MATE_SCORE},  // mated
        {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1", 100, 7, 7 - MATE_SCORE},
        {"7k/5Q2/6K1/8/8/8/8/8 b - - 0", 0, 4, 0},  // stalemate
        {"8/8/3k4/8/8/8/3QK3/8 b - - 0", 100, 3, 0},  // fifty moves
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fen);
        Fresh(c.fen);
        GameBoard.Pos.FiftyMoveCounter = c.fifty;
        IterationDepth = 5;
        EXPECT_EQ(Search(&GameBoard, &GameBoard.Pos, 120, c.ply, -MATE_SCORE, MATE_SCORE), c.expected);
    }
}

// The depth a child is searched at shows in the depth its node stores.
TEST_F(SearchTest, ExtensionsSetTheChildDepth) {
    struct Case {
        const char* fen;
        int from, to;
        int depth;
        int iterationDepth;
        int childPlies;  // -1: the child went to the capture search, which stores nothing
    };
    const Case cases[] = {
        // One reply to a check: depth stays (60 + 45 would give 3 plies).
        {"1R6/8/4k3/8/8/8/6PP/r6K w - - 0", B8, B1, 135, 10, 2},
        {"1R6/8/4k3/8/8/8/6PP/r6K w - - 0", B8, B1, 180, 10, 3},
        // In check with several replies: depth - 15.
        {"4k3/8/8/8/8/8/8/r3K2R w - - 0", E1, E2, 135, 10, 2},
        {"4k3/8/8/8/8/8/8/r3K2R w - - 0", E1, E2, 120, 10, 1},
        // A pawn onto the seventh rank: full depth; a quiet move loses a ply.
        {"6k1/8/3P4/8/8/8/8/4K3 w - - 0", D6, D7, 120, 10, 2},
        {"6k1/8/3P4/8/8/8/8/4K3 w - - 0", E1, E2, 120, 10, 1},
        // Past ply 2 x IterationDepth every child is a capture-search leaf.
        {"6k1/8/3P4/8/8/8/8/4K3 w - - 0", E1, E2, 180, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fen) + " depth " + std::to_string(c.depth));
        Fresh(c.fen);
        IterationDepth = c.iterationDepth;
        RootAlpha = -MATE_SCORE;
        RootBeta = MATE_SCORE;
        const Move m = FindMove(GameBoard.Pos, c.from, c.to);
        ASSERT_NE(m, 0);
        Search(&GameBoard, &GameBoard.Pos, c.depth, 3, -MATE_SCORE, MATE_SCORE);
        EXPECT_EQ(StoredPlies(After(GameBoard.Pos, m).Key), c.childPlies);
    }
}

TEST_F(SearchTest, RecaptureOfEqualValueLosesAQuarterPly) {
    // Black has just taken on d5; white's knight takes back.
    struct Case {
        int previousPiece;
        int childPlies;
    };
    const Case cases[] = {{KNIGHT, 2}, {BISHOP, 2}, {ROOK, 1}};  // 120, 120, 75
    for (const Case& c : cases) {
        SCOPED_TRACE(c.previousPiece);
        Fresh("4k3/8/8/3n4/8/4N3/8/4K3 w - - 0");
        GameBoard.Pos.Pieces[BLACK][KNIGHT] = 0;
        GameBoard.Pos.Pieces[BLACK][c.previousPiece] = Bit(D5);
        ComputeMaterial(&GameBoard.Pos);
        GameBoard.Pos.Key = ComputeHashKey(&GameBoard.Pos);
        GameBoard.Pos.LastMove = MakeMoveCode(D8, D5, c.previousPiece, KNIGHT);
        IterationDepth = 10;
        RootAlpha = -MATE_SCORE;
        RootBeta = MATE_SCORE;
        const Move recapture = FindMove(GameBoard.Pos, E3, D5);
        ASSERT_NE(recapture, 0);
        Search(&GameBoard, &GameBoard.Pos, 135, 3, -MATE_SCORE, MATE_SCORE);
        EXPECT_EQ(StoredPlies(After(GameBoard.Pos, recapture).Key), c.childPlies);
    }
}

// A null move shows as the position with the other side to move, stored by
// the null-move search at its depth.
TEST_F(SearchTest, NullMoveGatingAndDepth) {
    const char* ahead = "r3k3/pp3ppp/8/8/8/8/PPP2PPP/RN1QKBNR w KQ - 0";
    const char* inCheck = "r3k3/pp3ppp/8/8/1b6/8/PPP2PPP/RN1QKBNR w KQ - 0";
    const char* pawnsOnly = "4k3/pp3ppp/8/8/8/8/PPP2PPP/4K3 w - - 0";
    const char* rookOnly = "4k3/pp3ppp/8/8/8/8/PPP2PPP/R3K3 w - - 0";
    struct Case {
        const char* fen;
        int depth;
        int iterationDepth;
        bool pvWindow;
        int nullPlies;  // -1: no null move
    };
    const Case cases[] = {
        {ahead, 300, 4, false, 2},     {ahead, 300, 3, false, -1},     {ahead, 300, 4, true, -1},
        {inCheck, 300, 4, false, -1},  {pawnsOnly, 300, 4, false, -1}, {ahead, 420, 4, false, 3},
        {rookOnly, 420, 4, false, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fen) + " depth " + std::to_string(c.depth) + " iteration " +
                     std::to_string(c.iterationDepth) + (c.pvWindow ? " pv" : ""));
        Fresh(c.fen);
        IterationDepth = c.iterationDepth;
        RootAlpha = c.pvWindow ? -300 : -MATE_SCORE;
        RootBeta = c.pvWindow ? -299 : MATE_SCORE;
        Search(&GameBoard, &GameBoard.Pos, c.depth, 2, -300, -299);
        EXPECT_EQ(StoredPlies(GameBoard.Pos.Key ^ SideKey), c.nullPlies);
    }
}

TEST_F(SearchTest, QuiescenceWithoutCapturesReturnsStandPat) {
    SetupTestPosition(&GameBoard, "4k3/8/8/8/8/8/4P3/4K3 w - - 0");
    LazyEvalMargin = 1000000;  // no lazy cut
    const int standPat = Evaluate(&GameBoard.Eval, &GameBoard.Pos, 2, -MATE_SCORE, MATE_SCORE);
    // Below alpha, it still comes back as it is (fail soft).
    EXPECT_EQ(Quiesce(&GameBoard, &GameBoard.Pos, 0, 2, standPat + 300, standPat + 400), standPat);
    EXPECT_EQ(NodeCount, 0);
}

// The time bound tightens with the best move's stability; a hard limit below
// it comes first. The clock reads 1 ms under the bound at the first poll and
// 1 ms over it at the second, at ticks far beyond 32 bits.
TEST_F(SearchTest, TimeBoundsFollowStability) {
    struct Case {
        int stability;
        i64 boundMs;  // for a budget of 1000 ms
        double hardLimitMs = 1e9;
    };
    const Case cases[] = {{10, 700},  {4, 700},  {3, 800},  {2, 900},         {1, 1100},
                          {0, 1500},  {-1, 2000}, {-2, 3000}, {-9, 3000}, {-2, 1200, 1200}, {4, 450, 450}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stability << " " << c.hardLimitMs);
        Fresh(Middlegame);
        const i64 start = i64{1} << 40;
        host.script = {start + c.boundMs - 1, start + c.boundMs + 1, start + 1000000};
        host.scriptIndex = 0;
        SearchStartTick = start;
        TargetTimeMs = 1000;
        SearchHardLimitMs = c.hardLimitMs;
        BestMoveStability = c.stability;
        IterationDepth = 30;
        std::vector<bool> stopAtPoll;
        host.onMessages = [&] { stopAtPoll.push_back(StopSearch); };
        EXPECT_EQ(Search(&GameBoard, &GameBoard.Pos, 30 * ONE_PLY, 2, -MATE_SCORE, MATE_SCORE), 0);
        EXPECT_EQ(stopAtPoll, (std::vector<bool>{false, true}));
        // The search ends right after the stop.
        EXPECT_LT(NodeCount - LastPollNodeCount, 200);
    }
}

TEST_F(SearchTest, InfiniteAndUninterruptibleSearches) {
    SetupTestPosition(&GameBoard, Middlegame);
    host.nodesPerMs = 20;
    TargetTimeMs = 1;
    IterationDepth = 30;

    // Infinite: time never stops it, a handler still does.
    InfiniteSearch = true;
    bool stoppedEarly = false;
    host.onMessages = [&] {
        stoppedEarly |= bool(StopSearch);
        if (host.messageCalls == 5) StopSearch = true;
    };
    Search(&GameBoard, &GameBoard.Pos, 30 * ONE_PLY, 2, -MATE_SCORE, MATE_SCORE);
    EXPECT_FALSE(stoppedEarly);
    EXPECT_EQ(host.messageCalls, 5);
    InfiniteSearch = false;

    // Uninterruptible: a search that every handler tries to stop gives the
    // same result as one left alone.
    auto run = [&](bool interrupt) {
        Fresh(Busy);
        host.messageCalls = 0;
        host.onMessages = [interrupt] {
            if (interrupt) StopSearch = true;
        };
        SearchUninterruptible = true;
        IterationDepth = 4;
        const int score = Search(&GameBoard, &GameBoard.Pos, 4 * ONE_PLY, 2, -MATE_SCORE, MATE_SCORE);
        SearchUninterruptible = false;
        return std::make_pair(score, NodeCount);
    };
    const auto alone = run(false);
    const auto interrupted = run(true);
    EXPECT_GT(host.messageCalls, 0);
    EXPECT_EQ(interrupted, alone);
    EXPECT_FALSE(StopSearch);
}

// The protocol reader raises the flag from its own thread at any moment; an
// uninterruptible search still scores every move.
TEST_F(SearchTest, StopFromAnotherThreadDuringAnUninterruptibleSearch) {
    SetupTestPosition(&GameBoard, Busy);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            StopSearch = true;
            std::this_thread::yield();
        }
    });
    SearchUninterruptible = true;
    IterationDepth = 1;
    const int first = SearchRoot(ONE_PLY, -MATE_SCORE, MATE_SCORE, true, false);
    IterationDepth = 3;
    const int third = SearchRoot(3 * ONE_PLY, -MATE_SCORE, MATE_SCORE, false, false);
    SearchUninterruptible = false;
    done = true;
    reader.join();
    EXPECT_EQ(first, ROOT_SEARCHED);
    EXPECT_EQ(third, ROOT_SEARCHED);
    EXPECT_GT(GameBoard.List.Score[0], -1000);
    const auto legal = LegalMoves(GameBoard.Pos);
    EXPECT_NE(std::find(legal.begin(), legal.end(), GameBoard.List.Moves[0]), legal.end());
}

TEST_F(SearchTest, PonderingPollsEveryThousandNodesWithoutATimeTest) {
    SetupTestPosition(&GameBoard, Middlegame);
    host.nodesPerMs = 1;
    TargetTimeMs = 0;
    Pondering = true;
    IterationDepth = 5;
    Search(&GameBoard, &GameBoard.Pos, 5 * ONE_PLY, 2, -MATE_SCORE, MATE_SCORE);
    Pondering = false;
    EXPECT_FALSE(StopSearch);
    EXPECT_GE(host.messageCalls, NodeCount / 1002);
    EXPECT_LE(host.messageCalls, NodeCount / 1001 + 1);
}

// Handlers may switch the table off, clear it or replace it at any poll.
TEST_F(SearchTest, HashTableChangedByHandlersDuringTheSearch) {
    SetupTestPosition(&GameBoard, Busy);
    host.onMessages = [&] {
        switch (host.messageCalls % 4) {
            case 0: UseHashTable = 0; break;
            case 1: UseHashTable = 1; break;
            case 2: ResizeHashTables(host.messageCalls % 8 == 2 ? 4096 : 1 << 20); break;
            default: ClearHashTables(); break;
        }
    };
    EXPECT_EQ(DeepenRootSearch(5), ROOT_SEARCHED);
    EXPECT_GT(host.messageCalls, 8);
    const auto legal = LegalMoves(GameBoard.Pos);
    EXPECT_NE(std::find(legal.begin(), legal.end(), GameBoard.List.Moves[0]), legal.end());

    host.messageCalls = 0;
    GameBoard.Pos = After(GameBoard.Pos, GameBoard.List.Moves[0]);
    host.onMessages = [&] {
        if (host.messageCalls == 3) ResizeHashTables(1 << 16);
        if (host.messageCalls == 6) StopSearch = true;
    };
    Ponder();
    EXPECT_EQ(host.messageCalls, 6);
    EXPECT_FALSE(Pondering);
    EXPECT_FALSE(StopSearch);
}

TEST_F(SearchTest, FindsMatesWithTheirScores) {
    struct Case {
        const char* fen;
        int moves;
    };
    const Case cases[] = {
        {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0", 1},
        {"kbK5/pp6/1P6/8/8/8/8/R7 w - - 0", 2},
        {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fen);
        Fresh(c.fen);
        const Position start = GameBoard.Pos;
        ASSERT_EQ(DeepenRootSearch(2 * c.moves + 1), ROOT_SEARCHED);
        EXPECT_EQ(GameBoard.List.Score[0], MATE_SCORE - 2 * c.moves);
        EXPECT_TRUE(MoveMatesWithin(start, GameBoard.List.Moves[0], c.moves));
        if (c.moves > 1) {
            EXPECT_FALSE(MoveMatesWithin(start, GameBoard.List.Moves[0], c.moves - 1));
        }
    }
    // The side that is mated next move sees -(32000 - 3).
    Fresh("kbK5/pp6/RP6/8/8/8/8/8 b - - 0");
    ASSERT_EQ(DeepenRootSearch(4), ROOT_SEARCHED);
    EXPECT_EQ(GameBoard.List.Score[0], 3 - MATE_SCORE);
}

TEST_F(SearchTest, SameSearchFromAResetEngineGivesTheSameResult) {
    auto run = [this] {
        Fresh(Middlegame);
        DeepenRootSearch(6);
        return std::make_tuple(GameBoard.List.Score[0], NodeCount, GameBoard.List.Moves[0]);
    };
    const auto first = run();
    const auto second = run();
    EXPECT_EQ(first, second);
    EXPECT_GT(std::get<1>(first), 10000);
}

TEST_F(SearchTest, NodeCountsPastThirtyTwoBits) {
    auto run = [](i64 startCount) {
        Fresh(Busy);
        NodeCount = LastPollNodeCount = startCount;
        IterationDepth = 4;
        const int code = SearchRoot(4 * ONE_PLY, -MATE_SCORE, MATE_SCORE, true, false);
        return std::make_tuple(code, GameBoard.List.Moves[0], GameBoard.List.Score[0], NodeCount - startCount);
    };
    host.nodesPerMs = 0;
    const auto small = run(0);
    const int pollsSmall = host.messageCalls;
    host.messageCalls = 0;
    const auto large = run((i64{1} << 32) - 1000);
    EXPECT_EQ(large, small);
    EXPECT_EQ(host.messageCalls, pollsSmall);
    // A poll every 5001 made moves (or a few more: the poll is at node entry).
    const i64 nodes = std::get<3>(small);
    ASSERT_GT(nodes, 50000);
    EXPECT_LE(pollsSmall, nodes / 5001);
    EXPECT_GE(pollsSmall, nodes / 5200);
}

// ------------------------------------------------------------ SearchRoot

TEST_F(SearchTest, RootCodesForMateStalemateAndSingleMove) {
    struct Case {
        const char* fen;
        int code;
        i64 nodes;  // made moves, -1 not checked
    };
    const Case cases[] = {
        {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1", ROOT_CHECKMATED, -1},
        {"7k/5Q2/6K1/8/8/8/8/8 b - - 0", ROOT_STALEMATE, -1},
        {"1R6/8/4k3/8/8/8/6PP/r6K w - - 0", ROOT_SINGLE_MOVE, 1},  // one legal move: no search
        {"4k3/8/8/8/8/8/7r/K7 w - - 0", ROOT_SINGLE_MOVE, -1},     // one legal move out of three
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fen);
        Fresh(c.fen);
        IterationDepth = 1;
        EXPECT_EQ(SearchRoot(ONE_PLY, -MATE_SCORE, MATE_SCORE, true, true), c.code);
        if (c.nodes >= 0) {
            EXPECT_EQ(NodeCount, c.nodes);
        }
    }
}

TEST_F(SearchTest, VerdictOrderAndScores) {
    SetupTestPosition(&GameBoard, Middlegame);
    ASSERT_EQ(DeepenRootSearch(4), ROOT_SEARCHED);
    std::vector<Move> before(GameBoard.List.Moves, GameBoard.List.Moves + GameBoard.List.Last + 1);
    IterationDepth = 5;
    const int code = SearchRoot(5 * ONE_PLY, -MATE_SCORE, MATE_SCORE, false, false);
    ASSERT_EQ(code, ROOT_SEARCHED);
    const MoveList& list = GameBoard.List;
    const int best = list.Score[0];
    EXPECT_EQ(RootAlpha, best);
    for (int i = 1; i <= list.Last; ++i) EXPECT_EQ(list.Score[i], best - 1);
    std::vector<Move> after(list.Moves, list.Moves + list.Last + 1);
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);
    // A fail high: that move first with its score, all others one less.
    const int failHigh = SearchRoot(5 * ONE_PLY, best - 200, best - 199, false, false);
    ASSERT_EQ(failHigh, ROOT_FAIL_HIGH);
    EXPECT_GE(list.Score[0], best - 199);
    for (int i = 1; i <= list.Last; ++i) EXPECT_EQ(list.Score[i], list.Score[0] - 1);
}

TEST_F(SearchTest, RepeatingRootMoveScoresZeroWithoutSearch) {
    SetupTestPosition(&GameBoard, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0");
    const int shuffle[][2] = {{G1, F3}, {G8, F6}, {F3, G1}, {F6, G8}, {G1, F3}, {G8, F6}, {F3, G1}};
    for (const auto& s : shuffle) MakeMove(&GameBoard, FindMove(GameBoard.Pos, s[0], s[1]), &GameBoard.Pos);
    const Move back = FindMove(GameBoard.Pos, F6, G8);  // the start position a third time
    ASSERT_NE(back, 0);

    GenerateMoves(&GameBoard);
    for (int i = 0; i <= GameBoard.List.Last; ++i)
        if (GameBoard.List.Moves[i] == back) SwapMoves(&GameBoard.List, 0, i);
    IterationDepth = 3;
    NodeCount = 0;
    EXPECT_EQ(SearchRoot(3 * ONE_PLY, -100, 0, false, false), ROOT_FAIL_HIGH);
    EXPECT_EQ(NodeCount, 1);
    EXPECT_EQ(GameBoard.List.Moves[0], back);
    EXPECT_EQ(GameBoard.List.Score[0], 0);
    for (int i = 1; i <= GameBoard.List.Last; ++i) EXPECT_EQ(GameBoard.List.Score[i], -MATE_SCORE);

    // Inside a wide window it is just one more move scored 0.
    GenerateMoves(&GameBoard);
    for (int i = 0; i <= GameBoard.List.Last; ++i)
        if (GameBoard.List.Moves[i] == back) SwapMoves(&GameBoard.List, 0, i);
    EXPECT_EQ(SearchRoot(3 * ONE_PLY, -MATE_SCORE, MATE_SCORE, false, false), ROOT_SEARCHED);
}

TEST_F(SearchTest, RootInCheckSearchesChildrenAQuarterPlyShort) {
    SetupTestPosition(&GameBoard, "4k3/8/8/8/8/8/8/r3K2R w - - 0");
    IterationDepth = 3;
    ASSERT_EQ(SearchRoot(135, -MATE_SCORE, MATE_SCORE, true, false), ROOT_SEARCHED);
    // 135 + 45 - 60 = 120: two plies (75 without the extension would store one).
    for (int i = 0; i <= GameBoard.List.Last; ++i)
        EXPECT_EQ(StoredPlies(After(GameBoard.Pos, GameBoard.List.Moves[i]).Key), 2) << i;
}

TEST_F(SearchTest, PrincipalVariationTextBound) {
    SetupTestPosition(&GameBoard, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0");
    const int line[][2] = {{E2, E4}, {E7, E5}, {D2, D4}, {D7, D5}, {C2, C4}, {C7, C5}, {B2, B4}, {B7, B5},
                           {A2, A4}, {A7, A5}, {H2, H4}, {H7, H5}, {G2, G4}, {G7, G5}, {F2, F4}, {F7, F5}};
    Position p = GameBoard.Pos;
    std::vector<Position> positions;
    Move first = 0;
    for (const auto& s : line) {
        const Move m = FindMove(p, s[0], s[1]);
        ASSERT_NE(m, 0);
        if (first == 0)
            first = m;
        else
            StoreHash(ONE_PLY, 0, HASH_EXACT, KeyLo(p.Key), KeyHi(p.Key), m);
        positions.push_back(p);
        p = After(p, m);
    }
    EXPECT_EQ(PrincipalVariationText(GameBoard.Pos, first),
              "e4 e5 d4 d5 c4 c5 b4 b5 a4 a5 h4 h5 g4 g5");

    // A hash move that is not among the moves ends the text ...
    StoreHash(ONE_PLY, 0, HASH_EXACT, KeyLo(positions[4].Key), KeyHi(positions[4].Key),
              MakeMoveCode(E1, E5, KING));
    EXPECT_EQ(PrincipalVariationText(GameBoard.Pos, first), "e4 e5 d4 d5");
    // ... and so does one that would leave the king attacked.
    SetupTestPosition(&SpareBoard, "3k4/3b4/8/8/8/8/8/K2R4 w - - 0");
    const Position pinned = SpareBoard.Pos;
    const Move king = FindMove(pinned, A1, A2);
    const Position next = After(pinned, king);
    const Move exposing = FindMove(next, D7, E6);
    ASSERT_NE(exposing, 0);
    StoreHash(ONE_PLY, 0, HASH_EXACT, KeyLo(next.Key), KeyHi(next.Key), exposing);
    EXPECT_EQ(PrincipalVariationText(pinned, king), "Ka2");
}

TEST_F(SearchTest, GamePhaseAdvancesAndClearsTheTables) {
    SetupTestPosition(&GameBoard, "r3k2r/pp3ppp/8/8/8/8/PP3PPP/R3K2R w - - 0");
    const u64 key = GameBoard.Pos.Key ^ 0x1234;
    StoreHash(ONE_PLY, 5, HASH_EXACT, KeyLo(key), KeyHi(key), 0);
    IterationDepth = 1;
    SearchRoot(ONE_PLY, -MATE_SCORE, MATE_SCORE, true, false);
    EXPECT_EQ(GameBoard.Pos.GamePhase, 2);  // no castling rights, little material: both steps
    EXPECT_EQ(StoredPlies(key), -1);
    // The endgame step on its own clears the tables as well.
    SetupTestPosition(&GameBoard, "r3k2r/pp3ppp/8/8/8/8/PP3PPP/R3K2R w - - 0");
    GameBoard.Pos.GamePhase = 1;
    StoreHash(ONE_PLY, 5, HASH_EXACT, KeyLo(key), KeyHi(key), 0);
    SearchRoot(ONE_PLY, -MATE_SCORE, MATE_SCORE, true, false);
    EXPECT_EQ(GameBoard.Pos.GamePhase, 2);
    EXPECT_EQ(StoredPlies(key), -1);

    SetupTestPosition(&GameBoard, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0");
    host.ply = 25;
    SearchRoot(ONE_PLY, -MATE_SCORE, MATE_SCORE, true, false);
    EXPECT_EQ(GameBoard.Pos.GamePhase, 0);
    host.ply = 26;
    SearchRoot(ONE_PLY, -MATE_SCORE, MATE_SCORE, true, false);
    EXPECT_EQ(GameBoard.Pos.GamePhase, 1);
}

// -------------------------------------------------------- texts and lines

TEST_F(SearchTest, ScoreTexts) {
    const std::pair<int, const char*> labels[] = {{35, "0.35"},        {-120, "-1.20"},      {0, "0.00"},
                                                  {-5, "-0.05"},       {30999, "309.99"},    {31998, "# in 1"},
                                                  {-31997, "-# in 1"}, {31994, "# in 3"},    {-31000, "-# in 500"}};
    for (const auto& [score, text] : labels) EXPECT_EQ(ScoreLabelText(score), text) << score;
    const std::pair<int, const char*> protocol[] = {{35, "35"},          {-120, "-120"},       {30999, "30999"},
                                                    {31998, "100001"},   {-31997, "-100001"}, {31994, "100003"},
                                                    {-31996, "-100002"}};
    for (const auto& [score, text] : protocol) EXPECT_EQ(ProtocolScoreText(score), text) << score;
}

TEST_F(SearchTest, ThinkingLinesCarryPlyScoreCentisecondsNodesAndMoves) {
    host.protocol = true;
    // The time counts from the search's start, not from the clocks' last update.
    host.moveStart = 9000;
    host.now = 1000 + 12345;
    SetupTestPosition(&GameBoard, "r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0");
    ASSERT_EQ(DeepenRootSearch(7, 1000), ROOT_SEARCHED);
    ASSERT_FALSE(host.lines.empty());
    const std::regex format(R"((\d+) (-?\d+) 1234 (\d+) \S+( \S+)*)");
    for (const std::string& line : host.lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, format)) << line;
        EXPECT_GT(std::stoi(m[1]), 3) << line;
    }
    // The deepening ends once the mate in 3 is certain: after depth 5.
    const std::string& last = host.lines.back();
    EXPECT_NE(last.find(" 100003 1234 "), std::string::npos) << last;
    EXPECT_EQ(last.substr(0, 2), "5 ");

    // The side being mated (the deepening would stop before depth 4).
    const auto mated = [] {
        Fresh("kbK5/pp6/RP6/8/8/8/8/8 b - - 0");
        SearchStartTick = 1000;
        IterationDepth = 4;
        return SearchRoot(4 * ONE_PLY, -MATE_SCORE, MATE_SCORE, true, true);
    };
    host.lines.clear();
    ASSERT_EQ(mated(), ROOT_SEARCHED);
    ASSERT_FALSE(host.lines.empty());
    EXPECT_NE(host.lines.back().find(" -100001 1234 "), std::string::npos) << host.lines.back();

    // Nothing goes out without posting.
    host.lines.clear();
    host.post = false;
    mated();
    EXPECT_TRUE(host.lines.empty());
}

TEST_F(SearchTest, ThinkWindowLabels) {
    SetupTestPosition(&GameBoard, "r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0");
    ASSERT_EQ(DeepenRootSearch(5), ROOT_SEARCHED);
    EXPECT_TRUE(host.lines.empty());
    EXPECT_EQ(host.Last(ThinkLabel::Score), "# in 3");
    const std::string san = MoveToSan(GameBoard.List.Moves[0], &GameBoard.List);
    EXPECT_EQ(host.Last(ThinkLabel::BestMove), san);
    EXPECT_EQ(host.Last(ThinkLabel::PV).rfind("PV: " + san, 0), 0u);
    const std::string depth = host.Last(ThinkLabel::Depth);
    EXPECT_EQ(depth.rfind("5/", 0), 0u) << depth;
    bool sawFirst = false;
    for (const auto& [label, text] : host.labels) sawFirst |= label == ThinkLabel::Depth && text == "1/1";
    EXPECT_TRUE(sawFirst);
}

// ---------------------------------------------------------------- Ponder

TEST_F(SearchTest, PonderGuessesTheReplyWithASixPlySearch) {
    SetupTestPosition(&GameBoard, Middlegame);
    const u64 key = GameBoard.Pos.Key;
    // Stop at the first poll of the deepening, not during the guess.
    host.onMessages = [] {
        if (IterationDepth != 6) StopSearch = true;
    };
    Ponder();
    EXPECT_FALSE(Pondering);
    EXPECT_FALSE(StopSearch);
    EXPECT_EQ(StoredPlies(key), 6);
    const Move reply = ProbeHashMove(KeyLo(key), KeyHi(key));
    EXPECT_EQ(PonderBoard.Pos.Key, After(GameBoard.Pos, reply).Key);
}

TEST_F(SearchTest, PonderPlaysAStoredReplyOnlyWhenItIsLegal) {
    SetupTestPosition(&GameBoard, Middlegame);
    const u64 key = GameBoard.Pos.Key;
    host.onMessages = [] { StopSearch = true; };

    const Move legal = FindMove(GameBoard.Pos, H2, H3);
    StoreHash(ONE_PLY, 0, HASH_EXACT, KeyLo(key), KeyHi(key), legal);
    Ponder();
    EXPECT_EQ(StoredPlies(key), 1);  // no guessing search
    EXPECT_EQ(PonderBoard.Pos.Key, After(GameBoard.Pos, legal).Key);

    // Not a move of the position, then one that leaves the king attacked:
    // neither is played, and the guessing search finds a legal reply.
    const char* pin = "4r1k1/8/8/8/8/8/4N3/4K3 w - - 0";
    const Move bogus[] = {MakeMoveCode(E1, E5, KING), MakeMoveCode(E2, C3, KNIGHT)};
    for (const Move m : bogus) {
        SCOPED_TRACE(m);
        Fresh(pin);
        const u64 k = GameBoard.Pos.Key;
        StoreHash(ONE_PLY, 0, HASH_EXACT, KeyLo(k), KeyHi(k), m);
        host.onMessages = [] {
            if (IterationDepth != 6) StopSearch = true;
        };
        Ponder();
        const Move guess = ProbeHashMove(KeyLo(k), KeyHi(k));
        EXPECT_NE(guess, m);
        const auto moves = LegalMoves(GameBoard.Pos);
        EXPECT_NE(std::find(moves.begin(), moves.end(), guess), moves.end());
        EXPECT_EQ(PonderBoard.Pos.Key, After(GameBoard.Pos, guess).Key);
    }
}

}  // namespace
