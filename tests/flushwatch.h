// Counting the flushes (fsync, fdatasync) of one file that the code under
// test asks for, on their way to the kernel, and failing the next one on
// request. Included by one source file of a test program: it defines the
// two calls for the whole program.
#pragma once

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

struct FlushWatch {
    dev_t device = 0;
    ino_t inode = 0;  // 0: no file watched
    int count = 0;
    int failNext = 0;  // errno of the next flush, 0 none
};
inline FlushWatch Flushes;

// The file at path is watched from now on, with no flush counted yet.
inline bool WatchFlushes(const std::string& path) {
    struct stat st{};
    if (stat(path.c_str(), &st) != 0) return false;
    Flushes = {st.st_dev, st.st_ino, 0, 0};
    return true;
}

namespace flushwatch_detail {

inline int Flush(int fd, long call) {
    struct stat st{};
    if (Flushes.inode != 0 && fstat(fd, &st) == 0 && st.st_dev == Flushes.device && st.st_ino == Flushes.inode) {
        ++Flushes.count;
        if (const int error = std::exchange(Flushes.failNext, 0)) {
            errno = error;
            return -1;
        }
    }
    return static_cast<int>(syscall(call, fd));
}

}  // namespace flushwatch_detail

extern "C" int fdatasync(int fd) { return flushwatch_detail::Flush(fd, SYS_fdatasync); }
extern "C" int fsync(int fd) { return flushwatch_detail::Flush(fd, SYS_fsync); }
