// Protocol mode inside the process: the keyword table and its parsers, the
// input read line by line, the first-word test, the output lines, and the
// reader thread's wait for the mailbox.
#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bitboard.h"
#include "dialogs/LEVELS.h"
#include "globals.h"
#include "guiglobals.h"
#include "gui_fixture.h"
#include "rootsearch.h"
#include "search.h"
#include "xboard.h"

namespace {

// What a received line can change.
struct ReaderState {
    int pendingCommand = 0;
    bool stopSearch = false;
    bool ponderEnabled = false;
    bool postThinking = false;
    bool humanToMove = false;
    bool humanVsHuman = false;
    bool autoPlay = false;
    bool infiniteSearch = false;
    int timeControl = 0;
    int blitzMinutes = 0, blitzBonus = 0;
    int tournamentMoves = 0, tournamentMinutes = 0, tournamentRest = 0;
    double timeMs = 0, otimMs = 0;
    int from = 0, to = 0, promotion = 0;
    std::string ping, position;
    unsigned cancels = 0;
    bool secondsPending = false;
    int seconds = 0;
    bool drawReported = false;
    std::vector<std::string> output;
    bool running = true;

    bool operator==(const ReaderState&) const = default;
};

std::string Describe(const ReaderState& s) {
    std::ostringstream o;
    o << "cmd=" << s.pendingCommand << " stop=" << s.stopSearch << " ponder=" << s.ponderEnabled
      << " post=" << s.postThinking << " htm=" << s.humanToMove << " hvh=" << s.humanVsHuman
      << " auto=" << s.autoPlay << " inf=" << s.infiniteSearch << " tc=" << s.timeControl << " blitz=" << s.blitzMinutes
      << "/" << s.blitzBonus << " tourn=" << s.tournamentMoves << "/" << s.tournamentMinutes << "/"
      << s.tournamentRest << " time=" << s.timeMs << " otim=" << s.otimMs << " move=" << s.from << "-" << s.to
      << "=" << s.promotion << " ping='" << s.ping << "' pos='" << s.position << "' cancels=" << s.cancels
      << " secs=" << s.secondsPending << "/" << s.seconds << " draw=" << s.drawReported << " running=" << s.running
      << " out=[";
    for (const auto& l : s.output) o << "'" << l << "' ";
    o << "]";
    return o.str();
}

ReaderState Capture() {
    ReaderState s;
    s.pendingCommand = PendingCommand;
    s.stopSearch = StopSearch;
    s.ponderEnabled = PonderEnabled;
    s.postThinking = PostThinking;
    s.humanToMove = HumanToMove;
    s.humanVsHuman = HumanVsHuman;
    s.autoPlay = AutoPlay;
    s.infiniteSearch = InfiniteSearch;
    s.timeControl = TimeControlType;
    s.blitzMinutes = BlitzMinutes;
    s.blitzBonus = BlitzBonus;
    s.tournamentMoves = TournamentMoves;
    s.tournamentMinutes = TournamentMinutes;
    s.tournamentRest = TournamentRest;
    s.timeMs = XboardTimeMs;
    s.otimMs = XboardOtimMs;
    s.from = UserMoveFrom;
    s.to = UserMoveTo;
    s.promotion = UserMovePromotion;
    s.ping = PendingPing;
    s.position = PendingPositionText;
    s.cancels = EngineMoveCancels;
    s.secondsPending = ProtocolSecondsPending;
    s.seconds = ProtocolSecondsPerMove;
    s.drawReported = ProtocolDrawReported;
    return s;
}

// A start state in which every flag a keyword sets shows the change.
void SetStartState(bool humanToMove, bool pondering) {
    PendingCommand = 0;
    StopSearch = false;
    PonderEnabled = false;
    PostThinking = false;
    HumanToMove = humanToMove;
    HumanVsHuman = false;
    AutoPlay = true;
    InfiniteSearch = true;
    Pondering = pondering;
    TimeControlType = 2;
    BlitzMinutes = 5;
    BlitzBonus = 3;
    TournamentMoves = 30;
    TournamentMinutes = 90;
    TournamentRest = 15;
    UserMoveFrom = UserMoveTo = UserMovePromotion = 0;
}

// A move read for the window to play.
template <int From, int To, int Promotion = 0>
void UserMove(ReaderState& s) {
    s.from = From;
    s.to = To;
    s.promotion = Promotion;
    s.pendingCommand = CMD_USER_MOVE;
    s.stopSearch = true;
}

struct LineCase {
    const char* name;
    std::string line;
    bool humanToMove;
    bool pondering;
    void (*expect)(ReaderState&);
};

const std::string LongFen = "setboard r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3 "
                            "and a comment that makes the line far longer than eighty characters";

const std::vector<LineCase> LineCases = {
    {"hard", "hard", true, false, [](ReaderState& s) { s.ponderEnabled = true; }},
    {"easy without ponder search", "easy", true, false, [](ReaderState&) {}},
    {"easy stops a ponder search", "easy", true, true, [](ReaderState& s) { s.stopSearch = true; }},
    {"post", "post", true, false, [](ReaderState& s) { s.postThinking = true; }},
    {"postmortem is post", "postmortem", true, false, [](ReaderState& s) { s.postThinking = true; }},
    {"nopost", "nopost", true, false, [](ReaderState&) {}},
    {"? stops the search", "?", false, false, [](ReaderState& s) { s.stopSearch = true; }},
    {"? leaves a ponder search", "?", true, true, [](ReaderState&) {}},
    {"new", "new", false, false,
     [](ReaderState& s) {
         s.pendingCommand = CMD_NEW_GAME;
         s.stopSearch = true;
         s.cancels = 1;
     }},
    {"setboard with a long FEN", LongFen, true, false,
     [](ReaderState& s) {
         s.position = LongFen.substr(9);
         s.pendingCommand = CMD_LOAD_POSITION;
         s.stopSearch = true;
     }},
    {"setboard alone", "setboard", true, false,
     [](ReaderState& s) {
         s.pendingCommand = CMD_LOAD_POSITION;
         s.stopSearch = true;
     }},
    {"result drawn", "result 1/2-1/2 {Draw by repetition}", false, false,
     [](ReaderState& s) {
         s.drawReported = true;
         s.humanVsHuman = true;
         s.stopSearch = true;
         s.cancels = 1;
     }},
    {"result won", "result 1-0 {White mates}", false, false,
     [](ReaderState& s) {
         s.humanVsHuman = true;
         s.stopSearch = true;
         s.cancels = 1;
     }},
    {"go while waiting", "go", true, false,
     [](ReaderState& s) {
         s.humanToMove = false;
         s.stopSearch = true;
     }},
    {"go while moving", "go", false, false, [](ReaderState&) {}},
    {"remove while waiting", "remove", true, false,
     [](ReaderState& s) {
         s.pendingCommand = CMD_UNDO_TWO;
         s.stopSearch = true;
     }},
    {"remove while moving", "remove", false, false, [](ReaderState&) {}},
    {"undo while waiting", "undo", true, false,
     [](ReaderState& s) {
         s.pendingCommand = CMD_UNDO;
         s.stopSearch = true;
     }},
    {"undo while moving", "undo", false, false, [](ReaderState&) {}},
    {"quit", "quit", false, false,
     [](ReaderState& s) {
         s.pendingCommand = CMD_QUIT;
         s.stopSearch = true;
         s.cancels = 1;
         s.running = false;
     }},
    {"force", "force", false, false,
     [](ReaderState& s) {
         s.infiniteSearch = false;
         s.humanVsHuman = true;
         s.autoPlay = false;
         s.stopSearch = true;
         s.cancels = 1;
     }},
    {"st", "st 7", true, false,
     [](ReaderState& s) {
         s.timeControl = 1;
         s.secondsPending = true;
         s.seconds = 7;
     }},
    {"stop is st", "stop", true, false,
     [](ReaderState& s) {
         s.timeControl = 1;
         s.output = {"error : stop"};
     }},
    {"st alone", "st", true, false,
     [](ReaderState& s) {
         s.timeControl = 1;
         s.output = {"error : st"};
     }},
    {"st echoes a percent sign", "st 5%s%n", true, false,
     [](ReaderState& s) {
         s.timeControl = 1;
         s.output = {"error : st 5%s%n"};
     }},
    {"level tournament", "level 40 5 0", true, false,
     [](ReaderState& s) {
         s.timeControl = 4;
         s.tournamentMoves = 40;
         s.tournamentMinutes = 5;
         s.tournamentRest = 0;
     }},
    {"level blitz", "level 0 2 12", true, false,
     [](ReaderState& s) {
         s.blitzMinutes = 2;
         s.blitzBonus = 12;
     }},
    {"level fractional increment", "level 0 2 0.5", true, false,
     [](ReaderState& s) {
         s.blitzMinutes = 2;
         s.blitzBonus = 0;
     }},
    {"level fractional increment above one", "level 0 3 2.9", true, false,
     [](ReaderState& s) {
         s.blitzMinutes = 3;
         s.blitzBonus = 2;
     }},
    {"level minutes and seconds", "level 40 0:30 0", true, false,
     [](ReaderState& s) {
         s.output = {"error (throwing away the seconds): level 40 0:30 0"};
         s.timeControl = 4;
         s.tournamentMoves = 40;
         s.tournamentMinutes = 0;
         s.tournamentRest = 0;
     }},
    {"level two blanks", "level 40  5 0", true, false,
     [](ReaderState& s) { s.output = {"error : level 40  5 0"}; }},
    {"level without increment", "level 0 2", true, false,
     [](ReaderState& s) { s.output = {"error : level 0 2"}; }},
    {"level bad minutes with seconds", "level 0 x:30 0", true, false,
     [](ReaderState& s) {
         s.output = {"error (throwing away the seconds): level 0 x:30 0", "error : level 0 x:30 0"};
     }},
    {"level bad moves", "level forty 5 0", true, false,
     [](ReaderState& s) { s.output = {"error : level forty 5 0"}; }},
    {"level alone", "level", true, false, [](ReaderState& s) { s.output = {"error : level"}; }},
    {"ping while waiting", "ping 5", true, false,
     [](ReaderState& s) {
         s.ping = "5";
         s.stopSearch = true;
     }},
    {"ping while moving", "ping 12", false, false, [](ReaderState& s) { s.ping = "12"; }},
    {"ping alone", "ping", true, false, [](ReaderState& s) { s.stopSearch = true; }},
    {"playother", "playother", false, false,
     [](ReaderState& s) {
         s.humanToMove = true;
         s.autoPlay = false;
     }},
    {"time", "time 30000", true, false, [](ReaderState& s) { s.timeMs = 300000; }},
    {"time with a fraction", "time 123.45", true, false, [](ReaderState& s) { s.timeMs = 1234; }},
    {"time not a number", "time 12x", true, false, [](ReaderState& s) { s.output = {"error : time 12x"}; }},
    {"time alone", "time", true, false, [](ReaderState& s) { s.output = {"error : time"}; }},
    {"otim", "otim 500", true, false, [](ReaderState& s) { s.otimMs = 5000; }},
    {"usermove with promotion", "usermove e7e8q", true, false, UserMove<E7, E8, QUEEN>},
    {"bare move with promotion", "e7e8q", true, false, UserMove<E7, E8, QUEEN>},
    {"bare knight promotion", "a2a1n", true, false, UserMove<A2, A1, KNIGHT>},
    {"usermove without promotion", "usermove g1f3", true, false, UserMove<G1, F3>},
    {"unknown promotion letter", "h7h8k", true, false, UserMove<H7, H8>},
    {"a move that starts like a keyword", "h2h4", true, false, UserMove<H2, H4>},
    {"usermove off the board", "usermove e2e9", true, false,
     [](ReaderState& s) { s.output = {"Illegal move: usermove e2e9"}; }},
    {"upper-case move", "E2E4", true, false, [](ReaderState& s) { s.output = {"Illegal move: E2E4"}; }},
    {"move with a percent sign", "a1%d", true, false,
     [](ReaderState& s) { s.output = {"Illegal move: a1%d"}; }},
    {"short usermove", "usermove e2", true, false, [](ReaderState&) {}},
    {"xboard", "xboard", true, false, [](ReaderState&) {}},
    {"protover", "protover 2", true, false, [](ReaderState&) {}},
    {"accepted", "accepted usermove", true, false, [](ReaderState&) {}},
    {"rejected", "rejected san", true, false, [](ReaderState&) {}},
    {"empty line", "", true, false, [](ReaderState&) {}},
    {"ignored draw", "draw", false, false, [](ReaderState&) {}},
    {"ignored black", "black", true, false, [](ReaderState&) {}},
    {"ignored sd", "sd 12", true, false, [](ReaderState&) {}},
    {"ignored variant", "variant normal", true, false, [](ReaderState&) {}},
    {"ignored computer", "computer", true, false, [](ReaderState&) {}},
};

// A pipe whose ends close with the object.
struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() {
        if (::pipe2(fds, O_CLOEXEC) != 0) fds[0] = fds[1] = -1;
    }
    ~Pipe() {
        CloseRead();
        CloseWrite();
    }
    int ReadEnd() const { return fds[0]; }
    int WriteEnd() const { return fds[1]; }
    void Write(const std::string& text) const {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fds[1], text.data() + done, text.size() - done);
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    }
    void CloseRead() {
        if (fds[0] >= 0) ::close(fds[0]);
        fds[0] = -1;
    }
    void CloseWrite() {
        if (fds[1] >= 0) ::close(fds[1]);
        fds[1] = -1;
    }
};

// Everything readable now from a descriptor whose writers are done.
std::string Drain(int fd) {
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    return out;
}

// Collects lines sent from any thread.
class LineSink {
public:
    ProtocolSender Sender() {
        return [this](const std::string& l) {
            std::lock_guard<std::mutex> lock(m);
            lines.push_back(l);
        };
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(m);
        return lines;
    }

private:
    std::mutex m;
    std::vector<std::string> lines;
};

}  // namespace

class ProtocolTest : public QObject {
    Q_OBJECT

    ScriptedBoxes boxes;

private slots:
    void init() {
        ResetForWindowTest(&boxes);
        ResetProtocolState();
    }

    void cleanup() {
        ResetProtocolState();
        SetMessageBoxes(nullptr);
    }

    // Each line against the whole state: what it must change and that it
    // changes nothing else.
    void eachLineChangesWhatItsKeywordSays() {
        for (const LineCase& c : LineCases) {
            ResetProtocolState();
            SetStartState(c.humanToMove, c.pondering);
            ReaderState expected = Capture();
            c.expect(expected);
            std::vector<std::string> output;
            const bool running =
                HandleProtocolLine(c.line, [&](const std::string& l) { output.push_back(l); });
            ReaderState actual = Capture();
            actual.output = output;
            actual.running = running;
            QVERIFY2(actual == expected,
                     qPrintable(QString("%1: got %2, wanted %3")
                                    .arg(c.name, QString::fromStdString(Describe(actual)),
                                         QString::fromStdString(Describe(expected)))));
        }
        Pondering = false;
    }

    void aMoveAfterAPromotionCarriesNoPromotion() {
        const ProtocolSender none = [](const std::string&) {};
        HandleProtocolLine("usermove e7e8q", none);
        QCOMPARE(UserMovePromotion.load(), 5);
        PendingCommand = 0;
        HandleProtocolLine("usermove e2e4", none);
        QCOMPARE(UserMovePromotion.load(), 0);
        QCOMPARE(UserMoveFrom.load(), int(E2));
        QCOMPARE(UserMoveTo.load(), int(E4));
    }

    void theEndOfInputActsAsQuit() {
        HandleEndOfInput();
        QCOMPARE(PendingCommand.load(), CMD_QUIT);
        QVERIFY(StopSearch);
        QCOMPARE(EngineMoveCancels.load(), 1u);
    }

    void restAfterALineShorterThanItsKeyword() {
        QCOMPARE(RestAfter("ping", 5), std::string());
        QCOMPARE(RestAfter("ping ", 5), std::string());
        QCOMPARE(RestAfter("ping 7", 5), std::string("7"));
        QCOMPARE(RestAfter("", 9), std::string());
    }

    void numbers() {
        struct {
            const char* text;
            bool ok;
            int value;
        } const ints[] = {{"0", true, 0},          {"-12", true, -12},  {"+7", true, 7},
                          {"2147483647", true, INT_MAX}, {"-2147483648", true, INT_MIN},
                          {"2147483648", false, 0}, {"99999999999999999999", false, 0},
                          {"", false, 0},           {"-", false, 0},     {" 5", false, 0},
                          {"5 ", false, 0},         {"1.5", false, 0},   {"0x10", false, 0}};
        for (const auto& c : ints) {
            int v = 12345;
            QCOMPARE(ParseProtocolInteger(c.text, &v), c.ok);
            if (c.ok) QCOMPARE(v, c.value);
        }
        struct {
            const char* text;
            bool ok;
            double value;
        } const numbers[] = {{"0.5", true, 0.5}, {".5", true, 0.5}, {"3.", true, 3}, {"-2.25", true, -2.25},
                             {"12", true, 12},   {".", false, 0},   {"1.2.3", false, 0}, {"1e3", false, 0},
                             {"", false, 0},     {"nan", false, 0}, {"inf", false, 0},
                             {"1000000000000000000000", false, 0}};
        for (const auto& c : numbers) {
            double v = 0;
            QVERIFY2(ParseProtocolNumber(c.text, &v) == c.ok, c.text);
            if (c.ok) QCOMPARE(v, c.value);
        }
    }

    // ------------------------------------------------------------ input

    void linesOfAnyLengthWithoutCarriageReturns() {
        Pipe p;
        const std::string longLine(5000, 'x');
        p.Write("xboard\nprotover 2\r\n" + longLine + "\r\nlast");
        p.CloseWrite();
        ProtocolInput in(p.ReadEnd());
        QVERIFY(FirstWordSelectsProtocol(in));
        std::string line;
        const std::vector<std::string> wanted = {"", "protover 2", longLine, "last"};
        for (const auto& w : wanted) {
            QCOMPARE(in.ReadLine(&line), ProtocolInput::Result::Line);
            QCOMPARE(line, w);
        }
        // The end is reported again and again, never the last line anew.
        QCOMPARE(in.ReadLine(&line), ProtocolInput::Result::End);
        QCOMPARE(in.ReadLine(&line), ProtocolInput::Result::End);
    }

    void theFirstWord() {
        struct {
            const char* input;
            bool protocol;
            const char* nextLine;
        } const cases[] = {{"xboard\nnew\n", true, ""},
                           {"  \t\n  xboard\n", true, ""},
                           {"myxboard2 new\n", true, " new"},
                           {"XBOARD\n", false, ""},
                           {"xboar d\n", false, " d"},
                           {"", false, nullptr},
                           {" \n\n", false, nullptr}};
        for (const auto& c : cases) {
            Pipe p;
            p.Write(c.input);
            p.CloseWrite();
            ProtocolInput in(p.ReadEnd());
            QVERIFY2(FirstWordSelectsProtocol(in) == c.protocol, c.input);
            std::string line;
            const auto r = in.ReadLine(&line);
            if (c.nextLine == nullptr) {
                QCOMPARE(r, ProtocolInput::Result::End);
            } else {
                QCOMPARE(r, ProtocolInput::Result::Line);
                QCOMPARE(line, std::string(c.nextLine));
            }
        }
    }

    void theFirstWordHoldsAtMostEightyCharacters() {
        Pipe p;
        p.Write(std::string(80, 'a') + "xboard\n");
        p.CloseWrite();
        ProtocolInput in(p.ReadEnd());
        QVERIFY(!FirstWordSelectsProtocol(in));  // "xboard" is past the word
        std::string line;
        QCOMPARE(in.ReadLine(&line), ProtocolInput::Result::Line);
        QCOMPARE(line, std::string("xboard"));
    }

    // Started from a terminal, the program must not wait for typing: the
    // first-word test reads nothing there, even what was typed ahead.
    void aTerminalIsNeverRead() {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0);
        QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        QVERIFY(terminal >= 0);
        QVERIFY(::write(master, "xboard\n", 7) == 7);
        const int saved = ::dup(STDIN_FILENO);
        ::dup2(terminal, STDIN_FILENO);
        const bool protocol = DetectProtocolMode();
        ::dup2(saved, STDIN_FILENO);
        ::close(saved);
        ::close(terminal);
        ::close(master);
        QVERIFY(!protocol);
    }

    void aWaitingReadCanBeStopped() {
        Pipe p;
        ProtocolInput in(p.ReadEnd());
        std::atomic<bool> stop{false};
        std::thread t([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            stop = true;
        });
        std::string line;
        QCOMPARE(in.ReadLine(&line, [&] { return stop.load(); }), ProtocolInput::Result::Stopped);
        t.join();
        p.Write("ping 1\n");
        QCOMPARE(in.ReadLine(&line, [] { return false; }), ProtocolInput::Result::Line);
        QCOMPARE(line, std::string("ping 1"));
    }

    // ----------------------------------------------------------- output

    void linesAreWrittenLiterallyAndWhole() {
        Pipe p;
        const int old = SetProtocolOutputFd(p.WriteEnd());
        const std::string a = "error : st %s%n%d " + std::string(100, 'a');
        const std::string b = "Illegal move: " + std::string(100, 'b');
        constexpr int N = 300;
        // Far more than a pipe holds: read while the writers write.
        std::string all;
        std::thread reader([&] { all = Drain(p.ReadEnd()); });
        std::thread t1([&] {
            for (int i = 0; i < N; ++i) SendProtocolLine(a);
        });
        std::thread t2([&] {
            for (int i = 0; i < N; ++i) SendProtocolLine(b);
        });
        t1.join();
        t2.join();
        SetProtocolOutputFd(old);
        p.CloseWrite();
        reader.join();
        int as = 0, bs = 0;
        std::istringstream lines(all);
        for (std::string l; std::getline(lines, l);) {
            if (l == a)
                ++as;
            else if (l == b)
                ++bs;
            else
                QFAIL(qPrintable("a mixed line: " + QString::fromStdString(l)));
        }
        QCOMPARE(as, N);
        QCOMPARE(bs, N);
        QVERIFY(!all.empty() && all.back() == '\n');
    }

    void aGonePeerDoesNotEndTheProgram() {
        Pipe p;
        p.CloseRead();
        std::signal(SIGPIPE, SIG_IGN);
        const int old = SetProtocolOutputFd(p.WriteEnd());
        SendProtocolLine("pong 1");  // EPIPE, and nothing else happens
        SetProtocolOutputFd(old);
    }

    void noBoxIsEverShownInProtocolMode() {
        MessageBoxes* silent = ProtocolMessageBoxes();
        QCOMPARE(silent->Show(nullptr, "Illegal move!", "Morlaquin says:", BoxButtons::Ok), BoxAnswer::Ok);
        QCOMPARE(silent->Show(nullptr, "Save settings?", "", BoxButtons::YesNo), BoxAnswer::No);
        QCOMPARE(silent->Show(nullptr, "?", "", BoxButtons::YesNoCancel), BoxAnswer::Cancel);
    }

    // ----------------------------------------------------------- thread

    // The reader reads a line only while the mailbox is empty, wakes when
    // the GUI thread signals it, and ends at the end of input with "quit".
    void theReaderWaitsForTheMailbox() {
        Pipe p;
        ProtocolInput in(p.ReadEnd());
        LineSink sink;
        PendingCommand = CMD_HIDE_WINDOW;
        xboard reader(true, sink.Sender(), &in);
        reader.Resume();
        p.Write("ping 1\nusermove e2e4\nping 2\nusermove e2e9\n");
        QTest::qWait(150);
        std::string ping;
        QVERIFY(!TakePendingPing(&ping));  // nothing read under a posted command

        PendingCommand = 0;
        SignalMailbox();
        QTRY_COMPARE_WITH_TIMEOUT(PendingCommand.load(), CMD_USER_MOVE, 2000);
        QVERIFY(TakePendingPing(&ping));
        QCOMPARE(ping, std::string("1"));
        QCOMPARE(UserMoveFrom.load(), int(E2));
        QTest::qWait(100);
        QVERIFY(!TakePendingPing(&ping));  // "ping 2" waits behind the move

        PendingCommand = 0;
        SignalMailbox();
        bool taken = false;
        QTRY_VERIFY_WITH_TIMEOUT(taken || (taken = TakePendingPing(&ping)), 2000);
        QCOMPARE(ping, std::string("2"));
        QTRY_COMPARE_WITH_TIMEOUT(sink.Lines(), std::vector<std::string>{"Illegal move: usermove e2e9"}, 2000);

        p.CloseWrite();
        QTRY_VERIFY_WITH_TIMEOUT(reader.isFinished(), 2000);
        QCOMPARE(PendingCommand.load(), CMD_QUIT);
    }

    void theReaderStopsAfterQuit() {
        Pipe p;
        ProtocolInput in(p.ReadEnd());
        LineSink sink;
        xboard reader(false, sink.Sender(), &in);
        p.Write("quit\nping 3\n");
        QTRY_VERIFY_WITH_TIMEOUT(reader.isFinished(), 2000);
        QCOMPARE(PendingCommand.load(), CMD_QUIT);
        std::string ping;
        QVERIFY(!TakePendingPing(&ping));
    }

    // A reader waiting for input or for the mailbox is stopped by its
    // destruction, at once.
    void aWaitingReaderIsStoppedByItsDestruction() {
        for (const int command : {0, CMD_NEW_GAME}) {
            Pipe p;
            ProtocolInput in(p.ReadEnd());
            PendingCommand = command;
            QElapsedTimer clock;
            {
                auto reader = std::make_unique<xboard>(false, ProtocolSender{}, &in);
                QTest::qWait(50);
                clock.start();
            }
            QVERIFY(clock.elapsed() < 1000);
        }
    }

    // ----------------------------------------------------------- window

    // The protocol branch of the show handler: nothing of the window is
    // left to see, the reader starts but reads only once the first tick has
    // hidden the window, and "feature done=1" is written.
    void theShowHandlerStartsProtocolMode() {
        Pipe in, out;
        ProtocolInput input(in.ReadEnd());
        const int old = SetProtocolOutputFd(out.WriteEnd());
        ProtocolMode = true;
        {
            TestWindow w;
            w.Timer1->stop();
            w.ProtocolReaderInput = &input;
            w.FormShow();
            QVERIFY(!w.isVisible());
            QVERIFY(w.Panel3->isHidden());
            const auto menus = w.menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
            QVERIFY(!menus.isEmpty());
            for (QMenu* m : menus) QVERIFY2(!m->menuAction()->isVisible(), qPrintable(m->title()));
            QCOMPARE(PendingCommand.load(), CMD_HIDE_WINDOW);
            QCOMPARE(w.protocol, std::vector<std::string>{"feature done=1"});

            in.Write("ping 4\nst x\n");
            QTest::qWait(100);
            std::string ping;
            QVERIFY(!TakePendingPing(&ping) && ping.empty());
            w.Timer1Timer();  // hides the window; the reader may go on
            QCOMPARE(PendingCommand.load(), 0);
            QTRY_VERIFY_WITH_TIMEOUT((w.Timer1Timer(), w.protocol.size() == 2), 2000);
            QCOMPARE(w.protocol.back(), std::string("pong 4"));
        }  // the reader ends with the window
        ProtocolMode = false;
        SetProtocolOutputFd(old);
        out.CloseWrite();
        QCOMPARE(Drain(out.ReadEnd()), std::string("error : st x\n"));
    }

    // "st" and a drawn "result" reach the GUI thread's values at its next tick.
    void theTickTakesTheReadersValues() {
        TestWindow w;
        w.Timer1->stop();
        const ProtocolSender none = [](const std::string&) {};
        HandleProtocolLine("st 7", none);
        HandleProtocolLine("result 1/2-1/2 {Draw by repetition}", none);
        LearnResult = -1.0;
        w.Timer1Timer();
        QVERIFY(frmLevels != nullptr);
        QCOMPARE(frmLevels->cboxSecs1->currentText(), QString("7"));
        QCOMPARE(TargetTimeMs, 7000.0);
        QCOMPARE(LearnResult, 0.5);

        // A result already judged stays.
        LearnResult = 1.0;
        HandleProtocolLine("result 1/2-1/2", none);
        w.Timer1Timer();
        QCOMPARE(LearnResult, 1.0);
    }

    // "time" is the clock of the side the engine plays when it next moves:
    // white after "go", black after the peer's first move.
    void protocolTimesBelongToTheSideTheEngineMovesFor() {
        for (const bool engineWhite : {true, false}) {
            ResetForWindowTest(&boxes);
            TestWindow w;
            w.Timer1->stop();
            TimeControlType = 2;
            BlitzMinutes = 5;
            BlitzBonus = 0;
            w.MoveStartTick = w.now;
            double white = 0, black = 0;
            w.duringComputerMove = [&] {
                white = w.WhiteLeftMs;
                black = w.BlackLeftMs;
            };
            const ProtocolSender none = [](const std::string&) {};
            HandleProtocolLine("time 20000", none);
            HandleProtocolLine("otim 15000", none);
            if (engineWhite) {
                HandleProtocolLine("go", none);
            } else {
                HandleProtocolLine("usermove e2e4", none);
            }
            for (int i = 0; i < 4 && (w.calls.empty() || w.calls.back() != "ComputerMove"); ++i) w.Timer1Timer();
            QVERIFY(!w.calls.empty());
            QCOMPARE(w.calls.back(), std::string("ComputerMove"));
            QCOMPARE(engineWhite ? white : black, 200000.0);
            QCOMPARE(engineWhite ? black : white, 150000.0);
        }
    }

    // A "force", "result", "new" or "quit" during the engine's search
    // cancels its move; "?" and the others do not.
    void commandsThatCancelTheEnginesMove() {
        TestWindow w;
        w.Timer1->stop();
        HumanToMove = false;
        const ProtocolSender none = [](const std::string&) {};
        struct {
            const char* line;
            bool cancels;
        } const cases[] = {{"force", true}, {"result 1-0", true}, {"new", true}, {"quit", true},
                           {"?", false},    {"easy", false},      {"ping 3", false}, {"time 100", false}};
        for (const auto& c : cases) {
            bool before = true, after = false;
            w.duringComputerMove = [&] {
                before = w.EngineMoveCancelled();
                HandleProtocolLine(c.line, none);
                after = w.EngineMoveCancelled();
            };
            PendingCommand = 0;
            HumanToMove = false;
            AutoPlay = false;
            XboardTimeMs = 0.0;
            std::string ping;
            TakePendingPing(&ping);
            w.calls.clear();
            w.Timer1Timer();
            QCOMPARE(w.calls, std::vector<std::string>{"ComputerMove"});
            QVERIFY2(!before, c.line);
            QVERIFY2(after == c.cancels, c.line);
        }
    }
};

QTEST_MAIN(ProtocolTest)
#include "test_protocol.moc"
