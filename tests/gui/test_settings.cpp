// The settings file: read at the first showing (in protocol mode only what
// an engine needs), written on closing after "Save settings?", files edited
// by hand, every option through a close and a new start, closes that cannot
// save, and what a person without an administrator's rights protected.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTabWidget>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "dialogs/About.h"
#include "dialogs/LEVELS.h"
#include "dialogs/Personality.h"
#include "dialogs/saveGame.h"
#include "globals.h"
#include "guiglobals.h"
#include "gui_fixture.h"
#include "hash.h"
#include "inifile.h"
#include "killedsave.h"
#include "rootsearch.h"
#include "smallfs.h"
#include "unprivileged.h"
#include "xboard.h"

namespace {

// Written by a person: names in any case, blanks, comments, a section of
// their own, a hexadecimal colour and keys in another order.
const char* const HandMade =
    "; my settings\n"
    "[settings]\n"
    "  board = 3\n"
    "FONT=255\n"
    "background = 0x00FF00\n"
    "hashsize=16\n"
    "\n"
    "# switched off\n"
    "Ponder=0\n"
    "OpeningBook=0\n"
    "Sounds=0\n"
    "Coordinates=0\n"
    "MovedPiece=0\n"
    "SwapSides=1\n"
    "UseHash=0\n"
    "ShowThink=0\n"
    "ShowMove=0\n"
    "ShowClock=0\n"
    "EnableLearning=0\n"
    "EnableResigning=0\n"
    "\n"
    "[My Notes]\n"
    "remember=this\n"
    "\n"
    "[LEVEL]\n"
    "Personality=Vesper\n"
    "type=7\n"
    "[Tournament]\n"
    "Moves=30\n"
    "Time = 90\n"
    "Rest=15\n";

}  // namespace

class SettingsTest : public QObject, public WindowFixture<> {
    Q_OBJECT

    std::unique_ptr<WorkingDirectory> here;

    QString File() const { return here->path() + "/Morlaquin.ini"; }

    // A window started in the folder and shown for the first time.
    void Start() {
        MakeWindow();
        frmSaveGame = new TfrmSaveGame(w.get());
        AboutBox = new TAboutBox(w.get());
        w->FormShow();
    }

    // Closes the window, answering the question; true when it closed.
    bool Close(BoxAnswer answer) {
        boxes.answers.push_back(answer);
        return w->close();
    }

    // The window gone and the program's globals as at start-up, the folder kept.
    void Restart() {
        w.reset();
        ResetEngineState();
        ResetRootSearchState();
        ResetGuiState();
        boxes.shown.clear();
        Start();
    }

    QString Key(const QString& section, const QString& key) const {
        IniDocument ini;
        if (!ini.Load(File())) return "unreadable";
        return ini.ReadString(section, key, "missing");
    }

private slots:
    void init() {
        ResetWindowTest();
        // A folder of the program's own: it reads and writes its files there.
        here = std::make_unique<WorkingDirectory>();
        QVERIFY(here->LinkShipped("images"));
        QVERIFY(here->LinkShipped("sounds"));
        QVERIFY(QFile::copy(ShippedData() + "/MLPersonalities.ini", here->path() + "/MLPersonalities.ini"));
    }

    void cleanup() {
        CloseWindow();
        here.reset();
    }

    // No file: the window as built, the 4 MB table in place of the start-up
    // one (without a message), the design's colours, the first personality
    // and the fields of the save dialog and the About box.
    void withoutAFileTheWindowStaysAsBuilt() {
        QCOMPARE(HashTableEntries, INITIAL_HASH_ENTRIES);
        Start();
        QCOMPARE(w->SettingsFile, File());
        QVERIFY(boxes.shown.empty());
        QCOMPARE(HashTableEntries, 262144ull);
        QCOMPARE(w->HashSizeMB, 4);
        QVERIFY(w->btnHash1->isChecked());
        QCOMPARE(w->TextColour(), 0x808000);
        QCOMPARE(w->BackgroundColour(), 0);
        QCOMPARE(w->windowTitle(), QString("Personality: Morlaquin"));
        QVERIFY(w->DefaultPieces->isChecked());
        QCOMPARE(QString::fromStdString(w->PieceSetDir), here->path() + "/images/wood/");
        QVERIFY(w->WhiteAtBottom);
        for (QAction* a : {w->btnThinkwindow, w->btnLastMoveWindow, w->ChessClocks1, w->PrincipalVariation1,
                           w->Coordinates, w->ShowMovedPiece, w->Sounds1, w->btnUseBook, w->UseHash, w->btnPonder,
                           w->EnableBookLearning1, w->btnResign})
            QVERIFY2(a->isChecked(), qPrintable(a->objectName()));
        QVERIFY(!w->Swapsides1->isChecked());
        for (QWidget* panel : {w->pnlThink, w->pnlLastMove, w->Panel6}) QVERIFY(!panel->isHidden());
        QVERIFY(PonderEnabled && UseBook && UseHashTable && BookLearningEnabled && SoundsOn);
        QVERIFY(ResignEnabled);
        // No level applied; the time-control fields hold the read defaults.
        QCOMPARE(TimeControlType.load(), 1);
        QVERIFY(!w->btnCustom->isChecked());
        QCOMPARE(frmLevels->pcontrLevel->currentWidget(), frmLevels->Sheet2);
        QStringList fields;
        for (QComboBox* c : {frmLevels->cboxSecs1, frmLevels->cboxBlitz1, frmLevels->cboxBlitz2,
                             frmLevels->cboxTourn1, frmLevels->cboxTourn2, frmLevels->cboxTourn3})
            fields << c->currentText();
        QCOMPARE(fields, QStringList({"3", "5", "5", "5", "5", "5"}));
        QCOMPARE(ResetFields, u8{1});
        QCOMPARE(EngineIsBlack, 1);
        QCOMPARE(frmSaveGame->VersionField, QString("4.00"));
        AboutBox->FormShow();
        QCOMPARE(AboutBox->Version->text(), QString("Version 4.00"));
        QVERIFY(!QFile::exists(File()));  // reading makes no file
    }

    void aFileEditedByHandIsReadAndKept() {
        WriteWholeFile(File(), HandMade);
        Start();
        QVERIFY(boxes.shown.empty());
        QVERIFY(w->NewsPieces->isChecked() && !w->DefaultPieces->isChecked());
        QCOMPARE(QString::fromStdString(w->PieceSetDir), here->path() + "/images/news/");
        QCOMPARE(w->TextColour(), 255);
        QCOMPARE(w->BackgroundColour(), 0x00FF00);
        QCOMPARE(w->HashSizeMB, 16);
        QCOMPARE(HashTableEntries, 1048576ull);
        QCOMPARE(w->windowTitle(), QString("Personality: Vesper"));
        QCOMPARE(WeightKingSafety, 220);
        // The tournament level, and the saved Ponder 0 after it.
        QCOMPARE(TimeControlType.load(), 4);
        QCOMPARE(TournamentMoves.load(), 30);
        QCOMPARE(TournamentMinutes.load(), 90.0);
        QCOMPARE(TournamentRest.load(), 15);
        QCOMPARE(frmLevels->pcontrLevel->currentWidget(), frmLevels->Sheet3);
        QVERIFY(!PonderEnabled && !w->btnPonder->isChecked());
        QVERIFY(!UseBook && !w->btnUseBook->isChecked());
        QVERIFY(!UseHashTable && !w->UseHash->isChecked());
        QVERIFY(!SoundsOn && !w->Sounds1->isChecked());
        QVERIFY(!BookLearningEnabled && !w->EnableBookLearning1->isChecked());
        QVERIFY(!ResignEnabled && !w->btnResign->isChecked());
        QVERIFY(!w->Coordinates->isChecked() && !w->ShowMovedPiece->isChecked());
        QVERIFY(w->Swapsides1->isChecked() && !w->WhiteAtBottom);
        QVERIFY(!w->btnThinkwindow->isChecked() && w->pnlThink->isHidden());
        QVERIFY(!w->btnLastMoveWindow->isChecked() && w->pnlLastMove->isHidden());
        QVERIFY(!w->ChessClocks1->isChecked() && w->Panel6->isHidden());

        // Written again: the person's comments, section and names stay.
        w->btnHash2->trigger();
        QVERIFY(Close(BoxAnswer::Yes));
        const QString text = QString::fromStdString(ReadWholeFile(File()));
        QVERIFY(text.startsWith("; my settings\n[settings]\n"));
        QVERIFY(text.contains("# switched off\n"));
        QVERIFY(text.contains("\n[My Notes]\nremember=this\n"));
        QVERIFY(text.contains("\nhashsize=8\n"));
        QVERIFY(text.contains("\nboard=3\n"));
        QCOMPARE(text.count("[Settings]", Qt::CaseInsensitive), 1);
        QCOMPARE(Key("Settings", "Background"), QString::number(0x00FF00));
        QCOMPARE(Key("Level", "Type"), QString("7"));
        QCOMPARE(Key("Tournament", "Time"), QString("90"));
    }

    // A file whose lines end in LF, CRLF or a lone CR (the last one too)
    // stays byte for byte through saves that change nothing; a changed
    // option changes its own line alone, which keeps its end.
    void lineEndsStayThroughEverySave() {
        Start();
        QVERIFY(Close(BoxAnswer::Yes));
        const QList<QByteArray> lines = QByteArray::fromStdString(ReadWholeFile(File())).trimmed().split('\n');
        const char* const ends[] = {"\n", "\r\n", "\n", "\r"};
        QByteArray edited = "; my note\r\n";
        for (qsizetype i = 0; i < lines.size(); ++i) edited += lines[i] + (i + 1 < lines.size() ? ends[i % 4] : "\r");
        WriteWholeFile(File(), edited.toStdString());
        QVERIFY(edited.contains("HashSize=4\n"));
        for (int save = 1; save <= 3; ++save) {
            Restart();
            QVERIFY(Close(BoxAnswer::Yes));
            QCOMPARE(QByteArray::fromStdString(ReadWholeFile(File())), edited);
        }
        Restart();
        w->btnHash2->trigger();
        QVERIFY(Close(BoxAnswer::Yes));
        QCOMPARE(QByteArray::fromStdString(ReadWholeFile(File())), QByteArray(edited).replace("HashSize=4", "HashSize=8"));
    }

    // Every option changed, saved with Yes and found again at the next start.
    void everyOptionComesBack() {
        Start();
        QVERIFY(w->Sounds1->isEnabled());
        TfrmLevels* levels = frmLevels;
        levels->cboxSecs1->setEditText("7");
        levels->cboxBlitz1->setEditText("3");
        levels->cboxBlitz2->setEditText("2");
        levels->cboxTourn1->setEditText("30");
        levels->cboxTourn2->setEditText("90");
        levels->cboxTourn3->setEditText("15");
        levels->pcontrLevel->setCurrentWidget(levels->Sheet3);
        w->ApplyLevel(LEVEL_CHOSEN);
        w->ChallengerPieces->trigger();
        boxes.colours = {QColor(1, 2, 3), QColor(10, 20, 30)};
        w->TextColor1->trigger();
        w->BackgroundColour1->trigger();
        w->btnHash3->trigger();
        for (QAction* a : {w->btnPonder, w->btnUseBook, w->Sounds1, w->Coordinates, w->ShowMovedPiece, w->Swapsides1,
                           w->UseHash, w->btnThinkwindow, w->btnLastMoveWindow, w->ChessClocks1,
                           w->EnableBookLearning1, w->btnResign})
            a->trigger();
        QVERIFY(frmPersonality->SelectPersonality("Rowan"));
        QVERIFY(Close(BoxAnswer::Yes));
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].text, QString("Save settings?"));
        QCOMPARE(boxes.shown[0].caption, QString("Exit"));
        QCOMPARE(boxes.shown[0].buttons, BoxButtons::YesNoCancel);
        QCOMPARE(PendingCommand.load(), CMD_QUIT);
        QVERIFY(StopSearch);

        // The keys in their order.
        IniDocument written;
        QVERIFY(written.Load(File()));
        QStringList keys;
        for (const QByteArray& line : written.Text().split('\n'))
            if (line.contains('=')) keys << QString::fromUtf8(line.left(line.indexOf('=')));
        QCOMPARE(keys, QStringList({"Board", "Font", "Background", "HashSize", "Ponder", "OpeningBook", "Sounds",
                                    "Coordinates", "MovedPiece", "SwapSides", "UseHash", "ShowThink", "ShowMove",
                                    "ShowClock", "EnableLearning", "EnableResigning", "Personality", "Type", "Seconds",
                                    "Minutes", "Bonus", "Moves", "Time", "Rest"}));

        Restart();
        QVERIFY(boxes.shown.empty());
        QVERIFY(w->ChallengerPieces->isChecked() && !w->DefaultPieces->isChecked());
        QCOMPARE(QString::fromStdString(w->PieceSetDir), here->path() + "/images/challenger/");
        QCOMPARE(w->TextColour(), 0x030201);
        QCOMPARE(w->BackgroundColour(), 0x1E140A);
        QCOMPARE(w->HashSizeMB, 16);
        QVERIFY(w->btnHash3->isChecked());
        QCOMPARE(HashTableEntries, 1048576ull);
        for (QAction* a : {w->btnPonder, w->btnUseBook, w->Sounds1, w->Coordinates, w->ShowMovedPiece, w->UseHash,
                           w->btnThinkwindow, w->btnLastMoveWindow, w->ChessClocks1, w->EnableBookLearning1,
                           w->btnResign})
            QVERIFY2(!a->isChecked(), qPrintable(a->objectName()));
        QVERIFY(w->Swapsides1->isChecked() && !w->WhiteAtBottom);
        QVERIFY(!PonderEnabled && !UseBook && !UseHashTable && !SoundsOn && !BookLearningEnabled && !ResignEnabled);
        QVERIFY(w->pnlThink->isHidden() && w->pnlLastMove->isHidden() && w->Panel6->isHidden());
        QCOMPARE(w->windowTitle(), QString("Personality: Rowan"));
        QCOMPARE(TimeControlType.load(), 4);
        QCOMPARE(TournamentMoves.load(), 30);
        QCOMPARE(TournamentMinutes.load(), 90.0);
        QCOMPARE(TournamentRest.load(), 15);
        QVERIFY(w->btnCustom->isChecked());
        QCOMPARE(frmLevels->cboxSecs1->currentText(), QString("7"));
        QCOMPARE(frmLevels->cboxBlitz1->currentText(), QString("3"));
        QCOMPARE(frmLevels->cboxBlitz2->currentText(), QString("2"));
    }

    void theSavedLevel_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("timeControl");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<int>("page");  // of the dialog: 0 Seconds/Move, 1 Blitz, 2 Tournament
        QTest::newRow("4 infinite time") << "4" << 1 << "btnInfinite" << 1;
        QTest::newRow("8 human vs human") << "8" << 1 << "btnHumanvsHuman" << 1;
        QTest::newRow("5 seconds per move") << "5" << 1 << "btnCustom" << 0;
        QTest::newRow("6 blitz") << "6" << 2 << "btnCustom" << 1;
        QTest::newRow("7 tournament") << "7" << 4 << "btnCustom" << 2;
        QTest::newRow("1 none") << "1" << 1 << "" << 1;
        QTest::newRow("2 none") << "2" << 1 << "" << 1;
        QTest::newRow("not a number") << "six" << 1 << "" << 1;
    }

    void theSavedLevel() {
        QFETCH(QString, type);
        QFETCH(int, timeControl);
        QFETCH(QString, checked);
        QFETCH(int, page);
        WriteWholeFile(File(), ("[Level]\nType=" + type + "\n[Seconds]\nSeconds=9\n[Blitz]\nMinutes=12\nBonus=3\n")
                                   .toStdString());
        Start();
        QVERIFY(boxes.shown.empty());
        QCOMPARE(TimeControlType.load(), timeControl);
        for (QAction* a : {w->btnCustom, w->btnInfinite, w->btnHumanvsHuman})
            QCOMPARE(a->isChecked(), a->objectName() == checked);
        QCOMPARE(InfiniteSearch.load(), checked == "btnInfinite");
        QCOMPARE(HumanVsHuman.load(), checked == "btnHumanvsHuman");
        QCOMPARE(frmLevels->pcontrLevel->currentIndex(), page);
        QCOMPARE(frmLevels->cboxSecs1->currentText(), QString("9"));
        if (timeControl == 2) QCOMPARE(BlitzMinutes.load(), 12.0);
        // Human against human: no pondering.
        QCOMPARE(PonderEnabled.load(), checked != "btnHumanvsHuman");
    }

    // Type 1 applies no level: seconds per move from the field, which holds
    // the saved seconds; the dialog shows Blitz, so Blitz is what is saved
    // and what the next start applies.
    void noTypeKeepsTheSecondsAndSavesBlitz() {
        WriteWholeFile(File(), "[Seconds]\nSeconds=9\n[Blitz]\nMinutes=12\nBonus=3\n");
        Start();
        QCOMPARE(TimeControlType.load(), 1);
        QCOMPARE(frmLevels->cboxSecs1->currentText(), QString("9"));
        QVERIFY(Close(BoxAnswer::Yes));
        QCOMPARE(Key("Level", "Type"), QString("6"));
        Restart();
        QCOMPARE(TimeControlType.load(), 2);
        QCOMPARE(BlitzMinutes.load(), 12.0);
        QCOMPARE(BlitzBonus.load(), 3.0);
    }

    // Infinite time and human against human save no level keys: those of
    // an earlier close stay.
    void infiniteTimeOrHumanVsHumanLeaveTheLevelKeys() {
        const std::string older = "[Seconds]\nSeconds=9\n[Blitz]\nMinutes=12\nBonus=3\n[Tournament]\nMoves=30\n";
        for (QAction* TfrmWinRovik::*item : {&TfrmWinRovik::btnInfinite, &TfrmWinRovik::btnHumanvsHuman}) {
            WriteWholeFile(File(), older);
            Start();
            (w.get()->*item)->trigger();
            frmLevels->cboxSecs1->setEditText("not written");
            QVERIFY(Close(BoxAnswer::Yes));
            QCOMPARE(Key("Level", "Type"), QString(item == &TfrmWinRovik::btnInfinite ? "4" : "8"));
            QCOMPARE(Key("Seconds", "Seconds"), QString("9"));
            QCOMPARE(Key("Blitz", "Minutes"), QString("12"));
            QCOMPARE(Key("Tournament", "Moves"), QString("30"));
            QCOMPARE(Key("Tournament", "Time"), QString("missing"));
            w.reset();
            ResetGuiState();
        }
    }

    // In protocol mode only what an engine needs is read, and nothing is
    // ever written.
    void protocolModeReadsButNeverWrites() {
        WriteWholeFile(File(),
                       "[Settings]\nBoard=3\nFont=255\nHashSize=16\nPonder=0\nOpeningBook=0\nSounds=0\nSwapSides=1\n"
                       "UseHash=0\nShowThink=0\nEnableLearning=0\nEnableResigning=0\n"
                       "[Level]\nPersonality=Vesper\nType=4\n[Seconds]\nSeconds=9\n");
        const std::string before = ReadWholeFile(File());
        const QStringList files = QDir(here->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        int fds[2];
        QCOMPARE(::pipe2(fds, O_CLOEXEC), 0);
        ProtocolInput input(fds[0]);
        ProtocolMode = true;
        MakeWindow();
        w->ProtocolReaderInput = &input;
        w->FormShow();
        QVERIFY(boxes.shown.empty());
        QCOMPARE(HashTableEntries, 1048576ull);
        QVERIFY(!PonderEnabled && !UseBook && !UseHashTable && !BookLearningEnabled && !ResignEnabled);
        QCOMPARE(w->TextColour(), 255);
        QCOMPARE(w->windowTitle(), QString("Personality: Vesper"));
        QCOMPARE(WeightKingSafety, 220);
        // Not the window's settings, nor the level.
        QVERIFY(w->DefaultPieces->isChecked() && w->WhiteAtBottom && w->btnThinkwindow->isChecked());
        QVERIFY(!InfiniteSearch && !w->btnInfinite->isChecked());
        QCOMPARE(TimeControlType.load(), 1);
        QVERIFY(frmLevels == nullptr || frmLevels->cboxSecs1->currentText() == "3");
        // Closing asks nothing and writes nothing.
        QVERIFY(w->close());
        QVERIFY(boxes.shown.empty());
        w.reset();
        ::close(fds[1]);
        ::close(fds[0]);
        ProtocolMode = false;
        QCOMPARE(ReadWholeFile(File()), before);
        QCOMPARE(QDir(here->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), files);
    }

    void cancelKeepsTheWindowAndNoWritesNothing() {
        Start();
        w->Timer1->start();
        QVERIFY(!Close(BoxAnswer::Cancel));
        QVERIFY(w->Timer1->isActive());
        QCOMPARE(PendingCommand.load(), 0);
        QVERIFY(!QFile::exists(File()));
        QVERIFY(Close(BoxAnswer::No));
        QVERIFY(!QFile::exists(File()));
        QCOMPARE(PendingCommand.load(), CMD_QUIT);
        QVERIFY(!w->Timer1->isActive());
        // A second close while quitting asks nothing.
        boxes.shown.clear();
        QVERIFY(w->FormClose());
        QVERIFY(boxes.shown.empty());
    }

    // A field that is not a whole number is named; nothing is written and
    // the window stays open.
    void aLevelFieldThatIsNoNumberKeepsTheWindowOpen() {
        WriteWholeFile(File(), "[Blitz]\nBonus=3\n");
        const std::string before = ReadWholeFile(File());
        Start();
        frmLevels->cboxBlitz2->setEditText("five");
        w->Timer1->start();
        QVERIFY(!Close(BoxAnswer::Yes));
        QCOMPARE(boxes.shown.size(), std::size_t{2});
        QVERIFY(boxes.shown[1].text.startsWith("Seconds Bonus per Move: \"five\" is not a whole number."));
        QCOMPARE(ReadWholeFile(File()), before);
        QVERIFY(w->Timer1->isActive());
        QCOMPARE(PendingCommand.load(), 0);
        // Put right, it saves.
        frmLevels->cboxBlitz2->setEditText("4");
        QVERIFY(Close(BoxAnswer::Yes));
        QCOMPARE(Key("Blitz", "Bonus"), QString("4"));
    }

    // A file that cannot be replaced is said, and the window closes as asked.
    void aFileThatCannotBeWrittenIsSaidAndTheWindowCloses() {
        Start();
        w->SettingsFile = here->path() + "/gone/Morlaquin.ini";
        QVERIFY(Close(BoxAnswer::Yes));
        QCOMPARE(boxes.shown.size(), std::size_t{2});
        QCOMPARE(boxes.shown[1].caption, QString("Error"));
        QVERIFY(boxes.shown[1].text.contains("gone/Morlaquin.ini"));
        QCOMPARE(PendingCommand.load(), CMD_QUIT);

        // A folder in the file's place reads as no file and is left alone.
        QVERIFY(QDir().mkdir(File()));
        Restart();
        QVERIFY(boxes.shown.empty());
        QCOMPARE(w->HashSizeMB, 4);
        QVERIFY(Close(BoxAnswer::Yes));
        QCOMPARE(boxes.shown.size(), std::size_t{2});
        QVERIFY(boxes.shown[1].text.contains("Morlaquin.ini"));
        QVERIFY(QFileInfo(File()).isDir());
    }

    // A full disk: the file as it was (a note added by hand and all), the
    // failure said with the file's name, and the window closes as asked.
    void aFullDiskLeavesTheFileAsItWasAndIsSaid() {
        SmallFileSystem disk;
        if (!disk.Mounted()) QSKIP(disk.Why().c_str());
        const QString file = QString::fromStdString(disk.Path()) + "/Morlaquin.ini";
        const std::string before = "; a note of mine\n[Settings]\nBoard=3\n[Level]\nPersonality=Rowan\nType=6\n";
        WriteWholeFile(file, before);
        Start();
        w->SettingsFile = file;
        QVERIFY(disk.Fill());
        QVERIFY(Close(BoxAnswer::Yes));
        QCOMPARE(boxes.shown.size(), std::size_t{2});
        QCOMPARE(boxes.shown[1].caption, QString("Error"));
        QVERIFY(boxes.shown[1].text.contains(file));
        QVERIFY2(boxes.shown[1].text.contains(QString::fromLocal8Bit(NoSpaceText().c_str())), qPrintable(boxes.shown[1].text));
        QCOMPARE(PendingCommand.load(), CMD_QUIT);
        QCOMPARE(ReadWholeFile(file), before);
    }

    // As a person without an administrator's rights, for whom file modes
    // bind: a settings file they made read-only stays as it was and the box
    // says why; one they may write in a folder they may not is saved where
    // it stands; what a killed save left beside it goes, and what a running
    // one writes stays.
    void aSaveKeepsWhatThePersonProtected_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("read-only file") << "read-only";
        QTest::newRow("writable file in a locked folder") << "locked folder";
        QTest::newRow("left by killed saves") << "killed saves";
    }

    void aSaveKeepsWhatThePersonProtected() {
        QFETCH(QString, kind);
        const UserFolder own("settingstest");
        if (own.Path().empty()) QSKIP("no folder the unprivileged user can reach");
        const QString folder = QString::fromStdString(own.Path() + (kind == "locked folder" ? "/shared" : ""));
        const QString file = folder + "/Morlaquin.ini";
        const std::string before = "; two keys and a note of mine\n[Settings]\nBoard=3\nSounds=0\n";
        QStringList after = {"Morlaquin.ini"};
        if (kind == "read-only") {
            QVERIFY(MakeReadOnlyFile(file.toStdString(), before));
        } else if (kind == "locked folder") {
            QVERIFY(MakeLockedFolder(folder.toStdString(), "Morlaquin.ini", before));
        } else {
            WriteWholeFile(file, before);
            QVERIFY(GiveToUnprivilegedUser(file.toStdString()));
            const QString gone = QString::fromStdString(KilledSaveFile("Morlaquin.ini", GoneProcess()));
            const QString running = QString::fromStdString(KilledSaveFile("Morlaquin.ini", getppid()));
            for (const QString& name : {gone, running}) {
                WriteWholeFile(folder + "/" + name, "[Sett");
                QVERIFY(GiveToUnprivilegedUser((folder + "/" + name).toStdString()));
            }
            after << running;
        }
        Start();
        w->btnHash2->trigger();  // 8 MB
        w->SettingsFile = file;
        const UnprivilegedRun run = RunUnprivileged(
            [&] {
                QVERIFY(Close(BoxAnswer::Yes));
                QCOMPARE(PendingCommand.load(), CMD_QUIT);
                if (kind != "read-only") {
                    QCOMPARE(boxes.shown.size(), std::size_t{1});
                    return;
                }
                QCOMPARE(boxes.shown.size(), std::size_t{2});
                QCOMPARE(boxes.shown[1].caption, QString("Error"));
                QVERIFY2(boxes.shown[1].text.contains(file + ": " + QString::fromLocal8Bit(std::strerror(EACCES))),
                         qPrintable(boxes.shown[1].text));
            },
            [] { return QTest::currentTestFailed(); });
        if (!run.ran) QSKIP(run.why.c_str());
        QVERIFY2(!run.failed, run.why.c_str());
        after.sort();
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name), after);
        if (kind == "read-only") {
            QCOMPARE(ReadWholeFile(file), before);
            return;
        }
        IniDocument saved;
        QVERIFY(saved.Load(file));
        QVERIFY(saved.Text().startsWith("; two keys and a note of mine\n[Settings]\n"));
        QCOMPARE(saved.ReadString("Settings", "HashSize", "missing"), QString("8"));
    }

    // What killed saves left in the user's data folder goes at start; what
    // a running save writes stays.
    void aStartRemovesWhatKilledSavesLeft() {
        const pid_t gone = GoneProcess();
        const QString running = QString::fromStdString(KilledSaveFile("Morlaquin.ini", getppid()));
        QStringList left = {running};
        for (const char* name : {"Morlaquin.ini", "MLPersonalities.ini", "MLBook.lib"})
            left << QString::fromStdString(KilledSaveFile(name, gone, 2));
        for (const QString& name : left) WriteWholeFile(here->path() + "/" + name, "[Sett");
        Start();
        QCOMPARE(QDir(here->path()).entryList({".*.new"}, QDir::Files | QDir::Hidden), QStringList{running});
    }

    // A file too large to be read is kept at close, and the box says why.
    void aFileTooLargeIsKeptAndTheReasonSaid() {
        {
            QFile f(File());
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(IniDocument::MaxFileBytes + 1));
        }
        Start();
        QVERIFY(boxes.shown.empty());  // read as no file
        QVERIFY(Close(BoxAnswer::Yes));
        QCOMPARE(boxes.shown.size(), std::size_t{2});
        QVERIFY(boxes.shown[1].text.contains(File()));
        QVERIFY2(boxes.shown[1].text.contains("too large"), qPrintable(boxes.shown[1].text));
        QCOMPARE(QFileInfo(File()).size(), IniDocument::MaxFileBytes + 1);
    }

    // A personality file that cannot be used is named with what is wrong
    // with it, and closing with Yes keeps the personality chosen before.
    void anUnusablePersonalityFileIsSaidAndTheChoiceKept_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");  // empty: nothing said
        QTest::newRow("a folder") << "folder" << "is not a file";
        QTest::newRow("over 4 MB") << "large" << "is too large";
        QTest::newRow("random bytes") << "random" << "holds no personality";
        QTest::newRow("empty") << "empty" << "is empty";
        QTest::newRow("missing") << "missing" << "";
    }

    void anUnusablePersonalityFileIsSaidAndTheChoiceKept() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString personalities = here->path() + "/MLPersonalities.ini";
        QVERIFY(QFile::remove(personalities));
        if (kind == "folder") {
            QVERIFY(QDir().mkdir(personalities));
        } else if (kind == "large") {
            // Good personalities, then comments past the limit.
            std::string text = "[PERSONALITY1]\nName=Rowan\nPawnValue=90\n";
            while (text.size() <= 4u * 1024 * 1024) text += "; " + std::string(98, '-') + "\n";
            WriteWholeFile(personalities, text);
        } else if (kind == "random") {
            std::string bytes(8192, '\0');
            unsigned x = 12345;
            for (char& c : bytes) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 23);
            WriteWholeFile(personalities, bytes);
        } else if (kind == "empty") {
            WriteWholeFile(personalities, "");
        }
        const std::string oddBefore = kind == "folder" || kind == "missing" ? "" : ReadWholeFile(personalities);
        WriteWholeFile(File(), "[Level]\nPersonality=Rowan\nType=6\n");

        Start();
        QCOMPARE(frmPersonality->cboxName->count(), 0);
        QCOMPARE(w->windowTitle(), QString("Personality: "));
        if (reason.isEmpty()) {
            QVERIFY(boxes.shown.empty());
        } else {
            QCOMPARE(boxes.shown.size(), std::size_t{1});
            QCOMPARE(boxes.shown[0].caption, QString("Error"));
            QVERIFY2(boxes.shown[0].text.contains(personalities + " " + reason), qPrintable(boxes.shown[0].text));
        }
        QVERIFY(Close(BoxAnswer::Yes));
        QCOMPARE(Key("Level", "Personality"), QString("Rowan"));
        QCOMPARE(Key("Level", "Type"), QString("6"));
        if (kind == "folder")
            QVERIFY(QFileInfo(personalities).isDir());
        else if (kind == "missing")
            QVERIFY(!QFileInfo::exists(personalities));
        else
            QVERIFY(ReadWholeFile(personalities) == oddBefore);
    }

    // A saved size the machine cannot hold: the start-up table, said, and
    // the menu's 4 MB saved instead of a size that was never in use.
    void aSavedHashSizeTooLargeIsSaidAndNotKept() {
        WriteWholeFile(File(), "[Settings]\nHashSize=2147483647\n");
        Start();
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].text, QString("Error initializing hash!"));
        QCOMPARE(HashTableEntries, INITIAL_HASH_ENTRIES);
        QVERIFY(Close(BoxAnswer::Yes));
        QCOMPARE(Key("Settings", "HashSize"), QString("4"));
    }
};

QTEST_MAIN(SettingsTest)
#include "test_settings.moc"
