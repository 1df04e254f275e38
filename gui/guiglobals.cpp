#include "guiglobals.h"

#include "globals.h"

std::atomic<int> PendingCommand;

void PostCommand(int command) {
    PendingCommand = command;
    StopSearch = true;
}

std::atomic<bool> HumanToMove;
std::atomic<bool> AutoPlay;
std::atomic<bool> HumanVsHuman;
std::atomic<bool> ProtocolMode;
std::atomic<bool> PonderEnabled;
std::atomic<bool> PostThinking;
std::atomic<bool> LastMoveHighlight;
std::atomic<bool> SoundsOn;
std::atomic<bool> UseBook;
std::atomic<bool> ResignEnabled;
std::atomic<bool> BookLearningEnabled;

std::atomic<int> TimeControlType;
std::atomic<double> BlitzMinutes;
std::atomic<double> BlitzBonus;
std::atomic<int> TournamentMoves;
std::atomic<double> TournamentMinutes;
std::atomic<int> TournamentRest;

std::atomic<double> XboardTimeMs;
std::atomic<double> XboardOtimMs;
std::atomic<int> UserMoveFrom;
std::atomic<int> UserMoveTo;
std::atomic<int> UserMovePromotion;

std::string PendingPositionText;


u8 PositionSetUp;
u8 ResetFields;
int EngineIsBlack;

void ResetGuiState() {
    PendingCommand = 0;
    HumanToMove = true;
    AutoPlay = false;
    HumanVsHuman = false;
    ProtocolMode = false;
    PonderEnabled = true;
    PostThinking = true;
    LastMoveHighlight = false;
    SoundsOn = true;
    UseBook = true;
    ResignEnabled = false;
    BookLearningEnabled = true;
    TimeControlType = TIME_NONE;
    BlitzMinutes = 0;
    BlitzBonus = 0;
    TournamentMoves = 0;
    TournamentMinutes = 0;
    TournamentRest = 0;
    XboardTimeMs = 0.0;
    XboardOtimMs = 0.0;
    UserMoveFrom = 0;
    UserMoveTo = 0;
    UserMovePromotion = 0;
    PositionSetUp = 0;
    ResetFields = 0;
    EngineIsBlack = 1;
    PendingPositionText.clear();
}

namespace {
// The start-up values are the reset's.
[[maybe_unused]] const bool guiStateSet = (ResetGuiState(), true);
}  // namespace
