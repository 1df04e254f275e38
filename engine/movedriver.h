// The engine's move in the game position (GameBoard), the part that needs no
// window: the resets at its start, the book and single-reply answers,
// iterative deepening inside an aspiration window with its stop rules, the
// result for book learning and the resign rule.
#pragma once

#include "rootsearch.h"
#include "search.h"
#include "timemanager.h"
#include "types.h"

// The engine's last five best scores, newest first.
extern i32 LastScores[5];

// Best scores below -ResignThreshold count against the engine.
constexpr int ResignThreshold = 600;

// The deepening of one engine move.
struct Deepening {
    int side = WHITE;  // the engine's side: the side to move at the start
    int timeControlType = TIME_PER_MOVE;
    double firstBudgetMs = 0;  // TargetTimeMs as first computed
    int lastDepth = MAX_PLY;   // no iteration goes deeper
    int alpha = -MATE_SCORE;   // the aspiration window
    int beta = MATE_SCORE;
    int code = ROOT_SEARCHED;  // result of the last root search
    int bestScore = 0;
    double elapsedMs = 0;  // since SearchStartTick, at the end of the last step
};

// The start of the engine's move: the evaluation's view of the root, a fresh
// best-move stability, StopSearch cleared, BeginSearch(startTick), and the
// budget (TargetTimeMs) and hard limit (SearchHardLimitMs) of the search.
Deepening BeginEngineMove(i64 startTick, int timeControlType, double budgetMs, double hardLimitMs);

// A book move (only its from and to squares are read) that is legal here
// goes to the front of the game board's list, every other move scored -100;
// false when none matches.
bool AnswerFromBook(Deepening* d, Move bookMove);

// With exactly one legal move: that move at the front of the list, scored
// with the last best score, and the single-move code; no search is made.
bool AnswerSingleReply(Deepening* d);

// One iteration of the root search with its window and stop rules. False
// when the deepening ends here; the chosen move is then the list's first.
bool DeepenOnce(Deepening* d);

// The move's best score: the result for book learning once it passes +-200,
// and the newest of LastScores.
void RecordBestScore(const Deepening& d);

// The end of the engine's move: the stop flags cleared, the hash tables
// cleared after more than five stale moves in a row.
void EndEngineMove();

struct ResignInputs {
    bool enabled = false;
    int bestScore = 0;
    int lastScores[5] = {0, 0, 0, 0, 0};  // newest first, bestScore already at [0]
    int opponentPawnMaterial = 0;
    int opponentPieceMaterial = 0;
    int queenValue = 1000;
    int timeControlType = TIME_PER_MOVE;
    double opponentLeftMs = 0;
    double blitzMinutes = 0;
    double blitzBonus = 0;
    double tournamentMinutes = 0;
};

// The engine gives up: five losing scores in a row without recovery, an
// opponent who can still win, and enough time on the opponent's clock.
bool ResignRuleHolds(const ResignInputs& in);

// Repetition, the fifty-move rule or too little material to mate.
bool DrawnByRule(const Position& pos);
// Drawn by rule, or no legal move.
bool GameHasEnded(const Position& pos);

// Forgets the scores of the last moves (a new game, a take-back, a resignation).
void ClearLastScores();
// Start-up values of the globals above.
void ResetMoveDriverState();
