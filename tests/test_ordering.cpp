#include <map>
#include <string>
#include <vector>

#include "bitboard.h"
#include "engine_fixture.h"
#include "eval.h"
#include "globals.h"
#include "hash.h"
#include "makemove.h"
#include "movegen.h"
#include "ordering.h"

namespace {

MoveList ListOf(const std::vector<int>& scores) {
    MoveList list{};
    for (size_t i = 0; i < scores.size(); ++i) {
        list.Moves[i] = static_cast<Move>(i + 1);  // identifies the entry
        list.Score[i] = scores[i];
    }
    list.Last = static_cast<int>(scores.size()) - 1;
    return list;
}

std::vector<Move> MovesOf(const MoveList& list) {
    return std::vector<Move>(list.Moves, list.Moves + list.Last + 1);
}

using Selection = EngineTest;

TEST_F(Selection, PickBestMoveTakesTheFirstOfTheHighest) {
    MoveList list = ListOf({5, 1, 9, 3, 9});
    PickBestMove(&list, 0);
    EXPECT_EQ(MovesOf(list), (std::vector<Move>{3, 2, 1, 4, 5}));
    EXPECT_EQ(list.Score[0], 9);
    EXPECT_EQ(list.Score[2], 5);

    // At the last index nothing moves; one before it compares the last two.
    list = ListOf({1, 2, 3});
    PickBestMove(&list, 2);
    EXPECT_EQ(MovesOf(list), (std::vector<Move>{1, 2, 3}));
    PickBestMove(&list, 1);
    EXPECT_EQ(MovesOf(list), (std::vector<Move>{1, 3, 2}));
    list = ListOf({4, 4});
    PickBestMove(&list, 0);
    EXPECT_EQ(MovesOf(list), (std::vector<Move>{1, 2}));
}

TEST_F(Selection, SortMovesIsTheSwappingSelectionSort) {
    // The swap carries the first 1 behind the second: a stable sort would
    // keep them in order.
    MoveList list = ListOf({1, 1, 2});
    SortMoves(&list);
    EXPECT_EQ(MovesOf(list), (std::vector<Move>{3, 2, 1}));

    list = ListOf({3, -7, 3, 10, 0, 3});
    SortMoves(&list);
    EXPECT_EQ(MovesOf(list), (std::vector<Move>{4, 3, 1, 6, 5, 2}));
    EXPECT_EQ(std::vector<int>(list.Score, list.Score + 6), (std::vector<int>{10, 3, 3, 3, 0, -7}));

    list = ListOf({8});
    SortMoves(&list);
    EXPECT_EQ(MovesOf(list), (std::vector<Move>{1}));
    list.Last = -1;
    SortMoves(&list);
    EXPECT_EQ(list.Last, -1);
}

class Ordering : public EngineTest {
protected:
    EngineBoard root{};

    int ScoreOf(Move m, int side = WHITE, int ply = 3, Move previous = 0, u64 key = 0) {
        MoveList list{};
        list.Moves[0] = m;
        list.Last = 0;
        ScoreMoves(&root, &list, side, ply, previous, KeyLo(key), KeyHi(key));
        return list.Score[0];
    }
};

TEST_F(Ordering, ScoreFields) {
    const Move pxn = MakeMoveCode(E4, D5, PAWN, KNIGHT);
    const Move qxp = MakeMoveCode(D1, D5, QUEEN, PAWN);
    const Move previous = MakeMoveCode(C7, D5, KNIGHT);
    // Captures: gain of the piece-square tables added to v << 23.
    const int pawnGain = PawnTable[WHITE][D5] - PawnTable[WHITE][E4];
    const int queenGain = QueenTable[WHITE][D5] - QueenTable[WHITE][D1];
    EXPECT_EQ(ScoreOf(pxn), (11 << 23) + pawnGain);
    EXPECT_EQ(ScoreOf(pxn, WHITE, 3, previous), (12 << 23) + pawnGain);
    EXPECT_EQ(ScoreOf(qxp), (6 << 23) + queenGain);
    EXPECT_EQ(ScoreOf(qxp, WHITE, 3, previous), (11 << 23) + queenGain);

    // Promotion to a queen only.
    EXPECT_EQ(ScoreOf(MakeMoveCode(A7, A8, PAWN, 0, QUEEN)), (1 << 29) + PawnTable[WHITE][A8] - PawnTable[WHITE][A7]);
    EXPECT_EQ(ScoreOf(MakeMoveCode(A7, A8, PAWN, 0, KNIGHT)), PawnTable[WHITE][A8] - PawnTable[WHITE][A7]);

    // Piece-square gains by the side to move's tables; the king has none.
    EXPECT_EQ(ScoreOf(MakeMoveCode(G1, F3, KNIGHT)), 2 - -15);
    EXPECT_EQ(ScoreOf(MakeMoveCode(G8, F6, KNIGHT), BLACK), 2 - -15);
    EXPECT_EQ(ScoreOf(MakeMoveCode(A1, D1, ROOK)), 6);
    EXPECT_EQ(ScoreOf(MakeMoveCode(C1, F4, BISHOP), BLACK), BishopTable[BLACK][F4] - BishopTable[BLACK][C1]);
    EXPECT_EQ(ScoreOf(MakeMoveCode(E1, E2, KING)), 0);

    // History: its low 14 bits.
    HistoryTable[E1][E2] = 16384 + 5;
    EXPECT_EQ(ScoreOf(MakeMoveCode(E1, E2, KING)), 5 << 7);
}

TEST_F(Ordering, KillersMatchQuietMovesBySquares) {
    const Move quiet = MakeMoveCode(B1, C3, KNIGHT);
    const int gain = KnightTable[WHITE][C3] - KnightTable[WHITE][B1];
    Killer1[3] = MakeMoveCode(B1, C3, BISHOP);  // the piece is not compared
    Killer2[3] = quiet;
    EXPECT_EQ(ScoreOf(quiet), (1 << 22) + gain);
    Killer1[3] = MakeMoveCode(G1, F3, KNIGHT);
    EXPECT_EQ(ScoreOf(quiet), (1 << 21) + gain);
    EXPECT_EQ(ScoreOf(quiet, WHITE, 4), gain);
    // Captures never carry the killer bits.
    Killer1[3] = MakeMoveCode(E4, D5, PAWN, KNIGHT);
    EXPECT_EQ(ScoreOf(MakeMoveCode(E4, D5, PAWN, KNIGHT)), (11 << 23) + PawnTable[WHITE][D5] - PawnTable[WHITE][E4]);
    // Plies beyond the killer tables simply have no killers.
    for (int ply : {-1, MAX_PLY, MAX_PLY + 20}) EXPECT_EQ(ScoreOf(quiet, WHITE, ply), gain);
}

TEST_F(Ordering, HashMoveComesFromTheTableWhenTheKeyIsSet) {
    const Move m = MakeMoveCode(D2, D4, PAWN);
    const int gain = PawnTable[WHITE][D4] - PawnTable[WHITE][D2];
    const u64 key = 0x123456789ABCDEF0ULL;
    StoreHash(5 * ONE_PLY, 10, HASH_EXACT, KeyLo(key), KeyHi(key), m);
    EXPECT_EQ(ScoreOf(m, WHITE, 3, 0, key), (1 << 30) + gain);
    EXPECT_EQ(root.HashMove, m);
    // A zero key keeps the cell and still compares it.
    EXPECT_EQ(ScoreOf(m), (1 << 30) + gain);
    // An unknown key clears it.
    EXPECT_EQ(ScoreOf(m, WHITE, 3, 0, key + 1), gain);
    EXPECT_EQ(root.HashMove, 0);
    root.HashMove = m;
    UseHashTable = 0;
    EXPECT_EQ(ScoreOf(m), gain);
}

TEST_F(Ordering, UpdateHistoryRecordsQuietCutoffs) {
    const Move a = MakeMoveCode(G1, F3, KNIGHT);
    const Move b = MakeMoveCode(B1, C3, KNIGHT);
    UpdateHistory(&root, MakeMoveCode(E4, D5, PAWN, KNIGHT), 10 * ONE_PLY, 2);
    EXPECT_EQ(Killer1[2], -1);
    EXPECT_EQ(HistoryTable[E4][D5], 0);

    UpdateHistory(&root, a, 3 * ONE_PLY + 59, 2);
    EXPECT_EQ(Killer1[2], a);
    EXPECT_EQ(Killer2[2], -1);
    EXPECT_EQ(HistoryTable[G1][F3], 9);
    UpdateHistory(&root, a, ONE_PLY - 1, 2);  // the same move again: killers stay, depth below a ply adds 0
    EXPECT_EQ(Killer2[2], -1);
    EXPECT_EQ(HistoryTable[G1][F3], 9);
    UpdateHistory(&root, b, 2 * ONE_PLY, 2);
    EXPECT_EQ(Killer1[2], b);
    EXPECT_EQ(Killer2[2], a);

    // A quiet promotion counts.
    const Move promotion = MakeMoveCode(A7, A8, PAWN, 0, QUEEN);
    UpdateHistory(&root, promotion, ONE_PLY, 5);
    EXPECT_EQ(Killer1[5], promotion);

    // Passing 16000 divides the whole table by 100.
    HistoryTable[G1][F3] = 16000;
    HistoryTable[H7][H8] = 999;
    UpdateHistory(&root, a, ONE_PLY, 2);
    EXPECT_EQ(HistoryTable[G1][F3], 160);
    EXPECT_EQ(HistoryTable[H7][H8], 9);
    EXPECT_EQ(HistoryTable[B1][C3], 0);

    // Plies outside the killer tables leave them alone but still count.
    for (int ply : {-1, MAX_PLY, 1000}) UpdateHistory(&root, b, 2 * ONE_PLY, ply);
    EXPECT_EQ(HistoryTable[B1][C3], 12);
    for (int ply = 0; ply < MAX_PLY; ++ply)
        if (ply != 2 && ply != 5) {
            EXPECT_EQ(Killer1[ply], -1) << ply;
        }
}

class Notation : public EngineTest {
protected:
    EngineBoard board{};

    void Load(const std::string& fen) {
        SetupTestPosition(&board, fen);
        GenerateMoves(&board);
    }
    // Text of the listed move with these squares (and promotion).
    std::string San(int from, int to, int promotion = 0) {
        for (int i = 0; i <= board.List.Last; ++i) {
            const Move m = board.List.Moves[i];
            if (MoveFrom(m) == from && MoveTo(m) == to && MovePromotion(m) == promotion)
                return MoveToSan(m, &board.List);
        }
        return "(not generated)";
    }
};

TEST_F(Notation, MoveTexts) {
    struct Case {
        const char* fen;
        int from, to, promotion;
        const char* san;
    } cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", E1, G1, 0, "O-O"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", E1, C1, 0, "O-O-O"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", E8, G8, 0, "O-O"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", E8, C8, 0, "O-O-O"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", E1, F1, 0, "Kf1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", H1, H8, 0, "Rxh8"},  // check marks are the caller's
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", E5, D6, 0, "exd6"},
        {"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", E4, D5, 0, "exd5"},
        {"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", E4, E5, 0, "e5"},
        {"3r3k/4P3/8/8/8/8/8/4K3 w - - 0 1", E7, E8, QUEEN, "e8=Q"},
        {"3r3k/4P3/8/8/8/8/8/4K3 w - - 0 1", E7, D8, KNIGHT, "exd8=N"},
        {"4k3/8/8/8/8/8/1p6/R3K3 b - - 0 1", B2, A1, ROOK, "bxa1=R"},
        {"4k3/8/8/8/8/8/1p6/R3K3 b - - 0 1", B2, B1, BISHOP, "b1=B"},
        // Disambiguation by file, by rank, by square.
        {"4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1", B1, D2, 0, "Nbd2"},
        {"4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1", F3, D2, 0, "Nfd2"},
        {"4k3/8/8/R7/8/8/8/R3K3 w - - 0 1", A1, A3, 0, "R1a3"},
        {"4k3/8/8/R7/8/8/8/R3K3 w - - 0 1", A5, A3, 0, "R5a3"},
        {"4k3/8/8/8/8/1N6/8/1N2KN2 w - - 0 1", B1, D2, 0, "Nb1d2"},
        {"4k3/8/8/8/8/1N6/8/1N2KN2 w - - 0 1", F1, D2, 0, "Nfd2"},
        {"4k3/8/8/8/8/1N6/8/1N2KN2 w - - 0 1", B3, D2, 0, "N3d2"},
        {"4k3/8/8/8/8/1N6/8/1N2KN2 w - - 0 1", B3, C1, 0, "Nc1"},
        {"4k3/8/8/8/8/1N6/8/1N2KN2 w - - 0 1", B3, A5, 0, "Na5"},
        {"3rk3/8/8/8/2q5/8/8/Q1Q1K3 w - - 0 1", A1, B2, 0, "Qab2"},
        // A pinned knight still counts.
        {"4k3/4r3/8/8/8/5N2/4N3/4K3 w - - 0 1", F3, D4, 0, "Nfd4"},
    };
    for (const auto& c : cases) {
        Load(c.fen);
        EXPECT_EQ(San(c.from, c.to, c.promotion), c.san) << c.fen;
    }
    Load("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(MoveToSan(MakeMoveCode(E2, E4, PAWN), &board.List), "!");
    // Another capture code is another move.
    EXPECT_EQ(MoveToSan(MakeMoveCode(E1, E2, KING, PAWN), &board.List), "!");
}

struct TreeResult {
    long long leaves = 0;
    long long positions = 0;
};

// Walks the legal move tree; at every inner position all legal moves must
// have different texts, none of them "!".
void WalkTree(EngineBoard& b, int depth, TreeResult& result, std::string& failure) {
    if (depth == 0) {
        ++result.leaves;
        return;
    }
    ++result.positions;
    GenerateMoves(&b);
    const MoveList list = b.List;
    std::map<std::string, Move> texts;
    for (int i = 0; i <= list.Last; ++i) {
        EngineBoard child = b;
        if (!MakeMoveKeepsKingSafe(&child, list.Moves[i], &child.Pos)) continue;
        const std::string san = MoveToSan(list.Moves[i], &list);
        const auto [it, fresh] = texts.emplace(san, list.Moves[i]);
        if ((!fresh || san == "!") && failure.empty()) failure = san;
        WalkTree(child, depth - 1, result, failure);
    }
}

TEST_F(Notation, LegalMovesNeverShareATextInPerftTrees) {
    struct Case {
        const char* fen;
        int depth;
        long long leaves;
    } cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 4, 197281},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 3, 97862},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 4, 43238},
        {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3, 9467},
        {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3, 62379},
        // Many promoted pieces that can reach the same squares.
        {"k7/8/8/2Q1Q3/8/2Q1Q3/8/K7 w - - 0 1", 2, -1},
        {"k7/8/8/1N3N2/8/1N3N2/8/K7 w - - 0 1", 2, -1},
    };
    for (const auto& c : cases) {
        EngineBoard b{};
        SetupTestPosition(&b, c.fen);
        TreeResult result;
        std::string failure;
        WalkTree(b, c.depth, result, failure);
        if (c.leaves >= 0) {
            EXPECT_EQ(result.leaves, c.leaves) << c.fen;
        }
        EXPECT_TRUE(failure.empty()) << c.fen << ": duplicate text " << failure;
    }
}

}  // namespace
