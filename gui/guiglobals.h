// Front-end globals: the command mailbox, the game flags, the time control,
// the protocol's slots and the piece bitmaps' names. The flags are atomics,
// so that a search may read them while message handlers change them.
#pragma once

#include <atomic>
#include <string>

#include "timemanager.h"
#include "types.h"

// Command codes posted to PendingCommand (0 = nothing posted).
constexpr int CMD_UNDO = 1;
constexpr int CMD_REDO = 2;
constexpr int CMD_GOTO_END = 4;
constexpr int CMD_GOTO_START = 8;
constexpr int CMD_NEW_GAME = 16;
constexpr int CMD_QUIT = 32;
constexpr int CMD_OPEN_GAME = 64;
constexpr int CMD_SAVE_GAME = 128;
constexpr int CMD_UNDO_TWO = 256;
constexpr int CMD_LOAD_POSITION = 512;
constexpr int CMD_SAVE_GAME_AS = 1024;
constexpr int CMD_USER_MOVE = 2048;
constexpr int CMD_HIDE_WINDOW = 4096;
constexpr int CMD_LOAD_LISTED_GAME = 8192;

// One slot, no queue: a new post overwrites what is there.
extern std::atomic<int> PendingCommand;
// Posts the command for the game loop and stops a running search, so that
// the next tick carries it out.
void PostCommand(int command);

// Game flags.
extern std::atomic<bool> HumanToMove;   // the program waits for the user's (or the peer's) move
extern std::atomic<bool> AutoPlay;      // the computer plays both sides
extern std::atomic<bool> HumanVsHuman;  // the computer plays neither side (also force mode)
extern std::atomic<bool> ProtocolMode;  // driven over standard input and output
extern std::atomic<bool> PonderEnabled;
extern std::atomic<bool> PostThinking;
extern std::atomic<bool> LastMoveHighlight;
extern std::atomic<bool> SoundsOn;  // the move sound plays
extern std::atomic<bool> UseBook;        // the computer plays from its books
extern std::atomic<bool> ResignEnabled;  // the computer may resign
extern std::atomic<bool> BookLearningEnabled;  // results of games go into the learning book

// Time control: TIME_PER_MOVE, TIME_BLITZ or TIME_TOURNAMENT (TIME_NONE before any).
extern std::atomic<int> TimeControlType;
// Minutes and seconds may have fractions (the protocol's "level 0 0:30 0.5").
extern std::atomic<double> BlitzMinutes;
extern std::atomic<double> BlitzBonus;  // seconds added per move made
extern std::atomic<int> TournamentMoves;  // moves per period, 1 or more
extern std::atomic<double> TournamentMinutes;
extern std::atomic<int> TournamentRest;   // minutes added once after the first period; 0 repeats it

// Protocol slots: remaining times in ms (0 = nothing pending) and a received move.
extern std::atomic<double> XboardTimeMs;
extern std::atomic<double> XboardOtimMs;
extern std::atomic<int> UserMoveFrom;
extern std::atomic<int> UserMoveTo;
extern std::atomic<int> UserMovePromotion;  // 0 none, 2 knight .. 5 queen

// The game began from a set-up position.
extern u8 PositionSetUp;
// Read by the save-game dialog: clear its fields when it is next shown.
extern u8 ResetFields;
// Read by the save-game dialog: nonzero when the computer played black.
extern int EngineIsBlack;

// The FEN text of the protocol's last "setboard", for the position loader.
extern std::string PendingPositionText;

// Start-up values of everything above.
void ResetGuiState();

