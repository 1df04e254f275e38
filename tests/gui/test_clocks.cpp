// The clocks under each time control, their display and flag fall, the
// protocol's clock values and the time-control dialog.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "dialogs/LEVELS.h"
#include "eval.h"
#include "globals.h"
#include "guiglobals.h"
#include "gui_fixture.h"
#include "rootsearch.h"
#include "search.h"

namespace {

const QColor Navy(0, 0, 0x80);
const QColor Black(0, 0, 0);

QColor TextColour(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

}  // namespace

class ClocksTest : public QObject, public WindowFixture<> {
    Q_OBJECT

    // Chooses a page and its texts in the dialog and presses OK; when the
    // dialog stays open (a refused value), Cancel. True when OK closed it.
    bool ChooseLevel(QWidget* page, const std::vector<std::pair<QComboBox*, QString>>& texts) {
        bool closedByOk = false;
        QTimer::singleShot(0, frmLevels, [&] {
            frmLevels->pcontrLevel->setCurrentWidget(page);
            for (const auto& [box, text] : texts) box->setEditText(text);
            frmLevels->BitBtn1->click();
            closedByOk = !frmLevels->isVisible();
            if (!closedByOk) frmLevels->BitBtn2->click();
        });
        w->btnCustom->trigger();
        return closedByOk;
    }

    // Puts the game at ply p of an already played line.
    void GoToPly(int p) {
        w->CurrentPly = p;
        GameBoard.Pos = w->PositionHistory[p];
    }

    void UsedAndUpdate(double white, double black) {
        w->WhiteUsedMs = white;
        w->BlackUsedMs = black;
        w->MoveStartTick = w->now;
        w->UpdateClocks();
    }

private slots:
    void init() {
        BeginWindowTest();
        frmLevels = new TfrmLevels(w.get());
    }

    void cleanup() {
        CloseWindow();
        QVERIFY(frmLevels == nullptr);  // the window took the dialog with it
    }

    void formatClockTime_data() {
        QTest::addColumn<double>("ms");
        QTest::addColumn<bool>("longForm");
        QTest::addColumn<QString>("text");
        QTest::newRow("5 s") << 5000.0 << true << "00:00:05";
        QTest::newRow("-5 s") << -5000.0 << true << "-00:00:05";
        QTest::newRow("1 h") << 3600000.0 << true << "01:00:00";
        QTest::newRow("1001 ms") << 1001.0 << true << "00:00:01";
        QTest::newRow("1002 ms") << 1002.0 << true << "00:00:02";
        QTest::newRow("zero") << 0.0 << true << "00:00:00";
        QTest::newRow("-1 s") << -1000.0 << true << "-00:00:01";
        QTest::newRow("4:40") << 280000.0 << true << "00:04:40";
        QTest::newRow("long game") << 37230000.0 << true << "10:20:30";
        QTest::newRow("short seconds") << 1234.0 << false << "1.23s";
        QTest::newRow("short minutes") << 125000.0 << false << "2:05";
        QTest::newRow("short hours") << 3725000.0 << false << "1:2:05";
        QTest::newRow("short whole hour") << 3600000.0 << false << "3,600.00s";
        QTest::newRow("far beyond any clock") << 1e300 << true << "277777777:46:40";
    }

    void formatClockTime() {
        QFETCH(double, ms);
        QFETCH(bool, longForm);
        QFETCH(QString, text);
        QCOMPARE(TfrmWinRovik::FormatClockTime(ms, longForm), text);
    }

    void movesPerSide_data() {
        QTest::addColumn<int>("currentPly");
        QTest::addColumn<int>("clockStartPly");
        QTest::addColumn<int>("white");
        QTest::addColumn<int>("black");
        QTest::newRow("none yet") << 0 << 0 << 0 << 0;
        QTest::newRow("before the start") << 2 << 5 << 0 << 0;
        QTest::newRow("even start, 3 plies") << 3 << 0 << 2 << 1;
        QTest::newRow("odd start, 3 plies") << 4 << 1 << 1 << 2;
        QTest::newRow("even start, 6 plies") << 8 << 2 << 3 << 3;
    }

    void movesPerSide() {
        QFETCH(int, currentPly);
        QFETCH(int, clockStartPly);
        QFETCH(int, white);
        QFETCH(int, black);
        int wm = -1, bm = -1;
        TfrmWinRovik::MovesPerSide(currentPly, clockStartPly, &wm, &bm);
        QCOMPARE(wm, white);
        QCOMPARE(bm, black);
    }

    void theDialogAsDesigned() {
        QCOMPARE(frmLevels->windowTitle(), QString("Select Level"));
        QVERIFY(frmLevels->pcontrLevel->currentWidget() == frmLevels->Sheet2);
        QCOMPARE(frmLevels->pcontrLevel->tabText(0), QString("Seconds/Move"));
        QCOMPARE(frmLevels->pcontrLevel->tabText(1), QString("Blitz"));
        QCOMPARE(frmLevels->pcontrLevel->tabText(2), QString("Tournament"));
        QCOMPARE(frmLevels->cboxSecs1->currentText(), QString("3"));
        QCOMPARE(frmLevels->cboxBlitz1->currentText(), QString("5"));
        QCOMPARE(frmLevels->cboxBlitz2->currentText(), QString("0"));
        QCOMPARE(frmLevels->cboxTourn1->currentText(), QString("40"));
        QCOMPARE(frmLevels->cboxTourn2->currentText(), QString("120"));
        QCOMPARE(frmLevels->cboxTourn3->currentText(), QString("60"));
        QVERIFY(frmLevels->cboxSecs1->isEditable());
        QCOMPARE(frmLevels->cboxSecs1->count(), 13);
        QCOMPARE(frmLevels->cboxSecs1->itemText(12), QString("100000"));
        QCOMPARE(frmLevels->cboxTourn3->itemText(0), QString("0"));
    }

    void blitzFiveMinutes() {
        ChooseLevel(frmLevels->Sheet2, {{frmLevels->cboxBlitz1, "5"}, {frmLevels->cboxBlitz2, "0"}});
        QCOMPARE(TimeControlType.load(), 2);
        QCOMPARE(BlitzMinutes.load(), 5);
        QCOMPARE(BlitzBonus.load(), 0);
        QCOMPARE(w->lblWhiteTime->text(), QString("00:05:00"));
        QCOMPARE(w->lblBlackTime->text(), QString("00:05:00"));
        QVERIFY(w->btnCustom->isChecked());
        QVERIFY(w->btnPonder->isChecked());
        QVERIFY(PonderEnabled);

        QVERIFY(PlayMoves(*w, ShufflePlies(6)));
        UsedAndUpdate(20000, 0);
        QCOMPARE(w->WhiteLeftMs, 280000.0);
        QCOMPARE(w->lblWhiteTime->text(), QString("00:04:40"));
        QCOMPARE(w->BlackLeftMs, 300000.0);
    }

    void blitzWithBonus() {
        ChooseLevel(frmLevels->Sheet2, {{frmLevels->cboxBlitz1, "2"}, {frmLevels->cboxBlitz2, "12"}});
        QVERIFY(PlayMoves(*w, ShufflePlies(20)));
        UsedAndUpdate(100000, 0);
        QCOMPARE(w->WhiteLeftMs, 10 * 12000.0 + 120000.0 - 100000.0);
    }

    void cancelLeavesTheLevel() {
        const int before = TimeControlType;
        frmLevels->pcontrLevel->setCurrentWidget(frmLevels->Sheet2);
        QTimer::singleShot(0, frmLevels, [] { frmLevels->BitBtn2->click(); });
        w->btnCustom->trigger();
        QCOMPARE(TimeControlType.load(), before);
        QVERIFY(!w->btnCustom->isChecked());
    }

    void tournamentPeriods_data() {
        QTest::addColumn<QString>("rest");
        QTest::addColumn<int>("ply");
        QTest::addColumn<double>("allowanceMinutes");
        QTest::newRow("rest 60, 39 moves") << "60" << 78 << 120.0;
        QTest::newRow("rest 60, 40 moves") << "60" << 80 << 180.0;
        QTest::newRow("rest 60, 80 moves") << "60" << 160 << 180.0;
        QTest::newRow("repeat, 39 moves") << "0" << 78 << 120.0;
        QTest::newRow("repeat, 40 moves") << "0" << 80 << 240.0;
        QTest::newRow("repeat, 80 moves") << "0" << 160 << 360.0;
    }

    void tournamentPeriods() {
        QFETCH(QString, rest);
        QFETCH(int, ply);
        QFETCH(double, allowanceMinutes);
        ChooseLevel(frmLevels->Sheet3,
                    {{frmLevels->cboxTourn1, "40"}, {frmLevels->cboxTourn2, "120"}, {frmLevels->cboxTourn3, rest}});
        QCOMPARE(TimeControlType.load(), 4);
        QCOMPARE(w->lblWhiteTime->text(), QString("02:00:00"));
        QVERIFY(PlayMoves(*w, ShufflePlies(ply)));
        UsedAndUpdate(1000, 2000);
        QCOMPARE(w->WhiteLeftMs, allowanceMinutes * 60000 - 1000);
        QCOMPARE(w->BlackLeftMs, allowanceMinutes * 60000 - 2000);
    }

    void aLevelChosenWithBlackToMoveCountsFromThere() {
        QVERIFY(PlayMoves(*w, ShufflePlies(1)));
        ChooseLevel(frmLevels->Sheet3,
                    {{frmLevels->cboxTourn1, "2"}, {frmLevels->cboxTourn2, "10"}, {frmLevels->cboxTourn3, "5"}});
        QCOMPARE(w->ClockStartPly, 1);
        QVERIFY(PlayMoves(*w, {"g8f6", "f3g1", "f6g8"}));  // ply 4: black has made 2 moves, white 1
        UsedAndUpdate(0, 0);
        QCOMPARE(w->BlackLeftMs, 15 * 60000.0);
        QCOMPARE(w->WhiteLeftMs, 10 * 60000.0);
    }

    void secondsPerMoveCountsUpWithoutFlag() {
        ChooseLevel(frmLevels->Sheet1, {{frmLevels->cboxSecs1, "7"}});
        QCOMPARE(TimeControlType.load(), 1);
        QCOMPARE(TargetTimeMs, 7000.0);
        QCOMPARE(w->lblWhiteTime->text(), QString("00:00:00"));
        QVERIFY(PlayMoves(*w, ShufflePlies(1)));
        w->MoveStartTick = w->now;
        w->now += 1500;
        w->UpdateClocks();
        QCOMPARE(w->BlackLeftMs, 1500.0);
        QCOMPARE(w->lblBlackTime->text(), QString("00:00:02"));
        w->now += 36'000'000;
        w->UpdateClocks();
        QCOMPARE(w->lblBlackTime->text(), QString("10:00:02"));
        QVERIFY(boxes.shown.empty());
    }

    void flagFallIsAnnouncedOnce() {
        ChooseLevel(frmLevels->Sheet2, {{frmLevels->cboxBlitz1, "1"}, {frmLevels->cboxBlitz2, "0"}});
        QVERIFY(PlayMoves(*w, ShufflePlies(2)));
        AutoPlay = true;
        w->Autoplay->setChecked(true);
        w->MoveStartTick = w->now;
        w->now += 61000;
        w->UpdateClocks();
        QCOMPARE(boxes.shown.size(), std::size_t(1));
        QCOMPARE(boxes.shown[0].text, QString("White Lost on Time!"));
        QCOMPARE(boxes.shown[0].caption, QString("Result"));
        QVERIFY(w->WhiteFlagged);
        QVERIFY(!AutoPlay);
        QVERIFY(!w->Autoplay->isChecked());
        QVERIFY(w->tmrClock->isActive());
        QCOMPARE(w->lblWhiteTime->text(), QString("-00:00:01"));

        w->now += 5000;
        w->tmrClockTimer();
        QCOMPARE(boxes.shown.size(), std::size_t(1));
        QCOMPARE(w->lblWhiteTime->text(), QString("-00:00:06"));

        // Going back to the start under blitz clears the flags.
        PendingCommand = CMD_GOTO_START;
        w->Timer1Timer();
        QVERIFY(!w->WhiteFlagged);
        QCOMPARE(w->lblWhiteTime->text(), QString("00:01:00"));

        // No flag in protocol mode.
        ProtocolMode = true;
        QVERIFY(PlayMoves(*w, ShufflePlies(2)));
        w->now += 120000;
        w->UpdateClocks();
        QCOMPARE(boxes.shown.size(), std::size_t(1));
    }

    void clocksStandStillBeforeTheFirstMove() {
        HumanToMove = true;
        w->now += 10000;
        w->tmrClockTimer();
        QCOMPARE(w->WhiteUsedMs, 0.0);
        QCOMPARE(TextColour(w->lblWhiteTime), Black);
        QCOMPARE(TextColour(w->lblBlackTime), Black);

        HumanToMove = false;  // the computer is to make the first move
        w->tmrClockTimer();
        QCOMPARE(w->WhiteUsedMs, 10000.0);
        QCOMPARE(TextColour(w->lblWhiteTime), Navy);
        QCOMPARE(TextColour(w->lblBlackTime), Black);

        HumanToMove = true;
        QVERIFY(PlayMoves(*w, ShufflePlies(1)));
        w->UpdateClocks();
        QCOMPARE(TextColour(w->lblWhiteTime), Black);
        QCOMPARE(TextColour(w->lblBlackTime), Navy);
    }

    void protocolClockValues() {
        ChooseLevel(frmLevels->Sheet2, {{frmLevels->cboxBlitz1, "5"}, {frmLevels->cboxBlitz2, "0"}});
        XboardTimeMs = 30000 * 10.0;
        XboardOtimMs = 12345 * 10.0;
        w->WhiteUsedMs = 4000;
        w->BlackUsedMs = 9000;
        w->MoveStartTick = w->now;
        w->Timer1Timer();  // a pending protocol time makes the tick take the values over
        QCOMPARE(XboardTimeMs.load(), 0.0);
        QCOMPARE(XboardOtimMs.load(), 0.0);
        w->UpdateClocks();
        QCOMPARE(w->WhiteLeftMs, 296000.0);  // they wait for the engine's move
        QCOMPARE(w->BlackLeftMs, 291000.0);

        // "go": the engine moves for white, whose clock gets the engine's time.
        double white = 0, black = 0;
        w->duringComputerMove = [&] {
            white = w->WhiteLeftMs;
            black = w->BlackLeftMs;
        };
        HumanToMove = false;
        w->Timer1Timer();
        QCOMPARE(white, 300000.0);
        QCOMPARE(black, 123450.0);
        w->UpdateClocks();
        QCOMPARE(w->WhiteLeftMs, 300000.0);
        QCOMPARE(w->BlackLeftMs, 123450.0);
    }

    void infiniteTimeAndHumanVsHuman() {
        w->btnInfinite->trigger();
        QCOMPARE(TimeControlType.load(), 1);
        QCOMPARE(TargetTimeMs, 10.0);
        QVERIFY(InfiniteSearch);
        QVERIFY(w->btnInfinite->isChecked());
        QVERIFY(!w->btnCustom->isChecked());
        w->btnInfinite->trigger();  // chosen again: applied again, not toggled
        QVERIFY(w->btnInfinite->isChecked());

        AutoPlay = true;
        w->Autoplay->setChecked(true);
        w->btnHumanvsHuman->trigger();
        QVERIFY(HumanVsHuman);
        QVERIFY(!InfiniteSearch);
        QVERIFY(!AutoPlay);
        QVERIFY(!w->Autoplay->isChecked());
        QVERIFY(!PonderEnabled);
        QVERIFY(!w->btnPonder->isChecked());
        QVERIFY(w->btnHumanvsHuman->isChecked());
        QVERIFY(!w->btnInfinite->isChecked());
        QCOMPARE(TimeControlType.load(), 1);
        w->btnHumanvsHuman->trigger();
        QVERIFY(w->btnHumanvsHuman->isChecked());
        QVERIFY(HumanVsHuman);
    }

    void aBadFieldChangesNothing_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shownAfter");  // the value last used
        QTest::newRow("letters") << 2 << 0 << "abc" << "Minutes per Game: \"abc\" is not a whole number." << "5";
        QTest::newRow("fraction") << 2 << 1 << "1.5" << "Seconds Bonus per Move: \"1.5\" is not a whole number."
                                  << "3";
        QTest::newRow("empty") << 3 << 1 << "" << "Minutes: \"\" is not a whole number." << "120";
        QTest::newRow("seconds in letters") << 1 << 0 << "abc" << "Seconds per Move: \"abc\" is not a whole number."
                                            << "3";
        QTest::newRow("too large") << 1 << 0 << "99999999999"
                                   << "Seconds per Move: \"99999999999\" is not a whole number." << "3";
        QTest::newRow("no moves") << 3 << 0 << "0" << "Moves in: the number of moves must be 1 or more." << "40";
        QTest::newRow("negative moves") << 3 << 0 << "-40" << "Moves in: the number of moves must be 1 or more."
                                        << "40";
    }

    void aBadFieldChangesNothing() {
        QFETCH(int, page);
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(QString, shownAfter);
        ChooseLevel(frmLevels->Sheet2, {{frmLevels->cboxBlitz1, "5"}, {frmLevels->cboxBlitz2, "3"}});
        QVERIFY(PlayMoves(*w, ShufflePlies(3)));
        w->WhiteUsedMs = 1234;
        w->btnHumanvsHuman->setChecked(true);
        HumanVsHuman = true;
        PonderEnabled = false;
        w->btnPonder->setChecked(false);
        TargetTimeMs = 4321;

        QWidget* pages[] = {nullptr, frmLevels->Sheet1, frmLevels->Sheet2, frmLevels->Sheet3};
        QComboBox* fields[4][3] = {{},
                                   {frmLevels->cboxSecs1},
                                   {frmLevels->cboxBlitz1, frmLevels->cboxBlitz2},
                                   {frmLevels->cboxTourn1, frmLevels->cboxTourn2, frmLevels->cboxTourn3}};
        QVERIFY(!ChooseLevel(pages[page], {{fields[page][field], text}}));  // OK keeps the dialog open

        QCOMPARE(boxes.shown.size(), std::size_t(1));
        QCOMPARE(boxes.shown[0].text, message);
        QCOMPARE(boxes.shown[0].caption, QString("Select Level"));
        // The dialog holds the level in use again, which the computer's move reads.
        QCOMPARE(fields[page][field]->currentText(), shownAfter);
        QVERIFY(frmLevels->pcontrLevel->currentWidget() == frmLevels->Sheet2);
        QCOMPARE(TimeControlType.load(), 2);
        QCOMPARE(BlitzMinutes.load(), 5);
        QCOMPARE(BlitzBonus.load(), 3);
        QCOMPARE(TargetTimeMs, 4321.0);
        QCOMPARE(w->ClockStartPly, 0);
        QCOMPARE(w->WhiteUsedMs, 1234.0);
        QVERIFY(HumanVsHuman);
        QVERIFY(!PonderEnabled);
        QVERIFY(w->btnHumanvsHuman->isChecked());
        QVERIFY(w->btnCustom->isChecked());
        QVERIFY(!w->btnPonder->isChecked());
    }

    void okWithARefusedValueStaysOnTheField() {
        QWidget* focus = nullptr;
        bool open = false;
        QTimer::singleShot(0, frmLevels, [&] {
            frmLevels->pcontrLevel->setCurrentWidget(frmLevels->Sheet3);
            frmLevels->cboxTourn2->setEditText("ten");
            frmLevels->BitBtn1->click();
            open = frmLevels->isVisible();
            focus = frmLevels->focusWidget();
            frmLevels->cboxTourn2->setEditText("10");  // mended, OK now closes
            frmLevels->BitBtn1->click();
        });
        w->btnCustom->trigger();
        QVERIFY(open);
        QVERIFY(focus == frmLevels->cboxTourn2 || focus == frmLevels->cboxTourn2->lineEdit());
        QCOMPARE(boxes.shown.size(), std::size_t(1));
        QCOMPARE(TimeControlType.load(), 4);
        QCOMPARE(TournamentMinutes.load(), 10);
    }

    void cancelPutsBackTheValuesInUse() {
        ChooseLevel(frmLevels->Sheet1, {{frmLevels->cboxSecs1, "7"}});
        QTimer::singleShot(0, frmLevels, [] {
            frmLevels->pcontrLevel->setCurrentWidget(frmLevels->Sheet2);
            frmLevels->cboxSecs1->setEditText("abc");
            frmLevels->cboxBlitz1->setEditText("15");
            frmLevels->BitBtn2->click();
        });
        w->btnCustom->trigger();
        QCOMPARE(frmLevels->cboxSecs1->currentText(), QString("7"));
        QCOMPARE(frmLevels->cboxBlitz1->currentText(), QString("5"));
        QVERIFY(frmLevels->pcontrLevel->currentWidget() == frmLevels->Sheet1);
        QCOMPARE(TimeControlType.load(), 1);
        QCOMPARE(TargetTimeMs, 7000.0);
    }

    void aLevelRefusedOutsideTheDialogChangesNothing() {
        // As the settings file applies a stored level: the texts, then the level.
        ChooseLevel(frmLevels->Sheet1, {{frmLevels->cboxSecs1, "7"}});
        frmLevels->pcontrLevel->setCurrentWidget(frmLevels->Sheet2);
        frmLevels->cboxBlitz1->setEditText("x");
        frmLevels->cboxSecs1->setEditText("abc");
        w->ApplyLevel(LEVEL_CHOSEN);
        QCOMPARE(boxes.shown.size(), std::size_t(1));
        QCOMPARE(TimeControlType.load(), 1);
        QCOMPARE(TargetTimeMs, 7000.0);
        QCOMPARE(frmLevels->cboxSecs1->currentText(), QString("7"));
        QCOMPARE(frmLevels->cboxBlitz1->currentText(), QString("5"));
        QVERIFY(frmLevels->pcontrLevel->currentWidget() == frmLevels->Sheet1);
    }

    void onlyTheChosenPageIsRead() {
        frmLevels->cboxBlitz1->setEditText("junk");
        frmLevels->cboxTourn1->setEditText("0");
        QVERIFY(ChooseLevel(frmLevels->Sheet1, {{frmLevels->cboxSecs1, " 12 "}}));
        QVERIFY(boxes.shown.empty());
        QCOMPARE(TimeControlType.load(), 1);
        QCOMPARE(TargetTimeMs, 12000.0);
        // The other pages hold no value that cannot be used.
        QCOMPARE(frmLevels->cboxBlitz1->currentText(), QString("5"));
        QCOMPARE(frmLevels->cboxTourn1->currentText(), QString("40"));
    }

    void noPeriodLengthOfZeroReachesTheClocks() {
        // The protocol and the settings file write the globals directly.
        TimeControlType = TIME_TOURNAMENT;
        TournamentMoves = 0;
        TournamentMinutes = 1;
        TournamentRest = 0;
        QVERIFY(PlayMoves(*w, ShufflePlies(4)));
        UsedAndUpdate(0, 0);
        QCOMPARE(w->WhiteLeftMs, 3 * 60000.0);  // counted as periods of one move
    }
};

QTEST_MAIN(ClocksTest)
#include "test_clocks.moc"
