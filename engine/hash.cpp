#include "hash.h"

#include <unistd.h>

#include <bit>
#include <new>

#include "bitboard.h"
#include "globals.h"

u64 PieceKeys[7][2][64];
u64 EnPassantKeys[64];
u64 CastleKeys[4];
const u64 SideKey = 0xB05B59C3461786DDULL;

HashEntry* HashTable = nullptr;
u64 HashTableEntries;  // set by ResetHashState
PawnHashEntry* PawnHashTable = nullptr;
u64 PawnHashEntries;  // set by ResetHashState

namespace {

const u32 RandomSeedTable[55] = {
    1410651636u, 3012776752u, 3497475623u, 2892145026u, 2829079675u,
    2579647921u, 1180488971u, 3042147415u, 4077857913u, 2579433284u,
    3028150425u, 3466612354u, 3368667822u, 2029920969u, 2047657797u,
    2946417461u, 491810701u, 2648731428u, 1657940815u, 3234040028u,
    3351879012u, 818583983u, 664094480u, 601253406u, 2943417757u,
    761736794u, 620072166u, 2944291321u, 4209249965u, 466585277u,
    3222825363u, 2108305772u, 3128585475u, 2325673158u, 877845477u,
    889614973u, 3581522533u, 2756369143u, 3738795318u, 1085671764u,
    2613023573u, 2640539672u, 2605591162u, 2607745275u, 2115867256u,
    845548255u, 2564577575u, 1430743758u, 2212138976u, 2025328222u,
    2566161658u, 1336303706u, 734481152u, 3312921747u, 4040613457u,
};

// Seeded, and the two lags set, at the first call after a reset.
u32 RandomState[55];
int RandomJ;
int RandomK;
bool RandomFirstCall;

}  // namespace

void ResetRandomGenerator() { RandomFirstCall = true; }

void ResetHashState() {
    HashTableEntries = INITIAL_HASH_ENTRIES;
    PawnHashEntries = INITIAL_PAWN_HASH_ENTRIES;
    ResetRandomGenerator();
}

namespace {
// The start-up values are the reset's.
[[maybe_unused]] const bool hashStateSet = (ResetHashState(), true);
}  // namespace

u32 NextRandom32() {
    if (RandomFirstCall) {
        for (int i = 0; i < 55; ++i) RandomState[i] = RandomSeedTable[i];
        RandomJ = 23;
        RandomK = 54;
        RandomFirstCall = false;
    }
    RandomState[RandomK] += RandomState[RandomJ];
    const u32 result = RandomState[RandomK];
    if (--RandomJ < 0) RandomJ = 54;
    if (--RandomK < 0) RandomK = 54;
    return result;
}

u64 NextRandom64() {
    const u64 lo = NextRandom32();
    const u64 hi = NextRandom32();
    return lo | (hi << 32);
}

void GenerateZobristKeys() {
    for (auto& t : PieceKeys)
        for (auto& c : t)
            for (auto& k : c) k = NextRandom64();
    for (auto& k : EnPassantKeys) k = NextRandom64();
    for (auto& k : CastleKeys) k = NextRandom64();
}

u64 ComputeHashKey(const Position* pos) {
    u64 key = 0;
    for (int c = 0; c < 2; ++c)
        for (int t = 1; t <= 6; ++t) {
            Bitboard b = pos->Pieces[c][t];
            while (b) {
                const int sq = BitIndex(b);
                b &= ClearMask[sq];
                key ^= PieceKeys[t][c][sq];
            }
        }
    if (pos->EpSquare >= 0 && pos->EpSquare < 64) key ^= EnPassantKeys[pos->EpSquare];
    if (pos->CastleShort[0]) key ^= CastleKeys[0];
    if (pos->CastleLong[0]) key ^= CastleKeys[2];
    if (pos->CastleShort[1]) key ^= CastleKeys[1];
    if (pos->CastleLong[1]) key ^= CastleKeys[3];
    if (pos->SideToMove == 1) key ^= SideKey;
    return key;
}

u64 ComputePawnHashKey(const Position* pos) {
    u64 key = 0;
    for (int c = 0; c < 2; ++c) {
        Bitboard b = pos->Pieces[c][PAWN];
        while (b) key ^= PieceKeys[PAWN][c][PopBit(b)];
    }
    return key;
}

namespace {

int EntryDepth(u16 info) { return info & 0x7F; }
int EntryBound(u16 info) { return (info >> 7) & 3; }
int EntryAge(u16 info) { return (info >> 10) & 7; }

int DepthPlies(int depth60) {
    if (depth60 < ONE_PLY) return 0;
    const int d = depth60 / ONE_PLY;
    return d > 127 ? 127 : d;
}

}  // namespace

int ProbeHash(int depth60, int* alpha, int* beta, u32 keyLo, u32 keyHi, Move* move) {
    if ((keyLo == 0 && keyHi == 0) || !UseHashTable || HashTable == nullptr) return PROBE_MISS;
    *move = 0;
    const int d = DepthPlies(depth60);
    const HashEntry& e = HashTable[keyLo & (HashTableEntries - 1)];
    if (e.KeyLo != keyLo || e.KeyHi != keyHi) return PROBE_MISS;
    *move = e.Move;
    const int h = EntryDepth(e.Info);
    if (d > h) return PROBE_MISS;
    int s = e.Score;
    const int excess = h - d;
    if (s > 31000)
        s -= excess;
    else if (s >= 0)
        s -= excess / 3;
    else if (s < -31000)
        s += excess;
    else
        s += excess / 3;
    switch (EntryBound(e.Info)) {
        case HASH_EXACT:
            *alpha = s;
            return PROBE_EXACT;
        case HASH_UPPER:
            if (s <= *alpha) {
                *alpha = s;
                return PROBE_FAIL_LOW;
            }
            return PROBE_MISS;
        case HASH_LOWER:
            if (s >= *beta) {
                *beta = s;
                return PROBE_FAIL_HIGH;
            }
            return PROBE_MISS;
        default:
            return PROBE_MISS;
    }
}

Move ProbeHashMove(u32 keyLo, u32 keyHi) {
    if (!UseHashTable || HashTable == nullptr) return 0;
    const HashEntry& e = HashTable[keyLo & (HashTableEntries - 1)];
    if (e.KeyLo != keyLo || e.KeyHi != keyHi) return 0;
    return e.Move;
}

void StoreHash(int depth60, int score, int type, u32 keyLo, u32 keyHi, Move move) {
    if (!UseHashTable || StopSearch || HashTable == nullptr) return;
    HashEntry& e = HashTable[keyLo & (HashTableEntries - 1)];
    const int d = DepthPlies(depth60);
    const int limit = (EntryBound(e.Info) == HASH_EXACT && d > 0) ? 3 : 5;
    if (d >= EntryDepth(e.Info) || EntryAge(e.Info) > limit) {
        if (score > 31999) score = 31999;
        if (score < -31999) score = -31999;
        e.KeyLo = keyLo;
        e.KeyHi = keyHi;
        e.Score = static_cast<i16>(score);
        e.Info = static_cast<u16>(((type & 3) << 7) | d);
        e.Move = move;
    } else {
        // The age field holds up to 7 refusals; it stays there.
        const int age = EntryAge(e.Info);
        if (age < 7) e.Info = static_cast<u16>((e.Info & 0x3FF) | ((age + 1) << 10));
    }
}

int ProbePawnHash(u32 keyLo, u32 keyHi, int* score, u64* maskB, u64* maskA, int* infoA, int* infoB) {
    if ((keyLo == 0 && keyHi == 0) || !UseHashTable || PawnHashTable == nullptr) return 0;
    const PawnHashEntry& e = PawnHashTable[keyLo & (PawnHashEntries - 1)];
    if (e.KeyLo != keyLo || e.KeyHi != keyHi) return 0;
    *score = e.Score;
    *maskB = e.MaskB;
    *maskA = e.MaskA;
    *infoA = e.InfoA;
    *infoB = e.InfoB;
    return 1;
}

void StorePawnHash(u32 keyLo, u32 keyHi, int score, u64 maskB, u64 maskA, int infoA, int infoB) {
    if (!UseHashTable || StopSearch || PawnHashTable == nullptr) return;
    PawnHashEntry& e = PawnHashTable[keyLo & (PawnHashEntries - 1)];
    e.KeyLo = keyLo;
    e.KeyHi = keyHi;
    e.Score = static_cast<i16>(score);
    e.MaskB = maskB;
    e.MaskA = maskA;
    e.InfoA = static_cast<i16>(infoA);
    e.InfoB = static_cast<i16>(infoB);
}

void AllocateHashTables() {
    FreeHashTables();
    HashTable = new (std::nothrow) HashEntry[HashTableEntries];
    if (HashTable == nullptr) {
        HashTableEntries = INITIAL_HASH_ENTRIES;
        HashTable = new HashEntry[HashTableEntries];
    }
    PawnHashTable = new PawnHashEntry[PawnHashEntries];
}

void ClearHashTables() {
    if (HashTable)
        for (u64 i = 0; i < HashTableEntries; ++i) {
            HashTable[i].KeyLo = 0;
            HashTable[i].KeyHi = 0;
            HashTable[i].Info = 0;
        }
    if (PawnHashTable)
        for (u64 i = 0; i < PawnHashEntries; ++i) {
            PawnHashTable[i].KeyLo = 0;
            PawnHashTable[i].KeyHi = 0;
        }
}

void FreeHashTables() {
    delete[] HashTable;
    HashTable = nullptr;
    delete[] PawnHashTable;
    PawnHashTable = nullptr;
}

u64 PhysicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<u64>(pages) * static_cast<u64>(pageSize);
}

bool ResizeHashTables(u64 bytes) {
    u64 entries = bytes / sizeof(HashEntry);
    if (entries < 1) entries = 1;
    entries = std::bit_floor(entries);
    // Memory the machine does not have would be promised by the system and
    // then taken back by ending the program while the table is cleared.
    const u64 physical = PhysicalMemoryBytes();
    const u64 pawnBytes = PawnHashEntries * sizeof(PawnHashEntry);
    const bool fits =
        physical == 0 || (physical > pawnBytes && entries <= (physical - pawnBytes) / sizeof(HashEntry));
    HashTableEntries = fits ? entries : INITIAL_HASH_ENTRIES;
    AllocateHashTables();
    ClearHashTables();
    return fits && HashTableEntries == entries;
}
