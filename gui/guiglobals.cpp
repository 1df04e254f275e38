#include "guiglobals.h"

#include "globals.h"

std::atomic<int> PendingCommand{0};

void PostCommand(int command) {
    PendingCommand = command;
    StopSearch = true;
}

std::atomic<bool> HumanToMove{true};
std::atomic<bool> AutoPlay{false};
std::atomic<bool> HumanVsHuman{false};
std::atomic<bool> ProtocolMode{false};
std::atomic<bool> PonderEnabled{true};
std::atomic<bool> PostThinking{true};
std::atomic<bool> LastMoveHighlight{false};
std::atomic<bool> SoundsOn{true};
std::atomic<bool> UseBook{true};
std::atomic<bool> ResignEnabled{false};
std::atomic<bool> BookLearningEnabled{true};

std::atomic<int> TimeControlType{TIME_NONE};
std::atomic<double> BlitzMinutes{0};
std::atomic<double> BlitzBonus{0};
std::atomic<int> TournamentMoves{0};
std::atomic<double> TournamentMinutes{0};
std::atomic<int> TournamentRest{0};

std::atomic<double> XboardTimeMs{0.0};
std::atomic<double> XboardOtimMs{0.0};
std::atomic<int> UserMoveFrom{0};
std::atomic<int> UserMoveTo{0};
std::atomic<int> UserMovePromotion{0};

std::string PendingPositionText;

const std::string PieceBitmapNames[12] = {
    "pawn.bmp",  "knight.bmp",  "bishop.bmp",  "rook.bmp",  "queen.bmp",  "king.bmp",
    "bpawn.bmp", "bknight.bmp", "bbishop.bmp", "brook.bmp", "bqueen.bmp", "bking.bmp",
};

u8 PositionSetUp = 0;
u8 ResetFields = 0;
int EngineIsBlack = 1;

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
