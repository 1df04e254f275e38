// Playing a move: by its squares (the board and the protocol) or by its
// place in the game board's move list (the computer and the game loader).
// The move's text, the record, the "move" line, game ends with their
// messages, book learning and the mover's clock.
#include <QAction>
#include <QLabel>
#include <QTimer>

#include "ChessGUI.h"
#include "bitboard.h"
#include "dialogs/PROMOTE.h"
#include "eval.h"
#include "globals.h"
#include "guiglobals.h"
#include "makemove.h"
#include "messageboxes.h"
#include "movegen.h"
#include "movetext.h"
#include "ordering.h"
#include "rootsearch.h"
#include "search.h"

namespace {

struct GameEnd {
    int result = PLAY_MOVED;  // or PLAY_DRAWN, PLAY_CHECKMATE
    const char* line = nullptr;
    const char* box = nullptr;
    const char* status = nullptr;  // what lblStatus shows
};

// The end the new position makes, the first that holds. check: the result
// of the one-ply search on it.
GameEnd JudgeGameEnd(const Position& pos, int check) {
    GameEnd end;
    if (check == ROOT_CHECKMATED) {
        end.result = PLAY_CHECKMATE;
        end.line = pos.SideToMove == WHITE ? "0-1 {Black mates}" : "1-0 {White mates}";
        end.box = "Checkmate!";
        end.status = "   Checkmate!";
        return end;
    }
    end.result = PLAY_DRAWN;
    if (check == ROOT_STALEMATE) {
        end.line = "1/2-1/2 {Stalemate}";
        end.box = "Stalemate!";
        end.status = "   Stalemate!";
        return end;
    }
    end.status = "   Draw!";
    const int draw = CheckDraw(&pos, 1);
    if (draw == DRAW_REPETITION) {
        end.line = "1/2-1/2 {Draw by repetition}";
        end.box = "Draw by threefold repetition!";
        return end;
    }
    if (draw == DRAW_FIFTY_MOVES) {
        end.line = "1/2-1/2 {Draw by 50 move}";
        end.box = "Draw by 50 move rule!!";
        return end;
    }
    EvalContext context{};
    if (RecognizeEndgame(&context, &pos) == ENDGAME_DRAWN) {
        end.line = "1/2-1/2 {Draw because of insufficient material}";
        end.box = "Draw because of insufficient material!";
        return end;
    }
    return GameEnd{};
}

}  // namespace

QString SideToMoveText(const Position& pos) { return pos.SideToMove == BLACK ? "Black to move" : "White to move"; }

void TfrmWinRovik::ShowPositionStatus() {
    if (ProtocolMode) return;  // no window to show it in
    // Checkmated or stalemated: no legal move, in check or not.
    int check = ROOT_SEARCHED;
    if (LegalMoveCount(GameBoard.Pos, nullptr) == 0) {
        EngineBoard scratch;
        scratch.Pos = GameBoard.Pos;
        check = InCheck(&scratch, &scratch.Pos, 1) ? ROOT_CHECKMATED : ROOT_STALEMATE;
    }
    const GameEnd end = JudgeGameEnd(GameBoard.Pos, check);
    lblStatus->setText(end.status ? QString(end.status) : SideToMoveText(GameBoard.Pos));
}

int TfrmWinRovik::AskPromotionPiece() { return PromoteDialog(this)->AskPromotionPiece(); }

int TfrmWinRovik::PlayFromTo(int from, int to, int promotion) {
    MoveRejectionSent = false;
    EngineBoard& board = GameBoard;
    const int n = InCheck(&board, &board.Pos, 1) ? GenerateEvasions(&board) : GenerateMoves(&board);
    if (n < 1) return PLAY_ILLEGAL;
    const MoveList& list = board.List;
    auto squaresMatch = [&](int i) { return MoveFrom(list.Moves[i]) == from && MoveTo(list.Moves[i]) == to; };

    int i = 0;
    while (i <= list.Last && !squaresMatch(i)) ++i;
    if (i > list.Last) return PLAY_ILLEGAL;

    if (MovePiece(list.Moves[i]) == PAWN && (to > 55 || to < 8)) {
        const int piece = ProtocolMode ? promotion : AskPromotionPiece();
        // Without a piece that one of the promotions names the move cannot
        // be played.
        while (i <= list.Last && !(squaresMatch(i) && MovePromotion(list.Moves[i]) == piece)) ++i;
        if (i > list.Last) return PLAY_ILLEGAL;
    }
    return PlayMove(i, true, false);
}

int TfrmWinRovik::PlayMove(int index, bool guiUpdate, bool sendToProtocol) {
    const bool quiet = ProtocolMode || !guiUpdate;
    EngineBoard& board = GameBoard;
    if (index < 0 || index > board.List.Last) return PLAY_ILLEGAL;
    const Move move = board.List.Moves[index];
    const std::string text = CoordinateText(move);
    const std::string squares = text.substr(0, 4);

    std::string san = MoveToSan(move, &board.List);
    if (RefuseMoveWhenRecordFull(text)) {
        MoveRejectionSent = true;
        return PLAY_ILLEGAL;
    }
    const int made = MakeMove(&board, move, &board.Pos);
    if (!quiet && SoundsOn) PlayMoveSound();
    ++CurrentPly;
    if (!quiet) {
        BuildDisplayBoard();
        DrawBoard();
        SetTimerEnabled(tmrClock, true);
    }

    // A move that leaves the mover's king attacked is taken back before any
    // search looks at the position, and before it is announced: while the
    // box is open the mover is still to move, and its clock runs.
    if (made == MAKE_KING_CAPTURED || InCheck(&board, &board.Pos, 0)) {
        --CurrentPly;
        LastPly = CurrentPly;
        board.Pos = PositionHistory[CurrentPly];
        if (!quiet) {
            BuildDisplayBoard();
            DrawBoard();
        }
        if (ProtocolMode) {
            SendProtocolLine("Illegal move " + squares);
            MoveRejectionSent = true;
        } else if (!quiet) {
            ShowMessageBox(this, "Illegal move!", "Morlaquin says:");
            MoveRejectionSent = true;
        }
        return PLAY_ILLEGAL;
    }

    // Checkmate or stalemate of the side now to move.
    const double keptTarget = TargetTimeMs;
    TargetTimeMs = 10'000'000.0;
    SearchUninterruptible = true;
    const int check = SearchRoot(1, 0, 0, true, false);
    SearchUninterruptible = false;
    TargetTimeMs = keptTarget;

    LastMove = move;
    if (check == ROOT_CHECKMATED)
        san += "#";
    else if (InCheck(&board, &board.Pos, 1))
        san += "+";
    RecordPlayedMove(move, san);

    if (ProtocolMode && sendToProtocol) SendProtocolLine("move " + text);

    const GameEnd end = JudgeGameEnd(board.Pos, check);
    if (end.result != PLAY_MOVED) {
        if (end.result == PLAY_DRAWN && LearnResult == -1.0) LearnResult = 0.5;
        SetTimerEnabled(tmrClock, false);
        lblStatus->setText(end.status);
        if (ProtocolMode)
            SendProtocolLine(end.line);
        else if (!quiet && !TournamentMode->isChecked())
            ShowMessageBox(this, end.box, "Result");
        StopAutoplay();
        MoveStartTick = TickMs();
    }

    // Book learning, once a result is known.
    if (LearnResult >= 0) {
        LearnGame(CurrentPly);
        LearnResult = -2.0;
    }

    // The mover's clock; the time before a game's first move is not charged.
    const i64 now = TickMs();
    if (CurrentPly == 1) MoveStartTick = now;
    (board.Pos.SideToMove == BLACK ? WhiteUsedMs : BlackUsedMs) += static_cast<double>(now - MoveStartTick);
    MoveStartTick = now;

    // A move dropped on the board during a ponder search ends that search.
    if (Pondering) StopSearch = true;
    return end.result;
}
