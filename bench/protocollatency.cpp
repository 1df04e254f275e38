// How soon the program answers a chess interface: the real program started
// as an engine on pipes, the time from a "ping" to its "pong", and, on a
// one-minute clock with 10 ms left, from "go" to the move in five
// middle-game positions. Medians, with the quartiles and the slowest.
// usage: protocollatency [PROGRAM] [ROUNDS]   (default: the build's program, 30)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "piped_program.h"

namespace {

using Clock = std::chrono::steady_clock;

// Middle-game positions, the side to move the engine's.
const char* const Positions[][2] = {
    {"castles both sides", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"},
    {"symmetric", "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 1"},
    {"closed centre", "r2q1rk1/ppp2ppp/2n1bn2/2b1p3/3pP3/3P1NPP/PPP1NPB1/R1BQ1RK1 b - - 0 1"},
    {"middle game", "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - - 0 1"},
    {"heavy pieces", "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - - 7 1"},
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Quantile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    const std::size_t i = static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5);
    return v[i];
}

void Report(const char* what, const std::vector<double>& ms) {
    std::printf("%-22s %4zu  median %7.3f  quartiles %7.3f %7.3f  slowest %7.3f ms\n", what, ms.size(),
                Quantile(ms, 0.5), Quantile(ms, 0.25), Quantile(ms, 0.75), Quantile(ms, 1.0));
}

bool Fail(const char* what) {
    std::fprintf(stderr, "protocollatency: %s\n", what);
    return false;
}

// The time from sending the line to the first answer that is wanted.
bool Answer(PipedProgram& p, const std::string& line, const std::function<bool(const std::string&)>& wanted,
            double* ms) {
    const auto start = Clock::now();
    p.Send(line);
    if (!p.LineWhere(wanted, HangMs)) return Fail(("no answer to " + line).c_str());
    *ms = Ms(Clock::now() - start);
    return true;
}

bool Run(const std::string& program, int rounds) {
    PipedProgram p;
    if (!p.Start(program, MORLAQUIN_DATA_DIR "/images")) return Fail("the program does not start");
    p.Send("xboard");
    p.Send("protover 2");
    if (!p.LinesUntil("feature done=1")) return Fail("no feature done=1");
    p.Send("easy");
    p.Send("nopost");
    if (!p.Sync()) return Fail("no pong");

    // Pings on an idle engine, the first few not counted.
    std::vector<double> pings;
    for (int i = 0; i < 10 + 10 * rounds; ++i) {
        const std::string pong = "pong p" + std::to_string(i);
        double ms = 0;
        if (!Answer(p, "ping p" + std::to_string(i), [&](const std::string& l) { return l == pong; }, &ms))
            return false;
        if (i >= 10) pings.push_back(ms);
    }
    Report("ping", pings);

    // The engine's move with 10 ms of a one-minute game left.
    std::vector<double> all;
    for (const auto& [name, fen] : Positions) {
        std::vector<double> moves;
        for (int i = 0; i < rounds; ++i) {
            if (!p.SyncAfter({"new", "force", "level 0 1 0", std::string("setboard ") + fen, "time 1", "otim 6000"}))
                return Fail("no pong");
            double ms = 0;
            if (!Answer(p, "go", [](const std::string& l) { return l.starts_with("move ") || l.find('{') != l.npos; },
                        &ms))
                return false;
            moves.push_back(ms);
        }
        Report((std::string("move, 10 ms: ") + name).substr(0, 22).c_str(), moves);
        all.insert(all.end(), moves.begin(), moves.end());
    }
    Report("move, 10 ms left", all);
    p.Send("quit");
    return p.WaitExit(HangMs).has_value() || Fail("no exit after quit");
}

}  // namespace

int main(int argc, char** argv) {
    // The program runs in a folder of its own: a relative path is made whole first.
    const std::string program =
        argc > 1 ? QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath().toStdString() : MORLAQUIN_PROGRAM;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 30;
    if (rounds < 1) {
        std::fprintf(stderr, "rounds must be 1 or more\n");
        return 2;
    }
    return Run(program, rounds) ? 0 : 1;
}
