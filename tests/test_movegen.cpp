#include <algorithm>
#include <string>
#include <vector>

#include "bitboard.h"
#include "engine_fixture.h"
#include "globals.h"
#include "makemove.h"
#include "movegen.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr u64 PERFT_LEAF_LIMIT = 700000;
#else
constexpr u64 PERFT_LEAF_LIMIT = 5000000;
#endif

std::vector<std::string> Names(const EngineBoard& b) {
    std::vector<std::string> names;
    for (int i = 0; i <= b.List.Last; ++i) names.push_back(CoordinateText(b.List.Moves[i]));
    return names;
}

bool Listed(const EngineBoard& b, Move m) {
    for (int i = 0; i <= b.List.Last; ++i)
        if (b.List.Moves[i] == m) return true;
    return false;
}

using PerftCounts = EngineTest;
using Generation = EngineTest;
using Evasions = EngineTest;
using Attacks = EngineTest;

struct PerftCase {
    const char* fen;
    std::vector<u64> counts;  // depth 1, 2, ...
};

TEST_F(PerftCounts, WellKnownCounts) {
    const PerftCase cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", {20, 400, 8902, 197281, 4865609}},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", {48, 2039, 97862, 4085603}},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", {14, 191, 2812, 43238, 674624}},
        {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", {6, 264, 9467, 422333}},
        {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", {44, 1486, 62379, 2103487}},
        {"R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - -", {218}},
    };
    std::vector<EngineBoard> boards(8);
    for (const auto& c : cases) {
        for (size_t d = 0; d < c.counts.size() && c.counts[d] <= PERFT_LEAF_LIMIT; ++d) {
            SetupTestPosition(&boards[0], c.fen);
            EXPECT_EQ(Perft(boards.data(), static_cast<int>(d + 1)), c.counts[d]) << c.fen << " depth " << d + 1;
        }
    }
}

TEST_F(Generation, StartPositionOrder) {
    EngineBoard b;
    SetupStartPosition(&b);
    EXPECT_EQ(GenerateMoves(&b), 20);
    EXPECT_EQ(b.List.Last, 19);
    const std::vector<std::string> expected = {"b1a3", "b1c3", "g1f3", "g1h3", "a2a3", "a2a4", "b2b3",
                                               "b2b4", "c2c3", "c2c4", "d2d3", "d2d4", "e2e3", "e2e4",
                                               "f2f3", "f2f4", "g2g3", "g2g4", "h2h3", "h2h4"};
    EXPECT_EQ(Names(b), expected);
}

TEST_F(Generation, PieceKindsComeInTheirOrder) {
    // Queens, knights, bishops, rooks, pawns, king, castling; captures carry
    // the captured piece and squares ascend within a kind.
    EngineBoard b;
    SetupTestPosition(&b, "4k3/8/8/8/8/2p5/1P6/R3K1NQ w Q -");
    ASSERT_GT(GenerateMoves(&b), 0);
    std::vector<int> pieces;
    for (int i = 0; i <= b.List.Last; ++i) pieces.push_back(MovePiece(b.List.Moves[i]));
    const std::vector<int> kinds = {QUEEN, KNIGHT, ROOK, PAWN, KING};
    std::vector<int> seen;
    for (int p : pieces)
        if (seen.empty() || seen.back() != p) seen.push_back(p);
    EXPECT_EQ(seen, kinds);
    EXPECT_EQ(CoordinateText(b.List.Moves[b.List.Last]), "e1c1");  // castling after the king's steps
    std::vector<std::string> pawn;
    for (int i = 0; i <= b.List.Last; ++i)
        if (MovePiece(b.List.Moves[i]) == PAWN) pawn.push_back(CoordinateText(b.List.Moves[i]));
    EXPECT_EQ(pawn, (std::vector<std::string>{"b2b3", "b2b4", "b2c3"}));
    EXPECT_TRUE(Listed(b, MakeMoveCode(B2, C3, PAWN, PAWN)));
}

TEST_F(Generation, PromotionsAreAdjacentQueenFirst) {
    EngineBoard b;
    SetupTestPosition(&b, "3r3k/4P3/8/8/8/8/8/K7 w - -");
    ASSERT_GT(GenerateMoves(&b), 0);
    std::vector<std::string> pawn;
    for (int i = 0; i <= b.List.Last; ++i)
        if (MovePiece(b.List.Moves[i]) == PAWN) pawn.push_back(CoordinateText(b.List.Moves[i]));
    EXPECT_EQ(pawn, (std::vector<std::string>{"e7e8q", "e7e8r", "e7e8b", "e7e8n", "e7d8q", "e7d8r", "e7d8b",
                                              "e7d8n"}));
    EXPECT_TRUE(Listed(b, MakeMoveCode(E7, D8, PAWN, ROOK, QUEEN)));

    QuiesceMargin = 0;
    ASSERT_GT(GenerateCaptures(&b), 0);
    EXPECT_EQ(Names(b), (std::vector<std::string>{"e7e8q", "e7d8q"}));
    QuiesceMargin = 600;  // rooks are no longer targets
    ASSERT_GT(GenerateCaptures(&b), 0);
    EXPECT_EQ(Names(b), (std::vector<std::string>{"e7e8q"}));
}

TEST_F(Generation, CaptureMarginLadder) {
    // Every black piece kind but the king is attacked; d6 is an en-passant square.
    EngineBoard b;
    const char* fen = "7k/8/8/3pPq2/1N1b4/1r1Qn3/8/K7 w - d6";
    struct Row {
        int margin;
        std::vector<int> kinds;
    };
    const Row rows[] = {
        {-5, {PAWN, KNIGHT, BISHOP, ROOK, QUEEN, KING}}, {0, {PAWN, KNIGHT, BISHOP, ROOK, QUEEN, KING}},
        {99, {PAWN, KNIGHT, BISHOP, ROOK, QUEEN, KING}}, {100, {KNIGHT, BISHOP, ROOK, QUEEN, KING}},
        {309, {KNIGHT, BISHOP, ROOK, QUEEN, KING}},      {310, {BISHOP, ROOK, QUEEN, KING}},
        {319, {BISHOP, ROOK, QUEEN, KING}},              {320, {ROOK, QUEEN, KING}},
        {499, {ROOK, QUEEN, KING}},                      {500, {QUEEN, KING}},
        {999, {QUEEN, KING}},                            {1000, {PAWN, KNIGHT, BISHOP, ROOK, QUEEN, KING}},
    };
    for (const auto& row : rows) {
        SetupTestPosition(&b, fen);
        QuiesceMargin = row.margin;
        Bitboard expected = 0;
        for (int k : row.kinds) expected |= b.Pos.Pieces[BLACK][k];
        ASSERT_GT(GenerateCaptures(&b), 0) << row.margin;
        EXPECT_EQ(b.Gen.CaptureTargets, expected) << row.margin;
        bool ep = false;
        Bitboard taken = 0;
        for (int i = 0; i <= b.List.Last; ++i) {
            const Move m = b.List.Moves[i];
            EXPECT_TRUE(expected & SetMask[MoveTo(m)] || (MoveTo(m) == D6 && MovePiece(m) == PAWN))
                << CoordinateText(m);
            ep |= m == MakeMoveCode(E5, D6, PAWN, PAWN);
            if (m != MakeMoveCode(E5, D6, PAWN, PAWN)) taken |= SetMask[MoveTo(m)];
        }
        EXPECT_TRUE(ep) << row.margin;
        EXPECT_EQ(taken, expected & ~b.Pos.Pieces[BLACK][KING]) << row.margin;
    }
}

TEST_F(Generation, CapturesAtMarginZeroAreTheCapturesOfAllMoves) {
    const char* fens[] = {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                          "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1",
                          "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6"};
    EngineBoard b;
    for (const char* fen : fens) {
        SetupTestPosition(&b, fen);
        ASSERT_GT(GenerateMoves(&b), 0);
        std::vector<Move> wanted;
        for (int i = 0; i <= b.List.Last; ++i) {
            const Move m = b.List.Moves[i];
            if ((MoveCaptured(m) && !MovePromotion(m)) || MovePromotion(m) == QUEEN) wanted.push_back(m);
        }
        QuiesceMargin = 0;
        ASSERT_GT(GenerateCaptures(&b), 0);
        std::vector<Move> got(b.List.Moves, b.List.Moves + b.List.Last + 1);
        std::sort(wanted.begin(), wanted.end());
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, wanted) << fen;
    }
}

TEST_F(Generation, EnPassantNeedsTheDoubleSteppedPawn) {
    EngineBoard b;
    SetupTestPosition(&b, "4k3/8/8/3pP3/8/8/8/4K3 w - d6");
    ASSERT_GT(GenerateMoves(&b), 0);
    EXPECT_TRUE(Listed(b, MakeMoveCode(E5, D6, PAWN, PAWN)));
    EXPECT_EQ(b.Gen.EpTarget, SetMask[D6]);

    // The same square with black to move, a square not behind a black pawn,
    // an occupied square, and squares on the wrong rank give no capture.
    const char* ignored[] = {"4k3/8/8/3pP3/8/8/8/4K3 b - d6", "4k3/8/8/4P3/8/8/8/4K3 w - d6",
                             "4k3/8/3n4/3pP3/8/8/8/4K3 w - d6", "4k3/8/8/8/8/8/3Pp3/4K3 w - d1",
                             "4k3/8/8/8/8/8/8/3pK3 w - d2", "4k3/3P4/4P3/8/8/8/8/4K3 w - d8"};
    for (const char* fen : ignored) {
        SetupTestPosition(&b, fen);
        GenerateMoves(&b);
        EXPECT_EQ(b.Gen.EpTarget, 0u) << fen;
        for (int i = 0; i <= b.List.Last; ++i)
            EXPECT_FALSE(MovePiece(b.List.Moves[i]) == PAWN && MoveTo(b.List.Moves[i]) == b.Pos.EpSquare &&
                         MoveCaptured(b.List.Moves[i]) == PAWN)
                << fen;
    }
    // The occupied square is captured normally, and the capture stays sound.
    SetupTestPosition(&b, "4k3/8/3n4/3pP3/8/8/8/4K3 w - d6");
    ASSERT_GT(GenerateMoves(&b), 0);
    EXPECT_TRUE(Listed(b, MakeMoveCode(E5, D6, PAWN, KNIGHT)));
}

TEST_F(Generation, Castling) {
    EngineBoard b;
    const Move shortCastle = MakeMoveCode(E1, G1, KING);
    const Move longCastle = MakeMoveCode(E1, C1, KING);
    struct Case {
        const char* fen;
        bool shortListed, longListed;
    };
    const Case cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", true, true},
        {"6r1/8/2k5/8/8/8/8/4K2R w K -", true, false},      // g1 attacked: only the crossed square counts
        {"5r2/8/2k5/8/8/8/8/4K2R w K -", false, false},    // f1 attacked
        {"4r3/8/2k5/8/8/8/8/R3K2R w KQ -", false, false},  // in check
        {"3r4/8/2k5/8/8/8/8/R3K3 w Q -", false, false},    // d1 attacked
        {"1r6/8/2k5/8/8/8/8/R3K3 w Q -", false, true},     // b1 attacked does not matter
        {"8/8/2k5/8/8/8/8/R3KN1R w KQ -", false, true},    // f1 occupied
        {"8/8/2k5/8/8/8/8/RN2K2R w KQ -", true, false},    // b1 occupied
        {"8/8/2k5/8/8/8/8/4K2R w Q -", false, false},      // no right
        // Rights that the placement does not back: no king or no rook at home.
        {"8/8/2k5/8/8/8/8/R2K3R w KQ -", false, false},
        {"8/8/2k5/8/8/8/8/R4K1R w KQ -", false, false},
        {"8/8/2k5/8/8/8/8/4K3 w KQ -", false, false},
        {"8/8/2k5/8/8/8/8/n3K2b w KQ -", false, false},
    };
    for (const auto& c : cases) {
        SetupTestPosition(&b, c.fen);
        GenerateMoves(&b);
        EXPECT_EQ(Listed(b, shortCastle), c.shortListed) << c.fen;
        EXPECT_EQ(Listed(b, longCastle), c.longListed) << c.fen;
    }
    SetupTestPosition(&b, "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -");
    GenerateMoves(&b);
    EXPECT_TRUE(Listed(b, MakeMoveCode(E8, G8, KING)));
    EXPECT_TRUE(Listed(b, MakeMoveCode(E8, C8, KING)));
    EXPECT_EQ(CoordinateText(b.List.Moves[b.List.Last - 1]), "e8g8");
    EXPECT_EQ(CoordinateText(b.List.Moves[b.List.Last]), "e8c8");
}

TEST_F(Generation, KingCaptureAndEmptyResults) {
    EngineBoard b;
    // Black to move can take the white king: the previous move was illegal.
    SetupTestPosition(&b, "4k3/8/8/8/8/8/3q4/4K3 b - -");
    EXPECT_EQ(GenerateMoves(&b), -1);
    EXPECT_EQ(b.List.Last, b.Gen.Count - 1);
    EXPECT_TRUE(b.Gen.KingCapturable);
    SetupTestPosition(&b, "4k3/8/8/8/8/8/3q4/4K3 b - -");
    QuiesceMargin = 700;
    EXPECT_EQ(GenerateCaptures(&b), -1);
    EXPECT_EQ(b.List.Last, b.Gen.Count - 1);
    // A king capture found by a pawn, after queens were listed.
    SetupTestPosition(&b, "8/8/8/8/8/3k4/4P3/Q3K3 w - -");
    b.List.Last = 77;
    EXPECT_EQ(GenerateMoves(&b), -1);
    EXPECT_EQ(b.List.Last, b.Gen.Count - 1);
    for (int i = 0; i <= b.List.Last; ++i) EXPECT_NE(MoveCaptured(b.List.Moves[i]), KING);

    // Stalemated king: its steps are listed and all fail the legality test.
    SetupTestPosition(&b, "k7/2Q5/8/8/8/8/8/7K b - -");
    EXPECT_EQ(GenerateMoves(&b), 3);
    EXPECT_TRUE(LegalListedMoves(b).empty());
    // No pseudo-legal move at all.
    SetupTestPosition(&b, "8/8/8/8/8/p7/P7/K1k5 w - -");
    b.Pos.Pieces[WHITE][KING] = 0;  // a blocked pawn and no king to move
    b.List.Last = 12;
    EXPECT_EQ(GenerateMoves(&b), -2);
    EXPECT_EQ(b.List.Last, -1);
    QuiesceMargin = 0;
    SetupTestPosition(&b, "4k3/8/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(GenerateCaptures(&b), -2);
    EXPECT_EQ(b.List.Last, -1);
}

TEST_F(Generation, PawnsOnTheirLastRankAndMissingKingsAreHarmless) {
    EngineBoard b;
    // White pawns on rank 8, black pawns on rank 1: no moves for them.
    SetupTestPosition(&b, "P3k2P/8/8/8/8/8/8/p3K2p w - -");
    ASSERT_GT(GenerateMoves(&b), 0);
    for (int i = 0; i <= b.List.Last; ++i) EXPECT_NE(MovePiece(b.List.Moves[i]), PAWN);
    QuiesceMargin = 0;
    GenerateCaptures(&b);
    for (int i = 0; i <= b.List.Last; ++i) EXPECT_NE(MovePiece(b.List.Moves[i]), PAWN);
    b.Pos.SideToMove = BLACK;
    ASSERT_GT(GenerateMoves(&b), 0);
    for (int i = 0; i <= b.List.Last; ++i) EXPECT_NE(MovePiece(b.List.Moves[i]), PAWN);
    GenerateCaptures(&b);
    EXPECT_FALSE(InCheck(&b, &b.Pos, 1));

    // Kings whose square does not hold them.
    SetupTestPosition(&b, "8/8/8/8/8/8/8/R7 w - -");
    b.Pos.KingSquare[WHITE] = -1;
    b.Pos.KingSquare[BLACK] = 64;
    EXPECT_GT(GenerateMoves(&b), 0);
    EXPECT_GT(GenerateEvasions(&b), 0);
    EXPECT_FALSE(InCheck(&b, &b.Pos, 1));
    EXPECT_FALSE(InCheck(&b, &b.Pos, 0));
    for (int i = 0; i <= b.List.Last; ++i) EXPECT_EQ(MovePiece(b.List.Moves[i]), ROOK);
}

TEST_F(Generation, AddMoveStopsAtCapacity) {
    EngineBoard b;
    SetupTestPosition(&b, "4k3/8/8/8/8/8/8/Q3K3 w - -");
    GenerateMoves(&b);
    for (int i = 0; i < MAX_MOVES; ++i) b.List.Score[i] = 12345;
    b.Gen.Count = 0;
    b.Gen.From = A1;
    b.Gen.Piece = QUEEN;
    b.Gen.Promotion = 0;
    for (int i = 0; i < MAX_MOVES + 40; ++i) {
        b.Gen.To = A2 + (i % 7);
        AddMove(&b);
    }
    EXPECT_EQ(b.Gen.Count, MAX_MOVES);
    for (int i = 0; i < MAX_MOVES; ++i) ASSERT_EQ(b.List.Score[i], 12345);
    b.Gen.To = E8;  // a king capture is noticed but never stored
    b.Gen.Count = 5;
    AddMove(&b);
    EXPECT_EQ(b.Gen.Count, 5);
    EXPECT_TRUE(b.Gen.KingCapturable);
    // AddMovesToTargets adds in ascending order.
    b.Gen.Count = 0;
    b.Gen.KingCapturable = 0;
    AddMovesToTargets(&b, Squares({H1, B1, A8}));
    EXPECT_EQ(b.Gen.Count, 3);
    EXPECT_EQ(b.List.Moves[0], MakeMoveCode(A1, B1, QUEEN));
    EXPECT_EQ(b.List.Moves[2], MakeMoveCode(A1, A8, QUEEN));
}

TEST_F(Evasions, DoubleCheckGivesKingMovesOnly) {
    EngineBoard b;
    SetupTestPosition(&b, "4r2k/8/8/8/8/3n4/8/R3K2N w - -");
    ASSERT_TRUE(InCheck(&b, &b.Pos, 1));
    ASSERT_GT(GenerateEvasions(&b), 0);
    for (int i = 0; i <= b.List.Last; ++i)
        EXPECT_EQ(MovePiece(b.List.Moves[i]), KING) << CoordinateText(b.List.Moves[i]);
}

TEST_F(Evasions, KingStepsAlongTheCheckingLine) {
    EngineBoard b;
    SetupTestPosition(&b, "4r2k/8/8/8/4K3/8/8/8 w - -");
    ASSERT_GT(GenerateEvasions(&b), 0);
    EXPECT_EQ(Names(b), (std::vector<std::string>{"e4d3", "e4f3", "e4d4", "e4f4", "e4d5", "e4f5"}));
    // A pawn's check has no line: stepping away diagonally is fine.
    SetupTestPosition(&b, "7k/8/8/5p2/4K3/8/8/8 w - -");
    ASSERT_GT(GenerateEvasions(&b), 0);
    EXPECT_TRUE(Listed(b, MakeMoveCode(E4, D3, KING)));
    EXPECT_TRUE(Listed(b, MakeMoveCode(E4, F5, KING, PAWN)));
}

TEST_F(Evasions, PinsAndAttackers) {
    EngineBoard b;
    const struct {
        const char* fen;
        int square;
        Bitboard pinned;
    } pins[] = {
        {"4r2k/8/8/8/8/8/4N3/4K3 w - -", E2, 1},
        {"4r2k/8/8/4p3/8/8/4N3/4K3 w - -", E2, 0},
        {"7k/8/8/b7/8/8/3N4/4K3 w - -", D2, 1},
        {"7k/8/8/r7/8/8/3N4/4K3 w - -", D2, 0},    // a rook on the diagonal pins nothing
        {"4q2k/4r3/8/8/8/8/4N3/4K3 w - -", E2, 1},  // a second slider behind the first
    };
    for (const auto& c : pins) {
        SetupTestPosition(&b, c.fen);
        GenerateMoves(&b);
        EXPECT_EQ(FindPinner(&b, &b.Pos, c.square, WHITE), c.pinned) << c.fen;
    }

    // The pinned knight never moves in an evasion, not even to block.
    SetupTestPosition(&b, "4r2k/8/8/8/1b6/8/4N3/4K3 w - -");
    ASSERT_TRUE(InCheck(&b, &b.Pos, 1));
    ASSERT_GT(GenerateEvasions(&b), 0);
    for (int i = 0; i <= b.List.Last; ++i) EXPECT_NE(MovePiece(b.List.Moves[i]), KNIGHT);

    SetupTestPosition(&b, "7k/8/8/8/1b6/3n4/8/4K3 w - -");
    GenerateMoves(&b);
    EXPECT_EQ(AttackersOf(&b, &b.Pos, E1, BLACK), Squares({D3, B4}));
}

TEST_F(Evasions, CapturingTheCheckerWithPromotion) {
    EngineBoard b;
    SetupTestPosition(&b, "r3k3/1P6/8/8/8/8/2N5/K5R1 w - -");
    ASSERT_TRUE(InCheck(&b, &b.Pos, 1));
    ASSERT_GT(GenerateEvasions(&b), 0);
    std::vector<std::string> names = Names(b);
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 4),
              (std::vector<std::string>{"b7a8q", "b7a8r", "b7a8b", "b7a8n"}));
    for (size_t i = 4; i < names.size(); ++i) EXPECT_EQ(MovePromotion(b.List.Moves[i]), 0) << names[i];
    EXPECT_TRUE(Listed(b, MakeMoveCode(C2, A3, KNIGHT)));  // blocks
    EXPECT_FALSE(Listed(b, MakeMoveCode(C2, B4, KNIGHT)));
    EXPECT_FALSE(Listed(b, MakeMoveCode(A1, A2, KING)));  // attacked along the file
    EXPECT_TRUE(Listed(b, MakeMoveCode(A1, B2, KING)));
}

TEST_F(Evasions, MateAndNotInCheck) {
    EngineBoard b;
    SetupTestPosition(&b, "7k/8/8/8/8/8/6PP/r6K w - -");
    EXPECT_EQ(GenerateEvasions(&b), -2);
    EXPECT_EQ(b.List.Last, -1);
    // Called without a check it lists every move.
    SetupStartPosition(&b);
    EXPECT_EQ(GenerateEvasions(&b), 20);
    EXPECT_EQ(b.List.Last, 19);
}

TEST_F(Attacks, InCheckAndSquareAttacks) {
    EngineBoard b;
    SetupStartPosition(&b);
    EngineBoard child;
    child.Pos = b.Pos;
    // f2-f3 then e7-e5 then g2-g4 leaves nothing attacked; Qd8-h4 checks.
    MakeMove(&child, MakeMoveCode(F2, F3, PAWN), &child.Pos);
    MakeMove(&child, MakeMoveCode(E7, E5, PAWN), &child.Pos);
    MakeMove(&child, MakeMoveCode(G2, G4, PAWN), &child.Pos);
    EXPECT_FALSE(InCheck(&child, &child.Pos, 0));
    EXPECT_FALSE(InCheck(&child, &child.Pos, 1));
    EXPECT_FALSE(IsSquareAttacked(&child, &child.Pos, H4, 1));
    EXPECT_TRUE(IsSquareAttacked(&child, &child.Pos, H4, 0));  // black's queen reaches h4
    MakeMove(&child, MakeMoveCode(D8, H4, QUEEN), &child.Pos);
    EXPECT_TRUE(InCheck(&child, &child.Pos, 1));
    EXPECT_EQ(child.Gen.Targets, ~Bitboard{0});
    // A white move that leaves the white king attacked.
    SetupTestPosition(&b, "4k3/8/8/8/1b6/8/3P4/4K3 w - -");
    child.Pos = b.Pos;
    MakeMove(&child, MakeMoveCode(D2, D3, PAWN), &child.Pos);
    EXPECT_TRUE(InCheck(&child, &child.Pos, 0));
    EXPECT_FALSE(InCheck(&child, &child.Pos, 1));
    // The scratch record may differ from the position tested.
    EngineBoard scratch;
    SetupStartPosition(&scratch);
    EXPECT_TRUE(InCheck(&scratch, &child.Pos, 0));
}

TEST_F(Attacks, SliderAttacksStopAtTheFirstBlocker) {
    EngineBoard b;
    SetupTestPosition(&b, "4k3/8/8/1p1R2P1/8/8/8/4K3 w - -");
    GenerateMoves(&b);
    EXPECT_EQ(RookAttacks(&b, D5), Squares({B5, C5, E5, F5, D1, D2, D3, D4, D6, D7, D8}));
    EXPECT_EQ(BishopAttacks(&b, D5), Squares({A8, B7, C6, E4, F3, G2, H1, E6, F7, G8, C4, B3, A2}));
    EXPECT_EQ(QueenAttacks(&b, D5), RookAttacks(&b, D5) | BishopAttacks(&b, D5));
}

}  // namespace
