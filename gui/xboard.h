// Protocol mode: the first-word test, standard input read line by line, the
// protocol output, the slots the reader thread shares with the GUI thread,
// the keyword table with its level and move parsers, and the reader thread
// `xboard` itself.
//
// The reader thread shares state with the GUI thread only through atomics
// and the mutex-guarded texts below; it never touches a widget and never
// writes anything but its own error lines.
#pragma once

#include <QThread>

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

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

// ----------------------------------------- slots shared with the GUI thread

// The argument of the last "ping" (PendingPing), guarded.
void SetPendingPing(const std::string& argument);
// Takes the waiting ping argument and empties the slot; false when none waits.
bool TakePendingPing(std::string* argument);

// The FEN text of the last "setboard" (PendingPositionText), guarded. The
// position loader takes it (and so empties the slot). In protocol mode an
// empty text must not make the loader open its file dialog.
void SetPendingPositionText(const std::string& text);
std::string TakePendingPositionText();

// Raised by "force", "result", "new", "quit" and the end of input, before
// they raise StopSearch: an engine move whose search was under way when the
// count changed must be neither played nor sent.
extern std::atomic<unsigned> EngineMoveCancels;

// "st": the seconds per move, for the GUI thread to put into the time-control
// dialog's seconds field and TargetTimeMs.
extern std::atomic<int> ProtocolSecondsPerMove;
extern std::atomic<bool> ProtocolSecondsPending;

// "result" holding "1/2-1/2": the GUI thread sets LearnResult to 0.5 when it
// is still -1.
extern std::atomic<bool> ProtocolDrawReported;

// Start-up values of the protocol state above (slots emptied).
void ResetProtocolState();

// ------------------------------------------------------- the mailbox wait

// Called by the GUI thread whenever PendingCommand may have been cleared
// (after every tick): wakes the reader waiting for it.
void SignalMailbox();

// Waits until PendingCommand is 0; false when stop() turned true first
// (asked at least every 100 ms).
bool WaitForEmptyMailbox(const std::function<bool()>& stop);

// ---------------------------------------------------------------- parsers

// The line without its first n characters; empty when it is shorter.
std::string RestAfter(std::string_view line, std::size_t n);

// A whole decimal number with an optional sign and nothing else.
bool ParseProtocolInteger(std::string_view text, int* out);

// A decimal number with an optional sign and fraction, nothing else.
bool ParseProtocolNumber(std::string_view text, double* out);

// "level MPS BASE INC". BASE may be minutes:seconds (the seconds are
// dropped); INC may have a fraction (rounded down to whole seconds).
struct ProtocolLevel {
    int moves = 0;
    int minutes = 0;
    int increment = 0;
    bool secondsDropped = false;  // BASE had a colon (reported even when a later conversion fails)
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

// Acts on one received line (keyword table in its order, else a move, else
// nothing). False when the reader is to stop ("quit").
bool HandleProtocolLine(const std::string& line, const ProtocolSender& send);

// The end of standard input acts as "quit".
void HandleEndOfInput();

// ------------------------------------------------------------- the thread

// The reader: reads a line only while no posted command waits, and acts on
// it. Ends after "quit" or the end of input, or when asked to stop.
class xboard : public QThread {
public:
    explicit xboard(bool CreateSuspended, ProtocolSender send = SendProtocolLine,
                    ProtocolInput* input = &StandardInput());
    // Asks the loop to stop and waits for it.
    ~xboard() override;

    void Resume() { start(); }

protected:
    void run() override { Execute(); }
    void Execute();

private:
    ProtocolSender Send;
    ProtocolInput* Input;
};
