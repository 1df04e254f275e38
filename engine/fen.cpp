#include "fen.h"

#include <climits>
#include <cstring>

#include "bitboard.h"
#include "hash.h"
#include "movegen.h"
#include "movetext.h"

namespace {

constexpr int MAX_CLOCK = 100;
constexpr Bitboard BACK_RANKS = 0xFF000000000000FFULL;

int PieceCode(char c) {
    switch (c) {
        case 'P': case 'p': return PAWN;
        case 'N': case 'n': return KNIGHT;
        case 'B': case 'b': return BISHOP;
        case 'R': case 'r': return ROOK;
        case 'Q': case 'q': return QUEEN;
        case 'K': case 'k': return KING;
        default: return NO_PIECE;
    }
}

Bitboard Occupied(const Position* p) {
    Bitboard all = 0;
    for (int c = 0; c < 2; ++c)
        for (int t = PAWN; t <= KING; ++t) all |= p->Pieces[c][t];
    return all;
}

// The fields after the placement: side to move, castling letters, an
// en-passant square name and the half-move clock, from the text that
// follows the square completing the board.
void ReadRest(Position* p, std::string rest, bool* clockRead) {
    if (rest.size() < 2) return;
    if (rest[0] == '/') rest.erase(0, 1);
    if (rest.size() >= 2 && (rest[1] == 'b' || rest[1] == 'B'))
        p->SideToMove = BLACK;
    else
        p->SideToMove = WHITE;

    const std::size_t end = rest.size() < 15 ? rest.size() : 15;
    std::size_t i = 3;
    while (i < end) {
        const char c = rest[i];
        if (c == 'K') {
            p->CastleShort[WHITE] = 1;
        } else if (c == 'Q') {
            p->CastleLong[WHITE] = 1;
        } else if (c == 'k') {
            p->CastleShort[BLACK] = 1;
        } else if (c == 'q') {
            p->CastleLong[BLACK] = 1;
        } else if (c >= 'a' && c <= 'h' && i + 1 < rest.size()) {
            if (p->EpSquare == -1) p->EpSquare = SquareFromName(c, rest[i + 1]);
            ++i;  // the square name's second character
        } else if (c >= '0' && c <= '9') {
            std::size_t j = i;
            long long value = 0;
            bool fits = true;
            while (j < rest.size() && rest[j] >= '0' && rest[j] <= '9') {
                if (fits) {
                    value = value * 10 + (rest[j] - '0');
                    if (value > INT_MAX) fits = false;
                }
                ++j;
            }
            if (!*clockRead) {
                // A number too long for an int reads as 0.
                p->FiftyMoveCounter = fits ? static_cast<int>(value > MAX_CLOCK ? MAX_CLOCK : value) : 0;
                *clockRead = true;
            }
            i = j;  // the character after the run is passed over below
        }
        ++i;
    }
}

// Rights whose king and rook have left their squares mean nothing.
void DropHomelessRights(Position* p) {
    const Bitboard wk = p->Pieces[WHITE][KING], wr = p->Pieces[WHITE][ROOK];
    const Bitboard bk = p->Pieces[BLACK][KING], br = p->Pieces[BLACK][ROOK];
    if (!(wk & Bit(E1)) || !(wr & Bit(H1))) p->CastleShort[WHITE] = 0;
    if (!(wk & Bit(E1)) || !(wr & Bit(A1))) p->CastleLong[WHITE] = 0;
    if (!(bk & Bit(E8)) || !(br & Bit(H8))) p->CastleShort[BLACK] = 0;
    if (!(bk & Bit(E8)) || !(br & Bit(A8))) p->CastleLong[BLACK] = 0;
}

// The en-passant square stays only where the side that just moved has a
// pawn in front of it and it and the square behind it are empty.
void CheckEpSquare(Position* p) {
    const int ep = p->EpSquare;
    if (ep == -1) return;
    p->EpSquare = -1;
    if (ep < 0 || ep > 63) return;
    const Bitboard occupied = Occupied(p);
    if (p->SideToMove == BLACK) {
        if (ep < A3 || ep > H3) return;
        if (!(p->Pieces[WHITE][PAWN] & Bit(ep + 8)) || (occupied & (Bit(ep) | Bit(ep - 8)))) return;
    } else {
        if (ep < A6 || ep > H6) return;
        if (!(p->Pieces[BLACK][PAWN] & Bit(ep - 8)) || (occupied & (Bit(ep) | Bit(ep + 8)))) return;
    }
    p->EpSquare = ep;
}

}  // namespace

bool IsPlacementCharacter(char c) { return c != '\0' && std::strchr("NBRQKnbrqk12345678/Pp", c) != nullptr; }

int ReadFen(Position* p, const std::string& text) {
    for (auto& colour : p->Pieces)
        for (auto& b : colour) b = 0;
    p->CastleShort[WHITE] = p->CastleShort[BLACK] = 0;
    p->CastleLong[WHITE] = p->CastleLong[BLACK] = 0;
    bool clockRead = false;

    // Placement, rank 8 down to rank 1.
    int square = A8;
    int rankStart = A8;
    int counted = 0;
    std::size_t at = 0;
    while (square >= 0 && counted < 64 && at < text.size()) {
        while (at < text.size() && !IsPlacementCharacter(text[at])) ++at;
        if (at == text.size()) break;
        const char c = text[at++];
        if (c == '/') {
            if (square % 8 != 0) return FEN_REFUSED;
            square -= 16;
            rankStart = square;
            continue;
        }
        const bool digit = c >= '1' && c <= '8';
        const int width = digit ? c - '0' : 1;
        // Squares past the last one leave the rest unread.
        if (counted + width > 64) break;
        if (square - rankStart + width > 8) return FEN_REFUSED;
        if (!digit) {
            const int colour = c >= 'a' ? BLACK : WHITE;
            const int code = PieceCode(c);
            p->Pieces[colour][code] |= Bit(square);
            if (code == KING) p->KingSquare[colour] = square;
        }
        square += width;
        counted += width;
        if (counted == 64) ReadRest(p, text.substr(at), &clockRead);
    }

    if (!clockRead) p->FiftyMoveCounter = 0;
    DropHomelessRights(p);
    CheckEpSquare(p);

    const int last = p->FiftyMoveCounter < KEY_HISTORY_SIZE - 1 ? p->FiftyMoveCounter : KEY_HISTORY_SIZE - 1;
    for (int i = 0; i <= last; ++i) p->KeyHistory[i] = static_cast<u64>(i);
    p->Key = ComputeHashKey(p);
    p->PawnKey = ComputePawnHashKey(p);
    p->KeyHistory[0] = p->Key;

    for (int c = 0; c < 2; ++c) p->KingSquare[c] = BitIndex(p->Pieces[c][KING]);
    ComputeMaterial(p);

    if (PopCount(p->Pieces[WHITE][KING]) != 1 || PopCount(p->Pieces[BLACK][KING]) != 1) return FEN_KINGS_WRONG;
    if ((p->Pieces[WHITE][PAWN] | p->Pieces[BLACK][PAWN]) & BACK_RANKS) return FEN_REFUSED;
    EngineBoard scratch{};
    if (InCheck(&scratch, p, 0)) return FEN_REFUSED;
    return FEN_SET_UP;
}

std::string WriteFen(const Position& p, int currentPly) {
    static const char white[] = " PNBRQK";
    static const char black[] = " pnbrqk";
    int whiteOn[64] = {}, blackOn[64] = {};
    for (int t = PAWN; t <= KING; ++t)
        for (int sq = 0; sq < 64; ++sq) {
            if (p.Pieces[WHITE][t] & Bit(sq)) whiteOn[sq] = t;
            if (p.Pieces[BLACK][t] & Bit(sq)) blackOn[sq] = t;
        }

    std::string out;
    for (int rank = 7; rank >= 0; --rank) {
        int run = 0;
        for (int file = 0; file < 8; ++file) {
            const int sq = rank * 8 + file;
            if (whiteOn[sq] == 0 && blackOn[sq] == 0) {
                ++run;
                continue;
            }
            if (run > 0) out += std::to_string(run);
            run = 0;
            if (whiteOn[sq]) out += white[whiteOn[sq]];
            if (blackOn[sq]) out += black[blackOn[sq]];
        }
        if (run > 0) out += std::to_string(run);
        if (rank > 0) out += '/';
    }
    out += p.SideToMove == BLACK ? " b " : " w ";
    if (p.CastleShort[WHITE]) out += 'K';
    if (p.CastleLong[WHITE]) out += 'Q';
    if (!p.CastleShort[WHITE] && !p.CastleLong[WHITE]) out += '-';
    if (p.CastleShort[BLACK]) out += 'k';
    if (p.CastleLong[BLACK]) out += 'q';
    if (!p.CastleShort[BLACK] && !p.CastleLong[BLACK]) out += '-';
    if (p.EpSquare >= 0 && p.EpSquare < 64)
        out += " " + SquareNames[p.EpSquare];
    else
        out += " -";
    out += " " + std::to_string(p.FiftyMoveCounter);
    out += " " + std::to_string(currentPly / 2 + 1);
    return out;
}
