#include "pgnreader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>
#include <string_view>

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

// What a byte of move text is to the reader.
enum ByteClass : unsigned char {
    PLAIN,         // passed over: blanks, dots, "!", "?", "$", bytes outside ASCII
    SYMBOL_START,  // letters, digits, "-", "+", "=", "*": a move, a number, a sign, a result
    SYMBOL_ONLY,   // "_", "#", ":", "/": inside a symbol only
    LINE_END,      // CR, LF
    OPENS_CLOSES,  // "{", ";", "(", ")", "[": comments, variations, commands
};

constexpr std::array<ByteClass, 256> BYTE_CLASSES = [] {
    std::array<ByteClass, 256> table{};
    for (int c = 'a'; c <= 'z'; ++c) table[static_cast<std::size_t>(c)] = SYMBOL_START;
    for (int c = 'A'; c <= 'Z'; ++c) table[static_cast<std::size_t>(c)] = SYMBOL_START;
    for (int c = '0'; c <= '9'; ++c) table[static_cast<std::size_t>(c)] = SYMBOL_START;
    for (const unsigned char c : {'-', '+', '=', '*'}) table[c] = SYMBOL_START;
    for (const unsigned char c : {'_', '#', ':', '/'}) table[c] = SYMBOL_ONLY;
    for (const unsigned char c : {'{', ';', '(', ')', '['}) table[c] = OPENS_CLOSES;
    for (const unsigned char c : {'\n', '\r'}) table[c] = LINE_END;
    return table;
}();

ByteClass ClassOf(int c) { return c < 0 ? PLAIN : BYTE_CLASSES[static_cast<std::size_t>(c)]; }

// Characters a move, a number, a sign or a result is written with ("*"
// stands alone).
bool IsSymbolCharacter(int c) { return c != '*' && (ClassOf(c) == SYMBOL_START || ClassOf(c) == SYMBOL_ONLY); }

char UpperCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Upper(std::string s) {
    for (char& c : s) c = UpperCase(c);
    return s;
}

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

bool IsNameCharacter(int c) { return IsLetter(c) || IsDigit(c) || c == '_'; }

// ------------------------------------------------------------- tag pairs
//
// A tag pair is read through at(k): the byte k places after the pair's "[",
// or -1 at the line's end.

template <class At>
bool TagPairStartsAt(const At& at, std::size_t k) {
    if (at(k) != '[') return false;
    do ++k;
    while (IsBlank(at(k)));
    return IsLetter(at(k));
}

struct TagPairScan {
    std::size_t Length = 0;  // bytes of the pair, to its "]" or to the line's end
    bool ToLineEnd = false;  // the pair runs to the line's end
    bool Whole = false;      // name, blank, quoted value, "]", then the line's end or another pair
};

template <class At>
std::string TagText(const At& at, std::size_t from, std::size_t to, bool unescape) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) {
        if (unescape && at(i) == '\\' && i + 1 < to && (at(i + 1) == '"' || at(i + 1) == '\\')) ++i;
        text.push_back(static_cast<char>(at(i)));
    }
    return text;
}

template <class At>
bool ScanTagPair(const At& at, PgnTag* tag, TagPairScan* scan) {
    if (!TagPairStartsAt(at, 0)) return false;
    *scan = TagPairScan{};
    std::size_t k = 1;
    while (IsBlank(at(k))) ++k;
    tag->Name.clear();
    while (IsNameCharacter(at(k))) tag->Name.push_back(static_cast<char>(at(k++)));
    if (at(k) == ':') ++k;
    const bool blank = IsBlank(at(k));
    while (IsBlank(at(k))) ++k;

    if (at(k) != '"') {
        // No quoted value: the pair's text is its value.
        std::size_t end = k;
        while (at(end) >= 0 && at(end) != ']') ++end;
        scan->ToLineEnd = at(end) < 0;
        scan->Length = scan->ToLineEnd ? end : end + 1;
        tag->Value = TagText(at, 0, scan->Length, false);
        return true;
    }

    // The closing quote: the first followed by "]" and the line's end or
    // another pair, else the first followed by "]".
    const std::size_t open = k;
    std::size_t close = 0, lastQuote = open;
    bool closed = false;
    for (std::size_t j = open + 1; at(j) >= 0; ++j) {
        if (at(j) != '"') continue;
        lastQuote = j;
        std::size_t bracket = j + 1;
        while (IsBlank(at(bracket))) ++bracket;
        if (at(bracket) != ']') continue;
        std::size_t after = bracket + 1;
        while (IsBlank(at(after))) ++after;
        const bool last = at(after) < 0 || TagPairStartsAt(at, after);
        if (!closed || last) {
            close = j;
            scan->Length = bracket + 1;
            scan->Whole = last && blank;
            closed = true;
        }
        if (last) break;
    }
    if (closed) {
        tag->Value = TagText(at, open + 1, close, true);
        return true;
    }
    // Not closed: to the line's last quote, or its end.
    std::size_t end = open + 1;
    while (at(end) >= 0) ++end;
    scan->Length = end;
    scan->ToLineEnd = true;
    tag->Value = lastQuote > open ? TagText(at, open + 1, lastQuote, true) : TagText(at, open + 1, end, false);
    return true;
}

// The line from at(0) on holds nothing but whole tag pairs.
template <class At>
bool WholeTagPairsOnly(const At& at) {
    std::size_t from = 0;
    PgnTag tag;
    TagPairScan scan;
    for (;;) {
        const auto shifted = [&](std::size_t k) { return at(from + k); };
        if (!ScanTagPair(shifted, &tag, &scan) || !scan.Whole) return false;
        from += scan.Length;
        while (IsBlank(at(from))) ++from;
        if (at(from) < 0) return true;
    }
}

// A line of text read through at(k).
auto LineBytes(const std::string& line, std::size_t from) {
    return [&line, from](std::size_t k) {
        const std::size_t i = from + k;
        return i < line.size() && !IsLineEnd(line[i]) ? static_cast<int>(static_cast<unsigned char>(line[i])) : -1;
    };
}

// The source's line from its position on, read through at(k) up to
// TAG_LINE_LIMIT bytes: from the bytes at hand, read on where they end.
class SourceLine {
public:
    explicit SourceLine(PgnSource& source) : Source(source) { Refresh(); }
    int operator()(std::size_t k) const {
        if (k >= Count) {
            if (k >= TAG_LINE_LIMIT || Source.Peek(k) < 0) return -1;
            Refresh();  // the bytes at hand have moved
        }
        const int c = static_cast<unsigned char>(Bytes[k]);
        return IsLineEnd(c) ? -1 : c;
    }

private:
    void Refresh() const {
        Count = Source.Available();
        Bytes = Source.Here();
    }
    PgnSource& Source;
    mutable const char* Bytes = nullptr;
    mutable std::size_t Count = 0;
};

// The line from at(0) on holds brace comments and blanks, then perhaps a
// ";" comment, and nothing else.
template <class At>
bool CommentsOnly(const At& at) {
    std::size_t k = 0;
    for (;;) {
        while (IsBlank(at(k))) ++k;
        if (at(k) < 0 || at(k) == ';') return true;
        if (at(k) != '{') return false;
        while (at(k) >= 0 && at(k) != '}') ++k;
        if (at(k) < 0) return false;
        ++k;
    }
}

std::size_t FirstNonBlank(const std::string& line) {
    std::size_t at = 0;
    while (at < line.size() && IsBlank(line[at])) ++at;
    return at;
}

// Passes a byte-order mark at the start of the file.
void SkipByteOrderMark(PgnSource& source) {
    if (source.Position() == 0 && source.Peek() == 0xEF && source.Peek(1) == 0xBB && source.Peek(2) == 0xBF) {
        source.Get();
        source.Get();
        source.Get();
    }
}

bool IsResult(const std::string& s) { return s == "1-0" || s == "0-1" || s == "1/2-1/2" || s == "*"; }

// Signs of evaluation, novelty and diagram that stand between the moves.
bool IsAnnotationSign(const std::string& s) {
    if (s == "N" || s == "TN" || s == "D") return true;
    if (IsNullMove(s)) return false;
    return std::all_of(s.begin(), s.end(), [](char c) { return c == '+' || c == '-' || c == '/' || c == '='; });
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

void PgnSource::Skip(std::size_t n) {
    while (n > 0) {
        const std::size_t k = std::min(n, Available());
        if (k == 0) return;
        At += k;
        n -= k;
    }
}

void PgnSource::SkipToLineEnd() {
    for (;;) {
        if (At >= End && !Fill(1)) return;
        const std::size_t n = End - At;
        const std::size_t line = LineLength(Data.data() + At, n);
        At += line;
        if (line < n) return;
    }
}

void PgnSource::SkipLine() {
    SkipToLineEnd();
    Get();
}

// -------------------------------------------------------------------- tags

bool ReadPgnTag(const std::string& line, PgnTag* tag) {
    TagPairScan scan;
    return ScanTagPair(LineBytes(line, FirstNonBlank(line)), tag, &scan);
}

bool IsTagPairLine(const std::string& line) {
    std::size_t end = line.size();
    while (end > 0 && IsBlank(line[end - 1])) --end;
    return WholeTagPairsOnly(LineBytes(line.substr(0, end), FirstNonBlank(line)));
}

void PgnTagBlock::Clear() {
    First.clear();
    // A block of many tags leaves a large table: it goes, not kept to be cleared for every block after.
    if (Names.bucket_count() > 64)
        Names = std::unordered_set<std::string>();
    else
        Names.clear();
    AfterGap = false;
}

bool PgnTagBlock::StartsNextBlock(const std::string& name) const {
    if (First.empty()) return false;
    if (name == First) return true;
    return AfterGap && Names.count(name) > 0;
}

void PgnTagBlock::Add(std::string name) {
    if (First.empty()) First = name;
    Names.insert(std::move(name));
    AfterGap = false;
}

int ListPgnGames(PgnSource& source, const std::function<bool(const ListedGame&)>& onGame) {
    PgnGameReader reader(source);
    int count = 0;
    while (reader.NextGame()) {
        ListedGame game;
        game.Offset = reader.GameOffset();
        for (const PgnTag& tag : reader.Tags()) {
            const std::string name = Upper(tag.Name);
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
        }
        ++count;
        if (!onGame(game)) break;
    }
    return count;
}

// -------------------------------------------------------------------- game

bool PgnGameReader::NextGame() {
    SkipByteOrderMark(Source);
    NextSymbol(false);
    if (At != Phase::Tags) return false;
    ReadTags();
    return true;
}

void PgnGameReader::ReadTags() {
    Offset = Source.Position();
    TagList.clear();
    Block.Clear();
    InComment = false;
    VariationDepth = 0;
    GameOver = false;
    bool lineStart = false;  // at a line's start (the block starts at its first pair)
    PgnTag tag;
    TagPairScan scan;
    for (;;) {
        while (IsBlank(Source.Peek())) Source.Get();
        const int c = Source.Peek();
        if (c == '[' && ScanTagPair(SourceLine(Source), &tag, &scan)) {
            std::string name = Upper(tag.Name);
            // The next game's block: this game has no moves.
            if (Block.StartsNextBlock(name)) {
                GameOver = true;
                return;
            }
            Source.Skip(scan.Length);
            if (scan.ToLineEnd) Source.SkipToLineEnd();
            Block.Add(std::move(name));
            TagList.push_back(tag);
            lineStart = false;
            continue;
        }
        if (c < 0) {
            At = Phase::End;
            GameOver = true;
            return;
        }
        if (IsLineEnd(c)) {
            Source.Get();
            if (c == '\r' && Source.Peek() == '\n') Source.Get();
            if (lineStart) Block.Gap();  // an empty line
            lineStart = true;
            continue;
        }
        // Escape and comment lines; comments after the tags of a line.
        if (c == ';' || (lineStart && c == '%') || (!lineStart && c == '{' && CommentsOnly(SourceLine(Source)))) {
            if (lineStart) Block.Gap();
            Source.SkipToLineEnd();
            lineStart = false;
            continue;
        }
        break;
    }
    // The move text begins here.
    At = Phase::Text;
    AtLineStart = false;
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

bool PgnGameReader::TagsBeginAtLineStart() {
    for (;;) {
        while (IsBlank(Source.Peek())) Source.Get();
        if (Source.Peek() == '%' && !InComment) {
            Source.SkipLine();
            continue;
        }
        const SourceLine line(Source);
        return line(0) == '[' && TagPairStartsAt(line, 0) &&
               ((!InComment && VariationDepth == 0) || WholeTagPairsOnly(line));
    }
}

bool PgnGameReader::NextSymbol(bool symbols) {
    while (At == Phase::Text) {
        if (AtLineStart) {
            AtLineStart = false;
            if (TagsBeginAtLineStart()) {
                At = Phase::Tags;
                return false;
            }
        }
        // Passes a comment's text, or plain bytes, a block at a time.
        const std::size_t n = Source.Available();
        if (n == 0) {
            At = Phase::End;
            return false;
        }
        // Symbols never open or close anything: without them only line ends
        // and the bytes that open or close something are looked at.
        const ByteClass passed = symbols ? PLAIN : SYMBOL_ONLY;
        const char* p = Source.Here();
        std::size_t i = 0;
        if (InComment) {
            while (i < n && p[i] != '}' && !IsLineEnd(p[i])) ++i;
        } else {
            while (i < n && BYTE_CLASSES[static_cast<unsigned char>(p[i])] <= passed) ++i;
        }
        Source.Advance(i);
        if (i == n) continue;

        const int c = Source.Get();
        if (IsLineEnd(c)) {
            AtLineStart = true;
            continue;
        }
        if (InComment) {
            InComment = false;  // at its "}"
            continue;
        }
        switch (c) {
            case '{':
                InComment = true;
                continue;
            case ';':
                Source.SkipToLineEnd();
                continue;
            case '(':
                ++VariationDepth;
                continue;
            case ')':
                if (VariationDepth > 0) --VariationDepth;
                continue;
            case '[':
                // A bracketed command: passed over to its end.
                while (Source.Peek() >= 0 && !IsLineEnd(Source.Peek()) && Source.Get() != ']') {
                }
                continue;
            default:
                break;
        }
        if (ClassOf(c) != SYMBOL_START) continue;
        // A check or mate mark ends a move: in the program's own lines a long
        // white move runs into black's ("10.  exd8=Q+Kb7").
        bool marked = false;
        const auto extends = [&marked](int next) {
            if (!IsSymbolCharacter(next)) return false;
            const bool mark = next == '+' || next == '#';
            if (marked && !mark) return false;
            marked = mark;
            return true;
        };
        std::size_t length = 0;  // after c
        if (c != '*') {
            const std::size_t available = Source.Available();
            const char* q = Source.Here();
            while (length < available && extends(static_cast<unsigned char>(q[length]))) ++length;
            if (length == available)
                while (extends(Source.Peek(length))) ++length;
        }
        Symbol.assign(1, static_cast<char>(c));
        Symbol.append(Source.Here(), std::min(length, TOKEN_LIMIT - 1));
        Source.Advance(length);
        // "e.p." after an en-passant capture.
        if (c == 'e' && length == 0 && Source.Peek() == '.' && Source.Peek(1) == 'p') {
            Source.Skip(2);
            if (Source.Peek() == '.') Source.Get();
            continue;
        }
        if (VariationDepth > 0) continue;
        return true;
    }
    return false;
}

bool PgnGameReader::NextMove(std::string* word) {
    while (!GameOver && NextSymbol(true)) {
        if (std::all_of(Symbol.begin(), Symbol.end(), IsDigit) || IsAnnotationSign(Symbol)) continue;
        if (IsResult(Symbol)) {
            GameOver = true;
            break;
        }
        *word = Symbol;
        return true;
    }
    return false;
}

bool IsNullMove(const std::string& word) {
    return word.size() >= 2 && word[0] == '-' && word[1] == '-' &&
           std::all_of(word.begin() + 2, word.end(), [](char c) { return c == '+' || c == '#'; });
}

// ------------------------------------------------------------------- moves

bool ReadSanMove(const std::string& token, int sideToMove, SanMove* san) {
    *san = SanMove{};
    if (IsNullMove(token)) return true;
    // Without check marks and signs glued to it ("e4+", "Nf3+/-", "e5=").
    std::string t = token;
    while (!t.empty() && std::string_view("+#-/=").find(t.back()) != std::string_view::npos) t.pop_back();

    if (t.rfind("O-O", 0) == 0 || t.rfind("0-0", 0) == 0) {
        san->Piece = KING;
        const bool queenSide = t.rfind("O-O-O", 0) == 0 || t.rfind("0-0-0", 0) == 0;
        san->Target = (queenSide ? C1 : G1) + (sideToMove == BLACK ? 56 : 0);
        return true;
    }

    std::size_t at = 0;
    bool pieceGiven = false;
    if (!t.empty() && (PieceOfLetter(t[0]) != 0 || t[0] == 'P')) {
        if (t[0] != 'P') san->Piece = PieceOfLetter(t[0]);
        pieceGiven = true;
        at = 1;
    }

    // The squares, without capture marks and the dash of long algebraic.
    std::string squares;
    for (; at < t.size(); ++at) {
        const char c = t[at];
        if (c == '=') {
            if (at + 1 < t.size()) san->Promotion = PromotionPiece(UpperCase(t[at + 1]));
            break;
        }
        if (c != 'x' && c != 'X' && c != '-') squares.push_back(c);
    }
    // A promotion written without "=": "e8Q", "e7e8Q", or in coordinates "e7e8q".
    if (san->Promotion == 0 && san->Piece == PAWN && squares.size() >= 3) {
        const char last = squares.back();
        const bool coordinates = squares.size() == 5 && SquareFromNameAnyCase(squares[0], squares[1]) >= 0 &&
                                 SquareFromNameAnyCase(squares[2], squares[3]) >= 0;
        if (PromotionPiece(last) || (coordinates && PromotionPiece(UpperCase(last)))) {
            san->Promotion = PromotionPiece(UpperCase(last));
            squares.pop_back();
        }
    }
    if (squares.size() < 2 || squares.size() > 4) return false;

    const std::size_t n = squares.size();
    san->Target = SquareFromNameAnyCase(squares[n - 2], squares[n - 1]);
    if (san->Target < 0) return false;
    for (std::size_t i = 0; i + 2 < n; ++i) san->Origin.push_back(Lower(squares[i]));
    // Both squares and no piece letter: coordinates, any piece.
    san->AnyPiece = !pieceGiven && san->Origin.size() == 2;
    return true;
}

bool SanMatches(const SanMove& san, Move move) {
    if (MoveTo(move) != san.Target || (!san.AnyPiece && MovePiece(move) != san.Piece)) return false;
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
