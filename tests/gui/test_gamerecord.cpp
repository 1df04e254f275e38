// The game record, the move list and the workers that move through them,
// driven through the window's handlers and its tick.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

#include "eval.h"
#include "globals.h"
#include "guiglobals.h"
#include "gui_fixture.h"
#include "movedriver.h"
#include "rootsearch.h"
#include "test_position.h"

namespace {

struct Snapshot {
    int currentPly, lastPly, staleHash;
    u64 key;
    bool clockRunning;
    i32 lastScore0;
    QStringList cells;
};

}  // namespace

class GameRecordTest : public QObject, public WindowFixture<> {
    Q_OBJECT

    Snapshot Take() const {
        Snapshot s{w->CurrentPly, w->LastPly, StaleHashCount, GameBoard.Pos.Key, w->tmrClock->isActive(),
                   LastScores[0], {}};
        for (int row = 0; row < MOVE_GRID_ROWS; ++row) s.cells << w->Cell(0, row) << w->Cell(1, row);
        return s;
    }

    void ExpectUnchanged(const Snapshot& before) const {
        const Snapshot after = Take();
        QCOMPARE(after.currentPly, before.currentPly);
        QCOMPARE(after.lastPly, before.lastPly);
        QCOMPARE(after.staleHash, before.staleHash);
        QCOMPARE(after.key, before.key);
        QCOMPARE(after.clockRunning, before.clockRunning);
        QCOMPARE(after.lastScore0, before.lastScore0);
        QCOMPARE(after.cells, before.cells);
        QCOMPARE(PendingCommand.load(), 0);
    }

    // The game board is the recorded position of the current ply.
    void ExpectBoardOnRecord() const {
        QVERIFY(SamePosition(GameBoard.Pos, w->PositionHistory[w->CurrentPly]));
    }

    void Post(int command) {
        PendingCommand = command;
        Tick();
        QCOMPARE(PendingCommand.load(), 0);
    }

    // Sets the game up from a position, as the position loader leaves it.
    void StartFrom(const std::string& fen) {
        SetupTestPosition(&GameBoard, fen);
        w->PositionHistory[0] = GameBoard.Pos;
        w->PlyOffset = GameBoard.Pos.SideToMove == BLACK ? 1 : 0;
        w->CurrentPly = w->LastPly = 0;
    }

private slots:
    void init() { BeginWindowTest(); }

    void cleanup() { CloseWindow(); }

    void newWindowHoldsTheStartPosition() {
        QCOMPARE(w->CurrentPly, 0);
        QCOMPARE(w->LastPly, 0);
        QVERIFY(SamePosition(w->StartPosition, w->PositionHistory[0]));
        ExpectBoardOnRecord();
        QCOMPARE(w->DisplayBoard[E1], 5);
        QCOMPARE(w->DisplayBoard[D8], 10);
        QCOMPARE(w->DisplayBoard[A2], 0);
        QCOMPARE(w->DisplayBoard[E4], -1);
        for (int row = 0; row < MOVE_GRID_ROWS; ++row) {
            QCOMPARE(w->Cell(0, row), QString(" "));
            QCOMPARE(w->Cell(1, row), QString(" "));
        }
        QCOMPARE(w->lblStatus->text(), QString("White to move"));
        QCOMPARE(w->lblPV->text(), QString("PV:"));
        QCOMPARE(w->lblWhiteTime->text(), QString("00:00:00"));
        QVERIFY(!w->tmrClock->isActive());
    }

    void navigationAtTheEndsChangesNothing_data() {
        QTest::addColumn<int>("plies");
        QTest::addColumn<bool>("atStart");
        QTest::addColumn<int>("command");
        QTest::newRow("undo at ply 0") << 0 << true << CMD_UNDO;
        QTest::newRow("undo at ply 0 of a played game") << 3 << true << CMD_UNDO;
        QTest::newRow("remove at ply 0") << 0 << true << CMD_UNDO_TWO;
        QTest::newRow("redo at the last ply") << 3 << false << CMD_REDO;
        QTest::newRow("redo in an empty game") << 0 << true << CMD_REDO;
        QTest::newRow("go to end at the last ply") << 3 << false << CMD_GOTO_END;
    }

    void navigationAtTheEndsChangesNothing() {
        QFETCH(int, plies);
        QFETCH(bool, atStart);
        QFETCH(int, command);
        QVERIFY(PlayMoves(*w, ShufflePlies(plies)));
        if (atStart) Post(CMD_GOTO_START);
        // Values a worker that wrongly ran its body would overwrite.
        StaleHashCount = 7;
        LastScores[0] = 33;
        Snapshot before = Take();
        Post(command);
        ExpectUnchanged(before);
        ExpectBoardOnRecord();
        QVERIFY(w->CurrentPly >= 0);
    }

    void removeAtPlyOneTakesBackOnePly() {
        QVERIFY(PlayMoves(*w, {"e2e4"}));
        QCOMPARE(w->Cell(0, 0), QString("1.   e4"));
        Post(CMD_UNDO_TWO);
        QCOMPARE(w->CurrentPly, 0);
        QCOMPARE(w->LastPly, 1);
        QCOMPARE(w->Cell(0, 0), QString(" "));
        QCOMPARE(StaleHashCount, 100);
        QVERIFY(w->tmrClock->isActive());
        ExpectBoardOnRecord();
    }

    void aMoveAfterTakingBackCutsTheReplayLine() {
        QVERIFY(PlayMoves(*w, {"e2e4", "e7e5", "g1f3", "b8c6"}));
        QCOMPARE(w->Cell(0, 1), QString("2.   Nf3"));
        QCOMPARE(w->Cell(1, 1), QString("Nc6"));
        w->Takeback1Click();
        Tick();
        w->btnRewindClick();
        Tick();
        QCOMPARE(w->CurrentPly, 2);
        QCOMPARE(w->LastPly, 4);
        QCOMPARE(w->Cell(0, 1), QString(" "));
        QCOMPARE(w->Cell(1, 1), QString(" "));
        QCOMPARE(w->Cell(1, 0), QString("e5"));
        ExpectBoardOnRecord();

        QVERIFY(PlayMoves(*w, {"d2d4"}));
        QCOMPARE(w->LastPly, 3);
        QCOMPARE(w->Cell(0, 1), QString("2.   d4"));
        Snapshot before = Take();
        Post(CMD_REDO);
        ExpectUnchanged(before);
        Post(CMD_GOTO_END);
        ExpectUnchanged(before);
        QCOMPARE(w->MoveTexts[2], std::string("d4"));
    }

    void replayWritesTheCellsBack() {
        QVERIFY(PlayMoves(*w, {"e2e4", "e7e5", "g1f3", "b8c6"}));
        const Snapshot played = Take();
        Post(CMD_GOTO_START);
        QCOMPARE(w->CurrentPly, 0);
        QCOMPARE(w->LastPly, 4);
        QCOMPARE(w->Cell(0, 0), QString(" "));
        ExpectBoardOnRecord();

        w->btnForwardClick();
        Tick();
        QCOMPARE(w->CurrentPly, 1);
        QCOMPARE(w->Cell(0, 0), QString("1.   e4"));
        QCOMPARE(w->Cell(1, 0), QString(" "));
        ExpectBoardOnRecord();

        Post(CMD_GOTO_END);
        QCOMPARE(Take().cells, played.cells);
        QCOMPARE(w->CurrentPly, 4);
        ExpectBoardOnRecord();
    }

    void moveNumbersNineAndTen() {
        QVERIFY(PlayMoves(*w, ShufflePlies(20)));
        QCOMPARE(w->Cell(0, 0), QString("1.   Nf3"));
        QCOMPARE(w->Cell(0, 8), QString("9.   Nf3"));
        QCOMPARE(w->Cell(1, 8), QString("Nf6"));
        QCOMPARE(w->Cell(0, 9), QString("10. Ng1"));
        QCOMPARE(w->Cell(1, 9), QString("Ng8"));
        const Snapshot played = Take();

        Post(CMD_GOTO_START);
        Post(CMD_GOTO_END);
        QCOMPARE(Take().cells, played.cells);

        Post(CMD_UNDO);
        Post(CMD_UNDO);
        QCOMPARE(w->Cell(0, 9), QString(" "));
        QCOMPARE(w->Cell(1, 9), QString(" "));
        Post(CMD_REDO);
        QCOMPARE(w->Cell(0, 9), QString("10. Ng1"));
    }

    void aGameThatStartsWithBlack() {
        StartFrom("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
        QVERIFY(PlayMoves(*w, {"e7e5", "g1f3", "b8c6"}));
        QCOMPARE(w->Cell(0, 0), QString("1."));
        QCOMPARE(w->Cell(1, 0), QString("e5"));
        QCOMPARE(w->Cell(0, 1), QString("2.   Nf3"));
        QCOMPARE(w->Cell(1, 1), QString("Nc6"));

        Post(CMD_UNDO);
        QCOMPARE(w->Cell(1, 1), QString(" "));
        QCOMPARE(w->Cell(0, 1), QString("2.   Nf3"));
        Post(CMD_REDO);
        QCOMPARE(w->Cell(1, 1), QString("Nc6"));

        Post(CMD_GOTO_START);
        ExpectBoardOnRecord();
        QCOMPARE(w->Cell(0, 0), QString(" "));
        Post(CMD_GOTO_END);
        QCOMPARE(w->Cell(0, 0), QString(" "));  // replay does not write the "1." marker
        QCOMPARE(w->Cell(1, 0), QString("e5"));
        QCOMPARE(w->Cell(0, 1), QString("2.   Nf3"));
        QCOMPARE(w->Cell(1, 1), QString("Nc6"));
        ExpectBoardOnRecord();
    }

    void theMoveListFollowsTheCurrentPly() {
        w->show();
        QVERIFY(PlayMoves(*w, ShufflePlies(80)));
        Post(CMD_GOTO_START);
        Post(CMD_GOTO_END);  // the board is redrawn, which scrolls the list
        const QRect view = w->strMoves->viewport()->rect();
        QVERIFY(view.contains(w->strMoves->visualItemRect(w->strMoves->item(39, 0))));
        QVERIFY(!view.intersects(w->strMoves->visualItemRect(w->strMoves->item(0, 0))));
        const auto selected = w->strMoves->selectedItems();
        QCOMPARE(selected.size(), 4);
        for (const QTableWidgetItem* it : selected) QVERIFY(it->row() == 300 || it->row() == 301);
        Post(CMD_GOTO_START);
        QVERIFY(view.contains(w->strMoves->visualItemRect(w->strMoves->item(0, 0))));
    }

    void gatedHandlersPostOnlyOnTheUsersTurn_data() {
        QTest::addColumn<int>("handler");
        QTest::addColumn<int>("command");
        QTest::newRow("Takeback1Click") << 0 << CMD_UNDO;
        QTest::newRow("btnRewindClick") << 1 << CMD_UNDO;
        QTest::newRow("btnForwardClick") << 2 << CMD_REDO;
        QTest::newRow("RedoMove1Click") << 3 << CMD_REDO;
        QTest::newRow("GoToEndofGame1Click") << 4 << CMD_GOTO_END;
        QTest::newRow("GotoStartofGame1Click") << 5 << CMD_GOTO_START;
    }

    void gatedHandlersPostOnlyOnTheUsersTurn() {
        QFETCH(int, handler);
        QFETCH(int, command);
        const auto run = [this, index = handler] {
            switch (index) {
                case 0: w->Takeback1Click(); break;
                case 1: w->btnRewindClick(); break;
                case 2: w->btnForwardClick(); break;
                case 3: w->RedoMove1Click(); break;
                case 4: w->GoToEndofGame1Click(); break;
                default: w->GotoStartofGame1Click(); break;
            }
        };
        HumanToMove = false;
        LastMoveHighlight = true;
        run();
        QCOMPARE(PendingCommand.load(), 0);
        QVERIFY(!StopSearch);
        QVERIFY(!LastMoveHighlight);

        HumanToMove = true;
        LastMoveHighlight = true;
        run();
        QCOMPARE(PendingCommand.load(), command);
        QVERIFY(StopSearch);
        QVERIFY(!LastMoveHighlight);
    }

    void menuItemsAndButtonsReachTheirHandlers() {
        HumanToMove = true;
        w->Takeback1->trigger();
        QCOMPARE(PendingCommand.load(), CMD_UNDO);
        w->btnForward->click();
        QCOMPARE(PendingCommand.load(), CMD_REDO);
        w->GoToEndofGame1->trigger();
        QCOMPARE(PendingCommand.load(), CMD_GOTO_END);
        HumanToMove = false;  // loading and saving are accepted at any time
        w->OpenGame1->trigger();
        QCOMPARE(PendingCommand.load(), CMD_OPEN_GAME);
        w->SaveGame1->trigger();
        QCOMPARE(PendingCommand.load(), CMD_SAVE_GAME);
        w->SaveGameas1->trigger();
        QCOMPARE(PendingCommand.load(), CMD_SAVE_GAME_AS);
        QVERIFY(StopSearch);
    }

    void newGameAsksFirst() {
        boxes.answers = {BoxAnswer::No};
        w->NewGame1->trigger();
        QCOMPARE(boxes.shown.size(), std::size_t(1));
        QCOMPARE(boxes.shown[0].text, QString("Do you want to start a new game?"));
        QCOMPARE(boxes.shown[0].caption, QString("New Game"));
        QVERIFY(boxes.shown[0].buttons == BoxButtons::YesNo);
        QCOMPARE(PendingCommand.load(), 0);
        QVERIFY(!StopSearch);

        boxes.answers = {BoxAnswer::Yes};
        LastMoveHighlight = true;
        w->NewGame1Click();
        QCOMPARE(PendingCommand.load(), CMD_NEW_GAME);
        QVERIFY(StopSearch);
        QVERIFY(!LastMoveHighlight);
        QCOMPARE(ResetFields, u8(1));
    }

    void playStopAndAutoplay() {
        HumanToMove = true;
        w->btnPlay->click();
        QVERIFY(!HumanToMove);
        QVERIFY(StopSearch);
        StopSearch = false;
        w->Move1Click();  // not the user's turn: nothing
        QVERIFY(!StopSearch);

        Pondering = true;
        w->btnStopClick();
        QVERIFY(!StopSearch);
        Pondering = false;
        w->Stopthinking1->trigger();
        QVERIFY(StopSearch);

        StopSearch = false;
        HumanVsHuman = true;
        w->Autoplay->trigger();
        QVERIFY(!AutoPlay);
        QVERIFY(!w->Autoplay->isChecked());
        HumanVsHuman = false;
        Pondering = true;
        w->Autoplay->trigger();
        QVERIFY(AutoPlay);
        QVERIFY(w->Autoplay->isChecked());
        QVERIFY(StopSearch);
        Pondering = false;
        w->AutoplayClick();
        QVERIFY(!AutoPlay);
        QVERIFY(!w->Autoplay->isChecked());
    }

    void newGameLearnsFromTheGameAsPlayed_data() {
        QTest::addColumn<int>("plies");
        QTest::addColumn<int>("takeBacks");
        QTest::addColumn<bool>("backToStart");
        QTest::addColumn<int>("learned");
        QTest::newRow("whole game") << 6 << 0 << false << 6;
        QTest::newRow("after going to the start") << 6 << 0 << true << 6;
        QTest::newRow("after taking moves back") << 10 << 4 << false << 10;
        QTest::newRow("at most 60 plies") << 70 << 0 << true << 60;
    }

    void newGameLearnsFromTheGameAsPlayed() {
        QFETCH(int, plies);
        QFETCH(int, takeBacks);
        QFETCH(bool, backToStart);
        QFETCH(int, learned);
        QVERIFY(PlayMoves(*w, ShufflePlies(plies)));
        w->learned.clear();  // the shuffle repeats into a draw, learned as it is judged
        const std::vector<Position> history(w->PositionHistory.begin(), w->PositionHistory.begin() + plies);
        const std::vector<Move> codes(w->MoveCodes.begin(), w->MoveCodes.begin() + plies);
        for (int i = 0; i < takeBacks; ++i) Post(CMD_UNDO);
        if (backToStart) Post(CMD_GOTO_START);

        LearnResult = 0.5;
        boxes.answers = {BoxAnswer::Yes};
        w->NewGame1Click();
        Tick();
        QCOMPARE(int(w->learned.size()), learned);
        for (int i = 0; i < learned; ++i) {
            QVERIFY(SamePosition(w->learned[i].before, history[i]));
            QCOMPARE(w->learned[i].move, codes[i]);
            QCOMPARE(w->learned[i].result, 0.5);
        }
        QCOMPARE(LearnResult, -1.0);

        // Nothing judged: nothing learned.
        QVERIFY(PlayMoves(*w, ShufflePlies(4)));
        Post(CMD_NEW_GAME);
        QCOMPARE(int(w->learned.size()), learned);
    }

    void newGameResetsTheGameAndLeavesTheOptions() {
        QVERIFY(PlayMoves(*w, {"e2e4", "e7e5"}));
        HumanToMove = false;
        PonderEnabled = false;
        AutoPlay = true;
        w->Autoplay->setChecked(true);
        w->WhiteFlagged = w->BlackFlagged = true;
        StaleHashCount = 9;
        LastScores[2] = 400;
        PositionSetUp = 1;
        ComputerColour = 0;
        w->PlyOffset = 1;
        w->SaveGame1->setEnabled(false);
        w->lblScore->setText("0.35");
        w->lblPV->setText("PV: e4 e5");
        TimeControlType = TIME_BLITZ;
        BlitzMinutes = 5;

        Post(CMD_NEW_GAME);
        QCOMPARE(w->CurrentPly, 0);
        QCOMPARE(w->LastPly, 0);
        QCOMPARE(w->PlyOffset, 0);
        QCOMPARE(w->ClockStartPly, 0);
        QVERIFY(SamePosition(GameBoard.Pos, w->StartPosition));
        ExpectBoardOnRecord();
        QVERIFY(!AutoPlay);
        QVERIFY(!w->Autoplay->isChecked());
        QVERIFY(!w->WhiteFlagged && !w->BlackFlagged);
        QCOMPARE(StaleHashCount, 0);
        QCOMPARE(LastScores[2], 0);
        QCOMPARE(PositionSetUp, u8(0));
        QCOMPARE(ComputerColour, u8(1));
        QVERIFY(w->SaveGame1->isEnabled());
        QCOMPARE(w->Cell(0, 0), QString(" "));
        QCOMPARE(w->Cell(1, 0), QString(" "));
        QCOMPARE(w->lblScore->text(), QString());
        QCOMPARE(w->lblPV->text(), QString("PV:"));
        QCOMPARE(w->lblStatus->text(), QString("White to move"));
        QCOMPARE(w->DisplayBoard[E4], -1);
        QCOMPARE(w->DisplayBoard[E2], 0);
        // Left alone.
        QVERIFY(!HumanToMove);
        QVERIFY(!PonderEnabled);
        QCOMPARE(TimeControlType.load(), 2);
    }

    void theRecordRefusesAThousandthPly() {
        QVERIFY(PlayMoves(*w, ShufflePlies(HISTORY_SIZE - 1)));
        QCOMPARE(w->CurrentPly, 999);
        QCOMPARE(w->LastPly, 999);
        QVERIFY(w->RecordIsFull());
        QCOMPARE(w->Cell(0, 499), QString("500. Ng1"));
        ExpectBoardOnRecord();
        const u64 key = GameBoard.Pos.Key;
        boxes.shown.clear();  // the draws the shuffle repeats into

        AutoPlay = true;
        w->Autoplay->setChecked(true);
        QCOMPARE(w->PlayFromTo(F6, G8, 0), PLAY_ILLEGAL);
        QVERIFY(!PlayMoves(*w, {"b8c6"}));
        QCOMPARE(boxes.shown.size(), std::size_t(2));
        QCOMPARE(boxes.shown[0].text, QString("The game record is full: no more moves can be played."));
        QCOMPARE(boxes.shown[0].caption, QString("Morlaquin says:"));
        QCOMPARE(w->CurrentPly, 999);
        QCOMPARE(w->LastPly, 999);
        QCOMPARE(GameBoard.Pos.Key, key);
        QVERIFY(!AutoPlay);
        QVERIFY(!w->Autoplay->isChecked());

        // The computer's turn on a full record: refused once, no search.
        boxes.shown.clear();
        HumanToMove = false;
        Tick();
        Tick();
        QCOMPARE(boxes.shown.size(), std::size_t(1));
        QVERIFY(HumanToMove);
        QVERIFY(w->calls.end() == std::find(w->calls.begin(), w->calls.end(), "ComputerMove"));

        // In protocol mode the refusal is a protocol line.
        ProtocolMode = true;
        QVERIFY(!PlayMoves(*w, {"b8c6"}));
        QCOMPARE(w->protocol.back(), std::string("Illegal move (game record full): b8c6"));
        ProtocolMode = false;

        // One ply back there is room again.
        Post(CMD_UNDO);
        QVERIFY(!w->RecordIsFull());
        QCOMPARE(w->Cell(0, 499), QString(" "));
        QVERIFY(PlayMoves(*w, {"b1c3"}));
        QCOMPARE(w->CurrentPly, 999);
        QCOMPARE(w->LastPly, 999);
        QCOMPARE(w->Cell(0, 499), QString("500. Nc3"));
        QCOMPARE(w->Cell(1, 499), QString(" "));
        QCOMPARE(w->Cell(1, 498), QString("Nf6"));
        ExpectBoardOnRecord();
    }
};

QTEST_MAIN(GameRecordTest)
#include "test_gamerecord.moc"
