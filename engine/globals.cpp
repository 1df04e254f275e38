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

i32 PieceValue[8] = {0, 100, 310, 320, 500, 1000, 31000, 0};
i32 PawnValue = 100, KnightValue = 310, BishopValue = 320, RookValue = 500, QueenValue = 1000;

i32 WeightPositional = 100, WeightKingSafety = 100, WeightPassed = 100, WeightMobility = 100;
i32 SpeedPercent = 100;
i32 BlunderPercent = 0;

i32 HistoryTable[64][64];
i32 Killer1[MAX_PLY];
i32 Killer2[MAX_PLY];

std::atomic<bool> StopSearch{false};
std::atomic<bool> SearchUninterruptible{false};
std::atomic<bool> Pondering{false};
std::atomic<bool> InfiniteSearch{false};

std::atomic<u8> UseHashTable{1};

i64 NodeCount = 0;

double LearnResult = -1.0;

std::string PendingPositionText;

std::string VersionText;
std::string PieceBitmapNames[12];

void EngineSeedRandom(unsigned seed) { std::srand(seed); }

int EngineRandom() { return std::rand() & 0x7FFFFFFF; }

void InitEngineGlobals() {
    VersionText = "4.00";
    static const char* const names[6] = {"pawn", "knight", "bishop", "rook", "queen", "king"};
    for (int i = 0; i < 6; ++i) {
        PieceBitmapNames[i] = std::string(names[i]) + ".bmp";
        PieceBitmapNames[i + 6] = "b" + std::string(names[i]) + ".bmp";
    }
    PendingPositionText.clear();
    PieceValue[1] = PawnValue;
    PieceValue[2] = KnightValue;
    PieceValue[3] = BishopValue;
    PieceValue[4] = RookValue;
    PieceValue[5] = QueenValue;
    AllocateHashTables();
}

void FreeEngineGlobals() {
    for (auto& s : PieceBitmapNames) s.clear();
    VersionText.clear();
    PendingPositionText.clear();
}

void ResetEngineState() {
    PawnValue = 100;
    KnightValue = 310;
    BishopValue = 320;
    RookValue = 500;
    QueenValue = 1000;
    WeightPositional = WeightKingSafety = WeightPassed = WeightMobility = 100;
    SpeedPercent = 100;
    BlunderPercent = 0;
    StopSearch = false;
    SearchUninterruptible = false;
    Pondering = false;
    InfiniteSearch = false;
    UseHashTable = 1;
    LearnResult = -1.0;
    NodeCount = 0;
    QuiesceMargin = 0;
    ResetSearchState();
    ResetRootSearchState();
    ResetMoveDriverState();
    LazyEvalMargin = 0;
    ComputerColour = 1;
    RootHasCastled[0] = RootHasCastled[1] = 0;
    for (auto& slot : StartBookTable) slot = StartBookSlot{};
    HashTableEntries = INITIAL_HASH_ENTRIES;
    PawnHashEntries = INITIAL_PAWN_HASH_ENTRIES;

    InitEngineGlobals();
    ResetRandomGenerator();
    InitMasksAndKeys();
    InitBitIndexTable();
    InitPopCountTable();
    InitAttackTables();
    ClearHashTables();
    EngineSeedRandom(1);
}
