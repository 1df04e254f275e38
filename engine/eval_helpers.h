// Small helpers shared by the evaluation's frame and its terms.
#pragma once

#include "bitboard.h"
#include "eval.h"
#include "globals.h"

// A whole evaluation leaves inside this bound whatever the weights: below
// the mate scores (beyond 31000) with room for the search's margins, so a
// static score never reads as a mate and never overflows.
inline constexpr i64 SCORE_LIMIT = 30'000;

// One colour's score of a single term leaves inside this bound.
inline constexpr i64 TERM_LIMIT = 100'000'000;

inline int ClampScore(i64 v) {
    if (v > SCORE_LIMIT) return static_cast<int>(SCORE_LIMIT);
    if (v < -SCORE_LIMIT) return static_cast<int>(-SCORE_LIMIT);
    return static_cast<int>(v);
}

inline int ClampTerm(i64 v) {
    if (v > TERM_LIMIT) return static_cast<int>(TERM_LIMIT);
    if (v < -TERM_LIMIT) return static_cast<int>(-TERM_LIMIT);
    return static_cast<int>(v);
}

// A term scaled by the positional weight.
inline i64 Positional(i64 term) { return ScaleTerm(term, WeightPositional); }

inline bool Has(Bitboard b, int sq) { return (b & SetMask[sq]) != 0; }
