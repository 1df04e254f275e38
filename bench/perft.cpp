// Counts the leaf nodes of the legal move tree: perft "FEN" DEPTH.
// Each move is made on a copy of the position and rejected when it leaves
// the mover's king attacked, as the search does.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bitboard.h"
#include "fen.h"
#include "globals.h"
#include "test_position.h"

namespace {

EngineBoard Boards[64];

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: perft \"FEN\" DEPTH\n");
        return 2;
    }
    const int depth = std::atoi(argv[2]);
    if (depth < 1 || depth > 60) {
        std::fprintf(stderr, "depth must be 1..60\n");
        return 2;
    }
    ResetEngineState();
    SetupStartPosition(&Boards[0]);
    if (ReadFen(&Boards[0].Pos, argv[1]) != FEN_SET_UP) {
        std::fprintf(stderr, "not a position: %s\n", argv[1]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const u64 leaves = Perft(Boards, depth);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("leaves %llu\nseconds %.3f\nleaves per second %.0f\n", static_cast<unsigned long long>(leaves),
                seconds, seconds > 0 ? leaves / seconds : 0.0);
    return 0;
}
