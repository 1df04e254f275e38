// Whole games over the protocol with the real program on pipes: the test
// plays one side at random, and every "move" line the program writes must be
// a legal move of the game as the test keeps it.
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <sys/wait.h>

#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bitboard.h"
#include "eval.h"
#include "globals.h"
#include "makemove.h"
#include "gui_fixture.h"
#include "movegen.h"
#include "piped_program.h"
#include "test_position.h"

namespace {

// Every line the program may write during a game.
bool IsProtocolLine(const std::string& line) {
    static const QRegularExpression pattern(
        "^(feature .*|pong .*|move [a-h][1-8][a-h][1-8][nbrq]?"
        "|0-1 \\{Black mates\\}|1-0 \\{White mates\\}|1/2-1/2 \\{Stalemate\\}"
        "|1/2-1/2 \\{Draw by repetition\\}|1/2-1/2 \\{Draw by 50 move\\}"
        "|1/2-1/2 \\{Draw because of insufficient material\\}|[01]-[01] \\{Morlaquin resigns\\}"
        "|\\d+ -?\\d+ \\d+ \\d+ .*)$");  // thinking: depth, score, time, nodes, moves
    return pattern.match(QString::fromStdString(line)).hasMatch();
}

bool IsResultLine(const std::string& line) {
    return line.starts_with("0-1 ") || line.starts_with("1-0 ") || line.starts_with("1/2-1/2 ");
}

// The game as the test keeps it.
class Game : public KeptGame {
public:
    // The line the program announces for the position, or "" while it goes on.
    std::string Ending() const {
        EngineBoard board = Board();
        if (Legal().empty()) {
            if (!InCheck(&board, &board.Pos, 1)) return "1/2-1/2 {Stalemate}";
            return board.Pos.SideToMove == WHITE ? "0-1 {Black mates}" : "1-0 {White mates}";
        }
        const int draw = CheckDraw(&board.Pos, 1);
        if (draw == 3) return "1/2-1/2 {Draw by repetition}";
        if (draw == 4) return "1/2-1/2 {Draw by 50 move}";
        EvalContext context{};
        if (RecognizeEndgame(&context, &board.Pos) == 1) return "1/2-1/2 {Draw because of insufficient material}";
        return "";
    }
};

// The program on pipes, in a directory of its own holding its data (the
// pictures shared, the two books copied: the learning book is rewritten
// when a game's result is known).
class Engine : public PipedProgram {
public:
    bool Start() {
        const QString data = MORLAQUIN_TEST_DATA;
        for (const char* book : {"MLBook.lib", "StartBook.pgn"})
            if (QFile::exists(data + "/" + book) && !CopyIn(data + "/" + book)) return false;
        return PipedProgram::Start(MORLAQUIN_PROGRAM, data + "/images");
    }

    // Reads until a line that the test is waiting for.
    std::optional<std::string> Until(int ms, const std::function<bool(const std::string&)>& wanted) {
        return LineWhere(wanted, ms);
    }
};

bool IsMoveOrResult(const std::string& line) { return line.starts_with("move ") || IsResultLine(line); }

}  // namespace

class ProtocolGameTest : public QObject {
    Q_OBJECT

    void Handshake(Engine& e) {
        QVERIFY(e.Start());
        e.Send("xboard");
        e.Send("protover 2");
        QVERIFY(e.Until(HangMs, [](const std::string& l) { return l == "feature done=1"; }));
    }

    void AllLinesAreProtocolLines(const Engine& e) {
        for (const std::string& line : e.lines) QVERIFY2(IsProtocolLine(line), line.c_str());
    }

    // The test plays white at random until the game ends; the program,
    // pondering on the test's time, answers as black.
    void PlayAsWhiteToTheEnd(Engine& e, Game& game, std::mt19937& random) {
        for (int ply = 0; ply < 400; ply += 2) {
            const std::vector<Move> legal = game.Legal();
            QVERIFY(!legal.empty());
            const std::string mine = CoordinateText(legal[random() % legal.size()]);
            QVERIFY(game.Play(mine));
            e.Send("time 1000");
            e.Send("otim 1000");
            e.Send("usermove " + mine);
            if (const std::string end = game.Ending(); !end.empty()) {
                // The program announces the end that the test's move made.
                QCOMPARE(e.Until(HangMs, IsMoveOrResult), std::optional<std::string>(end));
                e.Send("result " + end);
                qInfo("game over after %d plies: %s", ply + 1, end.c_str());
                return;
            }
            const auto reply = e.Until(HangMs, IsMoveOrResult);
            QVERIFY2(reply && reply->starts_with("move "), reply ? reply->c_str() : "no reply");
            QVERIFY2(game.Play(reply->substr(5)), reply->c_str());
            if (const std::string end = game.Ending(); !end.empty()) {
                QCOMPARE(e.Until(HangMs, IsMoveOrResult), std::optional<std::string>(end));
                e.Send("result " + end);
                qInfo("game over after %d plies: %s", ply + 2, end.c_str());
                return;
            }
        }
        e.Send("result 1/2-1/2 {adjudicated}");
    }

private slots:
    void initTestCase() { ResetEngineState(); }  // tables and square names for the test's own game

    void wholeGamesOverPipes() {
        Engine e;
        Handshake(e);
        std::mt19937 random(12345);

        // A first game, the program as black.
        e.Send("new");
        e.Send("post");
        e.Send("hard");
        e.Send("level 0 1 1");
        Game first;
        PlayAsWhiteToTheEnd(e, first, random);
        if (QTest::currentTestFailed()) return;
        e.Send("ping 1");
        QCOMPARE(e.Until(HangMs, [](const std::string& l) { return l.starts_with("pong"); }),
                 std::optional<std::string>("pong 1"));

        // A second game in the same process, the program as white.
        e.Send("new");
        e.Send("easy");
        e.Send("level 40 1 0");
        e.Send("time 1000");
        e.Send("otim 1000");
        e.Send("go");
        Game second;
        auto move = e.Until(HangMs, IsMoveOrResult);
        QVERIFY(move && move->starts_with("move "));
        QVERIFY2(second.Play(move->substr(5)), move->c_str());
        const std::vector<Move> replies = second.Legal();
        const std::string reply = CoordinateText(replies[random() % replies.size()]);
        QVERIFY(second.Play(reply));
        e.Send("time 1000");
        e.Send("usermove " + reply);
        move = e.Until(HangMs, IsMoveOrResult);
        QVERIFY(move && move->starts_with("move "));
        QVERIFY2(second.Play(move->substr(5)), move->c_str());

        // Force mode: both sides' moves come from the test, none from the program.
        e.Send("force");
        for (int i = 0; i < 2; ++i) {
            const std::vector<Move> legal = second.Legal();
            const std::string m = CoordinateText(legal[random() % legal.size()]);
            QVERIFY(second.Play(m));
            e.Send("usermove " + m);
        }
        e.Send("ping 2");
        QCOMPARE(e.Until(HangMs, [](const std::string& l) { return l.starts_with("pong") || l.starts_with("move "); }),
                 std::optional<std::string>("pong 2"));

        // "go" makes the program move for the side to move (black here).
        e.Send("time 1000");
        e.Send("go");
        move = e.Until(HangMs, IsMoveOrResult);
        QVERIFY(move && move->starts_with("move "));
        QCOMPARE(second.SideToMove(), BLACK);
        QVERIFY2(second.Play(move->substr(5)), move->c_str());

        e.Send("result 1/2-1/2 {enough}");
        e.Send("quit");
        const std::optional<int> status = e.WaitExit(HangMs);
        QVERIFY(status && WIFEXITED(*status));
        AllLinesAreProtocolLines(e);
    }
};

QTEST_MAIN(ProtocolGameTest)
#include "test_protocolgame.moc"
