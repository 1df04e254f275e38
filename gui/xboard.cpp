#include "xboard.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <mutex>

#include "bitboard.h"
#include "globals.h"
#include "guiglobals.h"
#include "messageboxes.h"

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

// ----------------------------------------- slots shared with the GUI thread

namespace {
std::mutex SlotLock;  // guards PendingPing and PendingPositionText
}  // namespace

std::atomic<unsigned> EngineMoveCancels{0};
std::atomic<int> ProtocolSecondsPerMove{0};
std::atomic<bool> ProtocolSecondsPending{false};
std::atomic<bool> ProtocolDrawReported{false};

void SetPendingPing(const std::string& argument) {
    std::lock_guard<std::mutex> lock(SlotLock);
    PendingPing = argument;
}

bool TakePendingPing(std::string* argument) {
    std::lock_guard<std::mutex> lock(SlotLock);
    if (PendingPing.empty()) return false;
    *argument = std::move(PendingPing);
    PendingPing.clear();
    return true;
}

void SetPendingPositionText(const std::string& text) {
    std::lock_guard<std::mutex> lock(SlotLock);
    PendingPositionText = text;
}

std::string TakePendingPositionText() {
    std::lock_guard<std::mutex> lock(SlotLock);
    std::string text = std::move(PendingPositionText);
    PendingPositionText.clear();
    return text;
}

void ResetProtocolState() {
    {
        std::lock_guard<std::mutex> lock(SlotLock);
        PendingPing.clear();
        PendingPositionText.clear();
    }
    EngineMoveCancels = 0;
    ProtocolSecondsPerMove = 0;
    ProtocolSecondsPending = false;
    ProtocolDrawReported = false;
}

// ------------------------------------------------------- the mailbox wait

namespace {
std::mutex MailboxLock;
std::condition_variable MailboxCleared;
}  // namespace

void SignalMailbox() {
    // Taking the lock orders this wake-up after a waiter's test of the
    // mailbox, so it cannot be lost.
    { std::lock_guard<std::mutex> lock(MailboxLock); }
    MailboxCleared.notify_all();
}

bool WaitForEmptyMailbox(const std::function<bool()>& stop) {
    std::unique_lock<std::mutex> lock(MailboxLock);
    for (;;) {
        if (stop && stop()) return false;
        if (PendingCommand == 0) return true;
        MailboxCleared.wait_for(lock, std::chrono::milliseconds(STOP_POLL_MS));
    }
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
    // Real interfaces send fractional increments ("0.5"): whole seconds, rounded down.
    double increment = 0;
    if (!ParseProtocolNumber(inc, &increment)) return false;
    const double wholeIncrement = std::floor(increment);
    if (wholeIncrement < INT_MIN || wholeIncrement > INT_MAX) return false;
    if (const std::size_t colon = base.find(':'); colon != std::string::npos) {
        base.resize(colon);
        level->secondsDropped = true;
    }
    int minutes = 0;
    if (!ParseProtocolInteger(base, &minutes)) return false;
    level->moves = moves;
    level->minutes = minutes;
    level->increment = static_cast<int>(wholeIncrement);
    return true;
}

namespace {

int SquareByName(std::string_view text) {
    for (int sq = 0; sq < 64; ++sq)
        if (SquareNames[sq] == text) return sq;
    return -1;
}

int PromotionByLetter(char c) {
    switch (c) {
        case 'q':
            return 5;
        case 'r':
            return 4;
        case 'b':
            return 3;
        case 'n':
            return 2;
        default:
            return 0;
    }
}

}  // namespace

MoveLineKind ParseMoveLine(std::string_view line, ProtocolMove* move) {
    std::string_view from, to;
    char promotion = 0;
    if (line.substr(0, 8) == "usermove" && line.size() >= 13) {
        from = line.substr(9, 2);
        to = line.substr(11, 2);
        if (line.size() > 13) promotion = line[13];
    } else if ((line.size() == 4 || line.size() == 5) &&
               ((line[0] >= 'a' && line[0] <= 'h') || (line[0] >= 'A' && line[0] <= 'H')) && line[1] >= '1' &&
               line[1] <= '8') {
        from = line.substr(0, 2);
        to = line.substr(2, 2);
        if (line.size() == 5) promotion = line[4];
    } else {
        return MoveLineKind::NotAMove;
    }
    const int f = SquareByName(from);
    const int t = SquareByName(to);
    if (f < 0 || t < 0) return MoveLineKind::Unreadable;
    move->from = f;
    move->to = t;
    move->promotion = PromotionByLetter(promotion);
    return MoveLineKind::Move;
}

// ---------------------------------------------------------- the commands

namespace {

struct Context {
    const std::string& line;
    const ProtocolSender& send;
    bool running = true;
};

// A command that ends the engine's move under way without playing it: the
// count is raised after the command's own changes and before StopSearch.
void CancelEngineMove() {
    ++EngineMoveCancels;
    StopSearch = true;
}

void QuitActions() {
    PendingCommand = CMD_QUIT;
    CancelEngineMove();
}

void Quit(Context& c) {
    c.running = false;
    QuitActions();
}

void St(Context& c) {
    TimeControlType = 1;
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
    const bool ok = ParseLevel(c.line, &level);
    if (level.secondsDropped) c.send("error (throwing away the seconds): " + c.line);
    if (!ok) {
        c.send("error : " + c.line);
        return;
    }
    if (level.moves != 0) {
        TimeControlType = 4;
        TournamentMoves = level.moves;
        TournamentMinutes = level.minutes;
        TournamentRest = 0;
    } else {
        TimeControlType = 2;
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

struct Keyword {
    const char* word;
    void (*act)(Context&);
};

// Matched in this order; a keyword matches every line that begins with it.
const Keyword Keywords[] = {
    {"hard", [](Context&) { PonderEnabled = true; }},
    {"easy",
     [](Context&) {
         PonderEnabled = false;
         if (Pondering) StopSearch = true;  // never the engine's own search
     }},
    {"post", [](Context&) { PostThinking = true; }},
    {"nopost", [](Context&) { PostThinking = false; }},
    {"?",
     [](Context&) {
         if (!Pondering) StopSearch = true;
     }},
    {"new",
     [](Context&) {
         HumanVsHuman = false;
         PendingCommand = CMD_NEW_GAME;
         CancelEngineMove();
     }},
    {"setboard",
     [](Context& c) {
         SetPendingPositionText(RestAfter(c.line, 9));
         PendingCommand = CMD_LOAD_POSITION;
         StopSearch = true;
     }},
    {"result",
     [](Context& c) {
         if (c.line.find("1/2-1/2") != std::string::npos) ProtocolDrawReported = true;
         HumanVsHuman = true;
         CancelEngineMove();
     }},
    {"go",
     [](Context&) {
         HumanVsHuman = false;
         if (HumanToMove) {
             HumanToMove = false;
             StopSearch = true;
         }
     }},
    {"remove",
     [](Context&) {
         if (!HumanToMove) return;
         PendingCommand = CMD_UNDO_TWO;
         StopSearch = true;
     }},
    {"undo",
     [](Context&) {
         if (!HumanToMove) return;
         PendingCommand = CMD_UNDO;
         StopSearch = true;
     }},
    {"quit", Quit},
    {"force",
     [](Context&) {
         InfiniteSearch = false;
         HumanVsHuman = true;
         AutoPlay = false;
         CancelEngineMove();
     }},
    {"st", St},
    {"level", Level},
    {"ping",
     [](Context& c) {
         SetPendingPing(RestAfter(c.line, 5));
         if (HumanToMove) StopSearch = true;  // a ponder search ends so the tick can answer
     }},
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

}  // namespace

bool HandleProtocolLine(const std::string& line, const ProtocolSender& send) {
    Context c{line, send};
    for (const Keyword& k : Keywords) {
        if (line.starts_with(k.word)) {
            k.act(c);
            return c.running;
        }
    }
    ProtocolMove move;
    switch (ParseMoveLine(line, &move)) {
        case MoveLineKind::Move:
            UserMoveFrom = move.from;
            UserMoveTo = move.to;
            UserMovePromotion = move.promotion;
            PendingCommand = CMD_USER_MOVE;
            StopSearch = true;
            break;
        case MoveLineKind::Unreadable:
            send("Illegal move: " + line);
            break;
        case MoveLineKind::NotAMove:
            break;
    }
    return true;
}

void HandleEndOfInput() { QuitActions(); }

// ------------------------------------------------------------- the thread

xboard::xboard(bool CreateSuspended, ProtocolSender send, ProtocolInput* input)
    : Send(send ? std::move(send) : ProtocolSender(SendProtocolLine)), Input(input) {
    setObjectName("xboard");
    if (!CreateSuspended) start();
}

xboard::~xboard() {
    requestInterruption();
    wait();
}

void xboard::Execute() {
    const std::function<bool()> stop = [this] { return isInterruptionRequested(); };
    bool running = true;
    while (running && !stop()) {
        // No line is read while a posted command waits.
        if (!WaitForEmptyMailbox(stop)) break;
        std::string line;
        const ProtocolInput::Result r = Input->ReadLine(&line, stop);
        if (r == ProtocolInput::Result::Stopped) break;
        if (r == ProtocolInput::Result::End) {
            HandleEndOfInput();
            break;
        }
        running = HandleProtocolLine(line, Send);
    }
}
