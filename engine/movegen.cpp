#include "movegen.h"

#include <bit>

#include "bitboard.h"
#include "globals.h"

const Bitboard SeventhRank[2] = {0x00FF000000000000ULL, 0x000000000000FF00ULL};

i32 QuiesceMargin;  // set by ResetMoveGenState

void ResetMoveGenState() { QuiesceMargin = 0; }

namespace {

// The start-up values are the reset's.
[[maybe_unused]] const bool moveGenStateSet = (ResetMoveGenState(), true);

constexpr Bitboard RANK_1 = 0x00000000000000FFULL;
constexpr Bitboard RANK_8 = 0xFF00000000000000ULL;
constexpr Bitboard ALL_SQUARES = ~Bitboard{0};

// A pawn standing on its own last rank has nowhere to go and gets no moves.
constexpr Bitboard MOVABLE_PAWNS[2] = {~RANK_8, ~RANK_1};

inline int SideOf(const Position* p) { return p->SideToMove & 1; }

// The king's square when it holds that colour's king, else -1.
inline int KingSquareOf(const Position* p, int c) {
    const int ks = p->KingSquare[c];
    if (static_cast<unsigned>(ks) >= 64 || !(p->Pieces[c][KING] & Bit(ks))) return -1;
    return ks;
}

// The en-passant square counts only when it lies behind a pawn of the side
// that just moved and is itself empty.
inline Bitboard EpTargetOf(const Position* p, int c, Bitboard occupied) {
    const int ep = p->EpSquare;
    if (c == WHITE) {
        if (ep >= A6 && ep <= H6 && !(occupied & Bit(ep)) && (p->Pieces[BLACK][PAWN] & Bit(ep - 8)))
            return Bit(ep);
    } else {
        if (ep >= A3 && ep <= H3 && !(occupied & Bit(ep)) && (p->Pieces[WHITE][PAWN] & Bit(ep + 8)))
            return Bit(ep);
    }
    return 0;
}

inline void SetUpBoards(MoveGenState& g, const Position* p) {
    const int c = SideOf(p);
    g.Own = OccupiedBy(p, c);
    g.Enemy = OccupiedBy(p, c ^ 1);
    g.Occupied = g.Own | g.Enemy;
    g.Empty = ~g.Occupied;
    g.Targets = g.Empty | g.Enemy;
    g.EpTarget = EpTargetOf(p, c, g.Occupied);
}

// One ray up to and including its first blocker. Rays 0 and 1 of both ray
// tables run toward higher squares, rays 2 and 3 toward lower ones.
inline Bitboard RayUp(const Bitboard (&rays)[64][4], int sq, int d, Bitboard occupied) {
    Bitboard r = rays[sq][d];
    const Bitboard blockers = r & occupied;
    if (blockers) r ^= rays[std::countr_zero(blockers)][d];
    return r;
}

inline Bitboard RayDown(const Bitboard (&rays)[64][4], int sq, int d, Bitboard occupied) {
    Bitboard r = rays[sq][d];
    const Bitboard blockers = r & occupied;
    if (blockers) r ^= rays[63 - std::countl_zero(blockers)][d];
    return r;
}

inline Bitboard RookReach(int sq, Bitboard occupied) {
    return RayUp(RookRays, sq, 0, occupied) | RayUp(RookRays, sq, 1, occupied) |
           RayDown(RookRays, sq, 2, occupied) | RayDown(RookRays, sq, 3, occupied);
}

inline Bitboard BishopReach(int sq, Bitboard occupied) {
    return RayUp(BishopRays, sq, 0, occupied) | RayUp(BishopRays, sq, 1, occupied) |
           RayDown(BishopRays, sq, 2, occupied) | RayDown(BishopRays, sq, 3, occupied);
}

// Whether the first piece met along a ray is one of the sliders.
inline bool FirstUp(Bitboard ray, Bitboard occupied, Bitboard sliders) {
    if (!(ray & sliders)) return false;
    const Bitboard blockers = ray & occupied;
    return (sliders >> std::countr_zero(blockers)) & 1;
}

inline bool FirstDown(Bitboard ray, Bitboard occupied, Bitboard sliders) {
    if (!(ray & sliders)) return false;
    const Bitboard blockers = ray & occupied;
    return (sliders >> (63 - std::countl_zero(blockers))) & 1;
}

// Whether colour a attacks sq, blockers of either colour stopping sliders.
inline bool AttackedBy(const Position* p, int sq, int a, Bitboard occupied) {
    const Bitboard* b = p->Pieces[a];
    if (KnightAttacks[sq] & b[KNIGHT]) return true;
    if (KingAttacks[sq] & b[KING]) return true;
    if (PawnAttacks[a][sq] & b[PAWN]) return true;
    const Bitboard diagonal = b[BISHOP] | b[QUEEN];
    if (BishopAttacksEmpty[sq] & diagonal) {
        if (FirstUp(BishopRays[sq][0], occupied, diagonal) || FirstUp(BishopRays[sq][1], occupied, diagonal) ||
            FirstDown(BishopRays[sq][2], occupied, diagonal) || FirstDown(BishopRays[sq][3], occupied, diagonal))
            return true;
    }
    const Bitboard straight = b[ROOK] | b[QUEEN];
    if (RookAttacksEmpty[sq] & straight) {
        if (FirstUp(RookRays[sq][0], occupied, straight) || FirstUp(RookRays[sq][1], occupied, straight) ||
            FirstDown(RookRays[sq][2], occupied, straight) || FirstDown(RookRays[sq][3], occupied, straight))
            return true;
    }
    return false;
}

// Stores moves into the record's list exactly as AddMove does.
struct Emitter {
    Move* moves;
    int count;
    bool kingCapturable;
    const Bitboard* enemyPieces;
    Bitboard enemy;
    Bitboard epTarget;

    inline int CapturedOn(Bitboard bit) const {
        if (enemyPieces[PAWN] & bit) return PAWN;
        if (enemyPieces[KNIGHT] & bit) return KNIGHT;
        if (enemyPieces[BISHOP] & bit) return BISHOP;
        if (enemyPieces[ROOK] & bit) return ROOK;
        if (enemyPieces[QUEEN] & bit) return QUEEN;
        if (enemyPieces[KING] & bit) return KING;
        return NO_PIECE;
    }

    inline void Add(int from, int to, int piece, int promotion) {
        if (count >= MAX_MOVES) return;
        const Bitboard bit = Bit(to);
        int captured = NO_PIECE;
        if (enemy & bit) {
            captured = CapturedOn(bit);
            if (captured == KING) {
                kingCapturable = true;
                return;
            }
        } else if (piece == PAWN && (epTarget & bit)) {
            captured = PAWN;
        }
        moves[count++] = to | (from << 6) | (piece << 12) | (captured << 15) | (promotion << 18);
    }

    inline void AddTargets(int from, int piece, Bitboard targets) {
        while (targets) Add(from, PopBit(targets), piece, 0);
    }

    inline void AddPromotions(int from, int to) {
        Add(from, to, PAWN, QUEEN);
        Add(from, to, PAWN, ROOK);
        Add(from, to, PAWN, BISHOP);
        Add(from, to, PAWN, KNIGHT);
    }
};

inline Emitter StartGeneration(EngineBoard* r) {
    MoveGenState& g = r->Gen;
    g.Count = 0;
    g.KingCapturable = 0;
    SetUpBoards(g, &r->Pos);
    const int c = SideOf(&r->Pos);
    return Emitter{r->List.Moves, 0, false, r->Pos.Pieces[c ^ 1], g.Enemy, g.EpTarget};
}

inline int Finish(EngineBoard* r, const Emitter& e) {
    r->Gen.Count = e.count;
    r->Gen.KingCapturable = e.kingCapturable ? 1 : 0;
    r->List.Last = e.count - 1;
    if (e.kingCapturable) return -1;
    return e.count == 0 ? -2 : e.count;
}

template <int C>
constexpr int Ahead(int sq) {
    return C == WHITE ? sq + 8 : sq - 8;
}

template <int Piece>
inline Bitboard PieceReach(int from, Bitboard occupied) {
    if constexpr (Piece == KNIGHT) return KnightAttacks[from];
    else if constexpr (Piece == BISHOP) return BishopReach(from, occupied);
    else if constexpr (Piece == ROOK) return RookReach(from, occupied);
    else return RookReach(from, occupied) | BishopReach(from, occupied);
}

// The reach of a slider that ends on few targets: only the rays that hold
// one of them are walked.
inline Bitboard RaysToTargets(const Bitboard (&rays)[64][4], int sq, Bitboard occupied, Bitboard targets) {
    Bitboard r = 0;
    if (rays[sq][0] & targets) r |= RayUp(rays, sq, 0, occupied);
    if (rays[sq][1] & targets) r |= RayUp(rays, sq, 1, occupied);
    if (rays[sq][2] & targets) r |= RayDown(rays, sq, 2, occupied);
    if (rays[sq][3] & targets) r |= RayDown(rays, sq, 3, occupied);
    return r & targets;
}

template <int Piece>
inline Bitboard SparseReach(int from, Bitboard occupied, Bitboard targets) {
    if constexpr (Piece == KNIGHT) return KnightAttacks[from] & targets;
    else if constexpr (Piece == BISHOP) return RaysToTargets(BishopRays, from, occupied, targets);
    else if constexpr (Piece == ROOK) return RaysToTargets(RookRays, from, occupied, targets);
    else return RaysToTargets(RookRays, from, occupied, targets) | RaysToTargets(BishopRays, from, occupied, targets);
}

// The moves of every piece of one kind to the targets, squares ascending;
// false once a king capture has turned up. Sparse: the targets are a few
// squares (captures), so that testing each ray first saves work.
template <int Piece, bool Sparse = false>
inline bool AddPieceMoves(Emitter& e, Bitboard pieces, Bitboard occupied, Bitboard targets) {
    while (pieces) {
        const int from = PopBit(pieces);
        if constexpr (Sparse)
            e.AddTargets(from, Piece, SparseReach<Piece>(from, occupied, targets));
        else
            e.AddTargets(from, Piece, PieceReach<Piece>(from, occupied) & targets);
    }
    return !e.kingCapturable;
}

// The same for the pieces that are not pinned to their king.
template <int Piece, int C>
inline bool AddUnpinnedMoves(Emitter& e, EngineBoard* r, Bitboard pieces, Bitboard occupied, Bitboard targets) {
    while (pieces) {
        const int from = PopBit(pieces);
        if (FindPinner(r, &r->Pos, from, C)) continue;
        e.AddTargets(from, Piece, PieceReach<Piece>(from, occupied) & targets);
    }
    return !e.kingCapturable;
}

// Knights, bishops and rooks, in that order, up to a king capture.
template <bool Sparse = false>
inline bool AddMinorAndRookMoves(Emitter& e, const Bitboard* own, Bitboard occupied, Bitboard targets) {
    return AddPieceMoves<KNIGHT, Sparse>(e, own[KNIGHT], occupied, targets) &&
           AddPieceMoves<BISHOP, Sparse>(e, own[BISHOP], occupied, targets) &&
           AddPieceMoves<ROOK, Sparse>(e, own[ROOK], occupied, targets);
}

// One pawn's moves: pushes that land on block, captures onto captures (the
// en-passant square among them where it may be taken), promotions queen first.
template <int C>
inline void AddPawnMoves(Emitter& e, int from, Bitboard empty, Bitboard block, Bitboard captures) {
    const Bitboard fromBit = Bit(from);
    if (fromBit & SeventhRank[C]) {
        const Bitboard push = PawnPushes[from][C][0];
        if (push & empty & block) e.AddPromotions(from, std::countr_zero(push));
        // The en-passant square is empty, so this leaves it out.
        for (Bitboard caps = PawnPushes[from][C][1] & captures & e.enemy; caps;) e.AddPromotions(from, PopBit(caps));
    } else {
        const int ahead = Ahead<C>(from);
        if (empty & Bit(ahead)) {
            if (block & Bit(ahead)) e.Add(from, ahead, PAWN, 0);
            if (fromBit & SeventhRank[C ^ 1]) {
                const int twoAhead = Ahead<C>(ahead);
                if (empty & block & Bit(twoAhead)) e.Add(from, twoAhead, PAWN, 0);
            }
        }
        e.AddTargets(from, PAWN, PawnPushes[from][C][1] & captures);
    }
}

template <int C>
int GenerateMovesFor(EngineBoard* r) {
    Emitter e = StartGeneration(r);
    const Position* p = &r->Pos;
    const MoveGenState& g = r->Gen;
    const Bitboard* own = p->Pieces[C];
    const Bitboard occupied = g.Occupied;
    const Bitboard empty = g.Empty;
    const Bitboard targets = g.Targets;

    if (!AddPieceMoves<QUEEN>(e, own[QUEEN], occupied, targets) || !AddMinorAndRookMoves(e, own, occupied, targets))
        return Finish(r, e);

    const Bitboard pawnCaptureTargets = e.enemy | e.epTarget;
    for (Bitboard b = own[PAWN] & MOVABLE_PAWNS[C]; b;)
        AddPawnMoves<C>(e, PopBit(b), empty, ALL_SQUARES, pawnCaptureTargets);
    if (e.kingCapturable) return Finish(r, e);

    const int king = KingSquareOf(p, C);
    if (king < 0) return Finish(r, e);
    e.AddTargets(king, KING, KingAttacks[king] & targets);

    // Castling needs the king and the rook on their home squares.
    constexpr int home = C == WHITE ? E1 : E8;
    if (king != home) return Finish(r, e);
    constexpr int base = C == WHITE ? 0 : 56;
    constexpr Bitboard shortEmpty = Bitboard{0x60} << base;  // f, g
    constexpr Bitboard longEmpty = Bitboard{0x0E} << base;   // b, c, d
    int inCheck = -1;  // tested at most once
    if (p->CastleShort[C] && (own[ROOK] & Bit(base + 7)) && (empty & shortEmpty) == shortEmpty) {
        inCheck = InCheck(r, p, 1) ? 1 : 0;
        if (!inCheck && !IsSquareAttacked(r, p, base + 5, 1)) e.Add(home, base + 6, KING, 0);
    }
    if (p->CastleLong[C] && (own[ROOK] & Bit(base)) && (empty & longEmpty) == longEmpty) {
        if (inCheck < 0) inCheck = InCheck(r, p, 1) ? 1 : 0;
        if (!inCheck && !IsSquareAttacked(r, p, base + 3, 1)) e.Add(home, base + 2, KING, 0);
    }
    return Finish(r, e);
}

// Narrows the capture targets by the quiescence margin; the king stays a
// target in every row.
inline Bitboard MarginTargets(const Bitboard* enemy, Bitboard all, int m) {
    if (m < PawnValue) return all;
    const Bitboard king = enemy[KING];
    if (m < KnightValue) return all & ~enemy[PAWN];
    if (m < BishopValue) return enemy[BISHOP] | enemy[ROOK] | enemy[QUEEN] | king;
    if (m < RookValue) return enemy[ROOK] | enemy[QUEEN] | king;
    if (m < QueenValue) return enemy[QUEEN] | king;
    return all;
}

template <int C>
int GenerateCapturesFor(EngineBoard* r) {
    Emitter e = StartGeneration(r);
    const Position* p = &r->Pos;
    MoveGenState& g = r->Gen;
    const Bitboard* own = p->Pieces[C];
    const Bitboard occupied = g.Occupied;
    const Bitboard empty = g.Empty;

    g.Enemy = MarginTargets(p->Pieces[C ^ 1], g.Enemy, QuiesceMargin);
    g.CaptureTargets = g.Enemy;
    e.enemy = g.Enemy;
    const Bitboard targets = g.CaptureTargets;

    if (!AddPieceMoves<QUEEN, true>(e, own[QUEEN], occupied, targets)) return Finish(r, e);

    const Bitboard pawnCaptureTargets = targets | e.epTarget;
    for (Bitboard b = own[PAWN] & MOVABLE_PAWNS[C]; b;) {
        const int from = PopBit(b);
        if (Bit(from) & SeventhRank[C]) {
            const Bitboard push = PawnPushes[from][C][0];
            if (push & empty) e.Add(from, std::countr_zero(push), PAWN, QUEEN);
            for (Bitboard caps = PawnPushes[from][C][1] & targets; caps;) e.Add(from, PopBit(caps), PAWN, QUEEN);
        } else {
            e.AddTargets(from, PAWN, PawnPushes[from][C][1] & pawnCaptureTargets);
        }
    }
    if (e.kingCapturable || !AddMinorAndRookMoves<true>(e, own, occupied, targets)) return Finish(r, e);

    const int king = KingSquareOf(p, C);
    if (king >= 0) e.AddTargets(king, KING, KingAttacks[king] & targets);
    return Finish(r, e);
}

template <int C>
int GenerateEvasionsFor(EngineBoard* r) {
    const Position* p = &r->Pos;
    const int king = KingSquareOf(p, C);
    if (king < 0) return GenerateMovesFor<C>(r);

    Emitter e = StartGeneration(r);
    const MoveGenState& g = r->Gen;
    const Bitboard checkers = AttackersOf(r, p, king, C ^ 1);
    // Not in check: every move answers, so all of them are listed.
    if (!checkers) return GenerateMovesFor<C>(r);

    const Bitboard* own = p->Pieces[C];
    const Bitboard* enemyPieces = p->Pieces[C ^ 1];
    const Bitboard occupied = g.Occupied;
    const Bitboard empty = g.Empty;
    const Bitboard targets = g.Targets;
    const int s = BitIndex(checkers);
    const bool pawnChecks = (enemyPieces[PAWN] & Bit(s)) != 0;

    if (!(checkers & (checkers - 1))) {
        const Bitboard block = Between[king][s] | checkers;

        Bitboard pawnCaptures = e.enemy & block;
        if (e.epTarget && pawnChecks) pawnCaptures |= e.epTarget;
        for (Bitboard b = own[PAWN] & MOVABLE_PAWNS[C]; b;) {
            const int from = PopBit(b);
            if (!FindPinner(r, p, from, C)) AddPawnMoves<C>(e, from, empty, block, pawnCaptures);
        }

        const Bitboard answers = targets & block;
        if (!AddUnpinnedMoves<KNIGHT, C>(e, r, own[KNIGHT], occupied, answers) ||
            !AddUnpinnedMoves<BISHOP, C>(e, r, own[BISHOP], occupied, answers) ||
            !AddUnpinnedMoves<ROOK, C>(e, r, own[ROOK], occupied, answers) ||
            !AddUnpinnedMoves<QUEEN, C>(e, r, own[QUEEN], occupied, answers))
            return Finish(r, e);
    }

    // King steps. The attack test still sees the king on its square, so a
    // step along the checking line away from the checker is left out.
    const int line = Direction[s][king];
    for (Bitboard steps = KingAttacks[king] & targets; steps;) {
        const int t = PopBit(steps);
        if (!pawnChecks && Direction[king][t] == line) continue;
        if (!IsSquareAttacked(r, p, t, 1)) e.Add(king, t, KING, 0);
    }
    return Finish(r, e);
}

}  // namespace

int GenerateMoves(EngineBoard* record) {
    return SideOf(&record->Pos) == WHITE ? GenerateMovesFor<WHITE>(record) : GenerateMovesFor<BLACK>(record);
}

int GenerateCaptures(EngineBoard* record) {
    return SideOf(&record->Pos) == WHITE ? GenerateCapturesFor<WHITE>(record) : GenerateCapturesFor<BLACK>(record);
}

int GenerateEvasions(EngineBoard* record) {
    return SideOf(&record->Pos) == WHITE ? GenerateEvasionsFor<WHITE>(record)
                                         : GenerateEvasionsFor<BLACK>(record);
}

int GenerateAll(EngineBoard* record) {
    return InCheck(record, &record->Pos, 1) ? GenerateEvasions(record) : GenerateMoves(record);
}

void AddMove(EngineBoard* record) {
    MoveGenState& g = record->Gen;
    Emitter e{record->List.Moves, g.Count, false, record->Pos.Pieces[SideOf(&record->Pos) ^ 1], g.Enemy,
              g.EpTarget};
    if (static_cast<unsigned>(g.To) >= 64 || static_cast<unsigned>(g.From) >= 64) return;
    e.Add(g.From, g.To, g.Piece & 7, g.Promotion & 7);
    g.Count = e.count;
    if (e.kingCapturable) g.KingCapturable = 1;
}

void AddMovesToTargets(EngineBoard* record, Bitboard targets) {
    while (targets) {
        record->Gen.To = PopBit(targets);
        AddMove(record);
    }
}

Bitboard RookAttacks(const EngineBoard* record, int square) {
    return RookReach(square, record->Gen.Occupied) & record->Gen.Targets;
}

Bitboard BishopAttacks(const EngineBoard* record, int square) {
    return BishopReach(square, record->Gen.Occupied) & record->Gen.Targets;
}

Bitboard QueenAttacks(const EngineBoard* record, int square) {
    const Bitboard occupied = record->Gen.Occupied;
    return (RookReach(square, occupied) | BishopReach(square, occupied)) & record->Gen.Targets;
}

Bitboard AttackersOf(EngineBoard* record, const Position* pos, int square, u8 colour) {
    const Bitboard* b = pos->Pieces[colour & 1];
    const Bitboard q = QueenAttacks(record, square);
    return (PawnAttacks[colour & 1][square] & b[PAWN]) | (KnightAttacks[square] & b[KNIGHT]) |
           (KingAttacks[square] & b[KING]) | (q & b[QUEEN]) | (q & RookAttacksEmpty[square] & b[ROOK]) |
           (q & BishopAttacksEmpty[square] & b[BISHOP]);
}

Bitboard FindPinner(EngineBoard* record, const Position* pos, int square, u8 colour) {
    const int c = colour & 1;
    const int king = KingSquareOf(pos, c);
    if (king < 0) return 0;
    const int d = Direction[king][square];
    if (d == 0) return 0;
    const Bitboard occupied = record->Gen.Occupied;
    if (Between[king][square] & occupied) return 0;
    const Bitboard* enemy = pos->Pieces[c ^ 1];
    Bitboard sliders;
    if (d <= 4)
        sliders = RookRays[king][d - 1] & (enemy[ROOK] | enemy[QUEEN]);
    else
        sliders = BishopRays[king][d - 5] & (enemy[BISHOP] | enemy[QUEEN]);
    if (!sliders) return 0;
    // The slider nearest to the king: rays east, north, north-east and
    // north-west run toward higher squares.
    const bool up = d == 1 || d == 2 || d == 5 || d == 6;
    const int pinner = up ? std::countr_zero(sliders) : 63 - std::countl_zero(sliders);
    return (Between[square][pinner] & occupied) ? 0 : 1;
}

bool InCheck(EngineBoard* record, const Position* pos, u8 flag) {
    MoveGenState& g = record->Gen;
    SetUpBoards(g, pos);
    g.Targets = ALL_SQUARES;
    const int side = SideOf(pos);
    const int k = flag ? side : side ^ 1;
    const int king = KingSquareOf(pos, k);
    if (king < 0) return false;
    return AttackedBy(pos, king, k ^ 1, g.Occupied);
}

bool IsSquareAttacked(EngineBoard* record, const Position* pos, int square, u8 flag) {
    MoveGenState& g = record->Gen;
    SetUpBoards(g, pos);
    g.Targets = ALL_SQUARES;
    if (static_cast<unsigned>(square) >= 64) return false;
    const int side = SideOf(pos);
    const int a = flag ? side ^ 1 : side;
    return AttackedBy(pos, square, a, g.Occupied);
}
