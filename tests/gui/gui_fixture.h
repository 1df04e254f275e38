// Test support for the window tests: message boxes answered from a script,
// and one window whose clock, protocol output, promotion choices, book
// learning and computer hooks the tests control, playing moves through the
// window's own play-move routines.
#pragma once

#include <QColor>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChessGUI.h"
#include "guiglobals.h"
#include "hangtimeout.h"
#include "messageboxes.h"

struct ShownBox {
    QString text;
    QString caption;
    BoxButtons buttons;
};

// Records every box; answers from the queue, else as a box closed without
// a choice (Ok / No / Cancel).
class ScriptedBoxes : public MessageBoxes {
public:
    BoxAnswer Show(QWidget* parent, const QString& text, const QString& caption, BoxButtons buttons) override;
    std::deque<BoxAnswer> answers;
    std::vector<ShownBox> shown;
    // Runs while a box is "open", before it is answered.
    std::function<void(const ShownBox&)> whileOpen;

    // Input boxes: each typed text is entered with OK, nullopt cancels; an
    // empty queue cancels. Each box is recorded (prompt as text).
    bool AskText(QWidget* parent, const QString& caption, const QString& prompt, QString* text) override;
    std::deque<std::optional<QString>> typed;
    std::vector<ShownBox> inputs;

    // Colour dialogs: each queued colour is chosen with OK, nullopt cancels;
    // an empty queue cancels. The colour each dialog opened on is recorded.
    bool RunColorDialog(QColorDialog* dialog, QColor* colour) override;
    std::deque<std::optional<QColor>> colours;
    std::vector<QColor> colourDialogsOpenedOn;

    // Nothing queued, shown or hooked.
    virtual void Clear();
};

// Boxes that also answer the file dialogs from a script: a queued name is
// chosen, an empty queue cancels. Every dialog run is recorded.
class FileDialogBoxes : public ScriptedBoxes {
public:
    bool RunFileDialog(QFileDialog* dialog, QString* fileName) override;
    struct Seen {
        QString name;
        QStringList filters;
        QFileDialog::AcceptMode mode;
        bool noOverwritePrompt;
    };
    std::deque<QString> files;
    std::vector<Seen> dialogs;

    void Clear() override;
};

struct LearnedMove {
    Position before;
    Move move;
    double result;
};

struct PlayCall {
    int from, to, promotion;
    bool operator==(const PlayCall&) const = default;
};

class TestWindow : public TfrmWinRovik {
public:
    TestWindow();

    // The test's clock, or the real one. The test's clock stands still, or
    // moves on by clockStep ms at each reading, so the program's time runs
    // by its own work, whatever the machine's speed.
    bool realClock = false;
    i64 now = 5'000'000;
    i64 clockStep = 0;
    i64 TickMs() override {
        if (realClock) return TfrmWinRovik::TickMs();
        const i64 read = now;
        now += clockStep;
        return read;
    }

    std::vector<std::string> protocol;
    void SendProtocolLine(const std::string& line) override { protocol.push_back(line); }

    // Calls of the hooks the tick reaches. The computer's move and the
    // ponder search only run when thinks is set; duringComputerMove runs
    // first either way.
    bool thinks = false;
    std::vector<std::string> calls;
    std::function<void()> duringComputerMove;
    void ComputerMove() override;
    void Ponder() override;
    void OpenGameFile() override;
    void LoadSelectedGame() override;
    void SaveGamePgn() override;
    void LoadPosition() override;

    // Every move learned is recorded; the book learns it too when
    // learnsInBook is set.
    bool learnsInBook = false;
    std::vector<LearnedMove> learned;
    void LearnMove(const Position& before, Move move, double result) override;

    // Answers of the promotion dialog; queen when empty.
    std::deque<int> promotions;
    int promotionAsks = 0;
    int AskPromotionPiece() override;

    // Every move played by its squares (a drop on the board, a received
    // move, Play), recorded before the window's own routine plays it.
    std::vector<PlayCall> played;
    int PlayFromTo(int from, int to, int promotion) override;

    // The middle of a square as drawn (a square is 2/17 of the board picture).
    QPoint SquareCentre(int square) const;
    // A person's drag with the left button from the middle of a square to a
    // point of the board.
    void Drag(int from, QPoint to);

    // The game begins from the position (the record holds nothing else).
    void SetUp(const std::string& fen, int plyOffset = 0);

    // Plays "e2e4" or "a7a8n", read as the protocol reads a move: PlayFromTo's
    // result, 0 for a text that is no move. The letter counts in protocol
    // mode; the window asks the promotion dialog.
    int Play(const std::string& move);

    // Plays the moves in order; the result of the last, or of the first that
    // was not a normal move.
    int PlayAll(const std::vector<std::string>& moves);
};

// Runs the action once the next modal dialog is up.
void WhenModal(std::function<void(QWidget*)> action);

// The program's data that the build puts beside the tests.
QString ShippedData();

// Makes the working directory a new one for the life of the object.
class WorkingDirectory {
public:
    WorkingDirectory() : previous(QDir::currentPath()) { QDir::setCurrent(dir.path()); }
    ~WorkingDirectory() { QDir::setCurrent(previous); }
    QString path() const { return dir.path(); }
    // An item of the shipped data ("images", "images/wood") linked in at the
    // same place; false when that fails.
    bool LinkShipped(const QString& item) const { return QFile::link(ShippedData() + "/" + item, path() + "/" + item); }

private:
    QTemporaryDir dir;
    QString previous;
};

// Runs before each window is made: engine and front-end globals back to
// their start-up values, scripted boxes installed, and a new empty user
// data folder (XDG_DATA_HOME), so no test reads or writes the real one.
void ResetForWindowTest(ScriptedBoxes* boxes);

// Plays moves given as "e2e4" through the window's PlayFromTo; false when
// one is refused. A game that ends on the way goes on being played.
bool PlayMoves(TestWindow& w, const std::vector<std::string>& moves);

// n plies of knights going out and back: a game of any length without
// captures (drawn by repetition from its eighth ply on).
std::vector<std::string> ShufflePlies(int n);

// The legal moves of the game board's position.
std::vector<Move> LegalMoves();

// A file's bytes, and a file made of the bytes (replacing what it held).
std::string ReadWholeFile(const QString& path);
void WriteWholeFile(const QString& path, const std::string& bytes);

// A game the test keeps on a board of its own, from the start position: the
// moves a program under test names are checked against it.
class KeptGame {
public:
    KeptGame();
    std::vector<Move> Legal() const;
    // Plays a move in coordinates ("e2e4", "e7e8q"); false when it is no
    // legal move here.
    bool Play(const std::string& text);
    int SideToMove() const { return board.Pos.SideToMove; }
    const EngineBoard& Board() const { return board; }

private:
    EngineBoard board;
};

// Positions equal in everything a game position holds.
bool SamePosition(const Position& a, const Position& b);

// The boxes and the window of a window test class (derived from QObject
// first, then from this). Its init() calls ResetWindowTest() and, where it
// wants the window made for it, MakeWindow(); its cleanup() calls
// CloseWindow().
template <class Window = TestWindow, class Boxes = ScriptedBoxes>
class WindowFixture {
protected:
    Boxes boxes;
    std::unique_ptr<Window> w;

    void Tick() { w->Timer1Timer(); }

    // No box shown or queued, every global at its start-up value.
    void ResetWindowTest() {
        boxes.Clear();
        ResetForWindowTest(&boxes);
    }

    // A new window whose tick runs only when the test calls it.
    void MakeWindow() {
        w.reset();  // one window at a time: each is the engine's host
        w = std::make_unique<Window>();
        w->Timer1->stop();
    }

    // The usual start of a test: ResetWindowTest(), then MakeWindow().
    void BeginWindowTest() {
        ResetWindowTest();
        MakeWindow();
    }

    // A new window that plays for real: the computer's move and the ponder
    // search run; pondering is off.
    void MakeThinkingWindow() {
        PonderEnabled = false;
        MakeWindow();
        w->thinks = true;
    }

    // The window shown on the screen; false when it never got there.
    bool ShowWindow() {
        w->show();
        return QTest::qWaitForWindowExposed(w.get());
    }

    void CloseWindow() {
        w.reset();
        SetMessageBoxes(nullptr);
    }
};
