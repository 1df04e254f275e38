// The engine's move driver: the time rules, the deepening's window and stop
// rules, book and single-reply answers, the learning result, the resign rule,
// and the search signature.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "globals.h"
#include "movedriver.h"
#include "movegen.h"
#include "ordering.h"
#include "rootsearch.h"
#include "search.h"
#include "timemanager.h"

namespace {

constexpr double Unlimited = std::numeric_limits<double>::infinity();

// ------------------------------------------------------------ time rules

MoveBudgetInputs Blitz(int minutes, int bonus, int ownMoves, double used, double left, double speed = 100) {
    MoveBudgetInputs in;
    in.timeControlType = TIME_BLITZ;
    in.blitzMinutes = minutes;
    in.blitzBonus = bonus;
    in.ownMoves = ownMoves;
    in.usedMs = used;
    in.leftMs = left;
    in.speedPercent = speed;
    return in;
}

MoveBudgetInputs Tournament(int moves, int minutes, int rest, int ownMoves, double used, double left) {
    MoveBudgetInputs in;
    in.timeControlType = TIME_TOURNAMENT;
    in.tournamentMoves = moves;
    in.tournamentMinutes = minutes;
    in.tournamentRest = rest;
    in.ownMoves = ownMoves;
    in.usedMs = used;
    in.leftMs = left;
    return in;
}

MoveBudgetInputs Seconds(bool valid, int seconds, double speed) {
    MoveBudgetInputs in;
    in.timeControlType = TIME_PER_MOVE;
    in.secondsValid = valid;
    in.secondsPerMove = seconds;
    in.speedPercent = speed;
    return in;
}

TEST(MoveBudget, PerTimeControl) {
    MoveBudgetInputs other;
    other.timeControlType = 0;
    other.previousBudgetMs = 1234;
    const struct {
        const char* name;
        MoveBudgetInputs in;
        double expected;
    } cases[] = {
        {"blitz 5+0 at the start", Blitz(5, 0, 0, 0, 300000), 5000},
        {"blitz 5+0 at half speed", Blitz(5, 0, 0, 0, 300000, 50), 2500},
        {"blitz 2+12 after 10 moves", Blitz(2, 12, 10, 100000, 140000), 12000.0 + 140000.0 / 60},
        {"blitz allowance used up", Blitz(5, 0, 0, 300000, 0), 0},
        {"blitz past the flag", Blitz(5, 0, 0, 302000, -2000), -200},
        {"blitz 800 ms left", Blitz(1, 0, 0, 59200, 800), 50},
        {"blitz 8 s left", Blitz(1, 0, 0, 52000, 8000), 8000.0 / 60 * 0.5 * 0.25},
        {"speed factor capped by the clock", Blitz(1, 60, 0, 0, 60000, 400), 6000},
        {"tournament 40/120, 10 moves, 30 min used", Tournament(40, 120, 0, 10, 1800000, 5400000), 150000},
        {"tournament second period", Tournament(40, 120, 0, 40, 7200000, 7200000), (14400000.0 - 7200000.0) / 46},
        {"tournament rest time", Tournament(40, 120, 60, 40, 7200000, 3600000), 72000},
        {"tournament without moves per period", Tournament(0, 5, 0, 3, 100000, 200000), 20000},
        {"seconds per move", Seconds(true, 3, 150), 4500},
        {"seconds not a whole number", Seconds(false, 0, 50), 500},
        {"no time control keeps the budget", other, 1234},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const double t = MoveBudgetMs(c.in);
        ASSERT_TRUE(std::isfinite(t));
        EXPECT_NEAR(t, c.expected, 1e-6);
        if (c.in.timeControlType == 2 || c.in.timeControlType == 4) {
            EXPECT_LE(t, std::max(c.in.leftMs * 0.2, 50.0));
        }
    }
}

TEST(MoveBudget, HardLimit) {
    EXPECT_EQ(MoveHardLimitMs(true, 1, true, 5, 0), 4800.0);
    EXPECT_EQ(MoveHardLimitMs(true, 1, true, 1, 0), 800.0);
    EXPECT_EQ(MoveHardLimitMs(true, 1, true, 20, 0), 19600.0);
    EXPECT_EQ(MoveHardLimitMs(false, 1, true, 5, 0), Unlimited);
    EXPECT_EQ(MoveHardLimitMs(true, 1, false, 0, 0), Unlimited);
    EXPECT_EQ(MoveHardLimitMs(true, 2, true, 0, 60000), 14875.0);
    EXPECT_EQ(MoveHardLimitMs(false, 4, true, 0, 60000), 14875.0);
    EXPECT_EQ(MoveHardLimitMs(true, 2, true, 0, 300), 0.0);
}

// Between iterations the stop comes sooner the longer the best move stands,
// sooner still in the middle game than in the endgame.
TEST(MoveBudget, IterationStopFollowsStabilityAndPhase) {
    const struct {
        int stability;
        int phase;
        double boundMs;  // for a budget of 1000 ms
    } cases[] = {{11, 2, 300}, {10, 2, 400}, {6, 2, 600}, {1, 2, 800}, {0, 2, 2000}, {-2, 2, 2000},
                 {10, 1, 200}, {8, 0, 300}, {6, 1, 500}, {3, 1, 600}, {1, 0, 800}, {0, 1, 2000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stability << " in phase " << c.phase);
        EXPECT_FALSE(IterationTimeIsUp(c.boundMs, 1000, c.stability, c.phase));
        EXPECT_TRUE(IterationTimeIsUp(c.boundMs + 1, 1000, c.stability, c.phase));
    }
}

TEST(MoveBudget, AfterAFailedIteration) {
    const struct {
        const char* name;
        double budget;
        double left;
        int type;
        bool failLow;
        double expected;  // first budget 1000
    } cases[] = {
        {"blitz fail low", 1000, 100000, 2, true, 1500},
        {"tournament fail low", 2400, 100000, 4, true, 3000},
        {"blitz fail high", 1000, 100000, 2, false, 1000},
        {"blitz, a fifth of the clock already spent", 1000, 5000, 2, true, 1000},
        {"seconds per move", 1000, 0, 1, true, 1000},
        {"seconds per move, budget raised meanwhile", 5000, 0, 1, false, 3000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BudgetAfterFailedIteration(c.budget, 1000, c.left, c.type, c.failLow), c.expected);
    }
}

// ------------------------------------------------------------ resigning

TEST(ResignRule, NeedsFiveLosingScoresAWinningOpponentAndTimeOnItsClock) {
    const std::vector<int> losing = {-700, -650, -700, -800, -900};
    const struct {
        const char* name;
        bool enabled;
        std::vector<int> scores;
        int opponentPawns, opponentPieces;
        int type, minutes, bonus;
        double opponentLeft;
        bool resigns;
    } cases[] = {
        {"five losing scores", true, losing, 800, 3000, 1, 0, 0, 0, true},
        {"not enabled", false, losing, 800, 3000, 1, 0, 0, 0, false},
        {"best score at the threshold", true, {-600, -650, -700, -800, -900}, 800, 3000, 1, 0, 0, 0, false},
        {"one score above the threshold", true, {-700, -650, -500, -800, -900}, 800, 3000, 1, 0, 0, 0, false},
        {"recovering", true, {-700, -650, -700, -800, -1000}, 800, 3000, 1, 0, 0, 0, false},
        {"opponent cannot mate", true, losing, 0, 500, 1, 0, 0, 0, false},
        {"opponent with a queen", true, losing, 0, 1000, 1, 0, 0, 0, true},
        {"blitz 5+0, 25 s left", true, losing, 800, 3000, 2, 5, 0, 25000, false},
        {"blitz 5+0, 35 s left", true, losing, 800, 3000, 2, 5, 0, 35000, true},
        {"blitz 5+2, 25 s left", true, losing, 800, 3000, 2, 5, 2, 25000, true},
        {"blitz 5+2, 15 s left", true, losing, 800, 3000, 2, 5, 2, 15000, false},
        {"blitz 60+0, 80 s left", true, losing, 800, 3000, 2, 60, 0, 80000, false},
        {"blitz 60+0, 95 s left", true, losing, 800, 3000, 2, 60, 0, 95000, true},
        {"tournament 20 min, 25 s left", true, losing, 800, 3000, 4, 20, 0, 25000, false},
        {"tournament 120 min, 80 s left", true, losing, 800, 3000, 4, 120, 0, 80000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResignInputs in;
        in.enabled = c.enabled;
        in.bestScore = c.scores[0];
        for (int i = 0; i < 5; ++i) in.lastScores[i] = c.scores[i];
        in.opponentPawnMaterial = c.opponentPawns;
        in.opponentPieceMaterial = c.opponentPieces;
        in.timeControlType = c.type;
        in.blitzMinutes = c.minutes;
        in.tournamentMinutes = c.minutes;
        in.blitzBonus = c.bonus;
        in.opponentLeftMs = c.opponentLeft;
        EXPECT_EQ(ResignRuleHolds(in), c.resigns);
    }
}

// ------------------------------------------------------------ the deepening

const char* const Middlegame = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R1BQKB1R w KQ - 0";

class MoveDriverTest : public HostedEngineTest {
protected:
    // The engine's move in fen under a time control, the clock standing at 0.
    Deepening Begin(const char* fen, int type, double budgetMs, double hardLimitMs = Unlimited) {
        SetupTestPosition(&GameBoard, fen);
        return BeginEngineMove(0, type, budgetMs, hardLimitMs);
    }
    static void Deepen(Deepening* d) {
        while (DeepenOnce(d)) {
        }
    }
};

TEST_F(MoveDriverTest, ABudgetOfNothingStillSearchesTheFirstIteration) {
    Deepening d = Begin(Middlegame, 2, 0);
    Deepen(&d);
    EXPECT_EQ(IterationDepth, 1);
    EXPECT_EQ(d.code, ROOT_SEARCHED);
    const auto legal = LegalMovesOf(GameBoard);
    EXPECT_NE(std::find(legal.begin(), legal.end(), GameBoard.List.Moves[0]), legal.end());
}

TEST_F(MoveDriverTest, TheHardLimitEndsTheDeepeningUnlessTheSearchIsInfinite) {
    Deepening d = Begin(Middlegame, 2, 1e9, 400);
    host.now = 400;
    Deepen(&d);
    EXPECT_EQ(IterationDepth, 1);

    InfiniteSearch = true;
    d = Begin(Middlegame, 2, 0, 400);
    d.lastDepth = 4;
    Deepen(&d);
    EXPECT_EQ(IterationDepth, 4);
}

TEST_F(MoveDriverTest, AMateEndsTheDeepeningOnceItIsCertain) {
    // Rd8+ Rxd8 Rxd8#: the mated side is to move at ply 4.
    Deepening d = Begin("r5k1/5ppp/8/8/8/8/3R1PPP/3R2K1 w - - 0", 1, 1e15);
    Deepen(&d);
    EXPECT_EQ(d.bestScore, MATE_SCORE - 4);
    EXPECT_EQ(IterationDepth, 3);
    EXPECT_EQ(CoordinateText(GameBoard.List.Moves[0]), "d2d8");
}

TEST_F(MoveDriverTest, AFailedWindowRepeatsTheDepthWiderAndMayBuyTime) {
    Deepening d = Begin(Middlegame, 2, 1000);
    d.lastDepth = 3;
    Deepen(&d);
    ASSERT_EQ(IterationDepth, 3);
    host.clockLeft = 100000;

    // No move reaches this window: a fail low.
    d.alpha = 30000;
    d.beta = 30100;
    d.lastDepth = 50;
    EXPECT_TRUE(DeepenOnce(&d));
    EXPECT_EQ(IterationDepth, 3);
    EXPECT_EQ(host.clockReads, std::vector<int>{WHITE});
    EXPECT_EQ(TargetTimeMs, 1500);
    EXPECT_EQ(d.alpha, 29800);
    EXPECT_EQ(d.beta, 30100);
    // Failing again opens the whole window.
    EXPECT_TRUE(DeepenOnce(&d));
    EXPECT_EQ(TargetTimeMs, 2250);
    EXPECT_EQ(d.alpha, -MATE_SCORE);
    EXPECT_EQ(d.beta, MATE_SCORE);

    // Every move reaches this one: a fail high buys no time.
    d.alpha = -30100;
    d.beta = -30000;
    EXPECT_TRUE(DeepenOnce(&d));
    EXPECT_EQ(d.code, ROOT_FAIL_HIGH);
    EXPECT_EQ(IterationDepth, 3);
    EXPECT_EQ(BestMoveStability, 0);
    EXPECT_EQ(TargetTimeMs, 2250);
    EXPECT_EQ(d.beta, -29800);
}

TEST_F(MoveDriverTest, AStopFromAHandlerEndsTheDeepening) {
    Deepening d = Begin(Middlegame, 1, 1e15);
    host.onMessages = [] {
        if (IterationDepth == 5) StopSearch = true;
    };
    Deepen(&d);
    // Stopped at depth 5, or at 4 when the stop came before a score at 5.
    EXPECT_GE(IterationDepth, 4);
    EXPECT_LE(IterationDepth, 5);
    EXPECT_TRUE(StopSearch);
    EndEngineMove();
    EXPECT_FALSE(StopSearch);
}

TEST_F(MoveDriverTest, BookMovesAreTakenOnlyWhenLegal) {
    // The knight on e2 is pinned.
    Deepening d = Begin("4r1k1/8/8/8/8/8/4N3/4K3 w - - 0", 1, 1000);
    EXPECT_FALSE(AnswerFromBook(&d, MakeMoveCode(E2, C3, KNIGHT)));
    ASSERT_TRUE(AnswerFromBook(&d, E1 * 64 + D1));  // only its squares count
    EXPECT_EQ(CoordinateText(GameBoard.List.Moves[0]), "e1d1");
    EXPECT_EQ(GameBoard.List.Score[0], 0);
    for (int i = 1; i <= GameBoard.List.Last; ++i) EXPECT_EQ(GameBoard.List.Score[i], -100);
    EXPECT_EQ(NodeCount, 0);
}

TEST_F(MoveDriverTest, ASingleReplyIsAnsweredWithTheLastScore) {
    LastScores[0] = -250;
    Deepening d = Begin("k7/p7/8/8/8/8/1q6/K7 w - - 0", 1, 1000);
    ASSERT_TRUE(AnswerSingleReply(&d));
    EXPECT_EQ(CoordinateText(GameBoard.List.Moves[0]), "a1b2");
    EXPECT_EQ(d.code, ROOT_SINGLE_MOVE);
    EXPECT_EQ(d.bestScore, -250);
    EXPECT_EQ(IterationDepth, 0);

    d = Begin(Middlegame, 1, 1000);
    EXPECT_FALSE(AnswerSingleReply(&d));
}

TEST_F(MoveDriverTest, TheBestScoreDecidesTheLearningResultOnce) {
    const struct {
        double before;
        int score;
        int side;
        double after;
    } cases[] = {{-1, 250, WHITE, 1}, {-1, -250, WHITE, 0}, {-1, 250, BLACK, 0},
                 {-1, -250, BLACK, 1}, {-1, 200, WHITE, -1}, {-2, 900, WHITE, -2}, {0.5, 900, WHITE, 0.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.before << " " << c.score << " " << c.side);
        LearnResult = c.before;
        for (int i = 0; i < 5; ++i) LastScores[i] = i;
        Deepening d;
        d.bestScore = c.score;
        d.side = c.side;
        RecordBestScore(d);
        EXPECT_EQ(LearnResult, c.after);
        EXPECT_EQ(std::vector<int>(LastScores, LastScores + 5), (std::vector<int>{c.score, 0, 1, 2, 3}));
    }
}

// ------------------------------------------------------------ signature

// The benchmark's positions searched through the move driver to a fixed
// depth, each from a reset engine. Any change to the evaluation, the move
// ordering, the search or the driver's rules shows here; a deliberate one
// updates these numbers in the same commit.
TEST(SearchSignature, BenchmarkPositionsAtDepthSeven) {
    const struct {
        const char* move;
        int score;
    } expected[] = {
        {"e2e4", 3},    {"g8f6", 14},   {"f1b5", 100},   {"c1g5", 18},   {"d1e2", 2},    {"e2a6", -9},
        {"c3d5", 72},   {"d7c8q", 579}, {"c4c5", -647},  {"b7b6", 95},   {"e3f4", 71},   {"f5d3", 21},
        {"f2e3", 29},   {"e3c5", 254},  {"c1c8", 31998}, {"d1d8", 31998}, {"b4f4", -3},  {"g2f3", 2},
        {"e2e3", 238},  {"a2c4", -6},   {"e1e2", 1120},  {"f7e7", 67},
    };
    static_assert(std::size(expected) == std::size(BenchPositions));
    i64 nodes = 0;
    for (size_t i = 0; i < std::size(BenchPositions); ++i) {
        SCOPED_TRACE(BenchPositions[i].name);
        ResetEngineState();
        SetupTestPosition(&GameBoard, BenchPositions[i].fen);
        DeepenRootSearch(7);
        nodes += NodeCount;
        EXPECT_EQ(CoordinateText(GameBoard.List.Moves[0]), expected[i].move);
        EXPECT_EQ(GameBoard.List.Score[0], expected[i].score);
    }
    EXPECT_EQ(nodes, 3666691);
}

}  // namespace
