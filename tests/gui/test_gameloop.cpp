// The game-loop tick: the order of its cases, one command per tick, codes
// that name no command, and a tick or a close that arrives while a tick runs.
#include <QAction>
#include <QLabel>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "eval.h"
#include "globals.h"
#include "guiglobals.h"
#include "host.h"
#include "gui_fixture.h"
#include "rootsearch.h"
#include "test_position.h"
#include "xboard.h"

using Calls = std::vector<std::string>;

class GameLoopTest : public QObject, public WindowFixture<> {
    Q_OBJECT

    // Timer1 runs, but its first beat would come long after any test: every
    // tick that follows comes from a wake. Its beats are counted.
    void RunTimer1WithoutBeats() {
        beats = 0;
        connect(w->Timer1, &QTimer::timeout, w.get(), [this] { ++beats; });
        w->Timer1->start(24 * 3600 * 1000);
    }
    int beats = 0;

    // In protocol mode, a clock value, a received move and a ping wait
    // together.
    void PostClockMoveAndPing() {
        ProtocolMode = true;
        TimeControlType = TIME_BLITZ;
        BlitzMinutes = 5;
        ComputerColour = 1;
        XboardTimeMs = 100000.0;
        UserMoveFrom = E2;
        UserMoveTo = E4;
        PendingCommand = CMD_USER_MOVE;
        QueueProtocolCommands({{"ping 7"}});
    }

private slots:
    void init() {
        ResetWindowTest();
        ResetProtocolState();
        MakeWindow();
    }

    void cleanup() {
        CloseWindow();
        ResetProtocolState();
    }

    void eachCodeRunsItsWorkerAloneInItsTick_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("worker");
        QTest::newRow("open game") << CMD_OPEN_GAME << "OpenGameFile";
        QTest::newRow("load listed game") << CMD_LOAD_LISTED_GAME << "LoadSelectedGame";
        QTest::newRow("load position") << CMD_LOAD_POSITION << "LoadPosition";
        QTest::newRow("save game") << CMD_SAVE_GAME << "SaveGamePgn";
        QTest::newRow("save game as") << CMD_SAVE_GAME_AS << "SaveGamePgn";
        QTest::newRow("user move") << CMD_USER_MOVE << "PlayFromTo";
        QTest::newRow("undo") << CMD_UNDO << "";
        QTest::newRow("redo") << CMD_REDO << "";
        QTest::newRow("new game") << CMD_NEW_GAME << "";
    }

    void eachCodeRunsItsWorkerAloneInItsTick() {
        QFETCH(int, command);
        QFETCH(QString, worker);
        UserMoveFrom = E2;
        UserMoveTo = E4;
        HumanToMove = false;  // an idle tick would run the computer's move
        PendingCommand = command;
        Tick();
        QCOMPARE(PendingCommand.load(), 0);
        const Calls expected = worker.isEmpty() ? Calls{} : Calls{worker.toStdString()};
        QCOMPARE(w->calls, expected);
        Tick();
        QCOMPARE(w->calls.back(), std::string("ComputerMove"));
    }

    // A ping waits for everything before it, the engine's move included.
    void clockValuesFirstThenTheMoveThenTheReplyThenThePong() {
        PostClockMoveAndPing();
        w->duringComputerMove = [] { HumanToMove = true; };

        Tick();  // only the clocks
        QCOMPARE(XboardTimeMs.load(), 0.0);
        QCOMPARE(PendingCommand.load(), CMD_USER_MOVE);
        QVERIFY(w->calls.empty());
        QCOMPARE(w->CurrentPly, 0);

        Tick();  // the move
        QCOMPARE(w->calls, Calls{"PlayFromTo"});
        QCOMPARE(w->CurrentPly, 1);
        QVERIFY(!HumanToMove);
        QVERIFY(w->protocol.empty());

        Tick();  // the reply; the ping waits for it
        QCOMPARE(w->calls, (Calls{"PlayFromTo", "ComputerMove"}));
        QVERIFY(w->protocol.empty());

        Tick();
        QCOMPARE(w->protocol, std::vector<std::string>{"pong 7"});
        QVERIFY(!ProtocolCommandsWaiting());
        ProtocolMode = false;
    }

    // In protocol mode the loop goes on at once, by the events it posts
    // itself, with no beat of Timer1: the same order as tick by tick.
    void inProtocolModeWhatWaitsGoesOnAtOnce() {
        PostClockMoveAndPing();
        PonderEnabled = false;
        w->duringComputerMove = [this] {
            QCOMPARE(w->CurrentPly, 1);
            QVERIFY(w->protocol.empty());
            HumanToMove = true;
        };
        RunTimer1WithoutBeats();

        Tick();  // only the clocks; the rest follows by events
        QTRY_COMPARE_WITH_TIMEOUT(w->protocol, std::vector<std::string>{"pong 7"}, HangMs);
        QCOMPARE(w->calls, (Calls{"PlayFromTo", "ComputerMove"}));
        QCOMPARE(beats, 0);
        ProtocolMode = false;
    }

    // A wake that comes while a tick runs (a search processing events) runs
    // nothing inside it; what it was for follows once the tick is over.
    void aWakeDuringATickIsCarriedOutAfterIt() {
        ProtocolMode = true;
        HumanToMove = false;
        RunTimer1WithoutBeats();
        w->duringComputerMove = [this] {
            QueueProtocolCommands({{"ping 3"}});
            w->WakeGameLoop();
            QCoreApplication::processEvents();
            QVERIFY(w->protocol.empty());
            HumanToMove = true;
        };
        Tick();
        QVERIFY(w->protocol.empty());
        QTRY_COMPARE_WITH_TIMEOUT(w->protocol, std::vector<std::string>{"pong 3"}, HangMs);
        QCOMPARE(w->calls, Calls{"ComputerMove"});
        QCOMPARE(beats, 0);
        ProtocolMode = false;
    }

    // With Timer1 off (a worker or the engine's move runs, or the program
    // quits) a wake runs no tick.
    void aWakeRunsNothingWhileTimer1IsOff() {
        ProtocolMode = true;
        QueueProtocolCommands({{"ping 4"}});
        w->WakeGameLoop();
        QCoreApplication::processEvents();
        QVERIFY(w->protocol.empty());
        RunTimer1WithoutBeats();
        w->WakeGameLoop();
        QTRY_COMPARE_WITH_TIMEOUT(w->protocol, std::vector<std::string>{"pong 4"}, HangMs);
        ProtocolMode = false;
    }

    void aReceivedMoveWithNoLegalMoveIsAnswered() {
        UserMoveFrom = E2;
        UserMoveTo = E5;
        PendingCommand = CMD_USER_MOVE;
        Tick();
        QCOMPARE(w->protocol, std::vector<std::string>{"Illegal move!"});
        QVERIFY(HumanToMove);
        QCOMPARE(w->CurrentPly, 0);

        // In force mode a played move leaves the turn with the human.
        HumanVsHuman = true;
        UserMoveTo = E4;
        PendingCommand = CMD_USER_MOVE;
        Tick();
        QCOMPARE(w->CurrentPly, 1);
        QVERIFY(HumanToMove);
    }

    void codesThatNameNoCommandAreCleared_data() {
        QTest::addColumn<int>("code");
        QTest::newRow("two codes at once") << (CMD_UNDO | CMD_REDO);
        QTest::newRow("beyond the table") << 16384;
        QTest::newRow("negative") << -1;
    }

    void codesThatNameNoCommandAreCleared() {
        QFETCH(int, code);
        HumanToMove = false;
        PendingCommand = code;
        Tick();
        QCOMPARE(PendingCommand.load(), 0);
        QVERIFY(w->calls.empty());
        Tick();
        QCOMPARE(w->calls, Calls{"ComputerMove"});
    }

    void quitAndHide() {
        w->show();
        PendingCommand = CMD_QUIT;
        HumanToMove = false;
        for (int i = 0; i < 3; ++i) {
            StopSearch = false;
            Tick();
            QVERIFY(StopSearch);
        }
        QCOMPARE(PendingCommand.load(), CMD_QUIT);  // window mode: the close handler owns it
        QVERIFY(w->calls.empty());
        QVERIFY(w->isVisible());

        ProtocolMode = true;
        w->Timer1->start();
        Tick();
        QCOMPARE(PendingCommand.load(), 0);
        QVERIFY(!w->Timer1->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), HangMs);

        w->show();
        PendingCommand = CMD_HIDE_WINDOW;
        Tick();
        QCOMPARE(PendingCommand.load(), 0);
        QVERIFY(!w->isVisible());
    }

    void idleTicks() {
        Tick();  // the user's turn at ply 0: nothing
        QVERIFY(w->calls.empty());
        QVERIFY(PlayMoves(*w, {"e2e4"}));
        w->calls.clear();
        Tick();  // the user's turn after a move: ponder
        QCOMPARE(w->calls, Calls{"Ponder"});
        PonderEnabled = false;
        Tick();
        QCOMPARE(w->calls.size(), std::size_t(1));
        PonderEnabled = true;
        HumanVsHuman = true;
        Tick();
        QCOMPARE(w->calls.size(), std::size_t(1));
        HumanVsHuman = false;
        AutoPlay = true;
        Tick();
        QCOMPARE(w->calls.back(), std::string("ComputerMove"));

        // While a ponder search runs every tick returns at once.
        w->calls.clear();
        Pondering = true;
        PendingCommand = CMD_OPEN_GAME;
        Tick();
        QCOMPARE(PendingCommand.load(), CMD_OPEN_GAME);
        QVERIFY(w->calls.empty());
        Pondering = false;
        Tick();
        QCOMPARE(w->calls, Calls{"OpenGameFile"});
    }

    void theTickNeverRunsInsideItself() {
        HumanToMove = false;
        int nested = 0;
        w->duringComputerMove = [&] {
            if (nested++ > 0) return;
            // A handler and the timer fire while the search processes events.
            w->OpenGame1Click();
            w->Timer1Timer();
            // The timer fires three times while the search processes events.
            int fired = 0;
            const auto counting = connect(w->Timer1, &QTimer::timeout, [&] { ++fired; });
            w->Timer1->start();
            while (fired < 3) Host().ProcessMessages();
            w->Timer1->stop();
            disconnect(counting);
            QVERIFY(w->TickRunning());
        };
        Tick();
        QCOMPARE(w->calls, Calls{"ComputerMove"});
        QCOMPARE(PendingCommand.load(), CMD_OPEN_GAME);
        QVERIFY(StopSearch);
        QVERIFY(!w->TickRunning());
        Tick();
        QCOMPARE(w->calls, (Calls{"ComputerMove", "OpenGameFile"}));
    }

    void theWindowIsTheEngineHost() {
        QCOMPARE(Host().TickMs(), w->now);
        QVERIFY(PlayMoves(*w, {"e2e4"}));
        w->MoveStartTick = 1234;
        QCOMPARE(Host().CurrentPly(), 1);
        QCOMPARE(Host().MoveStartTick(), i64(1234));
        ProtocolMode = true;
        PostThinking = false;
        QVERIFY(Host().ProtocolMode());
        QVERIFY(!Host().PostThinking());
        Host().SendProtocolLine("7 35 120 5000 e4 e5");
        QCOMPARE(w->protocol.back(), std::string("7 35 120 5000 e4 e5"));
        Host().SetThinkLabel(ThinkLabel::Depth, "7/12");
        Host().SetThinkLabel(ThinkLabel::PV, "PV: e4 e5 Nf3");
        Host().SetThinkLabel(ThinkLabel::Score, "0.35");
        QCOMPARE(w->lblDepth->text(), QString("7/12"));
        QCOMPARE(w->lblPV->text(), QString("PV: e4 e5 Nf3"));
        QCOMPARE(w->lblScore->text(), QString("0.35"));
        w.reset();
        QVERIFY(Host().TickMs() > 0);  // back to the default host
        w = std::make_unique<TestWindow>();
    }

    void closingDuringASearchWaitsForIt() {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        HumanToMove = false;
        bool closed = true;
        bool visibleInside = false;
        w->duringComputerMove = [&] {
            StopSearch = false;
            closed = w->close();
            visibleInside = w->isVisible();
            QVERIFY(StopSearch);  // the search is told to stop
            QCoreApplication::processEvents();
            QVERIFY(w->isVisible());
        };
        boxes.answers.push_back(BoxAnswer::No);
        Tick();
        QVERIFY(!closed);
        QVERIFY(visibleInside);
        QVERIFY(boxes.shown.empty());  // nothing is asked under the search
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), HangMs);  // closed once the tick returned
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].text, QString("Save settings?"));
        QCOMPARE(PendingCommand.load(), CMD_QUIT);
        QVERIFY(!w->Timer1->isActive());
    }
};

QTEST_MAIN(GameLoopTest)
#include "test_gameloop.moc"
