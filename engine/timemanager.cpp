#include "timemanager.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "types.h"

double MoveBudgetMs(const MoveBudgetInputs& in) {
    const int type = in.timeControlType;
    const double used = in.usedMs;
    const double left = in.leftMs;
    double t = in.previousBudgetMs;

    if (type == TIME_PER_MOVE) {
        t = in.secondsValid ? in.secondsPerMove * 1000.0 : 1000.0;
    } else if (type == TIME_BLITZ) {
        const double bonus = in.blitzBonus * 1000.0;
        const double allowance = static_cast<double>(in.ownMoves) * bonus + in.blitzMinutes * 60000.0 - used;
        // With nothing left the clock rules below decide.
        t = 0;
        if (allowance > 0) {
            t = bonus + allowance / 60;
            if (allowance / 6 <= t) t = allowance / 8;
            if (allowance <= 5000)
                t = 50;
            else if (allowance <= 15000)
                t *= 0.5;
        }
    } else if (type == TIME_TOURNAMENT) {
        // A period of no moves would divide by zero; it counts as one move.
        const double moves = std::max(in.tournamentMoves, 1);
        const double period = in.tournamentMinutes * 60000.0;
        const double a = in.ownMoves;
        if (a < moves) {
            t = (period - used) / (moves - a + 6);
        } else if (in.tournamentRest != 0) {
            t = (period + in.tournamentRest * 60000.0 - used) * 0.02;
        } else {
            const double k = std::floor(a / moves) + 1;
            t = (k * period - used) / (k * moves - a + 6);
        }
    }

    const bool clockRules = RunsOnClocks(type);
    if (clockRules) {
        if (left <= 1000)
            t = 50;
        else if (left <= 10000)
            t *= 0.25;
        else if (left <= 20000)
            t *= 0.5;
        else if (left <= 30000)
            t = t * 3 * 0.25;
    }
    if (!std::isfinite(t)) t = 1000;
    t = t * in.speedPercent * 0.01;
    // After the speed factor, so no personality can budget beyond the clock.
    if (clockRules && left * 0.2 < t) t = left * 0.1;
    return t;
}

double MoveHardLimitMs(bool protocolMode, int timeControlType, bool secondsValid, int secondsPerMove,
                       double leftMs) {
    if (RunsOnClocks(timeControlType)) return std::max(0.0, leftMs - 500.0) * 0.25;
    if (timeControlType == TIME_PER_MOVE && protocolMode && secondsValid) {
        const double limit = std::max(secondsPerMove, 0) * 1000.0;
        return std::max(0.0, limit - std::max(200.0, limit * 0.02));
    }
    return std::numeric_limits<double>::infinity();
}

bool SearchTimeIsUp(double elapsedMs, double budgetMs, int stability, double hardLimitMs) {
    const double t = budgetMs;
    const int s = stability;
    bool up = elapsedMs > 3.0 * t;
    if (s > 3 && elapsedMs > 0.7 * t) up = true;
    if (s > 2 && elapsedMs > 0.8 * t) up = true;
    if (s > 1 && elapsedMs > 0.9 * t) up = true;
    if (s > 0 && elapsedMs > 1.1 * t) up = true;
    if (s > -1 && elapsedMs > 1.5 * t) up = true;
    if (s > -2 && elapsedMs > 2.0 * t) up = true;
    return up || elapsedMs >= hardLimitMs;
}

bool IterationTimeIsUp(double elapsedMs, double budgetMs, int stability, int gamePhase) {
    struct Row {
        int above;
        double factor;
    };
    static constexpr Row Endgame[] = {{10, 0.3}, {9, 0.4}, {8, 0.5}, {5, 0.6}, {4, 0.7}, {0, 0.8}};
    static constexpr Row Other[] = {{9, 0.2}, {7, 0.3}, {6, 0.4}, {5, 0.5}, {2, 0.6}, {1, 0.7}, {0, 0.8}};
    if (elapsedMs > 2.0 * budgetMs) return true;
    if (gamePhase == PHASE_ENDGAME) {
        for (const Row& row : Endgame)
            if (stability > row.above && elapsedMs > row.factor * budgetMs) return true;
    } else {
        for (const Row& row : Other)
            if (stability > row.above && elapsedMs > row.factor * budgetMs) return true;
    }
    return false;
}

double BudgetAfterFailedIteration(double budgetMs, double firstBudgetMs, double leftMs, int timeControlType,
                                  bool failLow) {
    double t = budgetMs;
    if (leftMs * 0.2 > t || timeControlType == TIME_PER_MOVE) {
        if (failLow && RunsOnClocks(timeControlType)) t *= 1.5;
        if (t > 3 * firstBudgetMs) t = 3 * firstBudgetMs;
    }
    return t;
}
