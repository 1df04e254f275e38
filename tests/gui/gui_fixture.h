// Test support for the window tests: message boxes answered from a script,
// a window with a fake clock and recorded protocol output, and moves played
// the way the play-move routine records them.
#pragma once

#include <QString>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ChessGUI.h"
#include "messageboxes.h"

struct ShownBox {
    QString text;
    QString caption;
    BoxButtons buttons;
};

// Records every box; answers from the queue, else Ok / No / Cancel.
class ScriptedBoxes : public MessageBoxes {
public:
    BoxAnswer Show(QWidget* parent, const QString& text, const QString& caption, BoxButtons buttons) override;
    std::deque<BoxAnswer> answers;
    std::vector<ShownBox> shown;
};

struct LearnedMove {
    Position before;
    Move move;
    double result;
};

class TestWindow : public TfrmWinRovik {
public:
    TestWindow();

    i64 now = 5'000'000;
    i64 TickMs() override { return now; }

    std::vector<std::string> protocol;
    void SendProtocolLine(const std::string& line) override { protocol.push_back(line); }

    // Calls of the hooks the tick reaches.
    std::vector<std::string> calls;
    std::function<void()> duringComputerMove;
    void ComputerMove() override;
    void Ponder() override;
    void OpenGameFile() override;
    void LoadSelectedGame() override;
    void SaveGamePgn() override;
    void LoadPosition() override;

    std::vector<LearnedMove> learned;
    void LearnMove(const Position& before, Move move, double result) override;

    // Plays a legal move by its squares, recorded as the play-move routine
    // records it: 1 played, 0 no such legal move or the record is full.
    int PlayFromTo(int from, int to, int promotion) override;
};

// Runs before each window is made: engine and front-end globals back to
// their start-up values, scripted boxes installed.
void ResetForWindowTest(ScriptedBoxes* boxes);

// Plays moves given as "e2e4" through the window's PlayFromTo; false when one fails.
bool PlayMoves(TestWindow& w, const std::vector<std::string>& moves);

// The legal moves of the game board's position.
std::vector<Move> LegalMoves();

// Positions equal in everything a game position holds.
bool SamePosition(const Position& a, const Position& b);
