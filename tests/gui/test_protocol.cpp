// Protocol mode inside the process: the keyword table and its parsers, the
// input read line by line, the first-word test, the output lines, the reader
// thread's queue, what waiting commands do to a search, and stop signals.
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <memory>
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
    double blitzMinutes = 0, blitzBonus = 0;
    int tournamentMoves = 0;
    double tournamentMinutes = 0;
    int tournamentRest = 0;
    double timeMs = 0, otimMs = 0;
    int from = 0, to = 0, promotion = 0;
    std::string position;
    double learnResult = 0;
    bool secondsPending = false;
    int seconds = 0;
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
      << "=" << s.promotion << " pos='" << s.position << "' learn=" << s.learnResult << " secs=" << s.secondsPending
      << "/" << s.seconds << " running=" << s.running << " out=[";
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
    s.position = PendingPositionText;
    s.learnResult = LearnResult;
    s.secondsPending = ProtocolSecondsPending;
    s.seconds = ProtocolSecondsPerMove;
    return s;
}

// A start state in which every flag a keyword sets shows the change.
void SetStartState(bool humanToMove) {
    PendingCommand = 0;
    StopSearch = false;
    PonderEnabled = false;
    PostThinking = false;
    HumanToMove = humanToMove;
    HumanVsHuman = false;
    AutoPlay = true;
    InfiniteSearch = true;
    TimeControlType = TIME_BLITZ;
    BlitzMinutes = 5;
    BlitzBonus = 3;
    TournamentMoves = 30;
    TournamentMinutes = 90;
    TournamentRest = 15;
    UserMoveFrom = UserMoveTo = UserMovePromotion = 0;
    LearnResult = -1.0;
}

// A move read for the window to play.
template <int From, int To, int Promotion = 0>
void UserMove(ReaderState& s) {
    s.from = From;
    s.to = To;
    s.promotion = Promotion;
    s.pendingCommand = CMD_USER_MOVE;
}

template <int Minutes, int Seconds, int Bonus, int BonusMs = 0>
void Blitz(ReaderState& s) {
    s.blitzMinutes = Minutes + Seconds / 60.0;
    s.blitzBonus = Bonus + BonusMs / 1000.0;
}

template <int Moves, int Minutes, int Seconds>
void Tournament(ReaderState& s) {
    s.timeControl = 4;
    s.tournamentMoves = Moves;
    s.tournamentMinutes = Minutes + Seconds / 60.0;
    s.tournamentRest = 0;
}

struct LineCase {
    const char* name;
    std::string line;
    bool humanToMove;
    void (*expect)(ReaderState&);
};

const std::string LongFen = "setboard r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3 "
                            "and a comment that makes the line far longer than eighty characters";

// Each line as the GUI thread carries it out, when no search runs (what a
// waiting line does to a running search is tested on its own).
const std::vector<LineCase> LineCases = {
    {"hard", "hard", true, [](ReaderState& s) { s.ponderEnabled = true; }},
    {"easy", "easy", true, [](ReaderState&) {}},
    {"post", "post", true, [](ReaderState& s) { s.postThinking = true; }},
    {"postmortem is post", "postmortem", true, [](ReaderState& s) { s.postThinking = true; }},
    {"nopost", "nopost", true, [](ReaderState&) {}},
    {"? with no search", "?", true, [](ReaderState&) {}},
    {"new", "new", false, [](ReaderState& s) { s.pendingCommand = CMD_NEW_GAME; }},
    {"setboard with a long FEN", LongFen, true,
     [](ReaderState& s) {
         s.position = LongFen.substr(9);
         s.pendingCommand = CMD_LOAD_POSITION;
     }},
    {"setboard alone", "setboard", true, [](ReaderState& s) { s.pendingCommand = CMD_LOAD_POSITION; }},
    {"result drawn", "result 1/2-1/2 {Draw by repetition}", false,
     [](ReaderState& s) {
         s.learnResult = 0.5;
         s.humanVsHuman = true;
     }},
    {"result won", "result 1-0 {White mates}", false, [](ReaderState& s) { s.humanVsHuman = true; }},
    {"go while waiting", "go", true, [](ReaderState& s) { s.humanToMove = false; }},
    {"go while moving", "go", false, [](ReaderState&) {}},
    {"remove while waiting", "remove", true, [](ReaderState& s) { s.pendingCommand = CMD_UNDO_TWO; }},
    {"remove while moving", "remove", false, [](ReaderState&) {}},
    {"undo while waiting", "undo", true, [](ReaderState& s) { s.pendingCommand = CMD_UNDO; }},
    {"undo while moving", "undo", false, [](ReaderState&) {}},
    {"quit", "quit", false,
     [](ReaderState& s) {
         s.pendingCommand = CMD_QUIT;
         s.running = false;
     }},
    {"force", "force", false,
     [](ReaderState& s) {
         s.infiniteSearch = false;
         s.humanVsHuman = true;
         s.autoPlay = false;
     }},
    {"st", "st 7", true,
     [](ReaderState& s) {
         s.timeControl = 1;
         s.secondsPending = true;
         s.seconds = 7;
     }},
    {"stop is st", "stop", true,
     [](ReaderState& s) {
         s.timeControl = 1;
         s.output = {"error : stop"};
     }},
    {"st alone", "st", true,
     [](ReaderState& s) {
         s.timeControl = 1;
         s.output = {"error : st"};
     }},
    {"st echoes a percent sign", "st 5%s%n", true,
     [](ReaderState& s) {
         s.timeControl = 1;
         s.output = {"error : st 5%s%n"};
     }},
    {"level tournament", "level 40 5 0", true, Tournament<40, 5, 0>},
    {"level blitz", "level 0 2 12", true, Blitz<2, 0, 12>},
    {"level fractional increment", "level 0 2 0.5", true, Blitz<2, 0, 0, 500>},
    {"level fractional increment above one", "level 0 3 2.9", true, Blitz<3, 0, 2, 900>},
    {"level increment to the millisecond", "level 0 1 0.1234", true, Blitz<1, 0, 0, 123>},
    {"level blitz minutes and seconds", "level 0 0:10 0.1", true, Blitz<0, 10, 0, 100>},
    {"level tournament minutes and seconds", "level 40 0:20 0", true, Tournament<40, 0, 20>},
    {"level minutes and seconds", "level 40 1:30 0", true, Tournament<40, 1, 30>},
    {"level two blanks", "level 40  5 0", true, [](ReaderState& s) { s.output = {"error : level 40  5 0"}; }},
    {"level without increment", "level 0 2", true, [](ReaderState& s) { s.output = {"error : level 0 2"}; }},
    {"level bad minutes with seconds", "level 0 x:30 0", true,
     [](ReaderState& s) { s.output = {"error : level 0 x:30 0"}; }},
    {"level bad seconds", "level 0 1:x 0", true, [](ReaderState& s) { s.output = {"error : level 0 1:x 0"}; }},
    {"level no seconds", "level 0 1: 0", true, [](ReaderState& s) { s.output = {"error : level 0 1: 0"}; }},
    {"level negative seconds", "level 0 1:-5 0", true,
     [](ReaderState& s) { s.output = {"error : level 0 1:-5 0"}; }},
    {"level bad moves", "level forty 5 0", true, [](ReaderState& s) { s.output = {"error : level forty 5 0"}; }},
    {"level alone", "level", true, [](ReaderState& s) { s.output = {"error : level"}; }},
    {"ping while waiting", "ping 5", true, [](ReaderState& s) { s.output = {"pong 5"}; }},
    {"ping while moving", "ping 12", false, [](ReaderState& s) { s.output = {"pong 12"}; }},
    {"ping alone", "ping", true, [](ReaderState& s) { s.output = {"pong "}; }},
    {"playother", "playother", false,
     [](ReaderState& s) {
         s.humanToMove = true;
         s.autoPlay = false;
     }},
    {"time", "time 30000", true, [](ReaderState& s) { s.timeMs = 300000; }},
    {"time with a fraction", "time 123.45", true, [](ReaderState& s) { s.timeMs = 1234; }},
    {"time not a number", "time 12x", true, [](ReaderState& s) { s.output = {"error : time 12x"}; }},
    {"time alone", "time", true, [](ReaderState& s) { s.output = {"error : time"}; }},
    {"otim", "otim 500", true, [](ReaderState& s) { s.otimMs = 5000; }},
    {"usermove with promotion", "usermove e7e8q", true, UserMove<E7, E8, QUEEN>},
    {"bare move with promotion", "e7e8q", true, UserMove<E7, E8, QUEEN>},
    {"bare knight promotion", "a2a1n", true, UserMove<A2, A1, KNIGHT>},
    {"usermove without promotion", "usermove g1f3", true, UserMove<G1, F3>},
    {"unknown promotion letter", "h7h8k", true, UserMove<H7, H8>},
    {"a move that starts like a keyword", "h2h4", true, UserMove<H2, H4>},
    {"usermove off the board", "usermove e2e9", true,
     [](ReaderState& s) { s.output = {"Illegal move: usermove e2e9"}; }},
    {"upper-case move", "E2E4", true, [](ReaderState& s) { s.output = {"Illegal move: E2E4"}; }},
    {"move with a percent sign", "a1%d", true, [](ReaderState& s) { s.output = {"Illegal move: a1%d"}; }},
    {"short usermove", "usermove e2", true, [](ReaderState&) {}},
    {"xboard", "xboard", true, [](ReaderState&) {}},
    {"protover", "protover 2", true, [](ReaderState&) {}},
    {"accepted", "accepted usermove", true, [](ReaderState&) {}},
    {"rejected", "rejected san", true, [](ReaderState&) {}},
    {"empty line", "", true, [](ReaderState&) {}},
    {"ignored draw", "draw", false, [](ReaderState&) {}},
    {"ignored black", "black", true, [](ReaderState&) {}},
    {"ignored sd", "sd 12", true, [](ReaderState&) {}},
    {"ignored variant", "variant normal", true, [](ReaderState&) {}},
    {"ignored computer", "computer", true, [](ReaderState&) {}},
};

// Everything the queue holds now, taken out.
std::vector<ProtocolCommand> TakeAll() {
    std::vector<ProtocolCommand> all;
    ProtocolCommand c;
    while (TakeProtocolCommand(&c)) all.push_back(c);
    return all;
}

std::vector<std::string> LinesOf(const std::vector<ProtocolCommand>& commands) {
    std::vector<std::string> lines;
    for (const auto& c : commands) lines.push_back(c.endOfInput ? "<end>" : c.line);
    return lines;
}

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

}  // namespace

class ProtocolTest : public QObject, public WindowFixture<> {
    Q_OBJECT

private slots:
    void init() {
        ResetWindowTest();
        ResetProtocolState();
        LearnResult = -1.0;
    }

    void cleanup() {
        CloseWindow();
        ResetProtocolState();
    }

    // Each line against the whole state: what it must change and that it
    // changes nothing else.
    void eachLineChangesWhatItsKeywordSays() {
        for (const LineCase& c : LineCases) {
            ResetProtocolState();
            SetStartState(c.humanToMove);
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
    }

    // A drawn result already judged keeps its value.
    void aReportedDrawDoesNotOverwriteAResult() {
        LearnResult = 1.0;
        HandleProtocolLine("result 1/2-1/2", [](const std::string&) {});
        QCOMPARE(LearnResult, 1.0);
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

    // The reader queues every line as it comes, whatever waits in the
    // mailbox; lines that came together are queued together; the end of
    // input is queued last and ends the reader.
    void theReaderQueuesEveryLineInOrder() {
        Pipe p;
        ProtocolInput in(p.ReadEnd());
        PendingCommand = CMD_HIDE_WINDOW;  // no command is carried out meanwhile
        const i64 before = ProtocolClockMs();
        xboard reader(true, &in);
        reader.Resume();
        p.Write("ping 1\nusermove e2e4\nping 2\n");
        QTRY_VERIFY_WITH_TIMEOUT(ProtocolCommandsWaiting(), HangMs);
        const auto first = TakeAll();
        QCOMPARE(LinesOf(first), (std::vector<std::string>{"ping 1", "usermove e2e4", "ping 2"}));
        for (const auto& c : first) QVERIFY(c.receivedMs >= before && c.receivedMs <= ProtocolClockMs());

        p.Write("st x\n");
        p.CloseWrite();
        QTRY_VERIFY_WITH_TIMEOUT(reader.isFinished(), HangMs);
        QCOMPARE(LinesOf(TakeAll()), (std::vector<std::string>{"st x", "<end>"}));
        QCOMPARE(PendingCommand.load(), CMD_HIDE_WINDOW);  // the reader posts nothing itself
    }

    void theReaderStopsAfterQuit() {
        Pipe p;
        ProtocolInput in(p.ReadEnd());
        xboard reader(false, &in);
        p.Write("ping 2\nquit\nping 3\n");
        QTRY_VERIFY_WITH_TIMEOUT(reader.isFinished(), HangMs);
        QCOMPARE(LinesOf(TakeAll()), (std::vector<std::string>{"ping 2", "quit"}));
    }

    // A reader waiting for input is stopped by its destruction: no input
    // ever comes, so a reader that waited for some would hang here.
    void aWaitingReaderIsStoppedByItsDestruction() {
        Pipe p;
        ProtocolInput in(p.ReadEnd());
        auto reader = std::make_unique<xboard>(false, &in);
        QVERIFY(reader->isRunning());
        reader.reset();
    }

    // What a waiting command does to a running search: a ponder search ends
    // for any, the engine's own search for a cancel or "?", and only a
    // cancel keeps the engine's move from being played.
    void whatAWaitingCommandDoesToASearch() {
        MakeWindow();
        ProtocolMode = true;
        struct {
            ProtocolCommand command;
            bool cancels;
            bool stops;
        } const cases[] = {{{"force"}, true, true},         {{"result 1-0"}, true, true},
                           {{"new"}, true, true},           {{"quit"}, true, true},
                           {{"", true}, true, true},        {{"?"}, false, true},
                           {{"easy"}, false, false},        {{"ping 3"}, false, false},
                           {{"time 100"}, false, false},    {{"usermove e2e4"}, false, false},
                           {{"forced"}, true, true},        {{"newt"}, true, true}};
        QVERIFY(!w->EngineMoveCancelled());
        for (const auto& c : cases) {
            const char* name = c.command.endOfInput ? "end of input" : c.command.line.c_str();
            for (const bool pondering : {false, true}) {
                ResetProtocolState();
                QueueProtocolCommands({ProtocolCommand{"ping 1"}, c.command});
                Pondering = pondering;
                StopSearch = false;
                w->StopSearchForProtocol();
                QVERIFY2(StopSearch == (c.stops || pondering), name);
                QVERIFY2(w->EngineMoveCancelled() == c.cancels, name);
            }
        }
        Pondering = false;
        StopSearch = false;
        ProtocolMode = false;
    }

    // A stop signal stops the search, cancels the engine's move and ends the
    // program at the next tick.
    void aStopSignal() {
        MakeWindow();
        w->Timer1->start();
        ProtocolMode = true;
        InstallStopSignals();
        for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
            ResetProtocolState();
            StopSearch = false;
            std::raise(sig);
            QVERIFY(StopSignalled());
            QVERIFY(StopSearch);
            QVERIFY(w->EngineMoveCancelled());
        }
        for (const int sig : {SIGTERM, SIGINT, SIGHUP}) std::signal(sig, SIG_DFL);
        QueueProtocolCommands({{"ping 1"}});
        w->Timer1Timer();
        QVERIFY(!w->Timer1->isActive());
        QVERIFY(w->protocol.empty());  // nothing more is carried out
        ResetProtocolState();
        ProtocolMode = false;
    }

    // ----------------------------------------------------------- window

    // The protocol branch of the show handler: nothing of the window is
    // left to see, the sound is off, the reader starts, "feature done=1" is
    // written, and the commands wait until the first tick has hidden the
    // window. Every answer then comes from the GUI thread, in order.
    void theShowHandlerStartsProtocolMode() {
        Pipe in, out;
        ProtocolInput input(in.ReadEnd());
        const int old = SetProtocolOutputFd(out.WriteEnd());
        ProtocolMode = true;
        {
            // Made here: the reader's input outlives the window.
            TestWindow window;
            window.Timer1->stop();
            window.ProtocolReaderInput = &input;
            window.FormShow();
            QVERIFY(!window.isVisible());
            QVERIFY(window.Panel3->isHidden());
            const auto menus = window.menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
            QVERIFY(!menus.isEmpty());
            for (QMenu* m : menus) QVERIFY2(!m->menuAction()->isVisible(), qPrintable(m->title()));
            QVERIFY(!SoundsOn);
            QVERIFY(window.MediaPlayer == nullptr);  // no audio output in protocol mode
            QCOMPARE(PendingCommand.load(), CMD_HIDE_WINDOW);
            QCOMPARE(window.protocol, std::vector<std::string>{"feature done=1"});

            in.Write("ping 4\nst x\nping 5\n");
            QTRY_VERIFY_WITH_TIMEOUT(ProtocolCommandsWaiting(), HangMs);
            QCOMPARE(window.protocol.size(), std::size_t{1});
            window.Timer1Timer();  // hides the window; the commands may follow
            QCOMPARE(PendingCommand.load(), 0);
            QCOMPARE(window.protocol.size(), std::size_t{1});
            window.Timer1Timer();
            QCOMPARE(window.protocol, (std::vector<std::string>{"feature done=1", "pong 4", "error : st x", "pong 5"}));
        }  // the reader ends with the window
        ProtocolMode = false;
        SetProtocolOutputFd(old);
        out.CloseWrite();
        QCOMPARE(Drain(out.ReadEnd()), std::string());  // the reader writes nothing itself
    }

    // What the reader receives wakes the game loop: the window is hidden and
    // each ping answered as soon as the GUI thread processes events, with no
    // beat of Timer1.
    void receivedLinesAreCarriedOutAtOnce() {
        Pipe in;
        ProtocolInput input(in.ReadEnd());
        ProtocolMode = true;
        {
            TestWindow window;
            int beats = 0;
            connect(window.Timer1, &QTimer::timeout, &window, [&] { ++beats; });
            window.Timer1->start(24 * 3600 * 1000);  // running, but its first beat comes long after the test
            window.ProtocolReaderInput = &input;
            window.FormShow();
            in.Write("ping 1\n");
            QTRY_COMPARE_WITH_TIMEOUT(window.protocol, (std::vector<std::string>{"feature done=1", "pong 1"}), HangMs);
            QCOMPARE(PendingCommand.load(), 0);
            in.Write("st x\nping 2\n");
            QTRY_COMPARE_WITH_TIMEOUT(window.protocol.size(), std::size_t{4}, HangMs);
            QCOMPARE(window.protocol[2], std::string("error : st x"));
            QCOMPARE(window.protocol[3], std::string("pong 2"));
            QCOMPARE(beats, 0);
        }
        ProtocolMode = false;
    }

    // "st" reaches the seconds box and the budget as it is carried out.
    void stSetsTheSecondsPerMove() {
        MakeWindow();
        ProtocolMode = true;
        QueueProtocolCommands({{"st 7"}, {"ping 1"}});
        w->Timer1Timer();
        QVERIFY(frmLevels != nullptr);
        QCOMPARE(frmLevels->cboxSecs1->currentText(), QString("7"));
        QCOMPARE(TargetTimeMs, 7000.0);
        QCOMPARE(w->protocol, std::vector<std::string>{"pong 1"});
        ProtocolMode = false;
    }

    // The engine's move counts its time from when the reader received the
    // command that asked for it.
    void theMoveCountsFromTheCommandsArrival() {
        MakeWindow();
        ProtocolMode = true;
        i64 start = 0;
        w->duringComputerMove = [&] {
            start = w->MoveRequestTick();
            HumanToMove = true;
        };
        QueueProtocolCommands({{"go", false, ProtocolClockMs() - 300}});
        w->Timer1Timer();
        QCOMPARE(w->calls, std::vector<std::string>{"ComputerMove"});
        // 300 ms and the moments the test took since (a minute at most).
        QVERIFY2(start <= w->now - 300 && start > w->now - 60300, qPrintable(QString::number(w->now - start)));
        QCOMPARE(w->MoveRequestTick(), w->now);  // once only
        ProtocolMode = false;
    }

    // "time" is the clock of the side the engine plays when it next moves:
    // white after "go", black after the peer's first move.
    void protocolTimesBelongToTheSideTheEngineMovesFor() {
        for (const bool engineWhite : {true, false}) {
            ResetForWindowTest(&boxes);
            MakeWindow();
            TimeControlType = TIME_BLITZ;
            BlitzMinutes = 5;
            BlitzBonus = 0;
            w->MoveStartTick = w->now;
            double white = 0, black = 0;
            w->duringComputerMove = [&] {
                white = w->WhiteLeftMs;
                black = w->BlackLeftMs;
            };
            const ProtocolSender none = [](const std::string&) {};
            HandleProtocolLine("time 20000", none);
            HandleProtocolLine("otim 15000", none);
            if (engineWhite) {
                HandleProtocolLine("go", none);
            } else {
                HandleProtocolLine("usermove e2e4", none);
            }
            for (int i = 0; i < 4 && (w->calls.empty() || w->calls.back() != "ComputerMove"); ++i) w->Timer1Timer();
            QVERIFY(!w->calls.empty());
            QCOMPARE(w->calls.back(), std::string("ComputerMove"));
            QCOMPARE(engineWhite ? white : black, 200000.0);
            QCOMPARE(engineWhite ? black : white, 150000.0);
        }
    }

};

QTEST_MAIN(ProtocolTest)
#include "test_protocol.moc"
