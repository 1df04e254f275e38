// Files written whole or left as they were, on a really full disk (a small
// tmpfs of the test's own) and in the usual cases around it.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "filewrite.h"
#include "smallfs.h"

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

    // A folder that cannot be written leaves the file there as it was.
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    if (access(folder.c_str(), W_OK) != 0) {
        EXPECT_FALSE(ReplaceFileWhole(real.string(), "newer", &reason));
        EXPECT_EQ(reason, std::strerror(EACCES));
        EXPECT_EQ(Read(real), "new");
    }
    fs::permissions(folder, fs::perms::owner_all);
    fs::remove_all(folder);
}
