#include "makemove.h"

#include "bitboard.h"
#include "globals.h"
#include "hash.h"
#include "movegen.h"

namespace {

inline bool ValidSquare(int sq) { return static_cast<unsigned>(sq) < 64; }

// Clears a castling right and takes its key out.
inline void DropRight(u8& right, u64& key, int keyIndex) {
    if (right) {
        right = 0;
        key ^= CastleKeys[keyIndex];
    }
}

// A rook leaving or being captured on its corner ends the right on that side.
inline void CornerTouched(Position* pos, int sq, u64& key) {
    switch (sq) {
        case A1: DropRight(pos->CastleLong[WHITE], key, 2); break;
        case H1: DropRight(pos->CastleShort[WHITE], key, 0); break;
        case A8: DropRight(pos->CastleLong[BLACK], key, 3); break;
        case H8: DropRight(pos->CastleShort[BLACK], key, 1); break;
        default: break;
    }
}

// The fifty-move counter and the repetition count after a reversible move.
inline int Reversible(Position* pos, u64 key) {
    int counter = pos->FiftyMoveCounter + 1;
    if (counter < 1) counter = 1;
    pos->FiftyMoveCounter = counter;
    if (counter >= KEY_HISTORY_SIZE) return MAKE_FIFTY_MOVES;
    pos->KeyHistory[counter] = key;
    if (counter < 4) return MAKE_NORMAL;
    int n = 1;
    for (int i = 0; i < counter; ++i)
        if (pos->KeyHistory[i] == key) ++n;
    if (n >= 3) return MAKE_THREEFOLD;
    if (n == 2) return MAKE_REPEATED;
    return MAKE_NORMAL;
}

}  // namespace

int MakeMove(EngineBoard* scratch, Move move, Position* pos) {
    const int to = MoveTo(move);
    const int from = MoveFrom(move);
    const int moved = MovePiece(move);
    const int captured = MoveCaptured(move);
    const int promotion = MovePromotion(move);
    const int c = pos->SideToMove & 1;
    const int o = c ^ 1;

    MoveGenState& g = scratch->Gen;
    g.From = from;
    g.To = to;
    g.Piece = moved;
    g.CapturedPiece = captured;
    const int savedEp = pos->EpSquare;
    g.SavedEp = savedEp;
    pos->NullMoveMade = 0;
    pos->LastMove = move;

    u64 key = pos->Key ^ SideKey;
    if (savedEp != -1) {
        if (ValidSquare(savedEp)) key ^= EnPassantKeys[savedEp];
        pos->EpSquare = -1;
    }

    Bitboard* own = pos->Pieces[c];
    const Bitboard fromTo = Bit(from) | Bit(to);
    switch (moved) {
        case PAWN: {
            const u64 lifted = PieceKeys[PAWN][c][from];
            key ^= lifted;
            pos->PawnKey ^= lifted;
            if (promotion != 0) {
                own[PAWN] &= ClearMask[from];
                own[promotion] |= SetMask[to];
                key ^= PieceKeys[promotion][c][to];
                if (promotion == PAWN) pos->PawnKey ^= PieceKeys[PAWN][c][to];
                g.Piece = promotion;
                pos->PawnMaterial[c] -= PieceValue[PAWN];
                pos->PieceMaterial[c] += PieceValue[promotion];
                if (promotion == KNIGHT || promotion == BISHOP)
                    pos->MinorCount[c] += 1;
                else if (promotion == ROOK)
                    pos->MajorCount[c] += 1;
                else if (promotion == QUEEN)
                    pos->MajorCount[c] += 2;
            } else {
                own[PAWN] ^= fromTo;
                const u64 placed = PieceKeys[PAWN][c][to];
                key ^= placed;
                pos->PawnKey ^= placed;
                if (to - from == 16 || from - to == 16) {
                    const int ep = c == WHITE ? from + 8 : from - 8;
                    pos->EpSquare = ep;
                    key ^= EnPassantKeys[ep];
                }
            }
            break;
        }
        case KING:
            DropRight(pos->CastleLong[c], key, 2 + c);
            DropRight(pos->CastleShort[c], key, c);
            pos->KingSquare[c] = to;
            own[KING] ^= fromTo;
            key ^= PieceKeys[KING][c][from] ^ PieceKeys[KING][c][to];
            if (to - from == 2 || from - to == 2) {
                const int rookFrom = from < to ? to + 1 : to - 2;
                const int rookTo = from < to ? to - 1 : to + 1;
                own[ROOK] = (own[ROOK] & ClearMask[rookFrom]) | SetMask[rookTo];
                key ^= PieceKeys[ROOK][c][rookFrom] ^ PieceKeys[ROOK][c][rookTo];
                pos->CastleShort[c] = 0;
                pos->CastleLong[c] = 0;
                pos->HasCastled[c] = 1;
                pos->Key = key;
                pos->SideToMove = static_cast<u8>(o);
                NodeCount += 1;
                return Reversible(pos, key);
            }
            break;
        case ROOK:
            CornerTouched(pos, from, key);
            own[ROOK] ^= fromTo;
            key ^= PieceKeys[ROOK][c][from] ^ PieceKeys[ROOK][c][to];
            break;
        case QUEEN:
            pos->QueenMoves[c] += 1;
            [[fallthrough]];
        default:
            own[moved] ^= fromTo;
            key ^= PieceKeys[moved][c][from] ^ PieceKeys[moved][c][to];
            break;
    }

    if (captured != 0) {
        // En passant only when a pawn lands on the empty square behind the
        // pawn that just stepped twice.
        const bool enPassant = moved == PAWN && to == savedEp && !(OccupiedBy(pos, o) & Bit(to));
        if (enPassant) {
            const int victim = c == WHITE ? to - 8 : to + 8;
            pos->Pieces[o][PAWN] &= ClearMask[victim];
            key ^= PieceKeys[PAWN][o][victim];
            pos->PawnKey ^= PieceKeys[PAWN][o][victim];
            g.CapturedPiece = PAWN;
            pos->PawnMaterial[o] -= PawnValue;
        } else {
            if (captured == KNIGHT || captured == BISHOP)
                pos->MinorCount[o] -= 1;
            else if (captured == ROOK)
                pos->MajorCount[o] -= 1;
            else if (captured == QUEEN)
                pos->MajorCount[o] -= 2;
            pos->Pieces[o][captured] &= ClearMask[to];
            key ^= PieceKeys[captured][o][to];
            if (captured == PAWN) {
                pos->PawnKey ^= PieceKeys[PAWN][o][to];
                pos->PawnMaterial[o] -= PieceValue[PAWN];
            } else {
                pos->PieceMaterial[o] -= PieceValue[captured];
            }
            CornerTouched(pos, to, key);
            if (captured == KING) {
                pos->Key = key;
                return MAKE_KING_CAPTURED;
            }
        }
    }

    pos->Key = key;
    pos->SideToMove = static_cast<u8>(o);
    NodeCount += 1;

    if (captured != 0 || moved == PAWN) {
        pos->FiftyMoveCounter = 0;
        pos->KeyHistory[0] = key;
        return MAKE_NORMAL;
    }
    return Reversible(pos, key);
}

int MakeNullMove(EngineBoard*, Position* pos) {
    pos->SavedEpSquare = pos->EpSquare;
    pos->Key ^= SideKey;
    pos->SideToMove ^= 1;
    pos->NullMoveMade = 1;
    if (pos->EpSquare != -1) {
        if (ValidSquare(pos->EpSquare)) pos->Key ^= EnPassantKeys[pos->EpSquare];
        pos->EpSquare = -1;
    }
    return 1;
}

int UnmakeNullMove(EngineBoard*, Position* pos) {
    pos->EpSquare = pos->SavedEpSquare;
    pos->Key ^= SideKey;
    pos->SideToMove ^= 1;
    pos->NullMoveMade = 0;
    if (pos->EpSquare != -1 && ValidSquare(pos->EpSquare)) pos->Key ^= EnPassantKeys[pos->EpSquare];
    return 1;
}

int CheckDraw(const Position* pos, int ply) {
    if (pos->FiftyMoveCounter >= KEY_HISTORY_SIZE) return DRAW_FIFTY_MOVES;
    const int limit = pos->FiftyMoveCounter;
    int n = 1;
    for (int i = 0; i < limit; ++i)
        if (pos->KeyHistory[i] == pos->Key) ++n;
    if (n > 2 || (n > 1 && ply > 2)) return DRAW_REPETITION;
    return DRAW_NONE;
}

namespace {

// The move made on a copy leaves the mover's king safe. Leaves NodeCount as
// it was.
bool LeavesKingSafe(const Position& pos, Move move) {
    EngineBoard scratch;
    scratch.Pos = pos;
    const i64 nodes = NodeCount;
    const bool safe = MakeMoveKeepsKingSafe(&scratch, move, &scratch.Pos);
    NodeCount = nodes;
    return safe;
}

}  // namespace

bool IsLegalMove(const Position& pos, Move move) {
    if (move == 0) return false;
    EngineBoard probe;
    probe.Pos = pos;
    if (GenerateMoves(&probe) < 1) return false;
    for (int i = 0; i <= probe.List.Last; ++i)
        if (probe.List.Moves[i] == move) return LeavesKingSafe(pos, move);
    return false;
}

int LegalMoveCount(const Position& pos, Move* last) {
    EngineBoard scratch;
    scratch.Pos = pos;
    if (GenerateAll(&scratch) < 1) return 0;
    int count = 0;
    for (int i = 0; i <= scratch.List.Last; ++i) {
        if (!LeavesKingSafe(pos, scratch.List.Moves[i])) continue;
        ++count;
        if (last) *last = scratch.List.Moves[i];
    }
    return count;
}
