#include <random>

#include "bitboard.h"
#include "engine_fixture.h"
#include "globals.h"
#include "hash.h"
#include "movetext.h"

namespace {

// Quarter-by-quarter scan exactly as the two-halves board describes it.
int ReferenceBitIndex(Bitboard b) {
    for (int q = 0; q < 4; ++q) {
        const unsigned v = static_cast<unsigned>((b >> (16 * q)) & 0xFFFF);
        if (v) return 16 * q + BitIndexTable[v];
    }
    return -1;
}

int ReferencePopCount(Bitboard b) {
    int n = 0;
    for (int q = 0; q < 4; ++q) n += PopCountTable[(b >> (16 * q)) & 0xFFFF];
    return n;
}

using BoardTables = EngineTest;

TEST_F(BoardTables, BitPrimitivesMatchTheQuarterTables) {
    EXPECT_EQ(BitIndex(0), -1);
    EXPECT_EQ(BitIndex(Squares({C1, E1})), E1);
    EXPECT_EQ(BitIndex(Squares({A3, H8})), A3);
    EXPECT_EQ(PopCount(~Bitboard{0}), 64);
    EXPECT_EQ(PopCount(Squares({A1})), 1);

    std::mt19937_64 rng(12345);
    for (int i = 0; i < 200000; ++i) {
        // Sparse and dense boards, and boards with empty quarters.
        Bitboard b = rng() & rng();
        if (i % 3 == 0) b &= rng() & rng();
        if (i % 5 == 0) b &= 0xFFFF000000000000ULL >> (16 * (i % 4));
        ASSERT_EQ(BitIndex(b), ReferenceBitIndex(b)) << std::hex << b;
        ASSERT_EQ(PopCount(b), ReferencePopCount(b)) << std::hex << b;
        if (b) {
            Bitboard c = b;
            const int low = PopBit(c);
            ASSERT_EQ(Bitboard{1} << low, b & (~b + 1));
            ASSERT_EQ(c, b & (b - 1));
        }
    }
}

TEST_F(BoardTables, AttackTableTotalsAreKnownFacts) {
    int knight = 0, king = 0, rook = 0, bishop = 0;
    for (int sq = 0; sq < 64; ++sq) {
        knight += PopCount(KnightAttacks[sq]);
        king += PopCount(KingAttacks[sq]);
        rook += PopCount(RookAttacksEmpty[sq]);
        bishop += PopCount(BishopAttacksEmpty[sq]);
    }
    EXPECT_EQ(knight, 336);
    EXPECT_EQ(king, 420);
    EXPECT_EQ(rook, 64 * 14);
    EXPECT_EQ(bishop, 560);
    EXPECT_EQ(KnightAttacks[A1], Squares({B3, C2}));
    EXPECT_EQ(KingAttacks[H8], Squares({G7, G8, H7}));
}

TEST_F(BoardTables, BetweenAndDirectionAreSymmetric) {
    // Opposite ray codes: east/west, north/south, NE/SW, NW/SE.
    const int opposite[9] = {0, 3, 4, 1, 2, 7, 8, 5, 6};
    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b) {
            ASSERT_EQ(Between[a][b], Between[b][a]);
            ASSERT_EQ(Direction[b][a], opposite[Direction[a][b]]);
            const bool aligned = (RookAttacksEmpty[a] | BishopAttacksEmpty[a]) & SetMask[b];
            ASSERT_EQ(Direction[a][b] != 0, aligned);
            if (aligned) {
                ASSERT_EQ(PopCount(Between[a][b]), Distance(a, b) - 1);
            }
        }
    EXPECT_EQ(Direction[A1][H8], 5);
    EXPECT_EQ(Between[A1][H8], Squares({B2, C3, D4, E5, F6, G7}));
    EXPECT_EQ(Direction[A1][B3], 0);
    EXPECT_EQ(Between[A1][B3], 0u);
    EXPECT_EQ(Direction[A1][A1], 0);
}

TEST_F(BoardTables, PawnAndFileMasks) {
    EXPECT_EQ(PawnAttacks[0][D4], Squares({C3, E3}));
    EXPECT_EQ(PawnAttacks[0][A4], Squares({B3}));
    EXPECT_EQ(PawnAttacks[1][H5], Squares({G6}));
    for (int sq = 0; sq < 15; ++sq) EXPECT_EQ(PawnAttacks[0][sq], 0u);
    for (int sq = 49; sq < 64; ++sq) EXPECT_EQ(PawnAttacks[1][sq], 0u);
    EXPECT_EQ(FileMask[FileOf[A5] - 1], 0u);
    EXPECT_EQ(FileMask[FileOf[A5] + 1], FileMask[2]);
    EXPECT_EQ(FileMask[FileOf[H5] + 1], 0u);
    EXPECT_EQ(QueensideFiles | KingsideFiles, ~Bitboard{0});
    EXPECT_EQ(QueensideFiles & KingsideFiles, 0u);
    for (int sq = 0; sq < 64; ++sq) {
        EXPECT_EQ(PawnPushes[sq][0][0] != 0, sq >= 8 && sq <= 55);
        EXPECT_EQ(PassedPawnMask[0][sq] & (RookRays[sq][3] | SetMask[sq]), 0u);
        for (int side = 0; side < 2; ++side) {
            EXPECT_FALSE(PawnSquare[0][sq][side] & SetMask[A1]);
            EXPECT_FALSE(PawnSquare[1][sq][side] & SetMask[A1]);
        }
    }
    EXPECT_EQ(PassedPawnMask[0][E5], Squares({D6, E6, F6, D7, E7, F7, D8, E8, F8}));
    EXPECT_EQ(PopCount(KingZone[D4]), 49);
    EXPECT_EQ(PopCount(KingZone[A1]), 16);
    // A white pawn on a7: the king catches it from next to the queening square,
    // and from one square further when it is the defender's move.
    EXPECT_EQ(PawnSquare[0][A7][0], Squares({A7, B7, A8, B8}));
    EXPECT_EQ(PawnSquare[0][A7][1], Squares({A6, B6, C6, A7, B7, C7, A8, B8, C8}));
    EXPECT_EQ(PawnSquare[1][H2][1], Squares({G1, H1, G2, H2}));
}

TEST_F(BoardTables, StartPosition) {
    EngineBoard board{};
    SetupStartPosition(&board);
    const Position& p = board.Pos;
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(p.PieceMaterial[c], 3260);
        EXPECT_EQ(p.PawnMaterial[c], 800);
        EXPECT_EQ(p.MajorCount[c], 4);
        EXPECT_EQ(p.MinorCount[c], 4);
        EXPECT_TRUE(p.CastleShort[c] && p.CastleLong[c]);
    }
    EXPECT_EQ(p.KingSquare[WHITE], E1);
    EXPECT_EQ(p.KingSquare[BLACK], E8);
    EXPECT_EQ(p.EpSquare, -1);
    EXPECT_EQ(p.KeyHistory[0], p.Key);
    EXPECT_EQ(p.Key, ComputeHashKey(&p));
    EXPECT_EQ(p.PawnKey, ComputePawnHashKey(&p));
    EXPECT_NE(p.Key, 0u);
    EXPECT_EQ(LearnResult, -1.0);
}

TEST_F(BoardTables, GlobalTexts) {
    EXPECT_EQ(VersionText, "4.00");
    EXPECT_EQ(SquareNames[0], "a1");
    EXPECT_EQ(SquareNames[7], "h1");
    EXPECT_EQ(SquareNames[63], "h8");
    EXPECT_EQ(SquareNames[64], "none");
    EXPECT_EQ(PieceValue[6], 31000);
}

}  // namespace
