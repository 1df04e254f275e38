#include "eval.h"

#include <cstdlib>
#include <limits>

#include "bitboard.h"
#include "eval_helpers.h"
#include "globals.h"
#include "hash.h"
#include "movegen.h"

// Set by ResetEvalState.
i32 LazyEvalMargin;
u8 ComputerColour;
u8 RootHasCastled[2];

void ResetEvalState() {
    LazyEvalMargin = 0;
    ComputerColour = 1;
    RootHasCastled[0] = RootHasCastled[1] = 0;
}

namespace {

// The start-up values are the reset's.
[[maybe_unused]] const bool evalStateSet = (ResetEvalState(), true);

int SeventhRankBonus(int n) {
    return (n >= 0 && n < 8) ? EvalTables.SeventhRankBonus[n] : 0;
}

// All pawns of a colour on the a-file, or all on the h-file.
bool OnRookFileOnly(Bitboard pawns) {
    return pawns != 0 && ((pawns & ~FileMask[1]) == 0 || (pawns & ~FileMask[8]) == 0);
}

// The pawn nearest to promotion: white the highest square, black the lowest.
int MostAdvancedPawn(Bitboard pawns, int colour) {
    return colour == WHITE ? 63 - std::countl_zero(pawns) : std::countr_zero(pawns);
}

// A lone minor piece: no bishop and one knight, or no knight and one bishop.
bool OneMinorOnly(const Position* pos, int c) {
    const int n = PopCount(pos->Pieces[c][KNIGHT]);
    const int b = PopCount(pos->Pieces[c][BISHOP]);
    return (b == 0 && n == 1) || (n == 0 && b == 1);
}

}  // namespace

int Evaluate(EvalContext* ctx, const Position* pos, int ply, int alpha, int beta) {
    const int s = pos->SideToMove;
    const int o = 1 - s;

    if (pos->GamePhase == PHASE_ENDGAME && RecognizeEndgame(ctx, pos) != ENDGAME_UNKNOWN) return 0;

    i64 score = static_cast<i64>(EvaluateMaterial(ctx, pos)) + EvaluateKingSafety(ctx, pos, static_cast<u8>(s)) -
                EvaluateKingSafety(ctx, pos, static_cast<u8>(o));

    if (pos->GamePhase == PHASE_ENDGAME) {
        int scaled = ClampScore(score);
        ScaleDrawishEndgame(ctx, pos, &scaled);
        score = scaled;
    }

    const int factor = pos->GamePhase == PHASE_OPENING ? 4 : pos->GamePhase == PHASE_MIDDLE_GAME ? 2 : 1;
    const i64 mobility = static_cast<i64>(pos->MoveCount[s]) - pos->MoveCount[o];
    score += ScaleTerm(mobility * factor, WeightMobility);

    ctx->WhitePieces = pos->Pieces[WHITE][KNIGHT] | pos->Pieces[WHITE][BISHOP] | pos->Pieces[WHITE][ROOK] |
                       pos->Pieces[WHITE][QUEEN];
    ctx->BlackPieces = pos->Pieces[BLACK][KNIGHT] | pos->Pieces[BLACK][BISHOP] | pos->Pieces[BLACK][ROOK] |
                       pos->Pieces[BLACK][QUEEN];

    // Pawn structure from white's view, cached under the pawn key.
    const u32 lo = KeyLo(pos->PawnKey);
    const u32 hi = KeyHi(pos->PawnKey);
    int p = 0;
    int infoA = 0, infoB = 0;
    if (ProbePawnHash(lo, hi, &p, &ctx->WeakPawns, &ctx->PassedPawns, &infoA, &infoB)) {
        ctx->PawnInfo[0] = static_cast<u32>(infoA);
        ctx->PawnInfo[1] = static_cast<u32>(infoB);
    } else {
        ctx->WeakPawns = 0;
        ctx->PassedPawns = 0;
        const i64 white = EvaluatePawns(ctx, pos, WHITE);
        const i64 black = EvaluatePawns(ctx, pos, BLACK);
        // The cache keeps 16 bits; a score is used only as it can be stored,
        // so a hit and a miss always agree.
        i64 structure = white - black;
        if (structure > std::numeric_limits<i16>::max()) structure = std::numeric_limits<i16>::max();
        if (structure < -std::numeric_limits<i16>::max()) structure = -std::numeric_limits<i16>::max();
        p = static_cast<int>(structure);
        StorePawnHash(lo, hi, p, ctx->WeakPawns, ctx->PassedPawns, static_cast<int>(ctx->PawnInfo[0]),
                      static_cast<int>(ctx->PawnInfo[1]));
    }
    i64 pawns = p;
    if (s == BLACK) pawns = -pawns;

    if (static_cast<i64>(pos->PawnMaterial[WHITE]) + pos->PawnMaterial[BLACK] == 1600) {
        const i64 penalty = ScaleTerm(EvalWeights.AllPawnsPenalty, WeightMobility);
        if (s == ComputerColour)
            pawns -= penalty;
        else
            pawns += penalty;
    }

    score += pawns;
    const bool bothHavePieces = ctx->WhitePieces != 0 && ctx->BlackPieces != 0;
    if (bothHavePieces) {
        if (score + LazyEvalMargin < alpha) return alpha;
        if (score - LazyEvalMargin > beta) return beta;
    }

    const i64 d = static_cast<i64>(EvaluatePieces(ctx, pos, static_cast<u8>(s))) -
                  EvaluatePieces(ctx, pos, static_cast<u8>(o));
    score += d;
    if (bothHavePieces) {
        const i64 swing = d < 0 ? -d : d;
        if (swing > LazyEvalMargin) LazyEvalMargin = ClampScore(swing);
    }

    if (score >= 0)
        score -= ply / 3;
    else
        score += ply / 3;
    return ClampScore(score);
}

int EvaluateMaterial(EvalContext*, const Position* pos) {
    const int s = pos->SideToMove;
    const int o = 1 - s;
    i64 score = (static_cast<i64>(pos->PawnMaterial[s]) + pos->PieceMaterial[s]) -
                (static_cast<i64>(pos->PawnMaterial[o]) + pos->PieceMaterial[o]);

    if (pos->MinorCount[s] != pos->MinorCount[o]) {
        if (pos->MajorCount[s] == pos->MajorCount[o]) {
            if (pos->MinorCount[s] > pos->MinorCount[o])
                score += EvalWeights.ImbalanceBonus;
            else
                score -= EvalWeights.ImbalanceBonus;
        }
        if (pos->MinorCount[s] > pos->MinorCount[o] + 1 && pos->MajorCount[s] < pos->MajorCount[o])
            score += EvalWeights.ImbalanceBonus;
        else if (pos->MinorCount[o] > pos->MinorCount[s] + 1 && pos->MajorCount[o] < pos->MajorCount[s])
            score -= EvalWeights.ImbalanceBonus;
    }

    // Penalties charged to a colour, seen from the side to move.
    auto charge = [&](int colour, i64 penalty) {
        if (colour == s)
            score -= penalty;
        else
            score += penalty;
    };

    const i64 trappedRook = Positional(EvalWeights.TrappedRookPenalty);
    const int kw = pos->KingSquare[WHITE];
    const int kb = pos->KingSquare[BLACK];
    const Bitboard wr = pos->Pieces[WHITE][ROOK];
    const Bitboard br = pos->Pieces[BLACK][ROOK];
    if (kw >= F1 && kw <= H1 && (wr & RookTrapMasks[0][H1 - kw])) charge(WHITE, trappedRook);
    if (kw >= A1 && kw <= C1 && (wr & RookTrapMasks[1][kw - A1])) charge(WHITE, trappedRook);
    if (kb >= F8 && kb <= H8 && (br & RookTrapMasks[2][H8 - kb])) charge(BLACK, trappedRook);
    if (kb >= A8 && kb <= C8 && (br & RookTrapMasks[3][kb - A8])) charge(BLACK, trappedRook);

    const i64 trappedBishop = Positional(EvalWeights.TrappedBishopPenalty);
    const Bitboard wb = pos->Pieces[WHITE][BISHOP];
    const Bitboard bb = pos->Pieces[BLACK][BISHOP];
    const Bitboard wp = pos->Pieces[WHITE][PAWN];
    const Bitboard bp = pos->Pieces[BLACK][PAWN];
    if (Has(wb, A7) && Has(bp, B6) && Has(bp, C7)) charge(WHITE, trappedBishop);
    if (Has(wb, H7) && Has(bp, G6) && Has(bp, F7)) charge(WHITE, trappedBishop);
    if (Has(bb, A2) && Has(wp, B3) && Has(wp, C2)) charge(BLACK, trappedBishop);
    if (Has(bb, H2) && Has(wp, G3) && Has(wp, F2)) charge(BLACK, trappedBishop);

    if ((pos->Pieces[o][KING] & EighthRank[s]) || (pos->Pieces[o][PAWN] & SeventhRank[s])) {
        const int n = PopCount((pos->Pieces[s][ROOK] | pos->Pieces[s][QUEEN]) & SeventhRank[s]);
        score += Positional(SeventhRankBonus(n));
    }

    const i64 width = BlunderPercent;
    if (width != 0) score += EngineRandom() % width - width / 2;

    return ClampScore(score);
}

int RecognizeEndgame(EvalContext*, const Position* pos) {
    const int s = pos->SideToMove;
    const int o = 1 - s;
    const Bitboard sp = pos->Pieces[s][PAWN];
    const Bitboard op = pos->Pieces[o][PAWN];
    const int ks = pos->KingSquare[s];
    const int ko = pos->KingSquare[o];

    if (pos->PieceMaterial[s] == 0 && pos->PieceMaterial[o] == 0) {
        if (op == 0 && pos->PawnMaterial[s] >= 100 && OnRookFileOnly(sp)) {
            const int p = MostAdvancedPawn(sp, s);
            if (Has(PassedPawnMask[s][p], ko)) return 2 * RelativeRank[s][p] - 2 * Distance(p, ks);
        }
        if (sp == 0 && pos->PawnMaterial[o] >= 100 && OnRookFileOnly(op)) {
            const int p = MostAdvancedPawn(op, o);
            if (Has(PassedPawnMask[o][p], ks)) return 2 * Distance(p, ko) - 2 * RelativeRank[o][p];
        }
        if (op == 0 && pos->PawnMaterial[s] == 100 && sp != 0 && (sp & SecondAndSeventhRanks) == 0) {
            const int p = std::countr_zero(sp);
            if (ko == (s == WHITE ? p + 8 : p - 8)) return 2 * RelativeRank[s][p] - 2 * Distance(p, ks);
        }
        if (sp == 0 && pos->PawnMaterial[o] == 100 && op != 0 && (op & SecondAndSeventhRanks) == 0) {
            const int p = std::countr_zero(op);
            if (ks == (o == WHITE ? p + 8 : p - 8)) return 2 * Distance(p, ko) - 2 * RelativeRank[o][p];
        }
    }

    for (int c = 0; c < 2; ++c)
        if (pos->Pieces[c][PAWN] | pos->Pieces[c][ROOK] | pos->Pieces[c][QUEEN]) return ENDGAME_UNKNOWN;
    for (int c = 0; c < 2; ++c)
        if (pos->Pieces[c][BISHOP] && pos->Pieces[c][KNIGHT]) return ENDGAME_UNKNOWN;
    const Bitboard minors[2] = {pos->Pieces[WHITE][KNIGHT] | pos->Pieces[WHITE][BISHOP],
                                pos->Pieces[BLACK][KNIGHT] | pos->Pieces[BLACK][BISHOP]};
    if ((minors[WHITE] | minors[BLACK]) == 0) return ENDGAME_DRAWN;
    for (int c = 0; c < 2; ++c) {
        if (minors[c] != 0) continue;
        const int other = 1 - c;
        if (PopCount(pos->Pieces[other][KNIGHT]) > 1) return ENDGAME_UNKNOWN;
        if (PopCount(pos->Pieces[other][BISHOP]) > 1) return ENDGAME_UNKNOWN;
        return ENDGAME_DRAWN;
    }
    return ENDGAME_UNKNOWN;
}

int ScaleDrawishEndgame(EvalContext*, const Position* pos, int* score) {
    if (std::abs(static_cast<i64>(*score)) < 50) return 1;
    const int w = *score > 0 ? pos->SideToMove : 1 - pos->SideToMove;
    const int v = 1 - w;
    if (pos->Pieces[w][PAWN]) return 1;

    if (pos->PieceMaterial[v] == QueenValue && PopCount(pos->Pieces[w][QUEEN]) == 1 && OneMinorOnly(pos, w))
        *score /= 4;
    if (pos->PieceMaterial[w] >= QueenValue) return 1;
    if (pos->PieceMaterial[v] == RookValue && PopCount(pos->Pieces[w][ROOK]) == 1 && OneMinorOnly(pos, w))
        *score /= 10;
    if (pos->PieceMaterial[v] == 0 && (pos->Pieces[w][ROOK] | pos->Pieces[w][QUEEN]) == 0) {
        const int n = PopCount(pos->Pieces[w][KNIGHT] | pos->Pieces[w][BISHOP]);
        if (n == 2)
            *score /= 5;
        else if (n == 1)
            *score = 0;
    }
    if (pos->PieceMaterial[w] == RookValue && pos->PieceMaterial[v] > 0 && pos->PieceMaterial[v] < RookValue)
        *score /= 4;
    return 1;
}

int EvaluateMopUp(EvalContext*, const Position* pos, u8 side) {
    const int o = 1 - side;
    const int ko = pos->KingSquare[o];
    const int ks = pos->KingSquare[side];
    if (pos->PieceMaterial[o] == 0 && pos->PawnMaterial[o] == 0) {
        const int apart = std::abs((ks >> 3) - (ko >> 3)) + std::abs((ks & 7) - (ko & 7));
        return 2 * (16 - apart) + 2 * (20 - CentreTable[ko]);
    }
    if (pos->Pieces[o][PAWN] == 0 && pos->PieceMaterial[side] > pos->PieceMaterial[o]) return 20 - CentreTable[ko];
    return 0;
}
