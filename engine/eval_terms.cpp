#include <cstdlib>

#include "bitboard.h"
#include "eval.h"
#include "eval_helpers.h"
#include "globals.h"

namespace {

// Tables are written as seen from white, rank 8 on the first line.
constexpr SquareTable Diagram(const std::array<i8, 64>& rows) {
    SquareTable t{};
    for (int row = 0; row < 8; ++row)
        for (int file = 0; file < 8; ++file) t[(7 - row) * 8 + file] = rows[row * 8 + file];
    return t;
}

constexpr SquareTable MirrorRanks(const SquareTable& t) {
    SquareTable m{};
    for (int sq = 0; sq < 64; ++sq) m[sq] = t[sq ^ 56];
    return m;
}

constexpr SquareTable MirrorFiles(const SquareTable& t) {
    SquareTable m{};
    for (int sq = 0; sq < 64; ++sq) m[sq] = t[sq ^ 7];
    return m;
}

constexpr std::array<SquareTable, 2> BothColours(const SquareTable& white) { return {white, MirrorRanks(white)}; }

constexpr SquareTable WhitePawn = Diagram({
    0, 0, 0, 0,  0,  0, 0, 0,
    0, 0, 0, -1, -1, 0, 0, 0,
    0, 0, 4, 4,  4,  0, 0, 0,
    0, 0, 5, 8,  8,  0, 0, 0,
    0, 0, 0, 7,  7,  0, 0, 0,
    0, 0, 0, 0,  0,  0, 0, 0,
    0, 0, 0, 0,  0,  0, 0, 0,
    0, 0, 0, 0,  0,  0, 0, 0,
});

constexpr SquareTable WhiteKnight = Diagram({
    -25, -25, -8, -8, -8, -8, -25, -25,
    -25, -25, 4,  4,  4,  4,  -25, -25,
    -8,  2,   6,  6,  6,  6,  2,   -8,
    -8,  2,   6,  6,  6,  6,  2,   -8,
    -8,  2,   4,  4,  4,  4,  2,   -8,
    -8,  2,   2,  2,  2,  2,  2,   -8,
    -15, -15, 0,  0,  0,  0,  -15, -15,
    -15, -15, -8, -8, -8, -8, -15, -15,
});

constexpr SquareTable WhiteBishop = Diagram({
    -25, -15, 0,  0,  0,  0,  -15, -25,
    -15, 2,   4,  4,  4,  4,  2,   -15,
    -4,  2,   6,  6,  6,  6,  2,   -4,
    -4,  2,   6,  6,  6,  6,  2,   -4,
    -4,  2,   4,  4,  4,  4,  2,   -4,
    -4,  2,   2,  2,  2,  2,  2,   -4,
    -15, 2,   0,  0,  0,  0,  2,   -15,
    -25, -15, -8, -4, -4, -8, -15, -25,
});

constexpr SquareTable WhiteQueen = Diagram({
    0,   0,  0,  0,  0,  0,  0,  0,
    -10, 0,  4,  5,  5,  4,  0,  -10,
    0,   2,  5,  10, 10, 5,  2,  0,
    0,   2,  10, 12, 12, 10, 2,  0,
    -5,  2,  10, 12, 12, 10, 2,  -5,
    -10, -5, 5,  10, 10, 5,  -5, -10,
    -10, 2,  8,  8,  8,  8,  2,  -10,
    -10, -8, 0,  0,  0,  0,  -8, -10,
});

constexpr SquareTable WhiteKingDanger = Diagram({
    2, 0, 0, 0, 0, 0, 0, 2,
    1, 1, 1, 1, 1, 1, 1, 2,
    4, 3, 3, 3, 3, 3, 3, 4,
    4, 4, 4, 4, 4, 4, 4, 4,
    4, 4, 4, 4, 4, 4, 4, 4,
    4, 4, 4, 4, 4, 4, 4, 4,
    4, 4, 4, 4, 4, 4, 4, 4,
    4, 4, 4, 4, 4, 4, 4, 4,
});

constexpr SquareTable BlackKingDanger = Diagram({
    4, 4, 4, 4, 4, 4, 4, 4,
    4, 4, 4, 4, 4, 4, 4, 4,
    4, 4, 4, 4, 4, 4, 4, 4,
    4, 4, 4, 4, 4, 4, 4, 4,
    4, 4, 4, 4, 4, 4, 4, 4,
    4, 3, 3, 3, 3, 3, 3, 4,
    2, 1, 1, 1, 1, 1, 1, 2,
    2, 0, 0, 0, 0, 0, 0, 2,
});

constexpr SquareTable QueensideKing = Diagram({
    -10, -5, -5, -5, -5, -30, -40, -60,
    0,   0,  0,  0,  0,  -20, -30, -50,
    0,   20, 20, 20, 0,  -10, -30, -50,
    0,   20, 20, 20, 0,  -10, -30, -50,
    0,   20, 20, 20, 0,  -10, -30, -50,
    0,   20, 20, 20, 0,  -10, -30, -50,
    0,   0,  0,  0,  0,  -20, -30, -50,
    -10, -5, -5, -5, -5, -30, -40, -60,
});

}  // namespace

const std::array<SquareTable, 2> PawnTable = BothColours(WhitePawn);
const std::array<SquareTable, 2> KnightTable = BothColours(WhiteKnight);
const std::array<SquareTable, 2> BishopTable = BothColours(WhiteBishop);
const std::array<SquareTable, 2> QueenTable = BothColours(WhiteQueen);

const SquareTable RookTable = Diagram({
    0, 0, 5, 6, 6, 5, 0, 0,
    0, 0, 5, 6, 6, 5, 0, 0,
    0, 0, 5, 6, 6, 5, 0, 0,
    0, 0, 5, 6, 6, 5, 0, 0,
    0, 0, 5, 6, 6, 5, 0, 0,
    0, 0, 5, 6, 6, 5, 0, 0,
    0, 0, 5, 6, 6, 5, 0, 0,
    0, 0, 5, 6, 6, 5, 0, 0,
});

const std::array<SquareTable, 2> KingDangerTable = {WhiteKingDanger, BlackKingDanger};

const SquareTable CentreTable = Diagram({
    -10, -5, -5, -5, -5, -5, -5, -10,
    -5,  0,  0,  0,  0,  0,  0,  -5,
    -5,  0,  15, 15, 15, 15, 0,  -5,
    -5,  0,  15, 20, 20, 15, 0,  -5,
    -5,  0,  15, 20, 20, 15, 0,  -5,
    -5,  0,  15, 15, 15, 15, 0,  -5,
    -5,  0,  0,  0,  0,  0,  0,  -5,
    -10, -5, -5, -5, -5, -5, -5, -10,
});

const SquareTable QueensideKingTable = QueensideKing;
const SquareTable KingsideKingTable = MirrorFiles(QueensideKing);

namespace {

Bitboard ForwardRay(int colour, int sq) { return RookRays[sq][colour == WHITE ? 1 : 3]; }

Bitboard PiecesOf(const Position* pos, int c) {
    return pos->Pieces[c][KNIGHT] | pos->Pieces[c][BISHOP] | pos->Pieces[c][ROOK] | pos->Pieces[c][QUEEN];
}

int PassedBonus(int rank) { return (rank >= 0 && rank < 8) ? EvalTables.PassedBonus[rank] : 0; }

}  // namespace

int EvaluateKingSafety(EvalContext*, const Position* pos, u8 c) {
    const int o = 1 - c;
    const int k = pos->KingSquare[c];
    const Bitboard zone = KingZone[k];
    const Bitboard kfile = FileMask[FileOf[k]];
    const Bitboard own = pos->Pieces[c][PAWN];
    const Bitboard their = pos->Pieces[o][PAWN];
    const bool queenAgainst = pos->Pieces[o][QUEEN] != 0;
    i64 score = 0;

    if (RootHasCastled[c] == 0 && pos->HasCastled[c]) {
        if (queenAgainst)
            score += ScaleTerm(2 * EvalWeights.CastledBonus, WeightKingSafety);
        else
            score += ScaleTerm(EvalWeights.CastledBonus, WeightKingSafety);
    }

    if (pos->GamePhase == PHASE_ENDGAME) {
        const Bitboard all = own | their;
        const bool queenside = (all & QueensideFiles) != 0;
        const bool kingside = (all & KingsideFiles) != 0;
        if (queenside && kingside)
            score += CentreTable[k];
        else if (queenside)
            score += QueensideKingTable[k];
        else if (kingside)
            score += KingsideKingTable[k];
        else
            score += CentreTable[k];
        return ClampTerm(score);
    }

    if (!queenAgainst) return ClampTerm(score);

    int d = 0;
    if ((ForwardRay(c, k) & own) == 0) d += 1;
    const Bitboard wing = (KingsideFiles & SetMask[k]) ? FileMask[8] : FileMask[1];
    if ((own & wing) == 0) d += 1;
    if ((their & wing) == 0) d += 1;
    d += KingDangerTable[c][k];
    const int shield = PopCount(own & KingAttacks[k]);
    if (shield < 3) d += 3 - shield;
    if ((pos->Pieces[c][KNIGHT] & zone) == 0) d += 1;
    d += 2 * PopCount(pos->Pieces[o][QUEEN] & zone) + PopCount(pos->Pieces[o][KNIGHT] & zone);
    if (pos->Pieces[o][ROOK] & kfile) {
        d += PopCount(pos->Pieces[o][ROOK] & kfile);
        if ((their & kfile) == 0) d += 1;
        if ((own & kfile) == 0) d += 1;
    }
    Bitboard bishops = pos->Pieces[o][BISHOP];
    while (bishops) {
        const int sq = PopBit(bishops);
        if (BishopAttacksEmpty[sq] & KingAttacks[k]) d += 1;
    }
    score -= ScaleTerm(EvalTables.KingAttackWeight[d < 30 ? d : 30], WeightKingSafety);
    return ClampTerm(score);
}

int EvaluatePawns(EvalContext* ctx, const Position* pos, u8 c) {
    const int o = 1 - c;
    const Bitboard own = pos->Pieces[c][PAWN];
    const Bitboard their = pos->Pieces[o][PAWN];
    ctx->PawnInfo[c] = 0;
    unsigned passedFiles = 0;  // bit f for a passed pawn on file f (1..8)
    int isolated = 0;
    i64 score = 0;

    Bitboard rest = own;
    while (rest) {
        const int sq = PopBit(rest);
        const int f = FileOf[sq];
        const int r = RelativeRank[c][sq];

        score += PawnTable[c][sq];

        if ((PassedPawnMask[c][sq] & their) == 0) {
            ctx->PassedPawns |= SetMask[sq];
            passedFiles |= 1u << f;
            if (passedFiles & ((1u << (f - 1)) | (1u << (f + 1)))) score += EvalWeights.ConnectedPassedBonus;
            const double k = (9 - pos->MajorCount[c] - pos->MinorCount[c]) * 0.25;
            score = static_cast<i64>(static_cast<double>(score) + PassedBonus(r) * k * WeightPassed * 0.01);
        }

        if ((ForwardRay(c, sq) & their) == 0 && (r == 2 || r == 3)) {
            const int front = c == WHITE ? sq + 8 : sq - 8;
            if ((PassedPawnMask[o][front] & own & ~SetMask[sq]) == 0 && (PassedPawnMask[c][sq] & own) &&
                (PassedPawnMask[c][sq] & their)) {
                ctx->WeakPawns |= SetMask[sq];
                score -= Positional(EvalWeights.BackwardPawnPenalty);
            }
        }

        if (((FileMask[f - 1] | FileMask[f + 1]) & own) == 0) {
            ctx->WeakPawns |= SetMask[sq];
            isolated += 1;
            if ((ForwardRay(c, sq) & their) == 0) isolated += 1;
        }

        if (own & PawnAttacks[c][sq]) score += 2;
        if (f < 8 && Has(own, sq + 1)) score += 2;
        if (f > 1 && Has(own, sq - 1)) score += 2;

        if (rest & FileMask[f]) score -= Positional(EvalTables.DoubledPenalty[f]);
    }

    const int penalty = EvalTables.IsolatedPenalty[isolated < 8 ? isolated : 8];
    if (PiecesOf(pos, o))
        score -= penalty;
    else
        score += penalty;
    return ClampTerm(score);
}

int EvaluatePieces(EvalContext* ctx, const Position* pos, u8 c) {
    const int o = 1 - c;
    const int k = pos->KingSquare[c];
    const int ko = pos->KingSquare[o];
    const Bitboard own = pos->Pieces[c][PAWN];
    const Bitboard their = pos->Pieces[o][PAWN];
    const Bitboard whitePawns = pos->Pieces[WHITE][PAWN];
    const Bitboard blackPawns = pos->Pieces[BLACK][PAWN];
    const bool endgame = pos->GamePhase == PHASE_ENDGAME;
    i64 score = 0;

    if (pos->HasCastled[c] == 0) score += EvaluateUncastled(ctx, pos, c);

    // Pawns: shelter and storms in the opening and middle game, races in
    // the endgame.
    const bool far = std::abs(FileOf[k] - FileOf[ko]) >= 4;
    Bitboard b = own;
    while (b) {
        const int sq = PopBit(b);
        if (!endgame) {
            const int home = c == WHITE ? E1 : E8;
            const bool backRank = c == WHITE ? k < 8 : k >= 56;
            if (k == home) {
                const bool wing = c == WHITE ? (sq == F2 || sq == G2 || sq == H2) : (sq == F7 || sq == G7 || sq == H7);
                if (wing) score += Positional(8);
            } else if (backRank && Has(KingAttacks[sq], k)) {
                score += Positional(15);
            }
            if (far && Has(PassedPawnMask[c][sq], ko)) score += 10 * (5 - Distance(sq, ko));
        } else {
            if (pos->PieceMaterial[o] == 0 && Has(ctx->PassedPawns, sq) &&
                !Has(PawnSquare[c][sq][pos->SideToMove], ko))
                score += 600;
            if (pos->PieceMaterial[c] == 0 && pos->PieceMaterial[o] == 0 && pos->PawnMaterial[c] == 100 &&
                pos->PawnMaterial[o] == 0 && Distance(k, sq) < Distance(ko, sq)) {
                const i64 gain = static_cast<i64>(QueenValue) - BishopValue;
                if (RelativeRank[c][k] > RelativeRank[c][sq] + 1) score += gain;
                if (Has(SixthRank[c], k)) score += gain;
            }
        }
    }

    b = pos->Pieces[c][KNIGHT];
    while (b) {
        const int sq = PopBit(b);
        score += Positional(KnightTable[c][sq]);
        if (own & PawnAttacks[c][sq]) {
            score += Positional(4);
            if ((their & PassedPawnMask[c][sq] & ~FileMask[FileOf[sq]]) == 0) {
                if (Has(CentreSquares, sq))
                    score += Positional(2 * EvalWeights.KnightOutpostBonus);
                else if (Has(WideCentre, sq))
                    score += Positional(EvalWeights.KnightOutpostBonus);
            }
        }
        if (KnightAttacks[sq] & their & ctx->WeakPawns) score += Positional(5);
    }

    if (PopCount(pos->Pieces[c][BISHOP]) >= 2) score += EvalWeights.BishopPairBonus;
    b = pos->Pieces[c][BISHOP];
    const i64 blocked = Positional(EvalWeights.BlockedCentrePawnPenalty);
    const i64 hemmed = Positional(EvalWeights.HemmedBishopPenalty);
    while (b) {
        const int sq = PopBit(b);
        score += Positional(BishopTable[c][sq]);
        // Own bishop in front of its own centre pawn, or in front of the
        // opponent's.
        const bool whiteBlocked = (sq == D3 && Has(whitePawns, D2)) || (sq == E3 && Has(whitePawns, E2));
        const bool blackBlocked = (sq == D6 && Has(blackPawns, D7)) || (sq == E6 && Has(blackPawns, E7));
        if (c == WHITE) {
            if (whiteBlocked) score -= blocked;
            if (blackBlocked) score += blocked;
        } else {
            if (blackBlocked) score -= blocked;
            if (whiteBlocked) score += blocked;
        }
        if (own & PawnAttacks[c][sq]) score += 2;
        if (c == WHITE) {
            if ((sq == C1 && Has(own, B2) && Has(own, D2)) || (sq == F1 && Has(own, E2) && Has(own, G2)))
                score -= hemmed;
        } else {
            if ((sq == C8 && Has(own, B7) && Has(own, D7)) || (sq == F8 && Has(own, E7) && Has(own, G7)))
                score -= hemmed;
        }
    }

    b = pos->Pieces[c][ROOK];
    while (b) {
        const int sq = PopBit(b);
        score += Positional(RookTable[sq]);
        const Bitboard file = FileMask[FileOf[sq]];
        if ((own & file) == 0) {
            score += Positional(EvalWeights.RookFileBonus);
            if ((their & file) == 0) score += Positional(2 * EvalWeights.RookFileBonus);
        }
        if (endgame) {
            const Bitboard north = RookRays[sq][1];
            const Bitboard south = RookRays[sq][3];
            const Bitboard whitePassed = ctx->PassedPawns & whitePawns;
            const Bitboard blackPassed = ctx->PassedPawns & blackPawns;
            const bool ownBehind = c == WHITE ? (whitePassed & north) != 0 : (blackPassed & south) != 0;
            const bool otherAhead = c == WHITE ? (blackPassed & south) != 0 : (whitePassed & north) != 0;
            if (ownBehind) score += Positional(EvalWeights.RookBehindPasserBonus);
            if (otherAhead) score += Positional(EvalWeights.RookBehindPasserBonus);
        }
        if (own & PawnAttacks[c][sq]) score += 2;
    }

    b = pos->Pieces[c][QUEEN];
    while (b) {
        const int sq = PopBit(b);
        score += Positional(QueenTable[c][sq]);
        if (own & PawnAttacks[c][sq]) score += 2;
    }

    const i64 pieces = pos->PieceMaterial[c];
    const i64 lead = (pieces + pos->PawnMaterial[c]) - (static_cast<i64>(pos->PieceMaterial[o]) + pos->PawnMaterial[o]);
    if (pieces > 0 && lead <= 200) {
        i64 bonus = pieces > 1000 ? pieces / 100 + 40 : pieces / 20;
        const i64 theirPawns = pos->PawnMaterial[o];
        bonus -= (theirPawns < 400 ? theirPawns : 400) / 8;
        if (PopCount(pos->Pieces[c][ROOK]) >= 2) bonus += 20;
        if (pos->Pieces[c][QUEEN]) bonus += 20;
        const Bitboard ob = pos->Pieces[c][BISHOP];
        const Bitboard tb = pos->Pieces[o][BISHOP];
        if (PopCount(ob) == 1 && PopCount(tb) == 1 &&
            (((ob & LightSquares) && (tb & DarkSquares)) || ((ob & DarkSquares) && (tb & LightSquares))))
            bonus += 25;
        if (bonus > 60) bonus = bonus / 4 + 60;
        score += bonus;
    }

    if (endgame) score += EvaluateMopUp(ctx, pos, c);
    return ClampTerm(score);
}

int EvaluateUncastled(EvalContext* ctx, const Position* pos, u8 c) {
    const int o = 1 - c;
    const Bitboard whitePawns = pos->Pieces[WHITE][PAWN];
    const Bitboard blackPawns = pos->Pieces[BLACK][PAWN];
    const i64 blocked = Positional(EvalWeights.BlockedCentrePawnPenalty);
    const i64 cPawn = Positional(EvalWeights.BlockedCPawnPenalty);
    const i64 earlyQueen = Positional(EvalWeights.EarlyQueenPenalty);
    // The c-pawn test reads white's centre pawns for both colours.
    const bool closedCentre = !Has(whitePawns, E4) && Has(whitePawns, D4);
    i64 score = 0;

    if (c == WHITE) {
        if (Has(ctx->WhitePieces, D3) && Has(whitePawns, D2)) score -= blocked;
        if (Has(ctx->WhitePieces, E3) && Has(whitePawns, E2)) score -= blocked;
        if (closedCentre && Has(whitePawns, C2) && Has(pos->Pieces[WHITE][KNIGHT] | pos->Pieces[WHITE][BISHOP], C3))
            score -= cPawn;
        if (!Has(pos->Pieces[WHITE][QUEEN], D1)) score -= earlyQueen;
    } else {
        if (Has(ctx->BlackPieces, D6) && Has(blackPawns, D7)) score -= blocked;
        if (Has(ctx->BlackPieces, E6) && Has(blackPawns, E7)) score -= blocked;
        if (closedCentre && Has(blackPawns, C7) && Has(pos->Pieces[BLACK][KNIGHT] | pos->Pieces[BLACK][BISHOP], C6))
            score -= cPawn;
        if (!Has(pos->Pieces[BLACK][QUEEN], D8)) score -= earlyQueen;
    }

    const int right = pos->Pieces[o][QUEEN] ? 2 * EvalWeights.CastlingRightBonus : EvalWeights.CastlingRightBonus;
    if (pos->CastleShort[c]) score += right;
    if (pos->CastleLong[c]) score += right;

    int moves = pos->QueenMoves[c];
    if (moves < 0) moves = 0;
    if (moves > 6) moves = 6;
    score -= Positional(EvalTables.QueenMovePenalty[moves]);
    return ClampTerm(score);
}
