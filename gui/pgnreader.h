// PGN game files: the move lines of the program's own dialect, the list of
// a file's games and the reading of one game's moves, for the program's
// files and for those other programs write (any line length, CR, LF or
// CRLF line ends, a byte-order mark, comments, variations, annotations).
// Plain C++ over the engine's move codes.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <unordered_set>
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
    // The number of bytes at Here(), at least one unless the file has ended.
    std::size_t Available() { return At < End || Fill(1) ? End - At : 0; }
    // The bytes from the position on; valid until the next call but Advance.
    const char* Here() const { return Data.data() + At; }
    // Takes n of the available bytes.
    void Advance(std::size_t n) { At += n; }
    // Takes n bytes (fewer at the end of the file).
    void Skip(std::size_t n);
    // Takes the rest of the line, not its end (CR or LF).
    void SkipToLineEnd();
    // Takes the rest of the line and its end; a CR LF pair counts as two
    // line ends, an empty line between them.
    void SkipLine();
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

// One tag pair: "[Name value]", the name followed by a blank or a colon;
// blanks may stand inside the brackets.
struct PgnTag {
    std::string Name;   // as written
    std::string Value;  // in quotes, escapes undone (see ReadPgnTag)
};

// Reads the first tag pair of a line: its first character other than blank
// or tab is "[", then, after any blanks, a letter. False for any other
// line. The value ends at the first double quote followed by "]" and then
// the line's end or another tag pair (values the program writes are not
// escaped and may hold quotes); failing that, at the first followed by
// "]" (move text follows the pair); without such a quote it runs to the
// line's last double quote, or to the line's end when there is no second
// one. A pair without quotes is its own value, "[" to "]".
bool ReadPgnTag(const std::string& line, PgnTag* tag);

// The line holds nothing but whole tag pairs: each "[", a name (a colon
// after it allowed), a blank, a quoted value and "]". Inside a comment or a
// variation only such a line is taken for the next game's tags.
bool IsTagPairLine(const std::string& line);

// The names of a tag block so far, to tell where the next block begins: at
// a tag the block already holds when lines other than tags came between,
// or when it is the block's first tag again. A tag repeated among the
// block's lines ("[Annotator]" twice) stays in the block.
class PgnTagBlock {
public:
    void Clear();
    // name in upper case.
    bool StartsNextBlock(const std::string& name) const;
    void Add(std::string name);
    // An empty, escape or comment line inside the block.
    void Gap() { AfterGap = true; }

private:
    std::string First;
    std::unordered_set<std::string> Names;
    bool AfterGap = false;
};

// The tags the game list shows of one tag block.
struct ListedGame {
    i64 Offset = 0;  // file position of the block's first tag pair
    std::string White, Black, Result, Date, Site;
};

// Lists the games from the source's position to the end of the file with
// PgnGameReader, reading each byte once, so that every listed game loads
// from its offset as the listing read it. onGame returns false to stop the
// listing. Returns the number of games passed to onGame.
int ListPgnGames(PgnSource& source, const std::function<bool(const ListedGame&)>& onGame);

// Reads a file's games in order from the source's position: each game's tag
// block, then the words of its main line. The one reading of a file for
// the game list and the loader.
//
// A tag block is a run of tag lines; a line may hold several tag pairs,
// then comments or the start of the move text. Empty lines, "%" escape lines and ";" comment
// lines inside it do not end it; where the next block begins without move
// text between, PgnTagBlock tells. In the move text, comments (braces and
// ";" to the line's end), variations, bracketed commands ("[%clk 0:01:00]")
// and "%" escape lines are passed over; the next game's tags begin at a line
// that starts with a tag pair, or inside a comment or a variation at a line
// of whole tag pairs only.
class PgnGameReader {
public:
    explicit PgnGameReader(PgnSource& source) : Source(source) {}

    // Moves past what is left of the game before (the rest of its moves, any
    // text after its result) to the next tag block and reads it: false at
    // the end of the file.
    bool NextGame();
    // File position of the game's first tag pair.
    i64 GameOffset() const { return Offset; }
    const std::vector<PgnTag>& Tags() const { return TagList; }
    // A FEN tag sets up a position other than the standard start position.
    bool SetsUpPosition() const;

    // The next word of the game's main line as written ("Nf3", "0-0", "--",
    // "zzz"), without annotation marks glued to it ("!", "?"). Move
    // numbers, numeric annotations ("$14"), the annotation signs "+/-",
    // "-/+", "+-", "-+", "=/+", "+/=", "=+", "+=", "=", "N", "TN", "D" and
    // any byte outside ASCII ("∞"), and "e.p." are passed over. False at the
    // game's end: its result, the next game's tags or the end of the file.
    bool NextMove(std::string* word);

private:
    enum class Phase { Text, Tags, End };
    // At a line's start in move text: passes blanks and escape lines; true
    // when the next game's tags begin here.
    bool TagsBeginAtLineStart();
    // Reads the tag block at the source's position.
    void ReadTags();
    // The next character run of a move, a number, a sign or a result in the
    // main line, into Symbol; false when the move text ends (Phase leaves
    // Text). Without symbols it passes them over to the move text's end.
    bool NextSymbol(bool symbols);

    PgnSource& Source;
    Phase At = Phase::Text;
    bool AtLineStart = true;
    bool GameOver = true;  // its result was read (or no game was begun)
    bool InComment = false;
    int VariationDepth = 0;
    std::string Symbol;
    PgnTagBlock Block;
    std::vector<PgnTag> TagList;
    i64 Offset = 0;
};

// A null move ("--", check marks after it allowed).
bool IsNullMove(const std::string& word);

// A move word read as far as its piece, squares and promotion.
struct SanMove {
    int Piece = PAWN;
    int Target = -1;       // -1: a null move, which matches no move
    std::string Origin;    // empty, a file letter or rank digit, or a square name
    int Promotion = 0;     // 0: none given (a promoting pawn then takes the first generated piece)
    bool AnyPiece = false; // both squares without a piece letter ("g1f3"): the piece on the first
};

// Reads a move word for the side to move (castling targets): algebraic
// ("Nbd2", "exd5", "e8=Q"), long algebraic ("Ng1-f3", "Qh4xe1", "e2-e4"),
// coordinates ("g1f3", "e7e8q"), castling with the letter O or zeros. False
// when the word is no move: a squares part of a length other than 2 to 4,
// or a target that is no square.
bool ReadSanMove(const std::string& token, int sideToMove, SanMove* san);

// The generated move is one the token may mean (its legality aside).
bool SanMatches(const SanMove& san, Move move);

// The line a move-list row is written as: the white cell (a blank inserted
// after its fourth character for moves 10 to 99), padded with blanks to 12
// characters, then the black cell.
std::string PgnMoveLine(int row, const std::string& whiteCell, const std::string& blackCell);
