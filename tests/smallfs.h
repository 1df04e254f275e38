// A small file system of the test's own, for writes on a full disk: a tmpfs
// mounted on a new temporary folder (this needs root, as in CI), filled to
// its last block on request, unmounted and removed with the object.
#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// What a failed write on a full disk is said with.
inline std::string NoSpaceText() { return std::strerror(ENOSPC); }

class SmallFileSystem {
public:
    explicit SmallFileSystem(long kilobytes = 64) {
        std::string pattern = "/tmp/smallfs.XXXXXX";
        if (!mkdtemp(pattern.data())) {
            why_ = std::strerror(errno);
            return;
        }
        path_ = pattern;
        const std::string options = "size=" + std::to_string(kilobytes) + "k";
        if (mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
            why_ = std::string("cannot mount a tmpfs (") + std::strerror(errno) + "; it needs root)";
        else
            mounted_ = true;
    }
    ~SmallFileSystem() {
        if (mounted_) umount2(path_.c_str(), MNT_DETACH);
        if (!path_.empty()) rmdir(path_.c_str());
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool Mounted() const { return mounted_; }
    // Why there is none.
    const std::string& Why() const { return why_; }
    const std::string& Path() const { return path_; }

    // Takes every free block (a filler file), then gives back freeBytes of
    // them (whole pages); true when the disk was filled.
    bool Fill(long freeBytes = 0) {
        const std::string filler = path_ + "/.filler";
        const int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        const std::vector<char> block(4096, 'x');
        ssize_t n;
        while ((n = write(fd, block.data(), block.size())) > 0) {
        }
        const bool full = n < 0 && errno == ENOSPC;
        if (full && freeBytes > 0) {
            const off_t size = lseek(fd, 0, SEEK_END);
            const off_t pages = (freeBytes + 4095) / 4096;
            if (ftruncate(fd, size > pages * 4096 ? size - pages * 4096 : 0) != 0) {
                close(fd);
                return false;
            }
        }
        close(fd);
        return full;
    }
    // The blocks taken by Fill back.
    void Empty() { unlink((path_ + "/.filler").c_str()); }

private:
    std::string path_;
    std::string why_;
    bool mounted_ = false;
};
