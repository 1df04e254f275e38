// Zobrist keys and the two direct-mapped hash tables.
#pragma once

#include "types.h"

extern u64 PieceKeys[7][2][64];
extern u64 EnPassantKeys[64];
extern u64 CastleKeys[4];  // white short, black short, white long, black long
extern const u64 SideKey;

constexpr u64 INITIAL_HASH_ENTRIES = 131072;
constexpr u64 INITIAL_PAWN_HASH_ENTRIES = 131072;

extern HashEntry* HashTable;
extern u64 HashTableEntries;
extern PawnHashEntry* PawnHashTable;
extern u64 PawnHashEntries;

u32 NextRandom32();
u64 NextRandom64();
// Restarts the key generator at its fixed seed (the next call reseeds).
void ResetRandomGenerator();
// The start-up sizes of the tables (not reallocated) and the key generator
// restarted.
void ResetHashState();
void GenerateZobristKeys();

u64 ComputeHashKey(const Position* pos);
u64 ComputePawnHashKey(const Position* pos);

// ProbeHash's results: no usable entry, or the entry's score settles the
// node (alpha set to it, or alpha or beta moved to it by its bound).
constexpr int PROBE_MISS = 0;
constexpr int PROBE_EXACT = 1;
constexpr int PROBE_FAIL_LOW = 2;
constexpr int PROBE_FAIL_HIGH = 3;
int ProbeHash(int depth60, int* alpha, int* beta, u32 keyLo, u32 keyHi, Move* move);
Move ProbeHashMove(u32 keyLo, u32 keyHi);
void StoreHash(int depth60, int score, int type, u32 keyLo, u32 keyHi, Move move);
int ProbePawnHash(u32 keyLo, u32 keyHi, int* score, u64* maskB, u64* maskA, int* infoA, int* infoB);
void StorePawnHash(u32 keyLo, u32 keyHi, int score, u64 maskB, u64 maskA, int infoA, int infoB);

// Allocates both tables at their current entry counts (not cleared).
void AllocateHashTables();
void ClearHashTables();
void FreeHashTables();
// The machine's physical memory in bytes, 0 when it cannot be told.
u64 PhysicalMemoryBytes();
// Frees and reallocates the main table for a size in bytes (rounded down to a
// power of two of entries, at least one), keeps the pawn table's size, clears
// both. False when the machine cannot hold the tables (more than its
// physical memory, or the allocation fails): the main table then has its
// start-up 131072 entries.
bool ResizeHashTables(u64 bytes);

inline u32 KeyLo(u64 key) { return static_cast<u32>(key); }
inline u32 KeyHi(u64 key) { return static_cast<u32>(key >> 32); }
