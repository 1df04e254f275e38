// What a save killed before its rename leaves beside the file: its new file
// under the name ".<name>.<pid>-<n>.new", from a process that may be gone.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

inline std::string KilledSaveFile(const std::string& name, pid_t pid, int n = 0) {
    return "." + name + "." + std::to_string(pid) + "-" + std::to_string(n) + ".new";
}

// The pid of a process that ran and is gone.
inline pid_t GoneProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    int status;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return child;
}
