// The computer's move: its time budget, the hard limit on its search time and
// the resign rule, as plain functions of their inputs.
#pragma once

#include <QString>

// Everything the time budget of one move depends on. "used" and "left" are
// the side to move's.
struct MoveBudgetInputs {
    int timeControlType = 1;  // 1 seconds per move, 2 blitz, 4 tournament
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

// Best scores below -ResignThreshold count against the engine.
constexpr int ResignThreshold = 600;

struct ResignInputs {
    bool enabled = false;
    int bestScore = 0;
    int lastScores[5] = {0, 0, 0, 0, 0};  // newest first, bestScore already at [0]
    int opponentPawnMaterial = 0;
    int opponentPieceMaterial = 0;
    int queenValue = 1000;
    int timeControlType = 1;
    double opponentLeftMs = 0;
    double blitzMinutes = 0;
    double blitzBonus = 0;
    double tournamentMinutes = 0;
};

// The engine gives up: five losing scores in a row without recovery, an
// opponent who can still win, and enough time on the opponent's clock.
bool ResignRuleHolds(const ResignInputs& in);

// The score as the last-move window shows it: "0", "0.35", "-1.20",
// "# in 3", "-# in 1".
QString LastScoreText(int score);

// A count with thousands separators and no decimals: "1,234,567".
QString NodeCountText(double value);
