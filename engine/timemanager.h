// Time rules of the engine's move: the budget per time control, the hard
// limit, the node search's time test and the deepening's stop between
// iterations.
#pragma once

// Time controls: the values of TimeControlType.
constexpr int TIME_NONE = 0;  // none chosen yet
constexpr int TIME_PER_MOVE = 1;
constexpr int TIME_BLITZ = 2;
constexpr int TIME_TOURNAMENT = 4;

// Blitz and tournament play on clocks that run down.
constexpr bool RunsOnClocks(int timeControlType) {
    return timeControlType == TIME_BLITZ || timeControlType == TIME_TOURNAMENT;
}

// Everything the time budget of one move depends on. "used" and "left" are
// the side to move's.
struct MoveBudgetInputs {
    int timeControlType = TIME_PER_MOVE;
    bool secondsValid = true;  // the seconds-per-move setting is a whole number
    int secondsPerMove = 0;
    double blitzMinutes = 0;
    double blitzBonus = 0;
    int tournamentMoves = 0;
    double tournamentMinutes = 0;
    int tournamentRest = 0;
    int ownMoves = 0;        // moves the side to move made since the time control began
    double usedMs = 0;       // its used time before this move's clock update
    double leftMs = 0;       // its remaining time after that update
    double speedPercent = 100;
    double previousBudgetMs = 0;  // kept under a time-control type that is none of the three
};

// The move's budget in ms (TargetTimeMs), never more than a tenth of the
// remaining time once a fifth of it would be exceeded (blitz, tournament).
double MoveBudgetMs(const MoveBudgetInputs& in);

// Elapsed ms after which the search of a move is stopped whatever the stop
// rules say: a quarter of what the clock holds beyond half a second under
// blitz and tournament, and just under the seconds per move in protocol
// mode. Unlimited (infinity) otherwise.
double MoveHardLimitMs(bool protocolMode, int timeControlType, bool secondsValid, int secondsPerMove,
                       double leftMs);

// The node search's time test: past the share of the budget that the best
// move's stability allows (from 0.7 of it when stable to 3 times it after a
// failed window), or past the hard limit.
bool SearchTimeIsUp(double elapsedMs, double budgetMs, int stability, double hardLimitMs);

// Between iterations: the elapsed time passed the share of the budget that
// the best move's stability allows in the game phase.
bool IterationTimeIsUp(double elapsedMs, double budgetMs, int stability, int gamePhase);

// The budget after an iteration failed outside its window, with leftMs the
// side to move's remaining time: a fail low under blitz or tournament buys
// half as much again while the clock allows, never beyond three times the
// first budget.
double BudgetAfterFailedIteration(double budgetMs, double firstBudgetMs, double leftMs, int timeControlType,
                                  bool failLow);
