// The real program as an engine: started with pipes and no display, talked
// to line by line, every line it writes checked against the protocol's
// catalogue.
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bitboard.h"
#include "globals.h"
#include "gui_fixture.h"
#include "makemove.h"
#include "piped_program.h"
#include "rootsearch.h"
#include "test_position.h"

namespace {

const std::vector<std::string> OpeningFeatures = {
    "feature done=0",
    "feature myname=\"Morlaquin 4.00\"",
    "feature ping=1 setboard=1 reuse=1 time=1 usermove=1",
    "feature sigint=0 sigterm=0 analyze=0 colors=0  draw=0",
    "feature ics=0 name=0 pause=0 playother=0 san=0",
};

// Every line the program may write.
bool IsProtocolLine(const std::string& line) {
    static const std::vector<std::string> exact = [] {
        std::vector<std::string> v = OpeningFeatures;
        v.insert(v.end(), {"feature done=1", "Illegal move!", "0-1 {Black mates}", "1-0 {White mates}",
                           "1/2-1/2 {Stalemate}", "1/2-1/2 {Draw by repetition}", "1/2-1/2 {Draw by 50 move}",
                           "1/2-1/2 {Draw because of insufficient material}", "0-1 {Morlaquin resigns}",
                           "1-0 {Morlaquin resigns}",
                           "tellusererror The game record is full: no more moves can be played",
                           "tellusererror Illegal position"});
        return v;
    }();
    for (const auto& e : exact)
        if (line == e) return true;
    static const QRegularExpression patterns(
        "^(Illegal move: .*"
        "|error : .*"
        "|pong .*"
        "|move [a-h][1-8][a-h][1-8][nbrq]?"
        "|Illegal move [a-h][1-8][a-h][1-8]"
        "|Illegal move \\(game record full\\): .*"
        "|\\d+ \\S+ \\d+ \\d+ .*)$",  // thinking: depth, score, time, nodes, moves
        QRegularExpression::DotMatchesEverythingOption);
    return patterns.match(QString::fromStdString(line)).hasMatch();
}

bool IsThinkingLine(const std::string& line) {
    static const QRegularExpression thinking("^\\d+ \\S+ \\d+ \\d+ ");
    return thinking.match(QString::fromStdString(line)).hasMatch();
}

// The game as the test sees it.
class Game : public KeptGame {
public:
    // Some legal move for the side to move.
    std::string AnyMove() const {
        const auto moves = Legal();
        return moves.empty() ? std::string() : CoordinateText(moves.back());
    }

    bool WhiteToMove() const { return SideToMove() == WHITE; }
};

std::string Join(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += "'" + l + "' ";
    return out;
}

}  // namespace

class ProtocolHarnessTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PipedProgram> engine;

    // Starts the program and greets it as an interface does; the opening
    // lines must be the first it writes.
    void StartEngine() {
        engine = std::make_unique<PipedProgram>();
        QVERIFY(engine->Start(MORLAQUIN_PROGRAM, QStringLiteral(MORLAQUIN_TEST_DATA "/images"),
                              QStringLiteral(MORLAQUIN_TEST_DATA "/sounds")));
        engine->Send("xboard");
        engine->Send("protover 2");
        std::vector<std::string> opening;
        for (int i = 0; i < 6; ++i) {
            const auto line = engine->NextLine(HangMs);
            QVERIFY2(line, "the opening lines do not come");
            opening.push_back(*line);
        }
        std::vector<std::string> wanted = OpeningFeatures;
        wanted.push_back("feature done=1");
        QCOMPARE(opening, wanted);
    }

    // Sends lines, then a ping; compares what came before the pong.
    void Expect(const std::vector<std::string>& send, const std::vector<std::string>& wanted) {
        for (const auto& s : send) engine->Send(s);
        const auto got = engine->Sync();
        QVERIFY2(got, "no pong");
        QVERIFY2(*got == wanted, ("got " + Join(*got) + " wanted " + Join(wanted)).c_str());
    }

    // The same with the lines and the ping sent at once, in one write; the
    // answer may take a move's time.
    void ExpectAtOnce(const std::vector<std::string>& send, const std::vector<std::string>& wanted) {
        const auto got = engine->SyncAfter(send, HangMs);
        QVERIFY2(got, "no pong");
        QVERIFY2(*got == wanted, ("got " + Join(*got) + " wanted " + Join(wanted)).c_str());
    }

    // What came before the pong of lines sent at once: one engine move, then
    // the lines wanted.
    void ExpectMoveAtOnce(const std::vector<std::string>& send, const std::vector<std::string>& after) {
        const auto got = engine->SyncAfter(send, HangMs);
        QVERIFY2(got, "no pong");
        QVERIFY2(!got->empty() && got->front().starts_with("move "), Join(*got).c_str());
        const std::vector<std::string> rest(got->begin() + 1, got->end());
        QVERIFY2(rest == after, ("got " + Join(*got) + " wanted a move and " + Join(after)).c_str());
    }

    // The engine's next move: every line up to its "move" line must be a
    // thinking line. Empty when no move comes in time.
    std::string EngineMove(int timeoutMs = HangMs) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            const auto line = engine->NextLine(static_cast<int>(timeoutMs - clock.elapsed()));
            if (!line) break;
            if (line->starts_with("move ")) return line->substr(5);
            if (!IsThinkingLine(*line)) return "unexpected line: " + *line;
        }
        return std::string();
    }

    // The program ends by itself, normally and with status 0.
    void ExpectExit(int timeoutMs) {
        const auto status = engine->WaitExit(timeoutMs);
        QVERIFY2(status, "the program did not end in time");
        QVERIFY2(WIFEXITED(*status), "the program was killed");
        QCOMPARE(WEXITSTATUS(*status), 0);
    }

private slots:
    void init() { ResetEngineState(); }

    void cleanup() {
        if (!engine) return;
        if (engine->exitStatus != -1) {
            // Everything written was whole protocol lines.
            QVERIFY2(engine->Unread().empty(), ("a line without its line feed: " + engine->Unread()).c_str());
        }
        for (const auto& l : engine->lines) QVERIFY2(IsProtocolLine(l), ("not a protocol line: '" + l + "'").c_str());
        // Nothing but protocol lines reaches the interface, on standard
        // error neither (a move sound is there to be opened).
        const std::string errors = engine->ErrorOutput();
        QVERIFY2(errors.empty(), ("standard error: " + errors).c_str());
        engine.reset();
    }

    void handshakeAndPing() {
        StartEngine();
        Expect({"accepted usermove", "rejected san"}, {});
        engine->Send("quit");
        ExpectExit(HangMs);
    }

    void errorLinesEchoTheLine() {
        StartEngine();
        Expect({"st 5", "st x%d%s%n", "stop", "level 40 5 0", "level 0 2 12", "level 0 2 0.5", "level 40  5 0",
                "level 40 0:30 0", "level 0 x:30 0", "time abc", "otim 12.5.1", "time 30000", "otim 29000"},
               {"error : st x%d%s%n", "error : stop", "error : level 40  5 0", "error : level 0 x:30 0",
                "error : time abc", "error : otim 12.5.1"});
        engine->CloseInput();
        ExpectExit(HangMs);
    }

    void unreadableAndImpossibleMoves() {
        StartEngine();
        Expect({"new", "force", "E2E4", "usermove e2e9", "usermove e2e5", "e2e5", "hint", "draw", "xyzzy"},
               {"Illegal move: E2E4", "Illegal move: usermove e2e9", "Illegal move!", "Illegal move!"});
        engine->CloseInput();
        ExpectExit(HangMs);
    }

    // A line is read whole however long it is, and without its carriage
    // return: the move at the end of a long line is no line of its own.
    void longLinesAndCarriageReturns() {
        StartEngine();
        Expect({std::string(79, 'x') + "usermove e2e5", std::string(300, 'y') + "E2E4",
                "setboard " + std::string(200, '8'), "E2E4\r", "level 0 2 0.5\r", "st 7\r"},
               {"tellusererror Illegal position", "Illegal move: E2E4"});
        engine->Send("ping 99\r");
        QVERIFY(engine->LinesUntil("pong 99"));
        engine->CloseInput();
        ExpectExit(HangMs);
    }

    // The end of input ends the program.
    void closedInputEndsTheProgram() {
        StartEngine();
        Expect({"new", "hard", "post"}, {});
        engine->CloseInput();
        ExpectExit(HangMs);
    }

    // Input ending in the middle of a line: that line still counts, once.
    void aLastLineWithoutLineFeed() {
        StartEngine();
        engine->SendRaw("st x");
        engine->CloseInput();
        ExpectExit(HangMs);
        QCOMPARE(engine->lines.back(), std::string("error : st x"));
    }

    // The engine answers moves, bare and with "usermove", in coordinate form.
    void aGameAsBlack() {
        StartEngine();
        Game game;
        Expect({"new", "post", "level 0 1 0", "time 6000", "otim 6000"}, {});
        engine->Send("usermove e2e4");
        QVERIFY(game.Play("e2e4"));
        for (int i = 0; i < 3; ++i) {
            const std::string reply = EngineMove();
            QVERIFY2(game.Play(reply), reply.c_str());
            QVERIFY(game.WhiteToMove());
            const std::string next = game.AnyMove();
            QVERIFY(game.Play(next));
            engine->Send("time " + std::to_string(5800 - 300 * i));
            engine->Send("otim " + std::to_string(5700 - 300 * i));
            engine->Send(i % 2 == 0 ? next : "usermove " + next);
        }
        const std::string reply = EngineMove();
        QVERIFY2(game.Play(reply), reply.c_str());
        engine->Send("quit");
        ExpectExit(HangMs);
    }

    void goPlaysWhite() {
        StartEngine();
        Game game;
        Expect({"new", "st 1"}, {});
        engine->Send("go");
        const std::string first = EngineMove();
        QVERIFY2(game.Play(first), first.c_str());
        QVERIFY(!game.WhiteToMove());
        engine->CloseInput();
        ExpectExit(HangMs);
    }

    // In force mode the engine only follows; "go" makes it move for the
    // side to move.
    void forceThenMovesThenGo() {
        StartEngine();
        Game game;
        Expect({"new", "force", "a2a3", "usermove h7h6", "h2h3", "st 1"}, {});
        for (const char* m : {"a2a3", "h7h6", "h2h3"}) QVERIFY(game.Play(m));
        engine->Send("go");
        const std::string reply = EngineMove();
        QVERIFY2(game.Play(reply), reply.c_str());
        QVERIFY(game.WhiteToMove());
        engine->CloseInput();
        ExpectExit(HangMs);
    }

    // "?" makes the engine move at once, long before its minute is up.
    void questionMarkMovesAtOnce() {
        StartEngine();
        Game game;
        Expect({"new", "force", "a2a3", "h7h6", "post", "st 60"}, {});
        engine->Send("go");
        for (const char* m : {"a2a3", "h7h6"}) QVERIFY(game.Play(m));
        const auto thinking = engine->NextLine(HangMs);  // the search is under way
        QVERIFY(thinking && IsThinkingLine(*thinking));
        engine->Send("?");
        const std::string reply = EngineMove(HangMs);
        QVERIFY2(game.Play(reply), reply.c_str());
        engine->Send("quit");
        ExpectExit(HangMs);
    }

    // A ping that arrives while the engine thinks is answered after its move.
    void aPingWhileThinkingIsAnsweredAfterTheMove() {
        StartEngine();
        Expect({"new", "force", "a2a3", "h7h6", "post", "st 2"}, {});
        engine->Send("go");
        const auto thinking = engine->NextLine(HangMs);
        QVERIFY(thinking && IsThinkingLine(*thinking));
        engine->Send("ping 77");
        const auto before = engine->LinesUntil("pong 77", HangMs);
        QVERIFY(before);
        QVERIFY2(std::any_of(before->begin(), before->end(), [](const std::string& l) { return l.starts_with("move "); }),
                 Join(*before).c_str());
        engine->CloseInput();
        ExpectExit(HangMs);
    }

    // "force", "new" and "quit" during the engine's search end it without
    // a move line.
    void cancelledSearchesSendNoMove() {
        StartEngine();
        for (const char* cancel : {"force", "new", "result 1-0 {White mates}"}) {
            Expect({"new", "force", "a2a3", "h7h6", "post", "st 60"}, {});
            engine->Send("go");
            const auto thinking = engine->NextLine(HangMs);
            QVERIFY(thinking && IsThinkingLine(*thinking));
            engine->Send(cancel);
            const auto lines = engine->Sync();  // long before the minute is up
            QVERIFY2(lines, cancel);
            for (const auto& l : *lines) QVERIFY2(IsThinkingLine(l), (std::string(cancel) + ": " + l).c_str());
        }
        Expect({"new", "force", "a2a3", "h7h6", "post", "st 60"}, {});
        engine->Send("go");
        const auto thinking = engine->NextLine(HangMs);
        QVERIFY(thinking && IsThinkingLine(*thinking));
        engine->Send("quit");
        ExpectExit(HangMs);
        for (const auto& l : engine->lines) QVERIFY2(!l.starts_with("move "), l.c_str());
    }

    // The engine mates and says so.
    void theEngineMatesAndSaysSo() {
        StartEngine();
        Expect({"new", "force", "f2f3", "e7e5", "g2g4", "st 2"}, {});
        engine->Send("go");
        QCOMPARE(EngineMove(), std::string("d8h4"));
        const auto end = engine->NextLine(HangMs);
        QVERIFY(end);
        QCOMPARE(*end, std::string("0-1 {Black mates}"));
        engine->CloseInput();
        ExpectExit(HangMs);
    }

    // A peer that stops reading neither kills the program nor keeps it.
    void aGoneReaderDoesNotKillTheProgram() {
        StartEngine();
        engine->CloseOutput();
        engine->Send("st x");
        engine->Send("ping 1");
        engine->Send("usermove e2e5");
        engine->Send("quit");
        ExpectExit(HangMs);
        engine->lines.clear();  // nothing more can be read
    }

    // ---- Every command answered, in order.

    // "go" in a position already drawn by rule gets the engine's move and
    // then the game end.
    void goInAPositionDrawnByRule() {
        StartEngine();
        ExpectMoveAtOnce({"new", "nopost", "st 1", "setboard 8/8/4k3/8/8/3K4/8/5N2 w - - 0 1", "go"},
                         {"1/2-1/2 {Draw because of insufficient material}"});
        // No capture and no pawn move can reset the counter.
        ExpectMoveAtOnce({"setboard r7/8/4k3/8/8/3K4/8/7R b - - 100 80", "go"}, {"1/2-1/2 {Draw by 50 move}"});
        engine->Send("quit");
        ExpectExit(HangMs);
    }

    // "undo" and "remove" right after "force" (or "go" and "force") act on
    // the board the commands before them left.
    void undoAndRemoveRightAfterForce() {
        StartEngine();
        ExpectAtOnce({"new", "nopost", "st 1", "go", "force", "e2e4", "undo", "e2e4"}, {});
        ExpectAtOnce({"new", "force", "e2e4", "e7e5", "go", "force", "remove", "e2e4", "e7e5", "remove", "d2d4"},
                     {});
        // The engine's board is the interface's: its reply is legal there.
        Game game;
        QVERIFY(game.Play("d2d4"));
        engine->Send("go");
        const std::string reply = EngineMove();
        QVERIFY2(game.Play(reply), reply.c_str());
        engine->Send("quit");
        ExpectExit(HangMs);
    }

    // Each ping is answered, in order, once everything before it was
    // carried out, the engine's move included.
    void pingsAnsweredInOrderAfterTheWorkBeforeThem() {
        StartEngine();
        engine->SendRaw("ping 101\nping 102\nping 103\n");
        const auto before = engine->LinesUntil("pong 103");
        QVERIFY(before);
        QCOMPARE(*before, (std::vector<std::string>{"pong 101", "pong 102"}));
        ExpectMoveAtOnce({"new", "nopost", "st 1", "go"}, {});
        ExpectMoveAtOnce({"new", "e2e4"}, {});
        // Lines sent after a ping wait for it.
        ExpectAtOnce({"force", "ping 104", "usermove e2e5"}, {"pong 104", "Illegal move!"});
        engine->Send("quit");
        ExpectExit(HangMs);
    }

    // Everything read before "quit" or the end of input is carried out.
    void aPingJustBeforeTheEnd() {
        for (const bool quit : {true, false}) {
            StartEngine();
            engine->SendRaw(quit ? "new\nping 7\nquit\n" : "new\nping 7\n");
            if (!quit) engine->CloseInput();
            ExpectExit(HangMs);
            QCOMPARE(engine->lines.back(), std::string("pong 7"));
            cleanup();
        }
    }

    // A level with minutes and seconds is the whole of it: the engine thinks
    // beyond its first iteration with 20 seconds for 40 moves.
    void levelWithMinutesAndSeconds() {
        StartEngine();
        Expect({"new", "force", "a2a3", "h7h6", "post", "level 40 0:20 0", "time 2000", "otim 2000"}, {});
        engine->Send("go");
        int deepest = 0;
        for (;;) {
            const auto line = engine->NextLine(HangMs);
            QVERIFY(line);
            if (line->starts_with("move ")) break;
            QVERIFY2(IsThinkingLine(*line), line->c_str());
            deepest = std::max(deepest, std::stoi(*line));
        }
        QVERIFY2(deepest >= 2, std::to_string(deepest).c_str());
        engine->Send("quit");
        ExpectExit(HangMs);
    }

    // Under "st 1" with pondering on, the ponder search gives way to each
    // move the interface sends: every reply comes, and is legal. How soon it
    // comes, as the interface counts it, bench/match measures (MATCH_ST).
    void secondsPerMoveWithPondering() {
        StartEngine();
        Game game;
        Expect({"new", "hard", "nopost", "st 1"}, {});
        for (int i = 0; i < 5; ++i) {
            const std::string move = game.AnyMove();
            QVERIFY(game.Play(move));
            engine->Send("usermove " + move);
            const std::string reply = EngineMove();
            QVERIFY2(game.Play(reply), reply.c_str());
        }
        engine->Send("quit");
        ExpectExit(HangMs);
    }

    // SIGTERM, SIGINT and SIGHUP stop the search and end the program with
    // status 0, without a move.
    void stopSignals() {
        for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
            StartEngine();
            Expect({"new", "force", "a2a3", "h7h6", "post", "st 60"}, {});
            engine->Send("go");
            const auto thinking = engine->NextLine(HangMs);
            QVERIFY(thinking && IsThinkingLine(*thinking));
            engine->Signal(sig);
            ExpectExit(HangMs);
            for (const auto& l : engine->lines) QVERIFY2(!l.starts_with("move "), l.c_str());
            cleanup();
        }
        // And while it waits.
        StartEngine();
        Expect({"new"}, {});
        engine->Signal(SIGTERM);
        ExpectExit(HangMs);
    }

    // Started without "xboard" and without a display: one line on standard
    // error, and status 1.
    void noDisplayAndNoProtocol() {
        for (const char* input : {"uci\n", ""}) {
            PipedProgram program;
            QVERIFY(program.Start(MORLAQUIN_PROGRAM, QStringLiteral(MORLAQUIN_TEST_DATA "/images")));
            program.SendRaw(input);
            program.CloseInput();
            const auto status = program.WaitExit(HangMs);
            QVERIFY(status);
            QVERIFY2(WIFEXITED(*status), "the program was killed");
            QCOMPARE(WEXITSTATUS(*status), 1);
            const std::string error = program.ErrorOutput();
            QVERIFY2(std::count(error.begin(), error.end(), '\n') == 1 && error.back() == '\n', error.c_str());
            QVERIFY2(error.find("no display") != std::string::npos, error.c_str());
            QVERIFY2(error.find("\"xboard\"") != std::string::npos, error.c_str());
            QVERIFY(program.lines.empty());
        }
    }
};

QTEST_MAIN(ProtocolHarnessTest)
#include "test_protocolharness.moc"
