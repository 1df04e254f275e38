#include "pgnreader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>

#include "movetext.h"

namespace {

constexpr std::size_t BLOCK_SIZE = 1 << 16;
// Longest tag line kept; the rest of a longer line is read past.
constexpr std::size_t TAG_LINE_LIMIT = 1 << 16;
// Longest move token kept; no move comes near it.
constexpr std::size_t TOKEN_LIMIT = 64;

bool IsLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }
bool IsBlank(int c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(int c) { return c == '\n' || c == '\r'; }

// Characters a move, a move number or a result is written with.
bool IsSymbolCharacter(int c) {
    return IsLetter(c) || IsDigit(c) || c == '_' || c == '+' || c == '#' || c == '=' || c == ':' || c == '-' ||
           c == '/';
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int PromotionPiece(char c) {
    switch (c) {
        case 'N':
            return KNIGHT;
        case 'B':
            return BISHOP;
        case 'R':
            return ROOK;
        case 'Q':
            return QUEEN;
        default:
            return 0;
    }
}

int PieceOfLetter(char c) {
    switch (c) {
        case 'K':
            return KING;
        default:
            return PromotionPiece(c);
    }
}

// Passes blanks; true when a tag line starts here. wholePair: only a line
// that is a whole tag pair counts (inside a comment or a variation).
bool SkipBlanksAndReadTagStart(PgnSource& source, bool wholePair = false) {
    while (IsBlank(source.Peek())) source.Get();
    if (source.Peek() != '[' || !IsLetter(source.Peek(1))) return false;
    if (!wholePair) return true;
    std::string line;
    for (std::size_t k = 0;; ++k) {
        const int c = source.Peek(k);
        if (c < 0 || IsLineEnd(c)) break;
        if (k >= TAG_LINE_LIMIT) return false;
        line.push_back(static_cast<char>(c));
    }
    return IsTagPairLine(line);
}

// Passes a byte-order mark at the start of the file.
void SkipByteOrderMark(PgnSource& source) {
    if (source.Position() == 0 && source.Peek() == 0xEF && source.Peek(1) == 0xBB && source.Peek(2) == 0xBF) {
        source.Get();
        source.Get();
        source.Get();
    }
}

}  // namespace

// ------------------------------------------------------------------ source

PgnSource::PgnSource() = default;

PgnSource::~PgnSource() {
    if (File) std::fclose(File);
}

bool PgnSource::Open(const std::string& path) {
    if (File) std::fclose(File);
    File = std::fopen(path.c_str(), "rb");
    if (!File) return false;
    std::setvbuf(File, nullptr, _IONBF, 0);  // read in our own blocks
    Data.assign(BLOCK_SIZE, 0);
    At = End = 0;
    BlockStart = 0;
    Failed = false;
    return true;
}

bool PgnSource::Seek(i64 offset) {
    if (!File || offset < 0 || fseeko(File, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    BlockStart = offset;
    At = End = 0;
    Failed = false;
    return true;
}

bool PgnSource::Fill(std::size_t n) {
    if (!File || Failed) return false;
    if (At > 0) {
        std::memmove(Data.data(), Data.data() + At, End - At);
        BlockStart += static_cast<i64>(At);
        End -= At;
        At = 0;
    }
    if (Data.size() < n) Data.resize(n);
    while (End < n) {
        const std::size_t got = std::fread(Data.data() + End, 1, Data.size() - End, File);
        if (got == 0) {
            if (std::ferror(File)) Failed = true;
            return false;
        }
        End += got;
    }
    return true;
}

std::size_t PgnSource::LineLength(const char* p, std::size_t n) {
    const auto* lf = static_cast<const char*>(std::memchr(p, '\n', n));
    // A CR before the LF ends the line first; CR-only files have no LF,
    // so their CR is looked for in the whole block.
    const std::size_t before = lf ? static_cast<std::size_t>(lf - p) : n;
    if (const auto* cr = static_cast<const char*>(std::memchr(p, '\r', before))) return static_cast<std::size_t>(cr - p);
    return before;
}

void PgnSource::SkipLine() {
    ScanLine([](const char*, std::size_t) {});
}

void PgnSource::ReadLine(std::string* line, std::size_t limit) {
    line->clear();
    for (;;) {
        const int c = Get();
        if (c < 0 || IsLineEnd(c)) return;
        if (line->size() < limit) {
            line->push_back(static_cast<char>(c));
        } else {
            SkipLine();
            return;
        }
    }
}

// --------------------------------------------------------------- move text

namespace {

// The bytes that open or close something in move text.
constexpr std::array<bool, 256> OPENS_OR_CLOSES = [] {
    std::array<bool, 256> table{};
    for (const unsigned char c : {'{', ';', '(', ')'}) table[c] = true;
    return table;
}();

}  // namespace

void MoveTextState::Take(const char* p, std::size_t n) {
    const char* const end = p + n;
    while (p < end && !RestOfLine) {
        if (InComment) {
            p = static_cast<const char*>(std::memchr(p, '}', static_cast<std::size_t>(end - p)));
            if (!p) return;
            InComment = false;
            ++p;
            continue;
        }
        while (!OPENS_OR_CLOSES[static_cast<unsigned char>(*p)])
            if (++p == end) return;
        switch (*p++) {
            case '{':
                InComment = true;
                break;
            case ';':
                RestOfLine = true;
                break;
            case '(':
                ++VariationDepth;
                break;
            case ')':
                if (VariationDepth > 0) --VariationDepth;
                break;
            default:
                break;
        }
    }
}

// -------------------------------------------------------------------- tags

bool ReadPgnTag(const std::string& line, PgnTag* tag) {
    std::size_t at = 0;
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (at + 1 >= line.size() || line[at] != '[' || !IsLetter(line[at + 1])) return false;
    ++at;
    const std::size_t nameStart = at;
    while (at < line.size() && (IsLetter(line[at]) || IsDigit(line[at]) || line[at] == '_')) ++at;
    tag->Name = line.substr(nameStart, at - nameStart);

    const std::size_t first = line.find('"', at);
    if (first == std::string::npos) {
        tag->Value = line;
        return true;
    }
    const std::size_t last = line.rfind('"');
    if (last == first) {
        tag->Value = line.substr(first + 1);
        return true;
    }
    tag->Value.clear();
    for (std::size_t i = first + 1; i < last; ++i) {
        if (line[i] == '\\' && i + 1 < last && (line[i + 1] == '"' || line[i + 1] == '\\')) ++i;
        tag->Value.push_back(line[i]);
    }
    return true;
}

bool IsTagPairLine(const std::string& line) {
    std::size_t at = 0;
    while (at < line.size() && IsBlank(line[at])) ++at;
    std::size_t end = line.size();
    while (end > at && IsBlank(line[end - 1])) --end;
    if (end < at + 2 || line[at] != '[' || line[end - 1] != ']' || !IsLetter(line[at + 1])) return false;
    at += 2;
    while (at < end && (IsLetter(line[at]) || IsDigit(line[at]) || line[at] == '_')) ++at;
    if (at < end && line[at] == ':') ++at;
    if (at >= end || !IsBlank(line[at])) return false;
    while (at < end && IsBlank(line[at])) ++at;
    // The value's quotes: the first after the name, the last before "]".
    std::size_t close = end - 1;
    while (close > at && IsBlank(line[close - 1])) --close;
    return line[at] == '"' && close > at + 1 && line[close - 1] == '"';
}

void PgnTagBlock::Clear() {
    Names.clear();
    AfterGap = false;
}

bool PgnTagBlock::StartsNextBlock(const std::string& name) const {
    if (Names.empty()) return false;
    if (name == Names.front()) return true;
    return AfterGap && std::find(Names.begin(), Names.end(), name) != Names.end();
}

void PgnTagBlock::Add(std::string name) {
    Names.push_back(std::move(name));
    AfterGap = false;
}

int ListPgnGames(PgnSource& source, const std::function<bool(const ListedGame&)>& onGame) {
    int count = 0;
    bool inBlock = false;
    ListedGame game;
    PgnTagBlock block;
    MoveTextState text;
    std::string line;
    PgnTag tag;

    // Passes the block to onGame; false when the listing is to stop.
    auto finish = [&] {
        if (!inBlock) return true;
        inBlock = false;
        ++count;
        return onGame(game);
    };

    SkipByteOrderMark(source);
    for (;;) {
        const i64 lineStart = source.Position();
        if (SkipBlanksAndReadTagStart(source, text.Open())) {
            source.ReadLine(&line, TAG_LINE_LIMIT);
            ReadPgnTag(line, &tag);
            text = MoveTextState{};
            std::string name = Upper(tag.Name);
            if (inBlock && block.StartsNextBlock(name) && !finish()) return count;
            if (!inBlock) {
                inBlock = true;
                game = ListedGame{};
                game.Offset = lineStart;
                block.Clear();
            }
            if (name == "WHITE")
                game.White = tag.Value;
            else if (name == "BLACK")
                game.Black = tag.Value;
            else if (name == "RESULT")
                game.Result = tag.Value;
            else if (name == "DATE")
                game.Date = tag.Value;
            else if (name == "SITE")
                game.Site = tag.Value;
            block.Add(std::move(name));
            continue;
        }
        const int c = source.Peek();
        if (c < 0) break;
        // Empty, escape and comment lines leave a block open; move text ends it.
        if (IsLineEnd(c) || c == '%' || c == ';') {
            if (inBlock) block.Gap();
        } else if (!finish()) {
            return count;
        }
        // Move text is read for the comments and variations it leaves open.
        if (c == '%' && !text.InComment) {
            source.SkipLine();
        } else {
            source.ScanLine([&text](const char* p, std::size_t n) { text.Take(p, n); });
            text.LineEnds();
        }
    }
    finish();
    return count;
}

// -------------------------------------------------------------------- game

void PgnGameReader::ReadTags() {
    TagList.clear();
    PgnTagBlock block;
    std::string line;
    SkipByteOrderMark(Source);
    for (;;) {
        if (SkipBlanksAndReadTagStart(Source)) {
            Source.ReadLine(&line, TAG_LINE_LIMIT);
            PgnTag tag;
            ReadPgnTag(line, &tag);
            std::string name = Upper(tag.Name);
            // The next game's block: this game has no moves.
            if (block.StartsNextBlock(name)) {
                Ended = true;
                return;
            }
            block.Add(std::move(name));
            TagList.push_back(tag);
            continue;
        }
        const int c = Source.Peek();
        if (c < 0) {
            Ended = true;
            return;
        }
        if (!IsLineEnd(c) && c != '%' && c != ';') break;
        block.Gap();
        Source.SkipLine();
    }
    AtLineStart = false;  // at the first character of the move text
}

bool PgnGameReader::SetsUpPosition() const {
    for (const PgnTag& tag : TagList) {
        if (Upper(tag.Name) != "FEN") continue;
        std::istringstream fields(tag.Value);
        std::string placement, side, castling, ep;
        fields >> placement >> side >> castling >> ep;
        return !(placement == "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR" && side == "w" &&
                 castling == "KQkq" && ep == "-");
    }
    return false;
}

bool PgnGameReader::TagLineFollows() {
    for (;;) {
        while (IsBlank(Source.Peek())) Source.Get();
        if (Source.Peek() == '%' && !Text.InComment) {
            Source.SkipLine();
            continue;
        }
        return SkipBlanksAndReadTagStart(Source, Text.Open());
    }
}

bool PgnGameReader::NextMove(std::string* token) {
    while (!Ended) {
        if (AtLineStart) {
            AtLineStart = false;
            if (TagLineFollows()) break;
        }
        const int c = Source.Get();
        if (c < 0) break;
        if (IsLineEnd(c)) {
            AtLineStart = true;
            continue;
        }
        if (Text.InComment) {
            if (c == '}') Text.InComment = false;
            continue;
        }
        switch (c) {
            case '{':
                Text.InComment = true;
                continue;
            case ';':
                Source.SkipLine();
                AtLineStart = true;
                continue;
            case '(':
                ++Text.VariationDepth;
                continue;
            case ')':
                if (Text.VariationDepth > 0) --Text.VariationDepth;
                continue;
            case '*':
                if (Text.VariationDepth == 0) Ended = true;
                continue;
            case '[':
                // A bracketed command outside a comment: passed over to its end.
                while (Source.Peek() >= 0 && !IsLineEnd(Source.Peek()) && Source.Get() != ']') {
                }
                continue;
            default:
                break;
        }
        // A move starts with a letter; digits start move numbers and results,
        // and "-" a null move, which no move matches.
        if (!IsLetter(c) && !IsDigit(c) && c != '-') continue;
        // A check or mate mark ends a move: in the program's own lines a long
        // white move runs into black's ("10.  exd8=Q+Kb7").
        std::string symbol(1, static_cast<char>(c));
        for (bool marked = false; IsSymbolCharacter(Source.Peek());) {
            const bool mark = Source.Peek() == '+' || Source.Peek() == '#';
            if (marked && !mark) break;
            marked = mark;
            const int next = Source.Get();
            if (symbol.size() < TOKEN_LIMIT) symbol.push_back(static_cast<char>(next));
        }
        if (std::all_of(symbol.begin(), symbol.end(), IsDigit)) continue;
        if (symbol == "1-0" || symbol == "0-1" || symbol == "1/2-1/2") {
            if (Text.VariationDepth == 0) Ended = true;
            continue;
        }
        // "e.p." after an en-passant capture is an annotation.
        if (symbol == "e" && Source.Peek() == '.' && Source.Peek(1) == 'p') {
            Source.Get();
            Source.Get();
            if (Source.Peek() == '.') Source.Get();
            continue;
        }
        if (Text.VariationDepth > 0) continue;
        if (symbol.rfind("0-0", 0) == 0) {
            const std::size_t zeros = symbol.rfind("0-0-0", 0) == 0 ? 5 : 3;
            for (std::size_t i = 0; i < zeros; i += 2) symbol[i] = 'O';
        }
        *token = symbol;
        return true;
    }
    Ended = true;
    return false;
}

// ------------------------------------------------------------------- moves

bool ReadSanMove(const std::string& token, int sideToMove, SanMove* san) {
    *san = SanMove{};
    std::string t = token;
    while (!t.empty() && (t.back() == '+' || t.back() == '#')) t.pop_back();

    if (t.rfind("O-O", 0) == 0) {
        san->Piece = KING;
        const bool queenSide = t.rfind("O-O-O", 0) == 0;
        san->Target = (queenSide ? C1 : G1) + (sideToMove == BLACK ? 56 : 0);
        return true;
    }

    std::size_t at = 0;
    if (!t.empty() && PieceOfLetter(t[0]) != 0) {
        san->Piece = PieceOfLetter(t[0]);
        at = 1;
    } else if (!t.empty() && t[0] == 'P') {
        at = 1;
    }

    std::string squares;
    for (; at < t.size(); ++at) {
        const char c = t[at];
        if (c == '=') {
            if (at + 1 < t.size()) san->Promotion = PromotionPiece(t[at + 1]);
            break;
        }
        if (c != 'x' && c != 'X') squares.push_back(c);
    }
    // A promotion written without "=": "e8Q".
    if (san->Promotion == 0 && san->Piece == PAWN && squares.size() >= 3 && PromotionPiece(squares.back())) {
        san->Promotion = PromotionPiece(squares.back());
        squares.pop_back();
    }
    if (squares.size() < 2 || squares.size() > 4) return false;

    const std::size_t n = squares.size();
    san->Target = SquareFromNameAnyCase(squares[n - 2], squares[n - 1]);
    for (std::size_t i = 0; i + 2 < n; ++i) san->Origin.push_back(Lower(squares[i]));
    return true;
}

bool SanMatches(const SanMove& san, Move move) {
    if (MoveTo(move) != san.Target || MovePiece(move) != san.Piece) return false;
    if (san.Promotion != 0 && MovePromotion(move) != san.Promotion) return false;
    const int from = MoveFrom(move);
    const char file = FileLetter(from);
    const char rank = RankDigit(from);
    switch (san.Origin.size()) {
        case 0:
            return true;
        case 1:
            return san.Origin[0] == file || san.Origin[0] == rank;
        default:
            return san.Origin[0] == file && san.Origin[1] == rank;
    }
}

// ----------------------------------------------------------------- writing

std::string PgnMoveLine(int row, const std::string& whiteCell, const std::string& blackCell) {
    std::string line = whiteCell;
    if (row >= 9 && row <= 98 && line.size() >= 4) line.insert(4, 1, ' ');
    if (line.size() < 12) line.append(12 - line.size(), ' ');
    return line + blackCell;
}
