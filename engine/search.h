// The node search (negamax alpha-beta with copy-make) and the capture search
// at its leaves, with the state they share with the root search and the
// move driver.
#pragma once

#include "types.h"

constexpr int MATE_SCORE = 32000;

// Poll bookkeeping and node counters (NodeCount itself is raised by make-move).
extern i64 LastPollNodeCount;
extern i64 QuiesceNodeCount;

// Tick (ms, the host's clock) at which the running search began.
extern i64 SearchStartTick;
// Time allotted to the current move, in ms.
extern double TargetTimeMs;
// Elapsed ms at which the running search stops whatever its budget says
// (infinity: none).
extern double SearchHardLimitMs;
// How many finished iterations in a row kept the same best move.
extern i32 BestMoveStability;
// Depth in plies of the running iteration.
extern i32 IterationDepth;
// Window of the running root search; nodes with this window are PV nodes.
extern i32 RootAlpha;
extern i32 RootBeta;

// A raised StopSearch ends the search unless the search is uninterruptible.
bool SearchStopped();

// depth in sixtieths of a ply (at least ONE_PLY), ply counted from the root
// position (1). root's Position is the position the tree was entered with;
// its evaluation context, hash-move cell and generator scratch are shared by
// every node. pos is only read.
int Search(EngineBoard* root, const Position* pos, int depth, int ply, int alpha, int beta);
int Quiesce(EngineBoard* root, const Position* pos, int depth, int ply, int alpha, int beta);

// Start-up values of the globals above.
void ResetSearchState();
