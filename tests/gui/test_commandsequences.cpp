// Random sequences of posted commands, moves and flag changes keep the game
// record consistent: 0 <= CurrentPly <= LastPly <= 999, the game board is
// the recorded position of the current ply, and the move list shows exactly
// the moves up to the current ply.
#include <QAction>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <random>

#include "globals.h"
#include "guiglobals.h"
#include "gui_fixture.h"
#include "rootsearch.h"
#include "test_position.h"
#include "xboard.h"

class CommandSequenceTest : public QObject, public WindowFixture<> {
    Q_OBJECT

    // The move list as the record says it must read (the game starts from
    // the standard position, so white moves on odd plies).
    static void ExpectGridMatchesRecord(const TestWindow& w) {
        for (int p = 1; p <= HISTORY_SIZE - 1; ++p) {
            const int row = (p - 1) / 2;
            const int col = p % 2 == 1 ? 0 : 1;
            QString expected = " ";
            if (p <= w.CurrentPly)
                expected = col == 0 ? WhiteMoveCellText(p, 0, w.MoveTexts[p - 1])
                                    : QString::fromStdString(w.MoveTexts[p - 1]);
            if (w.Cell(col, row) != expected)
                QFAIL(qPrintable(QString("ply %1: cell \"%2\", expected \"%3\"").arg(p).arg(w.Cell(col, row), expected)));
        }
    }

    // clockTick: the tick took protocol clock values, so a posted command waits.
    static void ExpectInvariants(const TestWindow& w, bool clockTick) {
        QVERIFY(0 <= w.CurrentPly);
        QVERIFY(w.CurrentPly <= w.LastPly);
        QVERIFY(w.LastPly <= HISTORY_SIZE - 1);
        QVERIFY(SamePosition(GameBoard.Pos, w.PositionHistory[w.CurrentPly]));
        if (!clockTick) QCOMPARE(PendingCommand.load(), 0);
    }

    // Pings are answered in the order they came, each once.
    static void ExpectPongsInOrder(const TestWindow& w) {
        int last = -1;
        for (const std::string& line : w.protocol) {
            if (!line.starts_with("pong ")) continue;
            const int n = std::stoi(line.substr(5));
            QVERIFY2(n > last, line.c_str());
            last = n;
        }
    }

    // quiet: prefer moves that neither capture nor move a pawn, so games
    // run long. protocol: in protocol mode, with received lines among the
    // commands.
    // Returns the longest game recorded.
    int RunSequence(unsigned seed, int steps, int moveWeight, bool quiet, bool protocol = false) {
        std::mt19937 rng(seed);
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        auto randomMove = [&]() -> Move {
            std::vector<Move> moves = LegalMoves();
            if (quiet && pick(10) != 0) {
                std::vector<Move> calm;
                for (Move m : moves)
                    if (MoveCaptured(m) == 0 && MovePiece(m) != PAWN) calm.push_back(m);
                if (!calm.empty()) moves = calm;
            }
            return moves.empty() ? 0 : moves[pick(int(moves.size()))];
        };
        ResetWindowTest();
        if (protocol) ResetProtocolState();
        ProtocolMode = protocol;
        MakeWindow();
        auto protocolLine = [&](int step) -> std::string {
            static const char* const lines[] = {"force", "go", "undo", "remove", "new", "time 5000", "playother",
                                                "result 1/2-1/2", "otim 300", "hard"};
            if (pick(3) == 0) return "ping " + std::to_string(step);
            if (pick(3) == 0) {
                const Move m = randomMove();
                return "usermove " + (m != 0 && pick(6) != 0 ? CoordinateText(m) : std::string("e2e5"));
            }
            return lines[pick(int(std::size(lines)))];
        };

        // The computer's move plays a random legal move, as the real one would.
        w->duringComputerMove = [&] {
            if (const Move m = randomMove()) {
                w->promotions = {MovePromotion(m)};
                w->PlayFromTo(MoveFrom(m), MoveTo(m), MovePromotion(m));
            }
            HumanToMove = true;
        };
        int longest = 0;

        for (int step = 0; step < steps; ++step) {
            const int action = pick(16 + moveWeight);
            switch (action) {
                case 0: w->Takeback1Click(); break;
                case 1: w->btnForwardClick(); break;
                case 2: w->GoToEndofGame1Click(); break;
                case 3: w->GotoStartofGame1Click(); break;
                case 4:
                    boxes.answers = {pick(2) ? BoxAnswer::Yes : BoxAnswer::No};
                    w->NewGame1Click();
                    break;
                case 5: PendingCommand = CMD_UNDO_TWO; break;
                case 6: PendingCommand = CMD_UNDO; break;
                case 7: PendingCommand = pick(2) ? 3 : 1 << (14 + pick(4)); break;
                case 8:
                    if (protocol) QueueProtocolCommands({{protocolLine(step)}});
                    break;
                case 9: HumanToMove = !HumanToMove; break;
                case 10: w->btnPlayClick(); break;
                case 11: w->Autoplay->trigger(); break;
                case 12: w->OpenGame1Click(); break;
                case 13: PendingCommand = CMD_LOAD_POSITION; break;
                case 14: XboardTimeMs = 1000.0 * (1 + pick(100)); break;
                case 15: PendingCommand = CMD_REDO; break;
                default: {
                    // A received move: usually legal, sometimes not.
                    const Move m = randomMove();
                    if (m != 0 && pick(8) != 0) {
                        UserMoveFrom = MoveFrom(m);
                        UserMoveTo = MoveTo(m);
                        UserMovePromotion = MovePromotion(m);
                    } else {
                        UserMoveFrom = pick(64);
                        UserMoveTo = pick(64);
                        UserMovePromotion = 0;
                    }
                    PendingCommand = CMD_USER_MOVE;
                    break;
                }
            }
            const int ticks = 1 + pick(2);
            for (int t = 0; t < ticks; ++t) {
                const bool clockTick = XboardTimeMs != 0.0;
                w->Timer1Timer();
                longest = std::max(longest, w->LastPly);
                ExpectInvariants(*w, clockTick);
                if (QTest::currentTestFailed()) {
                    qWarning("seed %u, step %d", seed, step);
                    return longest;
                }
            }
            if (step % 16 == 0 || step == steps - 1) {
                ExpectPongsInOrder(*w);
                ExpectGridMatchesRecord(*w);
                if (QTest::currentTestFailed()) {
                    qWarning("seed %u, step %d", seed, step);
                    return longest;
                }
            }
        }
        CloseWindow();
        if (protocol) ResetProtocolState();
        return longest;
    }

private slots:
    void cleanup() {
        CloseWindow();
        ResetProtocolState();
    }

    void mixedCommands() {
        for (unsigned seed = 1; seed <= 12; ++seed) {
            RunSequence(seed, 400, 8, false);
            if (QTest::currentTestFailed()) return;
        }
    }

    // The same in protocol mode, with received lines carried out among them.
    void mixedCommandsInProtocolMode() {
        for (unsigned seed = 1; seed <= 12; ++seed) {
            RunSequence(seed, 400, 8, false, true);
            if (QTest::currentTestFailed()) return;
        }
    }

    // Mostly moves, so games run into the end of the record.
    void longGames() {
        int longest = 0;
        for (unsigned seed = 100; seed <= 103; ++seed) {
            longest = std::max(longest, RunSequence(seed, 3000, 300, true));
            if (QTest::currentTestFailed()) return;
        }
        QCOMPARE(longest, HISTORY_SIZE - 1);  // the record was filled and held
    }
};

QTEST_MAIN(CommandSequenceTest)
#include "test_commandsequences.moc"
