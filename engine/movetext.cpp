#include "movetext.h"

const std::string SquareNames[65] = {
    "a1", "b1", "c1", "d1", "e1", "f1", "g1", "h1",
    "a2", "b2", "c2", "d2", "e2", "f2", "g2", "h2",
    "a3", "b3", "c3", "d3", "e3", "f3", "g3", "h3",
    "a4", "b4", "c4", "d4", "e4", "f4", "g4", "h4",
    "a5", "b5", "c5", "d5", "e5", "f5", "g5", "h5",
    "a6", "b6", "c6", "d6", "e6", "f6", "g6", "h6",
    "a7", "b7", "c7", "d7", "e7", "f7", "g7", "h7",
    "a8", "b8", "c8", "d8", "e8", "f8", "g8", "h8",
    "none",
};

int SquareFromName(char file, char rank) {
    if (file < 'a' || file > 'h' || rank < '1' || rank > '8') return -1;
    return (rank - '1') * 8 + (file - 'a');
}

int SquareFromName(std::string_view name) { return name.size() == 2 ? SquareFromName(name[0], name[1]) : -1; }

int SquareFromNameAnyCase(char file, char rank) {
    if (file >= 'A' && file <= 'Z') file = static_cast<char>(file - 'A' + 'a');
    return SquareFromName(file, rank);
}

char PromotionLetter(int piece) {
    switch (piece) {
        case KNIGHT: return 'n';
        case BISHOP: return 'b';
        case ROOK: return 'r';
        case QUEEN: return 'q';
        default: return 0;
    }
}

int PromotionFromLetter(char letter) {
    switch (letter) {
        case 'n': return KNIGHT;
        case 'b': return BISHOP;
        case 'r': return ROOK;
        case 'q': return QUEEN;
        default: return NO_PIECE;
    }
}

std::string CoordinateText(Move move) {
    std::string text = SquareNames[MoveFrom(move)] + SquareNames[MoveTo(move)];
    if (const char letter = PromotionLetter(MovePromotion(move))) text += letter;
    return text;
}

bool ParseCoordinateText(std::string_view text, CoordinateMove* out) {
    if (text.size() < 4) return false;
    const int from = SquareFromName(text.substr(0, 2));
    const int to = SquareFromName(text.substr(2, 2));
    if (from < 0 || to < 0) return false;
    out->from = from;
    out->to = to;
    out->promotion = text.size() > 4 ? PromotionFromLetter(text[4]) : NO_PIECE;
    return true;
}
