#include <bit>
#include <set>

#include "bitboard.h"
#include "engine_fixture.h"
#include "globals.h"
#include "hash.h"

namespace {

using Keys = EngineTest;

TEST_F(Keys, KeyTablesAreDistinctNonZeroAndFixed) {
    std::set<u64> seen;
    int count = 0;
    for (auto& t : PieceKeys)
        for (auto& c : t)
            for (u64 k : c) {
                seen.insert(k);
                ++count;
                EXPECT_NE(k, 0u);
            }
    for (u64 k : EnPassantKeys) seen.insert(k), ++count;
    for (u64 k : CastleKeys) seen.insert(k), ++count;
    seen.insert(SideKey), ++count;
    EXPECT_EQ(static_cast<int>(seen.size()), count);

    // A second start-up makes the same keys.
    const u64 first = PieceKeys[1][0][8], last = CastleKeys[3];
    ResetEngineState();
    EXPECT_EQ(PieceKeys[1][0][8], first);
    EXPECT_EQ(CastleKeys[3], last);

    // Lagged Fibonacci: the first word is seed[54] + seed[23], the next seed[53] + seed[22].
    ResetRandomGenerator();
    EXPECT_EQ(NextRandom32(), 4040613457u + 601253406u);
    EXPECT_EQ(NextRandom32(), 3312921747u + 664094480u);
}

TEST_F(Keys, PawnKeyAndSideKey) {
    EngineBoard board{};
    SetupStartPosition(&board);
    Position p = board.Pos;
    p.SideToMove = 1;
    EXPECT_EQ(ComputeHashKey(&p), board.Pos.Key ^ SideKey);
    p.EpSquare = E3;
    EXPECT_EQ(ComputeHashKey(&p), board.Pos.Key ^ SideKey ^ EnPassantKeys[E3]);
    p.Pieces[WHITE][KNIGHT] = 0;
    EXPECT_EQ(ComputePawnHashKey(&p), board.Pos.PawnKey);
}

class HashTables : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ClearHashTables();
    }
    static int Probe(int depth60, int& alpha, int& beta, u32 lo, u32 hi, Move& m) {
        return ProbeHash(depth60, &alpha, &beta, lo, hi, &m);
    }
};

TEST_F(HashTables, ScoreIsPulledTowardZeroByExcessDepth) {
    struct Case {
        int stored, expected;
    } cases[] = {{300, 300}, {31500, 31499}, {-300, -300}, {-31500, -31499}};
    for (auto c : cases) {
        ClearHashTables();
        StoreHash(3 * 60, c.stored, HASH_EXACT, 0x1234, 0x5678, 77);
        int alpha = -32000, beta = 32000;
        Move m = -1;
        EXPECT_EQ(Probe(120, alpha, beta, 0x1234, 0x5678, m), 1);
        EXPECT_EQ(alpha, c.expected);
        EXPECT_EQ(m, 77);
    }
    // Five plies of excess: 300 - 5/3 = 299.
    int alpha = -32000, beta = 32000;
    Move m = 0;
    StoreHash(6 * 60, 300, HASH_EXACT, 0x99, 0x1, 5);
    EXPECT_EQ(Probe(60, alpha, beta, 0x99, 0x1, m), 1);
    EXPECT_EQ(alpha, 299);
}

TEST_F(HashTables, BoundsAndShallowProbes) {
    StoreHash(4 * 60, 50, HASH_UPPER, 10, 20, 3);
    int alpha = 100, beta = 200;
    Move m = 0;
    EXPECT_EQ(Probe(4 * 60, alpha, beta, 10, 20, m), 2);
    EXPECT_EQ(alpha, 50);
    alpha = 0;
    EXPECT_EQ(Probe(4 * 60, alpha, beta, 10, 20, m), 0);
    // Too shallow: the move still comes back.
    m = 0;
    EXPECT_EQ(Probe(5 * 60, alpha, beta, 10, 20, m), 0);
    EXPECT_EQ(m, 3);
    // Another key on the same slot misses and clears the move.
    m = 9;
    EXPECT_EQ(Probe(60, alpha, beta, 10, 21, m), 0);
    EXPECT_EQ(m, 0);

    StoreHash(4 * 60, 500, HASH_LOWER, 11, 20, 4);
    alpha = 0;
    beta = 400;
    EXPECT_EQ(Probe(60, alpha, beta, 11, 20, m), 3);
    EXPECT_EQ(beta, 500 - 3 / 3);
}

TEST_F(HashTables, ReplacementByAge) {
    // A deep entry withstands that many shallower stores of its position.
    const struct {
        int type;
        u32 key;
        int kept;
    } cases[] = {{HASH_EXACT, 7, 4}, {HASH_UPPER, 8, 6}};
    for (const auto& c : cases) {
        StoreHash(5 * 60, 10, c.type, c.key, c.key, 1);
        for (int i = 0; i < c.kept; ++i) {
            StoreHash(2 * 60, 20, HASH_EXACT, c.key, c.key, 2);
            EXPECT_EQ(ProbeHashMove(c.key, c.key), 1) << c.type << " " << i;
        }
        StoreHash(2 * 60, 20, HASH_EXACT, c.key, c.key, 2);
        EXPECT_EQ(ProbeHashMove(c.key, c.key), 2) << c.type;
    }
}

TEST_F(HashTables, ClampsScoreAndDepth) {
    int alpha = 0, beta = 0;
    Move m = 0;
    StoreHash(60, 32500, HASH_EXACT, 1, 2, 0);
    EXPECT_EQ(Probe(60, alpha, beta, 1, 2, m), 1);
    EXPECT_EQ(alpha, 31999);
    StoreHash(60, -40000, HASH_EXACT, 3, 2, 0);
    EXPECT_EQ(Probe(60, alpha, beta, 3, 2, m), 1);
    EXPECT_EQ(alpha, -31999);
    // A huge depth stays in its field and keeps the bound type.
    StoreHash(500 * 60, 40, HASH_LOWER, 4, 2, 0);
    const u16 info = HashTable[4 & (HashTableEntries - 1)].Info;
    EXPECT_EQ(info & 0x7F, 127);
    EXPECT_EQ((info >> 7) & 3, HASH_LOWER);
}

TEST_F(HashTables, SwitchesAndStopFlagAndZeroKey) {
    UseHashTable = 0;
    StoreHash(60, 1, HASH_EXACT, 5, 5, 9);
    UseHashTable = 1;
    EXPECT_EQ(ProbeHashMove(5, 5), 0);
    StoreHash(60, 1, HASH_EXACT, 5, 5, 9);
    UseHashTable = 0;
    EXPECT_EQ(ProbeHashMove(5, 5), 0);
    UseHashTable = 1;
    StopSearch = true;
    StoreHash(60, 1, HASH_EXACT, 6, 6, 9);
    StorePawnHash(6, 6, 1, 2, 3, 4, 5);
    StopSearch = false;
    EXPECT_EQ(ProbeHashMove(6, 6), 0);

    int alpha = 11, beta = 12;
    Move m = 13;
    EXPECT_EQ(Probe(60, alpha, beta, 0, 0, m), 0);
    EXPECT_EQ(m, 13);
    int s = 1, ia = 2, ib = 3;
    u64 ma = 4, mb = 5;
    EXPECT_EQ(ProbePawnHash(0, 0, &s, &mb, &ma, &ia, &ib), 0);
    EXPECT_EQ(s + ia + ib + static_cast<int>(ma + mb), 1 + 2 + 3 + 9);
}

TEST_F(HashTables, PawnEntryRoundTripSignExtends) {
    StorePawnHash(42, 43, -120, 0xABCD, 0x1234, -5, 70000);
    int s = 0, ia = 0, ib = 0;
    u64 ma = 0, mb = 0;
    ASSERT_EQ(ProbePawnHash(42, 43, &s, &mb, &ma, &ia, &ib), 1);
    EXPECT_EQ(s, -120);
    EXPECT_EQ(mb, 0xABCDu);
    EXPECT_EQ(ma, 0x1234u);
    EXPECT_EQ(ia, -5);
    EXPECT_EQ(ib, static_cast<i16>(70000));
    ClearHashTables();
    EXPECT_EQ(ProbePawnHash(42, 43, &s, &mb, &ma, &ia, &ib), 0);
}

TEST_F(HashTables, ResizeKeepsAPowerOfTwoAndEmpties) {
    StoreHash(60, 1, HASH_EXACT, 5, 5, 9);
    EXPECT_TRUE(ResizeHashTables(1u << 20));
    EXPECT_EQ(HashTableEntries, (1u << 20) / 16);
    EXPECT_EQ(ProbeHashMove(5, 5), 0);
    EXPECT_TRUE(ResizeHashTables(3000));
    EXPECT_EQ(HashTableEntries, 128u);
    EXPECT_TRUE(ResizeHashTables(5));
    EXPECT_EQ(HashTableEntries, 1u);
    // Every key lands in the one slot.
    StoreHash(60, 1, HASH_EXACT, 0xFFFFFFFF, 5, 9);
    EXPECT_EQ(ProbeHashMove(0xFFFFFFFF, 5), 9);
    EXPECT_EQ(PawnHashEntries, INITIAL_PAWN_HASH_ENTRIES);
    ResizeHashTables(INITIAL_HASH_ENTRIES * 16);
}

// More than the machine holds is never allocated (the system would grant
// it and end the program once the table is cleared): the start-up size.
TEST_F(HashTables, ASizeAboveThePhysicalMemoryIsRefused) {
    const u64 physical = PhysicalMemoryBytes();
    ASSERT_GT(physical, 0u);
    EXPECT_TRUE(ResizeHashTables(1u << 16));
    StoreHash(60, 1, HASH_EXACT, 5, 5, 9);
    EXPECT_FALSE(ResizeHashTables(std::bit_ceil(physical)));
    EXPECT_EQ(HashTableEntries, INITIAL_HASH_ENTRIES);
    EXPECT_EQ(ProbeHashMove(5, 5), 0);
    StoreHash(60, 1, HASH_EXACT, 5, 5, 9);
    EXPECT_EQ(ProbeHashMove(5, 5), 9);
    EXPECT_EQ(PawnHashEntries, INITIAL_PAWN_HASH_ENTRIES);
}

}  // namespace
