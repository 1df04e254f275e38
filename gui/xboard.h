// Protocol mode: the first-word test, standard input read line by line, the
// protocol output, the queue of received commands, the keyword table with
// its level and move parsers, and the reader thread `xboard` itself.
//
// The reader thread only reads: it appends every line to the command queue,
// in order, and the GUI thread carries the commands out one after the other,
// each on the state the ones before it left. The reader never touches a
// widget, a game flag or the output.
#pragma once

#include <QThread>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "types.h"

class MessageBoxes;

// ---------------------------------------------------------------- input

// Buffered reading of a file descriptor: the first word at start-up, then
// whole lines. Used by one thread at a time.
class ProtocolInput {
public:
    explicit ProtocolInput(int fd) : Fd(fd) {}
    ProtocolInput(const ProtocolInput&) = delete;
    ProtocolInput& operator=(const ProtocolInput&) = delete;

    // One word of at most 80 characters, leading white space skipped; the
    // character after it stays unread. Empty when the input ends first.
    std::string ReadWord();

    enum class Result { Line, End, Stopped };
    // The next line, of any length, without its line feed and without a
    // trailing carriage return. A last line without a line feed still counts.
    // End once no further line can be read (end of input or a read error);
    // Stopped when stop() turned true while waiting for input (stop is asked
    // at least every 100 ms; an empty stop waits for good).
    Result ReadLine(std::string* line, const std::function<bool()>& stop = {});

    // A whole line has been read ahead: the next ReadLine returns it at once.
    bool HasBufferedLine() const;

private:
    // Reads more into Buffer; false at end of input or when stopped.
    bool Fill(const std::function<bool()>& stop, bool* stopped);

    int Fd;
    std::string Buffer;
    std::size_t Start = 0;    // first unread character
    std::size_t Scanned = 0;  // Buffer[Start, Scanned) holds no line feed
    bool AtEnd = false;
};

// The process's standard input.
ProtocolInput& StandardInput();

// True when the input's first word contains "xboard" (case-sensitive).
bool FirstWordSelectsProtocol(ProtocolInput& input);

// The start-up test: false at once when standard input is a terminal (a
// start from a terminal must not wait for typing); otherwise the first word
// of standard input decides, and no input at all means window mode.
bool DetectProtocolMode();

// --------------------------------------------------------------- output

// Writes one whole line and a line feed in one write, under a lock, so
// lines of the two threads never mix. Text is written literally. The only
// writer of the protocol's output; safe from any thread.
void SendProtocolLine(const std::string& line);

// For protocol mode, before anything is written: SIGPIPE ignored, and the
// protocol keeps standard output for itself (anything else that writes to
// standard output lands on standard error instead).
void PrepareProtocolOutput();

// The descriptor SendProtocolLine writes to (standard output until
// PrepareProtocolOutput); returns the previous one.
int SetProtocolOutputFd(int fd);

using ProtocolSender = std::function<void(const std::string&)>;

// The five opening feature lines.
void SendOpeningFeatures(const ProtocolSender& send);

// Message boxes for protocol mode: none is ever shown; every box answers as
// if closed at once (Ok, No or Cancel).
MessageBoxes* ProtocolMessageBoxes();

// ------------------------------------------------------ the command queue

// A received line, or the end of the input.
struct ProtocolCommand {
    std::string line;
    bool endOfInput = false;
    i64 receivedMs = 0;  // ProtocolClockMs() when the reader received it
};

// Milliseconds of a steady clock, for the time a command was received.
i64 ProtocolClockMs();

// The commands received and not yet carried out, oldest first. The reader
// appends (a batch at once, so lines that came together are seen together);
// the GUI thread takes them in order. Safe from any thread.
void QueueProtocolCommands(std::vector<ProtocolCommand> commands);
bool TakeProtocolCommand(ProtocolCommand* command);
bool ProtocolCommandsWaiting();

// A waiting command ends the engine's move under way without playing it
// ("force", "result", "new", "quit", the end of input).
bool EngineMoveCancelWaiting();
// A waiting command must end the engine's search now: a cancel, or "?" (the
// engine plays its best move so far).
bool SearchInterruptWaiting();

// SIGTERM, SIGINT and SIGHUP: the running search is stopped and the program
// ends at the next tick of the game loop, with status 0. The handler only
// raises flags, so a learning-book record being written is finished first.
void InstallStopSignals();
bool StopSignalled();

// The FEN text of the last "setboard" (PendingPositionText). The position
// loader takes it (and so empties the slot). In protocol mode an empty text
// must not make the loader open its file dialog.
void SetPendingPositionText(const std::string& text);
std::string TakePendingPositionText();

// "st": the seconds per move, for the GUI thread to put into the time-control
// dialog's seconds field and TargetTimeMs.
extern int ProtocolSecondsPerMove;
extern bool ProtocolSecondsPending;

// Start-up values of the protocol state above (queue and slots emptied).
void ResetProtocolState();

// ---------------------------------------------------------------- parsers

// The line without its first n characters; empty when it is shorter.
std::string RestAfter(std::string_view line, std::size_t n);

// A whole decimal number with an optional sign and nothing else.
bool ParseProtocolInteger(std::string_view text, int* out);

// A decimal number with an optional sign and fraction, nothing else.
bool ParseProtocolNumber(std::string_view text, double* out);

// "level MPS BASE INC". BASE is whole minutes or minutes:seconds; INC is
// seconds, with a fraction kept to the millisecond.
struct ProtocolLevel {
    int moves = 0;
    double minutes = 0;
    double increment = 0;
};
bool ParseLevel(std::string_view line, ProtocolLevel* level);

// A move line: "usermove" plus squares, or a bare move of 4 or 5 characters.
enum class MoveLineKind { NotAMove, Unreadable, Move };
struct ProtocolMove {
    int from = 0;
    int to = 0;
    int promotion = 0;  // 0 none, 2 knight, 3 bishop, 4 rook, 5 queen
};
MoveLineKind ParseMoveLine(std::string_view line, ProtocolMove* move);

// ---------------------------------------------------------- the commands

// Carries out one received line on the GUI thread (keyword table in its
// order, else a move, else nothing): flags set, a command posted, answers
// sent. False for "quit": no later line is carried out.
bool HandleProtocolLine(const std::string& line, const ProtocolSender& send);

// The end of standard input acts as "quit".
void HandleEndOfInput();

// ------------------------------------------------------------- the thread

// The reader: queues every line it reads, as it reads it, and then calls
// wake (on its own thread). Ends after "quit" or the end of input (queued as
// a command of its own), or when asked to stop.
class xboard : public QThread {
public:
    explicit xboard(bool CreateSuspended, ProtocolInput* input = &StandardInput(),
                    std::function<void()> wake = {});
    // Asks the loop to stop and waits for it.
    ~xboard() override;

    void Resume() { start(); }

protected:
    void run() override { Execute(); }
    void Execute();

private:
    ProtocolInput* Input;
    std::function<void()> Wake;
};
