// The computer's move: the last-move texts; the driver on the window with
// books, single replies, mates, resigning and finished games; and a whole
// game in the window, mouse moves against the computer's replies.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fstream>
#include <memory>
#include <random>

#include "BoardView.h"
#include "ComputerMove.h"
#include "book.h"
#include "dialogs/LEVELS.h"
#include "eval.h"
#include "globals.h"
#include "guiglobals.h"
#include "hash.h"
#include "makemove.h"
#include "movedriver.h"
#include "movegen.h"
#include "gui_fixture.h"
#include "rootsearch.h"
#include "test_position.h"
#include "search.h"
#include "startbook.h"
#include "xboard.h"

namespace {

const char* const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// The generated move with these squares in the position, 0 when none.
Move FindMove(const Position& pos, const std::string& squares) {
    EngineBoard b;
    b.Pos = pos;
    GenerateMoves(&b);
    for (int i = 0; i <= b.List.Last; ++i)
        if (CoordinateText(b.List.Moves[i]).substr(0, 4) == squares) return b.List.Moves[i];
    return 0;
}

}  // namespace

class ComputerMoveTest : public QObject, public WindowFixture<> {
    Q_OBJECT

    // The computer plays the side to move at st seconds a move, its budget
    // scaled by speed percent, on the real clock.
    void Level(const char* seconds, int speed) {
        TimeControlType = TIME_PER_MOVE;
        if (frmLevels == nullptr) frmLevels = new TfrmLevels(w.get());
        frmLevels->cboxSecs1->setEditText(seconds);
        SpeedPercent = speed;
    }

    void Think() {
        HumanToMove = false;
        w->ComputerMove();
        w->Timer1->stop();
        w->tmrClock->stop();
    }

    bool ResultBoxShown() const {
        for (const ShownBox& b : boxes.shown)
            if (b.caption == "Result") return true;
        return false;
    }

private slots:
    void init() {
        ResetWindowTest();
        ResetProtocolState();
        MakeThinkingWindow();
        w->realClock = true;
        w->ResetClocks();
        // No books but the ones a test makes.
        for (auto& slot : StartBookTable) slot = StartBookSlot{};
        w->Book = std::make_unique<bookclass>("/nonexistent/MLBook.lib");
        Level("1", 10);  // 100 ms a move
    }

    void cleanup() { CloseWindow(); }

    // ------------------------------------------------ last-move texts

    void scoreTexts() {
        QCOMPARE(LastScoreText(0), QString("0"));
        QCOMPARE(LastScoreText(35), QString("0.35"));
        QCOMPARE(LastScoreText(-120), QString("-1.20"));
        QCOMPARE(LastScoreText(31994), QString("# in 3"));
        QCOMPARE(LastScoreText(-31997), QString("-# in 1"));
        QCOMPARE(NodeCountText(1234567), QString("1,234,567"));
    }

    // ------------------------------------------------ the driver

    void aStartBookMoveIsPlayedAtOnce() {
        const Move e4 = FindMove(GameBoard.Pos, "e2e4");
        StartBookTable[0] = StartBookSlot{KeyLo(GameBoard.Pos.Key), KeyHi(GameBoard.Pos.Key), {e4}};
        Think();
        QCOMPARE(w->CurrentPly, 1);
        QCOMPARE(w->MoveCodes[0], e4);
        QCOMPARE(w->lblScore->text(), QString("IN BOOK"));
        QCOMPARE(w->lblLastDepth->text(), QString("0"));
        QCOMPARE(w->lblLastScore->text(), QString("0"));
        QCOMPARE(w->lblLastNodes->text(), QString("0"));
        QCOMPARE(w->lblStatus->text(), QString("   Moved: e4"));
        QCOMPARE(LastScores[0], 0);
        QVERIFY(HumanToMove);
    }

    void aLearningBookMoveIsPlayedAtOnce() {
        QVERIFY(w->Play("e2e4") == 1);
        BookRecord r;
        bookclass::EncodePosition(&GameBoard.Pos, &r);
        r.Slot[0] = MakeBookSlot(E7 * 64 + E5, 5, 0, 0);
        QTemporaryDir dir;
        const std::string path = dir.filePath("MLBook.lib").toStdString();
        {
            unsigned char bytes[BOOK_RECORD_BYTES];
            BookRecordToBytes(r, bytes);
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
        }
        w->Book = std::make_unique<bookclass>(path.c_str());
        Think();
        QCOMPARE(w->CurrentPly, 2);
        QCOMPARE(CoordinateText(w->MoveCodes[1]), std::string("e7e5"));
        QCOMPARE(w->lblLastDepth->text(), QString("0"));
        QCOMPARE(ComputerColour, u8{1});
        QCOMPARE(EngineIsBlack, 1);
    }

    void noBookInASetUpGame() {
        const Move e4 = FindMove(GameBoard.Pos, "e2e4");
        StartBookTable[0] = StartBookSlot{KeyLo(GameBoard.Pos.Key), KeyHi(GameBoard.Pos.Key), {e4}};
        PositionSetUp = 1;
        Think();
        QCOMPARE(w->CurrentPly, 1);
        QVERIFY(w->lblLastDepth->text().toInt() >= 1);
    }

    void aSingleReplyIsPlayedAtOnceWithTheLastScore() {
        // Kxb2 is the only legal move.
        w->SetUp("k7/p7/8/8/8/8/1q6/K7 w - - 0 1");
        PositionSetUp = 1;
        for (int i = 0; i < MAX_MOVES; ++i) GameBoard.List.Score[i] = 9999;  // whatever an earlier list left
        LastScores[0] = -250;
        Think();
        QCOMPARE(w->CurrentPly, 1);
        QCOMPARE(CoordinateText(w->MoveCodes[0]), std::string("a1b2"));
        QCOMPARE(w->lblLastDepth->text(), QString("0"));
        QCOMPARE(w->lblLastNodes->text(), QString("0"));
        QCOMPARE(w->lblLastScore->text(), QString("-2.50"));
        QCOMPARE(LastScores[0], -250);
        QCOMPARE(LastScores[1], -250);
        // White is worse by 2.50: black is ahead, and that is learned at once.
        QCOMPARE(w->learned.size(), std::size_t{1});
        QCOMPARE(w->learned[0].result, 0.0);
        QCOMPARE(LearnResult, -2.0);
    }

    void aMateIsPlayedAndTheDeepeningStops() {
        // Rd8+ Rxd8 Rxd8#.
        w->SetUp("r5k1/5ppp/8/8/8/8/3R1PPP/3R2K1 w - - 0 1");
        PositionSetUp = 1;
        Level("30", 100);
        Think();
        QCOMPARE(CoordinateText(w->MoveCodes[0]), std::string("d2d8"));
        QCOMPARE(w->lblLastScore->text(), QString("# in 2"));  // the mated side moves at ply 4
        QVERIFY(w->lblLastDepth->text().toInt() <= 4);
        QCOMPARE(LearnResult, -2.0);  // white ahead, learned at once
        QCOMPARE(w->learned.front().result, 1.0);
    }

    void checkmateAndStalemateAreAnnouncedAndNothingIsPlayed_data() {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<bool>("protocol");
        QTest::addColumn<QString>("text");
        const char* mated = "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3";
        const char* stalemated = "k7/2Q5/8/8/8/8/8/7K b - - 0 1";
        QTest::newRow("checkmate") << mated << false << "Checkmate!!";
        QTest::newRow("stalemate") << stalemated << false << "Stalemate!!";
        QTest::newRow("checkmate (protocol)") << mated << true << "0-1 {Black mates}";
        QTest::newRow("stalemate (protocol)") << stalemated << true << "1/2-1/2 {Stalemate}";
    }

    void checkmateAndStalemateAreAnnouncedAndNothingIsPlayed() {
        QFETCH(QString, fen);
        QFETCH(bool, protocol);
        QFETCH(QString, text);
        w->SetUp(fen.toStdString());
        PositionSetUp = 1;
        ProtocolMode = protocol;
        Think();
        QCOMPARE(w->CurrentPly, 0);
        if (protocol) {
            QCOMPARE(w->protocol, std::vector<std::string>{text.toStdString()});
        } else {
            QCOMPARE(boxes.shown.size(), std::size_t{1});
            QCOMPARE(boxes.shown[0].text, text);
            QCOMPARE(boxes.shown[0].caption, QString("Result"));
        }
        QVERIFY(HumanToMove);
    }

    void aGameDrawnByRuleStillGetsItsMove_data() {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<bool>("protocol");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("line");
        const char* material = "8/8/4k3/8/8/3K4/8/5N2 w - - 0 1";
        // No capture and no pawn move can reset the counter.
        const char* fifty = "r7/8/4k3/8/8/3K4/8/7R w - - 100 80";
        QTest::newRow("insufficient material") << material << false << "Draw because of insufficient material!" << "";
        QTest::newRow("fifty moves") << fifty << false << "Draw by 50 move rule!!" << "";
        QTest::newRow("insufficient material (protocol)")
            << material << true << "" << "1/2-1/2 {Draw because of insufficient material}";
        QTest::newRow("fifty moves (protocol)") << fifty << true << "" << "1/2-1/2 {Draw by 50 move}";
    }

    // The computer moves in a game already drawn by rule, and the game end
    // is told after its move.
    void aGameDrawnByRuleStillGetsItsMove() {
        QFETCH(QString, fen);
        QFETCH(bool, protocol);
        QFETCH(QString, box);
        QFETCH(QString, line);
        w->SetUp(fen.toStdString());
        PositionSetUp = 1;
        ProtocolMode = protocol;
        PostThinking = false;
        // "&Move" in the window, "go" over the protocol.
        if (protocol)
            QueueProtocolCommands({{"go"}});
        else
            w->Move1Click();
        w->Timer1Timer();
        w->Timer1->stop();
        w->tmrClock->stop();
        QCOMPARE(w->CurrentPly, 1);
        QVERIFY(HumanToMove);
        if (protocol) {
            QCOMPARE(w->protocol.size(), std::size_t{2});
            QVERIFY(w->protocol[0].starts_with("move "));
            QCOMPARE(QString::fromStdString(w->protocol[1]), line);
        } else {
            QCOMPARE(boxes.shown.size(), std::size_t{1});
            QCOMPARE(boxes.shown[0].text, box);
        }
    }

    void aFinishedGameRunsNoPonderSearch() {
        // Checkmated, or drawn by material: nothing to ponder on (a timer
        // ends a search that would start).
        for (const char* fen : {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",
                                "8/8/4k3/8/8/3K4/8/8 w - - 0 1"}) {
            w->SetUp(fen);
            NodeCount = 0;
            QTimer guard;
            guard.setSingleShot(true);
            connect(&guard, &QTimer::timeout, [] { StopSearch = true; });
            guard.start(1000);
            w->Ponder();
            QCOMPARE(NodeCount, i64{0});
            QVERIFY(!Pondering);
            StopSearch = false;
        }
    }

    void resigningInTheWindowAndOverTheProtocol_data() {
        QTest::addColumn<bool>("protocol");
        QTest::newRow("window") << false;
        QTest::newRow("protocol") << true;
    }

    void resigningInTheWindowAndOverTheProtocol() {
        QFETCH(bool, protocol);
        // Black's lone king against the whole white army.
        w->SetUp("7k/8/8/8/8/8/PPPPPPPP/RNBQKBNR b KQ - 0 1");
        PositionSetUp = 1;
        ProtocolMode = protocol;
        ResignEnabled = true;
        for (auto& s : LastScores) s = -700;
        Think();
        if (protocol) {
            QCOMPARE(w->protocol.back(), std::string("1-0 {Morlaquin resigns}"));
            QCOMPARE(w->CurrentPly, 0);  // the resign line replaces the move
        } else {
            QCOMPARE(w->CurrentPly, 1);  // the move is played, then the message
            QCOMPARE(boxes.shown.size(), std::size_t{1});
            QCOMPARE(boxes.shown[0].text, QString("Congratulations, Morlaquin resigns"));
            for (int s : LastScores) QCOMPARE(s, 0);
        }
    }

    void noResignWithoutFiveLosingScores() {
        w->SetUp("7k/8/8/8/8/8/PPPPPPPP/RNBQKBNR b KQ - 0 1");
        PositionSetUp = 1;
        ProtocolMode = true;
        ResignEnabled = true;
        for (auto& s : LastScores) s = -700;
        LastScores[3] = -100;  // four moves ago the game still looked fine
        Think();
        QCOMPARE(w->CurrentPly, 1);
        QVERIFY(w->protocol.back().starts_with("move "));
    }

    void aCancelledSearchPlaysNothing_data() {
        QTest::addColumn<bool>("force");
        QTest::newRow("force") << true;  // force mode
        QTest::newRow("new") << false;   // a cancel waits, force mode off
    }

    void aCancelledSearchPlaysNothing() {
        QFETCH(bool, force);
        // The peer's command arrives while the computer thinks.
        w->SetUp(StartFen);
        PositionSetUp = 1;
        ProtocolMode = true;
        Level("30", 100);
        QTimer peer;
        peer.setSingleShot(true);
        connect(&peer, &QTimer::timeout, [force] {
            if (force) {
                HumanVsHuman = true;
                StopSearch = true;
            } else {
                QueueProtocolCommands({{"new"}});  // the search itself notices it
            }
        });
        peer.start(300);
        Think();
        QCOMPARE(w->CurrentPly, 0);
        for (const std::string& line : w->protocol) QVERIFY(!line.starts_with("move "));
        QVERIFY(HumanToMove);
    }

    void secondsPerMoveIsAHardLimitOverTheProtocol() {
        // A personality three times as slow would take up to twice its
        // budget; "st 1" still means at most one second.
        w->SetUp("r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - - 0 1");
        PositionSetUp = 1;
        ProtocolMode = true;
        Level("1", 300);
        // The program's clock moves on by 10 ms at each look.
        w->realClock = false;
        w->clockStep = 10;
        const i64 start = w->now;
        Think();
        QVERIFY2(w->now - start <= 1000, qPrintable(QString("%1 ms").arg(w->now - start)));
        QCOMPARE(w->CurrentPly, 1);
    }

    // ------------------------------------------------ a whole game

    void aWholeGameInTheWindow() {
        // White is the person, moving at random by mouse; black the computer.
        w->resize(615, 558);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->Timer1->stop();
        Level("1", 5);  // 50 ms a move
        std::mt19937 random(20261210);
        const bool mouse = !w->BoardBitmap.isNull();
        qInfo("person's moves by %s", mouse ? "mouse" : "PlayFromTo");

        while (!ResultBoxShown() && w->CurrentPly < 600) {
            QVERIFY(HumanToMove);
            const std::vector<Move> legal = LegalMoves();
            QVERIFY(!legal.empty());
            const Move m = legal[random() % legal.size()];
            if (MovePromotion(m) != 0) w->promotions = {MovePromotion(m)};
            const int ply = w->CurrentPly;
            if (mouse) {
                w->Drag(MoveFrom(m), w->SquareCentre(MoveTo(m)));
            } else if (w->PlayFromTo(MoveFrom(m), MoveTo(m), 0) == PLAY_MOVED) {
                HumanToMove = false;
            }
            QCOMPARE(w->CurrentPly, ply + 1);
            QCOMPARE(w->MoveCodes[ply], m);
            if (ResultBoxShown()) break;
            QVERIFY(!HumanToMove);
            w->Timer1Timer();  // the computer's reply
            w->Timer1->stop();
            QCOMPARE(w->CurrentPly, ply + 2);
        }
        QVERIFY2(ResultBoxShown(), "the game did not end");
        for (const ShownBox& b : boxes.shown) QVERIFY(b.caption == "Result");

        // The record replays to the position on the board.
        EngineBoard replay;
        SetupTestPosition(&replay, StartFen);
        for (int p = 0; p < w->CurrentPly; ++p) {
            EngineBoard scratch = replay;
            QVERIFY(MakeMove(&scratch, w->MoveCodes[p], &scratch.Pos) != MAKE_KING_CAPTURED);
            QVERIFY(!InCheck(&scratch, &scratch.Pos, 0));
            replay.Pos = scratch.Pos;
            QCOMPARE(replay.Pos.Key, w->PositionHistory[p + 1].Key);
        }
        QCOMPARE(replay.Pos.Key, GameBoard.Pos.Key);
        QCOMPARE(w->LastPly, w->CurrentPly);
    }
};

QTEST_MAIN(ComputerMoveTest)
#include "test_computermove.moc"
