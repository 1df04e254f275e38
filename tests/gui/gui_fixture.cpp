#include "gui_fixture.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <fstream>
#include <sstream>

#include "BoardView.h"
#include "bitboard.h"
#include "globals.h"
#include "guiglobals.h"
#include "makemove.h"
#include "rootsearch.h"
#include "test_position.h"
#include "xboard.h"

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
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() != nullptr, HangMs);
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

void ScriptedBoxes::Clear() {
    answers.clear();
    shown.clear();
    whileOpen = nullptr;
    typed.clear();
    inputs.clear();
    colours.clear();
    colourDialogsOpenedOn.clear();
}

void FileDialogBoxes::Clear() {
    ScriptedBoxes::Clear();
    files.clear();
    dialogs.clear();
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
    if (thinks) TfrmWinRovik::ComputerMove();
}

void TestWindow::Ponder() {
    calls.push_back("Ponder");
    if (thinks) TfrmWinRovik::Ponder();
}

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
    if (learnsInBook) TfrmWinRovik::LearnMove(before, move, result);
}

int TestWindow::AskPromotionPiece() {
    ++promotionAsks;
    if (promotions.empty()) return QUEEN;
    const int piece = promotions.front();
    promotions.pop_front();
    return piece;
}

int TestWindow::PlayFromTo(int from, int to, int promotion) {
    calls.push_back("PlayFromTo");
    played.push_back({from, to, promotion});
    return TfrmWinRovik::PlayFromTo(from, to, promotion);
}

QPoint TestWindow::SquareCentre(int square) const {
    const int half = static_cast<int>(BoardBitmap.width() * 2.0 / 17.0 / 2);
    return SquarePlace(square) + QPoint(half, half);
}

void TestWindow::Drag(int from, QPoint to) {
    QTest::mousePress(pntBoard, Qt::LeftButton, Qt::NoModifier, SquareCentre(from));
    QTest::mouseMove(pntBoard, to);
    QTest::mouseRelease(pntBoard, Qt::LeftButton, Qt::NoModifier, to);
}

void TestWindow::SetUp(const std::string& fen, int plyOffset) {
    SetupTestPosition(&GameBoard, fen);
    PositionHistory[0] = GameBoard.Pos;
    CurrentPly = LastPly = 0;
    PlyOffset = plyOffset;
    ResetClocks();
}

int TestWindow::Play(const std::string& move) {
    ProtocolMove m;
    if (ParseMoveLine(move, &m) != MoveLineKind::Move) return 0;
    return PlayFromTo(m.from, m.to, m.promotion);
}

int TestWindow::PlayAll(const std::vector<std::string>& moves) {
    int r = 0;
    for (const std::string& m : moves) {
        r = Play(m);
        if (r != 1) return r;
    }
    return r;
}

QString ShippedData() { return QCoreApplication::applicationDirPath() + "/data"; }

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
    for (const std::string& m : moves)
        if (w.Play(m) == 0) return false;
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

KeptGame::KeptGame() { SetupTestPosition(&board, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"); }

std::vector<Move> KeptGame::Legal() const { return LegalMovesOf(board); }

bool KeptGame::Play(const std::string& text) {
    for (const Move m : Legal())
        if (CoordinateText(m) == text) {
            MakeMove(&board, m, &board.Pos);
            return true;
        }
    return false;
}

bool SamePosition(const Position& a, const Position& b) {
    return std::memcmp(a.Pieces, b.Pieces, sizeof a.Pieces) == 0 && a.SideToMove == b.SideToMove &&
           a.Key == b.Key && a.PawnKey == b.PawnKey && a.EpSquare == b.EpSquare &&
           a.FiftyMoveCounter == b.FiftyMoveCounter && a.CastleShort[0] == b.CastleShort[0] &&
           a.CastleShort[1] == b.CastleShort[1] && a.CastleLong[0] == b.CastleLong[0] &&
           a.CastleLong[1] == b.CastleLong[1] &&
           std::memcmp(a.KeyHistory, b.KeyHistory, sizeof a.KeyHistory) == 0;
}
