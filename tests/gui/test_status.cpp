// The status line tells the position on the board: after a position is
// loaded, after taking back, replaying and going through the game, and after
// the person's own move on the board, also one that ends the game.
#include <QLabel>
#include <QtTest>

#include <memory>

#include "BoardView.h"
#include "guiglobals.h"
#include "gui_fixture.h"
#include "rootsearch.h"
#include "test_position.h"
#include "xboard.h"

class StatusTest : public QObject, public WindowFixture<TestWindow> {
    Q_OBJECT

    QString Status() const { return w->lblStatus->text(); }

    void Post(int command) {
        PendingCommand = command;
        Tick();
    }

    // A person's drag from one square to another on the shown board.
    void Drag(const std::string& move) {
        w->Drag(SquareFromName(move.substr(0, 2)), w->SquareCentre(SquareFromName(move.substr(2, 2))));
    }

private slots:
    void init() {
        ResetWindowTest();
        MakeThinkingWindow();
    }

    void cleanup() { CloseWindow(); }

    void aLoadedPositionShowsItsState_data() {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<QString>("status");
        QTest::newRow("black to move") << "4k3/8/8/8/8/8/8/4KQ2 b - - 12 40" << "Black to move";
        QTest::newRow("bare kings") << "4k3/8/8/8/8/8/8/4K3 w - - 0 1" << "   Draw!";
        QTest::newRow("white to move") << "4k3/8/8/8/8/8/8/4KQ2 w - - 0 1" << "White to move";
        QTest::newRow("white mated") << "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3"
                                     << "   Checkmate!";
        QTest::newRow("black stalemated") << "k7/2Q5/8/8/8/8/8/7K b - - 0 1" << "   Stalemate!";
    }

    void aLoadedPositionShowsItsState() {
        QFETCH(QString, fen);
        QFETCH(QString, status);
        w->lblStatus->setText("   Moved: dxc6");  // the computer's last move in the game before
        SetPendingPositionText(fen.toStdString());
        Post(CMD_LOAD_POSITION);
        QCOMPARE(w->CurrentPly, 0);
        QVERIFY(boxes.shown.empty());
        QCOMPARE(Status(), status);
    }

    void goingThroughTheGameShowsTheSideToMove() {
        QCOMPARE(w->PlayAll({"e2e4", "d7d5", "e4d5", "c7c6", "d5c6"}), 1);
        w->lblStatus->setText("   Moved: dxc6");
        Post(CMD_UNDO);
        QCOMPARE(w->CurrentPly, 4);
        QCOMPARE(Status(), QString("White to move"));
        Post(CMD_REDO);
        QCOMPARE(Status(), QString("Black to move"));
        Post(CMD_GOTO_START);
        QCOMPARE(Status(), QString("White to move"));
        Post(CMD_GOTO_END);
        QCOMPARE(w->CurrentPly, 5);
        QCOMPARE(Status(), QString("Black to move"));
    }

    void goingBackToTheEndOfAFinishedGameShowsItsEnd() {
        QCOMPARE(w->PlayAll({"f2f3", "e7e5", "g2g4", "d8h4"}), 3);
        Post(CMD_UNDO);
        QCOMPARE(Status(), QString("Black to move"));
        Post(CMD_REDO);
        QCOMPARE(Status(), QString("   Checkmate!"));
        Post(CMD_GOTO_START);
        Post(CMD_GOTO_END);
        QCOMPARE(Status(), QString("   Checkmate!"));
    }

    void thePersonsOwnMoveOnTheBoard_data() {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<QString>("move");
        QTest::addColumn<QString>("status");
        QTest::newRow("a move") << "4k3/8/8/8/8/8/8/4KQ2 w - - 0 1" << "f1f2" << "Black to move";
        QTest::newRow("checkmate") << "6k1/5ppp/8/8/8/8/8/R3K3 w - - 0 1" << "a1a8" << "   Checkmate!";
        QTest::newRow("stalemate") << "k7/8/1Q6/8/8/8/8/7K w - - 0 1" << "b6c7" << "   Stalemate!";
        QTest::newRow("a drop that is no move") << "4k3/8/8/8/8/8/8/4KQ2 w - - 0 1" << "f1a2" << "   Moved: Ke8";
    }

    void thePersonsOwnMoveOnTheBoard() {
        QFETCH(QString, fen);
        QFETCH(QString, move);
        QFETCH(QString, status);
        HumanVsHuman = true;  // no computer reply to wait for
        QVERIFY(ShowWindow());
        w->SetUp(fen.toStdString());
        w->BuildDisplayBoard();
        w->lblStatus->setText("   Moved: Ke8");
        Drag(move.toStdString());
        QCOMPARE(Status(), status);
    }
};

QTEST_MAIN(StatusTest)
#include "test_status.moc"
