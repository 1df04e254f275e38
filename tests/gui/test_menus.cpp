// The menu bar as designed, the option items that act at once, and the
// learning book: left alone while learning is switched off or the person
// made it read-only, flushed once for a game learned.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

#include <sys/resource.h>

#include <csignal>

#include <functional>
#include <vector>

#include "bitboard.h"
#include "book.h"
#include "flushwatch.h"
#include "globals.h"
#include "guiglobals.h"
#include "gui_fixture.h"
#include "unprivileged.h"

namespace {

// One entry of a menu: an item or a separator ("-").
struct Entry {
    const char* name;
    const char* caption;
    const char* shortcut;
    bool checked;
    bool shown;  // visible and enabled
};

struct MenuRow {
    const char* name;
    const char* title;
    std::vector<Entry> entries;
};

const std::vector<MenuRow> MenuBar = {
    {"file",
     "&File",
     {{"OpenGame1", "&Load Game...", "Ctrl+O", false, true},
      {"btnLoadFEN", "Load  &Position...", "", false, true},
      {"btnPasteClipboard", "Paste Position From &Clipboard", "Ctrl+V", false, true},
      {"N4", "-", "", false, true},
      {"SaveGame1", "&Save Game", "Ctrl+S", false, true},
      {"SaveGameas1", "Save Game &As...", "", false, true},
      {"SavePosition1", "Save P&osition...", "", false, true},
      {"N7", "-", "", false, true},
      {"btnExit", "E&xit", "", false, true}}},
    {"Game1",
     "&Game",
     {{"NewGame1", "&New Game...", "", false, true},
      {"GotoStartofGame1", "Go to St&art of Game", "", false, true},
      {"GoToEndofGame1", "Go to &End of Game", "", false, true},
      {"N5", "-", "", false, true},
      {"Move1", "&Move", "Ctrl+M", false, true},
      {"Stopthinking1", "&Stop Thinking", "Ctrl+T", false, true},
      {"Takeback1", "&Undo Move", "Ctrl+Z", false, true},
      {"RedoMove1", "&Redo Move", "Ctrl+R", false, true},
      {"N3", "-", "", false, true},
      {"Autoplay", "&Autoplay", "Ctrl+A", false, true}}},
    {"View1",
     "&View",
     {{"btnThinkwindow", "&Think Window", "", true, true},
      {"btnLastMoveWindow", "&Last Move Window", "", true, true},
      {"ChessClocks1", "Chess &Clocks", "", true, true},
      {"ShowDebugWindow1", "&Debug Window", "", false, false},
      {"TournamentMode", "Tournament Mode", "", false, false},
      {"PrincipalVariation1", "Principal Variation", "", true, true}}},
    {"Level1",
     "Level",
     {{"Personality1", "Choose &Personality", "", false, true},
      {"N1", "-", "", false, true},
      {"btnCustom", "&Setup Clocks", "", false, true},
      {"btnInfinite", "&Infinite Time", "", false, true},
      {"N9", "-", "", false, true},
      {"btnHumanvsHuman", "H&uman vs Human", "", false, true}}},
    {"Board1",
     "Board",
     {{"DefaultPieces", "Wood", "", true, true},
      {"StonePieces", "Marble", "", false, true},
      {"NewsPieces", "News", "", false, true},
      {"ChallengerPieces", "Challenger", "", false, true},
      {"ModernPieces", "Modern", "", false, true},
      {"Modern2Pieces", "Modern2", "", false, true},
      {"N6", "-", "", false, true},
      {"TextColor1", "&Font Colour", "", false, true},
      {"BackgroundColour1", "&Background Colour", "", false, true},
      {"N10", "-", "", false, true},
      {"Coordinates", "Show &Coordinates", "", true, true},
      {"ShowMovedPiece", "Show &Moved Piece", "", true, true},
      {"Swapsides1", "S&wap Sides", "", false, true}}},
    {"Options1",
     "Options",
     {{"Sounds1", "&Sounds", "", true, true},
      {"N2", "-", "", false, true},
      {"btnUseBook", "Use Opening &Book", "", true, true},
      {"UseHash", "Use &Hash Table", "", true, true},
      {"btnPonder", "&Ponder", "", true, true},
      {"N8", "-", "", false, true},
      {"EnableBookLearning1", "Enable Book Learning", "", true, true},
      {"btnResign", "Enable Resigning", "", true, true}}},
    {"Hash1",
     "&Hash Table",
     {{"btnHash1", "&4 MB", "", true, true},
      {"btnHash2", "&8 MB", "", false, true},
      {"btnHash3", "&16 MB", "", false, true},
      {"btnHash4", "&32 MB", "", false, true},
      {"btnHash5", "&Custom...", "", false, true}}},
    {"Help1", "Help", {{"Contents1", "&Contents", "", false, true}, {"About1", "&About...", "", false, true}}},
};

}  // namespace

class MenuTest : public QObject, public WindowFixture<> {
    Q_OBJECT

private slots:
    void init() { BeginWindowTest(); }

    void cleanup() { CloseWindow(); }

    void theMenuBarAsDesigned() {
        const QList<QAction*> menus = w->menuBar()->actions();
        QCOMPARE(menus.size(), static_cast<qsizetype>(MenuBar.size()));
        for (std::size_t m = 0; m < MenuBar.size(); ++m) {
            QMenu* menu = menus[static_cast<qsizetype>(m)]->menu();
            QVERIFY(menu != nullptr);
            QCOMPARE(menu->objectName(), QString(MenuBar[m].name));
            QCOMPARE(menu->title(), QString(MenuBar[m].title));
            const QList<QAction*> items = menu->actions();
            QCOMPARE(items.size(), static_cast<qsizetype>(MenuBar[m].entries.size()));
            for (qsizetype i = 0; i < items.size(); ++i) {
                const Entry& e = MenuBar[m].entries[static_cast<std::size_t>(i)];
                const QAction* a = items[i];
                QCOMPARE(a->objectName(), QString(e.name));
                if (QString(e.caption) == "-") {
                    QVERIFY2(a->isSeparator(), e.name);
                    continue;
                }
                QCOMPARE(a->text(), QString(e.caption));
                QCOMPARE(a->shortcut(), QKeySequence(QString(e.shortcut)));
                QCOMPARE(a->isChecked(), e.checked);
                QCOMPARE(a->isVisible(), e.shown);
                QCOMPARE(a->isEnabled(), e.shown);
            }
        }
        // The hidden items cannot be chosen: Tournament Mode stays off and
        // the game's end is shown in a box.
        w->TournamentMode->trigger();
        w->ShowDebugWindow1->trigger();
        QVERIFY(!w->TournamentMode->isChecked());
        QVERIFY(!w->ShowDebugWindow1->isChecked());
    }

    // Each item turns its option off and on again, with its check.
    void optionItemsActAtOnce_data() {
        QTest::addColumn<QString>("item");
        QTest::newRow("Use Hash Table") << "UseHash";
        QTest::newRow("Use Opening Book") << "btnUseBook";
        QTest::newRow("Ponder") << "btnPonder";
        QTest::newRow("Enable Book Learning") << "EnableBookLearning1";
        QTest::newRow("Enable Resigning") << "btnResign";
        QTest::newRow("Sounds") << "Sounds1";
        QTest::newRow("Think Window") << "btnThinkwindow";
        QTest::newRow("Last Move Window") << "btnLastMoveWindow";
        QTest::newRow("Chess Clocks") << "ChessClocks1";
        QTest::newRow("Principal Variation") << "PrincipalVariation1";
        QTest::newRow("Show Moved Piece") << "ShowMovedPiece";
    }

    void optionItemsActAtOnce() {
        QFETCH(QString, item);
        const std::vector<std::pair<QAction*, std::function<bool()>>> options = {
            {w->UseHash, [] { return UseHashTable != 0; }},
            {w->btnUseBook, [] { return UseBook.load(); }},
            {w->btnPonder, [] { return PonderEnabled.load(); }},
            {w->EnableBookLearning1, [] { return BookLearningEnabled.load(); }},
            {w->btnResign, [] { return ResignEnabled.load(); }},
            {w->Sounds1, [] { return SoundsOn.load(); }},
            {w->btnThinkwindow, [this] { return !w->pnlThink->isHidden(); }},
            {w->btnLastMoveWindow, [this] { return !w->pnlLastMove->isHidden(); }},
            {w->ChessClocks1, [this] { return !w->Panel6->isHidden(); }},
            {w->PrincipalVariation1, [this] { return !w->lblPV->isHidden(); }},
            {w->ShowMovedPiece, [this] { return w->ShowMovedPiece->isChecked(); }},
        };
        ResignEnabled = true;  // as the settings are read at the first showing
        for (const auto& [action, option] : options) {
            if (action->objectName() != item) continue;
            QVERIFY(action->isChecked());
            QVERIFY(option());
            StopSearch = false;
            action->trigger();
            QVERIFY(!action->isChecked());
            QVERIFY(!option());
            // Pondering switched off ends a ponder search.
            QCOMPARE(StopSearch.load(), action == w->btnPonder);
            action->trigger();
            QVERIFY(action->isChecked());
            QVERIFY(option());
            return;
        }
        QFAIL("no such item");
    }

    // With learning off, a judged game leaves the learning book as it was,
    // both when its result comes and at the next new game.
    void noGameIsLearnedWhileLearningIsOff() {
        CloseWindow();
        ResetWindowTest();
        WorkingDirectory here;
        QVERIFY(here.LinkShipped("images"));
        QVERIFY(QFile::copy(QString(MORLAQUIN_TEST_DATA) + "/MLBook.lib", here.path() + "/MLBook.lib"));
        const std::string book = ReadWholeFile(here.path() + "/MLBook.lib");
        QVERIFY(!book.empty());
        MakeWindow();
        w->learnsInBook = true;
        w->EnableBookLearning1Click();
        QVERIFY(!BookLearningEnabled);
        LearnResult = 1.0;
        QCOMPARE(w->Play("e2e4"), 1);
        QCOMPARE(LearnResult, -2.0);
        LearnResult = 1.0;
        w->ResetGame();
        QCOMPARE(ReadWholeFile(here.path() + "/MLBook.lib"), book);
        // Switched on again, the same game is learned.
        w->EnableBookLearning1Click();
        QCOMPARE(w->Play("e2e4"), 1);
        LearnResult = 1.0;
        w->ResetGame();
        QVERIFY(ReadWholeFile(here.path() + "/MLBook.lib") != book);
        CloseWindow();  // before the working directory goes
    }

    // The records of a game reach the disk together, in one flush, once the
    // game's result is learned.
    void aGameIsLearnedInOneFlush() {
        CloseWindow();
        ResetWindowTest();
        WorkingDirectory here;
        QVERIFY(here.LinkShipped("images"));
        const QString path = here.path() + "/MLBook.lib";
        QVERIFY(QFile::copy(QString(MORLAQUIN_TEST_DATA) + "/MLBook.lib", path));
        const std::string book = ReadWholeFile(path);
        MakeWindow();
        w->learnsInBook = true;
        QVERIFY(PlayMoves(*w, {"e2e4", "e7e5", "g1f3", "b8c6"}));
        QVERIFY(WatchFlushes(path.toStdString()));
        LearnResult = 1.0;
        w->ResetGame();
        const std::string learned = ReadWholeFile(path);
        QCOMPARE(learned.size(), book.size());
        int records = 0;
        for (std::size_t at = 0; at < book.size(); at += BOOK_RECORD_BYTES)
            records += book.compare(at, BOOK_RECORD_BYTES, learned, at, BOOK_RECORD_BYTES) != 0;
        QVERIFY2(records >= 2, qPrintable(QString::number(records)));
        QCOMPARE(Flushes.count, 1);
        Flushes = {};
        CloseWindow();
    }

    // A book the person made read-only (a person without an administrator's
    // rights, for whom that binds) is read but never written, and nothing
    // is said.
    void aReadOnlyBookIsLeftAloneSilently() {
        const UserFolder own("booktest");
        if (own.Path().empty()) QSKIP("no folder the unprivileged user can reach");
        const QString path = QString::fromStdString(own.Path()) + "/MLBook.lib";
        QVERIFY(QFile::copy(QString(MORLAQUIN_TEST_DATA) + "/MLBook.lib", path));
        QVERIFY(GiveToUnprivilegedUser(path.toStdString()));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const std::string book = ReadWholeFile(path);
        CloseWindow();
        ResetWindowTest();
        WorkingDirectory here;
        QVERIFY(here.LinkShipped("images"));
        MakeWindow();
        w->learnsInBook = true;
        QVERIFY(PlayMoves(*w, {"e2e4", "e7e5", "g1f3", "b8c6"}));
        const UnprivilegedRun run = RunUnprivileged(
            [&] {
                w->Book = std::make_unique<bookclass>(QFile::encodeName(path).constData());
                LearnResult = 1.0;
                w->ResetGame();
                QVERIFY(w->learned.size() >= 4);
                QVERIFY(boxes.shown.empty());
            },
            [] { return QTest::currentTestFailed(); });
        CloseWindow();  // before the working directory goes
        if (!run.ran) QSKIP(run.why.c_str());
        QVERIFY2(!run.failed, run.why.c_str());
        QCOMPARE(ReadWholeFile(path), book);
    }

    // A game learned while the book cannot be written: the book as it was,
    // said once for the game with the book's name; in protocol mode nothing
    // is said.
    void aBookThatCannotBeWrittenIsSaidOnceAndKept() {
        for (const bool protocol : {false, true}) {
            CloseWindow();
            ResetWindowTest();
            WorkingDirectory here;
            QVERIFY(here.LinkShipped("images"));
            QVERIFY(QFile::copy(QString(MORLAQUIN_TEST_DATA) + "/MLBook.lib", here.path() + "/MLBook.lib"));
            const std::string book = ReadWholeFile(here.path() + "/MLBook.lib");
            ProtocolMode = protocol;
            MakeWindow();
            w->learnsInBook = true;
            QVERIFY(PlayMoves(*w, {"e2e4", "e7e5", "g1f3", "b8c6"}));
            rlimit old{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit none = old;
            none.rlim_cur = 0;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &none), 0);
            LearnResult = 1.0;
            w->ResetGame();
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
            QVERIFY(w->learned.size() >= 4);
            QCOMPARE(ReadWholeFile(here.path() + "/MLBook.lib"), book);
            if (protocol) {
                QVERIFY(boxes.shown.empty());
            } else {
                QCOMPARE(boxes.shown.size(), std::size_t{1});
                QCOMPARE(boxes.shown[0].caption, QString("Error"));
                QVERIFY(boxes.shown[0].text.contains(here.path() + "/MLBook.lib"));
            }
            CloseWindow();
        }
        ProtocolMode = false;
    }
};

QTEST_MAIN(MenuTest)
#include "test_menus.moc"
