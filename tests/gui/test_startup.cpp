// Start-up and window life: the start-up directory, the order in which the
// window builds the engine and the first position, the move sound, the help
// window, the debug window and the small dialogs.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>

#include "WindowLife.h"
#include "bitboard.h"
#include "dialogs/About.h"
#include "dialogs/Debug.h"
#include "dialogs/PROMOTE.h"
#include "dialogs/Personality.h"
#include "gui_fixture.h"
#include "guiglobals.h"
#include "hash.h"
#include "helpsystem.h"
#include "rootsearch.h"
#include "smallfs.h"

class StartupTest : public QObject, public WindowFixture<> {
    Q_OBJECT

    QString dataDir;

private slots:
    // The data the build puts beside the tests.
    void initTestCase() { dataDir = ShippedData(); }

    void init() { ResetWindowTest(); }

    void cleanup() { CloseWindow(); }

    void theStartupDirectoryIsWhereTheDataIs() {
        QVERIFY(QFile::exists(dataDir + "/images/wood/board.bmp"));
        WorkingDirectory elsewhere;
        // No data here: the data beside the program.
        QCOMPARE(QString::fromStdString(StartupDirectory()), dataDir);
        MakeWindow();
        QCOMPARE(QString::fromStdString(w->AppDir), dataDir);
        QCOMPARE(QString::fromStdString(w->PieceSetDir), dataDir + "/images/wood/");
        QCOMPARE(HelpFile(), dataDir + "/rovik.html");
        w.reset();
        // A folder of pictures of one's own (a home folder's "images") is not
        // the program's data.
        QVERIFY(QDir().mkpath("images/holiday"));
        QCOMPARE(QString::fromStdString(StartupDirectory()), dataDir);
        QCOMPARE(QString::fromStdString(UserFilesDirectory(StartupDirectory())),
                 qEnvironmentVariable("XDG_DATA_HOME") + "/morlaquin");
        QVERIFY(QDir("images").removeRecursively());
        // A working directory with the program's data is the start-up directory.
        QVERIFY(elsewhere.LinkShipped("images"));
        QCOMPARE(QString::fromStdString(StartupDirectory()), QDir::currentPath());
    }

    void filesTheProgramRewritesLiveInTheUsersFolder() {
        const QString user = qEnvironmentVariable("XDG_DATA_HOME") + "/morlaquin";
        WorkingDirectory elsewhere;
        MakeWindow();
        QCOMPARE(QString::fromStdString(w->AppDir), dataDir);
        QCOMPARE(QString::fromStdString(w->UserDir), user);
        // The shipped personality file is copied there the first time, and
        // the copy is what the program reads and changes from then on.
        TfrmPersonality first(w.get());
        QCOMPARE(first.PersonalityFile, user + "/MLPersonalities.ini");
        QFile shipped(dataDir + "/MLPersonalities.ini");
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        const QByteArray original = shipped.readAll();
        QFile copy(first.PersonalityFile);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), original);
        copy.close();
        QVERIFY(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
        copy.write("[PERSONALITY1]\nName=Mine\n");
        copy.close();
        TfrmPersonality second(w.get());
        second.FillNameList();
        QCOMPARE(second.cboxName->currentText(), QString("Mine"));
        shipped.seek(0);
        QCOMPARE(shipped.readAll(), original);
        // The installed data is no folder of the user's, also as the working directory.
        QDir::setCurrent(dataDir);
        QCOMPARE(QString::fromStdString(UserFilesDirectory(StartupDirectory())), user);
    }

    void aFolderWithTheProgramsFilesServesAsBoth() {
        WorkingDirectory here;
        QVERIFY(here.LinkShipped("images"));
        MakeWindow();
        QCOMPARE(QString::fromStdString(w->UserDir), here.path());
        TfrmPersonality dialog(w.get());
        QCOMPARE(dialog.PersonalityFile, here.path() + "/MLPersonalities.ini");
        QVERIFY(!QFile::exists(dialog.PersonalityFile));
        QVERIFY(!QDir(qEnvironmentVariable("XDG_DATA_HOME") + "/morlaquin").exists());
    }

    void aShippedFileIsCopiedOnceAndWhole() {
        QTemporaryDir shipped, user;
        QFile book(shipped.filePath("MLBook.lib"));
        QVERIFY(book.open(QIODevice::WriteOnly));
        book.write(QByteArray(64, 'b'));
        book.close();
        const std::string from = shipped.path().toStdString(), to = user.path().toStdString();
        const QString copy = QString::fromStdString(UserFilePath(from, to, "MLBook.lib"));
        QCOMPARE(copy, user.filePath("MLBook.lib"));
        QFile copied(copy);
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QCOMPARE(copied.readAll(), QByteArray(64, 'b'));
        copied.close();
        QVERIFY(copied.open(QIODevice::WriteOnly | QIODevice::Truncate));
        copied.write("learned");
        copied.close();
        UserFilePath(from, to, "MLBook.lib");
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QCOMPARE(copied.readAll(), QByteArray("learned"));
        // Nothing shipped, nothing copied; the same folder, the same file.
        QCOMPARE(QString::fromStdString(UserFilePath(from, to, "Morlaquin.ini")), user.filePath("Morlaquin.ini"));
        QVERIFY(!QFile::exists(user.filePath("Morlaquin.ini")));
        QCOMPARE(QString::fromStdString(UserFilePath(from, from, "MLBook.lib")), shipped.filePath("MLBook.lib"));
        QCOMPARE(QDir(user.path()).entryList(QDir::Files), QStringList{"MLBook.lib"});
    }

    // A first start on a full disk: the copy that could not be made is said
    // with its name and leaves no file, so the next start copies again,
    // whole.
    void aFirstStartOnAFullDiskCopiesAgainNextTime() {
        SmallFileSystem disk;
        if (!disk.Mounted()) QSKIP(disk.Why().c_str());
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(disk.Path()));
        const QString user = QString::fromStdString(disk.Path()) + "/morlaquin";
        QVERIFY(QDir().mkpath(user));
        WorkingDirectory elsewhere;
        QVERIFY(disk.Fill());
        MakeWindow();
        {
            TfrmPersonality first(w.get());
            QCOMPARE(first.PersonalityFile, user + "/MLPersonalities.ini");
        }
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].caption, QString("Error"));
        QVERIFY(boxes.shown[0].text.contains(user + "/MLPersonalities.ini"));
        QVERIFY2(boxes.shown[0].text.contains(QString::fromLocal8Bit(NoSpaceText().c_str())), qPrintable(boxes.shown[0].text));
        QCOMPARE(QDir(user).entryList(QDir::Files | QDir::Hidden), QStringList{});

        disk.Empty();
        boxes.shown.clear();
        {
            TfrmPersonality next(w.get());
            next.FillNameList();
            QVERIFY(next.cboxName->count() > 0);
        }
        QVERIFY(boxes.shown.empty());
        QCOMPARE(ReadWholeFile(user + "/MLPersonalities.ini"), ReadWholeFile(dataDir + "/MLPersonalities.ini"));
        CloseWindow();
    }

    void theEngineTablesComeBeforeTheFirstPosition() {
        // Tables the start position's key and the move generator need.
        std::memset(PieceKeys, 0, sizeof PieceKeys);
        std::memset(KnightAttacks, 0, sizeof KnightAttacks);
        MakeWindow();
        QVERIFY(PieceKeys[PAWN][WHITE][E2] != 0);
        QVERIFY(GameBoard.Pos.Key != 0);
        QCOMPARE(GameBoard.Pos.Key, ComputeHashKey(&GameBoard.Pos));
        QCOMPARE(w->PositionHistory[0].Key, GameBoard.Pos.Key);
        QCOMPARE(w->StartPosition.Key, GameBoard.Pos.Key);
        QCOMPARE(LegalMoves().size(), size_t(20));
        // The board shows that first position.
        QCOMPARE(w->DisplayBoard[E1], KING - 1);
        QCOMPARE(w->DisplayBoard[D8], QUEEN - 1 + 6);
        QCOMPARE(w->DisplayBoard[E4], -1);
        QVERIFY(w->WhiteAtBottom);
    }

    void aStartWithoutItsPiecesEndsWithTheFileNamed() {
        WorkingDirectory empty;
        QVERIFY(QDir().mkpath(empty.path() + "/images/wood"));
        try {
            TestWindow window;
            QFAIL("the window started without its pictures");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString(e.what()).contains(empty.path() + "/images/wood/board.bmp"), e.what());
        }
    }

    void theSoundNeedsAReadableFile_data() {
        QTest::addColumn<QString>("content");  // empty: no file
        QTest::addColumn<bool>("usable");
        QTest::newRow("missing") << "" << false;
        QTest::newRow("not a wave file") << "noise" << false;
        QTest::newRow("the shipped sound") << "ship" << true;
    }

    void theSoundNeedsAReadableFile() {
        QFETCH(QString, content);
        QFETCH(bool, usable);
        WorkingDirectory here;
        QVERIFY(here.LinkShipped("images"));
        if (!content.isEmpty()) {
            QVERIFY(QDir().mkdir("sounds"));
            if (content == "ship") {
                QVERIFY(QFile::copy(dataDir + "/sounds/move.wav", "sounds/move.wav"));
            } else {
                QFile f("sounds/move.wav");
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write(content.toLatin1());
            }
        }
        MakeWindow();
        QCOMPARE(SoundsOn.load(), usable);
        QCOMPARE(w->Sounds1->isChecked(), usable);
        QCOMPARE(w->Sounds1->isEnabled(), usable);
        QCOMPARE(w->MediaPlayer != nullptr, usable);
        w->PlayMoveSound();  // no audio device is no error
        QVERIFY(boxes.shown.empty());
    }

    void theWaveCheckReadsTheChunks() {
        QVERIFY(IsReadableWave(dataDir + "/sounds/move.wav"));
        QFile shipped(dataDir + "/sounds/move.wav");
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        const QByteArray whole = shipped.readAll();
        QTemporaryDir dir;
        auto check = [&](const QByteArray& bytes) {
            QFile f(dir.path() + "/t.wav");
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(bytes);
            f.close();
            return IsReadableWave(f.fileName());
        };
        QVERIFY(check(whole));
        QVERIFY(!check(whole.left(30)));  // cut inside the format chunk
        QVERIFY(!check(QByteArray(whole).replace(8, 4, "AVI ")));
        QVERIFY(!check(QByteArray()));
        QVERIFY(!IsReadableWave(dir.path() + "/none.wav"));
    }

    void thePromotionDialogKeepsItsChoice() {
        TfrmPromote dialog;
        auto ask = [&](QRadioButton* choose, bool ok) {
            WhenModal([&dialog, choose, ok](QWidget*) {
                if (choose) choose->setChecked(true);
                if (ok)
                    dialog.BitBtn1->click();
                else
                    dialog.reject();  // closed without OK
            });
            return dialog.AskPromotionPiece();
        };
        QCOMPARE(ask(nullptr, true), int(QUEEN));
        QCOMPARE(ask(dialog.btnKnight, true), int(KNIGHT));
        QCOMPARE(ask(nullptr, false), int(KNIGHT));
        QCOMPARE(ask(dialog.btnRook, false), int(ROOK));
        QCOMPARE(ask(dialog.btnBishop, true), int(BISHOP));
        QCOMPARE(ask(nullptr, true), int(BISHOP));
        QCOMPARE(dialog.windowTitle(), QString("Promote"));
    }

    void helpOpensTheDocumentAndClosesAtTheEnd() {
        MakeWindow();
        w->Contents1Click();
        QTextBrowser* help = HelpWindow();
        QVERIFY(help != nullptr);
        QVERIFY(help->isVisible());
        QCOMPARE(help->windowTitle(), QString("Morlaquin Help"));
        QVERIFY(help->toPlainText().contains("Morlaquin"));
        w->FormDestroy();
        QVERIFY(HelpWindow() == nullptr);
        QVERIFY(HashTable == nullptr && PawnHashTable == nullptr);
        AllocateHashTables();
    }

    void aMissingHelpFileIsSaid() {
        MakeWindow();
        SetHelpFile("/nonexistent/rovik.html");
        w->Contents1Click();
        QVERIFY(HelpWindow() == nullptr);
        QCOMPARE(boxes.shown.size(), size_t(1));
        QVERIFY(boxes.shown[0].text.contains("/nonexistent/rovik.html"));
    }

    void theDebugWindowItemIsHiddenAndToggles() {
        MakeWindow();
        frmDebug = new TfrmDebug(w.get());
        QVERIFY(!w->ShowDebugWindow1->isVisible());
        QVERIFY(!w->ShowDebugWindow1->isEnabled());
        QCOMPARE(frmDebug->Memo1->toPlainText(), QString("Memo1"));
        QCOMPARE(frmDebug->Memo2->toPlainText(), QString("Memo2"));
        w->ShowDebugWindow1Click();
        QVERIFY(w->ShowDebugWindow1->isChecked());
        QVERIFY(frmDebug->isVisible());
        w->ShowDebugWindow1Click();
        QVERIFY(!frmDebug->isVisible());
        w.reset();
        QVERIFY(frmDebug == nullptr);  // it lives as long as the main window
    }

    void theAboutBoxShowsTheVersionAndLinksTheHelp() {
        MakeWindow();
        AboutBox = new TAboutBox(w.get());
        AboutBox->VersionField = "4.00";
        QColor pressed;
        WhenModal([&pressed](QWidget* box) {
            QCOMPARE(box, static_cast<QWidget*>(AboutBox));
            QCOMPARE(AboutBox->Version->text(), QString("Version 4.00"));
            QTest::mousePress(AboutBox->URLLabel, Qt::LeftButton);
            pressed = AboutBox->URLLabel->palette().color(QPalette::WindowText);
            QTest::mouseRelease(AboutBox->URLLabel, Qt::LeftButton);
            AboutBox->Button1->click();
        });
        w->About1Click();
        QCOMPARE(pressed, QColor(0x80, 0, 0x80));
        QCOMPARE(AboutBox->URLLabel->palette().color(QPalette::WindowText), QColor(0, 0, 0xFF));
        QVERIFY(HelpWindow() != nullptr);
        QuitHelp();
        QCOMPARE(AboutBox->windowTitle(), QString("About Morlaquin"));
    }

    void exitClosesTheWindow() {
        MakeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        boxes.answers.push_back(BoxAnswer::No);
        w->btnExitClick();
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), HangMs);
        QCOMPARE(boxes.shown.size(), std::size_t{1});
    }
};

QTEST_MAIN(StartupTest)
#include "test_startup.moc"
