// Files written whole or left as they were, on a really full disk (a small
// tmpfs of the test's own) and in the usual cases around it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "filewrite.h"
#include "killedsave.h"
#include "smallfs.h"
#include "unprivileged.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The names in the folder, the filler of a full disk left out.
std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename() != ".filler") names.insert(e.path().filename().string());
    return names;
}

class FullDiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
        folder = disk.Path();
    }
    SmallFileSystem disk{256};
    fs::path folder;
};

struct FullCase {
    const char* what;
    size_t oldSize;  // 0: no file before
    long freeBytes;  // left free on the disk
    size_t newSize;
};

const FullCase FullCases[] = {
    {"a small file, nothing free", 83, 0, 120},
    {"a file cut inside by a page free", 9492, 4096, 9600},
    {"a new file, nothing free", 0, 0, 100},
    {"a new file larger than the page free", 0, 4096, 10000},
    {"past any write buffer", 20000, 0, 40000},
};

// The file holds the bytes; a failure gives the lengths, not kilobytes of text.
::testing::AssertionResult Holds(const fs::path& path, const std::string& bytes) {
    const std::string read = Read(path);
    if (read == bytes) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << path << " holds " << read.size() << " bytes, not the " << bytes.size()
                                         << " expected";
}

// Runs body as the unprivileged user, for whom file modes bind; false with
// the reason in *why when that cannot be.
bool AsUser(const std::function<void()>& body, std::string* why) {
    const UnprivilegedRun run = RunUnprivileged(body, [] { return ::testing::Test::HasFailure(); });
    *why = run.why;
    if (run.ran) {
        EXPECT_FALSE(run.failed) << run.why;
    }
    return run.ran;
}

constexpr fs::perms ReadOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
constexpr fs::perms Locked = ReadOnly | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
constexpr fs::perms AllMayWrite = ReadOnly | fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

std::string Text(size_t size, char c) {
    std::string s;
    while (s.size() < size) s += std::string("Key=") + c + "\n";
    s.resize(size);
    return s;
}

}  // namespace

TEST_F(FullDiskTest, AReplacedFileIsWholeOrAsItWas) {
    for (const FullCase& c : FullCases) {
        SCOPED_TRACE(c.what);
        const fs::path file = folder / "Morlaquin.ini";
        const std::string before = Text(c.oldSize, 'a');
        if (c.oldSize > 0) Write(file, before);
        ASSERT_TRUE(disk.Fill(c.freeBytes));
        std::string reason;
        EXPECT_FALSE(ReplaceFileWhole(file.string(), Text(c.newSize, 'b'), &reason));
        EXPECT_EQ(reason, std::strerror(ENOSPC));
        if (c.oldSize > 0) {
            EXPECT_EQ(Read(file), before);
            EXPECT_EQ(Names(folder), std::set<std::string>{"Morlaquin.ini"});
        } else {
            EXPECT_TRUE(Names(folder).empty());
        }
        disk.Empty();
        EXPECT_TRUE(ReplaceFileWhole(file.string(), Text(c.newSize, 'b'), &reason));
        EXPECT_EQ(Read(file), Text(c.newSize, 'b'));
        fs::remove(file);
    }
}

TEST_F(FullDiskTest, AnAppendGoesInWholeOrTheFileIsAsItWas) {
    for (const FullCase& c : FullCases) {
        SCOPED_TRACE(c.what);
        const fs::path file = folder / "games.pgn";
        const std::string before = Text(c.oldSize, 'a');
        if (c.oldSize > 0) Write(file, before);
        ASSERT_TRUE(disk.Fill(c.freeBytes));
        // More than the free page and the old file's last page hold.
        const std::string game = Text(c.newSize + 8192, 'g');
        std::string reason;
        EXPECT_FALSE(AppendToFileWhole(file.string(), game, &reason));
        EXPECT_EQ(reason, std::strerror(ENOSPC));
        if (c.oldSize > 0)
            EXPECT_EQ(Read(file), before);
        else
            EXPECT_FALSE(fs::exists(file));
        disk.Empty();
        EXPECT_TRUE(AppendToFileWhole(file.string(), game, &reason));
        EXPECT_EQ(Read(file), before + game);
        fs::remove(file);
    }
}

TEST(FileWriteTest, AReplacedFileKeepsItsPermissionsAndItsLink) {
    char pattern[] = "/tmp/filewrite.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    const fs::path real = folder / "real.ini", link = folder / "link.ini";
    Write(real, "old");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, link);
    std::string reason;
    EXPECT_TRUE(ReplaceFileWhole(link.string(), "new", &reason));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(real), "new");
    EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Names(folder), (std::set<std::string>{"link.ini", "real.ini"}));

    // A folder in the file's place, and a folder that is gone.
    fs::create_directory(folder / "dir.ini");
    EXPECT_FALSE(ReplaceFileWhole((folder / "dir.ini").string(), "x", &reason));
    EXPECT_EQ(reason, std::strerror(EISDIR));
    EXPECT_FALSE(AppendToFileWhole((folder / "dir.ini").string(), "x", &reason));
    EXPECT_FALSE(ReplaceFileWhole((folder / "gone" / "x").string(), "x", &reason));
    EXPECT_EQ(reason, std::strerror(ENOENT));
    EXPECT_TRUE(fs::is_directory(folder / "dir.ini"));
    fs::remove_all(folder);
}

TEST_F(FullDiskTest, AFileRewrittenInPlaceIsWholeOrAsItWas) {
    // A writable file in a folder the user may not write, so rewritten where
    // it stands. A rewrite needs no more of the disk than the file held.
    const FullCase cases[] = {
        {"longer than the space free", 20000, 0, 40000},
        {"longer than the page free", 9492, 4096, 20000},
        {"as long, nothing free", 9492, 0, 9492},
        {"shorter, nothing free", 20000, 0, 100},
    };
    const fs::path shared = folder / "shared", file = shared / "Morlaquin.ini";
    ASSERT_TRUE(MakeLockedFolder(shared, "Morlaquin.ini", ""));
    std::string why;
    for (const FullCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = Text(c.oldSize, 'a'), after = Text(c.newSize, 'b');
        Write(file, before);
        // Any write would set the time of the last change to now.
        const timespec longAgo[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), longAgo, 0), 0);
        ASSERT_TRUE(disk.Fill(c.freeBytes));
        const bool fits = c.newSize <= c.oldSize;
        if (!AsUser(
                [&] {
                    std::string reason;
                    EXPECT_EQ(ReplaceFileWhole(file.string(), after, &reason), fits);
                    if (!fits) {
                        EXPECT_EQ(reason, NoSpaceText());
                    }
                },
                &why))
            GTEST_SKIP() << why;
        EXPECT_TRUE(Holds(file, fits ? after : before));
        struct stat st{};
        ASSERT_EQ(stat(file.c_str(), &st), 0);
        if (!fits) {
            EXPECT_EQ(st.st_mtim.tv_sec, longAgo[1].tv_sec) << "written before the disk was found full";
        }
        EXPECT_EQ(Names(shared), std::set<std::string>{"Morlaquin.ini"});
        disk.Empty();
        AsUser([&] { EXPECT_TRUE(ReplaceFileWhole(file.string(), after, nullptr)); }, &why);
        EXPECT_TRUE(Holds(file, after));
        EXPECT_EQ(Names(shared), std::set<std::string>{"Morlaquin.ini"});
    }
}

namespace {

// A folder of the unprivileged user's own that the test's bodies, run as
// that user, work in.
class UserFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (own.Path().empty()) GTEST_SKIP() << "no folder the unprivileged user can reach";
        folder = own.Path();
    }

    // A file or folder of the user's own, with the mode.
    void Make(const fs::path& path, const std::string& bytes, fs::perms mode) {
        Write(path, bytes);
        fs::permissions(path, mode);
        ASSERT_TRUE(GiveToUnprivilegedUser(path.string()));
    }
    void MakeFolder(const fs::path& path, fs::perms mode) {
        fs::create_directory(path);
        fs::permissions(path, mode);
        ASSERT_TRUE(GiveToUnprivilegedUser(path.string()));
    }
    void MakeLink(const fs::path& to, const fs::path& path) {
        fs::create_symlink(to, path);
        ASSERT_TRUE(GiveToUnprivilegedUser(path.string()));
    }

    UserFolder own{"filewrite"};
    fs::path folder;
};

}  // namespace

TEST_F(UserFolderTest, AFileThePersonMayNotWriteIsNeverWritten) {
    // A file made read-only in the person's own folder, the same through a
    // link, and a new file in a folder they may not write.
    const fs::path own = folder / "own", shared = folder / "shared";
    MakeFolder(own, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec);
    MakeFolder(shared, Locked);
    const std::string before = "; two keys and a note of mine\n[Settings]\nBoard=3\nSounds=0\n";
    ASSERT_TRUE(MakeReadOnlyFile(own / "Morlaquin.ini", before));
    MakeLink("Morlaquin.ini", own / "link.ini");
    std::string why;
    if (!AsUser(
            [&] {
                for (const fs::path& path : {own / "Morlaquin.ini", own / "link.ini", shared / "new.ini"}) {
                    SCOPED_TRACE(path.string());
                    std::string reason;
                    EXPECT_FALSE(ReplaceFileWhole(path.string(), "[Settings]\nBoard=1\n", &reason));
                    EXPECT_EQ(reason, std::strerror(EACCES));
                    reason.clear();
                    EXPECT_FALSE(AppendToFileWhole(path.string(), "more\n", &reason));
                    EXPECT_EQ(reason, std::strerror(EACCES));
                }
            },
            &why))
        GTEST_SKIP() << why;
    EXPECT_EQ(Read(own / "Morlaquin.ini"), before);
    EXPECT_EQ(fs::status(own / "Morlaquin.ini").permissions(), ReadOnly);
    EXPECT_TRUE(fs::is_symlink(own / "link.ini"));
    EXPECT_EQ(Names(own), (std::set<std::string>{"Morlaquin.ini", "link.ini"}));
    EXPECT_TRUE(Names(shared).empty());
}

TEST_F(UserFolderTest, AWritableFileInAFolderThatTakesNoNewFileIsRewrittenWhereItStands) {
    // A folder of the administrator's with a file all may write.
    const fs::path shared = folder / "shared", file = shared / "Morlaquin.ini";
    ASSERT_TRUE(MakeLockedFolder(shared, "Morlaquin.ini", Text(5000, 'a')));
    struct stat before{};
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    std::string why;
    if (!AsUser(
            [&] {
                for (const size_t size : {size_t{9000}, size_t{100}, size_t{0}, size_t{6000}}) {
                    SCOPED_TRACE(size);
                    std::string reason;
                    EXPECT_TRUE(ReplaceFileWhole(file.string(), Text(size, 'b'), &reason)) << reason;
                    EXPECT_TRUE(Holds(file, Text(size, 'b')));
                }
                EXPECT_TRUE(AppendToFileWhole(file.string(), "tail\n", nullptr));
            },
            &why))
        GTEST_SKIP() << why;
    EXPECT_TRUE(Holds(file, Text(6000, 'b') + "tail\n"));
    struct stat after{};
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(Names(shared), std::set<std::string>{"Morlaquin.ini"});
}

TEST_F(UserFolderTest, WhatKilledSavesLeftIsRemovedAndARunningSavesFileStays) {
    const pid_t gone = GoneProcess();
    const std::string running = KilledSaveFile("Morlaquin.ini", getppid()),
                      otherFiles = KilledSaveFile("MLPersonalities.ini", gone),
                      notOurs[] = {KilledSaveFile("Morlaquin.ini", gone) + ".keep", "Morlaquin.ini.1-0.new"};
    Make(folder / "Morlaquin.ini", "[Settings]\nBoard=3\n", AllMayWrite);
    for (const std::string& name : {KilledSaveFile("Morlaquin.ini", gone, 0), KilledSaveFile("Morlaquin.ini", gone, 3),
                                    running, otherFiles, notOurs[0], notOurs[1]})
        Make(folder / name, "[Settings", AllMayWrite);
    std::string why;
    if (!AsUser(
            [&] {
                EXPECT_TRUE(ReplaceFileWhole((folder / "Morlaquin.ini").string(), "[Settings]\nBoard=1\n", nullptr));
                EXPECT_EQ(Names(folder), (std::set<std::string>{"Morlaquin.ini", running, otherFiles, notOurs[0],
                                                                notOurs[1]}));
                // At start, for a file that is not saved yet.
                RemoveStaleTemporaryFiles((folder / "MLPersonalities.ini").string());
            },
            &why))
        GTEST_SKIP() << why;
    EXPECT_EQ(Read(folder / "Morlaquin.ini"), "[Settings]\nBoard=1\n");
    EXPECT_EQ(Names(folder), (std::set<std::string>{"Morlaquin.ini", running, notOurs[0], notOurs[1]}));
}

TEST_F(UserFolderTest, ADanglingLinkGetsItsFileMadeOrTheRealReasonSaid) {
    MakeLink("Morlaquin.ini", folder / "settings.ini");
    MakeLink(folder / "games.pgn", folder / "my.pgn");
    MakeLink("gone/x.ini", folder / "nowhere.ini");
    MakeLink("gone/x.pgn", folder / "nowhere.pgn");
    MakeLink("round.ini", folder / "round.ini");
    std::string why;
    if (!AsUser(
            [&] {
                std::string reason;
                EXPECT_TRUE(ReplaceFileWhole((folder / "settings.ini").string(), "[Settings]\n", &reason)) << reason;
                EXPECT_TRUE(AppendToFileWhole((folder / "my.pgn").string(), "[Event \"?\"]\n", &reason)) << reason;
                const struct {
                    const char* name;
                    int error;
                } refused[] = {{"nowhere.ini", ENOENT}, {"nowhere.pgn", ENOENT}, {"round.ini", ELOOP}};
                for (const auto& r : refused) {
                    SCOPED_TRACE(r.name);
                    EXPECT_FALSE(ReplaceFileWhole((folder / r.name).string(), "x", &reason));
                    EXPECT_EQ(reason, std::strerror(r.error));
                    EXPECT_FALSE(AppendToFileWhole((folder / r.name).string(), "x", &reason));
                    EXPECT_EQ(reason, std::strerror(r.error));
                }
            },
            &why))
        GTEST_SKIP() << why;
    EXPECT_TRUE(fs::is_symlink(folder / "settings.ini"));
    EXPECT_EQ(Read(folder / "Morlaquin.ini"), "[Settings]\n");
    EXPECT_TRUE(fs::is_symlink(folder / "my.pgn"));
    EXPECT_EQ(Read(folder / "games.pgn"), "[Event \"?\"]\n");
    EXPECT_EQ(Names(folder), (std::set<std::string>{"Morlaquin.ini", "games.pgn", "my.pgn", "nowhere.ini",
                                                    "nowhere.pgn", "round.ini", "settings.ini"}));
}
