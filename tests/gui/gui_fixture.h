// Test support for the window tests: message boxes answered from a script,
// a window with a fake clock and recorded protocol output, and moves played
// the way the play-move routine records them.
#pragma once

#include <QColor>
#include <QColorDialog>
#include <QDir>
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

// Runs the action once the next modal dialog is up.
void WhenModal(std::function<void(QWidget*)> action);

// Makes the working directory a new one for the life of the object.
class WorkingDirectory {
public:
    WorkingDirectory() : previous(QDir::currentPath()) { QDir::setCurrent(dir.path()); }
    ~WorkingDirectory() { QDir::setCurrent(previous); }
    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
    QString previous;
};

// Runs before each window is made: engine and front-end globals back to
// their start-up values, scripted boxes installed, and a new empty user
// data folder (XDG_DATA_HOME), so no test reads or writes the real one.
void ResetForWindowTest(ScriptedBoxes* boxes);

// Plays moves given as "e2e4" through the window's PlayFromTo; false when one fails.
bool PlayMoves(TestWindow& w, const std::vector<std::string>& moves);

// n plies of knights going out and back: a game of any length without captures.
std::vector<std::string> ShufflePlies(int n);

// The legal moves of the game board's position.
std::vector<Move> LegalMoves();

// A file's bytes, and a file made of the bytes (replacing what it held).
std::string ReadWholeFile(const QString& path);
void WriteWholeFile(const QString& path, const std::string& bytes);

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
        boxes.answers.clear();
        boxes.shown.clear();
        boxes.typed.clear();
        boxes.inputs.clear();
        boxes.colours.clear();
        boxes.colourDialogsOpenedOn.clear();
        ResetForWindowTest(&boxes);
    }

    // A new window whose tick runs only when the test calls it.
    void MakeWindow() {
        w = std::make_unique<Window>();
        w->Timer1->stop();
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
