#include "test_position.h"

#include <limits>

#include "bitboard.h"
#include "fen.h"
#include "globals.h"
#include "makemove.h"
#include "movedriver.h"
#include "movegen.h"

void SetupTestPosition(EngineBoard* board, const std::string& fen) {
    *board = EngineBoard{};
    const double learn = LearnResult;  // the start position resets it
    SetupStartPosition(board);
    LearnResult = learn;
    ReadFen(&board->Pos, fen);
}

Bitboard Squares(std::initializer_list<int> squares) {
    Bitboard b = 0;
    for (int s : squares) b |= Bit(s);
    return b;
}

std::vector<Move> LegalListedMoves(const EngineBoard& board) {
    std::vector<Move> legal;
    EngineBoard child;
    for (int i = 0; i <= board.List.Last; ++i) {
        child.Pos = board.Pos;
        if (MakeMoveKeepsKingSafe(&child, board.List.Moves[i], &child.Pos)) legal.push_back(board.List.Moves[i]);
    }
    return legal;
}

std::vector<Move> LegalMovesOf(const EngineBoard& board) {
    EngineBoard work = board;
    const int n = InCheck(&work, &work.Pos, 1) ? GenerateEvasions(&work) : GenerateMoves(&work);
    if (n < 1) return {};
    return LegalListedMoves(work);
}

u64 Perft(EngineBoard* boards, int depth) {
    EngineBoard& board = boards[0];
    EngineBoard& child = boards[1];
    if (GenerateMoves(&board) < 0) return 0;
    u64 leaves = 0;
    for (int i = 0; i <= board.List.Last; ++i) {
        CopyPosition(&child.Pos, &board.Pos);
        if (!MakeMoveKeepsKingSafe(&child, board.List.Moves[i], &child.Pos)) continue;
        leaves += depth == 1 ? 1 : Perft(boards + 1, depth - 1);
    }
    return leaves;
}

int DeepenRootSearch(int depth, i64 startTick) {
    Deepening d = BeginEngineMove(startTick, 1, 1e15, std::numeric_limits<double>::infinity());
    d.lastDepth = depth;
    while (DeepenOnce(&d)) {
    }
    EndEngineMove();
    return d.code;
}

const BenchPosition BenchPositions[22] = {
    {"start", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0"},
    {"open game", "r1bqkbnr/pppp1ppp/2n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3"},
    {"sicilian", "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq - 1"},
    {"queen's gambit", "rnbqkb1r/ppp2ppp/4pn2/3p4/2PP4/2N5/PP2PPPP/R1BQKBNR w KQkq - 2"},
    {"italian", "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4"},
    {"castles both sides", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0"},
    {"symmetric", "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0"},
    {"promotion threat", "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1"},
    {"sharp", "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0"},
    {"closed centre", "r2q1rk1/ppp2ppp/2n1bn2/2b1p3/3pP3/3P1NPP/PPP1NPB1/R1BQ1RK1 b - - 0"},
    {"middle game", "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - - 0"},
    {"heavy pieces", "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - - 7"},
    {"knight and rooks", "3r1k2/4npp1/1ppr3p/p6P/P2PPPP1/1NR5/5K2/2R5 w - - 0"},
    {"queens off", "r4rk1/pp3ppp/2n1b3/2bp4/8/2N1BN2/PP3PPP/R4RK1 w - - 0"},
    {"rook ending", "2r3k1/pp3ppp/4p3/3pP3/3P4/P4N2/1P3PPP/2R3K1 w - - 0"},
    {"back rank", "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0"},
    {"rook and pawns", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0"},
    {"pawn ending", "8/5pk1/6p1/8/8/6P1/5PK1/8 w - - 0"},
    {"king and pawn", "8/8/8/4k3/8/8/4KP2/8 w - - 0"},
    {"bishop ending", "8/8/4k3/3p4/2p5/8/B2K4/8 w - - 0"},
    {"queen against king", "8/8/6k1/8/3Q4/8/8/4K3 w - - 0"},
    {"minor pieces", "8/5k2/4n3/3p4/3P1B2/4K3/8/8 b - - 0"},
};
