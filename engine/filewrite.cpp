#include "filewrite.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

bool Fail(int error, std::string* reason) {
    if (reason) *reason = std::strerror(error);
    return false;
}

// Writes all size bytes: at offset when it is not negative, else where the
// file stands.
bool WriteAll(int fd, const void* bytes, std::size_t size, off_t offset = -1) {
    const char* data = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t n = offset < 0 ? write(fd, data, size) : pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        if (offset >= 0) offset += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Reads the first size bytes of the file.
bool ReadAll(int fd, std::string* bytes, std::size_t size) {
    bytes->assign(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = pread(fd, bytes->data() + got, size - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;  // the file got shorter meanwhile
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// So that a rename or a new name is on the disk too; a folder that cannot be
// synced is no failure of the file.
void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// The file that the chain of symbolic links at path ends in (which need not
// exist yet), or path itself when it is no link. False (errno ELOOP) for a
// chain that goes round.
bool FollowLinks(const std::string& path, std::string* target) {
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::vector<char> name(256);
        ssize_t n;
        while ((n = readlink(at.c_str(), name.data(), name.size())) == static_cast<ssize_t>(name.size()))
            name.resize(name.size() * 2);
        // No link (or none that can be read): what is found there is said later.
        if (n <= 0) {
            *target = at;
            return true;
        }
        const std::string link(name.data(), static_cast<std::size_t>(n));
        at = link.front() == '/' ? link : Join(Folder(at), link);
    }
    errno = ELOOP;
    return false;
}

// A save of the file base writes ".<base>.<pid>-<n>.new" beside it.
std::string TempName(const std::string& base, pid_t pid, int n) {
    return "." + base + "." + std::to_string(pid) + "-" + std::to_string(n) + ".new";
}

// The process that made the temporary file of a save of base, or 0 when
// name is no such file's.
pid_t TempFileMaker(const std::string& name, const std::string& base) {
    const std::string prefix = "." + base + ".", suffix = ".new";
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return 0;
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const std::size_t dash = middle.find('-');
    // Nine digits at most: every pid, and no overflow.
    if (dash == std::string::npos || dash == 0 || dash > 9 || dash + 1 == middle.size() || middle.size() - dash > 10)
        return 0;
    pid_t pid = 0;
    for (std::size_t i = 0; i < middle.size(); ++i) {
        if (i == dash) continue;
        if (middle[i] < '0' || middle[i] > '9') return 0;
        if (i < dash) pid = pid * 10 + (middle[i] - '0');
    }
    return pid;
}

void RemoveStaleTemps(const std::string& folder, const std::string& base) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    const pid_t self = getpid();
    std::vector<std::string> stale;
    while (const dirent* entry = readdir(dir)) {
        const pid_t maker = TempFileMaker(entry->d_name, base);
        // Only a process known to be gone: one that runs as another user
        // answers EPERM, and its file stays.
        if (maker > 0 && maker != self && kill(maker, 0) != 0 && errno == ESRCH) stale.emplace_back(entry->d_name);
    }
    for (const std::string& name : stale) unlinkat(dirfd(dir), name.c_str(), 0);
    closedir(dir);
}

// The file, which may be written, holds exactly bytes, written over its old
// ones; the new size is taken on the disk first, so that a full disk fails
// before anything changes. On a failure later on, the old bytes and length
// are put back.
bool RewriteWholeInPlace(const std::string& path, std::string_view bytes, std::string* reason) {
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return Fail(errno, reason);
    struct stat st{};
    std::string old;
    int error = 0;
    if (fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = EINVAL;
    else if (!ReadAll(fd, &old, static_cast<std::size_t>(st.st_size)))
        error = errno;
    const off_t size = static_cast<off_t>(bytes.size());
    if (error == 0 && size > 0) {
        do error = posix_fallocate(fd, 0, size);
        while (error == EINTR);
        // A reservation that failed half way may have made the file longer.
        struct stat now{};
        if (error != 0 && fstat(fd, &now) == 0 && now.st_size != st.st_size) {
            [[maybe_unused]] const int cut = ftruncate(fd, st.st_size);
        }
    }
    if (error != 0) {
        close(fd);
        return Fail(error, reason);
    }
    bool ok = WriteAll(fd, bytes.data(), bytes.size(), 0) && ftruncate(fd, size) == 0 && fsync(fd) == 0;
    error = errno;
    if (!ok && WriteAll(fd, old.data(), old.size(), 0) && ftruncate(fd, st.st_size) == 0) fsync(fd);
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    return ok || Fail(error, reason);
}

}  // namespace

bool ReplaceFileWhole(const std::string& path, std::string_view bytes, std::string* reason) {
    std::string target;
    if (!FollowLinks(path, &target)) return Fail(errno, reason);
    const std::string folder = Folder(target), base = BaseName(target);
    RemoveStaleTemps(folder, base);

    bool exists = false;
    struct stat st{};
    if (stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return Fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, reason);
        // A file this process may not write (a person made it read-only) is
        // not replaced, though its folder would let it be.
        if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return Fail(errno, reason);
        exists = true;
    } else if (errno != ENOENT) {
        return Fail(errno, reason);
    }

    std::string temp;
    int fd = -1, error = 0;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = Join(folder, TempName(base, getpid(), attempt));
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        error = errno;
        if (fd < 0 && error != EEXIST) break;
    }
    if (fd < 0) {
        // A folder that takes no new file: the file itself is rewritten.
        if (exists && (error == EACCES || error == EPERM)) return RewriteWholeInPlace(target, bytes, reason);
        return Fail(error, reason);
    }
    if (exists) {
        // The new file keeps the old one's permissions and, where allowed, its owner.
        [[maybe_unused]] const int owner = fchown(fd, st.st_uid, st.st_gid);
        [[maybe_unused]] const int mode = fchmod(fd, st.st_mode & 07777);
    }
    bool ok = WriteAll(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
    error = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        return Fail(error, reason);
    }
    SyncFolder(folder);
    return true;
}

bool AppendToFileWhole(const std::string& path, std::string_view bytes, std::string* reason) {
    std::string target;
    if (!FollowLinks(path, &target)) return Fail(errno, reason);
    bool made = false;
    int fd = open(target.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        made = fd >= 0;
    }
    if (fd < 0) return Fail(errno, reason);
    struct stat st{};
    if (fstat(fd, &st) != 0) {
        const int error = errno;
        close(fd);
        return Fail(error, reason);
    }
    // Only a regular file can be synced and cut back.
    const bool regular = S_ISREG(st.st_mode);
    const off_t before = st.st_size;
    auto undo = [&](int error) {
        if (regular) {
            if (made) {
                unlink(target.c_str());
            } else {
                [[maybe_unused]] const int cut = truncate(target.c_str(), before);
            }
        }
        return Fail(error, reason);
    };
    if (!WriteAll(fd, bytes.data(), bytes.size()) || (regular && fsync(fd) != 0)) {
        const int error = errno;
        if (regular && ftruncate(fd, before) == 0) fsync(fd);
        close(fd);
        return undo(error);
    }
    if (close(fd) != 0) return undo(errno);
    if (made) SyncFolder(Folder(target));
    return true;
}

bool RewriteInPlace(int fd, off_t offset, const void* bytes, const void* old, std::size_t size, std::string* reason) {
    if (WriteAll(fd, bytes, size, offset)) return true;
    const int error = errno;
    WriteAll(fd, old, size, offset);
    return Fail(error, reason);
}

bool FlushFile(int fd, std::string* reason) { return fdatasync(fd) == 0 || Fail(errno, reason); }

void RemoveStaleTemporaryFiles(const std::string& path) {
    std::string target;
    if (FollowLinks(path, &target)) RemoveStaleTemps(Folder(target), BaseName(target));
}
