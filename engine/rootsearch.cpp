#include "rootsearch.h"

#include <cstdlib>

#include "globals.h"
#include "hash.h"
#include "host.h"
#include "makemove.h"
#include "movegen.h"
#include "ordering.h"
#include "search.h"

EngineBoard GameBoard;
EngineBoard PonderBoard;
EngineBoard SpareBoard;
// Set by ResetRootSearchState.
Move PrevBestMove;
i32 StaleHashCount;

void ResetRootSearchState() {
    GameBoard = EngineBoard{};
    PonderBoard = EngineBoard{};
    SpareBoard = EngineBoard{};
    PrevBestMove = 0;
    StaleHashCount = 0;
}

namespace {

// The start-up values are the reset's.
[[maybe_unused]] const bool rootSearchStateSet = (ResetRootSearchState(), true);

constexpr int PV_MAX_MOVES = 14;

// Mate in n moves from the score: (32000 - |score|) / 2, fraction dropped.
int MateMoves(int score) { return (MATE_SCORE - std::abs(score)) / 2; }

bool IsMateScore(int score) { return std::abs(score) >= 31000; }

// Centiseconds since the search for this move began. (The clocks restart
// MoveStartTick at every update, so it cannot serve here.)
i64 ThinkingCentiseconds() {
    const i64 ms = Host().TickMs() - SearchStartTick;
    return ms > 0 ? ms / 10 : 0;
}

void SendThinkingLine(int score, const std::string& moves) {
    Host().SendProtocolLine(std::to_string(IterationDepth) + " " + ProtocolScoreText(score) + " " +
                            std::to_string(ThinkingCentiseconds()) + " " + std::to_string(NodeCount) + " " +
                            moves);
}

// A new best move at the root: in protocol mode a thinking line (from
// depth 4 on), else the best-move label. True when the labels are in use.
bool ShowBestMove(EngineHost& host, bool protocol, int score, const std::string& line, const std::string& san) {
    if (protocol) {
        if (IterationDepth > 3) SendThinkingLine(score, line);
        return false;
    }
    host.SetThinkLabel(ThinkLabel::BestMove, san);
    return true;
}

// Selection sort of the list by a 64-bit key per entry, best first; the
// first of equal keys stays in front, as SortMoves does.
void SortByNodes(MoveList* list, i64* nodes) {
    for (int i = 0; i < list->Last; ++i) {
        int best = i;
        for (int j = i + 1; j <= list->Last; ++j)
            if (nodes[j] > nodes[best]) best = j;
        if (best != i) {
            SwapMoves(list, i, best);
            const i64 t = nodes[i];
            nodes[i] = nodes[best];
            nodes[best] = t;
        }
    }
}

}  // namespace

std::string ScoreLabelText(int score) {
    if (!IsMateScore(score)) {
        const int a = std::abs(score);
        std::string text = score < 0 ? "-" : "";
        text += std::to_string(a / 100) + ".";
        text += static_cast<char>('0' + (a % 100) / 10);
        text += static_cast<char>('0' + a % 10);
        return text;
    }
    return (score > 0 ? "# in " : "-# in ") + std::to_string(MateMoves(score));
}

std::string ProtocolScoreText(int score) {
    if (!IsMateScore(score)) return std::to_string(score);
    const int n = MateMoves(score);
    return std::to_string(score > 0 ? 100000 + n : -100000 - n);
}

std::string PrincipalVariationText(const Position& game, Move best) {
    SpareBoard.Pos = game;
    if (GenerateMoves(&SpareBoard) < 1) SpareBoard.List.Last = -1;
    std::string text = MoveToSan(best, &SpareBoard.List);
    MakeMove(&SpareBoard, best, &SpareBoard.Pos);
    int count = 1;
    while (count < PV_MAX_MOVES) {
        if (CheckDraw(&SpareBoard.Pos, 1) != DRAW_NONE) break;
        const Move next = ProbeHashMove(KeyLo(SpareBoard.Pos.Key), KeyHi(SpareBoard.Pos.Key));
        if (next == 0) break;
        // A list the generator left unfinished (king capturable) is not read.
        if (GenerateMoves(&SpareBoard) < 1) break;
        const std::string san = MoveToSan(next, &SpareBoard.List);
        if (san == "!") break;
        const Position before = SpareBoard.Pos;
        if (!MakeMoveKeepsKingSafe(&SpareBoard, next, &SpareBoard.Pos)) {
            SpareBoard.Pos = before;
            break;
        }
        text += " " + san;
        ++count;
    }
    return text;
}

int SearchRoot(int depth, int alpha, int beta, bool generate, bool display) {
    EngineHost& host = Host();
    RootAlpha = alpha;
    RootBeta = beta;
    MoveList& list = GameBoard.List;
    const int side = GameBoard.Pos.SideToMove;
    const bool inCheck = InCheck(&GameBoard, &GameBoard.Pos, 1);
    const int extension = inCheck ? 45 : 0;
    display = display && host.PostThinking();

    if (generate) {
        const int n = inCheck ? GenerateEvasions(&GameBoard) : GenerateMoves(&GameBoard);
        GameBoard.Pos.MoveCount[side] = n;
        if (n == -2) return inCheck ? ROOT_CHECKMATED : ROOT_STALEMATE;
        if (n == -1) return ROOT_CHECKMATED;
        if (n == 1) {
            const Position saved = GameBoard.Pos;
            const bool illegal = !MakeMoveKeepsKingSafe(&GameBoard, list.Moves[0], &GameBoard.Pos);
            GameBoard.Pos = saved;
            if (illegal) return inCheck ? ROOT_CHECKMATED : ROOT_STALEMATE;
            return ROOT_SINGLE_MOVE;
        }
        ScoreMoves(&GameBoard, &list, side, 1, GameBoard.Pos.LastMove, KeyLo(GameBoard.Pos.Key),
                   KeyHi(GameBoard.Pos.Key));
        SortMoves(&list);
    }

    // The game phase only grows; each step starts the tables afresh.
    Position& game = GameBoard.Pos;
    if (game.GamePhase == PHASE_OPENING &&
        ((!game.CastleShort[0] && !game.CastleLong[0] && !game.CastleShort[1] && !game.CastleLong[1]) ||
         host.CurrentPly() > 25)) {
        ClearHashTables();
        game.GamePhase = PHASE_MIDDLE_GAME;
    }
    if (game.GamePhase == PHASE_MIDDLE_GAME && game.PieceMaterial[0] < 1500 && game.PieceMaterial[1] < 1500) {
        ClearHashTables();
        game.GamePhase = PHASE_ENDGAME;
    }

    const Position saved = GameBoard.Pos;
    const bool protocol = host.ProtocolMode();
    if (display) host.SetThinkLabel(ThinkLabel::BestMove, MoveToSan(list.Moves[0], &list));

    i64 nodes[MAX_MOVES];
    Move bestMove = -1;
    int bestScore = -MATE_SCORE;
    bool searched = false;
    for (int i = 0; i <= list.Last; ++i) {
        if (display && !SearchStopped())
            host.SetThinkLabel(ThinkLabel::Depth, std::to_string(IterationDepth) + "/" + std::to_string(i + 1));
        const Move m = list.Moves[i];
        const int r = MakeMove(&GameBoard, m, &GameBoard.Pos);
        if (r == MAKE_KING_CAPTURED) {
            GameBoard.Pos = saved;
            return ROOT_CHECKMATED;
        }
        if (InCheck(&GameBoard, &GameBoard.Pos, 0)) {
            GameBoard.Pos = saved;
            list.Score[i] = -MATE_SCORE;
            nodes[i] = -MATE_SCORE;
            continue;
        }

        if (CheckDraw(&GameBoard.Pos, 1) == DRAW_REPETITION) {
            GameBoard.Pos = saved;
            const int score = SearchStopped() ? -MATE_SCORE : 0;
            list.Score[i] = score;
            searched = true;
            nodes[i] = 0;
            if (score >= RootBeta) {
                for (int j = i + 1; j <= list.Last; ++j) list.Score[j] = -MATE_SCORE;
                return ROOT_FAIL_HIGH;
            }
            if (score > bestScore) {
                RootAlpha = bestScore = score;
                bestMove = m;
                if (display) {
                    const std::string san = MoveToSan(m, &list);
                    if (ShowBestMove(host, protocol, score, san, san))
                        host.SetThinkLabel(ThinkLabel::Score, ScoreLabelText(score));
                }
                if (bestMove != PrevBestMove) BestMoveStability = 0;
            }
            continue;
        }

        if (display) host.SetThinkLabel(ThinkLabel::CurrentMove, MoveToSan(m, &list));
        const i64 noted = NodeCount;
        const int childDepth = depth + extension - ONE_PLY;
        const bool full = depth + extension >= ONE_PLY;
        // The reply's score, searched in the window (alpha, beta) seen from this side.
        const auto searchReply = [&](int a, int b) {
            return full ? -Search(&GameBoard, &GameBoard.Pos, childDepth, 2, -b, -a)
                        : -Quiesce(&GameBoard, &GameBoard.Pos, childDepth, 2, -b, -a);
        };
        int score;
        if (i == 0) {
            score = searchReply(RootAlpha, RootBeta);
        } else {
            score = searchReply(RootAlpha, RootAlpha + 1);
            if (score > RootAlpha && score < RootBeta) score = searchReply(RootAlpha, RootBeta);
        }

        GameBoard.Pos = saved;
        nodes[i] = NodeCount - noted;
        if (SearchStopped()) score = -MATE_SCORE;
        list.Score[i] = score;

        if (score > bestScore) {
            RootAlpha = bestScore = score;
            bestMove = m;
            if (score >= RootBeta) {
                UpdateHistory(&GameBoard, m, depth, 1);
                if (score != 0) StoreHash(depth, score, HASH_LOWER, KeyLo(saved.Key), KeyHi(saved.Key), m);
                for (int j = 0; j <= list.Last; ++j)
                    if (j != i) list.Score[j] = score - 1;
                SortMoves(&list);
                if (display) {
                    const std::string san = MoveToSan(m, &list);
                    if (ShowBestMove(host, protocol, score, san, san))
                        host.SetThinkLabel(ThinkLabel::PV, "PV: " + san + "!");
                }
                return ROOT_FAIL_HIGH;
            }
            const std::string pv = PrincipalVariationText(saved, m);
            if (display && ShowBestMove(host, protocol, score, pv, MoveToSan(m, &list))) {
                host.SetThinkLabel(ThinkLabel::PV, "PV: " + pv);
                if (bestScore != alpha) host.SetThinkLabel(ThinkLabel::Score, ScoreLabelText(bestScore));
            }
        }
        searched = true;
    }

    if (!searched) return inCheck ? ROOT_CHECKMATED : ROOT_STALEMATE;
    Move searchOrder[MAX_MOVES];
    for (int i = 0; i <= list.Last; ++i) searchOrder[i] = list.Moves[i];
    SortMoves(&list);
    if (list.Last < 1 || list.Score[1] == -MATE_SCORE) return ROOT_SINGLE_MOVE;

    // Most-searched moves first, then the best move in front.
    i64 sortedNodes[MAX_MOVES];
    for (int i = 0; i <= list.Last; ++i) {
        int k = 0;
        while (k < list.Last && searchOrder[k] != list.Moves[i]) ++k;
        sortedNodes[i] = nodes[k];
    }
    SortByNodes(&list, sortedNodes);
    int bestIndex = 0;
    while (bestIndex < list.Last && list.Moves[bestIndex] != bestMove) ++bestIndex;
    SwapMoves(&list, 0, bestIndex);
    list.Score[0] = bestScore;
    for (int i = 1; i <= list.Last; ++i) list.Score[i] = bestScore - 1;
    return ROOT_SEARCHED;
}

void BeginSearch(i64 startTick) {
    StaleHashCount = GameBoard.Pos.FiftyMoveCounter > 50 ? StaleHashCount + 1 : 0;
    NodeCount = 0;
    LastPollNodeCount = 0;
    QuiesceNodeCount = 0;
    SearchUninterruptible = false;
    for (auto& row : HistoryTable)
        for (auto& h : row) h = 0;
    SearchStartTick = startTick;
    IterationDepth = 0;
}

void Ponder() {
    Pondering = true;
    PonderBoard.Pos = GameBoard.Pos;
    BeginSearch(Host().TickMs());

    const Position& ponder = PonderBoard.Pos;
    Move reply = ProbeHashMove(KeyLo(ponder.Key), KeyHi(ponder.Key));
    if (!IsLegalMove(ponder, reply)) reply = 0;
    if (reply == 0 && !StopSearch) {
        IterationDepth = 6;
        Search(&PonderBoard, &PonderBoard.Pos, 6 * ONE_PLY, 2, -MATE_SCORE, MATE_SCORE);
        reply = ProbeHashMove(KeyLo(ponder.Key), KeyHi(ponder.Key));
        if (!IsLegalMove(ponder, reply)) reply = 0;
    }

    IterationDepth = 0;
    if (reply != 0) MakeMove(&PonderBoard, reply, &PonderBoard.Pos);

    while (IterationDepth < MAX_PLY && !StopSearch) {
        IterationDepth += 1;
        const int score = Search(&PonderBoard, &PonderBoard.Pos, IterationDepth * ONE_PLY, 2, -MATE_SCORE, MATE_SCORE);
        if (std::abs(score) > 31000) break;
    }

    StopSearch = false;
    Pondering = false;
}
