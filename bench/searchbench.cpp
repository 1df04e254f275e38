// Searches a fixed set of positions to a fixed depth through the engine's
// move driver, each from a reset engine, and reports nodes, seconds and
// nodes per second per position and in total.
// usage: searchbench [DEPTH]   (default 8)
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "globals.h"
#include "host.h"
#include "ordering.h"
#include "rootsearch.h"
#include "test_position.h"

int main(int argc, char** argv) {
    const int depth = argc > 1 ? std::atoi(argv[1]) : 8;
    if (depth < 1 || depth > MAX_PLY) {
        std::fprintf(stderr, "depth must be 1..%d\n", MAX_PLY);
        return 2;
    }
    i64 totalNodes = 0;
    double totalSeconds = 0;
    std::printf("depth %d\n%-20s %12s %9s %12s  %s\n", depth, "position", "nodes", "seconds", "nodes/s", "move");
    for (const BenchPosition& p : BenchPositions) {
        ResetEngineState();
        SetupTestPosition(&GameBoard, p.fen);
        const auto start = std::chrono::steady_clock::now();
        DeepenRootSearch(depth, Host().TickMs());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        totalNodes += NodeCount;
        totalSeconds += seconds;
        std::printf("%-20s %12lld %9.3f %12.0f  %s\n", p.name, static_cast<long long>(NodeCount), seconds,
                    seconds > 0 ? NodeCount / seconds : 0.0, MoveToSan(GameBoard.List.Moves[0], &GameBoard.List).c_str());
    }
    std::printf("%-20s %12lld %9.3f %12.0f\n", "total", static_cast<long long>(totalNodes), totalSeconds,
                totalSeconds > 0 ? totalNodes / totalSeconds : 0.0);
    return 0;
}
