#include "xboard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <deque>
#include <mutex>

#include "bitboard.h"
#include "globals.h"
#include "guiglobals.h"
#include "messageboxes.h"
#include "movetext.h"

// ---------------------------------------------------------------- input

namespace {

constexpr std::size_t FIRST_WORD_LIMIT = 80;
constexpr int STOP_POLL_MS = 100;
constexpr std::size_t READ_CHUNK = 4096;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

bool ProtocolInput::Fill(const std::function<bool()>& stop, bool* stopped) {
    *stopped = false;
    if (AtEnd) return false;
    // Drop what has been handed out once it is worth the move.
    if (Start == Buffer.size()) {
        Buffer.clear();
        Start = Scanned = 0;
    } else if (Start > READ_CHUNK) {
        Buffer.erase(0, Start);
        Scanned = Scanned > Start ? Scanned - Start : 0;
        Start = 0;
    }
    for (;;) {
        if (stop) {
            if (stop()) {
                *stopped = true;
                return false;
            }
            pollfd p{Fd, POLLIN, 0};
            const int r = ::poll(&p, 1, STOP_POLL_MS);
            if (r == 0 || (r < 0 && errno == EINTR)) continue;
            // Readable, hung up or failed: the read tells which.
        }
        char chunk[READ_CHUNK];
        const ssize_t n = ::read(Fd, chunk, sizeof chunk);
        if (n > 0) {
            Buffer.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        AtEnd = true;  // end of input, or an error no later read would mend
        return false;
    }
}

std::string ProtocolInput::ReadWord() {
    std::string word;
    bool stopped = false;
    for (;;) {
        while (Start < Buffer.size()) {
            const char c = Buffer[Start];
            if (IsBlank(c)) {
                if (!word.empty()) return word;
                ++Start;
                continue;
            }
            word.push_back(c);
            ++Start;
            if (word.size() == FIRST_WORD_LIMIT) return word;
        }
        Scanned = Start;
        if (!Fill({}, &stopped)) return word;
    }
}

ProtocolInput::Result ProtocolInput::ReadLine(std::string* line, const std::function<bool()>& stop) {
    for (;;) {
        const std::size_t nl = Buffer.find('\n', std::max(Scanned, Start));
        std::size_t end = nl;
        std::size_t next = nl + 1;
        if (nl == std::string::npos) {
            Scanned = Buffer.size();
            bool stopped = false;
            if (Fill(stop, &stopped)) continue;
            if (stopped) return Result::Stopped;
            if (Start == Buffer.size()) return Result::End;
            end = next = Buffer.size();  // the last line has no line feed
        }
        line->assign(Buffer, Start, end - Start);
        Start = Scanned = next;
        if (!line->empty() && line->back() == '\r') line->pop_back();
        return Result::Line;
    }
}

bool ProtocolInput::HasBufferedLine() const {
    return Buffer.find('\n', std::max(Scanned, Start)) != std::string::npos;
}

ProtocolInput& StandardInput() {
    static ProtocolInput input(STDIN_FILENO);
    return input;
}

bool FirstWordSelectsProtocol(ProtocolInput& input) {
    return input.ReadWord().find("xboard") != std::string::npos;
}

bool DetectProtocolMode() {
    if (::isatty(STDIN_FILENO)) return false;
    return FirstWordSelectsProtocol(StandardInput());
}

// --------------------------------------------------------------- output

namespace {

std::mutex OutputLock;
int OutputFd = STDOUT_FILENO;  // guarded by OutputLock

}  // namespace

void SendProtocolLine(const std::string& line) {
    std::string whole;
    whole.reserve(line.size() + 1);
    whole.append(line);
    whole.push_back('\n');
    std::lock_guard<std::mutex> lock(OutputLock);
    const char* p = whole.data();
    std::size_t left = whole.size();
    while (left > 0) {
        const ssize_t n = ::write(OutputFd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;  // the peer has gone (EPIPE) or the output is unusable
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

int SetProtocolOutputFd(int fd) {
    std::lock_guard<std::mutex> lock(OutputLock);
    const int old = OutputFd;
    OutputFd = fd;
    return old;
}

void PrepareProtocolOutput() {
    std::signal(SIGPIPE, SIG_IGN);
    const int own = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (own < 0) return;
    SetProtocolOutputFd(own);
    // Standard output is now the protocol's alone: whatever else writes to
    // it goes to standard error.
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
}

void SendOpeningFeatures(const ProtocolSender& send) {
    send("feature done=0");
    send("feature myname=\"Morlaquin " + VersionText + "\"");
    send("feature ping=1 setboard=1 reuse=1 time=1 usermove=1");
    send("feature sigint=0 sigterm=0 analyze=0 colors=0  draw=0");
    send("feature ics=0 name=0 pause=0 playother=0 san=0");
}

namespace {

class SilentBoxes : public MessageBoxes {
public:
    BoxAnswer Show(QWidget*, const QString&, const QString&, BoxButtons buttons) override {
        return ClosedBoxAnswer(buttons);
    }
};

}  // namespace

MessageBoxes* ProtocolMessageBoxes() {
    static SilentBoxes boxes;
    return &boxes;
}

// ------------------------------------------------------ the command queue

namespace {

std::mutex QueueLock;
std::deque<ProtocolCommand> Queue;  // guarded by QueueLock

bool AnyWaiting(bool (*test)(const ProtocolCommand&)) {
    std::lock_guard<std::mutex> lock(QueueLock);
    return std::any_of(Queue.begin(), Queue.end(), test);
}

bool CancelsEngineMove(const ProtocolCommand& c);
bool MovesNow(const ProtocolCommand& c);

volatile std::sig_atomic_t StopSignal = 0;

extern "C" void OnStopSignal(int) {
    StopSignal = 1;
    StopSearch = true;  // lock-free, so safe in a handler
}

}  // namespace

i64 ProtocolClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void QueueProtocolCommands(std::vector<ProtocolCommand> commands) {
    std::lock_guard<std::mutex> lock(QueueLock);
    for (auto& c : commands) Queue.push_back(std::move(c));
}

bool TakeProtocolCommand(ProtocolCommand* command) {
    std::lock_guard<std::mutex> lock(QueueLock);
    if (Queue.empty()) return false;
    *command = std::move(Queue.front());
    Queue.pop_front();
    return true;
}

bool ProtocolCommandsWaiting() {
    std::lock_guard<std::mutex> lock(QueueLock);
    return !Queue.empty();
}

bool EngineMoveCancelWaiting() { return AnyWaiting(CancelsEngineMove); }

bool SearchInterruptWaiting() {
    return AnyWaiting([](const ProtocolCommand& c) { return CancelsEngineMove(c) || MovesNow(c); });
}

void InstallStopSignals() {
    static_assert(std::atomic<bool>::is_always_lock_free);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &action, nullptr);
}

bool StopSignalled() { return StopSignal != 0; }

void SetPendingPositionText(const std::string& text) { PendingPositionText = text; }

std::string TakePendingPositionText() {
    std::string text = std::move(PendingPositionText);
    PendingPositionText.clear();
    return text;
}

int ProtocolSecondsPerMove = 0;
bool ProtocolSecondsPending = false;

void ResetProtocolState() {
    {
        std::lock_guard<std::mutex> lock(QueueLock);
        Queue.clear();
    }
    PendingPositionText.clear();
    ProtocolSecondsPerMove = 0;
    ProtocolSecondsPending = false;
    StopSignal = 0;
}

// ---------------------------------------------------------------- parsers

std::string RestAfter(std::string_view line, std::size_t n) {
    return n < line.size() ? std::string(line.substr(n)) : std::string();
}

bool ParseProtocolInteger(std::string_view text, int* out) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (negative) value = -value;
    if (value < INT_MIN || value > INT_MAX) return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParseProtocolNumber(std::string_view text, double* out) {
    // Far beyond any clock or level; keeps every later conversion defined.
    constexpr double LIMIT = 1e15;
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    double value = 0;
    double scale = 1;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') return false;
        digits = true;
        if (point) {
            scale /= 10;
            value += (c - '0') * scale;
        } else {
            value = value * 10 + (c - '0');
        }
        if (value > LIMIT) return false;
    }
    if (!digits) return false;
    *out = negative ? -value : value;
    return true;
}

bool ParseLevel(std::string_view line, ProtocolLevel* level) {
    *level = ProtocolLevel{};
    const std::string rest = RestAfter(line, 6);
    std::string mps, base, inc;
    const std::size_t b1 = rest.find(' ');
    if (b1 == std::string::npos) {
        mps = rest;
    } else {
        mps = rest.substr(0, b1);
        const std::string after = rest.substr(b1 + 1);
        const std::size_t b2 = after.find(' ');
        if (b2 == std::string::npos) {
            base = after;
        } else {
            base = after.substr(0, b2);
            inc = after.substr(b2 + 1);
            const std::size_t b3 = inc.find(' ');
            if (b3 != std::string::npos) inc.resize(b3);
        }
    }

    int moves = 0;
    if (!ParseProtocolInteger(mps, &moves)) return false;
    double increment = 0;
    if (!ParseProtocolNumber(inc, &increment)) return false;
    // Minutes, or minutes:seconds.
    int minutes = 0;
    int seconds = 0;
    const std::size_t colon = base.find(':');
    if (!ParseProtocolInteger(base.substr(0, colon), &minutes)) return false;
    if (colon != std::string::npos) {
        const std::string s = base.substr(colon + 1);
        if (s.empty() || s[0] < '0' || s[0] > '9' || !ParseProtocolInteger(s, &seconds)) return false;
    }
    level->moves = moves;
    level->minutes = minutes + seconds / 60.0;
    level->increment = std::round(increment * 1000) / 1000;
    return true;
}

namespace {

}  // namespace

MoveLineKind ParseMoveLine(std::string_view line, ProtocolMove* move) {
    std::string_view text;
    if (line.substr(0, 8) == "usermove" && line.size() >= 13) {
        text = line.substr(9);
    } else if ((line.size() == 4 || line.size() == 5) &&
               ((line[0] >= 'a' && line[0] <= 'h') || (line[0] >= 'A' && line[0] <= 'H')) && line[1] >= '1' &&
               line[1] <= '8') {
        text = line;
    } else {
        return MoveLineKind::NotAMove;
    }
    CoordinateMove parsed;
    if (!ParseCoordinateText(text, &parsed)) return MoveLineKind::Unreadable;
    move->from = parsed.from;
    move->to = parsed.to;
    move->promotion = parsed.promotion;
    return MoveLineKind::Move;
}

// ---------------------------------------------------------- the commands

namespace {

struct Context {
    const std::string& line;
    const ProtocolSender& send;
    bool running = true;
};

void Quit(Context& c) {
    c.running = false;
    PendingCommand = CMD_QUIT;
}

void St(Context& c) {
    TimeControlType = TIME_PER_MOVE;
    int seconds = 0;
    if (!ParseProtocolInteger(RestAfter(c.line, 3), &seconds)) {
        c.send("error : " + c.line);
        return;
    }
    ProtocolSecondsPerMove = seconds;
    ProtocolSecondsPending = true;
}

void Level(Context& c) {
    ProtocolLevel level;
    if (!ParseLevel(c.line, &level)) {
        c.send("error : " + c.line);
        return;
    }
    if (level.moves != 0) {
        TimeControlType = TIME_TOURNAMENT;
        TournamentMoves = level.moves;
        TournamentMinutes = level.minutes;
        TournamentRest = 0;
    } else {
        TimeControlType = TIME_BLITZ;
        BlitzMinutes = level.minutes;
        BlitzBonus = level.increment;
    }
}

// "time" and "otim": centiseconds, kept in whole milliseconds.
void Clock(Context& c, std::atomic<double>& slot) {
    double centiseconds = 0;
    if (!ParseProtocolNumber(RestAfter(c.line, 5), &centiseconds)) {
        c.send("error : " + c.line);
        return;
    }
    slot = std::trunc(centiseconds * 10);
}

void Ignore(Context&) {}

// What a waiting command does to the engine's search under way.
enum class Interrupt { None, MoveNow, Cancel };

struct Keyword {
    const char* word;
    void (*act)(Context&);
    Interrupt interrupt = Interrupt::None;
};

// Matched in this order; a keyword matches every line that begins with it.
// Each is carried out when no search runs: while one runs, a waiting cancel
// or "?" stops it, and any waiting command ends a ponder search.
const Keyword Keywords[] = {
    {"hard", [](Context&) { PonderEnabled = true; }},
    {"easy", [](Context&) { PonderEnabled = false; }},
    {"post", [](Context&) { PostThinking = true; }},
    {"nopost", [](Context&) { PostThinking = false; }},
    {"?", Ignore, Interrupt::MoveNow},
    {"new",
     [](Context&) {
         HumanVsHuman = false;
         PendingCommand = CMD_NEW_GAME;
     },
     Interrupt::Cancel},
    {"setboard",
     [](Context& c) {
         SetPendingPositionText(RestAfter(c.line, 9));
         PendingCommand = CMD_LOAD_POSITION;
     }},
    {"result",
     [](Context& c) {
         if (c.line.find("1/2-1/2") != std::string::npos && LearnResult == -1.0) LearnResult = 0.5;
         HumanVsHuman = true;
     },
     Interrupt::Cancel},
    {"go",
     [](Context&) {
         HumanVsHuman = false;
         HumanToMove = false;
     }},
    {"remove",
     [](Context&) {
         if (HumanToMove) PendingCommand = CMD_UNDO_TWO;
     }},
    {"undo",
     [](Context&) {
         if (HumanToMove) PendingCommand = CMD_UNDO;
     }},
    {"quit", Quit, Interrupt::Cancel},
    {"force",
     [](Context&) {
         InfiniteSearch = false;
         HumanVsHuman = true;
         AutoPlay = false;
     },
     Interrupt::Cancel},
    {"st", St},
    {"level", Level},
    // Everything before it has been carried out.
    {"ping", [](Context& c) { c.send("pong " + RestAfter(c.line, 5)); }},
    {"playother",
     [](Context&) {
         HumanVsHuman = false;
         HumanToMove = true;
         AutoPlay = false;
     }},
    {"time", [](Context& c) { Clock(c, XboardTimeMs); }},
    {"otim", [](Context& c) { Clock(c, XboardOtimMs); }},
    {"draw", Ignore},
    {"white", Ignore},
    {"black", Ignore},
    {"edit", Ignore},
    {"hint", Ignore},
    {"analyze", Ignore},
    {"name", Ignore},
    {"rating", Ignore},
    {"ics", Ignore},
    {"computer", Ignore},
    {"pause", Ignore},
    {"resume", Ignore},
    {"variant ", Ignore},
    {"sd ", Ignore},
    {"random", Ignore},
};

const Keyword* MatchKeyword(const std::string& line) {
    for (const Keyword& k : Keywords)
        if (line.starts_with(k.word)) return &k;
    return nullptr;
}

Interrupt InterruptOf(const ProtocolCommand& c) {
    if (c.endOfInput) return Interrupt::Cancel;
    const Keyword* k = MatchKeyword(c.line);
    return k ? k->interrupt : Interrupt::None;
}

bool CancelsEngineMove(const ProtocolCommand& c) { return InterruptOf(c) == Interrupt::Cancel; }

bool MovesNow(const ProtocolCommand& c) { return InterruptOf(c) == Interrupt::MoveNow; }

bool IsQuit(const std::string& line) {
    const Keyword* k = MatchKeyword(line);
    return k && k->act == Quit;
}

}  // namespace

bool HandleProtocolLine(const std::string& line, const ProtocolSender& send) {
    Context c{line, send};
    if (const Keyword* k = MatchKeyword(line)) {
        k->act(c);
        return c.running;
    }
    ProtocolMove move;
    switch (ParseMoveLine(line, &move)) {
        case MoveLineKind::Move:
            UserMoveFrom = move.from;
            UserMoveTo = move.to;
            UserMovePromotion = move.promotion;
            PendingCommand = CMD_USER_MOVE;
            break;
        case MoveLineKind::Unreadable:
            send("Illegal move: " + line);
            break;
        case MoveLineKind::NotAMove:
            break;
    }
    return true;
}

void HandleEndOfInput() { PendingCommand = CMD_QUIT; }

// ------------------------------------------------------------- the thread

xboard::xboard(bool CreateSuspended, ProtocolInput* input, std::function<void()> wake)
    : Input(input), Wake(std::move(wake)) {
    setObjectName("xboard");
    if (!CreateSuspended) start();
}

xboard::~xboard() {
    requestInterruption();
    wait();
}

void xboard::Execute() {
    const std::function<bool()> stop = [this] { return isInterruptionRequested(); };
    for (;;) {
        std::string line;
        ProtocolInput::Result r = Input->ReadLine(&line, stop);
        if (r == ProtocolInput::Result::Stopped) return;
        // The lines that came together go to the queue together.
        const i64 now = ProtocolClockMs();
        std::vector<ProtocolCommand> batch;
        bool last = false;
        while (r == ProtocolInput::Result::Line) {
            last = IsQuit(line);  // nothing after "quit" is carried out
            batch.push_back({std::move(line), false, now});
            if (last || !Input->HasBufferedLine()) break;
            r = Input->ReadLine(&line, stop);
        }
        if (r == ProtocolInput::Result::End) {
            batch.push_back({std::string(), true, now});
            last = true;
        }
        QueueProtocolCommands(std::move(batch));
        if (Wake) Wake();
        if (last) return;
    }
}
