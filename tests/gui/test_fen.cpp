// FEN positions in the window: set-up from text, files and the clipboard,
// the failures and their message, saving the position shown (over files a
// person protected too), and the protocol's "setboard" on the real program.
#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <memory>

#include "bitboard.h"
#include "fen.h"
#include "globals.h"
#include "guiglobals.h"
#include "gui_fixture.h"
#include "piped_program.h"
#include "rootsearch.h"
#include "smallfs.h"
#include "test_position.h"
#include "unprivileged.h"
#include "xboard.h"

namespace {

const std::string StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
const std::string TwoKingsBlack = "4k3/8/8/8/8/8/8/4K3 b - - 12 40";

}  // namespace

class FenPositionTest : public QObject, public WindowFixture<TestWindow, FileDialogBoxes> {
    Q_OBJECT

    QTemporaryDir dir;

    // Loads through the mailbox, as the menu items and "setboard" do.
    void LoadText(const std::string& text) {
        SetPendingPositionText(text);
        PendingCommand = CMD_LOAD_POSITION;
        Tick();
    }

    void LoadFile(const QString& path) {
        boxes.files.push_back(path);
        w->btnLoadFENClick();
        Tick();
    }

    QString Path(const char* name) const { return dir.filePath(name); }

    // The game is at the standard start position, as after a new game.
    void ExpectStartGame() {
        QVERIFY(SamePosition(GameBoard.Pos, w->StartPosition));
        QVERIFY(SamePosition(w->PositionHistory[0], w->StartPosition));
        QCOMPARE(w->CurrentPly, 0);
        QCOMPARE(w->PlyOffset, 0);
        QCOMPARE(LearnResult, -1.0);
        QCOMPARE(PositionSetUp, u8{0});
        QVERIFY(w->SaveGame1->isEnabled());
        QVERIFY(w->SaveGameas1->isEnabled());
    }

    void ExpectSetUpGame() {
        QCOMPARE(PositionSetUp, u8{1});
        QCOMPARE(LearnResult, -2.0);
        QCOMPARE(ResetFields, u8{1});
        QVERIFY(!w->SaveGame1->isEnabled());
        QVERIFY(!w->SaveGameas1->isEnabled());
        QCOMPARE(w->CurrentPly, 0);
        QCOMPARE(w->LastPly, 0);
        QVERIFY(SamePosition(w->PositionHistory[0], GameBoard.Pos));
    }

    void ExpectLoadEnded() {
        QCOMPARE(PendingCommand.load(), 0);
        QVERIFY(w->Timer1->isActive());
        QVERIFY(PendingPositionText.empty());
        w->Timer1->stop();
    }

    std::string SavedPosition() {
        boxes.files.push_back(Path("saved"));
        w->SavePosition1Click();
        return ReadWholeFile(Path("saved.fen"));
    }

private slots:
    void init() {
        ResetWindowTest();
        ResetProtocolState();
        MakeWindow();
        LearnResult = -1.0;
    }

    void cleanup() {
        CloseWindow();
        ResetGuiState();
    }

    void menuItems() {
        QCOMPARE(w->btnLoadFEN->text(), QString("Load  &Position..."));
        QCOMPARE(w->btnPasteClipboard->text(), QString("Paste Position From &Clipboard"));
        QCOMPARE(w->btnPasteClipboard->shortcut(), QKeySequence("Ctrl+V"));
        QCOMPARE(w->SavePosition1->text(), QString("Save P&osition..."));
        const QList<QAction*> items = w->file->actions();
        QCOMPARE(items.indexOf(w->btnLoadFEN), items.indexOf(w->OpenGame1) + 1);
        QCOMPARE(items.indexOf(w->SavePosition1), items.indexOf(w->SaveGameas1) + 1);

        SetPendingPositionText("left over");
        LastMoveHighlight = true;
        w->btnLoadFEN->trigger();
        QCOMPARE(PendingCommand.load(), CMD_LOAD_POSITION);
        QVERIFY(StopSearch.load());
        QVERIFY(!LastMoveHighlight.load());
        QVERIFY(PendingPositionText.empty());
    }

    void setUpFromText() {
        QVERIFY(PlayMoves(*w, {"e2e4"}));
        LoadText(TwoKingsBlack);
        ExpectLoadEnded();
        ExpectSetUpGame();
        QCOMPARE(GameBoard.Pos.SideToMove, u8{BLACK});
        QCOMPARE(w->PlyOffset, 1);
        QCOMPARE(GameBoard.Pos.FiftyMoveCounter, 12);
        QCOMPARE(w->DisplayBoard[E8], 11);
        QCOMPARE(w->DisplayBoard[E1], 5);
        QCOMPARE(w->DisplayBoard[E2], -1);
        QCOMPARE(w->Cell(0, 0), QString(" "));
        QVERIFY(boxes.shown.empty());

        // A new game ends the set-up.
        w->ResetGame();
        ExpectStartGame();
    }

    void failedLoadsKeepTheGame_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("no kings") << "8/8/8/8/8/8/8/8 w - - 0 1";
        QTest::newRow("slash inside a rank") << "rnbqkbn/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
        QTest::newRow("FEN prefix kept") << "FEN: 4k3/8/8/8/8/8/8/4K3 w - - 0 1";
        QTest::newRow("pawn on the last rank") << "P3k3/8/8/8/8/8/8/4K3 w - - 0 1";
        QTest::newRow("side not to move in check") << "4k3/4Q3/8/8/8/8/8/4K3 w - - 0 1";
        QTest::newRow("over-full first rank") << "8k/8/8/8/8/8/8/4K3 w - - 0 1";
    }

    // Text that sets up no position is said, and the game in progress stays
    // as it was, moves and all.
    void failedLoadsKeepTheGame() {
        QFETCH(QString, text);
        QVERIFY(PlayMoves(*w, {"e2e4", "c7c5", "g1f3"}));
        const Position before = GameBoard.Pos;
        const std::vector<std::string> texts = w->MoveTexts;
        LoadText(text.toStdString());
        ExpectLoadEnded();
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].text, QString("Error loading position!"));
        QCOMPARE(boxes.shown[0].caption, QString("Error"));
        QVERIFY(w->protocol.empty());
        QVERIFY(SamePosition(GameBoard.Pos, before));
        QCOMPARE(w->CurrentPly, 3);
        QCOMPARE(w->LastPly, 3);
        QVERIFY(w->MoveTexts == texts);
        QCOMPARE(PositionSetUp, u8{0});
        QVERIFY(w->SaveGame1->isEnabled());
        // A file holding no position, likewise.
        boxes.shown.clear();
        WriteWholeFile(Path("nothing.fen"), "# no position here\n8/8/8/8/8/8/8/8 w - - 0 1\n");
        LoadFile(Path("nothing.fen"));
        ExpectLoadEnded();
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QVERIFY(SamePosition(GameBoard.Pos, before));
        QCOMPARE(w->CurrentPly, 3);
    }

    // A paste, a file or a dialog that sets up no position leaves the board
    // as it was drawn, the last-move marker included; a position set up
    // clears the marker.
    void aFailedLoadKeepsTheLastMoveMarker() {
        QVERIFY(PlayMoves(*w, {"e2e4", "e7e5"}));
        w->LastMoveFrom = E7;
        w->LastMoveTo = E5;
        LastMoveHighlight = false;
        w->DrawBoard();
        const QImage unmarked = w->ComposeBitmap;
        LastMoveHighlight = true;
        w->DrawBoard();
        const QImage marked = w->ComposeBitmap;
        QVERIFY(marked != unmarked);

        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText("no position here");
        w->btnPasteClipboard->trigger();
        Tick();
        WriteWholeFile(Path("nothing.fen"), "8/8/8/8/8/8/8/8 w - - 0 1\n");
        LoadFile(Path("nothing.fen"));
        QCOMPARE(boxes.shown.size(), std::size_t{2});
        for (const ShownBox& b : boxes.shown) QCOMPARE(b.text, QString("Error loading position!"));
        w->btnLoadFENClick();
        Tick();  // the dialog cancelled
        ExpectLoadEnded();
        QVERIFY(LastMoveHighlight);
        QCOMPARE(w->ComposeBitmap, marked);
        QCOMPARE(w->CurrentPly, 2);

        clipboard->setText(QString::fromStdString(TwoKingsBlack));
        w->btnPasteClipboard->trigger();
        Tick();
        ExpectSetUpGame();
        QVERIFY(!LastMoveHighlight);
    }

    void protocolModeAnswersInsteadOfABox() {
        ProtocolMode = true;
        LoadText("8/8/8/8/8/8/8/8 w - - 0 1");
        ExpectLoadEnded();
        ExpectStartGame();
        // An empty "setboard" never opens the file dialog.
        LoadText("");
        ExpectLoadEnded();
        QVERIFY(boxes.dialogs.empty());
        QVERIFY(boxes.shown.empty());
        QCOMPARE(w->protocol, (std::vector<std::string>{"tellusererror Illegal position",
                                                        "tellusererror Illegal position"}));
        w->protocol.clear();
        LoadText(TwoKingsBlack);
        ExpectLoadEnded();
        ExpectSetUpGame();
        QVERIFY(w->protocol.empty());
    }

    void fileLines() {
        const std::string longLine = "4k3/8/8/8/8/8/8/4K3 b - - 7 1 " + std::string(150, 'x');
        struct Case {
            const char* name;
            std::string content;
            int result;  // 1 set up, 0 failed
            int clock;
        };
        const Case cases[] = {
            {"comments", "# a comment\n[Event \"x\"]\nFEN: 4k3/8/8/8/8/8/8/4K3 w - - 5 1\n", 1, 5},
            {"no kings, then a position", "\n8/8/8/8/8/8/8/8 w - - 0 1\n4k3/8/8/8/8/8/8/4K3 w - - 3 1\n", 1, 3},
            {"refused line ends the search", "rnbqkbn/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w\n" + StartFen + "\n", 0, 0},
            {"empty file", "", 0, 0},
            {"only comments", "# one\n[two]\n", 0, 0},
            {"carriage returns", "# x\r\n4k3/8/8/8/8/8/8/4K3 w - - 9\r\n", 1, 9},
            {"a long line is read whole", longLine + "\n", 1, 7},
            {"a long line is tried once", "8/8/8/8/8/8/8/8 w - - 0 1 " + std::string(300, '8') +
                                              "\n4k3/8/8/8/8/8/8/4K3 w - - 2 1\n", 1, 2},
        };
        for (const Case& c : cases) {
            boxes.shown.clear();
            const Position before = GameBoard.Pos;
            const u8 setUp = PositionSetUp;
            WriteWholeFile(Path("position.fen"), c.content);
            LoadFile(Path("position.fen"));
            ExpectLoadEnded();
            if (c.result == 1) {
                ExpectSetUpGame();
                QVERIFY2(GameBoard.Pos.FiftyMoveCounter == c.clock, c.name);
                QVERIFY2(boxes.shown.empty(), c.name);
            } else {
                QVERIFY2(SamePosition(GameBoard.Pos, before) && PositionSetUp == setUp, c.name);
                QVERIFY2(boxes.shown.size() == 1 && boxes.shown[0].text == "Error loading position!", c.name);
            }
        }
        QCOMPARE(boxes.dialogs.front().name, QString("OpenDialog2"));
        QCOMPARE(boxes.dialogs.front().mode, QFileDialog::AcceptOpen);
        QCOMPARE(boxes.dialogs.front().filters, (QStringList{"FEN Files (*.FEN *.fen)", "All Files (*)"}));
    }

    void cancelledOrUnreadableFileLeavesTheGame() {
        LoadText(TwoKingsBlack);
        const Position set = GameBoard.Pos;
        w->btnLoadFENClick();
        Tick();  // the dialog cancelled
        ExpectLoadEnded();
        LoadFile(Path("no such file"));
        ExpectLoadEnded();
        QVERIFY(SamePosition(GameBoard.Pos, set));
        QCOMPARE(PositionSetUp, u8{1});
        QVERIFY(boxes.shown.empty());
        QCOMPARE(boxes.dialogs.size(), std::size_t{2});
    }

    void clipboard() {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        w->btnPasteClipboardClick();
        QCOMPARE(PendingCommand.load(), 0);
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].text, QString("Clipboard Empty!"));
        QCOMPARE(boxes.shown[0].caption, QString("Error"));

        // Taken whole, line breaks included, as one text.
        clipboard->setText("4k3/8/8/8/\r\n8/8/8/4K3 b - - 3 1\r\n");
        LastMoveHighlight = true;
        w->btnPasteClipboard->trigger();
        QCOMPARE(PendingCommand.load(), CMD_LOAD_POSITION);
        QVERIFY(StopSearch.load());
        QVERIFY(!LastMoveHighlight.load());
        QCOMPARE(PendingPositionText, std::string("4k3/8/8/8/\r\n8/8/8/4K3 b - - 3 1\r\n"));
        Tick();
        ExpectLoadEnded();
        ExpectSetUpGame();
        QCOMPARE(GameBoard.Pos.SideToMove, u8{BLACK});
        QCOMPARE(GameBoard.Pos.FiftyMoveCounter, 3);
    }

    void saveNames() {
        const struct {
            const char* chosen;
            const char* written;
        } cases[] = {{"pos", "pos.fen"}, {"pos.FEN", "pos.FEN.fen"}, {"a.fen.txt", "a.fen.txt"}};
        for (const auto& c : cases) {
            boxes.files.push_back(Path(c.chosen));
            w->SavePosition1Click();
            QCOMPARE(ReadWholeFile(Path(c.written)), StartFen);
        }
        // An existing file is replaced; a cancel writes nothing.
        WriteWholeFile(Path("old.fen"), std::string(500, 'z'));
        boxes.files.push_back(Path("old.fen"));
        w->SavePosition1Click();
        QCOMPARE(ReadWholeFile(Path("old.fen")), StartFen);
        const QStringList before = QDir(dir.path()).entryList(QDir::Files);
        w->SavePosition1Click();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
        // A file that cannot be made is said with its name.
        boxes.files.push_back(Path("no/such/folder/pos"));
        w->SavePosition1Click();
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].caption, QString("Error"));
        QVERIFY(boxes.shown[0].text.contains(Path("no/such/folder/pos.fen")));
        boxes.shown.clear();
        QCOMPARE(boxes.dialogs.front().name, QString("SaveDialog1"));
        QCOMPARE(boxes.dialogs.front().mode, QFileDialog::AcceptSave);
        QVERIFY(boxes.dialogs.front().noOverwritePrompt);
        QCOMPARE(boxes.dialogs.front().filters, (QStringList{"FEN files (*.FEN *.fen)", "All Files (*)"}));
    }

    // On a full disk a saved position replaces the old file whole or not at
    // all, and a failure is said; a new file is not left behind empty.
    void aFullDiskLeavesTheFileAsItWas() {
        SmallFileSystem disk;
        if (!disk.Mounted()) QSKIP(disk.Why().c_str());
        const QString old = QString::fromStdString(disk.Path()) + "/old.fen";
        const std::string before = "4k3/8/8/8/8/8/8/4K3 w - - 0 1\n";
        WriteWholeFile(old, before);
        QVERIFY(disk.Fill());
        for (const QString& name : {old, QString::fromStdString(disk.Path()) + "/new.fen"}) {
            boxes.shown.clear();
            boxes.files.push_back(name);
            w->SavePosition1Click();
            QCOMPARE(boxes.shown.size(), std::size_t{1});
            QCOMPARE(boxes.shown[0].caption, QString("Error"));
            QVERIFY(boxes.shown[0].text.contains(name));
            QVERIFY2(boxes.shown[0].text.contains(QString::fromLocal8Bit(NoSpaceText().c_str())), qPrintable(boxes.shown[0].text));
        }
        QCOMPARE(ReadWholeFile(old), before);
        QCOMPARE(QDir(QString::fromStdString(disk.Path())).entryList(QDir::Files), QStringList{"old.fen"});
    }

    // As a person without an administrator's rights, for whom file modes
    // bind: a position file they made read-only, or a new one in a folder
    // they may not write, is not written and the box says why (in protocol
    // mode nothing is said); an existing file they may write in such a
    // folder is replaced.
    void aSaveKeepsWhatThePersonProtected() {
        const UserFolder own("fentest");
        if (own.Path().empty()) QSKIP("no folder the unprivileged user can reach");
        const QString folder = QString::fromStdString(own.Path()), shared = folder + "/shared";
        const QString mine = folder + "/mine.fen", theirs = shared + "/theirs.fen", fresh = shared + "/new.fen";
        const std::string before = "4k3/8/8/8/8/8/8/4K3 w - - 0 1\n";
        QVERIFY(MakeReadOnlyFile(mine.toStdString(), before));
        QVERIFY(MakeLockedFolder(shared.toStdString(), "theirs.fen", before));
        const struct {
            QString name;
            bool protocol;
            bool saved;
        } cases[] = {{mine, false, false}, {mine, true, false}, {fresh, false, false}, {theirs, false, true}};
        const UnprivilegedRun run = RunUnprivileged(
            [&] {
                for (const auto& c : cases) {
                    boxes.shown.clear();
                    boxes.files.push_back(c.name);
                    ProtocolMode = c.protocol;
                    w->SavePosition1Click();
                    ProtocolMode = false;
                    if (c.saved || c.protocol) {
                        QVERIFY2(boxes.shown.empty(), qPrintable(c.name));
                        continue;
                    }
                    QCOMPARE(boxes.shown.size(), std::size_t{1});
                    QCOMPARE(boxes.shown[0].caption, QString("Error"));
                    QVERIFY(boxes.shown[0].text.contains(c.name));
                    QVERIFY2(boxes.shown[0].text.contains(QString::fromLocal8Bit(std::strerror(EACCES))),
                             qPrintable(boxes.shown[0].text));
                }
            },
            [] { return QTest::currentTestFailed(); });
        if (!run.ran) QSKIP(run.why.c_str());
        QVERIFY2(!run.failed, run.why.c_str());
        QCOMPARE(ReadWholeFile(mine), before);
        QCOMPARE(ReadWholeFile(theirs), StartFen);
        QCOMPARE(QDir(shared).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"theirs.fen"});
    }

    void moveNumbers() {
        QVERIFY(PlayMoves(*w, {"e2e4", "c7c5", "g1f3"}));
        QCOMPARE(SavedPosition(), std::string("rnbqkbnr/pp1ppppp/8/2p5/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2"));

        // A game begun with black to move: its first move is move 1 in the
        // list and in the written text.
        LoadText(TwoKingsBlack);
        QVERIFY(PlayMoves(*w, {"e8d8"}));
        QCOMPARE(w->Cell(0, 0), QString("1."));
        QCOMPARE(w->Cell(1, 0), QString("Kd8"));
        QCOMPARE(SavedPosition(), std::string("3k4/8/8/8/8/8/8/4K3 w -- - 13 1"));
        QVERIFY(PlayMoves(*w, {"e1e2"}));
        QCOMPARE(w->Cell(0, 1), QString("2.   Ke2"));

        // What is written reads back as the same position.
        const Position shown = GameBoard.Pos;
        LoadText(SavedPosition());
        QVERIFY(std::memcmp(GameBoard.Pos.Pieces, shown.Pieces, sizeof shown.Pieces) == 0);
        QCOMPARE(GameBoard.Pos.Key, shown.Key);
        QCOMPARE(GameBoard.Pos.FiftyMoveCounter, shown.FiftyMoveCounter);
    }

    // The real program: a "setboard" longer than 79 characters, then a
    // search whose move must be legal in that position; a failed one is
    // answered the protocol's way.
    void setboardOverThePipe() {
        const std::string fen = "r1b1k1nr/p1p1q1pp/1pn1p1b1/3p1p2/2P1P1P1/1PNP1N1P/P1Q1BP2/R1B1K2R w KQkq - 10 112";
        QVERIFY(fen.size() > 79);
        PipedProgram program;
        QVERIFY(program.Start(MORLAQUIN_PROGRAM, QStringLiteral(MORLAQUIN_TEST_DATA "/images")));
        program.Send("xboard");
        program.Send("protover 2");
        const auto opening = program.Sync(HangMs);
        QVERIFY(opening);
        QCOMPARE(opening->back(), std::string("feature done=1"));

        program.Send("new");
        program.Send("force");
        program.Send("setboard 8/8/8/8/8/8/8/8 w - - 0 1");
        auto lines = program.Sync(HangMs);
        QVERIFY(lines);
        QCOMPARE(*lines, std::vector<std::string>{"tellusererror Illegal position"});

        program.Send("setboard " + fen);
        program.Send("st 1");
        lines = program.Sync(HangMs);
        QVERIFY(lines);
        QVERIFY(lines->empty());
        program.Send("go");
        std::string move;
        while (const auto line = program.NextLine(HangMs)) {
            if (line->starts_with("move ")) {
                move = line->substr(5);
                break;
            }
        }
        ResetEngineState();
        SetupStartPosition(&GameBoard);
        QCOMPARE(ReadFen(&GameBoard.Pos, fen), FEN_SET_UP);
        bool legal = false;
        for (const Move m : LegalMoves()) legal = legal || CoordinateText(m) == move;
        QVERIFY2(legal, ("not a legal move: '" + move + "'").c_str());
        program.Send("quit");
    }
};

QTEST_MAIN(FenPositionTest)
#include "test_fen.moc"
