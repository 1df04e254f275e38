#include "bitboard.h"

#include <cstdlib>
#include <ctime>

#include "globals.h"
#include "hash.h"

const int KnightSteps[8] = {-17, -15, -6, 10, 17, 15, 6, -10};
const int KingSteps[8] = {1, 7, 9, 8, -1, -7, -9, -8};
int OrthogonalSteps[7][4];
int DiagonalSteps[7][4];
int RelativeRank[2][64];
int FileOf[64];

Bitboard SetMask[64];
Bitboard ClearMask[64];
i16 BitIndexTable[65536];
i16 PopCountTable[65536];
Bitboard FileMask[10];
Bitboard QueensideFiles;
Bitboard KingsideFiles;
Bitboard PawnAttacks[2][64];
Bitboard KingZone[64];
Bitboard PassedPawnMask[2][64];
Bitboard PawnSquare[2][64][2];
Bitboard RookTrapMasks[4][3];
Bitboard KnightAttacks[64];
Bitboard KingAttacks[64];
Bitboard RookRays[64][4];
Bitboard BishopRays[64][4];
Bitboard RookAttacksEmpty[64];
Bitboard BishopAttacksEmpty[64];
Bitboard PawnPushes[64][2][2];
Bitboard Between[64][64];
i32 Direction[64][64];

namespace {

// The step and rank tables are initial data; build them once.
struct StepTables {
    StepTables() {
        const int orth[4] = {1, 8, -1, -8};
        const int diag[4] = {9, 7, -9, -7};
        for (int k = 0; k < 7; ++k)
            for (int d = 0; d < 4; ++d) {
                OrthogonalSteps[k][d] = (k + 1) * orth[d];
                DiagonalSteps[k][d] = (k + 1) * diag[d];
            }
        for (int sq = 0; sq < 64; ++sq) {
            RelativeRank[0][sq] = (sq >> 3) + 1;
            RelativeRank[1][sq] = 9 - RelativeRank[0][sq];
            FileOf[sq] = (sq & 7) + 1;
        }
    }
};
const StepTables stepTables;

bool OnBoard(int sq) { return sq >= 0 && sq < 64; }

}  // namespace

int Distance(int a, int b) {
    const int df = std::abs((a & 7) - (b & 7));
    const int dr = std::abs((a >> 3) - (b >> 3));
    return df > dr ? df : dr;
}

void InitMasksAndKeys() {
    for (int i = 0; i < 64; ++i) {
        SetMask[i] = Bit(i);
        ClearMask[i] = ~Bit(i);
    }
    for (auto& f : FileMask) f = 0;
    for (int f = 0; f < 8; ++f)
        for (int r = 0; r < 8; ++r) FileMask[f + 1] |= SetMask[f + 8 * r];
    QueensideFiles = FileMask[1] | FileMask[2] | FileMask[3] | FileMask[4];
    KingsideFiles = FileMask[5] | FileMask[6] | FileMask[7] | FileMask[8];

    for (int i = 0; i < MAX_PLY; ++i) Killer1[i] = Killer2[i] = -1;
    for (auto& row : HistoryTable)
        for (auto& v : row) v = 0;

    EngineSeedRandom(static_cast<unsigned>(std::time(nullptr)));

    GenerateZobristKeys();

    for (int sq = 0; sq < 64; ++sq) {
        PawnAttacks[0][sq] = PawnAttacks[1][sq] = 0;
        if (sq >= 15) {
            for (int s : {sq - 7, sq - 9})
                if (OnBoard(s) && Distance(s, sq) == 1) PawnAttacks[0][sq] |= Bit(s);
        }
        if (sq <= 48) {
            for (int s : {sq + 7, sq + 9})
                if (OnBoard(s) && Distance(s, sq) == 1) PawnAttacks[1][sq] |= Bit(s);
        }
    }

    for (int sq = 0; sq < 64; ++sq) {
        KingZone[sq] = 0;
        for (int v = 0; v < 64; ++v)
            if (Distance(sq, v) <= 3) KingZone[sq] |= Bit(v);
    }

    for (int sq = 0; sq < 64; ++sq) {
        PassedPawnMask[0][sq] = PassedPawnMask[1][sq] = 0;
        for (int t = sq + 8; t < 64; t += 8) {
            PassedPawnMask[0][sq] |= Bit(t);
            if (OnBoard(t - 1) && Distance(t, t - 1) == 1) PassedPawnMask[0][sq] |= Bit(t - 1);
            if (OnBoard(t + 1) && Distance(t, t + 1) == 1) PassedPawnMask[0][sq] |= Bit(t + 1);
        }
        for (int t = sq - 8; t >= 0; t -= 8) {
            PassedPawnMask[1][sq] |= Bit(t);
            if (OnBoard(t - 1) && Distance(t, t - 1) == 1) PassedPawnMask[1][sq] |= Bit(t - 1);
            if (OnBoard(t + 1) && Distance(t, t + 1) == 1) PassedPawnMask[1][sq] |= Bit(t + 1);
        }
    }

    for (auto& a : PawnSquare)
        for (auto& b : a)
            for (auto& c : b) c = 0;
    for (int sq = 8; sq <= 56; ++sq) {
        const int rW = RelativeRank[0][sq];
        const int rB = RelativeRank[1][sq];
        for (int v = 1; v < 64; ++v) {
            const int d = Distance(sq, v);
            if (d < rB && RelativeRank[1][v] <= rB) PawnSquare[0][sq][0] |= Bit(v);
            if (d <= rB && RelativeRank[1][v] <= rB + 1) PawnSquare[0][sq][1] |= Bit(v);
            if (d <= rW && RelativeRank[0][v] <= rW + 1) PawnSquare[1][sq][0] |= Bit(v);
            if (d < rW && RelativeRank[0][v] <= rW) PawnSquare[1][sq][1] |= Bit(v);
        }
    }

    RookTrapMasks[0][0] = Bit(H2);
    RookTrapMasks[0][1] = Bit(H1) | Bit(H2);
    RookTrapMasks[0][2] = Bit(G1) | Bit(H1) | Bit(H2);
    RookTrapMasks[1][0] = Bit(A2);
    RookTrapMasks[1][1] = Bit(A1) | Bit(A2);
    RookTrapMasks[1][2] = Bit(A1) | Bit(B1) | Bit(A2);
    RookTrapMasks[2][0] = Bit(H7);
    RookTrapMasks[2][1] = Bit(H8) | Bit(H7);
    RookTrapMasks[2][2] = Bit(H8) | Bit(G8) | Bit(H7);
    RookTrapMasks[3][0] = Bit(A7);
    RookTrapMasks[3][1] = Bit(A8) | Bit(A7);
    RookTrapMasks[3][2] = Bit(A8) | Bit(B8) | Bit(A7);
}

void InitBitIndexTable() {
    BitIndexTable[0] = 0;
    for (int k = 0; k < 16; ++k)
        for (int x = 1 << k; x < (1 << (k + 1)); ++x) BitIndexTable[x] = static_cast<i16>(k);
}

void InitPopCountTable() {
    PopCountTable[0] = 0;
    PopCountTable[1] = 1;
    for (int b = 2; b <= 32768; b *= 2)
        for (int j = b; j <= 2 * b - 1; ++j) PopCountTable[j] = static_cast<i16>(PopCountTable[j - b] + 1);
}

void InitAttackTables() {
    for (int sq = 0; sq < 64; ++sq) {
        KnightAttacks[sq] = KingAttacks[sq] = 0;
        RookAttacksEmpty[sq] = BishopAttacksEmpty[sq] = 0;
        for (int d = 0; d < 4; ++d) RookRays[sq][d] = BishopRays[sq][d] = 0;
        for (auto& c : PawnPushes[sq])
            for (auto& k : c) k = 0;
        for (int t = 0; t < 64; ++t) {
            Between[sq][t] = 0;
            Direction[sq][t] = 0;
        }
    }

    for (int sq = 0; sq < 64; ++sq) {
        for (int step : KnightSteps) {
            const int t = sq + step;
            if (OnBoard(t) && Distance(sq, t) < 3) KnightAttacks[sq] |= SetMask[t];
        }
        for (int step : KingSteps) {
            const int t = sq + step;
            if (OnBoard(t) && Distance(sq, t) == 1) KingAttacks[sq] |= SetMask[t];
        }
        for (int d = 0; d < 4; ++d) {
            for (int k = 0; k < 7; ++k) {
                const int t = sq + OrthogonalSteps[k][d];
                if (!OnBoard(t) || ((t & 7) != (sq & 7) && (t >> 3) != (sq >> 3))) break;
                RookRays[sq][d] |= SetMask[t];
            }
            for (int k = 0; k < 7; ++k) {
                const int t = sq + DiagonalSteps[k][d];
                if (!OnBoard(t) || std::abs((t & 7) - (sq & 7)) != std::abs((t >> 3) - (sq >> 3))) break;
                BishopRays[sq][d] |= SetMask[t];
            }
            RookAttacksEmpty[sq] |= RookRays[sq][d];
            BishopAttacksEmpty[sq] |= BishopRays[sq][d];
        }
        if (sq >= 8 && sq <= 55) {
            PawnPushes[sq][0][0] = SetMask[sq + 8];
            PawnPushes[sq][1][0] = SetMask[sq - 8];
            for (int t : {sq + 7, sq + 9})
                if (Distance(sq, t) == 1) PawnPushes[sq][0][1] |= SetMask[t];
            for (int t : {sq - 7, sq - 9})
                if (Distance(sq, t) == 1) PawnPushes[sq][1][1] |= SetMask[t];
        }
    }

    const int steps[8] = {1, 8, -1, -8, 9, 7, -9, -7};
    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b)
            for (int r = 0; r < 8; ++r) {
                const Bitboard ray = r < 4 ? RookRays[a][r] : BishopRays[a][r - 4];
                if (!(ray & SetMask[b])) continue;
                Bitboard between = 0;
                for (int t = a + steps[r]; t != b; t += steps[r]) between |= SetMask[t];
                Between[a][b] = between;
                Direction[a][b] = r + 1;
            }
}

void BuildBoardTables() {
    InitMasksAndKeys();
    InitBitIndexTable();
    InitPopCountTable();
    InitAttackTables();
}

void ComputeMaterial(Position* pos) {
    for (int c = 0; c < 2; ++c) {
        pos->PieceMaterial[c] = 0;
        pos->PawnMaterial[c] = 0;
    }
    for (int sq = 0; sq < 64; ++sq)
        for (int c = 0; c < 2; ++c)
            for (int t = 1; t <= 5; ++t)
                if (pos->Pieces[c][t] & SetMask[sq]) {
                    if (t == PAWN)
                        pos->PawnMaterial[c] += PieceValue[t];
                    else
                        pos->PieceMaterial[c] += PieceValue[t];
                }
    for (int c = 0; c < 2; ++c) {
        pos->MajorCount[c] = 2 * PopCount(pos->Pieces[c][QUEEN]) + PopCount(pos->Pieces[c][ROOK]);
        pos->MinorCount[c] = PopCount(pos->Pieces[c][BISHOP]) + PopCount(pos->Pieces[c][KNIGHT]);
    }
}

void SetupStartPosition(EngineBoard* board) {
    Position* p = &board->Pos;
    for (auto& c : p->Pieces)
        for (auto& b : c) b = 0;
    p->EpSquare = 0;
    p->SavedEpSquare = 0;

    p->Pieces[WHITE][PAWN] = 0x000000000000FF00ULL;
    p->Pieces[WHITE][KNIGHT] = Bit(B1) | Bit(G1);
    p->Pieces[WHITE][BISHOP] = Bit(C1) | Bit(F1);
    p->Pieces[WHITE][ROOK] = Bit(A1) | Bit(H1);
    p->Pieces[WHITE][QUEEN] = Bit(D1);
    p->Pieces[WHITE][KING] = Bit(E1);
    p->Pieces[BLACK][PAWN] = 0x00FF000000000000ULL;
    p->Pieces[BLACK][KNIGHT] = Bit(B8) | Bit(G8);
    p->Pieces[BLACK][BISHOP] = Bit(C8) | Bit(F8);
    p->Pieces[BLACK][ROOK] = Bit(A8) | Bit(H8);
    p->Pieces[BLACK][QUEEN] = Bit(D8);
    p->Pieces[BLACK][KING] = Bit(E8);
    p->KingSquare[WHITE] = E1;
    p->KingSquare[BLACK] = E8;

    ComputeMaterial(p);

    p->SideToMove = WHITE;
    for (int c = 0; c < 2; ++c) {
        p->CastleShort[c] = 1;
        p->CastleLong[c] = 1;
        p->HasCastled[c] = 0;
    }
    p->EpSquare = -1;
    p->GamePhase = PHASE_OPENING;

    p->Key = ComputeHashKey(p);
    p->PawnKey = ComputePawnHashKey(p);

    p->FiftyMoveCounter = 0;
    for (auto& k : p->KeyHistory) k = 0;
    p->KeyHistory[0] = p->Key;
    p->NullMoveMade = 0;
    p->LastMove = 0;
    for (int c = 0; c < 2; ++c) {
        p->QueenMoves[c] = 0;
        p->MoveCount[c] = 0;
    }

    LearnResult = -1.0;
}
