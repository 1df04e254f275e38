// Core records of the engine: squares, pieces, moves, positions and the
// working record that the generators, make-move, search and evaluation use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i16 = std::int16_t;
using i32 = std::int32_t;
using i64 = std::int64_t;

using Bitboard = u64;
using Move = i32;  // to 0-5, from 6-11, piece 12-14, captured 15-17, promotion 18-20

constexpr int WHITE = 0;
constexpr int BLACK = 1;

constexpr int NO_PIECE = 0;
constexpr int PAWN = 1;
constexpr int KNIGHT = 2;
constexpr int BISHOP = 3;
constexpr int ROOK = 4;
constexpr int QUEEN = 5;
constexpr int KING = 6;

// A legal position can have 218 moves; 256 leaves room for pseudo-legal ones.
constexpr int MAX_MOVES = 256;
constexpr int ONE_PLY = 60;
constexpr int MAX_PLY = 50;
constexpr int KEY_HISTORY_SIZE = 100;

// Game phases, in the order a game goes through them.
constexpr int PHASE_OPENING = 0;
constexpr int PHASE_MIDDLE_GAME = 1;
constexpr int PHASE_ENDGAME = 2;

enum Square : int {
    A1, B1, C1, D1, E1, F1, G1, H1,
    A2, B2, C2, D2, E2, F2, G2, H2,
    A3, B3, C3, D3, E3, F3, G3, H3,
    A4, B4, C4, D4, E4, F4, G4, H4,
    A5, B5, C5, D5, E5, F5, G5, H5,
    A6, B6, C6, D6, E6, F6, G6, H6,
    A7, B7, C7, D7, E7, F7, G7, H7,
    A8, B8, C8, D8, E8, F8, G8, H8,
};

constexpr int MoveTo(Move m) { return m & 63; }
constexpr int MoveFrom(Move m) { return (m >> 6) & 63; }
constexpr int MovePiece(Move m) { return (m >> 12) & 7; }
constexpr int MoveCaptured(Move m) { return (m >> 15) & 7; }
constexpr int MovePromotion(Move m) { return (m >> 18) & 7; }
constexpr Move MakeMoveCode(int from, int to, int piece, int captured = 0, int promotion = 0) {
    return to | (from << 6) | (piece << 12) | (captured << 15) | (promotion << 18);
}

struct Position {
    Bitboard Pieces[2][7];  // [colour][piece code]; [c][0] stays empty
    i32 EpSquare;
    i32 SavedEpSquare;
    u8 CastleShort[2];
    u8 CastleLong[2];
    u8 HasCastled[2];
    i32 PieceMaterial[2];
    i32 PawnMaterial[2];
    i32 KingSquare[2];
    u8 SideToMove;
    i32 GamePhase;  // PHASE_*
    u64 Key;
    u64 PawnKey;
    i32 FiftyMoveCounter;
    i32 NullMoveMade;
    i32 LastMove;
    i32 QueenMoves[2];
    i32 MajorCount[2];
    i32 MinorCount[2];
    i32 MoveCount[2];
    // Key after each move since the last irreversible one, by the fifty-move
    // counter; last, so that a copy can stop after the live entries.
    u64 KeyHistory[KEY_HISTORY_SIZE];
};

// The search's copy of a position: every field, and of KeyHistory the
// entries up to the fifty-move counter, the only ones make-move and the draw
// test read. The entries beyond keep what the destination held.
inline void CopyPosition(Position* to, const Position* from) {
    std::memcpy(static_cast<void*>(to), from, offsetof(Position, KeyHistory));
    const int counter = from->FiftyMoveCounter;
    const int last = counter < 0 ? 0 : counter < KEY_HISTORY_SIZE ? counter : KEY_HISTORY_SIZE - 1;
    // Four entries at a time (the size divides the history's): a few short
    // fixed copies beat a call for a variable length.
    static_assert(KEY_HISTORY_SIZE % 4 == 0);
    for (int i = 0; i <= last; i += 4) std::memcpy(&to->KeyHistory[i], &from->KeyHistory[i], 4 * sizeof(u64));
}

struct MoveList {
    Move Moves[MAX_MOVES];
    i32 Score[MAX_MOVES];
    i32 Last;  // index of the last move, count - 1
};

// Scratch fields of the move generator and make-move.
struct MoveGenState {
    i32 CapturedPiece;
    i32 Count;
    Bitboard CaptureTargets;
    i32 From;
    i32 To;
    i32 Piece;
    i32 SavedEp;
    u8 KingCapturable;
    i32 Promotion;
    Bitboard Own;
    Bitboard Enemy;
    Bitboard Occupied;
    Bitboard Empty;
    Bitboard Targets;
    Bitboard EpTarget;
};

// Scratch record of the evaluation.
struct EvalContext {
    u32 PawnInfo[2];
    Bitboard WhitePieces;
    Bitboard BlackPieces;
    Bitboard WeakPawns;
    Bitboard PassedPawns;
};

struct EngineBoard {
    Position Pos;
    MoveList List;
    MoveGenState Gen;
    EvalContext Eval;
    i32 HashMove;
};

struct HashEntry {
    u32 KeyLo;
    u32 KeyHi;
    u16 Info;  // bits 0-6 depth in plies, 7-8 bound type, 10-12 age
    i16 Score;
    i32 Move;
};
static_assert(sizeof(HashEntry) == 16, "HashEntry must be 16 bytes");

struct PawnHashEntry {
    u32 KeyLo;
    u32 KeyHi;
    i16 Score;
    u64 MaskA;
    u64 MaskB;
    i16 InfoA;
    i16 InfoB;
};
static_assert(sizeof(PawnHashEntry) == 40, "PawnHashEntry must be 40 bytes");

constexpr int HASH_EXACT = 1;
constexpr int HASH_UPPER = 2;
constexpr int HASH_LOWER = 3;
