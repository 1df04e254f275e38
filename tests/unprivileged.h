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
