#include "test_position.h"

#include <sstream>

#include "bitboard.h"
#include "hash.h"

int SquareFromName(const std::string& name) {
    if (name.size() != 2 || name[0] < 'a' || name[0] > 'h' || name[1] < '1' || name[1] > '8') return -1;
    return (name[1] - '1') * 8 + (name[0] - 'a');
}

void SetupTestPosition(EngineBoard* board, const std::string& fen) {
    *board = EngineBoard{};
    Position* p = &board->Pos;
    std::istringstream in(fen);
    std::string placement, side = "w", castling = "-", ep = "-";
    int fifty = 0;
    in >> placement >> side >> castling >> ep >> fifty;
    int rank = 7, file = 0;
    for (char ch : placement) {
        if (ch == '/') {
            --rank;
            file = 0;
        } else if (ch >= '1' && ch <= '8') {
            file += ch - '0';
        } else {
            const std::string letters = "pnbrqk";
            const char lower = static_cast<char>(ch | 0x20);
            const auto idx = letters.find(lower);
            if (idx == std::string::npos) continue;
            const int colour = (ch == lower) ? BLACK : WHITE;
            const int sq = rank * 8 + file;
            p->Pieces[colour][idx + 1] |= Bitboard{1} << sq;
            if (idx + 1 == KING) p->KingSquare[colour] = sq;
            ++file;
        }
    }
    p->SideToMove = side == "b" ? BLACK : WHITE;
    p->CastleShort[WHITE] = castling.find('K') != std::string::npos;
    p->CastleLong[WHITE] = castling.find('Q') != std::string::npos;
    p->CastleShort[BLACK] = castling.find('k') != std::string::npos;
    p->CastleLong[BLACK] = castling.find('q') != std::string::npos;
    p->EpSquare = SquareFromName(ep);
    p->FiftyMoveCounter = fifty < KEY_HISTORY_SIZE ? fifty : 0;
    ComputeMaterial(p);
    p->Key = ComputeHashKey(p);
    p->PawnKey = ComputePawnHashKey(p);
    p->KeyHistory[p->FiftyMoveCounter] = p->Key;
}
