#include "filewrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// So that a rename or a new name is on the disk too; a folder that cannot be
// synced is no failure of the file.
void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

bool ReplaceFileWhole(const std::string& path, std::string_view bytes, std::string* reason) {
    std::string target = path;
    struct stat st{};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    bool exists = false;
    if (stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return Fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, reason);
        exists = true;
    } else if (errno != ENOENT) {
        return Fail(errno, reason);
    }

    const std::string folder = Folder(target);
    const std::size_t slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = folder + "/." + base + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".new";
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return Fail(errno, reason);
    if (exists) {
        // The new file keeps the old one's permissions and, where allowed, its owner.
        [[maybe_unused]] const int owner = fchown(fd, st.st_uid, st.st_gid);
        [[maybe_unused]] const int mode = fchmod(fd, st.st_mode & 07777);
    }
    bool ok = WriteAll(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
    int error = errno;
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
    bool made = false;
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
                unlink(path.c_str());
            } else {
                [[maybe_unused]] const int cut = truncate(path.c_str(), before);
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
    if (made) SyncFolder(Folder(path));
    return true;
}

bool RewriteInPlace(int fd, off_t offset, const void* bytes, const void* old, std::size_t size, std::string* reason) {
    if (WriteAll(fd, bytes, size, offset) && fdatasync(fd) == 0) return true;
    const int error = errno;
    if (WriteAll(fd, old, size, offset)) fdatasync(fd);
    return Fail(error, reason);
}
