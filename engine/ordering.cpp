#include "ordering.h"

#include "bitboard.h"
#include "eval.h"
#include "globals.h"
#include "hash.h"
#include "movetext.h"

namespace {

bool SameSquares(Move a, Move b) { return MoveFrom(a) == MoveFrom(b) && MoveTo(a) == MoveTo(b); }

bool PlyInRange(int ply) { return ply >= 0 && ply < MAX_PLY; }

// The piece-square table of each piece code and side; the king's (and the
// unused codes') is all zero.
constexpr SquareTable NoGain{};
const SquareTable* const GainTables[8][2] = {
    {&NoGain, &NoGain},
    {&PawnTable[0], &PawnTable[1]},
    {&KnightTable[0], &KnightTable[1]},
    {&BishopTable[0], &BishopTable[1]},
    {&RookTable, &RookTable},
    {&QueenTable[0], &QueenTable[1]},
    {&NoGain, &NoGain},
    {&NoGain, &NoGain},
};

// Piece-square gain of a move for the side to move; the king gets nothing.
int SquareGain(int piece, int side, int from, int to) {
    const SquareTable& table = *GainTables[piece & 7][side];
    return table[to] - table[from];
}

}  // namespace

void SwapMoves(MoveList* list, int i, int j) {
    const Move m = list->Moves[i];
    list->Moves[i] = list->Moves[j];
    list->Moves[j] = m;
    const i32 s = list->Score[i];
    list->Score[i] = list->Score[j];
    list->Score[j] = s;
}

void PickBestMove(MoveList* list, int i) {
    if (i >= list->Last) return;
    // Without branches on the scores, which the processor cannot foresee.
    int best = i;
    i32 bestScore = list->Score[i];
    for (int j = i + 1; j <= list->Last; ++j) {
        const i32 s = list->Score[j];
        const bool better = s > bestScore;
        best = better ? j : best;
        bestScore = better ? s : bestScore;
    }
    if (best != i) SwapMoves(list, i, best);
}

void SortMoves(MoveList* list) {
    for (int i = 0; i < list->Last; ++i) PickBestMove(list, i);
}

void ScoreMoves(EngineBoard* root, MoveList* list, int side, int ply, Move previous, u32 keyLo, u32 keyHi) {
    const Move killer1 = PlyInRange(ply) ? Killer1[ply] : -1;
    const Move killer2 = PlyInRange(ply) ? Killer2[ply] : -1;
    if (keyLo != 0 || keyHi != 0) root->HashMove = ProbeHashMove(keyLo, keyHi);
    const bool useHash = UseHashTable != 0;
    const int recapture = MoveTo(previous);

    for (int i = 0; i <= list->Last; ++i) {
        const Move m = list->Moves[i];
        const int piece = MovePiece(m);
        const int captured = MoveCaptured(m);
        const int from = MoveFrom(m);
        const int to = MoveTo(m);
        i32 score = 0;
        if (useHash && m == root->HashMove) score |= 1 << 30;
        if (piece == PAWN && MovePromotion(m) == QUEEN) score |= 1 << 29;
        if (captured != 0) {
            int v = captured - piece + 10;
            if (to == recapture) {
                v = captured - piece + 11;
                if (v < 11) v = 11;
            }
            score |= v << 23;
        } else if (SameSquares(m, killer1)) {
            score |= 1 << 22;
        } else if (SameSquares(m, killer2)) {
            score |= 1 << 21;
        }
        score |= (HistoryTable[from][to] & 16383) << 7;
        score += SquareGain(piece, side & 1, from, to);
        list->Score[i] = score;
    }
}

void UpdateHistory(EngineBoard*, Move move, int depth, int ply) {
    if (MoveCaptured(move) != 0) return;
    if (PlyInRange(ply) && move != Killer1[ply]) {
        Killer2[ply] = Killer1[ply];
        Killer1[ply] = move;
    }
    const int d = depth / 60;
    i32& entry = HistoryTable[MoveFrom(move)][MoveTo(move)];
    entry += d * d;
    if (entry > 16000)
        for (auto& row : HistoryTable)
            for (auto& v : row) v /= 100;
}

std::string MoveToSan(Move move, const MoveList* list) {
    bool found = false;
    for (int i = 0; i <= list->Last && !found; ++i) found = list->Moves[i] == move;
    if (!found) return "!";

    const int from = MoveFrom(move);
    const int to = MoveTo(move);
    const int piece = MovePiece(move);
    const bool capture = MoveCaptured(move) != 0;

    if (piece == KING) {
        if ((from == E1 && to == G1) || (from == E8 && to == G8)) return "O-O";
        if ((from == E1 && to == C1) || (from == E8 && to == C8)) return "O-O-O";
    }

    std::string text;
    if (piece == PAWN) {
        if (capture) text += FileLetter(from);
    } else {
        static const char letters[8] = {'?', '?', 'N', 'B', 'R', 'Q', 'K', '?'};
        text += letters[piece];
        // Name the from-square only as far as needed to tell it from every
        // other piece of the kind that reaches the same square.
        bool rival = false, sameFile = false, sameRank = false;
        for (int i = 0; i <= list->Last; ++i) {
            const Move other = list->Moves[i];
            if (MovePiece(other) != piece || MoveTo(other) != to || MoveFrom(other) == from) continue;
            rival = true;
            if ((MoveFrom(other) & 7) == (from & 7)) sameFile = true;
            if ((MoveFrom(other) >> 3) == (from >> 3)) sameRank = true;
        }
        if (rival) {
            if (!sameFile)
                text += FileLetter(from);
            else if (!sameRank)
                text += RankDigit(from);
            else
                text += SquareNames[from];
        }
    }
    if (capture) text += 'x';
    text += SquareNames[to];
    if (piece == PAWN) {
        static const char promotions[6] = {0, 0, 'N', 'B', 'R', 'Q'};
        const int promo = MovePromotion(move);
        if (promo >= KNIGHT && promo <= QUEEN) {
            text += '=';
            text += promotions[promo];
        }
    }
    return text;
}
