// PGN game files: the move lines of the program's own dialect, the list of
// a file's games and the reading of one game's moves, for the program's
// files and for those other programs write (any line length, CR, LF or
// CRLF line ends, a byte-order mark, comments, variations, annotations).
// Plain C++ over the engine's move codes.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "types.h"

// A file read forward in large blocks, at 64-bit positions.
class PgnSource {
public:
    PgnSource();
    ~PgnSource();
    PgnSource(const PgnSource&) = delete;
    PgnSource& operator=(const PgnSource&) = delete;

    // False when the file cannot be opened for reading.
    bool Open(const std::string& path);
    // False when the position cannot be reached.
    bool Seek(i64 offset);
    // The position of the next byte.
    i64 Position() const { return BlockStart + static_cast<i64>(At); }
    // The next byte, or -1 at the end of the file (or after a read error).
    int Get() { return At < End || Fill(1) ? static_cast<unsigned char>(Data[At++]) : -1; }
    // The byte k places ahead without taking it, or -1.
    int Peek(std::size_t k = 0) { return At + k < End || Fill(k + 1) ? static_cast<unsigned char>(Data[At + k]) : -1; }
    // Takes bytes up to and including the next line end (CR or LF); a CR LF
    // pair counts as two line ends, an empty line between them.
    void SkipLine();
    // Takes the rest of the line and its end; keeps at most limit bytes of it.
    void ReadLine(std::string* line, std::size_t limit);
    // Takes the rest of the line and its end, passing the line's bytes (not
    // its end) to scan, a stretch at a time: scan(const char* bytes, size).
    template <class Scan>
    void ScanLine(Scan&& scan) {
        for (;;) {
            if (At >= End && !Fill(1)) return;
            const char* p = Data.data() + At;
            const std::size_t n = End - At;
            const std::size_t line = LineLength(p, n);
            scan(p, line);
            if (line < n) {
                At += line + 1;
                return;
            }
            At = End;
        }
    }
    // A read failed (the end of the file is no failure).
    bool ReadFailed() const { return Failed; }

private:
    // Makes at least n bytes available from At on, when the file has them.
    bool Fill(std::size_t n);
    // Bytes before the first line end (CR or LF) of the n at p; n when none.
    static std::size_t LineLength(const char* p, std::size_t n);

    std::FILE* File = nullptr;
    std::vector<char> Data;
    std::size_t At = 0;
    std::size_t End = 0;
    i64 BlockStart = 0;  // file position of Data[0]
    bool Failed = false;
};

// One tag pair: "[Name value]", the name followed by a blank or a colon.
struct PgnTag {
    std::string Name;   // as written
    std::string Value;  // between the line's first and last double quote, escapes undone
};

// Reads a tag line: its first character other than blank or tab is "[",
// followed by a letter. False for any other line.
bool ReadPgnTag(const std::string& line, PgnTag* tag);

// The line is a whole tag pair: "[", a name, a blank or a colon, a quoted
// value and "]", with nothing but blanks around it. Inside a comment or a
// variation only such a line is taken for the next game's tags.
bool IsTagPairLine(const std::string& line);

// The names of a tag block so far, to tell where the next block begins: at
// a tag the block already holds when lines other than tags came between,
// or when it is the block's first tag again. A tag repeated among the
// block's lines ("[Annotator]" twice) stays in the block.
class PgnTagBlock {
public:
    void Clear();
    bool Empty() const { return Names.empty(); }
    // name in upper case.
    bool StartsNextBlock(const std::string& name) const;
    void Add(std::string name);
    // An empty, escape or comment line inside the block.
    void Gap() { AfterGap = true; }

private:
    std::vector<std::string> Names;
    bool AfterGap = false;
};

// What a stretch of move text leaves open: a brace comment, variations, a
// rest-of-line comment.
struct MoveTextState {
    bool InComment = false;
    int VariationDepth = 0;
    bool RestOfLine = false;  // after a ";" outside a comment, to the line's end

    // Inside a comment or a variation: only a whole tag pair ends the game.
    bool Open() const { return InComment || VariationDepth > 0; }
    // Takes n bytes of a line.
    void Take(const char* p, std::size_t n);
    void LineEnds() { RestOfLine = false; }
};

// The tags the game list shows of one tag block.
struct ListedGame {
    i64 Offset = 0;  // file position of the block's first line
    std::string White, Black, Result, Date, Site;
};

// Lists the tag blocks from the source's position to the end of the file,
// reading each byte once. A block is a run of tag lines; empty lines, "%"
// escape lines and ";" comment lines inside it do not end it, and where
// the next block begins without move text between PgnTagBlock tells. A
// line in a comment or a variation of the move text is no tag line unless
// it is a whole tag pair. onGame returns false to stop the listing.
// Returns the number of blocks passed to onGame.
int ListPgnGames(PgnSource& source, const std::function<bool(const ListedGame&)>& onGame);

// Reads one game from the first line of its tag block: its tags, then the
// move tokens of its main line.
class PgnGameReader {
public:
    explicit PgnGameReader(PgnSource& source) : Source(source) {}

    // Reads the tag block; the source is then at the move text.
    void ReadTags();
    const std::vector<PgnTag>& Tags() const { return TagList; }
    // A FEN tag sets up a position other than the standard start position.
    bool SetsUpPosition() const;

    // The next move token of the main line, without annotation marks ("!",
    // "?"), with castling written in zeros turned into "O-O" / "O-O-O".
    // Move numbers, comments, variations, numeric annotations, "e.p." and
    // escape lines are passed over. False at the game's end: its result
    // token, the next tag line (inside a comment or a variation only a
    // whole tag pair), or the end of the file.
    bool NextMove(std::string* token);

private:
    // At a line's start: passes blanks, "%" escape lines; true when a tag
    // line follows.
    bool TagLineFollows();

    PgnSource& Source;
    std::vector<PgnTag> TagList;
    bool AtLineStart = true;
    MoveTextState Text;
    bool Ended = false;
};

// A move token read as far as its piece, squares and promotion.
struct SanMove {
    int Piece = PAWN;
    int Target = -1;     // -1: no square, the token matches no move
    std::string Origin;  // empty, a file letter or rank digit, or a square name
    int Promotion = 0;   // 0: none given (a promoting pawn then takes the first generated piece)
};

// Reads a move token for the side to move (castling targets). False when
// the token is no move: a squares part of a length other than 2 to 4.
bool ReadSanMove(const std::string& token, int sideToMove, SanMove* san);

// The generated move is one the token may mean (its legality aside).
bool SanMatches(const SanMove& san, Move move);

// The line a move-list row is written as: the white cell (a blank inserted
// after its fourth character for moves 10 to 99), padded with blanks to 12
// characters, then the black cell.
std::string PgnMoveLine(int row, const std::string& whiteCell, const std::string& blackCell);
