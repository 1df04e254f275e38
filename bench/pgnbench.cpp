// PGN games: lists a file of 49,999 games (about 50 MB) with the reader
// alone and with the game list, loads a long game into the window, and
// lists and loads games of 10,000, 40,000 and 160,000 different tags, each
// after an empty line or all on one line (the times should grow with the
// size).
// usage: pgnbench [DIRECTORY]   (the files are written there; default /tmp)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "ChessGUI.h"
#include "bitboard.h"
#include "dialogs/MLOpen.h"
#include "dialogs/saveGame.h"
#include "eval.h"
#include "globals.h"
#include "guiglobals.h"
#include "makemove.h"
#include "messageboxes.h"
#include "movegen.h"
#include "ordering.h"
#include "pgnreader.h"
#include "test_position.h"

namespace {

class SilentBoxes : public MessageBoxes {
public:
    BoxAnswer Show(QWidget*, const QString& text, const QString&, BoxButtons buttons) override {
        std::fprintf(stderr, "box: %s\n", text.toLocal8Bit().constData());
        return ClosedBoxAnswer(buttons);
    }
};

// A random legal game of at most maxPlies plies as move tokens with check
// marks, to its end: mate, stalemate, a draw by rule or by material.
std::vector<std::string> RandomGame(std::mt19937& rng, int maxPlies) {
    EngineBoard board;
    SetupStartPosition(&board);
    std::vector<std::string> moves;
    while (static_cast<int>(moves.size()) < maxPlies) {
        GenerateMoves(&board);
        const std::vector<Move> legal = LegalListedMoves(board);
        if (legal.empty()) break;
        const Move m = legal[rng() % legal.size()];
        std::string san = MoveToSan(m, &board.List);
        MakeMove(&board, m, &board.Pos);
        if (InCheck(&board, &board.Pos, 1)) san += "+";
        moves.push_back(san);
        EvalContext context{};
        if (CheckDraw(&board.Pos, 1) != DRAW_NONE || RecognizeEndgame(&context, &board.Pos) == ENDGAME_DRAWN) break;
    }
    return moves;
}

// Export-style text: eleven tags and move text wrapped at 80 columns.
std::string GameText(int number, const std::vector<std::string>& moves) {
    std::string text = "[Event \"Bench Open\"]\n[Site \"Hall " + std::to_string(number % 17) +
                       "\"]\n[Date \"2024.03." + std::to_string(number % 28 + 1) + "\"]\n[Round \"" +
                       std::to_string(number % 9 + 1) + "\"]\n[White \"Player " + std::to_string(number) +
                       "\"]\n[Black \"Player " + std::to_string(number + 1) + "\"]\n[Result \"*\"]\n[WhiteElo \"" + std::to_string(1500 + number % 900) +
                       "\"]\n[BlackElo \"" + std::to_string(1500 + (number * 7) % 900) + "\"]\n[ECO \"A00\"]\n[PlyCount \"" +
                       std::to_string(moves.size()) + "\"]\n\n";
    std::string line;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        std::string token = (i % 2 == 0 ? std::to_string(i / 2 + 1) + ". " : "") + moves[i];
        if (line.size() + token.size() + 1 > 79) {
            text += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + token;
    }
    return text + line + " *\n\n";
}

void WriteFile(const QString& path, const std::string& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    SilentBoxes boxes;
    SetMessageBoxes(&boxes);
    ResetEngineState();

    // ---- The file of 49,999 games, built from 300 random games of 80 to 180 plies.
    std::mt19937 rng(1);
    std::vector<std::vector<std::string>> pool;
    for (int i = 0; i < 300; ++i) pool.push_back(RandomGame(rng, 80 + static_cast<int>(rng() % 101)));
    std::string text;
    for (int n = 1; n < MAX_LISTED_GAMES; ++n) text += GameText(n, pool[static_cast<std::size_t>(n) % pool.size()]);
    const QString listPath = QDir(dir).filePath("pgnbench-list.pgn");
    WriteFile(listPath, text);
    const double megabytes = static_cast<double>(text.size()) / 1e6;

    QElapsedTimer clock;
    clock.start();
    PgnSource source;
    int games = 0;
    if (source.Open(QFile::encodeName(listPath).toStdString()))
        games = ListPgnGames(source, [](const ListedGame&) { return true; });
    const double readerSeconds = clock.nsecsElapsed() / 1e9;

    // The window's directory holds the piece sets the window starts with.
    const QString runDir = QDir::currentPath();
    QDir::setCurrent(MORLAQUIN_DATA_DIR);
    auto* window = new TfrmWinRovik;
    QDir::setCurrent(runDir);
    window->Timer1->stop();
    frmSaveGame = new TfrmSaveGame(window);
    frmOpenGame = new TfrmOpenGame(window);
    window->show();
    frmOpenGame->show();
    QCoreApplication::processEvents();

    clock.restart();
    frmOpenGame->LoadGameList(listPath);
    const double listSeconds = clock.nsecsElapsed() / 1e9;
    std::printf("listing %d games, %.1f MB: reader %.3f s, game list %.3f s (%d rows)\n", games, megabytes,
                readerSeconds, listSeconds, frmOpenGame->RowCount() - 1);
    QFile::remove(listPath);

    // ---- A long game: the longest of a few random games of up to 900 plies.
    std::vector<std::string> longest;
    for (int i = 0; i < 40; ++i) {
        std::vector<std::string> game = RandomGame(rng, 900);
        if (game.size() > longest.size()) longest = game;
    }
    const QString gamePath = QDir(dir).filePath("pgnbench-game.pgn");
    WriteFile(gamePath, GameText(1, longest));
    window->PgnFileName = gamePath;
    frmOpenGame->SelectedGameOffset = 0;
    constexpr int LOADS = 10;
    clock.restart();
    for (int i = 0; i < LOADS; ++i) {
        window->LoadSelectedGame();
        window->Timer1->stop();
    }
    const double loadMs = clock.nsecsElapsed() / 1e6 / LOADS;
    std::printf("loading a game of %d plies (%zu in the file): %.1f ms, %.3f ms per ply\n", window->LastPly,
                longest.size(), loadMs, window->LastPly > 0 ? loadMs / window->LastPly : 0.0);
    QFile::remove(gamePath);

    // ---- Games of many different tags, each after an empty line, and all
    // on one line.
    const QString tagsPath = QDir(dir).filePath("pgnbench-tags.pgn");
    for (const char* between : {"\n\n", " "}) {
        std::vector<std::pair<double, double>> times;
        for (const int tags : {10000, 40000, 160000}) {
            std::string game;
            for (int t = 0; t < tags; ++t)
                game += "[Tag" + std::to_string(t) + " \"value " + std::to_string(t) + "\"]" + between;
            game += "\n\n1. e4 e5 2. Nf3 Nc6 *\n";
            WriteFile(tagsPath, game);
            clock.restart();
            frmOpenGame->LoadGameList(tagsPath);
            const double listSecs = clock.nsecsElapsed() / 1e9;
            window->PgnFileName = tagsPath;
            frmOpenGame->SelectedGameOffset = frmOpenGame->GameOffsets[1];
            clock.restart();
            window->LoadSelectedGame();
            window->Timer1->stop();
            const double loadSecs = clock.nsecsElapsed() / 1e9;
            times.emplace_back(listSecs, loadSecs);
            std::printf("a game of %6d tags, %s: listing %.3f s, loading %.3f s (%d rows, %d plies)\n", tags,
                        between[0] == '\n' ? "each after an empty line" : "all on one line", listSecs, loadSecs,
                        frmOpenGame->RowCount() - 1, window->LastPly);
        }
        std::printf("40,000 tags against 10,000: listing %.1f times, loading %.1f times (goal: within 6)\n",
                    times[1].first / times[0].first, times[1].second / times[0].second);
    }
    QFile::remove(tagsPath);

    window->FormDestroy();
    delete window;
    SetMessageBoxes(nullptr);
    return 0;
}
