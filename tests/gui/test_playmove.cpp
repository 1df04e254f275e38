// Playing a move: its text in the move list, game ends with their boxes and
// protocol lines, book learning, illegal and impossible moves, promotion,
// the mover's clock.
#include <QAction>
#include <QLabel>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <utility>

#include "globals.h"
#include "guiglobals.h"
#include "makemove.h"
#include "movegen.h"
#include "gui_fixture.h"
#include "rootsearch.h"
#include "test_position.h"

namespace {

const char* const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Index of the move with these squares in the game board's freshly
// generated list, -1 when there is none.
int ListIndex(const std::string& move) {
    GenerateMoves(&GameBoard);
    for (int i = 0; i <= GameBoard.List.Last; ++i)
        if (CoordinateText(GameBoard.List.Moves[i]).substr(0, 4) == move) return i;
    return -1;
}

}  // namespace

class PlayMoveTest : public QObject, public WindowFixture<> {
    Q_OBJECT

    void TickAndStop() {
        w->Timer1Timer();
        w->Timer1->stop();
    }

    // A move received over the protocol, played by the tick.
    void ReceiveMove(int from, int to, int promotion) {
        UserMoveFrom = from;
        UserMoveTo = to;
        UserMovePromotion = promotion;
        PendingCommand = CMD_USER_MOVE;
        TickAndStop();
    }

private slots:
    void init() {
        ResetWindowTest();
        MakeThinkingWindow();
    }

    void cleanup() { CloseWindow(); }

    void movesAreWrittenIntoTheListAndTheRecord() {
        const std::vector<std::string> line = {"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "g8f6", "d2d3",
                                               "f8c5", "c2c3", "d7d6", "b1d2", "a7a6", "a2a4", "c8e6",
                                               "c4e6", "f7e6", "d1b3", "d8c8", "e1g1", "e8g8"};
        QCOMPARE(w->Play(line[0]), 1);
        QCOMPARE(w->Cell(0, 0), QString("1.   e4"));
        QCOMPARE(w->MoveTexts[0], std::string("e4"));
        QCOMPARE(CoordinateText(w->MoveCodes[0]), std::string("e2e4"));
        QCOMPARE(w->LastMove, w->MoveCodes[0]);
        QCOMPARE(w->LastPly, 1);
        QVERIFY(SamePosition(w->PositionHistory[1], GameBoard.Pos));

        QCOMPARE(w->Play(line[1]), 1);
        QCOMPARE(w->Cell(1, 0), QString("e5"));
        for (std::size_t i = 2; i < line.size(); ++i) QCOMPARE(w->Play(line[i]), 1);
        QCOMPARE(w->Cell(0, 8), QString("9.   Qb3"));
        QCOMPARE(w->Cell(0, 9), QString("10. O-O"));
        QCOMPARE(w->Cell(1, 9), QString("O-O"));
        QCOMPARE(w->CurrentPly, 20);
        QCOMPARE(w->LastPly, 20);

        // A move dropped during a ponder search ends it.
        Pondering = true;
        StopSearch = false;
        QCOMPARE(w->Play("h2h3"), 1);
        QVERIFY(StopSearch);
        Pondering = false;
    }

    void checkGetsItsMark() {
        w->SetUp("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
        QCOMPARE(w->Play("a1a8"), 1);
        QCOMPARE(w->MoveTexts[0], std::string("Ra8+"));
    }

    void aGameThatBeginsWithBlack() {
        w->SetUp("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", 1);
        QCOMPARE(w->Play("e7e5"), 1);
        QCOMPARE(w->Cell(0, 0), QString("1."));
        QCOMPARE(w->Cell(1, 0), QString("e5"));
        QCOMPARE(w->Play("g1f3"), 1);
        QCOMPARE(w->Cell(0, 1), QString("2.   Nf3"));
    }

    void foolsMateInTheWindow() {
        QCOMPARE(w->PlayAll({"f2f3", "e7e5", "g2g4"}), 1);
        AutoPlay = true;
        w->Autoplay->setChecked(true);
        QCOMPARE(w->Play("d8h4"), 3);
        QCOMPARE(w->MoveTexts[3], std::string("Qh4#"));
        QCOMPARE(w->Cell(1, 1), QString("Qh4#"));
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].text, QString("Checkmate!"));
        QCOMPARE(boxes.shown[0].caption, QString("Result"));
        QCOMPARE(w->lblStatus->text(), QString("   Checkmate!"));
        QCOMPARE(LearnResult, -1.0);  // a mate leaves the judged result alone
        QVERIFY(w->learned.empty());
        QVERIFY(!AutoPlay);
        QVERIFY(!w->Autoplay->isChecked());
        QVERIFY(!w->tmrClock->isActive());
    }

    void foolsMateOverTheProtocol() {
        QCOMPARE(w->PlayAll({"f2f3", "e7e5", "g2g4"}), 1);
        ProtocolMode = true;
        LearnResult = 0.0;  // the computer's score already said black wins
        const int index = ListIndex("d8h4");
        QVERIFY(index >= 0);
        QCOMPARE(w->PlayMove(index, false, true), PLAY_CHECKMATE);
        QCOMPARE(w->protocol, (std::vector<std::string>{"move d8h4", "0-1 {Black mates}"}));
        QVERIFY(boxes.shown.empty());
        // The known result is learned at once over the game's plies.
        QCOMPARE(w->learned.size(), std::size_t{4});
        for (std::size_t i = 0; i < 4; ++i) {
            QVERIFY(SamePosition(w->learned[i].before, w->PositionHistory[i]));
            QCOMPARE(w->learned[i].move, w->MoveCodes[i]);
            QCOMPARE(w->learned[i].result, 0.0);
        }
        QCOMPARE(LearnResult, -2.0);
    }

    void drawnEndings_data() {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<QStringList>("moves");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("protocol");
        const QStringList shuffle = {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"};
        for (const bool protocol : {false, true}) {
            const char* mode = protocol ? " (protocol)" : " (window)";
            QTest::newRow(QByteArray("stalemate") + mode)
                << "k7/8/1Q6/8/8/8/8/7K w - - 0 1" << QStringList{"b6c7"} << "Stalemate!"
                << "1/2-1/2 {Stalemate}" << "   Stalemate!" << protocol;
            QTest::newRow(QByteArray("repetition") + mode)
                << StartFen << shuffle << "Draw by threefold repetition!" << "1/2-1/2 {Draw by repetition}"
                << "   Draw!" << protocol;
            QTest::newRow(QByteArray("fifty moves") + mode)
                << "4k3/8/8/8/8/8/8/R3K3 w - - 99 1" << QStringList{"a1a2"} << "Draw by 50 move rule!!"
                << "1/2-1/2 {Draw by 50 move}" << "   Draw!" << protocol;
            QTest::newRow(QByteArray("insufficient material") + mode)
                << "4k3/8/8/8/8/8/3r4/3NK3 w - - 0 1" << QStringList{"e1d2"}
                << "Draw because of insufficient material!" << "1/2-1/2 {Draw because of insufficient material}"
                << "   Draw!" << protocol;
        }
    }

    void drawnEndings() {
        QFETCH(QString, fen);
        QFETCH(QStringList, moves);
        QFETCH(QString, box);
        QFETCH(QString, line);
        QFETCH(QString, status);
        QFETCH(bool, protocol);
        w->SetUp(fen.toStdString());
        ProtocolMode = protocol;
        for (int i = 0; i + 1 < moves.size(); ++i) QCOMPARE(w->Play(moves[i].toStdString()), 1);
        QCOMPARE(w->Play(moves.back().toStdString()), 2);

        if (protocol) {
            QCOMPARE(w->protocol, std::vector<std::string>{line.toStdString()});
            QVERIFY(boxes.shown.empty());
        } else {
            QVERIFY(w->protocol.empty());
            QCOMPARE(boxes.shown.size(), std::size_t{1});
            QCOMPARE(boxes.shown[0].text, box);
            QCOMPARE(boxes.shown[0].caption, QString("Result"));
        }
        QCOMPARE(w->lblStatus->text(), status);
        // The draw is the game's result and is learned at once.
        QCOMPARE(w->learned.size(), static_cast<std::size_t>(moves.size()));
        for (const LearnedMove& l : w->learned) QCOMPARE(l.result, 0.5);
        QCOMPARE(LearnResult, -2.0);
        QVERIFY(!w->tmrClock->isActive());
    }

    void tournamentModeShowsNoBox() {
        w->TournamentMode->setChecked(true);
        w->SetUp("k7/8/1Q6/8/8/8/8/7K w - - 0 1");
        QCOMPARE(w->Play("b6c7"), 2);
        QVERIFY(boxes.shown.empty());
    }

    void aMoveIntoCheckIsTakenBackBeforeAnySearch() {
        // The bishop is pinned against its king.
        w->SetUp("4k3/4r3/8/8/8/8/4B3/4K3 w - - 0 1");
        QCOMPARE(w->Play("e1f1"), 1);
        w->TakeBackMove();
        QCOMPARE(w->LastPly, 1);
        const i64 nodes = NodeCount;
        QCOMPARE(w->Play("e2d3"), 0);
        QCOMPARE(NodeCount, nodes + 1);  // the move was made, nothing searched
        QCOMPARE(w->CurrentPly, 0);
        QCOMPARE(w->LastPly, 0);
        QVERIFY(SamePosition(GameBoard.Pos, w->PositionHistory[0]));
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].text, QString("Illegal move!"));
        QCOMPARE(boxes.shown[0].caption, QString("Morlaquin says:"));
    }

    void theClocksStayWithTheMoverWhileAnIllegalMoveIsRefused() {
        // White's bishop is pinned; an earlier white move was taken back, so
        // the record's next slot holds a position with black to move.
        w->SetUp("4k3/4r3/8/8/8/8/4B3/4K3 b - - 0 1", 1);
        QCOMPARE(w->PlayAll({"e8d8", "e1f1"}), 1);
        w->TakeBackMove();
        w->WhiteUsedMs = 1000;
        w->BlackUsedMs = 2000;
        w->MoveStartTick = w->now;
        auto lit = [this] {
            return std::make_pair(w->lblWhiteTime->palette().color(QPalette::WindowText) == QColor(0, 0, 0x80),
                                  w->lblBlackTime->palette().color(QPalette::WindowText) == QColor(0, 0, 0x80));
        };
        std::pair<bool, bool> litWhileOpen;
        boxes.whileOpen = [&](const ShownBox&) {
            w->now += 10000;
            w->tmrClockTimer();  // the clock timer runs on while the box waits
            litWhileOpen = lit();
        };
        QCOMPARE(w->Play("e2d3"), 0);
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].text, QString("Illegal move!"));
        QCOMPARE(w->WhiteUsedMs, 11000.0);
        QCOMPARE(w->BlackUsedMs, 2000.0);
        QCOMPARE(litWhileOpen, std::make_pair(true, false));
        w->now += 500;
        w->tmrClockTimer();
        QCOMPARE(w->WhiteUsedMs, 11500.0);
        QCOMPARE(w->BlackUsedMs, 2000.0);
        QCOMPARE(lit(), std::make_pair(true, false));
    }

    void aRejectedProtocolMoveGetsOneLine_data() {
        QTest::addColumn<QString>("move");
        QTest::addColumn<QString>("line");
        QTest::newRow("leaves its king attacked") << "e2d3" << "Illegal move e2d3";
        QTest::newRow("no such move") << "e2e5" << "Illegal move!";
        QTest::newRow("no piece") << "a2a4" << "Illegal move!";
    }

    void aRejectedProtocolMoveGetsOneLine() {
        QFETCH(QString, move);
        QFETCH(QString, line);
        w->SetUp("4k3/4r3/8/8/8/8/4B3/4K3 w - - 0 1");
        ProtocolMode = true;
        const std::string m = move.toStdString();
        ReceiveMove(SquareFromName(m.substr(0, 2)), SquareFromName(m.substr(2, 2)), 0);
        QCOMPARE(w->protocol, std::vector<std::string>{line.toStdString()});
        QCOMPARE(w->CurrentPly, 0);
        QVERIFY(SamePosition(GameBoard.Pos, w->PositionHistory[0]));
        QVERIFY(HumanToMove);
    }

    void promotionToAKnight() {
        w->SetUp("8/P6k/7p/8/8/8/8/K7 w - - 0 1");
        w->promotions = {KNIGHT};
        QCOMPARE(w->Play("a7a8"), 1);
        QCOMPARE(w->promotionAsks, 1);
        QCOMPARE(MovePromotion(w->LastMove), KNIGHT);
        QCOMPARE(GameBoard.Pos.Pieces[WHITE][KNIGHT], Bitboard{1} << A8);
        QCOMPARE(GameBoard.Pos.Pieces[WHITE][PAWN], Bitboard{0});
    }

    void promotionOverTheProtocol_data() {
        QTest::addColumn<int>("piece");
        QTest::newRow("knight") << KNIGHT;
        QTest::newRow("rook") << ROOK;
        QTest::newRow("no letter") << 0;
    }

    void promotionOverTheProtocol() {
        QFETCH(int, piece);
        w->SetUp("8/P6k/7p/8/8/8/8/K7 w - - 0 1");
        ProtocolMode = true;
        ReceiveMove(A7, A8, piece);
        QCOMPARE(w->promotionAsks, 0);
        if (piece == 0) {
            // Not a move of the list: answered, nothing played.
            QCOMPARE(w->protocol, std::vector<std::string>{"Illegal move!"});
            QCOMPARE(w->CurrentPly, 0);
            QVERIFY(SamePosition(GameBoard.Pos, w->PositionHistory[0]));
        } else {
            QVERIFY(w->protocol.empty());
            QCOMPARE(w->CurrentPly, 1);
            QCOMPARE(GameBoard.Pos.Pieces[WHITE][piece], Bitboard{1} << A8);
            QVERIFY(!HumanToMove);  // the computer replies
        }
    }

    void theFirstMoveIsNotCharged() {
        w->now = 1000;
        w->ResetClocks();
        w->now = 6000;
        QCOMPARE(w->Play("e2e4"), 1);
        QCOMPARE(w->WhiteUsedMs, 0.0);
        w->now = 9000;
        QCOMPARE(w->Play("e7e5"), 1);
        QCOMPARE(w->BlackUsedMs, 3000.0);
        QCOMPARE(w->WhiteUsedMs, 0.0);
        w->now = 10500;
        QCOMPARE(w->Play("g1f3"), 1);
        QCOMPARE(w->WhiteUsedMs, 1500.0);
        QCOMPARE(w->BlackUsedMs, 3000.0);
    }

    void aFullRecordTakesNoMove() {
        const int last = HISTORY_SIZE - 1;
        w->PositionHistory[last] = GameBoard.Pos;
        w->CurrentPly = w->LastPly = last;
        ProtocolMode = true;
        ReceiveMove(E2, E4, 0);
        QCOMPARE(w->protocol, std::vector<std::string>{"Illegal move (game record full): e2e4"});
        QCOMPARE(w->CurrentPly, last);
        QCOMPARE(w->LastPly, last);
        QVERIFY(SamePosition(GameBoard.Pos, w->PositionHistory[last]));
    }
};

QTEST_MAIN(PlayMoveTest)
#include "test_playmove.moc"
