// The PGN reader on its own: the written move lines, tag lines, the list of
// a file's games, the move tokens of one game and what each token means in
// a position.
#include <QTemporaryDir>
#include <QtTest>

#include <random>
#include <string>
#include <vector>

#include "globals.h"
#include "gui_fixture.h"
#include "movegen.h"
#include "pgnreader.h"
#include "test_position.h"

using Strings = std::vector<std::string>;

namespace {

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// The meaning of a token in a position as the loader takes it: the first
// move in generated order that the token may mean and that is legal.
std::string Resolve(const std::string& fen, const std::string& token) {
    EngineBoard board;
    SetupTestPosition(&board, fen);
    SanMove san;
    if (!ReadSanMove(token, board.Pos.SideToMove, &san)) return "no move";
    GenerateMoves(&board);
    const std::vector<Move> legal = LegalListedMoves(board);
    for (int i = 0; i <= board.List.Last; ++i) {
        const Move m = board.List.Moves[i];
        if (SanMatches(san, m) && std::find(legal.begin(), legal.end(), m) != legal.end()) return CoordinateText(m);
    }
    return "none";
}

}  // namespace

class PgnReaderTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString File(const std::string& text) {
        const QString path = dir.filePath("game.pgn");
        WriteWholeFile(path, text);
        return path;
    }

    // The tags and move tokens of the game that starts at the offset.
    struct Game {
        std::vector<PgnTag> tags;
        Strings moves;
        bool setUp = false;
    };
    Game ReadGame(const std::string& text, i64 offset = 0) {
        PgnSource source;
        Game game;
        if (!source.Open(File(text).toStdString()) || !source.Seek(offset)) return game;
        PgnGameReader reader(source);
        reader.NextGame();
        game.tags = reader.Tags();
        game.setUp = reader.SetsUpPosition();
        std::string token;
        while (reader.NextMove(&token)) game.moves.push_back(token);
        return game;
    }

    std::vector<ListedGame> List(const std::string& text) {
        PgnSource source;
        std::vector<ListedGame> games;
        if (!source.Open(File(text).toStdString())) return games;
        ListPgnGames(source, [&](const ListedGame& g) {
            games.push_back(g);
            return true;
        });
        return games;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        ResetEngineState();
    }

    void moveLines_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("white");
        QTest::addColumn<QString>("black");
        QTest::addColumn<QString>("line");
        QTest::newRow("move 1") << 0 << "1.   e4" << "e5" << "1.   e4     e5";
        QTest::newRow("white moved last") << 1 << "2.   Nf3" << " " << "2.   Nf3     ";
        QTest::newRow("move 9") << 8 << "9.   O-O-O" << "Qxd1+" << "9.   O-O-O  Qxd1+";
        QTest::newRow("move 10") << 9 << "10. Nf3" << "Nc6" << "10.  Nf3    Nc6";
        QTest::newRow("move 99") << 98 << "99. a8=Q+" << "Kxa8" << "99.  a8=Q+  Kxa8";
        QTest::newRow("move 100") << 99 << "100. e4" << "e5" << "100. e4     e5";
        QTest::newRow("white cell of 12") << 9 << "10. Qh4xe1+" << "Kd7" << "10.  Qh4xe1+Kd7";
    }

    void moveLines() {
        QFETCH(int, row);
        QFETCH(QString, white);
        QFETCH(QString, black);
        QFETCH(QString, line);
        QCOMPARE(QString::fromStdString(PgnMoveLine(row, white.toStdString(), black.toStdString())), line);
    }

    void tagLines_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("isTag");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::newRow("standard") << "[White \"Kasparov, Garry\"]" << true << "White" << "Kasparov, Garry";
        QTest::newRow("own dialect") << "[white: \"Morlaquin 4.00\"]" << true << "white" << "Morlaquin 4.00";
        QTest::newRow("indented, escapes") << "  [Black \"a \\\"b\\\" c\\\\\"]" << true << "Black" << "a \"b\" c\\";
        QTest::newRow("quote inside") << "[Event: \"the \"big\" one\"]" << true << "Event" << "the \"big\" one";
        QTest::newRow("no closing quote") << "[Site \"Paris]" << true << "Site" << "Paris]";
        QTest::newRow("no quotes") << "[Round 3]" << true << "Round" << "[Round 3]";
        QTest::newRow("command") << "[%clk 0:01:00]" << false << "" << "";
        QTest::newRow("number") << "[1] see below" << false << "" << "";
        QTest::newRow("not first") << "1. e4 [White \"x\"]" << false << "" << "";
        QTest::newRow("blanks in the brackets") << "[ White  \"W\" ]" << true << "White" << "W";
        QTest::newRow("the first of several") << "[Event \"x\"] [Site \"s\"]" << true << "Event" << "x";
        QTest::newRow("moves after it") << "[Result \"*\"] 1. d4 d5 *" << true << "Result" << "*";
        QTest::newRow("own dialect, a backslash last") << "[White: \"C:\\\"]" << true << "White" << "C:\\";
        QTest::newRow("own dialect, a bracket inside") << "[White: \"a\"] b\"]" << true << "White" << "a\"] b";
    }

    void tagLines() {
        QFETCH(QString, line);
        QFETCH(bool, isTag);
        QFETCH(QString, name);
        QFETCH(QString, value);
        PgnTag tag;
        QCOMPARE(ReadPgnTag(line.toStdString(), &tag), isTag);
        if (!isTag) return;
        QCOMPARE(QString::fromStdString(tag.Name), name);
        QCOMPARE(QString::fromStdString(tag.Value), value);
    }

    void moveTokens_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("moves");
        const QString tags = "[Event \"e\"]\n[White \"w\"]\n\n";
        QTest::newRow("comment and result")
            << tags + "1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 {Ruy Lopez} 4. Ba4 Nf6 5. O-O Be7 1-0\n"
            << QStringList{"e4", "e5", "Nf3", "Nc6", "Bb5", "a6", "Ba4", "Nf6", "O-O", "Be7"};
        QTest::newRow("annotations")
            << tags + "1. e4! e5? 2. Nf3?! $14 Nc6!? $2 3. Qxd7+!! e8=Q#? *"
            << QStringList{"e4", "e5", "Nf3", "Nc6", "Qxd7+", "e8=Q#"};
        QTest::newRow("nested variations")
            << tags + "1. e4 (1. d4 d5 (1... Nf6 2. c4 (2. Nf3 g6)) 2. c4) e5\n(1... c5 {a (b} 2. Nf3 1-0) 2. Nf3 *"
            << QStringList{"e4", "e5", "Nf3"};
        QTest::newRow("castling with zeros") << tags + "1. 0-0 0-0-0+ 2. O-O-O# *"
                                             << QStringList{"0-0", "0-0-0+", "O-O-O#"};
        QTest::newRow("evaluation signs")
            << tags + "1. e4 +/- e5 -/+ 2. Nf3 +- Nc6 -+ 3. Bb5 =/+ a6 +/= 4. Ba4 = Nf6 =+ 5. d3 += *"
            << QStringList{"e4", "e5", "Nf3", "Nc6", "Bb5", "a6", "Ba4", "Nf6", "d3"};
        QTest::newRow("signs glued to moves") << tags + "1. e4+/- e5-+ 2. Nf3+= Nc6=/+ 3. Qxd7+-+ *"
                                              << QStringList{"e4+", "e5-+", "Nf3+", "Nc6=/+", "Qxd7+"};
        QTest::newRow("novelty and diagram marks") << tags + "1. e4 N e5 TN 2. N Nf3 D Nc6 N *"
                                                   << QStringList{"e4", "e5", "Nf3", "Nc6"};
        QTest::newRow("bytes outside ASCII") << tags + "1. e4 \xE2\x88\x9E e5 \xB1 2. Nf3\xC2\xB1 *"
                                             << QStringList{"e4", "e5", "Nf3"};
        QTest::newRow("long algebraic and coordinates") << tags + "1. e2-e4 e7xe5 2. Ng1-f3 b8c6 3. e7e8q *"
                                                        << QStringList{"e2-e4", "e7xe5", "Ng1-f3", "b8c6", "e7e8q"};
        QTest::newRow("moves on the last tag's line") << QString("[White \"w\"] [Result \"*\"] 1. d4 d5 *\n1. c4")
                                                      << QStringList{"d4", "d5"};
        QTest::newRow("a comment after the tags of a line")
            << QString("[Event \"e\"] ; exported\n[White \"w\"]\n\n1. d4 *") << QStringList{"d4"};
        QTest::newRow("brace comments after the tags of a line")
            << QString("[Event \"e\"] {exported} {2024}\n[White \"w\"] {x} ; y\n\n1. d4 *") << QStringList{"d4"};
        QTest::newRow("a comment, then moves after the tags") << QString("[Result \"*\"] {c} 1. e4 *")
                                                               << QStringList{"e4"};
        QTest::newRow("numbers glued") << tags + "1.e4 e5 2.Nf3 2...Nc6 3.Bb5 *"
                                       << QStringList{"e4", "e5", "Nf3", "Nc6", "Bb5"};
        QTest::newRow("rest-of-line comment") << tags + "1. e4 ; 1... c5 {\n e5 2. Nf3 *"
                                              << QStringList{"e4", "e5", "Nf3"};
        QTest::newRow("escape line") << tags + "1. e4\n% 1... c5\ne5 *" << QStringList{"e4", "e5"};
        QTest::newRow("commands") << tags + "1. e4 { [%clk 0:03:00] } [%eval 0.2] e5 *"
                                  << QStringList{"e4", "e5"};
        QTest::newRow("draw ends") << tags + "1. e4 e5 1/2-1/2 2. Nf3" << QStringList{"e4", "e5"};
        QTest::newRow("black wins ends") << tags + "1. e4 e5 0-1\n2. Nf3" << QStringList{"e4", "e5"};
        QTest::newRow("next tag line ends") << tags + "1. e4 e5\n\n[Event \"next\"]\n\n1. d4 d5"
                                            << QStringList{"e4", "e5"};
        QTest::newRow("open comment ends at tags") << tags + "1. e4 {never closed\n[Event \"n\"]\n1. d4"
                                                   << QStringList{"e4"};
        QTest::newRow("own lines, a long white move")
            << "[Event: \"\"]\n\n9.   Qh4xe1+Kd7\n10.  exd8=Q+Kxd8\n11.  Nf3     Ke7\n"
            << QStringList{"Qh4xe1+", "Kd7", "exd8=Q+", "Kxd8", "Nf3", "Ke7"};
        QTest::newRow("null move") << tags + "1. e4 -- 2. d4 *" << QStringList{"e4", "--", "d4"};
        QTest::newRow("CRLF, empty lines in the tags")
            << "[Event \"e\"]\r\n\r\n[White \"w\"]\r\n% x\r\n\r\n1. e4\r\ne5\r\n*" << QStringList{"e4", "e5"};
        QTest::newRow("CR only") << "[Event \"e\"]\r[White \"w\"]\r\r1. e4\re5\r*" << QStringList{"e4", "e5"};
        QTest::newRow("byte-order mark") << "\xEF\xBB\xBF[Event \"e\"]\n\n1. e4 e5 *" << QStringList{"e4", "e5"};
        QTest::newRow("end of file") << tags + "1. e4 e5" << QStringList{"e4", "e5"};
        QTest::newRow("the next block: no moves") << "[Event \"a\"]\n[Result \"*\"]\n\n[Event \"b\"]\n\n1. e4"
                                                  << QStringList{};
        QTest::newRow("a code on a comment's line") << tags + "1. e4 e5 2. Nf3 Nc6 3. Bc4 Bc5 {\n[C54] Giuoco Piano} 4. c3 *"
                                                    << QStringList{"e4", "e5", "Nf3", "Nc6", "Bc4", "Bc5", "c3"};
        QTest::newRow("a diagram in a comment") << tags + "1. e4 e5 {a diagram:\n[D]\n} 2. Nf3 Nc6 *"
                                                << QStringList{"e4", "e5", "Nf3", "Nc6"};
        QTest::newRow("a tag-like line in a comment")
            << tags + "1. e4 {from\n[Round 3] and\n  [White \"x\" see below\n} e5 *" << QStringList{"e4", "e5"};
        QTest::newRow("a bracketed line in a variation") << tags + "1. e4 (1. d4 d5\n[Bb5 is met by Qb6]\n2. c4) e5 *"
                                                         << QStringList{"e4", "e5"};
        QTest::newRow("a brace in a rest-of-line comment") << tags + "1. e4 ; {not a comment\ne5 2. Nf3 *"
                                                           << QStringList{"e4", "e5", "Nf3"};
        QTest::newRow("a whole tag pair ends an open variation")
            << tags + "1. e4 (1. d4\n[Event \"next\"]\n\n1. c4 *" << QStringList{"e4"};
        QTest::newRow("e.p. after the capture") << tags + "1. e4 Nf6 2. e5 d5 3. exd6 e.p. cxd6 4. d4 e.p *"
                                                << QStringList{"e4", "Nf6", "e5", "d5", "exd6", "cxd6", "d4"};
        QTest::newRow("a repeated tag in the block")
            << "[Event \"e\"]\n[Annotator \"a\"]\n[Annotator \"b\"]\n\n1. e4 e5 *" << QStringList{"e4", "e5"};
    }

    void tagPairLines_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("whole");
        QTest::newRow("standard") << "[Event \"Open\"]" << true;
        QTest::newRow("own dialect") << "[Event: \"\"]" << true;
        QTest::newRow("blanks around") << "  [White  \"Ann \"the Rook\"\"]  " << true;
        QTest::newRow("a code") << "[C54] Giuoco Piano" << false;
        QTest::newRow("a diagram") << "[D]" << false;
        QTest::newRow("no value") << "[Round 3]" << false;
        QTest::newRow("no closing quote") << "[White \"x\" see below" << false;
        QTest::newRow("text after it") << "[Site \"x\"] and more" << false;
        QTest::newRow("one quote") << "[Site \"]" << false;
        QTest::newRow("no blank") << "[Site\"x\"]" << false;
        QTest::newRow("blanks in the brackets") << "[ Site \"x\" ]" << true;
        QTest::newRow("several") << "[Event \"x\"] [ Site \"s\" ]  [White: \"w\"]" << true;
        QTest::newRow("several, then moves") << "[Event \"x\"] [Site \"s\"] 1. e4" << false;
        QTest::newRow("several, one not whole") << "[Event \"x\"] [D]" << false;
    }

    void tagPairLines() {
        QFETCH(QString, line);
        QFETCH(bool, whole);
        QCOMPARE(IsTagPairLine(line.toStdString()), whole);
    }

    void moveTokens() {
        QFETCH(QString, text);
        QFETCH(QStringList, moves);
        const Game game = ReadGame(text.toStdString());
        QStringList got;
        for (const std::string& m : game.moves) got << QString::fromStdString(m);
        QCOMPARE(got, moves);
    }

    void aWholeGameOnOneLongLine() {
        const std::string line = Repeat("1. Nf3 Nf6 2. Ng1 Ng8 ", 400);  // 8,800 characters
        const Game game = ReadGame("[Event \"e\"]\n\n" + line + "3. e4 1-0\n");
        QCOMPARE(game.moves.size(), std::size_t{1601});
        QCOMPARE(game.moves.back(), std::string("e4"));
    }

    void tagsOfTheGame() {
        const Game game = ReadGame("[Event \"e\"]\n[White \"w\"]\n\n[Site \"s\"]\n\n1. e4 *");
        QCOMPARE(game.tags.size(), std::size_t{3});
        QCOMPARE(game.tags[2].Name, std::string("Site"));
        QCOMPARE(game.tags[2].Value, std::string("s"));
        QVERIFY(!game.setUp);
    }

    void aFenTagSetsUpAnotherPosition_data() {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<bool>("setUp");
        QTest::newRow("standard start") << "[FEN \"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\"]"
                                        << false;
        QTest::newRow("another position") << "[FEN \"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1\"]" << true;
        QTest::newRow("black to move") << "[fen: \"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1\"]"
                                       << true;
        QTest::newRow("set-up flag alone") << "[SetUp \"0\"]" << false;
    }

    void aFenTagSetsUpAnotherPosition() {
        QFETCH(QString, tag);
        QFETCH(bool, setUp);
        QCOMPARE(ReadGame("[Event \"e\"]\n" + tag.toStdString() + "\n\n1. e4 *").setUp, setUp);
    }

    void listing() {
        const std::string one = "[Event \"one\"]\r\n[Site \"Here\"]\r\n[Date \"2024.01.02\"]\r\n[Round \"1\"]\r\n"
                                "[White \"Anna\"]\r\n[Black \"Ben\"]\r\n[Result \"1-0\"]\r\n\r\n1. e4 e5 1-0\r\n\r\n";
        // Tag names in any case, with a blank or a colon; no White tag.
        const std::string two = "[EVENT: \"two\"]\n[black: \"Cleo\"]\n[RESULT \"*\"]\n[site: \"There\"]\n\n1. d4 *\n";
        // An empty line inside the block, a movetext line with brackets.
        const std::string three = "\n[Event \"three\"]\n\n[WHITE \"Dora\"]\n% note\n; remark\n\n"
                                  "1. c4 {see [1]} [%clk 0:01:00]\n[%eval 3] c5 *\n";
        const std::string text = "\xEF\xBB\xBF" + one + two + three;
        const std::vector<ListedGame> games = List(text);
        QCOMPARE(games.size(), std::size_t{3});
        QCOMPARE(text.substr(static_cast<std::size_t>(games[0].Offset), 13), std::string("[Event \"one\"]"));
        QCOMPARE(text.substr(static_cast<std::size_t>(games[1].Offset), 14), std::string("[EVENT: \"two\"]"));
        QCOMPARE(text.substr(static_cast<std::size_t>(games[2].Offset), 15), std::string("[Event \"three\"]"));
        QCOMPARE(games[0].White, std::string("Anna"));
        QCOMPARE(games[0].Black, std::string("Ben"));
        QCOMPARE(games[0].Result, std::string("1-0"));
        QCOMPARE(games[0].Date, std::string("2024.01.02"));
        QCOMPARE(games[0].Site, std::string("Here"));
        QCOMPARE(games[1].White, std::string());
        QCOMPARE(games[1].Black, std::string("Cleo"));
        QCOMPARE(games[1].Result, std::string("*"));
        QCOMPARE(games[1].Site, std::string("There"));
        QCOMPARE(games[2].White, std::string("Dora"));
    }

    // Where blocks begin: the White tag of each listed block, "-" for none.
    void blocksOfTheListing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("whites");
        const QString a = "[Event \"e\"]\n[White \"a\"]\n\n";
        const QString b = "[Event \"e\"]\n[White \"b\"]\n\n";
        QTest::newRow("a code on a comment's line") << a + "1. e4 {\n[C54] Giuoco Piano} e5 *\n\n" + b + "1. d4 *"
                                                    << QStringList{"a", "b"};
        QTest::newRow("a diagram in a comment") << a + "1. e4 e5 {a diagram:\n[D]\n} 2. Nf3 Nc6 *\n" << QStringList{"a"};
        QTest::newRow("a tag-like line in a comment") << a + "1. e4 {\n[White \"x\" said]\n} *\n" << QStringList{"a"};
        QTest::newRow("a bracketed line in a variation") << a + "1. e4 (1. d4\n[Bb5 is met by Qb6]\n) e5 *\n"
                                                         << QStringList{"a"};
        QTest::newRow("nested variations closed") << a + "1. e4 (1. d4 (1. c4)\n) e5\n[Result \"*\"]\n" << QStringList{"a", "-"};
        QTest::newRow("a brace in a rest-of-line comment")
            << a + "1. e4 ; {not a comment\n[White \"x\"]\n\n1. d4 *" << QStringList{"a", "x"};
        QTest::newRow("braces inside an escape line") << a + "% {\n1. e4 *\n" + b + "1. d4 *" << QStringList{"a", "b"};
        QTest::newRow("an open comment ends at a whole tag pair") << a + "1. e4 {never closed\n\n" + b + "1. d4 *"
                                                                  << QStringList{"a", "b"};
        QTest::newRow("an open variation ends at a whole tag pair") << a + "1. e4 (1. d4\n" + b + "1. d4 *"
                                                                    << QStringList{"a", "b"};
        QTest::newRow("a tag repeated in the block")
            << "[Event \"e\"]\n[White \"a\"]\n[Annotator \"x\"]\n[Annotator \"y\"]\n\n1. e4 *\n" + b + "1. d4 *"
            << QStringList{"a", "b"};
        QTest::newRow("its first tag again, without moves")
            << "[Event \"e\"]\n[White \"a\"]\n[Event \"e\"]\n[White \"b\"]\n" << QStringList{"a", "b"};
        QTest::newRow("a tag it holds, after an empty line")
            << "[White \"a\"]\n[Black \"c\"]\n\n[Black \"d\"]\n[White \"b\"]\n" << QStringList{"a", "b"};
        QTest::newRow("a tag it holds, after CRLF lines")
            << "[White \"a\"]\r\n[Annotator \"x\"]\r\n[Annotator \"y\"]\r\n\r\n1. e4 *\r\n" << QStringList{"a"};
        QTest::newRow("blanks in the brackets") << "[ Event \"e\" ]\n[ White \"a\" ]\n\n1. e4 *\n[ White \"b\" ]\n"
                                                << QStringList{"a", "b"};
        QTest::newRow("a comment after the tags of a line")
            << "[Event \"e\"] {from the archive}\n[White \"a\"]\n\n1. e4 *\n" << QStringList{"a"};
        QTest::newRow("games of one line each")
            << "[White \"a\"] [Result \"*\"] 1. e4 *\n[White \"b\"] [Result \"*\"] 1. d4 *\n" << QStringList{"a", "b"};
        QTest::newRow("its first tag again on the line") << "[White \"a\"] [Event \"e\"] [White \"b\"]\n"
                                                         << QStringList{"a", "b"};
        QTest::newRow("a command closing a variation")
            << a + "1. e4 ([%x )]\n[White \"x\"])e5 *\n\n" + b + "1. d4 *" << QStringList{"a", "b"};
        QTest::newRow("many different tags, each after an empty line")
            << [] {
                   QString text = "[White \"a\"]\n\n";
                   for (int t = 0; t < 3000; ++t) text += "[Tag" + QString::number(t) + " \"v\"]\n\n";
                   return text + "[Tag2999 \"again\"]\n\n1. e4 *\n";
               }()
            << QStringList{"a", "-"};
    }

    void blocksOfTheListing() {
        QFETCH(QString, text);
        QFETCH(QStringList, whites);
        QStringList got;
        for (const ListedGame& g : List(text.toStdString()))
            got << (g.White.empty() ? QString("-") : QString::fromStdString(g.White));
        QCOMPARE(got, whites);
    }

    // The list and the loader read a file one way: a game loaded from its
    // listed offset has the listed tags, its words end before the next
    // listed game, and reading on from it finds the next listed game where
    // the listing found it. Texts made of the pieces that used to make them
    // disagree (comments, variations, commands, tag lines, escapes).
    void everyListedGameIsReadWithinItsBounds() {
        // Lines that may begin with tags, of pieces of move text.
        const std::vector<std::string> tagPieces = {"[White \"a\"]", "[ White \"b\" ]", "[D]",
                                                    "[Event \"e\"] [White \"c\"]", "[Result \"*\"] e4"};
        const std::vector<std::string> textPieces = {"(", ")", "{", "}", "[%x )]", "[%x (]", "[%clk 0:01:00]",
                                                     ";", "%", " e4", " *", " 1-0", " N", " +/-", "[D]"};
        std::mt19937 rng(31);
        for (int n = 0; n < 3000; ++n) {
            std::string text;
            for (int lines = 1 + static_cast<int>(rng() % 8); lines > 0; --lines) {
                if (rng() % 2 == 0) text += tagPieces[rng() % tagPieces.size()];
                for (int k = static_cast<int>(rng() % 5); k > 0; --k) text += textPieces[rng() % textPieces.size()];
                text += rng() % 4 == 0 ? "\r\n" : "\n";
            }
            const std::vector<ListedGame> games = List(text);
            for (std::size_t g = 0; g < games.size(); ++g) {
                const i64 next = g + 1 < games.size() ? games[g + 1].Offset : static_cast<i64>(text.size());
                PgnSource source;
                QVERIFY(source.Open(File(text).toStdString()));
                QVERIFY(source.Seek(games[g].Offset));
                PgnGameReader reader(source);
                QVERIFY2(reader.NextGame(), text.c_str());
                QCOMPARE(reader.GameOffset(), games[g].Offset);
                std::string white;
                for (const PgnTag& tag : reader.Tags())
                    if (tag.Name == "White") white = tag.Value;
                QVERIFY2(white == games[g].White, text.c_str());
                std::string word;
                while (reader.NextMove(&word)) QVERIFY2(source.Position() <= next, text.c_str());
                QVERIFY2(source.Position() <= next, text.c_str());
                if (g + 1 < games.size()) {
                    QVERIFY2(reader.NextGame(), text.c_str());
                    QVERIFY2(reader.GameOffset() == next, text.c_str());
                } else {
                    QVERIFY2(!reader.NextGame(), text.c_str());
                }
            }
        }
    }

    void listingAfterLongLines() {
        const std::string tagLine = "[Annotator \"" + std::string(300, 'a') + "\"]\n";
        const std::string game = "[Event \"e\"]\n" + tagLine + "[White \"w\"]\n\n" + Repeat("1. e4 e5 ", 20000) + "*\n";
        const std::vector<ListedGame> games = List(game + game + game);
        QCOMPARE(games.size(), std::size_t{3});
        for (const ListedGame& g : games) QCOMPARE(g.White, std::string("w"));
    }

    void gamesWithoutMovesBackToBack() {
        // As the program writes a game saved before its first move.
        const std::string game = "[Event: \"\"]\n[Site: \"\"]\n[Date: \"\"]\n[White: \"w\"]\n[Black: \"\"]\n"
                                 "[Result: \"\"]\n\n";
        QCOMPARE(List(game + game + game).size(), std::size_t{3});
    }

    void theListingStopsWhenAsked() {
        const std::string game = "[Event \"e\"]\n\n1. e4 *\n";
        PgnSource source;
        QVERIFY(source.Open(File(Repeat(game, 10)).toStdString()));
        int seen = 0;
        QCOMPARE(ListPgnGames(source, [&](const ListedGame&) { return ++seen < 4; }), 4);
        QCOMPARE(seen, 4);
    }

    void positionsPastFourGigabytes() {
        // A sparse file: its games lie beyond 2^32 bytes.
        const i64 start = (i64{1} << 32) + 12345;
        const QString path = dir.filePath("big.pgn");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(f.resize(start));
            QVERIFY(f.seek(start));
            f.write("\n[Event \"far\"]\n[White \"x\"]\n\n1. d4 d5 *\n[Event \"farther\"]\n\n1. c4 *\n");
        }
        PgnSource source;
        QVERIFY(source.Open(path.toStdString()));
        QVERIFY(source.Seek(start));
        std::vector<ListedGame> games;
        ListPgnGames(source, [&](const ListedGame& g) {
            games.push_back(g);
            return true;
        });
        QCOMPARE(games.size(), std::size_t{2});
        QCOMPARE(games[0].Offset, start + 1);
        QCOMPARE(games[0].White, std::string("x"));
        QVERIFY(source.Seek(games[1].Offset));
        PgnGameReader reader(source);
        reader.NextGame();
        std::string token;
        QVERIFY(reader.NextMove(&token));
        QCOMPARE(token, std::string("c4"));
        QFile::remove(path);
    }

    void tokensInPositions_data() {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("move");
        const QString start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
        QTest::newRow("pawn") << start << "e4" << "e2e4";
        QTest::newRow("pawn letter") << start << "Pe4" << "e2e4";
        QTest::newRow("knight") << start << "Nf3" << "g1f3";
        QTest::newRow("coordinates") << start << "g1f3" << "g1f3";
        QTest::newRow("long algebraic") << start << "Ng1-f3" << "g1f3";
        QTest::newRow("long algebraic pawn") << start << "e2-e4" << "e2e4";
        QTest::newRow("Qh4-e1") << "8/K7/8/8/4Q2Q/8/8/k3r2Q w - - 0 1" << "Qh4-e1" << "h4e1";
        QTest::newRow("Qe4-e1+") << "8/K7/8/8/4Q2Q/8/8/k3r2Q w - - 0 1" << "Qe4-e1+" << "e4e1";
        QTest::newRow("e7e8q") << "8/4P2k/8/8/8/8/8/4K3 w - - 0 1" << "e7e8q" << "e7e8q";
        QTest::newRow("e7e8n") << "8/4P2k/8/8/8/8/8/4K3 w - - 0 1" << "e7e8n" << "e7e8n";
        QTest::newRow("e7-e8=R") << "8/4P2k/8/8/8/8/8/4K3 w - - 0 1" << "e7-e8=R" << "e7e8r";
        QTest::newRow("signs glued") << start << "Nf3-/+" << "g1f3";
        QTest::newRow("e8=b") << "8/4P2k/8/8/8/8/8/4K3 w - - 0 1" << "e8=b" << "e7e8b";
        QTest::newRow("castling by its squares") << "4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1" << "e1c1" << "e1c1";
        QTest::newRow("0-0") << "4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1" << "0-0" << "e1g1";
        QTest::newRow("black 0-0-0") << "r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1" << "0-0-0+" << "e8c8";
        QTest::newRow("no piece on the square") << start << "e3e4" << "none";
        QTest::newRow("a word") << start << "zzz" << "no move";
        QTest::newRow("pawn capture") << "4k3/8/8/2p1p3/3P4/8/8/4K3 w - - 0 1" << "dxe5" << "d4e5";
        QTest::newRow("exd5") << "4k3/8/8/3p4/2P1P3/8/8/4K3 w - - 0 1" << "exd5" << "e4d5";
        QTest::newRow("Nbd2") << "4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1" << "Nbd2" << "b1d2";
        QTest::newRow("Nfd2") << "4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1" << "Nfd2" << "f3d2";
        QTest::newRow("R1e2") << "7k/8/8/4R3/8/8/8/K3R3 w - - 0 1" << "R1e2" << "e1e2";
        QTest::newRow("R5e2") << "7k/8/8/4R3/8/8/8/K3R3 w - - 0 1" << "R5e2" << "e5e2";
        QTest::newRow("Qh4xe1") << "8/K7/8/8/4Q2Q/8/8/k3r2Q w - - 0 1" << "Qh4xe1" << "h4e1";
        QTest::newRow("Qe4xe1") << "8/K7/8/8/4Q2Q/8/8/k3r2Q w - - 0 1" << "Qe4xe1" << "e4e1";
        QTest::newRow("e8=Q+") << "8/4P2k/8/8/8/8/8/4K3 w - - 0 1" << "e8=Q+" << "e7e8q";
        QTest::newRow("e8 promotes to a queen") << "8/4P2k/8/8/8/8/8/4K3 w - - 0 1" << "e8" << "e7e8q";
        QTest::newRow("e8=N") << "8/4P2k/8/8/8/8/8/4K3 w - - 0 1" << "e8=N" << "e7e8n";
        QTest::newRow("e8N") << "8/4P2k/8/8/8/8/8/4K3 w - - 0 1" << "e8N" << "e7e8n";
        QTest::newRow("bxc8=R") << "2r1k3/1P6/8/8/8/8/8/4K3 w - - 0 1" << "bxc8=R" << "b7c8r";
        QTest::newRow("O-O-O") << "4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1" << "O-O-O" << "e1c1";
        QTest::newRow("O-O") << "4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1" << "O-O" << "e1g1";
        QTest::newRow("black O-O") << "r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1" << "O-O+" << "e8g8";
        QTest::newRow("black O-O-O") << "r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1" << "O-O-O" << "e8c8";
        QTest::newRow("no square") << start << "e9" << "no move";
        QTest::newRow("too long") << start << "e2e4e5" << "no move";
        QTest::newRow("too short") << start << "N" << "no move";
        QTest::newRow("null move") << start << "--" << "none";
    }

    void tokensInPositions() {
        QFETCH(QString, fen);
        QFETCH(QString, token);
        QFETCH(QString, move);
        QCOMPARE(QString::fromStdString(Resolve(fen.toStdString(), token.toStdString())), move);
    }
};

QTEST_MAIN(PgnReaderTest)
#include "test_pgnreader.moc"
