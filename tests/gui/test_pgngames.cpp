// PGN games in the window: the save dialog and the file it appends to (files
// a person protected too), the game list and its dialog, loading a listed
// game with every way a load ends, files in the styles other programs
// write, and random games saved and loaded back.
#include <QAction>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <random>

#include "dialogs/MLOpen.h"
#include "dialogs/saveGame.h"
#include "fen.h"
#include "globals.h"
#include "guiglobals.h"
#include "gui_fixture.h"
#include "makemove.h"
#include "movegen.h"
#include "pgnreader.h"
#include "rootsearch.h"
#include "smallfs.h"
#include "test_position.h"
#include "unprivileged.h"

using Strings = std::vector<std::string>;

namespace {

const std::string Tags = "[Event \"e\"]\n[White \"w\"]\n[Black \"b\"]\n\n";

}  // namespace

class PgnGamesTest : public QObject, public WindowFixture<TestWindow, FileDialogBoxes> {
    Q_OBJECT

    QTemporaryDir dir;

    QString Path(const char* name) const { return dir.filePath(name); }

    // A tick of the game loop; the loop is then stopped again, so that only
    // the test's ticks run.
    bool timerOn = false;  // Timer1 ran after the last tick
    void RunTick() {
        Tick();
        timerOn = w->Timer1->isActive();
        w->Timer1->stop();
    }

    // Runs a save command through the tick. When the save dialog shows, fill
    // runs and the dialog is confirmed (ok) or cancelled. Returns whether
    // the dialog was shown.
    bool Save(int command, const std::function<void()>& fill = {}, bool ok = true) {
        auto shown = std::make_shared<bool>(false);
        QTimer::singleShot(0, frmSaveGame, [shown, fill, ok] {
            if (!frmSaveGame->isVisible()) return;
            *shown = true;
            if (fill) fill();
            (ok ? frmSaveGame->BitBtn1 : frmSaveGame->BitBtn2)->click();
        });
        PendingCommand = command;
        RunTick();
        QCoreApplication::processEvents();  // the answer is spent here when no dialog showed
        return *shown;
    }

    // A plain save to the file, the dialog's fields taken as they are.
    void SaveTo(const QString& file) {
        ResetFields = 0;
        frmSaveGame->edtFileName->setText(file);
        QVERIFY(!Save(CMD_SAVE_GAME));
    }

    // Lists the file through the open command.
    void Open(const QString& file) {
        boxes.files.push_back(file);
        PendingCommand = CMD_OPEN_GAME;
        RunTick();
    }

    // Loads a listed row as a double click on it does.
    void LoadRow(int row) {
        frmOpenGame->StringGrid1->setCurrentIndex(frmOpenGame->GameList->index(row - 1, 0));
        frmOpenGame->StringGrid1DblClick();
        QCOMPARE(PendingCommand.load(), CMD_LOAD_LISTED_GAME);
        RunTick();
    }

    // Lists the text as a file and loads a row of it; the plies loaded.
    int Load(const std::string& text, int row = 1) {
        const QString file = Path("load.pgn");
        WriteWholeFile(file, text);
        Open(file);
        if (frmOpenGame->RowCount() <= row) return -1;
        LoadRow(row);
        return w->CurrentPly;
    }

    Strings Moves() const { return Strings(w->MoveTexts.begin(), w->MoveTexts.begin() + w->LastPly); }

    // The game board's placement and side to move, as a FEN's first fields.
    QString FinalPosition() const {
        return QString::fromStdString(WriteFen(GameBoard.Pos, w->CurrentPly)).section(' ', 0, 1);
    }

    QStringList ErrorBoxes() const {
        QStringList texts;
        for (const ShownBox& b : boxes.shown)
            if (b.caption == "Error") texts << b.text;
        return texts;
    }

    // Every worker leaves the mailbox empty and the game loop running.
    void ExpectWorkerDone() {
        QCOMPARE(PendingCommand.load(), 0);
        QVERIFY(timerOn);
    }

    // Plays a random legal game of at most maxPlies plies, to its end.
    void PlayRandomGame(std::mt19937& rng, int maxPlies) {
        for (int p = 0; p < maxPlies; ++p) {
            GenerateMoves(&GameBoard);
            const std::vector<Move> legal = LegalListedMoves(GameBoard);
            if (legal.empty()) return;
            const Move chosen = legal[rng() % legal.size()];
            int index = 0;
            while (GameBoard.List.Moves[index] != chosen) ++index;
            if (w->PlayMove(index, false, false) != 1) return;
        }
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void init() {
        BeginWindowTest();
        frmSaveGame = new TfrmSaveGame(w.get());
        frmOpenGame = new TfrmOpenGame(w.get());
        // As at start-up.
        frmSaveGame->VersionField = "4.00";
        ResetFields = 1;
        EngineIsBlack = 1;
    }

    void cleanup() {
        CloseWindow();
        QVERIFY(frmSaveGame == nullptr);  // the window took its dialogs with it
        QVERIFY(frmOpenGame == nullptr);
        ResetGuiState();
    }

    // ---------------------------------------------------------- components

    void theSaveDialog() {
        QCOMPARE(frmSaveGame->windowTitle(), QString("Save Game"));
        QCOMPARE(frmSaveGame->Label1->text(), QString("File Name:"));
        QCOMPARE(frmSaveGame->GroupBox1->title(), QString("Game Details"));
        const QStringList labels = {"Event:", "Site:", "Date:", "White:", "Black:", "Result:"};
        const QList<QLabel*> shown = {frmSaveGame->Label2, frmSaveGame->Label3, frmSaveGame->Label4,
                                      frmSaveGame->Label5, frmSaveGame->Label6, frmSaveGame->Label7};
        for (int i = 0; i < labels.size(); ++i) QCOMPARE(shown[i]->text(), labels[i]);
        // Tab order: Event to Result.
        const QList<QWidget*> order = {frmSaveGame->edtEvent, frmSaveGame->edtSite, frmSaveGame->edtDate,
                                       frmSaveGame->edtWhite, frmSaveGame->edtBlack, frmSaveGame->edtResult};
        for (int i = 0; i + 1 < order.size(); ++i) QCOMPARE(order[i]->nextInFocusChain(), order[i + 1]);
        QCOMPARE(frmSaveGame->BitBtn1->text(), QString("OK"));
        QVERIFY(frmSaveGame->BitBtn1->isDefault());
        QCOMPARE(frmSaveGame->BitBtn2->text(), QString("Cancel"));
        QCOMPARE(frmSaveGame->dlgSaveGame->nameFilters(), (QStringList{"pgn files (*.pgn *.PGN)", "all files (*)"}));
        QCOMPARE(frmSaveGame->dlgSaveGame->acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(frmSaveGame->dlgSaveGame->testOption(QFileDialog::DontConfirmOverwrite));
        // Built from the empty edits.
        QCOMPARE(frmSaveGame->EventTag, QString("[Event: \"\"]"));
        QCOMPARE(frmSaveGame->ResultTag, QString("[Result: \"\"]"));
    }

    void theGameList() {
        QCOMPARE(frmOpenGame->windowTitle(), QString("Select Game to Open"));
        // The form's size, wider only when the font needs it.
        QVERIFY(frmOpenGame->width() >= 484);
        QCOMPARE(frmOpenGame->height(), 553);
        QTableView* grid = frmOpenGame->StringGrid1;
        QCOMPARE(frmOpenGame->GameList->columnCount(), 6);
        const QStringList headers = {"Game", "White", "Black", "Result", "Date", "Site"};
        const QList<int> widths = {43, 108, 114, 55, 62};
        for (int c = 0; c < 6; ++c) {
            QCOMPARE(frmOpenGame->GameList->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), headers[c]);
            QCOMPARE(frmOpenGame->Cell(c, 0), headers[c]);
            if (c < 5) QVERIFY(grid->columnWidth(c) >= widths[c]);
        }
        QCOMPARE(frmOpenGame->RowCount(), 1);
        QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(!grid->verticalHeader()->isVisible() || grid->verticalHeader()->isHidden());
        QVERIFY(grid->verticalHeader()->defaultSectionSize() >= 15);
        QCOMPARE(frmOpenGame->Button2->text(), QString("&Load Game"));
        QCOMPARE(frmOpenGame->Button1->text(), QString("&Close"));
        QVERIFY(!frmOpenGame->lblLimit->isVisible());
        QCOMPARE(frmOpenGame->GameOffsets.size(), std::size_t{MAX_LISTED_GAMES});
    }

    // At any size of the form every column starts in the view, the fixed
    // texts show whole, the last column fills the rest, and no click or key
    // turns the view sideways.
    void theGameListStaysReadable_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("smallest") << QSize(1, 300);
        QTest::newRow("as made") << QSize();
        QTest::newRow("large") << QSize(1400, 900);
    }

    void theGameListStaysReadable() {
        QFETCH(QSize, size);
        const std::string game = "[Event \"e\"]\n[Site \"Reykjavik ISL, the hall by the harbour\"]\n"
                                 "[Date \"2024.01.01\"]\n[White \"w\"]\n[Black \"b\"]\n[Result \"1/2-1/2\"]\n\n1. e4 *\n\n";
        std::string text;
        for (int i = 0; i < 200; ++i) text += game;
        WriteWholeFile(Path("readable.pgn"), text);
        Open(Path("readable.pgn"));
        if (size.isValid()) frmOpenGame->resize(size);
        QTableView* grid = frmOpenGame->StringGrid1;
        QVERIFY(QTest::qWaitForWindowExposed(frmOpenGame));
        QCoreApplication::processEvents();

        const int inset = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
        const QFontMetrics fm(grid->font());
        const QList<QPair<int, QString>> whole = {{0, "49999"}, {3, "1/2-1/2"}, {4, "2024.01.01"}, {4, "????.??.??"}};
        for (const auto& [column, cell] : whole)
            QVERIFY2(grid->columnWidth(column) >= fm.horizontalAdvance(cell) + inset, qPrintable(cell));
        QVERIFY(grid->rowHeight(0) >= fm.height());

        auto expectInView = [&](const char* after) {
            const int view = grid->viewport()->width();
            QVERIFY2(grid->horizontalScrollBar()->value() == 0, after);
            QVERIFY2(grid->columnViewportPosition(0) == 0, after);
            // Every column but the last whole in the view, the last filling the rest.
            int used = 0;
            for (int c = 0; c < 6; ++c) used += grid->columnWidth(c);
            QVERIFY2(used == view, after);
            QVERIFY2(grid->columnWidth(5) >= grid->horizontalHeader()->sectionSizeHint(5), after);
        };
        expectInView("at the start");
        const QModelIndex site = frmOpenGame->GameList->index(3, 5);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(site).center());
        QCOMPARE(grid->currentIndex(), site);
        expectInView("after a click on a Site cell");
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(frmOpenGame->CurrentRow(), 200);
        expectInView("after Ctrl+End");
        for (const Qt::Key key : {Qt::Key_Right, Qt::Key_End, Qt::Key_Home, Qt::Key_Left})
            QTest::keyClick(grid, key);
        grid->scrollTo(frmOpenGame->GameList->index(100, 5));
        expectInView("after keys and a scroll to a Site cell");
    }

    void theShowMovedPieceItem() {
        QAction* item = w->ShowMovedPiece;
        QCOMPARE(item->objectName(), QString("ShowMovedPiece"));
        QCOMPARE(item->text(), QString("Show &Moved Piece"));
        QVERIFY(item->isCheckable());
        QVERIFY(item->isChecked());
        const QList<QAction*> board = w->Board1->actions();
        QCOMPARE(board.indexOf(item), board.indexOf(w->Coordinates) + 1);
        QCOMPARE(board.indexOf(w->Swapsides1), board.indexOf(item) + 1);
        item->trigger();
        QVERIFY(!item->isChecked());
        item->trigger();
        QVERIFY(item->isChecked());
    }

    // -------------------------------------------------------------- saving

    void theSavedText() {
        QVERIFY(PlayMoves(*w, {"e2e4", "e7e5", "g1f3"}));
        const QString file = Path("three.pgn");
        QVERIFY(Save(CMD_SAVE_GAME_AS, [&] {
            frmSaveGame->edtFileName->setText(file);
            frmSaveGame->edtEvent->setText("Club");
            frmSaveGame->edtSite->setText("Home");
            frmSaveGame->edtDate->setText("01.05.24");
            frmSaveGame->edtWhite->setText("Ann \"the Rook\"");
        }));
        ExpectWorkerDone();
        QCOMPARE(ReadWholeFile(file), std::string("[Event: \"Club\"]\n"
                                                  "[Site: \"Home\"]\n"
                                                  "[Date: \"01.05.24\"]\n"
                                                  "[White: \"Ann \"the Rook\"\"]\n"
                                                  "[Black: \"Morlaquin 4.00\"]\n"
                                                  "[Result: \"\"]\n"
                                                  "\n"
                                                  "1.   e4     e5\n"
                                                  "2.   Nf3     \n"));
        QVERIFY(ErrorBoxes().isEmpty());
    }

    void movesToTheShownPositionEachInItsColumns() {
        QVERIFY(PlayMoves(*w, ShufflePlies(201)));
        w->CurrentPly = 200;  // taken back to the end of move 100
        GameBoard.Pos = w->PositionHistory[200];
        w->SetCell(0, 100, " ");
        SaveTo(Path("long.pgn"));
        const QStringList lines = QString::fromStdString(ReadWholeFile(Path("long.pgn"))).split('\n');
        QCOMPARE(lines.size(), 6 + 1 + 100 + 1);  // the file ends with a line end
        QCOMPARE(lines[7], QString("1.   Nf3    Nf6"));
        QCOMPARE(lines[7 + 8], QString("9.   Nf3    Nf6"));
        QCOMPARE(lines[7 + 9], QString("10.  Ng1    Ng8"));
        QCOMPARE(lines[7 + 98], QString("99.  Nf3    Nf6"));
        QCOMPARE(lines[7 + 99], QString("100. Ng1    Ng8"));
        for (int r = 0; r < 100; ++r) {
            QCOMPARE(lines[7 + r].mid(5, 1), QString("N"));
            QCOMPARE(lines[7 + r].mid(12, 1), QString("N"));
        }
    }

    void theDialogProposesANewFileAndThePlayers() {
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QFile::remove(Path("game1.pgn"));
        QFile::remove(Path("game2.pgn"));
        QFile::remove(Path("game3.pgn"));
        frmSaveGame->edtEvent->setText("kept");
        frmSaveGame->edtResult->setText("1-0");

        const auto today = [] { return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat); };
        const QString dayBefore = today();
        frmSaveGame->FormShow();
        const QString dayAfter = today();  // the same, unless midnight came between
        QCOMPARE(frmSaveGame->edtFileName->text(), QDir(dir.path()).absoluteFilePath("game1.pgn"));
        QCOMPARE(frmSaveGame->edtWhite->text(), QString());
        QCOMPARE(frmSaveGame->edtBlack->text(), QString("Morlaquin 4.00"));
        QCOMPARE(frmSaveGame->edtResult->text(), QString());
        QCOMPARE(frmSaveGame->edtEvent->text(), QString("kept"));
        QVERIFY2(frmSaveGame->edtDate->text() == dayBefore || frmSaveGame->edtDate->text() == dayAfter,
                 qPrintable(frmSaveGame->edtDate->text()));
        QCOMPARE(ResetFields, u8{0});

        WriteWholeFile(Path("game1.pgn"), "");
        WriteWholeFile(Path("game2.pgn"), "");
        frmSaveGame->edtWhite->setText("typed");
        frmSaveGame->edtDate->clear();
        frmSaveGame->FormShow();  // without ResetFields only the date is renewed
        QCOMPARE(frmSaveGame->edtFileName->text(), QDir(dir.path()).absoluteFilePath("game1.pgn"));
        QCOMPARE(frmSaveGame->edtWhite->text(), QString("typed"));
        QVERIFY(!frmSaveGame->edtDate->text().isEmpty());

        ResetFields = 1;
        EngineIsBlack = 0;
        frmSaveGame->FormShow();
        QCOMPARE(frmSaveGame->edtFileName->text(), QDir(dir.path()).absoluteFilePath("game3.pgn"));
        QCOMPARE(frmSaveGame->edtWhite->text(), QString("Morlaquin 4.00"));
        QCOMPARE(frmSaveGame->edtBlack->text(), QString());
        QDir::setCurrent(before);
    }

    void theExtensionIsAddedUnlessTheNameHoldsIt_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("no extension") << "match" << "match.pgn";
        QTest::newRow("upper case") << "match.PGN" << "match.PGN.pgn";
        QTest::newRow("extension") << "match.pgn" << "match.pgn";
        QTest::newRow("inside the name") << "a.pgn.txt" << "a.pgn.txt";
    }

    void theExtensionIsAddedUnlessTheNameHoldsIt() {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        // Chosen with the browse button.
        boxes.files.push_back(Path(typed.toUtf8().constData()));
        frmSaveGame->SpeedButton1Click();
        QCOMPARE(boxes.dialogs.back().name, QString("dlgSaveGame"));
        QCOMPARE(frmSaveGame->edtFileName->text(), Path(saved.toUtf8().constData()));
        // Typed into the edit.
        QFile::remove(Path(saved.toUtf8().constData()));
        SaveTo(Path(typed.toUtf8().constData()));
        QVERIFY(QFileInfo::exists(Path(saved.toUtf8().constData())));
    }

    void savesAppendAndAPlainSaveAsksOnlyOnce() {
        const QString file = Path("twice.pgn");
        QFile::remove(file);
        QVERIFY(PlayMoves(*w, {"d2d4", "d7d5"}));
        // ResetFields is set: even the plain save asks.
        QVERIFY(Save(CMD_SAVE_GAME, [&] {
            frmSaveGame->edtFileName->setText(file);
            frmSaveGame->edtWhite->setText("Ann");
        }));
        QVERIFY(PlayMoves(*w, {"c2c4"}));
        frmSaveGame->edtWhite->setText("not confirmed");
        QVERIFY(!Save(CMD_SAVE_GAME));
        ExpectWorkerDone();
        const std::string text = ReadWholeFile(file);
        const std::string first = "[Event: \"\"]\n[Site: \"\"]\n[Date: \"" +
                                  frmSaveGame->edtDate->text().toStdString() +
                                  "\"]\n[White: \"Ann\"]\n[Black: \"Morlaquin 4.00\"]\n[Result: \"\"]\n\n";
        QCOMPARE(text, first + "1.   d4     d5\n" + first + "1.   d4     d5\n2.   c4      \n");
        Open(file);
        QCOMPARE(frmOpenGame->RowCount(), 3);
        QCOMPARE(frmOpenGame->Cell(1, 2), QString("Ann"));
    }

    void aCancelledSaveWritesNothing() {
        const QString file = Path("cancelled.pgn");
        QFile::remove(file);
        QVERIFY(PlayMoves(*w, {"e2e4"}));
        QVERIFY(Save(CMD_SAVE_GAME_AS, [&] { frmSaveGame->edtFileName->setText(file); }, false));
        ExpectWorkerDone();
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(boxes.shown.empty());
    }

    void aGameFromASetUpPositionIsNotSaved() {
        PositionSetUp = 1;
        SaveTo(Path("setup.pgn"));
        ExpectWorkerDone();
        QVERIFY(!QFileInfo::exists(Path("setup.pgn")));
    }

    void aFailedSaveSaysSoAndLeavesTheFileAsItWas() {
        QVERIFY(PlayMoves(*w, {"e2e4", "e7e5"}));
        // A folder, a full device, no name.
        QDir(dir.path()).mkpath("folder.pgn");
        for (const QString& name : {Path("folder.pgn"), Path("missing/game.pgn")}) {
            boxes.shown.clear();
            SaveTo(name);
            ExpectWorkerDone();
            QCOMPARE(ErrorBoxes().size(), 1);
            QVERIFY(ErrorBoxes()[0].contains(name));
        }
        boxes.shown.clear();
        QVERIFY(Save(CMD_SAVE_GAME_AS, [] { frmSaveGame->edtFileName->setText("  "); }));
        QCOMPARE(ErrorBoxes(), QStringList{"The game was not saved: no file name was given."});

        // A write cut short by the file size limit: nothing of the game stays.
        const QString file = Path("limited.pgn");
        WriteWholeFile(file, "[Event: \"before\"]\n\n1.   e4     \n");
        const std::string kept = ReadWholeFile(file);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = old;
        limited.rlim_cur = kept.size() + 40;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        boxes.shown.clear();
        SaveTo(file);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        ExpectWorkerDone();
        QCOMPARE(ErrorBoxes().size(), 1);
        QCOMPARE(ReadWholeFile(file), kept);
    }

    // On a full disk an append leaves the file as it was (a new file is
    // not left behind empty), says so, and the same save goes in whole once
    // there is room.
    void aFullDiskLeavesTheFileAsItWas() {
        SmallFileSystem disk;
        if (!disk.Mounted()) QSKIP(disk.Why().c_str());
        QVERIFY(PlayMoves(*w, {"e2e4", "e7e5", "g1f3"}));
        const QString folder = QString::fromStdString(disk.Path());
        const QString old = folder + "/games.pgn", fresh = folder + "/new.pgn";
        const std::string before = "[Event: \"before\"]\n\n1.   d4     d5\n";
        WriteWholeFile(old, before);
        // A page free: part of a long game would fit, none of it stays.
        QVERIFY(disk.Fill(4096));
        ResetFields = 0;
        frmSaveGame->EventTag = "[Event: \"" + QString(12000, 'e') + "\"]";
        for (const QString& name : {old, fresh}) {
            boxes.shown.clear();
            SaveTo(name);
            ExpectWorkerDone();
            QCOMPARE(ErrorBoxes().size(), 1);
            QVERIFY(ErrorBoxes()[0].contains(name));
            QVERIFY2(ErrorBoxes()[0].contains(QString::fromLocal8Bit(NoSpaceText().c_str())), qPrintable(ErrorBoxes()[0]));
        }
        QCOMPARE(ReadWholeFile(old), before);
        QVERIFY(!QFile::exists(fresh));

        disk.Empty();
        boxes.shown.clear();
        SaveTo(old);
        QVERIFY(ErrorBoxes().isEmpty());
        const std::string after = ReadWholeFile(old);
        QCOMPARE(after.substr(0, before.size()), before);
        QVERIFY(after.find("\n2.   Nf3") != std::string::npos);
    }

    // As a person without an administrator's rights, for whom file modes
    // bind: a game file they made read-only is not written and the box says
    // why; one they may write in a folder they may not, and the missing file
    // a link of theirs names, take the game.
    void aSaveKeepsWhatThePersonProtected() {
        const UserFolder own("pgntest");
        if (own.Path().empty()) QSKIP("no folder the unprivileged user can reach");
        QVERIFY(PlayMoves(*w, {"e2e4", "e7e5", "g1f3"}));
        const QString folder = QString::fromStdString(own.Path()), shared = folder + "/shared";
        const QString mine = folder + "/mine.pgn", theirs = shared + "/theirs.pgn", linked = folder + "/linked.pgn";
        const std::string before = "[Event: \"before\"]\n\n1.   d4     d5\n";
        QVERIFY(MakeReadOnlyFile(mine.toStdString(), before));
        QVERIFY(MakeLockedFolder(shared.toStdString(), "theirs.pgn", before));
        QVERIFY(QFile::link("made.pgn", linked));
        QVERIFY(GiveToUnprivilegedUser(linked.toStdString()));
        const UnprivilegedRun run = RunUnprivileged(
            [&] {
                SaveTo(mine);
                ExpectWorkerDone();
                QCOMPARE(ErrorBoxes().size(), 1);
                QVERIFY(ErrorBoxes()[0].contains(mine));
                QVERIFY2(ErrorBoxes()[0].contains(QString::fromLocal8Bit(std::strerror(EACCES))),
                         qPrintable(ErrorBoxes()[0]));
                boxes.shown.clear();
                for (const QString& name : {theirs, linked}) {
                    SaveTo(name);
                    ExpectWorkerDone();
                    QVERIFY2(ErrorBoxes().isEmpty(), qPrintable(name));
                }
            },
            [] { return QTest::currentTestFailed(); });
        if (!run.ran) QSKIP(run.why.c_str());
        QVERIFY2(!run.failed, run.why.c_str());
        QCOMPARE(ReadWholeFile(mine), before);
        const std::string appended = ReadWholeFile(theirs);
        QCOMPARE(appended.substr(0, before.size()), before);
        QVERIFY(appended.find("\n2.   Nf3") != std::string::npos);
        QVERIFY(QFileInfo(linked).isSymLink());
        QVERIFY(ReadWholeFile(folder + "/made.pgn").find("\n2.   Nf3") != std::string::npos);
    }

    // ------------------------------------------------------------- listing

    void aCancelledOpenLeavesTheGame() {
        QVERIFY(PlayMoves(*w, {"e2e4"}));
        PendingCommand = CMD_OPEN_GAME;
        RunTick();
        ExpectWorkerDone();
        QCOMPARE(w->CurrentPly, 1);
        QCOMPARE(boxes.dialogs.size(), std::size_t{1});
        QCOMPARE(boxes.dialogs[0].name, QString("OpenDialog1"));
        QCOMPARE(boxes.dialogs[0].mode, QFileDialog::AcceptOpen);
        QCOMPARE(boxes.dialogs[0].filters, (QStringList{"pgn Files (*.pgn *.PGN)", "All Files (*)"}));
        QVERIFY(!frmOpenGame->isVisible());
    }

    void aFileWithoutGamesCannotBeOpened_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing") << "" << false;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("moves only") << "1. e4 e5 2. Nf3 *\n" << true;
    }

    void aFileWithoutGamesCannotBeOpened() {
        QFETCH(QString, text);
        QFETCH(bool, exists);
        const QString file = Path("nogames.pgn");
        QFile::remove(file);
        if (exists) WriteWholeFile(file, text.toStdString());
        QVERIFY(PlayMoves(*w, {"e2e4"}));
        Open(file);
        ExpectWorkerDone();
        QCOMPARE(w->CurrentPly, 0);  // reset when the file was chosen
        QCOMPARE(ErrorBoxes(), QStringList{"Error opening file!"});
        QVERIFY(!frmOpenGame->isVisible());
    }

    void theListShowsEveryGameOfTheFile() {
        const std::string game = "[Event \"e\"]\n[Site \"S\xC3\xA4o\"]\n[Date \"2024.01.02\"]\n[White \"Ann\"]\n"
                                 "[Black \"M\xFCller\"]\n[Result \"1-0\"]\n\n1. e4 e5 1-0\n\n";
        std::string text;
        for (int i = 0; i < 70; ++i) text += game;
        const QString file = Path("seventy.pgn");
        WriteWholeFile(file, text);
        Open(file);
        ExpectWorkerDone();
        QVERIFY(frmOpenGame->isVisible());
        QCOMPARE(frmOpenGame->windowTitle(), QString("Select Game to Open"));
        QCOMPARE(w->PgnFileName, file);
        QCOMPARE(frmOpenGame->RowCount(), 71);
        QCOMPARE(frmOpenGame->Cell(0, 70), QString("70"));
        QCOMPARE(frmOpenGame->Cell(1, 70), QString("Ann"));
        QCOMPARE(frmOpenGame->Cell(2, 70), QString::fromUtf8("M\xC3\xBCller"));  // Latin-1 in the file
        QCOMPARE(frmOpenGame->Cell(3, 70), QString("1-0"));
        QCOMPARE(frmOpenGame->Cell(4, 70), QString("2024.01.02"));
        QCOMPARE(frmOpenGame->Cell(5, 70), QString::fromUtf8("S\xC3\xA4o"));
        QCOMPARE(frmOpenGame->GameOffsets[70], static_cast<i64>(69 * game.size()));
        QCOMPARE(frmOpenGame->CurrentRow(), 1);  // Load Game takes the first game

        // A second listing replaces the first.
        WriteWholeFile(file, game);
        Open(file);
        QCOMPARE(frmOpenGame->RowCount(), 2);
    }

    void theListsButtons() {
        WriteWholeFile(Path("two.pgn"), Tags + "1. e4 *\n" + Tags + "1. d4 *\n");
        Open(Path("two.pgn"));
        StopSearch = false;
        frmOpenGame->StringGrid1->setCurrentIndex(QModelIndex());
        frmOpenGame->StringGrid1DblClick();  // no row chosen
        QCOMPARE(PendingCommand.load(), 0);

        frmOpenGame->StringGrid1->setCurrentIndex(frmOpenGame->GameList->index(1, 3));
        QCOMPARE(frmOpenGame->CurrentRow(), 2);
        frmOpenGame->StringGrid1DblClick();
        QCOMPARE(PendingCommand.load(), CMD_LOAD_LISTED_GAME);
        QVERIFY(StopSearch);
        QCOMPARE(frmOpenGame->SelectedGameOffset, frmOpenGame->GameOffsets[2]);
        QVERIFY(frmOpenGame->isVisible());

        PendingCommand = 0;
        frmOpenGame->StringGrid1->setCurrentIndex(frmOpenGame->GameList->index(0, 0));
        frmOpenGame->Button2->click();
        QCOMPARE(PendingCommand.load(), CMD_LOAD_LISTED_GAME);
        QCOMPARE(frmOpenGame->SelectedGameOffset, i64{0});
        QVERIFY(!frmOpenGame->isVisible());
        RunTick();
        QCOMPARE(Moves(), (Strings{"e4"}));

        frmOpenGame->show();
        frmOpenGame->Button1->click();
        QVERIFY(!frmOpenGame->isVisible());
        QCOMPARE(PendingCommand.load(), 0);
    }

    // ------------------------------------------------------------- loading

    void aListedGameIsReplayed() {
        HumanToMove = false;
        LearnResult = 0.5;
        QCOMPARE(Load(Tags + "1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 {Ruy Lopez} 4. Ba4 Nf6 5. O-O Be7 1-0\n"), 10);
        ExpectWorkerDone();
        QCOMPARE(Moves(), (Strings{"e4", "e5", "Nf3", "Nc6", "Bb5", "a6", "Ba4", "Nf6", "O-O", "Be7"}));
        QCOMPARE(w->LastPly, 10);
        QCOMPARE(w->Cell(0, 4), QString("5.   O-O"));
        QCOMPARE(w->Cell(1, 4), QString("Be7"));
        QCOMPARE(LearnResult, -2.0);
        QVERIFY(!HumanToMove);  // as it was
        QVERIFY(LastMoveHighlight);
        QCOMPARE(w->LastMoveFrom, int{F8});
        QCOMPARE(w->LastMoveTo, int{E7});
        QCOMPARE(w->DisplayBoard[G1], KING - 1);
        QCOMPARE(w->WhiteUsedMs, 0.0);
        QVERIFY(w->tmrClock->isActive());
        QVERIFY(boxes.shown.empty());
        // A plain save now appends to the file it came from.
        QCOMPARE(frmSaveGame->edtFileName->text(), w->PgnFileName);
        QCOMPARE(ResetFields, u8{0});

        w->ShowMovedPiece->setChecked(false);
        LoadRow(1);
        QVERIFY(!LastMoveHighlight);
    }

    void movesNamedBySquaresAndThePinnedKnight() {
        // Both knights reach f3; the one on d2 is pinned and is tried first.
        const std::string line = Tags + "1. d4 e6 2. Nf3 Bb4+ 3. Nbd2 Nc6 4. Ne5 Nf6";
        QCOMPARE(Load(line + " *"), 8);
        GenerateMoves(&GameBoard);
        int first = 0;
        while (MovePiece(GameBoard.List.Moves[first]) != KNIGHT || MoveTo(GameBoard.List.Moves[first]) != F3) ++first;
        QCOMPARE(MoveFrom(GameBoard.List.Moves[first]), int{D2});
        QCOMPARE(Load(line + " 5. Nf3 *"), 9);
        QCOMPARE(MoveFrom(w->MoveCodes[8]), int{E5});
        QCOMPARE(Load(Tags + "1. e4 d5 2. exd5 Qxd5 3. Nc3 Qd8 4. d4 Nf6 5. Bg5 Bf5 6. Qd2 Nc6 7. O-O-O Qxd4 "
                             "8. Qh6xd4 *"),
                 14);  // "Qh6xd4": no queen on h6
        QCOMPARE(Moves()[12], std::string("O-O-O"));
    }

    void howALoadEnds_data() {
        QTest::addColumn<QString>("moves");
        QTest::addColumn<int>("plies");
        QTest::addColumn<QString>("box");     // the error box shown, if any
        QTest::addColumn<bool>("fileKept");  // the save dialog now names the file
        QTest::addColumn<QString>("status");
        const QString white = "White to move";
        QTest::newRow("its end") << "1. e4 e5 *" << 2 << "" << true << white;
        QTest::newRow("its end, black to move") << "1. e4 e5 2. Nf3 *" << 3 << "" << true << "Black to move";
        QTest::newRow("no moves") << "*" << 0 << "Error loading game!" << false << white;
        QTest::newRow("no move token first")
            << "1. e2e4e5 e5" << 0 << "Error loading game!\nThe game stops at move 1: \"e2e4e5\" is no move." << false
            << white;
        QTest::newRow("no move token later")
            << "1. e4 e5 2. Nf3Nc6 *" << 2 << "The game stops at move 2: \"Nf3Nc6\" is no move." << false << white;
        QTest::newRow("a word that is no move")
            << "1. e4 e5 2. Nf3 zzz Nc6 *" << 3 << "The game stops at move 2: \"zzz\" is no move." << false
            << "Black to move";
        QTest::newRow("illegal first") << "1. e5 *" << 0
                                       << "Error loading game!\nThe game stops at move 1: \"e5\" is not a legal move here."
                                       << false << white;
        QTest::newRow("illegal later") << "1. e4 e5 2. Ke3 Nc6 *" << 2
                                       << "The game stops at move 2: \"Ke3\" is not a legal move here." << true
                                       << white;
        QTest::newRow("checkmate") << "1. f3 e5 2. g4 Qh4# 3. a3 0-1" << 4 << "" << true << "   Checkmate!";
        QTest::newRow("a null move") << "1. e4 e5 2. -- Nc6 *" << 2 << "" << true << white;
        QTest::newRow("set-up position") << "[FEN \"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1\"]\n1. e4 *" << 0
                                         << "Error loading game!" << false << white;
    }

    void howALoadEnds() {
        QFETCH(QString, moves);
        QFETCH(int, plies);
        QFETCH(QString, box);
        QFETCH(bool, fileKept);
        QFETCH(QString, status);
        ResetFields = 1;
        w->lblStatus->setText("   Moved: Nf6");  // the game before
        frmSaveGame->edtFileName->setText("other.pgn");
        QCOMPARE(Load(Tags + moves.toStdString()), plies);
        ExpectWorkerDone();
        QCOMPARE(w->LastPly, plies);
        QCOMPARE(ErrorBoxes(), box.isEmpty() ? QStringList{} : QStringList{box});
        QCOMPARE(boxes.shown.size(), std::size_t{box.isEmpty() ? 0u : 1u});
        QCOMPARE(frmSaveGame->edtFileName->text() == w->PgnFileName, fileKept);
        QCOMPARE(ResetFields == 0, fileKept);
        QCOMPARE(LastMoveHighlight.load(), plies > 0);
        QCOMPARE(w->lblStatus->text(), status);
        // The clocks run from the position reached, unless the game is over.
        QCOMPARE(w->tmrClock->isActive(), plies > 0 && QByteArray(QTest::currentDataTag()) != "checkmate");
    }

    void aLoadCutShortSaysNothingInProtocolMode() {
        WriteWholeFile(Path("short.pgn"), Tags + "1. e4 e5 2. Nf3 zzz Nc6 *");
        Open(Path("short.pgn"));
        ProtocolMode = true;
        LoadRow(1);
        ProtocolMode = false;
        ExpectWorkerDone();
        QCOMPARE(w->LastPly, 3);
        QVERIFY(boxes.shown.empty());
    }

    void aFileGoneBeforeTheLoadLeavesTheGame() {
        WriteWholeFile(Path("gone.pgn"), Tags + "1. d4 *");
        Open(Path("gone.pgn"));
        QVERIFY(PlayMoves(*w, {"e2e4"}));
        QFile::remove(Path("gone.pgn"));
        LoadRow(1);
        ExpectWorkerDone();
        QCOMPARE(Moves(), (Strings{"e4"}));
        QVERIFY(boxes.shown.empty());
    }

    void filesOtherProgramsWrite_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("moves");
        const QStringList ruy = {"e4", "e5", "Nf3", "Nc6", "Bb5", "a6"};
        const QString tags = QString::fromStdString(Tags);
        QTest::newRow("one long line")
            << tags + "1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 " + QString(200, ' ') + "{" + QString(300, 'x') + "} *\n" << 1
            << ruy;
        QTest::newRow("nested variations")
            << tags + "1. e4 (1. d4 d5 (1... Nf6 2. c4)) e5 2. Nf3 (2. f4 exf4 (2... d5)) Nc6 3. Bb5 a6 *" << 1
            << ruy;
        QTest::newRow("annotations") << tags + "1. e4! e5 2. Nf3?! $1 Nc6!? 3. Bb5!! $14 a6?? *" << 1 << ruy;
        QTest::newRow("castling with zeros")
            << tags + "1. e4 e5 2. Nf3 Nc6 3. Bc4 Bc5 4. 0-0 Nf6 *" << 1
            << QStringList{"e4", "e5", "Nf3", "Nc6", "Bc4", "Bc5", "O-O", "Nf6"};
        QTest::newRow("ends at its result") << tags + "1. e4 e5 1-0\n\n" + tags + "1. Nf3 Nc6 *" << 1
                                            << QStringList{"e4", "e5"};
        QTest::newRow("ends at the next tags") << tags + "1. e4 e5\n\n" + tags + "1. Nf3 Nc6 *" << 1
                                               << QStringList{"e4", "e5"};
        QTest::newRow("the second game") << tags + "1. e4 e5 1-0\n\n" + tags + "1. Nf3 Nc6 *" << 2
                                         << QStringList{"Nf3", "Nc6"};
        QTest::newRow("byte-order mark, CRLF, empty line in the tags")
            << QString::fromUtf8("\xEF\xBB\xBF[Event \"e\"]\r\n\r\n[White \"w\"]\r\n\r\n1. e4 e5 2. Nf3\r\nNc6 3. Bb5 "
                                 "a6 *\r\n")
            << 1 << ruy;
        QTest::newRow("escape lines and rest-of-line comments")
            << tags + "% produced by a tool\n1. e4 e5 ; 2. d4 is the main line\n% 2. d4\n2. Nf3 Nc6 3. Bb5 a6 *" << 1
            << ruy;
        QTest::newRow("no White tag") << "[Event \"e\"]\n[Black \"b\"]\n\n1. e4 e5 *" << 1 << QStringList{"e4", "e5"};
    }

    void filesOtherProgramsWrite() {
        QFETCH(QString, text);
        QFETCH(int, row);
        QFETCH(QStringList, moves);
        QCOMPARE(Load(text.toStdString(), row), static_cast<int>(moves.size()));
        QStringList got;
        for (const std::string& m : Moves()) got << QString::fromStdString(m);
        QCOMPARE(got, moves);
        QVERIFY(ErrorBoxes().isEmpty());
        QCOMPARE(frmOpenGame->Cell(0, row), QString::number(row));
    }

    // Each way another program writes a game, listed and loaded through the
    // window: the players and result listed, every move loaded (the final
    // position, side to move included, as an independent reader gives it).
    void snippetsAsOtherProgramsWriteThem_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("games");  // listed
        QTest::addColumn<int>("row");    // loaded
        QTest::addColumn<QString>("white");
        QTest::addColumn<QString>("black");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("plies");
        QTest::addColumn<QString>("position");
        const QByteArray tags = "[White \"W\"]\n[Black \"B\"]\n[Result \"*\"]\n\n";
        const QString ruy16 = "r1bq1rk1/2p1bppp/p1np1n2/1p2p3/4P3/1BP2N2/PP1P1PPP/RNBQR1K1 w";
        const QString bb5 = "r1bqkbnr/pppp1ppp/2n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R b";
        const QString d4d5 = "rnbqkbnr/ppp1pppp/8/3p4/3P4/8/PPP1PPPP/RNBQKBNR w";
        QTest::newRow("evaluation signs")
            << tags + "1. e4 e5 2. Nf3 +/- Nc6 3. Bb5 -/+ a6 +- 4. Ba4 -+ Nf6 =/+ 5. O-O +/= Be7 = 6. Re1 =+ b5 "
                      "+= 7. Bb3 $14 d6 !? 8. c3 = O-O +/- *"
            << 1 << 1 << "W" << "B" << "*" << 16 << ruy16;
        QTest::newRow("signs glued to the moves")
            << tags + "1. e4 e5 2. Nf3+/- Nc6-+ 3. Bb5+- a6=+ 4. Ba4+= Nf6+/= 5. O-O=/+ Be7= 6. Re1 b5 7. Bb3 d6 "
                      "8. c3 O-O *"
            << 1 << 1 << "W" << "B" << "*" << 16 << ruy16;
        QTest::newRow("novelty and diagram marks")
            << tags + "1. e4 N e5 2. Nf3 N Nc6 3. Bb5 TN a6 D 4. Ba4 N *" << 1 << 1 << "W" << "B" << "*" << 7
            << "r1bqkbnr/1ppp1ppp/p1n5/4p3/B3P3/5N2/PPPP1PPP/RNBQK2R b";
        QTest::newRow("signs in UTF-8")
            << tags + "1. e4 e5 \xE2\x88\x9E 2. Nf3 \xC2\xB1 Nc6 \xE2\x88\x93 3. Bb5 \xE2\x88\x9E *" << 1 << 1 << "W"
            << "B" << "*" << 5 << bb5;
        QTest::newRow("signs in Latin-1")
            << QByteArray("[White \"M\xFCller\"]\n[Black \"B\"]\n[Result \"*\"]\n\n1. e4 e5 \xB1 2. Nf3 \xB1 Nc6 3. Bb5 \xB1 *")
            << 1 << 1 << QString::fromUtf8("M\xC3\xBCller") << "B" << "*" << 5 << bb5;
        QTest::newRow("blanks inside the brackets")
            << QByteArray("[ White \"W\" ]\n[ Black \"B\" ]\n[ Result \"1-0\" ]\n\n1. d4 d5 1-0\n") << 1 << 1
            << "W" << "B" << "1-0" << 2 << d4d5;
        QTest::newRow("several tag pairs on one line")
            << QByteArray("[Event \"x\"] [Site \"s\"] [White \"W\"] [Black \"B\"] [Result \"0-1\"]\n\n1. d4 d5 0-1\n")
            << 1 << 1 << "W" << "B" << "0-1" << 2 << d4d5;
        QTest::newRow("move text after the last tag")
            << QByteArray("[White \"W\"]\n[Black \"B\"]\n[Result \"*\"] 1. d4 d5 *\n") << 1 << 1 << "W" << "B"
            << "*" << 2 << d4d5;
        QTest::newRow("games of one line each")
            << QByteArray("[White \"V\"] [Black \"U\"] [Result \"*\"] 1. e4 *\n"
                          "[White \"W\"] [Black \"B\"] [Result \"*\"] 1. d4 d5 *\n")
            << 2 << 2 << "W" << "B" << "*" << 2 << d4d5;
        QTest::newRow("the program's own tags")
            << QByteArray("[Event: \"\"]\n[Site: \"\"]\n[Date: \"\"]\n[White: \"W\"]\n[Black: \"B\"]\n[Result: \"*\"]\n\n"
                          "1.   d4     d5\n")
            << 1 << 1 << "W" << "B" << "*" << 2 << d4d5;
        QTest::newRow("long algebraic")
            << tags + "1. e2-e4 e7-e5 2. Qd1-h5 Nb8-c6 3. Bf1-c4 Ng8-f6 4. Qh5xf7# 1-0" << 1 << 1 << "W" << "B"
            << "*" << 7 << "r1bqkb1r/pppp1Qpp/2n2n2/4p3/2B1P3/8/PPPP1PPP/RNB1K1NR b";
        QTest::newRow("long algebraic, a queen with a dash")
            << tags + "1. f2-f3 e7-e5 2. g2-g4 Qd8-h4# 0-1" << 1 << 1 << "W" << "B" << "*" << 4
            << "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w";
        QTest::newRow("coordinates, castling") << tags + "1. e2e4 e7e5 2. g1f3 b8c6 3. f1c4 g8f6 4. e1g1 f8c5 *"
                                               << 1 << 1 << "W" << "B" << "*" << 8
                                               << "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 w";
        QTest::newRow("coordinates, a promotion") << tags + "1. e2e4 d7d5 2. e4d5 c7c6 3. d5c6 g8f6 4. c6b7 b8d7 5. b7a8q *"
                                                  << 1 << 1 << "W" << "B" << "*" << 9
                                                  << "Q1bqkb1r/p2npppp/5n2/8/8/8/PPPP1PPP/RNBQKBNR b";
        QTest::newRow("bracketed commands")
            << tags + "1. e4 [%clk 0:01:00] e5 [%x )] 2. Nf3 {[%clk 0:00:59]} Nc6 [%x (] 3. Bb5 [%eval 0.3] *" << 1
            << 1 << "W" << "B" << "*" << 5 << bb5;
        // Read once for the list and the loader: the line that follows the
        // command is inside the variation, no new game.
        QTest::newRow("a command in a variation")
            << QByteArray("[White \"W\"]\n[Black \"B\"]\n\n1. d4 ([%x )]\n[White \"X\"])d5 *\n") << 1 << 1 << "W"
            << "B" << "" << 2 << d4d5;
        QTest::newRow("a variation opened in a command") << QByteArray("[White \"W\"]\n\n1. d4 [%x (]\n[Black \"B\"]\n\n1. d4 d5 *\n")
                                                         << 2 << 2 << "" << "B" << "" << 2 << d4d5;
    }

    void snippetsAsOtherProgramsWriteThem() {
        QFETCH(QByteArray, text);
        QFETCH(int, games);
        QFETCH(int, row);
        QFETCH(QString, white);
        QFETCH(QString, black);
        QFETCH(QString, result);
        QFETCH(int, plies);
        QFETCH(QString, position);
        QCOMPARE(Load(text.toStdString(), row), plies);
        QCOMPARE(frmOpenGame->RowCount() - 1, games);
        QCOMPARE(frmOpenGame->Cell(1, row), white);
        QCOMPARE(frmOpenGame->Cell(2, row), black);
        QCOMPARE(frmOpenGame->Cell(3, row), result);
        QCOMPARE(FinalPosition(), position);
        QVERIFY2(boxes.shown.empty(), boxes.shown.empty() ? "" : qPrintable(boxes.shown[0].text));
    }

    // Files written as a database export (Latin-1, CRLF, signs and NAGs,
    // variations), a server download (clock and evaluation comments), an
    // engine match (engine comments, long algebraic and coordinate moves)
    // and tool and bulletin inputs (tag variants): every game loads whole.
    void realWorldFilesLoadWhole_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("games");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("white");
        QTest::addColumn<int>("plies");
        QTest::addColumn<QString>("position");
        const QString db = "databaseexport.pgn", server = "serverdownload.pgn", engine = "enginematch.pgn",
                      variants = "tagvariants.pgn";
        QTest::newRow("database 1") << db << 3 << 1 << QString::fromUtf8("M\xC3\xBCller, J\xC3\xB6rg") << 34
                                    << "r4rk1/pp4pp/2pqpn2/4N3/3P4/2R5/PPQ2PPP/4R1K1 w";
        QTest::newRow("database 2") << db << 3 << 2 << QString::fromUtf8("Nov\xC3\xA1k, Pavel") << 34
                                    << "r2qnrk1/3nbppp/3pb3/5PP1/p2NP3/1p2B3/PPPQ3P/2KR1B1R w";
        QTest::newRow("database 3") << db << 3 << 3 << "Lemaire, Hugo" << 13
                                    << "rn1q1bnr/ppp1kB1p/3p2p1/3NN3/4P3/8/PPPP1PPP/R1BbK2R b";
        QTest::newRow("server 1") << server << 3 << 1 << "knightowl_7" << 24
                                  << "r1b1k2r/p1q2pp1/2pb1n1p/n7/8/3N4/PPP1BPPP/RNBQK2R w";
        QTest::newRow("server 2") << server << 3 << 2 << QString::fromUtf8("\xC3\x86r\xC3\xB8sk\xC3\xB8" "bing_fan") << 24
                                  << "r1bq1rk1/ppp1n1bp/3p1np1/3Pp3/2P1Pp2/2NN1P2/PP1BB1PP/R2Q1RK1 w";
        QTest::newRow("server 3") << server << 3 << 3 << "pawnbrush" << 11
                                  << "r3kbQ1/ppp1p2p/2nq4/3p1b2/8/8/PPPP1PPP/RNBQKBNR b";
        QTest::newRow("engine comments") << engine << 4 << 1 << "Alder 2.1" << 26
                                         << "r1b2rk1/pp3qpp/2n1p1p1/3pP3/2pP2Q1/P1P1BN2/2P2PPP/R3K2R w";
        QTest::newRow("long algebraic") << engine << 4 << 2 << "Cedar 1.4" << 20
                                        << "r1b2rk1/pp2qpbp/2p3p1/2p1p2n/2N1P3/3P1N1P/PPP2PP1/R1BQR1K1 w";
        QTest::newRow("coordinates") << engine << 4 << 3 << "Birch 0.9" << 26
                                     << "r1bq1rk1/ppp1nppp/3p4/3P2N1/2B1R3/8/PP3PPP/R2Q2K1 w";
        QTest::newRow("coordinates, a promotion") << engine << 4 << 4 << "Cedar 1.4" << 9
                                                  << "Q1bqkb1r/p2npppp/5n2/8/8/8/PPPP1PPP/RNBQKBNR b";
        QTest::newRow("blanks in the brackets") << variants << 5 << 1 << "Quill, Nora" << 10
                                                << "rn1qkb1r/pp2pppp/2p2n2/5b2/P1pP4/2N2N2/1P2PPPP/R1BQKB1R w";
        QTest::newRow("tags on one line") << variants << 5 << 2 << "Ash, Ivo" << 12
                                          << "rnb1kb1r/p1pp1ppp/5n1q/1B6/4Pp2/5N2/PPPP2PP/RNBQ1K1R w";
        QTest::newRow("moves on the last tag's line") << variants << 5 << 3 << "Case, Ada" << 4
                                                      << "rnbqkbnr/ppp2ppp/4p3/3p4/2PP4/8/PP2PPPP/RNBQKBNR w";
        QTest::newRow("a game on one line") << variants << 5 << 4 << "Fell, Gus" << 3
                                            << "rnbqkbnr/pp1ppppp/8/2p5/4P3/5N2/PPPP1PPP/RNBQKB1R b";
        QTest::newRow("the program's own dialect") << variants << 5 << 5 << "Ivy" << 5
                                                   << "rnbqkb1r/pppp1ppp/5n2/4p3/2P5/2N3P1/PP1PPP1P/R1BQKBNR b";
    }

    void realWorldFilesLoadWhole() {
        QFETCH(QString, name);
        QFETCH(int, games);
        QFETCH(int, row);
        QFETCH(QString, white);
        QFETCH(int, plies);
        QFETCH(QString, position);
        Open(QStringLiteral(PGN_FILES_DIR) + "/" + name);
        QCOMPARE(frmOpenGame->RowCount() - 1, games);
        QCOMPARE(frmOpenGame->Cell(1, row), white);
        LoadRow(row);
        QCOMPARE(w->LastPly, plies);
        QCOMPARE(FinalPosition(), position);
        QVERIFY2(boxes.shown.empty(), boxes.shown.empty() ? "" : qPrintable(boxes.shown[0].text));
    }

    void aGameFarIntoAHugeFile() {
        // A sparse file: the game begins beyond 2^32 bytes.
        const QString file = Path("huge.pgn");
        const i64 at = (i64{1} << 32) + 99;
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(f.resize(at));
            QVERIFY(f.seek(at));
            f.write((Tags + "1. c4 e5 *\n").c_str());
        }
        w->PgnFileName = file;
        frmOpenGame->SelectedGameOffset = at;
        PendingCommand = CMD_LOAD_LISTED_GAME;
        RunTick();
        QCOMPARE(Moves(), (Strings{"c4", "e5"}));
        QFile::remove(file);
    }

    // Files written as other programs write them, each for a way their
    // games used to be cut short or split.
    void everyGameOfAFileFromElsewhereLoadsWhole_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("games");
        QTest::newRow("many styles") << "styles.pgn" << 9;
        QTest::newRow("bracketed lines in comments and variations") << "bracketcomments.pgn" << 6;
        QTest::newRow("draws nobody claimed") << "unclaimed.pgn" << 2;
        QTest::newRow("a tag repeated in its block") << "repeatedtags.pgn" << 3;
        QTest::newRow("e.p. after the capture") << "enpassant.pgn" << 3;
    }

    void everyGameOfAFileFromElsewhereLoadsWhole() {
        QFETCH(QString, name);
        QFETCH(int, games);
        const QString file = QStringLiteral(PGN_FILES_DIR) + "/" + name;
        Open(file);
        QCOMPARE(frmOpenGame->RowCount() - 1, games);
        for (int row = 1; row <= games; ++row) {
            // Each game's PlyCount tag gives its length; the White tag says how it was written.
            PgnSource source;
            QVERIFY(source.Open(file.toStdString()));
            QVERIFY(source.Seek(frmOpenGame->GameOffsets[static_cast<std::size_t>(row)]));
            PgnGameReader reader(source);
            reader.NextGame();
            int plies = -1;
            for (const PgnTag& tag : reader.Tags())
                if (QString::fromStdString(tag.Name).compare("PlyCount", Qt::CaseInsensitive) == 0)
                    plies = std::stoi(tag.Value);
            LoadRow(row);
            QVERIFY2(w->LastPly == plies, qPrintable(frmOpenGame->Cell(1, row) + ": " + QString::number(w->LastPly)));
        }
        QVERIFY(ErrorBoxes().isEmpty());
    }

    void aCommentHoldingABracketedLineIsNoNewGame() {
        QCOMPARE(Load(Tags + "1. e4 e5 {a diagram:\n[D]\n} 2. Nf3 Nc6 *\n"), 4);
        QCOMPARE(frmOpenGame->RowCount(), 2);
        QCOMPARE(Moves(), (Strings{"e4", "e5", "Nf3", "Nc6"}));
        QVERIFY(ErrorBoxes().isEmpty());
    }

    void aRepetitionNobodyClaimedLeavesTheGameWhole() {
        Open(QStringLiteral(PGN_FILES_DIR) + "/unclaimed.pgn");
        LoadRow(1);
        QCOMPARE(w->LastPly, 56);
        // After 20... Kg8 the position stands for the third time, as after 16... Bg7 and 18... Kg8.
        const std::vector<Position>& history = w->PositionHistory;
        QCOMPARE(history[40].Key, history[32].Key);
        QCOMPARE(history[36].Key, history[32].Key);
        QCOMPARE(CheckDraw(&history[40], 1), DRAW_REPETITION);
        QCOMPARE(Moves()[40], std::string("a4"));
        // The game ends in no draw: its clocks run.
        QCOMPARE(w->lblStatus->text(), QString("White to move"));
        QVERIFY(w->tmrClock->isActive());

        // Fifty moves without a capture or a pawn move, then a pawn moves.
        LoadRow(2);
        QCOMPARE(w->LastPly, 126);
        int longest = 0;
        for (int p = 0; p <= w->LastPly; ++p) longest = std::max(longest, history[p].FiftyMoveCounter);
        QVERIFY(longest >= 100);
        QCOMPARE(w->lblStatus->text(), QString("White to move"));
        QVERIFY(ErrorBoxes().isEmpty());
    }

    void theEndIsJudgedOnTheFinalPosition_data() {
        QTest::addColumn<QString>("moves");
        QTest::addColumn<int>("plies");
        QTest::addColumn<QString>("status");
        const QString shuffle = "1. Nf3 Nf6 2. Ng1 Ng8 3. Nf3 Nf6 4. Ng1 Ng8 ";
        QTest::newRow("a repetition at its end") << shuffle + "1/2-1/2" << 8 << "   Draw!";
        QTest::newRow("a repetition before its end") << shuffle + "5. e4 *" << 9 << "Black to move";
        QTest::newRow("mate after a repetition") << shuffle + "5. f3 e5 6. g4 Qh4# 0-1" << 12 << "   Checkmate!";
    }

    void theEndIsJudgedOnTheFinalPosition() {
        QFETCH(QString, moves);
        QFETCH(int, plies);
        QFETCH(QString, status);
        QCOMPARE(Load(Tags + moves.toStdString()), plies);
        ExpectWorkerDone();
        QCOMPARE(w->lblStatus->text(), status);
        QCOMPARE(w->tmrClock->isActive(), status.endsWith("to move"));
        QVERIFY(boxes.shown.empty());
    }

    void aFileWithMoreGamesThanTheListSaysWhereItStops_data() {
        QTest::addColumn<int>("games");
        QTest::addColumn<bool>("more");
        QTest::newRow("as many as the list holds") << MAX_LISTED_GAMES - 1 << false;
        QTest::newRow("one more") << MAX_LISTED_GAMES << true;
        QTest::newRow("many more") << MAX_LISTED_GAMES + 500 << true;
    }

    void aFileWithMoreGamesThanTheListSaysWhereItStops() {
        QFETCH(int, games);
        QFETCH(bool, more);
        std::string text;
        for (int g = 1; g <= games; ++g) text += "[White \"" + std::to_string(g) + "\"]\n\n1. e4 *\n\n";
        const QString file = Path("many.pgn");
        WriteWholeFile(file, text);
        Open(file);
        ExpectWorkerDone();
        QCOMPARE(frmOpenGame->RowCount(), MAX_LISTED_GAMES);
        QCOMPARE(frmOpenGame->Cell(1, MAX_LISTED_GAMES - 1), QString::number(MAX_LISTED_GAMES - 1));
        QCOMPARE(frmOpenGame->lblLimit->isVisible(), more);
        if (more) QVERIFY(frmOpenGame->lblLimit->text().contains("49,999"));
        QCOMPARE(frmOpenGame->windowTitle(), QString("Select Game to Open"));
        // A shorter file next: the word goes.
        WriteWholeFile(file, Tags + "1. e4 *\n");
        Open(file);
        QVERIFY(!frmOpenGame->lblLimit->isVisible());
    }

    void randomGamesSavedAndLoadedBack() {
#ifdef __SANITIZE_ADDRESS__
        constexpr int GAMES = 400;  // each game costs ten times as much here
#else
        constexpr int GAMES = 2000;
#endif
        const QString file = Path("random.pgn");
        QFile::remove(file);
        ResetFields = 0;
        frmSaveGame->edtFileName->setText(file);
        std::mt19937 rng(20240501);
        std::vector<std::vector<Move>> games;
        std::vector<Position> finals;
        for (int g = 0; g < GAMES; ++g) {
            w->ResetGame();
            LearnResult = -2.0;
            PlayRandomGame(rng, 1 + static_cast<int>(rng() % 160));
            games.emplace_back(w->MoveCodes.begin(), w->MoveCodes.begin() + w->LastPly);
            finals.push_back(GameBoard.Pos);
            w->SaveGamePgn();
            w->Timer1->stop();
        }
        QVERIFY(ErrorBoxes().isEmpty());
        w->PgnFileName = file;
        frmOpenGame->LoadGameList(file);
        QCOMPARE(frmOpenGame->RowCount(), GAMES + 1);
        for (int g = 0; g < GAMES; ++g) {
            frmOpenGame->SelectedGameOffset = frmOpenGame->GameOffsets[static_cast<std::size_t>(g + 1)];
            w->LoadSelectedGame();
            w->Timer1->stop();
            const std::vector<Move> loaded(w->MoveCodes.begin(), w->MoveCodes.begin() + w->LastPly);
            QVERIFY2(loaded == games[static_cast<std::size_t>(g)], qPrintable("game " + QString::number(g + 1)));
            QVERIFY(SamePosition(GameBoard.Pos, finals[static_cast<std::size_t>(g)]));
        }
        QVERIFY(ErrorBoxes().isEmpty());
    }
};

QTEST_MAIN(PgnGamesTest)
#include "test_pgngames.moc"
