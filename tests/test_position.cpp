#include "test_position.h"

#include <algorithm>

#include "bitboard.h"
#include "fen.h"
#include "globals.h"
#include "makemove.h"
#include "movegen.h"
#include "rootsearch.h"
#include "search.h"

int SquareFromName(const std::string& name) {
    if (name.size() != 2 || name[0] < 'a' || name[0] > 'h' || name[1] < '1' || name[1] > '8') return -1;
    return (name[1] - '1') * 8 + (name[0] - 'a');
}

void SetupTestPosition(EngineBoard* board, const std::string& fen) {
    *board = EngineBoard{};
    const double learn = LearnResult;  // the start position resets it
    SetupStartPosition(board);
    LearnResult = learn;
    ReadFen(&board->Pos, fen);
}

Bitboard Squares(std::initializer_list<int> squares) {
    Bitboard b = 0;
    for (int s : squares) b |= Bitboard{1} << s;
    return b;
}

std::string CoordinateText(Move move) {
    std::string text = SquareNames[MoveFrom(move)] + SquareNames[MoveTo(move)];
    if (MovePromotion(move)) text += " pnbrqk"[MovePromotion(move)];
    return text;
}

std::vector<Move> LegalListedMoves(const EngineBoard& board) {
    std::vector<Move> legal;
    EngineBoard child;
    for (int i = 0; i <= board.List.Last; ++i) {
        child.Pos = board.Pos;
        if (MakeMove(&child, board.List.Moves[i], &child.Pos) < 0) continue;
        if (!InCheck(&child, &child.Pos, 0)) legal.push_back(board.List.Moves[i]);
    }
    return legal;
}

std::vector<Move> LegalMovesOf(const EngineBoard& board) {
    EngineBoard work = board;
    const int n = InCheck(&work, &work.Pos, 1) ? GenerateEvasions(&work) : GenerateMoves(&work);
    if (n < 1) return {};
    return LegalListedMoves(work);
}

u64 Perft(EngineBoard* boards, int depth) {
    EngineBoard& board = boards[0];
    EngineBoard& child = boards[1];
    if (GenerateMoves(&board) < 0) return 0;
    u64 leaves = 0;
    for (int i = 0; i <= board.List.Last; ++i) {
        child.Pos = board.Pos;
        if (MakeMove(&child, board.List.Moves[i], &child.Pos) < 0) continue;
        if (InCheck(&child, &child.Pos, 0)) continue;
        leaves += depth == 1 ? 1 : Perft(boards + 1, depth - 1);
    }
    return leaves;
}

int DeepenRootSearch(int depth) {
    int alpha = -MATE_SCORE, beta = MATE_SCORE;
    IterationDepth = 0;
    while (IterationDepth < depth) {
        IterationDepth += 1;
        if (IterationDepth == 1) SearchUninterruptible = true;
        const int code = SearchRoot(IterationDepth * ONE_PLY, alpha, beta, IterationDepth == 1, true);
        SearchUninterruptible = false;
        if (code == ROOT_SINGLE_MOVE || code == ROOT_CHECKMATED || code == ROOT_STALEMATE) return code;
        int best = -MATE_SCORE;
        for (int i = 0; i <= GameBoard.List.Last; ++i) best = std::max(best, GameBoard.List.Score[i]);
        if (best > alpha && best < beta) {
            alpha = std::max(best - 50, -MATE_SCORE);
            beta = std::min(best + 50, MATE_SCORE);
        } else {
            IterationDepth -= 1;
            if (beta - alpha > 100) {
                alpha = -MATE_SCORE;
                beta = MATE_SCORE;
            } else if (best <= alpha) {
                alpha = std::max(alpha - 200, -MATE_SCORE);
            } else {
                beta = std::min(beta + 200, MATE_SCORE);
            }
        }
        if (SearchStopped()) break;
    }
    return ROOT_SEARCHED;
}
