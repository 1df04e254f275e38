#include "book.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

#include "bitboard.h"
#include "filewrite.h"
#include "globals.h"

namespace {

u32 Word(const BookRecord& r, int i) { return static_cast<u32>(r.Code[i / 2] >> (32 * (i % 2))); }

// Appends bits to the code stream; bits from 192 on are not stored.
struct CodeWriter {
    u64* words;
    int bit = 0;
    void Put(int value) {
        if (bit < 192 && value) words[bit / 64] |= u64{1} << (bit % 64);
        ++bit;
    }
    void Put(std::initializer_list<int> bits) {
        for (int b : bits) Put(b);
    }
};

// A whole-file advisory lock held for one lookup (shared) or one
// read-modify-write (exclusive). Without lock support the work goes on unlocked.
class FileLock {
public:
    FileLock(int fd, short type) : fd_(fd) {
        struct flock fl{};
        fl.l_type = type;
        fl.l_whence = SEEK_SET;
        while (fcntl(fd_, F_SETLKW, &fl) == -1) {
            if (errno != EINTR) return;
        }
        locked_ = true;
    }
    ~FileLock() {
        if (!locked_) return;
        struct flock fl{};
        fl.l_type = F_UNLCK;
        fl.l_whence = SEEK_SET;
        fcntl(fd_, F_SETLK, &fl);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_;
    bool locked_ = false;
};

// Score of a slot as the selection sees it; a slot without games scores 0.
float SlotScore(u32 slot) {
    const u32 won = BookSlotWon(slot), lost = BookSlotLost(slot), drawn = BookSlotDrawn(slot);
    const u32 games = won + lost + drawn;
    if (games == 0) return 0.0f;
    return static_cast<float>((won + 0.5 * drawn) / games);
}

// Weight of a score; the thresholds are compared in double precision.
double SlotWeight(float s) {
    const double d = s;
    if (d > 0.8) return 10000.0 * d;
    if (d > 0.5) return 1000.0 * d;
    if (d > 0.2) return 100.0 * d;
    return 0.0;
}

}  // namespace

u32 BookKeyLo(const BookRecord& r) { return Word(r, 0) ^ Word(r, 2) ^ Word(r, 4); }
u32 BookKeyHi(const BookRecord& r) { return Word(r, 1) ^ Word(r, 3) ^ Word(r, 5); }

bool BookKeyLess(const BookRecord& a, const BookRecord& b) {
    const u32 ah = BookKeyHi(a), bh = BookKeyHi(b);
    if (ah != bh) return ah < bh;
    return BookKeyLo(a) < BookKeyLo(b);
}

bool BookKeyEqual(const BookRecord& a, const BookRecord& b) {
    return BookKeyHi(a) == BookKeyHi(b) && BookKeyLo(a) == BookKeyLo(b);
}

bool BookCodeEqual(const BookRecord& a, const BookRecord& b) {
    return a.Code[0] == b.Code[0] && a.Code[1] == b.Code[1] && a.Code[2] == b.Code[2];
}

void BookRecordToBytes(const BookRecord& r, unsigned char out[BOOK_RECORD_BYTES]) {
    for (int w = 0; w < 3; ++w)
        for (int i = 0; i < 8; ++i) out[w * 8 + i] = static_cast<unsigned char>(r.Code[w] >> (8 * i));
    for (int s = 0; s < 2; ++s)
        for (int i = 0; i < 4; ++i) out[24 + s * 4 + i] = static_cast<unsigned char>(r.Slot[s] >> (8 * i));
}

BookRecord BookRecordFromBytes(const unsigned char in[BOOK_RECORD_BYTES]) {
    BookRecord r{};
    for (int w = 0; w < 3; ++w)
        for (int i = 0; i < 8; ++i) r.Code[w] |= u64{in[w * 8 + i]} << (8 * i);
    for (int s = 0; s < 2; ++s)
        for (int i = 0; i < 4; ++i) r.Slot[s] |= u32{in[24 + s * 4 + i]} << (8 * i);
    return r;
}

bookclass::bookclass(const char* path) {
    if (path == nullptr) return;
    fd_ = open(path, O_RDWR | O_CLOEXEC);
    writable_ = fd_ >= 0;
    if (fd_ < 0) fd_ = open(path, O_RDONLY | O_CLOEXEC);
    struct stat st{};
    if (fd_ >= 0 && (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
        close(fd_);
        fd_ = -1;
        writable_ = false;
    }
}

bookclass::~bookclass() {
    FinishLearning();
    if (fd_ >= 0) close(fd_);
}

int bookclass::EncodePosition(const Position* pos, BookRecord* out) {
    *out = BookRecord{};
    CodeWriter w{out->Code};
    for (int sq = 0; sq < 64; ++sq) {
        const Bitboard bit = Bit(sq);
        int colour = -1, piece = NO_PIECE;
        for (int c = 0; c < 2 && colour < 0; ++c)
            for (int t = PAWN; t <= KING; ++t)
                if (pos->Pieces[c][t] & bit) {
                    colour = c;
                    piece = t;
                    break;
                }
        const int c = colour == WHITE ? 1 : 0;
        switch (piece) {
            case PAWN: w.Put({1, 0, c}); break;
            case KNIGHT: w.Put({1, 1, 0, 1, c}); break;
            case BISHOP: w.Put({1, 1, 0, 0, c}); break;
            case ROOK: w.Put({1, 1, 1, 0, c}); break;
            case QUEEN: w.Put({1, 1, 1, 1, 0, c}); break;
            case KING: w.Put({1, 1, 1, 1, 1, c}); break;
            default: w.Put(0); break;
        }
    }
    u32 flags = 0;
    if (pos->EpSquare != -1) flags |= static_cast<u32>(pos->EpSquare) << 4;
    if (pos->SideToMove == WHITE) flags |= 1u << 10;
    if (pos->CastleShort[WHITE]) flags |= 1u << 11;
    if (pos->CastleLong[WHITE]) flags |= 1u << 12;
    if (pos->CastleShort[BLACK]) flags |= 1u << 13;
    if (pos->CastleLong[BLACK]) flags |= 1u << 14;
    out->Code[2] |= u64{flags} << 32;
    return 1;
}

bool bookclass::ReadRecord(long long index, BookRecord* r) {
    unsigned char bytes[BOOK_RECORD_BYTES];
    size_t got = 0;
    const off_t base = static_cast<off_t>(index) * BOOK_RECORD_BYTES;
    while (got < sizeof bytes) {
        const ssize_t n = pread(fd_, bytes + got, sizeof bytes - got, base + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    *r = BookRecordFromBytes(bytes);
    return true;
}

bool bookclass::WriteRecord(long long index, const BookRecord& r, const BookRecord& old) {
    unsigned char bytes[BOOK_RECORD_BYTES], before[BOOK_RECORD_BYTES];
    BookRecordToBytes(r, bytes);
    BookRecordToBytes(old, before);
    const off_t base = static_cast<off_t>(index) * BOOK_RECORD_BYTES;
    std::string reason;
    if (RewriteInPlace(fd_, base, bytes, before, sizeof bytes, &reason)) return true;
    writeError_ = reason;
    return false;
}

bool bookclass::FinishLearning() {
    if (unflushed_.empty()) return true;
    FileLock lock(fd_, F_WRLCK);
    std::string reason;
    const bool flushed = FlushFile(fd_, &reason);
    if (!flushed) {
        for (auto r = unflushed_.rbegin(); r != unflushed_.rend(); ++r) {
            BookRecord now;
            if (ReadRecord(r->index, &now) && BookCodeEqual(now, r->after) && now.Slot[0] == r->after.Slot[0] &&
                now.Slot[1] == r->after.Slot[1])
                WriteRecord(r->index, r->before, r->after);
        }
        FlushFile(fd_, nullptr);
        writeError_ = reason;
    }
    unflushed_.clear();
    return flushed;
}

std::string bookclass::TakeWriteError() {
    std::string error;
    error.swap(writeError_);
    return error;
}

bookclass::Run bookclass::Lookup(const BookRecord& key) {
    Run run;
    if (fd_ < 0) return run;
    struct stat st{};
    if (fstat(fd_, &st) != 0 || st.st_size < BOOK_RECORD_BYTES) return run;
    run.count = static_cast<long long>(st.st_size / BOOK_RECORD_BYTES);

    long long lo = 0, hi = run.count - 1, found = -1;
    BookRecord r;
    while (lo <= hi) {
        const long long mid = lo + (hi - lo) / 2;
        if (!ReadRecord(mid, &r)) return run;
        if (BookKeyEqual(r, key)) {
            found = mid;
            break;
        }
        if (BookKeyLess(key, r))
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    if (found < 0) return run;
    while (found > 0 && ReadRecord(found - 1, &r) && BookKeyEqual(r, key)) --found;
    run.first = found;
    return run;
}

int bookclass::FindMove(Position pos) {
    if (fd_ < 0) return 0;
    BookRecord key;
    EncodePosition(&pos, &key);

    u32 candidates[BOOK_CANDIDATES];
    int n = 0;
    {
        FileLock lock(fd_, F_RDLCK);
        const Run run = Lookup(key);
        if (run.first < 0) return 0;
        BookRecord r;
        for (long long i = run.first; i < run.count && n < BOOK_CANDIDATES; ++i) {
            if (!ReadRecord(i, &r) || !BookKeyEqual(r, key)) break;
            if (!BookCodeEqual(r, key)) continue;
            for (u32 slot : r.Slot)
                if (slot != 0 && n < BOOK_CANDIDATES) candidates[n++] = slot;
        }
    }
    if (n == 0) return 0;

    float best = 0.0f;
    int total = 0;
    for (int i = 0; i < n; ++i) {
        const float s = SlotScore(candidates[i]);
        if (s == 1.0f && BookSlotWon(candidates[i]) > 3) return static_cast<int>(BookSlotMove(candidates[i]));
        if (s > best) best = s;
        total = static_cast<int>(total + SlotWeight(s));
    }
    if (best < 0.2) return 0;

    const int r = total == 0 ? 0 : EngineRandom() % total;
    int sum = 0;
    for (int i = 0; i < n; ++i) {
        const float s = SlotScore(candidates[i]);
        sum = static_cast<int>(sum + SlotWeight(s));
        if (sum >= r && s > 0.2) return static_cast<int>(BookSlotMove(candidates[i]));
    }
    return 0;
}

int bookclass::Learn(const Position* before, short move, float result) {
    constexpr i32 wonBit = 1 << BOOK_WON_SHIFT, lostBit = 1 << BOOK_LOST_SHIFT, drawnBit = 1 << BOOK_DRAWN_SHIFT;
    LearnMask[0] = LearnMask[1] = drawnBit;
    if (result == 1.0f) {
        LearnMask[0] = wonBit;
        LearnMask[1] = lostBit;
    } else if (result == 0.0f) {
        LearnMask[0] = lostBit;
        LearnMask[1] = wonBit;
    }
    if (fd_ < 0 || !writable_) return 0;

    BookRecord key;
    EncodePosition(before, &key);
    const u32 wanted = static_cast<u32>(move) & BOOK_MOVE_MASK;

    FileLock lock(fd_, F_WRLCK);
    const Run run = Lookup(key);
    if (run.first < 0) return 0;
    BookRecord r;
    for (long long i = run.first; i < run.count; ++i) {
        if (!ReadRecord(i, &r) || !BookKeyEqual(r, key)) return 0;
        if (!BookCodeEqual(r, key)) continue;
        const BookRecord old = r;
        for (u32& slot : r.Slot) {
            if (slot == 0 || BookSlotMove(slot) != wanted) continue;
            u32 won = BookSlotWon(slot), lost = BookSlotLost(slot), drawn = BookSlotDrawn(slot);
            if (won > 126 || lost > 126) {
                won = static_cast<u32>(0.9 * won);
                lost = static_cast<u32>(0.9 * lost);
            }
            if (drawn > 62) drawn = 62;
            const i32 mask = LearnMask[before->SideToMove & 1];
            if (mask & wonBit)
                ++won;
            else if (mask & lostBit)
                ++lost;
            else
                ++drawn;
            slot = MakeBookSlot(BookSlotMove(slot), won, lost, drawn);
            if (!WriteRecord(i, r, old)) return 0;
            unflushed_.push_back({i, old, r});
            return 1;
        }
    }
    return 0;
}
