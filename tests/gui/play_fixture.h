// A window that plays for real (its own play-move routine, move driver and
// ponder search), with a clock the test sets or the real one, recorded
// protocol output and book learning, and promotion choices from a script.
#pragma once

#include <QTimer>

#include <deque>
#include <string>
#include <vector>

#include "ChessGUI.h"
#include "bitboard.h"
#include "gui_fixture.h"
#include "rootsearch.h"
#include "test_position.h"
#include "types.h"

class PlayWindow : public TfrmWinRovik {
public:
    PlayWindow() {
        Timer1->stop();
        ResetClocks();
    }

    bool realClock = false;
    i64 now = 5'000'000;
    i64 TickMs() override { return realClock ? TfrmWinRovik::TickMs() : now; }

    std::vector<std::string> protocol;
    void SendProtocolLine(const std::string& line) override { protocol.push_back(line); }

    std::deque<int> promotions;  // answers of the promotion dialog; queen when empty
    int promotionAsks = 0;
    int AskPromotionPiece() override {
        ++promotionAsks;
        if (promotions.empty()) return QUEEN;
        const int piece = promotions.front();
        promotions.pop_front();
        return piece;
    }

    std::vector<LearnedMove> learned;
    void LearnMove(const Position& before, Move move, double result) override {
        learned.push_back({before, move, result});
    }

    // The game begins from the position (the record holds nothing else).
    void SetUp(const std::string& fen, int plyOffset = 0) {
        SetupTestPosition(&GameBoard, fen);
        PositionHistory[0] = GameBoard.Pos;
        CurrentPly = LastPly = 0;
        PlyOffset = plyOffset;
        ResetClocks();
    }

    // Plays "e2e4" or "a7a8n" by its squares.
    int Play(const std::string& move) {
        const int promotion = move.size() > 4 ? (move[4] == 'q'   ? QUEEN
                                                 : move[4] == 'r' ? ROOK
                                                 : move[4] == 'b' ? BISHOP
                                                                  : KNIGHT)
                                              : 0;
        return PlayFromTo(SquareFromName(move.substr(0, 2)), SquareFromName(move.substr(2, 2)), promotion);
    }

    // Plays the moves in order; the result of the last, or of the first that
    // was not a normal move.
    int PlayAll(const std::vector<std::string>& moves) {
        int r = 0;
        for (const std::string& m : moves) {
            r = Play(m);
            if (r != 1) return r;
        }
        return r;
    }
};

