#include "globals.h"

#include <cstdlib>

#include "bitboard.h"
#include "eval.h"
#include "hash.h"
#include "movedriver.h"
#include "movegen.h"
#include "rootsearch.h"
#include "search.h"
#include "startbook.h"

// Set by ResetGlobalState, except the move ordering's tables (the board
// tables' builder clears them).
i32 PieceValue[8];
i32 PawnValue, KnightValue, BishopValue, RookValue, QueenValue;

i32 WeightPositional, WeightKingSafety, WeightPassed, WeightMobility;
i32 SpeedPercent;
i32 BlunderPercent;

i32 HistoryTable[64][64];
i32 Killer1[MAX_PLY];
i32 Killer2[MAX_PLY];

std::atomic<bool> StopSearch;
std::atomic<bool> SearchUninterruptible;
std::atomic<bool> Pondering;
std::atomic<bool> InfiniteSearch;

std::atomic<u8> UseHashTable;

i64 NodeCount;

double LearnResult;

std::string VersionText;

void EngineSeedRandom(unsigned seed) { std::srand(seed); }

int EngineRandom() { return std::rand() & 0x7FFFFFFF; }

void InitEngineGlobals() {
    VersionText = "4.00";
    PieceValue[1] = PawnValue;
    PieceValue[2] = KnightValue;
    PieceValue[3] = BishopValue;
    PieceValue[4] = RookValue;
    PieceValue[5] = QueenValue;
    AllocateHashTables();
}

void FreeEngineGlobals() {
    VersionText.clear();
}

void ResetGlobalState() {
    static constexpr i32 values[8] = {0, 100, 310, 320, 500, 1000, 31000, 0};
    for (int piece = 0; piece < 8; ++piece) PieceValue[piece] = values[piece];
    PawnValue = values[PAWN];
    KnightValue = values[KNIGHT];
    BishopValue = values[BISHOP];
    RookValue = values[ROOK];
    QueenValue = values[QUEEN];
    WeightPositional = WeightKingSafety = WeightPassed = WeightMobility = 100;
    SpeedPercent = 100;
    BlunderPercent = 0;
    StopSearch = false;
    SearchUninterruptible = false;
    Pondering = false;
    InfiniteSearch = false;
    UseHashTable = 1;
    NodeCount = 0;
    LearnResult = -1.0;
}

namespace {
// The start-up values are the reset's.
[[maybe_unused]] const bool globalStateSet = (ResetGlobalState(), true);
}  // namespace

void ResetEngineState() {
    ResetGlobalState();
    ResetMoveGenState();
    ResetEvalState();
    ResetSearchState();
    ResetRootSearchState();
    ResetMoveDriverState();
    ClearStartBookTable();
    ResetHashState();

    InitEngineGlobals();
    BuildBoardTables();
    ClearHashTables();
    EngineSeedRandom(1);
}
