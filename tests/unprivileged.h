// Running a piece of a test as an unprivileged user, for whom file modes
// bind (they do not bind root): in a forked child that drops to "nobody"
// when the tests run as root, else right here. Where root cannot become
// another user (a user namespace, a container without the capability), the
// run does not happen and says why, so the test can skip with that reason.
#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

struct UnprivilegedRun {
    bool ran = false;     // the body ran to its end or to its first failure
    bool failed = false;  // it failed (its framework said so) or its child ended abnormally
    std::string why;      // why it did not run, or how its child ended
};

namespace unprivileged_detail {

inline void UserOfNobody(uid_t& uid, gid_t& gid) {
    const passwd* nobody = getpwnam("nobody");
    uid = nobody ? nobody->pw_uid : 65534;
    gid = nobody ? nobody->pw_gid : 65534;
}

// Every folder from the root down to path (itself included) lets others pass.
inline bool OthersCanReach(const std::filesystem::path& path) {
    std::filesystem::path at;
    for (const auto& part : std::filesystem::absolute(path)) {
        at /= part;
        struct stat st{};
        if (stat(at.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !(st.st_mode & S_IXOTH)) return false;
    }
    return true;
}

}  // namespace unprivileged_detail

// True when the process runs with root's rights over files.
inline bool RunsAsRoot() { return geteuid() == 0; }

// A new empty folder (mode 0755) that the unprivileged user can reach
// whatever TMPDIR is: under TMPDIR when others may pass through it, else
// under /tmp, /var/tmp or /dev/shm. Empty when none can be made.
inline std::string MakeReachableFolder(const std::string& prefix) {
    std::vector<std::string> candidates;
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    if (!ec) candidates.push_back(temp.string());
    for (const char* p : {"/tmp", "/var/tmp", "/dev/shm"}) candidates.emplace_back(p);
    for (const std::string& base : candidates) {
        if (!unprivileged_detail::OthersCanReach(base)) continue;
        std::string pattern = base + "/" + prefix + ".XXXXXX";
        if (!mkdtemp(pattern.data())) continue;
        chmod(pattern.c_str(), 0755);
        return pattern;
    }
    return {};
}

// Makes path the unprivileged user's own (a file or folder of the person
// running the program) when the tests run as root; true when it is theirs.
inline bool GiveToUnprivilegedUser(const std::string& path) {
    if (!RunsAsRoot()) return true;
    uid_t uid;
    gid_t gid;
    unprivileged_detail::UserOfNobody(uid, gid);
    return lchown(path.c_str(), uid, gid) == 0;
}

// A folder of the unprivileged user's own, which that user can reach
// whatever TMPDIR is; removed with all it holds (locked folders in it too)
// when the object goes. Path() is empty when none could be made.
class UserFolder {
public:
    explicit UserFolder(const std::string& prefix) : path_(MakeReachableFolder(prefix)) {
        if (!path_.empty() && !GiveToUnprivilegedUser(path_)) {
            std::filesystem::remove(path_);
            path_.clear();
        }
    }
    ~UserFolder() {
        if (path_.empty()) return;
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        for (const auto& e : std::filesystem::directory_iterator(path_, ec))
            if (e.is_directory(ec) && !e.is_symlink(ec))
                std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    UserFolder(const UserFolder&) = delete;
    UserFolder& operator=(const UserFolder&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// A file of the unprivileged user's own holding bytes, made read-only
// (0444) as a person makes a file they want kept. False when it could not be.
inline bool MakeReadOnlyFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return chmod(path.c_str(), 0444) == 0 && GiveToUnprivilegedUser(path);
}

// A folder the unprivileged user may not write (an administrator's, 0555)
// holding a file of the name, with bytes, that all may write (0666). False
// when they could not be made.
inline bool MakeLockedFolder(const std::string& folder, const std::string& name, const std::string& bytes) {
    const std::string path = folder + "/" + name;
    if (mkdir(folder.c_str(), 0755) != 0) return false;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return chmod(path.c_str(), 0666) == 0 && chmod(folder.c_str(), 0555) == 0;
}

// Runs body as an unprivileged user; failed() tells afterwards, in the
// process that ran it, whether the test framework saw a failure.
inline UnprivilegedRun RunUnprivileged(const std::function<void()>& body, const std::function<bool()>& failed) {
    UnprivilegedRun run;
    if (!RunsAsRoot()) {
        body();
        run.ran = true;
        run.failed = failed();
        return run;
    }
    uid_t uid;
    gid_t gid;
    unprivileged_detail::UserOfNobody(uid, gid);
    constexpr int cannotDrop = 77;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        run.why = std::string("cannot fork: ") + std::strerror(errno);
        return run;
    }
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0 || setuid(0) == 0 ||
            geteuid() != uid) {
            std::fprintf(stderr, "cannot become uid %u: %s\n", static_cast<unsigned>(uid), std::strerror(errno));
            _exit(cannotDrop);
        }
        body();
        const bool bad = failed();
        std::fflush(nullptr);
        _exit(bad ? 1 : 0);
    }
    int status = 0;
    pid_t waited;
    do waited = waitpid(child, &status, 0);
    while (waited < 0 && errno == EINTR);
    if (waited != child) {
        run.failed = true;
        run.why = "lost the unprivileged child";
        return run;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == cannotDrop) {
        run.why = "root cannot become the user \"nobody\" here (uid " + std::to_string(uid) +
                  "): a user namespace or a container without that right";
        return run;
    }
    run.ran = true;
    if (!WIFEXITED(status)) {
        run.failed = true;
        run.why = "the unprivileged run ended abnormally";
    } else if (WEXITSTATUS(status) != 0) {
        run.failed = true;
        run.why = "the unprivileged run failed (above)";
    }
    return run;
}
