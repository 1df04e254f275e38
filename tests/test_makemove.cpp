#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "bitboard.h"
#include "engine_fixture.h"
#include "globals.h"
#include "hash.h"
#include "makemove.h"
#include "movegen.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int PLAYOUT_GAMES = 500;
#else
constexpr int PLAYOUT_GAMES = 2000;
#endif

Move Code(const EngineBoard& b, const char* text) {
    CoordinateMove squares;
    ParseCoordinateText(text, &squares);
    const int from = squares.from;
    const int to = squares.to;
    int piece = 0;
    for (int t = 1; t <= 6; ++t)
        if (b.Pos.Pieces[b.Pos.SideToMove][t] & SetMask[from]) piece = t;
    int captured = 0;
    for (int t = 1; t <= 6; ++t)
        if (b.Pos.Pieces[b.Pos.SideToMove ^ 1][t] & SetMask[to]) captured = t;
    if (piece == PAWN && !captured && to == b.Pos.EpSquare && ((from ^ to) & 7)) captured = PAWN;
    return MakeMoveCode(from, to, piece, captured, squares.promotion);
}

// Plays a move given as "e2e4" (or "e7e8q") on the board itself.
int Play(EngineBoard& b, const char* text) { return MakeMove(&b, Code(b, text), &b.Pos); }

void ExpectConsistent(const Position& p, const std::string& where) {
    EXPECT_EQ(p.Key, ComputeHashKey(&p)) << where;
    EXPECT_EQ(p.PawnKey, ComputePawnHashKey(&p)) << where;
    Position q = p;
    ComputeMaterial(&q);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(p.PieceMaterial[c], q.PieceMaterial[c]) << where;
        EXPECT_EQ(p.PawnMaterial[c], q.PawnMaterial[c]) << where;
        EXPECT_EQ(p.MajorCount[c], q.MajorCount[c]) << where;
        EXPECT_EQ(p.MinorCount[c], q.MinorCount[c]) << where;
        EXPECT_EQ(p.Pieces[c][KING], SetMask[p.KingSquare[c]]) << where;
        EXPECT_EQ(p.Pieces[c][0], 0u) << where;
        // A held right always has its king and rook at home.
        const int base = c == WHITE ? 0 : 56;
        if (p.CastleShort[c]) {
            EXPECT_EQ(p.KingSquare[c], base + 4) << where;
            EXPECT_TRUE(p.Pieces[c][ROOK] & SetMask[base + 7]) << where;
        }
        if (p.CastleLong[c]) {
            EXPECT_EQ(p.KingSquare[c], base + 4) << where;
            EXPECT_TRUE(p.Pieces[c][ROOK] & SetMask[base]) << where;
        }
    }
    Bitboard seen = 0;
    for (int c = 0; c < 2; ++c)
        for (int t = 1; t <= 6; ++t) {
            EXPECT_EQ(seen & p.Pieces[c][t], 0u) << where;
            seen |= p.Pieces[c][t];
        }
    EXPECT_EQ((p.Pieces[WHITE][PAWN] | p.Pieces[BLACK][PAWN]) & 0xFF000000000000FFULL, 0u) << where;
}

std::vector<Move> LegalOf(const EngineBoard& b) {
    std::vector<Move> legal = LegalListedMoves(b);
    std::sort(legal.begin(), legal.end());
    return legal;
}

std::vector<Move> Sorted(const EngineBoard& b) {
    std::vector<Move> v(b.List.Moves, b.List.Moves + b.List.Last + 1);
    std::sort(v.begin(), v.end());
    return v;
}

using Playouts = EngineTest;
using Making = EngineTest;
using DrawRules = EngineTest;

TEST_F(Playouts, RandomGamesKeepEveryInvariant) {
    const char* starts[] = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
        "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -",
        "r3k2r/1b4bq/8/8/8/8/7B/R3K2R w KQkq -",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
        "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -",
    };
    std::mt19937 rng(20240607);
    EngineBoard b;
    int promotions = 0, enPassants = 0, castles = 0, cornerCaptures = 0, evasionChecks = 0;
    for (int game = 0; game < PLAYOUT_GAMES; ++game) {
        SetupTestPosition(&b, starts[game % std::size(starts)]);
        for (int ply = 0; ply < 200; ++ply) {
            const std::string where = std::string(starts[game % std::size(starts)]) + " game " +
                                      std::to_string(game) + " ply " + std::to_string(ply);
            ExpectConsistent(b.Pos, where);
            if (::testing::Test::HasFailure()) return;

            ASSERT_GE(GenerateMoves(&b), 1) << where;
            const std::vector<Move> pseudo = Sorted(b);
            const std::vector<Move> legal = LegalOf(b);
            if (legal.empty()) break;

            std::vector<Move> captures;
            for (Move m : pseudo)
                if ((MoveCaptured(m) && !MovePromotion(m)) || MovePromotion(m) == QUEEN) captures.push_back(m);
            QuiesceMargin = 0;
            ASSERT_GE(GenerateCaptures(&b), -2) << where;
            EXPECT_EQ(Sorted(b), captures) << where;

            if (InCheck(&b, &b.Pos, 1)) {
                ASSERT_GE(GenerateEvasions(&b), 1) << where;
                EXPECT_EQ(LegalOf(b), legal) << where;
                ++evasionChecks;
            }

            // Captures and promotions are chosen more often than chance.
            std::vector<Move> lively;
            for (Move m : legal)
                if (MoveCaptured(m) || MovePromotion(m)) lively.push_back(m);
            const std::vector<Move>& pool = (!lively.empty() && rng() % 2) ? lively : legal;
            const Move m = pool[rng() % pool.size()];

            const int from = MoveFrom(m), to = MoveTo(m);
            if (MovePromotion(m)) ++promotions;
            if (MovePiece(m) == PAWN && to == b.Pos.EpSquare && MoveCaptured(m)) ++enPassants;
            if (MovePiece(m) == KING && (from - to == 2 || to - from == 2)) ++castles;
            if (MoveCaptured(m) == ROOK && (to == A1 || to == H1 || to == A8 || to == H8)) ++cornerCaptures;

            const i64 nodes = NodeCount;
            const int result = MakeMove(&b, m, &b.Pos);
            ASSERT_TRUE(result == 1 || result == 3 || result == 4 || result == 5) << where;
            EXPECT_EQ(NodeCount, nodes + 1);
            EXPECT_EQ(b.Pos.LastMove, m);
            if (result == 4) break;
        }
    }
    EXPECT_GT(promotions, 0);
    EXPECT_GT(enPassants, 0);
    EXPECT_GT(castles, 0);
    EXPECT_GT(cornerCaptures, 0);
    EXPECT_GT(evasionChecks, 0);
}

TEST_F(Making, DoubleStepSetsTheEnPassantSquare) {
    EngineBoard b;
    SetupStartPosition(&b);
    EXPECT_EQ(Play(b, "e2e4"), 1);
    EXPECT_EQ(b.Pos.EpSquare, E3);
    EXPECT_EQ(b.Pos.FiftyMoveCounter, 0);
    EXPECT_EQ(b.Pos.KeyHistory[0], b.Pos.Key);
    EXPECT_EQ(b.Gen.From, E2);
    EXPECT_EQ(b.Gen.To, E4);
    EXPECT_EQ(b.Gen.SavedEp, -1);
    ExpectConsistent(b.Pos, "e2e4");
    EXPECT_EQ(Play(b, "d7d5"), 1);
    EXPECT_EQ(b.Pos.EpSquare, D6);
    EXPECT_EQ(Play(b, "e4e5"), 1);
    EXPECT_EQ(b.Pos.EpSquare, -1);
    EXPECT_EQ(Play(b, "f7f5"), 1);
    EXPECT_EQ(Play(b, "e5f6"), 1);
    EXPECT_EQ(b.Gen.CapturedPiece, PAWN);
    EXPECT_EQ(b.Gen.SavedEp, F6);
    EXPECT_EQ(b.Pos.Pieces[BLACK][PAWN] & SetMask[F5], 0u);
    EXPECT_EQ(b.Pos.PawnMaterial[BLACK], 700);
    ExpectConsistent(b.Pos, "e5xf6");
}

TEST_F(Making, CastlingRightsAndRookMoves) {
    EngineBoard b;
    SetupTestPosition(&b, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 3");
    EXPECT_EQ(Play(b, "e1g1"), 1);
    EXPECT_EQ(b.Pos.Pieces[WHITE][ROOK], SetMask[A1] | SetMask[F1]);
    EXPECT_EQ(b.Pos.KingSquare[WHITE], G1);
    EXPECT_TRUE(b.Pos.HasCastled[WHITE]);
    EXPECT_FALSE(b.Pos.CastleShort[WHITE] || b.Pos.CastleLong[WHITE]);
    EXPECT_EQ(b.Pos.FiftyMoveCounter, 4);
    ExpectConsistent(b.Pos, "e1g1");
    EXPECT_EQ(Play(b, "e8c8"), 1);
    EXPECT_EQ(b.Pos.Pieces[BLACK][ROOK], SetMask[D8] | SetMask[H8]);
    EXPECT_TRUE(b.Pos.HasCastled[BLACK]);
    ExpectConsistent(b.Pos, "e8c8");

    // A king move takes both rights; a later one takes none.
    SetupTestPosition(&b, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    const u64 before = b.Pos.Key;
    EXPECT_EQ(Play(b, "e1d1"), 1);
    EXPECT_EQ(b.Pos.Key, before ^ PieceKeys[KING][WHITE][E1] ^ PieceKeys[KING][WHITE][D1] ^ SideKey ^
                             CastleKeys[0] ^ CastleKeys[2]);
    Play(b, "a8b8");
    EXPECT_FALSE(b.Pos.CastleLong[BLACK]);
    EXPECT_TRUE(b.Pos.CastleShort[BLACK]);
    const u64 mid = b.Pos.Key;
    Play(b, "d1e1");
    EXPECT_EQ(b.Pos.Key, mid ^ PieceKeys[KING][WHITE][D1] ^ PieceKeys[KING][WHITE][E1] ^ SideKey);
    EXPECT_EQ(Play(b, "h8g8"), 1);
    EXPECT_FALSE(b.Pos.CastleShort[BLACK]);
    ExpectConsistent(b.Pos, "h8g8");
}

TEST_F(Making, CapturedCornerRookEndsTheRight) {
    // The bishop takes the h8 rook and another rook retakes on h8: black's
    // king-side right is gone, so that rook cannot castle.
    EngineBoard b;
    SetupTestPosition(&b, "r3k2r/7r/8/8/8/8/1B6/4K3 w kq -");
    EXPECT_EQ(Play(b, "b2h8"), 1);
    EXPECT_FALSE(b.Pos.CastleShort[BLACK]);
    EXPECT_TRUE(b.Pos.CastleLong[BLACK]);
    ExpectConsistent(b.Pos, "Bxh8");
    Play(b, "h7h8");
    Play(b, "e1d1");
    ExpectConsistent(b.Pos, "Rxh8");
    GenerateMoves(&b);
    for (int i = 0; i <= b.List.Last; ++i) EXPECT_NE(b.List.Moves[i], MakeMoveCode(E8, G8, KING));

    // The same for white's queen-side rook taken on a1 by a promotion.
    SetupTestPosition(&b, "4k3/8/8/8/8/8/1p6/R3K2R b KQ -");
    EXPECT_EQ(Play(b, "b2a1q"), 1);
    EXPECT_FALSE(b.Pos.CastleLong[WHITE]);
    EXPECT_TRUE(b.Pos.CastleShort[WHITE]);
    ExpectConsistent(b.Pos, "bxa1=Q");
}

TEST_F(Making, PromotionsMoveMaterial) {
    EngineBoard b;
    struct Case {
        const char* move;
        int piece, major, minor;
    };
    const Case cases[] = {{"b7b8q", QUEEN, 2, 0}, {"b7b8r", ROOK, 1, 0}, {"b7b8b", BISHOP, 0, 1},
                          {"b7a8n", KNIGHT, 0, 1}};
    for (const auto& c : cases) {
        SetupTestPosition(&b, "r3k3/1P6/8/8/8/8/8/4K3 w - - 7");
        const Position before = b.Pos;
        EXPECT_EQ(Play(b, c.move), 1) << c.move;
        EXPECT_EQ(b.Gen.Piece, c.piece) << c.move;
        EXPECT_EQ(b.Pos.MajorCount[WHITE], before.MajorCount[WHITE] + c.major) << c.move;
        EXPECT_EQ(b.Pos.MinorCount[WHITE], before.MinorCount[WHITE] + c.minor) << c.move;
        EXPECT_EQ(b.Pos.PieceMaterial[WHITE], before.PieceMaterial[WHITE] + PieceValue[c.piece]) << c.move;
        EXPECT_EQ(b.Pos.PawnMaterial[WHITE], before.PawnMaterial[WHITE] - PieceValue[PAWN]) << c.move;
        EXPECT_EQ(b.Pos.FiftyMoveCounter, 0) << c.move;
        ExpectConsistent(b.Pos, c.move);
    }
}

TEST_F(Making, OddPositionDataStaysInBounds) {
    EngineBoard b;
    // An en-passant square holding a piece: the pawn takes that piece.
    SetupTestPosition(&b, "4k3/8/3n4/3pP3/8/8/8/4K3 w - d6");
    EXPECT_EQ(Play(b, "e5d6"), 1);
    EXPECT_EQ(b.Pos.Pieces[BLACK][KNIGHT], 0u);
    EXPECT_EQ(b.Pos.Pieces[BLACK][PAWN], SetMask[D5]);
    ExpectConsistent(b.Pos, "exd6 on an occupied square");

    // En-passant squares and counters that no loader should produce.
    for (int ep : {70, -9, 64}) {
        SetupTestPosition(&b, "4k3/8/8/8/8/8/4P3/4K1N1 w - -");
        b.Pos.EpSquare = ep;
        b.Pos.Key = ComputeHashKey(&b.Pos);
        GenerateMoves(&b);
        EXPECT_EQ(b.Gen.EpTarget, 0u);
        EXPECT_EQ(Play(b, "g1f3"), 1);
        EXPECT_EQ(b.Pos.EpSquare, -1);
        ExpectConsistent(b.Pos, "odd ep square");
        b.Pos.EpSquare = ep;
        MakeNullMove(&b, &b.Pos);
        UnmakeNullMove(&b, &b.Pos);
        EXPECT_EQ(b.Pos.EpSquare, ep);
    }
    SetupTestPosition(&b, "4k3/8/8/8/8/8/8/4K1N1 w - -");
    b.Pos.FiftyMoveCounter = -7;
    EXPECT_EQ(Play(b, "g1f3"), 1);
    EXPECT_EQ(b.Pos.FiftyMoveCounter, 1);
    b.Pos.FiftyMoveCounter = 150;
    EXPECT_EQ(CheckDraw(&b.Pos, 1), 4);
    EXPECT_EQ(Play(b, "e8d8"), 4);

    // Taking a king answers -1.
    SetupTestPosition(&b, "4k3/4Q3/8/8/8/8/8/4K3 w - -");
    EXPECT_EQ(MakeMove(&b, MakeMoveCode(E7, E8, QUEEN, KING), &b.Pos), -1);
}

// Also through the search's copies, which carry the history only up to the
// fifty-move counter: into a record whose other entries all hold the current
// key (a repetition, were they read).
TEST_F(DrawRules, RepetitionCodes) {
    for (const bool throughCopies : {false, true}) {
        SCOPED_TRACE(throughCopies ? "through copies" : "on the board");
        EngineBoard b;
        SetupStartPosition(&b);
        const char* moves[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
        std::vector<int> results;
        for (int round = 0; round < 2; ++round)
            for (const char* m : moves) {
                if (!throughCopies) {
                    results.push_back(Play(b, m));
                    continue;
                }
                EngineBoard copy;
                std::fill(std::begin(copy.Pos.KeyHistory), std::end(copy.Pos.KeyHistory), b.Pos.Key);
                CopyPosition(&copy.Pos, &b.Pos);
                results.push_back(Play(copy, m));
                b.Pos = copy.Pos;
            }
        EXPECT_EQ(results, (std::vector<int>{1, 1, 1, 5, 5, 5, 5, 3}));
        EXPECT_EQ(b.Pos.FiftyMoveCounter, 8);
        EXPECT_EQ(CheckDraw(&b.Pos, 1), 3);
        // A pawn move starts a new history.
        EXPECT_EQ(Play(b, "e2e4"), 1);
        EXPECT_EQ(CheckDraw(&b.Pos, 5), 0);
    }
}

TEST_F(DrawRules, FiftyMoves) {
    EngineBoard b;
    SetupTestPosition(&b, "4k3/8/8/8/8/8/8/4K1N1 w - - 98");
    EXPECT_EQ(Play(b, "g1f3"), 1);
    EXPECT_EQ(b.Pos.FiftyMoveCounter, 99);
    EXPECT_EQ(CheckDraw(&b.Pos, 1), 0);
    EXPECT_EQ(Play(b, "e8d8"), 4);
    EXPECT_EQ(b.Pos.FiftyMoveCounter, 100);
    EXPECT_EQ(CheckDraw(&b.Pos, 1), 4);

    // Castling is reversible for the counter; a capture resets it.
    SetupTestPosition(&b, "4k3/8/8/8/8/8/8/4K2R w K - 98");
    EXPECT_EQ(Play(b, "e1g1"), 1);
    EXPECT_EQ(Play(b, "e8e7"), 4);
    SetupTestPosition(&b, "4k3/8/8/8/8/8/8/3rK3 w - - 99");
    EXPECT_EQ(Play(b, "e1d1"), 1);
    EXPECT_EQ(b.Pos.FiftyMoveCounter, 0);
}

TEST_F(DrawRules, CheckDrawCountsEarlierOccurrences) {
    EngineBoard b;
    SetupTestPosition(&b, "4k3/8/8/8/8/8/8/4K1N1 w - - 99");
    b.Pos.KeyHistory[0] = 0;  // the set-up keeps its own key there
    b.Pos.KeyHistory[99] = b.Pos.Key;
    EXPECT_EQ(CheckDraw(&b.Pos, 1), 0);
    b.Pos.KeyHistory[40] = b.Pos.Key;  // one earlier occurrence
    EXPECT_EQ(CheckDraw(&b.Pos, 1), 0);
    EXPECT_EQ(CheckDraw(&b.Pos, 2), 0);
    EXPECT_EQ(CheckDraw(&b.Pos, 3), 3);
    b.Pos.KeyHistory[12] = b.Pos.Key;  // two earlier occurrences
    EXPECT_EQ(CheckDraw(&b.Pos, 1), 3);
    // A copy carries the history to its last entry.
    EngineBoard copy;
    std::fill(std::begin(copy.Pos.KeyHistory), std::end(copy.Pos.KeyHistory), 0);
    CopyPosition(&copy.Pos, &b.Pos);
    EXPECT_EQ(CheckDraw(&copy.Pos, 1), 3);
    copy.Pos.KeyHistory[40] = 0;
    EXPECT_EQ(CheckDraw(&copy.Pos, 1), 0);
    EXPECT_EQ(copy.Pos.KeyHistory[99], b.Pos.Key);
}

TEST_F(DrawRules, NullMoveRoundTrip) {
    EngineBoard b;
    SetupStartPosition(&b);
    Play(b, "e2e4");
    const Position before = b.Pos;
    EXPECT_EQ(MakeNullMove(&b, &b.Pos), 1);
    EXPECT_EQ(b.Pos.SideToMove, WHITE);
    EXPECT_EQ(b.Pos.EpSquare, -1);
    EXPECT_EQ(b.Pos.NullMoveMade, 1);
    EXPECT_EQ(b.Pos.Key, ComputeHashKey(&b.Pos));
    EXPECT_EQ(b.Pos.FiftyMoveCounter, before.FiftyMoveCounter);
    EXPECT_EQ(UnmakeNullMove(&b, &b.Pos), 1);
    EXPECT_EQ(b.Pos.Key, before.Key);
    EXPECT_EQ(b.Pos.EpSquare, E3);
    EXPECT_EQ(b.Pos.SideToMove, BLACK);
    EXPECT_EQ(b.Pos.NullMoveMade, 0);
    // A real move clears the flag.
    MakeNullMove(&b, &b.Pos);
    Play(b, "g1f3");
    EXPECT_EQ(b.Pos.NullMoveMade, 0);
}

}  // namespace
