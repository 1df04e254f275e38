#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bitboard.h"
#include "engine_fixture.h"
#include "fen.h"
#include "globals.h"
#include "hash.h"
#include "makemove.h"
#include "movegen.h"

namespace {

const char* const START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// A board holding the start position's values, as the game's reset leaves it.
struct Fresh {
    EngineBoard board{};
    Fresh() { SetupStartPosition(&board); }
    Position& pos() { return board.Pos; }
};

int Read(Position* pos, const std::string& text) { return ReadFen(pos, text); }

bool SameBoards(const Position& a, const Position& b) {
    return std::memcmp(a.Pieces, b.Pieces, sizeof a.Pieces) == 0;
}

void ExpectSameGamePosition(const Position& read, const Position& game, const std::string& fen) {
    EXPECT_TRUE(SameBoards(read, game)) << fen;
    EXPECT_EQ(read.SideToMove, game.SideToMove) << fen;
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(read.CastleShort[c], game.CastleShort[c]) << fen;
        EXPECT_EQ(read.CastleLong[c], game.CastleLong[c]) << fen;
        EXPECT_EQ(read.KingSquare[c], game.KingSquare[c]) << fen;
        EXPECT_EQ(read.PieceMaterial[c], game.PieceMaterial[c]) << fen;
        EXPECT_EQ(read.PawnMaterial[c], game.PawnMaterial[c]) << fen;
        EXPECT_EQ(read.MajorCount[c], game.MajorCount[c]) << fen;
        EXPECT_EQ(read.MinorCount[c], game.MinorCount[c]) << fen;
    }
    EXPECT_EQ(read.EpSquare, game.EpSquare) << fen;
    EXPECT_EQ(read.FiftyMoveCounter, game.FiftyMoveCounter) << fen;
    EXPECT_EQ(read.Key, game.Key) << fen;
    EXPECT_EQ(read.PawnKey, game.PawnKey) << fen;
}

using FenWriting = EngineTest;
using FenReading = EngineTest;
using FenRefusals = EngineTest;
using FenRoundTrip = EngineTest;

TEST_F(FenWriting, StartPositionAndMoveNumbers) {
    Fresh f;
    EXPECT_EQ(WriteFen(f.pos(), 0), START_FEN);
    // The move number counts plies of the record only: 3 plies give 2, and
    // a game that began with black to move is at move 1 after one ply.
    EXPECT_EQ(WriteFen(f.pos(), 3).substr(std::strlen(START_FEN) - 1), "2");
    EXPECT_EQ(WriteFen(f.pos(), 1).substr(std::strlen(START_FEN) - 1), "1");
    EXPECT_EQ(WriteFen(f.pos(), 399).substr(std::strlen(START_FEN) - 1), "200");
}

TEST_F(FenWriting, CastlingHalvesReadBack) {
    struct Case {
        int rights[4];  // white short, white long, black short, black long
        const char* field;
    };
    const Case cases[] = {
        {{1, 1, 1, 1}, "KQkq"}, {{1, 1, 0, 0}, "KQ-"}, {{0, 0, 1, 1}, "-kq"},
        {{1, 0, 0, 1}, "Kq"},   {{0, 0, 0, 0}, "--"},  {{0, 1, 1, 0}, "Qk"},
    };
    for (const Case& c : cases) {
        Fresh f;
        f.pos().CastleShort[WHITE] = static_cast<u8>(c.rights[0]);
        f.pos().CastleLong[WHITE] = static_cast<u8>(c.rights[1]);
        f.pos().CastleShort[BLACK] = static_cast<u8>(c.rights[2]);
        f.pos().CastleLong[BLACK] = static_cast<u8>(c.rights[3]);
        const std::string fen = WriteFen(f.pos(), 0);
        EXPECT_EQ(fen, std::string("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w ") + c.field + " - 0 1");
        Fresh back;
        ASSERT_EQ(Read(&back.pos(), fen), FEN_SET_UP) << fen;
        EXPECT_EQ(back.pos().CastleShort[WHITE], c.rights[0]) << fen;
        EXPECT_EQ(back.pos().CastleLong[WHITE], c.rights[1]) << fen;
        EXPECT_EQ(back.pos().CastleShort[BLACK], c.rights[2]) << fen;
        EXPECT_EQ(back.pos().CastleLong[BLACK], c.rights[3]) << fen;
        EXPECT_EQ(back.pos().Key, ComputeHashKey(&back.pos())) << fen;
    }
}

TEST_F(FenWriting, EnPassantSquareAndClock) {
    Fresh f;
    ASSERT_EQ(Read(&f.pos(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"), FEN_SET_UP);
    f.pos().FiftyMoveCounter = 37;
    EXPECT_EQ(WriteFen(f.pos(), 6), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 37 4");
}

struct ReadCase {
    const char* text;
    int result;
    int side;
    int clock;
    int ep;
    const char* castling;  // as written
    int whiteKing;
    int blackKing;
};

TEST_F(FenReading, LenientFields) {
    const ReadCase cases[] = {
        {START_FEN, FEN_SET_UP, WHITE, 0, -1, "KQkq", E1, E8},
        {"4k3/8/8/8/8/8/8/4K3 b - - 12 40", FEN_SET_UP, BLACK, 12, -1, "--", E1, E8},
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", FEN_SET_UP, BLACK, 0, E3, "KQkq", E1, E8},
        {"4k3/8/8/8/8/8/8/4K3 w - - 10 1", FEN_SET_UP, WHITE, 10, -1, "--", E1, E8},
        {"4k3/8/8/8/8/8/8/4K3 B - - 3 1", FEN_SET_UP, BLACK, 3, -1, "--", E1, E8},
        // Any other side letter is white; the other fields are still read.
        {"r3k3/8/8/8/8/8/8/4K2R x Kq - 7 1", FEN_SET_UP, WHITE, 7, -1, "Kq", E1, E8},
        // Nothing after the placement: white, no rights, clock 0.
        {"4k3/8/8/8/8/8/8/R3K2R", FEN_SET_UP, WHITE, 0, -1, "--", E1, E8},
        // A "/" after the last rank is passed over.
        {"4k3/8/8/8/8/8/8/R3K2R/ w Q - 4 9", FEN_SET_UP, WHITE, 4, -1, "Q-", E1, E8},
        // Blanks and other foreign characters inside the placement are dropped.
        {"rnbqkbnr / pppppppp / 8 / 8 / 8 / 8 / PPPPPPPP / RNBQKBNR w KQkq - 0 1", FEN_SET_UP, WHITE, 0, -1, "KQkq",
         E1, E8},
        {"4k3/8/8/8xyz/89/8/8/4K3 w - - 0 1", FEN_SET_UP, WHITE, 0, -1, "--", E1, E8},
        // Nine squares on the last rank: the count passes 64, the rest is unread.
        {"4k3/8/8/8/8/8/8/4K4 b KQkq - 5 1", FEN_SET_UP, WHITE, 0, -1, "--", E1, E8},
        // A clock above 100 reads as 100; one too long for an int reads as 0.
        {"4k3/8/8/8/8/8/8/4K3 w - - 150 1", FEN_SET_UP, WHITE, 100, -1, "--", E1, E8},
        {"4k3/8/8/8/8/8/8/4K3 w - - 99999999999 1", FEN_SET_UP, WHITE, 0, -1, "--", E1, E8},
        {"4k3/8/8/8/8/8/8/4K3 w - - 0000000000000000042 1", FEN_SET_UP, WHITE, 42, -1, "--", E1, E8},
        // Rights whose king or rook is not at home are dropped.
        {"r3k2r/8/8/8/8/8/8/R4K1R w KQkq - 0 1", FEN_SET_UP, WHITE, 0, -1, "-kq", F1, E8},
        {"1r2k2r/8/8/8/8/8/8/R3K1R1 w KQkq - 0 1", FEN_SET_UP, WHITE, 0, -1, "Qk", E1, E8},
        // The en-passant square only behind a pawn that can just have stepped twice.
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e3 0 1", FEN_SET_UP, WHITE, 0, -1, "KQkq", E1, E8},
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq d3 0 1", FEN_SET_UP, BLACK, 0, -1, "KQkq", E1, E8},
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPPPPPP/RNBQKBNR b KQkq e3 0 1", FEN_SET_UP, BLACK, 0, -1, "KQkq", E1, E8},
        {"rnbqkbnr/pppppppp/8/8/4P3/4N3/PPPP1PPP/RNBQKB1R b KQkq e3 0 1", FEN_SET_UP, BLACK, 0, -1, "KQkq", E1,
         E8},
        {"rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3", FEN_SET_UP, WHITE, 0, D6, "KQkq", E1, E8},
        {"4k3/8/8/8/8/8/8/4K3 w - h9 0 1", FEN_SET_UP, WHITE, 0, -1, "--", E1, E8},
        // Not one king of each colour.
        {"8/8/8/8/8/8/8/8 w - - 0 1", FEN_KINGS_WRONG, WHITE, 0, -1, "--", -1, -1},
        {"", FEN_KINGS_WRONG, WHITE, 0, -1, "--", -1, -1},
        {"4k3/8/8/8/8/8/8/4KK2 w - - 0 1", FEN_KINGS_WRONG, WHITE, 0, -1, "--", -1, E8},
    };
    for (const ReadCase& c : cases) {
        Fresh f;
        Position& p = f.pos();
        EXPECT_EQ(Read(&p, c.text), c.result) << c.text;
        EXPECT_EQ(p.SideToMove, c.side) << c.text;
        EXPECT_EQ(p.FiftyMoveCounter, c.clock) << c.text;
        EXPECT_EQ(p.EpSquare, c.ep) << c.text;
        const std::string written = WriteFen(p, 0);
        const std::size_t side = written.find(' ');
        EXPECT_EQ(written.substr(side + 3, written.find(' ', side + 3) - side - 3), c.castling) << c.text;
        if (c.result == FEN_SET_UP) {
            EXPECT_EQ(p.KingSquare[WHITE], c.whiteKing) << c.text;
            EXPECT_EQ(p.KingSquare[BLACK], c.blackKing) << c.text;
        }
        EXPECT_EQ(p.Key, ComputeHashKey(&p)) << c.text;
        EXPECT_EQ(p.PawnKey, ComputePawnHashKey(&p)) << c.text;
    }
}

TEST_F(FenReading, PlacementAndKeyHistory) {
    Fresh f;
    Position& p = f.pos();
        ASSERT_EQ(Read(&p, "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4"), FEN_SET_UP);
    EXPECT_EQ(p.Pieces[WHITE][QUEEN], SetMask[H5]);
    EXPECT_EQ(p.Pieces[BLACK][KNIGHT], SetMask[C6] | SetMask[F6]);
    EXPECT_EQ(p.Pieces[WHITE][BISHOP], SetMask[C1] | SetMask[C4]);
    EXPECT_EQ(PopCount(p.Pieces[BLACK][PAWN]), 8);
    EXPECT_EQ(p.PieceMaterial[BLACK] - p.PieceMaterial[WHITE], 0);
    EXPECT_EQ(p.MinorCount[WHITE], 4);
    EXPECT_EQ(p.MajorCount[WHITE], 4);
    // The plies before the set-up hold values no key matches; the key sits at 0.
    EXPECT_EQ(p.KeyHistory[0], p.Key);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(p.KeyHistory[i], static_cast<u64>(i));
    EXPECT_EQ(CheckDraw(&p, 1), 0);

    // Fields the reader does not own keep the start position's values.
    Fresh g;
    g.pos().HasCastled[WHITE] = 1;
    g.pos().QueenMoves[BLACK] = 5;
    Read(&g.pos(), START_FEN);
    EXPECT_EQ(g.pos().HasCastled[WHITE], 1);
    EXPECT_EQ(g.pos().QueenMoves[BLACK], 5);

    // A clock of 100: the history is filled to its end and no further.
    Fresh h;
    ASSERT_EQ(Read(&h.pos(), "4k3/8/8/8/8/8/8/4K1N1 w - - 100 70"), FEN_SET_UP);
    EXPECT_EQ(h.pos().KeyHistory[KEY_HISTORY_SIZE - 1], static_cast<u64>(KEY_HISTORY_SIZE - 1));
    EXPECT_EQ(CheckDraw(&h.pos(), 1), 4);
    EXPECT_EQ(MakeMove(&h.board, MakeMoveCode(G1, F3, KNIGHT), &h.pos()), MAKE_FIFTY_MOVES);
}

TEST_F(FenRefusals, ImpossiblePositions) {
    const char* cases[] = {
        // A "/" inside a rank.
        "rnbqkbn/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        // More than eight squares on a rank.
        "rnbqkbnrr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "8k/8/8/8/8/8/8/4K3 w - - 0 1",
        "88/8/8/8/8/8/4k3/4K3 w - - 0 1",
        // Not stripped: the "N" of FEN is a knight on a8, and the rank overflows.
        "FEN: 4k3/8/8/8/8/8/8/4K3 w - - 0 1",
        // Pawns on the first or last rank.
        "P3k3/8/8/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/8/8/8/8/8/p3K3 b - - 0 1",
        "4k2p/8/8/8/8/8/8/4K3 w - - 0 1",
        // The side not to move is in check.
        "4k3/4Q3/8/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/8/8/8/8/3p4/4K3 b - - 0 1",
    };
    for (const char* text : cases) {
        Fresh f;
        EXPECT_EQ(Read(&f.pos(), text), FEN_REFUSED) << text;
    }
    // The side to move may be in check.
    Fresh f;
    EXPECT_EQ(Read(&f.pos(), "4k3/4Q3/8/8/8/8/8/4K3 b - - 0 1"), FEN_SET_UP);
}

// Texts made of the placement alphabet and the field characters: the reader
// never writes outside the board (the sanitizer build watches), and every
// position it sets up is one the engine can play from.
TEST_F(FenRefusals, RandomTextsStayOnTheBoard) {
    std::mt19937 rng(11);
    const std::string alphabet = "NBRQKnbrqkPp12345678/ /wbKQkq-e30";
    int setUp = 0;
    for (int n = 0; n < 20000; ++n) {
        std::string text;
        const int length = static_cast<int>(rng() % 90);
        for (int i = 0; i < length; ++i) text += alphabet[rng() % alphabet.size()];
        Fresh f;
        Position& p = f.pos();
        const int r = Read(&p, text);
        ASSERT_TRUE(r == FEN_SET_UP || r == FEN_KINGS_WRONG || r == FEN_REFUSED) << text;
        if (r != FEN_SET_UP) continue;
        ++setUp;
        ASSERT_EQ((p.Pieces[WHITE][PAWN] | p.Pieces[BLACK][PAWN]) & 0xFF000000000000FFULL, 0u) << text;
        ASSERT_FALSE(InCheck(&f.board, &p, 0)) << text;
        ASSERT_LE(p.FiftyMoveCounter, 100) << text;
        LegalMovesOf(f.board);
        const std::string fen = WriteFen(p, 0);
        Fresh back;
        ASSERT_EQ(Read(&back.pos(), fen), FEN_SET_UP) << text << " -> " << fen;
        ExpectSameGamePosition(back.pos(), p, fen);
    }
    EXPECT_GT(setUp, 0);
}

TEST_F(FenRoundTrip, PositionsOfRandomGames) {
#if defined(__SANITIZE_ADDRESS__)
    constexpr int GAMES = 40;
#else
    constexpr int GAMES = 200;
#endif
    std::mt19937 rng(2024);
    int positions = 0;
    for (int game = 0; game < GAMES; ++game) {
        Fresh f;
        for (int ply = 0; ply < 160; ++ply) {
            const std::string fen = WriteFen(f.pos(), ply);
            Fresh back;
            ASSERT_EQ(Read(&back.pos(), fen), FEN_SET_UP) << fen;
            ExpectSameGamePosition(back.pos(), f.pos(), fen);
            EXPECT_EQ(WriteFen(back.pos(), ply), fen);
            ++positions;
            const std::vector<Move> moves = LegalMovesOf(f.board);
            if (moves.empty()) break;
            const int r = MakeMove(&f.board, moves[rng() % moves.size()], &f.pos());
            if (r == MAKE_THREEFOLD || r == MAKE_FIFTY_MOVES) break;
        }
    }
    EXPECT_GT(positions, GAMES * 40);
}

TEST_F(FenRoundTrip, WellKnownPositionsReadAndWriteBack) {
    // Written in this program's castling form.
    const char* cases[] = {
        START_FEN,
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w -- - 0 1",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w -kq - 0 1",
        "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ- - 1 1",
        "R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w -- - 0 1",
    };
    for (const char* text : cases) {
        Fresh f;
        EXPECT_EQ(Read(&f.pos(), text), FEN_SET_UP) << text;
        EXPECT_EQ(WriteFen(f.pos(), 0), text);
    }
}

}  // namespace
