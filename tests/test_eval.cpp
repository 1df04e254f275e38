#include <algorithm>
#include <cctype>
#include <climits>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bitboard.h"
#include "engine_fixture.h"
#include "eval.h"
#include "globals.h"
#include "hash.h"

namespace {

constexpr int FULL = 1'000'000;
constexpr const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
constexpr const char* KIWIPETE = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

char SwapCase(char ch) {
    const unsigned char u = static_cast<unsigned char>(ch);
    if (std::islower(u)) return static_cast<char>(std::toupper(u));
    if (std::isupper(u)) return static_cast<char>(std::tolower(u));
    return ch;
}

// The same position seen from the other side: ranks flipped, colours swapped.
std::string MirrorFen(const std::string& fen) {
    std::istringstream in(fen);
    std::string placement, side, castling, ep, rest;
    in >> placement >> side >> castling >> ep;
    std::getline(in, rest);
    std::vector<std::string> ranks;
    std::stringstream ps(placement);
    for (std::string r; std::getline(ps, r, '/');) ranks.push_back(r);
    std::reverse(ranks.begin(), ranks.end());
    std::string out;
    for (size_t i = 0; i < ranks.size(); ++i) {
        if (i) out += '/';
        for (char ch : ranks[i]) out += SwapCase(ch);
    }
    for (char& ch : castling) ch = SwapCase(ch);
    if (ep != "-") ep[1] = static_cast<char>('9' - (ep[1] - '0'));
    return out + (side == "w" ? " b " : " w ") + castling + " " + ep + rest;
}

class EvalTest : public EngineTest {
protected:
    EngineBoard board{};

    Position& Load(const std::string& fen, int phase = 0) {
        SetupTestPosition(&board, fen);
        board.Pos.GamePhase = phase;
        return board.Pos;
    }
    Position* P() { return &board.Pos; }
    EvalContext* C() { return &board.Eval; }
    int Full(int ply = 0) { return Evaluate(C(), P(), ply, -FULL, FULL); }
};

TEST_F(EvalTest, RecognizeEndgameKnowsDrawsAndSimplePawnEndings) {
    struct Case {
        const char* fen;
        int expected;
    } cases[] = {
        {"4k3/8/8/8/8/8/8/4K3 w - -", 1},         // bare kings
        {"4k3/8/8/8/8/8/8/4K1N1 w - -", 1},       // lone knight
        {"4k3/8/8/8/8/8/8/2B1K3 b - -", 1},       // lone bishop
        {"4k3/8/8/8/8/8/8/1N2K1N1 w - -", 0},     // two knights
        {"4k1n1/8/8/8/8/8/8/2B1K3 w - -", 0},     // bishop against knight
        {"4k3/8/8/8/8/8/8/1NB1K3 w - -", 0},      // bishop and knight
        {"4k3/8/8/8/8/8/8/R3K3 w - -", 0},        // rook
        // Opposing king right in front of the single pawn.
        {"8/8/4k3/4P3/4K3/8/8/8 w - -", 2 * 5 - 2 * 1},
        {"8/8/4k3/4P3/4K3/8/8/8 b - -", 2 * 1 - 2 * 5},
        // Rook pawn with the defending king in front of it.
        {"1k6/8/P7/8/8/8/4K3/8 w - -", 2 * 6 - 2 * 4},
        {"1k6/8/P7/8/8/8/4K3/8 b - -", 2 * 4 - 2 * 6},
        {"8/8/8/4k3/8/4K3/p7/8 w - -", 0},         // pawn race, nothing recognised
    };
    for (const auto& c : cases) {
        Load(c.fen, 2);
        EXPECT_EQ(RecognizeEndgame(C(), P()), c.expected) << c.fen;
    }
    // The frame answers every recognised ending with 0 in the endgame phase.
    Load("4k3/8/8/8/8/8/8/4K1N1 w - -", 2);
    EXPECT_EQ(Full(), 0);
    Load("8/8/4k3/4P3/4K3/8/8/8 w - -", 2);
    EXPECT_EQ(Full(), 0);
}

TEST_F(EvalTest, MaterialNoiseStaysInItsWidth) {
    Load(START);
    EXPECT_EQ(EvaluateMaterial(C(), P()), 0);
    BlunderPercent = 10;
    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) seen.insert(EvaluateMaterial(C(), P()));
    EXPECT_EQ(*seen.begin(), -5);
    EXPECT_EQ(*seen.rbegin(), 4);
    EXPECT_EQ(seen.size(), 10u);
}

TEST_F(EvalTest, MaterialTermsChargeTheRightSide) {
    struct Case {
        const char* fen;
        int expected;
    } cases[] = {
        // Bishop trapped on a7 by b6 and c7: 175 charged to white.
        {"4k3/B1p5/1p6/8/8/8/8/4K3 w - -", 320 - 200 + 100 - 175},
        {"4k3/B1p5/1p6/8/8/8/8/4K3 b - -", 200 - 320 - 100 + 175},
        // Rook boxed in by the king on g1.
        {"4k3/8/8/8/8/8/8/6KR w - -", 500 - 40},
        {"4k3/8/8/8/8/8/8/R3K3 w - -", 500},
        // Rook and queen on the seventh with the king on the eighth.
        {"4k3/RQ6/8/8/8/8/8/4K3 w - -", 1500 + 40},
        {"4k3/RQ6/8/8/8/8/8/4K3 b - -", -1500},
        // Minor pieces against a rook.
        {"4k3/8/8/8/8/8/8/1NB1K3 w - -", 630 + 100},
        {"r3k3/8/8/8/8/8/8/1NB1K3 w - -", 630 - 500 + 100},
    };
    for (const auto& c : cases) {
        Load(c.fen);
        EXPECT_EQ(EvaluateMaterial(C(), P()), c.expected) << c.fen;
    }
}

TEST_F(EvalTest, SeventhRankFullOfMajorsReadsNoBonus) {
    // Eight rooks and queens on the seventh: the bonus table stops at seven.
    Load("4k3/RRRRQQQQ/8/8/8/8/8/4K3 w - -");
    const int material = P()->PieceMaterial[WHITE];
    EXPECT_EQ(EvaluateMaterial(C(), P()), material);
    Load("4k3/RRRQQQQ1/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(EvaluateMaterial(C(), P()), P()->PieceMaterial[WHITE] + 100);
}

TEST_F(EvalTest, DrawishEndgamesAreScaledDown) {
    struct Case {
        const char* fen;
        int score;
        int expected;
    } cases[] = {
        {"r3k3/8/8/8/8/8/8/RN2K3 w - -", 300, 30},   // rook and knight against rook
        {"4k3/8/8/8/8/8/8/2B1KB2 w - -", 600, 120},  // two bishops
        {"4k3/8/8/8/8/8/8/4K1N1 w - -", 300, 0},     // lone knight
        {"4k3/8/8/8/8/8/8/4K1N1 b - -", -300, 0},    // seen from the bare king
        {"4k3/8/8/8/8/8/8/4K1N1 w - -", 49, 49},     // too small to touch
        {"4k3/8/8/8/8/8/P7/4K1N1 w - -", 300, 300},  // the stronger side has a pawn
        {"q3k3/8/8/8/8/8/8/3QK1N1 w - -", 400, 100}, // queen and knight against queen
        {"4k1n1/8/8/8/8/8/8/R3K3 w - -", 200, 50},   // rook against a minor
    };
    for (const auto& c : cases) {
        Load(c.fen, 2);
        int score = c.score;
        EXPECT_EQ(ScaleDrawishEndgame(C(), P(), &score), 1);
        EXPECT_EQ(score, c.expected) << c.fen;
    }
}

TEST_F(EvalTest, MopUpDrivesTheLoneKing) {
    Load("7k/8/8/8/8/8/8/KR6 w - -", 2);
    // Kings 14 apart, defender in the corner (-10).
    EXPECT_EQ(EvaluateMopUp(C(), P(), WHITE), 2 * (16 - 14) + 2 * (20 + 10));
    EXPECT_EQ(EvaluateMopUp(C(), P(), BLACK), 0);
    Load("7k/6n1/8/8/8/8/8/KR6 w - -", 2);
    EXPECT_EQ(EvaluateMopUp(C(), P(), WHITE), 20 + 10);
}

TEST_F(EvalTest, LazyCutFiresOnlyBeyondTheMargin) {
    Load(KIWIPETE);
    P()->MoveCount[WHITE] = 48;
    P()->MoveCount[BLACK] = 43;
    LazyEvalMargin = 50;
    const int full = Full();
    const int d = EvaluatePieces(C(), P(), WHITE) - EvaluatePieces(C(), P(), BLACK);
    const int before = full - d;  // the score the cut looks at (ply 0)

    LazyEvalMargin = 50;
    EXPECT_EQ(Evaluate(C(), P(), 0, before + 51, before + 500), before + 51);
    LazyEvalMargin = 50;
    EXPECT_EQ(Evaluate(C(), P(), 0, before + 50, before + 500), full);
    LazyEvalMargin = 50;
    EXPECT_EQ(Evaluate(C(), P(), 0, before - 500, before - 51), before - 51);
    LazyEvalMargin = 50;
    EXPECT_EQ(Evaluate(C(), P(), 0, before - 500, before - 50), full);

    // The margin follows the largest piece swing and never shrinks.
    LazyEvalMargin = 0;
    Full();
    EXPECT_EQ(LazyEvalMargin, std::abs(d));
    LazyEvalMargin = std::abs(d) + 7;
    Full();
    EXPECT_EQ(LazyEvalMargin, std::abs(d) + 7);

    // No cut and no margin update while one side has no pieces.
    Load("4k3/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQ - 0 1");
    LazyEvalMargin = 0;
    const int lopsided = Full();
    EXPECT_EQ(LazyEvalMargin, 0);
    const int swing = EvaluatePieces(C(), P(), WHITE) - EvaluatePieces(C(), P(), BLACK);
    ASSERT_GT(std::abs(swing), 1);
    EXPECT_EQ(Evaluate(C(), P(), 0, lopsided - 1, lopsided + 1), lopsided);
}

TEST_F(EvalTest, PlyDampingPullsTowardZero) {
    // Symmetric position: the raw score is 0.
    Load("4k3/pppp1ppp/8/8/8/8/PPPP1PPP/4K3 w - -");
    EXPECT_EQ(Full(0), 0);
    EXPECT_EQ(Full(2), 0);
    EXPECT_EQ(Full(6), -2);
    // One move less than the opponent at a quarter weight: 4 * -1 * 25 / 100 = -1.
    WeightMobility = 25;
    P()->MoveCount[WHITE] = 10;
    P()->MoveCount[BLACK] = 11;
    EXPECT_EQ(Full(0), -1);
    EXPECT_EQ(Full(6), 1);
}

TEST_F(EvalTest, SixteenPawnsMoveTheScoreAgainstTheComputer) {
    Load(START);
    ComputerColour = BLACK;
    EXPECT_EQ(Full(), 15);
    ComputerColour = WHITE;
    EXPECT_EQ(Full(), -15);
    WeightMobility = 50;  // 15 * 50 / 100 = 7
    EXPECT_EQ(Full(), -7);
    // Without the h-pawns the position is symmetric and the term is gone.
    Load("rnbqkbnr/ppppppp1/8/8/8/8/PPPPPPP1/RNBQKBNR w KQkq - 0 1");
    EXPECT_EQ(Full(), 0);
}

TEST_F(EvalTest, KingSafetyCountsDangerPoints) {
    Load(START);
    EXPECT_EQ(EvaluateKingSafety(C(), P(), WHITE), -12);
    EXPECT_EQ(EvaluateKingSafety(C(), P(), BLACK), -12);
    WeightKingSafety = 50;
    EXPECT_EQ(EvaluateKingSafety(C(), P(), WHITE), -6);
    WeightKingSafety = 100;

    // A castled king that was not castled at the root.
    P()->HasCastled[WHITE] = 1;
    EXPECT_EQ(EvaluateKingSafety(C(), P(), WHITE), -12 + 40);
    RootHasCastled[WHITE] = 1;
    EXPECT_EQ(EvaluateKingSafety(C(), P(), WHITE), -12);

    // 11 points for a bare king on e1, 12 for six queens, 2 for two knights,
    // 4 for two rooks on the open e-file, 2 for two bishops: 31.
    Load("k3r3/4r3/8/b6b/1qqq1qqq/2n3n1/8/4K3 w - -");
    EXPECT_EQ(EvaluateKingSafety(C(), P(), WHITE), -600);
    WeightKingSafety = 150;
    EXPECT_EQ(EvaluateKingSafety(C(), P(), WHITE), -900);

    // Endgame: table by pawn wings.
    struct Case {
        const char* fen;
        int expected;
    } endings[] = {
        {"4k3/p7/8/8/8/8/7P/4K3 w - -", -5},  // both wings: centre table
        {"4k3/p7/8/8/8/8/P7/4K3 w - -", -5},  // queenside only
        {"4k3/7p/8/8/8/8/7P/6K1 w - -", -5},  // kingside only, mirrored table
        {"4k3/8/8/8/8/8/8/1K6 w - -", -5},    // no pawns
        {"4k3/p7/8/8/8/8/P7/6K1 w - -", -40}, // king far from the pawns
    };
    for (const auto& c : endings) {
        Load(c.fen, 2);
        EXPECT_EQ(EvaluateKingSafety(C(), P(), WHITE), c.expected) << c.fen;
    }
}

TEST_F(EvalTest, PawnStructureScores) {
    struct Case {
        const char* fen;
        int weightPositional;
        int weightPassed;
        int expected;
    } cases[] = {
        // Lone passer: table + rank bonus x 2.25 + two isolated points counted for white.
        {"4k3/8/4P3/8/8/8/8/4K3 w - -", 100, 100, 4 + 225 + 20},
        {"4k3/4P3/8/8/8/8/8/4K3 w - -", 100, 100, -1 + 0 + 20},
        {"4k3/8/4P3/8/8/8/8/4K3 w - -", 100, 50, 4 + 112 + 20},
        // Connected passers get the bonus once; split ones never.
        {"4k3/8/8/3PP3/8/8/8/4K3 w - -", 100, 100, 364},
        {"4k3/8/8/3P1P2/8/8/8/4K3 w - -", 100, 100, 372},
        // Tripled pawns are charged twice; the pawn ending turns isolation into a gain.
        {"4k3/2p5/8/8/2P5/2P5/2P5/4K3 w - -", 100, 100, -8 - 8 + 40},
        {"4kn2/2p5/8/8/2P5/2P5/2P5/4K3 w - -", 100, 100, -8 - 8 - 40},
        // The passed-pawn step truncates the running total, not the bonus alone:
        // a4: 0 + 9 -> 9, -150 doubled; a5: -141 + 15.75 -> -125; + 50 isolated.
        {"4k3/8/8/P7/P7/8/8/4K3 w - -", 1000, 10, -75},
    };
    for (const auto& c : cases) {
        Load(c.fen);
        WeightPositional = c.weightPositional;
        WeightPassed = c.weightPassed;
        C()->PassedPawns = C()->WeakPawns = 0;
        EXPECT_EQ(EvaluatePawns(C(), P(), WHITE), c.expected) << c.fen;
    }
}

TEST_F(EvalTest, PawnMasksMarkPassedBackwardAndIsolatedPawns) {
    // d3 is backward behind e4, which is passed and defended by it.
    Load("4k3/8/8/2p5/4P3/3P4/8/4K3 w - -");
    C()->PassedPawns = C()->WeakPawns = 0;
    EXPECT_EQ(EvaluatePawns(C(), P(), WHITE), -20 + 7 + 90 + 2);
    EXPECT_EQ(C()->WeakPawns, Squares({D3}));
    EXPECT_EQ(C()->PassedPawns, Squares({E4}));
    EXPECT_EQ(C()->PawnInfo[WHITE], 0u);
    EvaluatePawns(C(), P(), BLACK);
    EXPECT_EQ(C()->WeakPawns, Squares({D3, C5}));  // c5 isolated, not passed (d3 is ahead)
    EXPECT_EQ(C()->PassedPawns, Squares({E4}));
}

TEST_F(EvalTest, PawnHashIsReusedForTheSamePawns) {
    // The cached pawn score ignores the pieces, so a position with the same
    // pawns reuses the passer bonus of the first one.
    const char* withPieces = "r3k3/8/8/8/4P3/8/8/R3K3 w - -";
    const char* withoutPieces = "4k3/8/8/8/4P3/8/8/4K3 w - -";
    Load(withoutPieces, 2);
    const int fresh = Full();
    ClearHashTables();
    Load(withPieces, 2);
    Full();  // stores the pawn score with pieces on the board
    Load(withoutPieces, 2);
    const int reused = Full();
    EXPECT_NE(reused, fresh);
    EXPECT_EQ(C()->PassedPawns, Squares({E4}));
    ClearHashTables();
    EXPECT_EQ(Full(), fresh);

    // The stored entry holds white's view and both masks.
    int score = 0, infoA = -1, infoB = -1;
    u64 weak = 0, passed = 0;
    ASSERT_EQ(ProbePawnHash(KeyLo(P()->PawnKey), KeyHi(P()->PawnKey), &score, &weak, &passed, &infoA, &infoB), 1);
    EvalContext scratch{};
    EXPECT_EQ(score, EvaluatePawns(&scratch, P(), WHITE) - EvaluatePawns(&scratch, P(), BLACK));
    EXPECT_EQ(passed, Squares({E4}));
    EXPECT_EQ(weak, Squares({E4}));

    // Passed pawns go to the first mask slot, weak ones to the second, and a
    // hit restores both.
    Load("4k3/8/8/2p5/4P3/3P4/8/4K3 w - -");
    Full();
    ASSERT_EQ(ProbePawnHash(KeyLo(P()->PawnKey), KeyHi(P()->PawnKey), &score, &weak, &passed, &infoA, &infoB), 1);
    EXPECT_EQ(passed, Squares({E4}));
    EXPECT_EQ(weak, Squares({D3, C5}));
    EXPECT_EQ(infoA, 0);
    EXPECT_EQ(infoB, 0);
    C()->PassedPawns = C()->WeakPawns = ~Bitboard{0};
    Full();
    EXPECT_EQ(C()->PassedPawns, Squares({E4}));
    EXPECT_EQ(C()->WeakPawns, Squares({D3, C5}));

    // Without the hash table nothing is reused.
    UseHashTable = 0;
    Load(withPieces, 2);
    Full();
    Load(withoutPieces, 2);
    EXPECT_EQ(Full(), fresh);
}

TEST_F(EvalTest, PieceTerms) {
    struct Case {
        const char* fen;
        int weightPositional;
        int expected;
    } cases[] = {
        // Knight outposts, castled white king on g1 so only the pieces count.
        {"7k/8/8/3N4/2P5/8/8/6K1 w - -", 100, 6 + 4 + 30},
        {"7k/8/8/3N4/2P5/8/8/6K1 w - -", 50, 3 + 2 + 15},
        {"7k/8/4p3/3N4/2P5/8/8/6K1 w - -", 100, 6 + 4},
        {"7k/8/8/2N5/1P6/8/8/6K1 w - -", 100, 6 + 4 + 15},
        // Rooks: open file 5 + 10 on top of the table.
        {"7k/8/8/8/8/8/P7/3R2K1 w - -", 100, 6 + 5 + 10},
        {"7k/3p4/8/8/8/8/P7/3R2K1 w - -", 100, 6 + 5},
        // Hemmed bishop and blocked centre pawn.
        {"7k/8/8/8/8/8/1P1P4/2B3K1 w - -", 100, -8 - 15},
        {"7k/8/8/8/8/3B4/3P4/6K1 w - -", 100, 2 - 20},
    };
    for (const auto& c : cases) {
        Load(c.fen);
        P()->HasCastled[WHITE] = 1;
        WeightPositional = c.weightPositional;
        Full();
        EXPECT_EQ(EvaluatePieces(C(), P(), WHITE), c.expected) << c.fen;
    }
}

TEST_F(EvalTest, UnstoppablePasserDependsOnTheSideToMove) {
    // Black king e8 is outside the pawn's square with white to move, inside
    // with black to move; d8 is inside either way.
    Load("4k3/8/8/P7/8/8/8/4K3 w - -", 2);
    P()->HasCastled[WHITE] = 1;
    Full();
    const int outside = EvaluatePieces(C(), P(), WHITE);
    Load("4k3/8/8/P7/8/8/8/4K3 b - -", 2);
    P()->HasCastled[WHITE] = 1;
    Full();
    EXPECT_EQ(outside - EvaluatePieces(C(), P(), WHITE), 600);
    Load("3k4/8/8/P7/8/8/8/4K3 w - -", 2);
    P()->HasCastled[WHITE] = 1;
    Full();
    // Mop-up alone: kings 8 apart, defender on an edge square (-5).
    EXPECT_EQ(EvaluatePieces(C(), P(), WHITE), 2 * (16 - 8) + 2 * (20 + 5));
}

TEST_F(EvalTest, KingAndPawnAgainstKingRewardsTheLeadingKing) {
    // White king ahead of its pawn and nearer to it: 680; on the sixth rank: 680 more.
    Load("8/8/2k5/4K3/8/4P3/8/8 w - -", 2);
    P()->HasCastled[WHITE] = 1;
    Full();
    const int mop = EvaluateMopUp(C(), P(), WHITE);
    EXPECT_EQ(EvaluatePieces(C(), P(), WHITE), 680 + mop);
    Load("8/2k5/4K3/4P3/8/8/8/8 w - -", 2);
    P()->HasCastled[WHITE] = 1;
    Full();
    EXPECT_EQ(EvaluatePieces(C(), P(), WHITE) - EvaluateMopUp(C(), P(), WHITE), 680);
}

TEST_F(EvalTest, UncastledSideTerms) {
    Load(START);
    Full();
    EXPECT_EQ(EvaluateUncastled(C(), P(), WHITE), 2 * 20);  // both rights, queen against
    EXPECT_EQ(EvaluateUncastled(C(), P(), BLACK), 2 * 20);
    P()->QueenMoves[WHITE] = 9;
    EXPECT_EQ(EvaluateUncastled(C(), P(), WHITE), 40 - 35);
    P()->QueenMoves[WHITE] = 2;
    EXPECT_EQ(EvaluateUncastled(C(), P(), WHITE), 40 - 12);
    // Queen gone from d1, knight in front of d2, one right left, no black queen.
    Load("rnb1kbnr/pppppppp/8/7Q/8/3N4/PPPPPPPP/R1B1KB1R w K - 0 1");
    Full();
    EXPECT_EQ(EvaluateUncastled(C(), P(), WHITE), -20 - 10 + 10);
}

TEST_F(EvalTest, EvaluationIsSymmetricUnderMirroring) {
    const char* fens[] = {
        KIWIPETE,
        START,
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
        "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
        "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
        "4k3/8/8/3p4/8/8/PP6/4K1N1 b - -",
        "6k1/8/8/8/8/8/1P6/R5K1 w - -",
    };
    for (const char* fen : fens) {
        for (int phase = 0; phase < 3; ++phase) {
            for (int castled = 0; castled < 2; ++castled) {
                const std::string mirrored = MirrorFen(fen);
                ClearHashTables();

                // The score of text, side c in the part white plays in fen.
                const auto scoreFor = [&](const std::string& text, int c) {
                    Load(text, phase);
                    P()->HasCastled[c] = static_cast<u8>(castled);
                    P()->QueenMoves[c] = 2;
                    P()->MoveCount[c] = 31;
                    P()->MoveCount[c ^ 1] = 24;
                    ComputerColour = static_cast<u8>(c);
                    RootHasCastled[c] = 0;
                    RootHasCastled[c ^ 1] = 1;
                    LazyEvalMargin = 50;
                    return Full(4);
                };
                const int a = scoreFor(fen, WHITE);
                const int b = scoreFor(mirrored, BLACK);
                EXPECT_EQ(a, b) << fen << " phase " << phase << " castled " << castled;
            }
        }
    }
}

TEST_F(EvalTest, HugeWeightsDoNotOverflow) {
    EXPECT_EQ(ScaleTerm(600, INT_MAX), i64{600} * INT_MAX / 100);
    EXPECT_EQ(ScaleTerm(-15, 33), -4);  // truncation toward zero
    const char* fens[] = {KIWIPETE, START, "4k3/8/8/P1P1P1P1/8/8/8/4K3 w - -",
                          "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1"};
    for (int weight : {INT_MAX, INT_MIN, 100'000}) {
        WeightPositional = WeightKingSafety = WeightPassed = WeightMobility = weight;
        for (const char* fen : fens)
            for (int phase = 0; phase < 3; ++phase) {
                ClearHashTables();
                Load(fen, phase);
                P()->MoveCount[WHITE] = 40;
                LazyEvalMargin = INT_MAX;  // never cut
                const int miss = Evaluate(C(), P(), 0, INT_MIN, INT_MAX);
                const int hit = Evaluate(C(), P(), 0, INT_MIN, INT_MAX);  // pawn structure from the cache
                EXPECT_EQ(miss, hit) << fen << " weight " << weight;
                EXPECT_LE(std::abs(miss), 30'000);
            }
    }
}

// Whatever a personality holds, a static score stays below the mate scores.
TEST_F(EvalTest, ExtremePersonalityValuesNeverLookLikeAMate) {
    const char* fens[] = {KIWIPETE, START, "4k3/8/8/8/8/8/8/QQQQK3 w - -", "4k3/pppppppp/8/8/8/8/8/4K3 w - -",
                          "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1"};
    for (int value : {1'000'000, -1'000'000, 0}) {
        PawnValue = KnightValue = BishopValue = RookValue = QueenValue = value;
        for (int piece = PAWN; piece <= QUEEN; ++piece) PieceValue[piece] = value;
        WeightPositional = WeightKingSafety = WeightPassed = WeightMobility = value;
        BlunderPercent = value;
        for (const char* fen : fens)
            for (int phase = 0; phase < 3; ++phase) {
                ClearHashTables();
                for (const std::string& f : {std::string(fen), MirrorFen(fen)}) {
                    Load(f, phase);
                    P()->MoveCount[WHITE] = 60;
                    LazyEvalMargin = INT_MAX;  // never cut
                    const int score = Evaluate(C(), P(), 0, INT_MIN, INT_MAX);
                    const int material = EvaluateMaterial(C(), P());
                    EXPECT_LE(std::abs(score), 30'000) << f << " value " << value;
                    EXPECT_LE(std::abs(material), 30'000) << f << " value " << value;
                }
            }
    }
}

}  // namespace
