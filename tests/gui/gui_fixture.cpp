#include "gui_fixture.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <fstream>
#include <sstream>

#include "bitboard.h"
#include "globals.h"
#include "guiglobals.h"
#include "makemove.h"
#include "movegen.h"
#include "ordering.h"
#include "rootsearch.h"
#include "test_position.h"

BoxAnswer ScriptedBoxes::Show(QWidget*, const QString& text, const QString& caption, BoxButtons buttons) {
    shown.push_back({text, caption, buttons});
    if (whileOpen) whileOpen(shown.back());
    if (!answers.empty()) {
        const BoxAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    return ClosedBoxAnswer(buttons);
}

void WhenModal(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, [action] {
        QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
        action(QApplication::activeModalWidget());
    });
}

bool ScriptedBoxes::AskText(QWidget*, const QString& caption, const QString& prompt, QString* text) {
    inputs.push_back({prompt, caption, BoxButtons::OkCancel});
    if (typed.empty()) return false;
    const std::optional<QString> answer = typed.front();
    typed.pop_front();
    if (!answer) return false;
    *text = *answer;
    return true;
}

bool ScriptedBoxes::RunColorDialog(QColorDialog* dialog, QColor* colour) {
    colourDialogsOpenedOn.push_back(dialog->currentColor());
    if (colours.empty()) return false;
    const std::optional<QColor> answer = colours.front();
    colours.pop_front();
    if (!answer) return false;
    *colour = *answer;
    return true;
}

bool FileDialogBoxes::RunFileDialog(QFileDialog* dialog, QString* fileName) {
    dialogs.push_back({dialog->objectName(), dialog->nameFilters(), dialog->acceptMode(),
                       dialog->testOption(QFileDialog::DontConfirmOverwrite)});
    if (files.empty()) return false;
    *fileName = files.front();
    files.pop_front();
    return true;
}

TestWindow::TestWindow() {
    // The window's constructor started the clocks on the real clock.
    ResetClocks();
}

void TestWindow::ComputerMove() {
    calls.push_back("ComputerMove");
    if (duringComputerMove) duringComputerMove();
}

void TestWindow::Ponder() { calls.push_back("Ponder"); }

void TestWindow::OpenGameFile() {
    calls.push_back("OpenGameFile");
    TfrmWinRovik::OpenGameFile();
}

void TestWindow::LoadSelectedGame() {
    calls.push_back("LoadSelectedGame");
    TfrmWinRovik::LoadSelectedGame();
}

void TestWindow::SaveGamePgn() {
    calls.push_back("SaveGamePgn");
    TfrmWinRovik::SaveGamePgn();
}

void TestWindow::LoadPosition() {
    calls.push_back("LoadPosition");
    TfrmWinRovik::LoadPosition();
}

void TestWindow::LearnMove(const Position& before, Move move, double result) {
    learned.push_back({before, move, result});
}

namespace {

// Generated moves of the game board; the list is left on the board.
int Generate(EngineBoard* b) {
    return InCheck(b, &b->Pos, 1) ? GenerateEvasions(b) : GenerateMoves(b);
}

}  // namespace

int TestWindow::PlayFromTo(int from, int to, int promotion) {
    calls.push_back("PlayFromTo");
    EngineBoard& b = GameBoard;
    if (Generate(&b) < 1) return 0;
    int index = -1;
    for (int i = 0; i <= b.List.Last; ++i) {
        const Move m = b.List.Moves[i];
        if (MoveFrom(m) == from && MoveTo(m) == to && (promotion == 0 || MovePromotion(m) == promotion)) {
            index = i;
            break;
        }
    }
    if (index < 0) return 0;
    if (RefuseMoveWhenRecordFull(SquareNames[from] + SquareNames[to])) return 0;
    const Move move = b.List.Moves[index];
    const std::string san = MoveToSan(move, &b.List);
    MakeMove(&b, move, &b.Pos);
    ++CurrentPly;
    if (InCheck(&b, &b.Pos, 0)) {
        --CurrentPly;
        LastPly = CurrentPly;
        b.Pos = PositionHistory[CurrentPly];
        return 0;
    }
    RecordPlayedMove(move, san);
    return 1;
}

void ResetForWindowTest(ScriptedBoxes* boxes) {
    static std::unique_ptr<QTemporaryDir> userData;
    userData = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", userData->path().toLocal8Bit());
    ResetEngineState();
    ResetRootSearchState();
    ResetGuiState();
    SetMessageBoxes(boxes);
    // Tests close windows and go on.
    QApplication::setQuitOnLastWindowClosed(false);
}

bool PlayMoves(TestWindow& w, const std::vector<std::string>& moves) {
    for (const std::string& m : moves) {
        const int promotion = m.size() > 4 ? (m[4] == 'q' ? QUEEN : m[4] == 'r' ? ROOK : m[4] == 'b' ? BISHOP : KNIGHT) : 0;
        if (w.PlayFromTo(SquareFromName(m.substr(0, 2)), SquareFromName(m.substr(2, 2)), promotion) != 1)
            return false;
    }
    return true;
}

std::vector<std::string> ShufflePlies(int n) {
    static const std::vector<std::string> shuffle = {"g1f3", "g8f6", "f3g1", "f6g8"};
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back(shuffle[i % 4]);
    return out;
}

std::vector<Move> LegalMoves() { return LegalMovesOf(GameBoard); }

std::string ReadWholeFile(const QString& path) {
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteWholeFile(const QString& path, const std::string& bytes) {
    std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool SamePosition(const Position& a, const Position& b) {
    return std::memcmp(a.Pieces, b.Pieces, sizeof a.Pieces) == 0 && a.SideToMove == b.SideToMove &&
           a.Key == b.Key && a.PawnKey == b.PawnKey && a.EpSquare == b.EpSquare &&
           a.FiftyMoveCounter == b.FiftyMoveCounter && a.CastleShort[0] == b.CastleShort[0] &&
           a.CastleShort[1] == b.CastleShort[1] && a.CastleLong[0] == b.CastleLong[0] &&
           a.CastleLong[1] == b.CastleLong[1] &&
           std::memcmp(a.KeyHistory, b.KeyHistory, sizeof a.KeyHistory) == 0;
}
