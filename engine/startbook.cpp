#include "startbook.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string_view>
#include <utility>

#include "bitboard.h"
#include "globals.h"
#include "hash.h"
#include "makemove.h"
#include "movegen.h"
#include "movetext.h"

StartBookSlot StartBookTable[START_BOOK_SLOTS];

namespace {

int PieceFromLetter(char ch) {
    switch (ch) {
        case 'N': return KNIGHT;
        case 'B': return BISHOP;
        case 'R': return ROOK;
        case 'Q': return QUEEN;
        case 'K': return KING;
        default: return NO_PIECE;
    }
}

bool StartsMove(char ch) { return PieceFromLetter(ch) != NO_PIECE || (ch >= 'a' && ch <= 'h') || ch == 'O'; }

char Lower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + ('a' - 'A')) : ch; }

bool IsCaptureMark(char ch) { return ch == 'x' || ch == 'X'; }

// One move read from the text.
struct BookToken {
    int piece = PAWN;
    int to = -1;
    int promotion = NO_PIECE;
    std::string origin;  // "", one file letter or rank digit, or a square name
    bool store = true;
};

// The legal move of the position that the token names (the last one in the
// generated order when several match), or 0; the position after it is left in
// after.
Move MatchMove(EngineBoard* board, const BookToken& t, EngineBoard* after) {
    if (GenerateMoves(board) < 1) return 0;
    Move found = 0;
    for (int i = 0; i <= board->List.Last; ++i) {
        const Move m = board->List.Moves[i];
        if (MovePiece(m) != t.piece || MoveTo(m) != t.to) continue;
        const int promo = MovePromotion(m);
        if (t.promotion != NO_PIECE ? promo != t.promotion : (promo != NO_PIECE && promo != QUEEN)) continue;
        const int from = MoveFrom(m);
        if (t.origin.size() == 1) {
            const char file = FileLetter(from), rank = RankDigit(from);
            if (t.origin[0] != file && t.origin[0] != rank) continue;
        } else if (t.origin.size() == 2) {
            if (SquareFromNameAnyCase(t.origin[0], t.origin[1]) != from) continue;
        }
        auto copy = std::make_unique<EngineBoard>(*board);
        if (!MakeMoveKeepsKingSafe(copy.get(), m, &copy->Pos)) continue;
        found = m;
        *after = *copy;
    }
    return found;
}

}  // namespace

BookLineResult ReadBookLine(const std::string& line, const BookLineVisitor& visit) {
    auto board = std::make_unique<EngineBoard>();
    auto after = std::make_unique<EngineBoard>();
    SetupStartPosition(board.get());

    std::string_view rest(line);
    for (;;) {
        if (rest.empty() || rest.front() == '!') return BookLineResult::Done;
        while (!rest.empty() && !StartsMove(rest.front())) rest.remove_prefix(1);
        if (rest.empty()) return BookLineResult::Done;

        BookToken t;
        if (const int piece = PieceFromLetter(rest.front()); piece != NO_PIECE) {
            t.piece = piece;
            rest.remove_prefix(1);
        }
        if (rest.size() < 2) return BookLineResult::Error;

        const bool white = board->Pos.SideToMove == WHITE;
        if (rest.size() > 2 && rest.starts_with("O-O")) {
            t.piece = KING;
            if (rest.size() > 4 && rest.starts_with("O-O-O")) {
                t.to = white ? C1 : C8;
                rest.remove_prefix(5);
            } else {
                t.to = white ? G1 : G8;
                rest.remove_prefix(3);
            }
        } else {
            // Work on a short copy of the front: a valid move text is at most
            // four characters once its capture marks are gone, plus a "?" mark
            // and a promotion suffix.
            std::string text(rest.substr(0, 16));
            size_t removed = 0;
            if (t.piece == PAWN) {
                if (text.size() > 1 && IsCaptureMark(text[1])) {
                    text.erase(1, 1);
                    ++removed;
                }
            } else {
                for (size_t at = 0; at < 3; ++at)
                    if (text.size() > at && IsCaptureMark(text[at])) {
                        text.erase(at, 1);
                        ++removed;
                    }
            }
            size_t len = text.find_first_of(" +#=?");
            if (len == std::string::npos) len = text.size();
            if (len < text.size() && text[len] == '?') {
                t.store = false;
                text.erase(len, 1);
                ++removed;
            }
            if (len < 2 || len > 4) return BookLineResult::Error;
            t.to = SquareFromNameAnyCase(text[len - 2], text[len - 1]);
            if (t.to < 0) return BookLineResult::Error;
            for (size_t i = 0; i + 2 < len; ++i) t.origin.push_back(Lower(text[i]));
            size_t used = len;
            if (text.size() >= len + 2 && text[len] == '=') {
                const char p = text[len + 1];
                if (p == 'N' || p == 'B' || p == 'R' || p == 'Q') {
                    t.promotion = PieceFromLetter(p);
                    used += 2;
                }
            }
            rest.remove_prefix(used + removed);
        }

        const Move m = MatchMove(board.get(), t, after.get());
        if (m == 0) return BookLineResult::Error;
        if (!visit(*board, m, t.store)) return BookLineResult::Stopped;
        std::swap(board, after);
    }
}

void ClearStartBookTable() {
    for (auto& slot : StartBookTable) slot = StartBookSlot{};
}

startBookclass::startBookclass() { ClearStartBookTable(); }

void startBookclass::LoadFromPgn() {
    std::string dir;
    if (char* cwd = getcwd(nullptr, 0)) {
        dir = cwd;
        free(cwd);
    } else {
        dir = ".";
    }
    LoadFromPgn(dir + "/StartBook.pgn");
}

void startBookclass::LoadFromPgn(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    auto store = [this](const EngineBoard& before, Move move, bool keep) {
        if (!keep) return true;
        const Position& pos = before.Pos;
        const int index = FindSlot(KeyLo(pos.Key), KeyHi(pos.Key));
        if (index >= START_BOOK_SLOTS) return false;
        StartBookSlot& slot = StartBookTable[index];
        int n = 0;
        while (n < START_BOOK_MOVES && slot.Moves[n] != 0) {
            if (slot.Moves[n] == move) return true;
            ++n;
        }
        if (n < START_BOOK_MOVES) {
            const u64 key = ComputeHashKey(&pos);
            slot.KeyLo = KeyLo(key);
            slot.KeyHi = KeyHi(key);
            slot.Moves[n] = move;
        }
        return true;
    };
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (ReadBookLine(line, store) != BookLineResult::Done) return;
    }
}

int startBookclass::FindSlot(u32 keyLo, u32 keyHi) {
    for (int i = 0; i < START_BOOK_SLOTS; ++i) {
        const StartBookSlot& s = StartBookTable[i];
        if ((s.KeyLo == 0 && s.KeyHi == 0) || (s.KeyLo == keyLo && s.KeyHi == keyHi)) return i;
    }
    return START_BOOK_SLOTS;
}

Move startBookclass::Probe(u32 keyLo, u32 keyHi) {
    for (const StartBookSlot& s : StartBookTable) {
        if (s.KeyLo == 0 && s.KeyHi == 0) return 0;
        if (s.KeyLo != keyLo || s.KeyHi != keyHi) continue;
        int n = 0;
        while (n < START_BOOK_MOVES && s.Moves[n] != 0) ++n;
        return n == 0 ? 0 : s.Moves[EngineRandom() % n];
    }
    return 0;
}
