// The real program as an engine on pipes, for the tests that talk to it
// line by line.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hangtimeout.h"

extern char** environ;

// The program with its standard input and output on pipes and its standard
// error in a file, run in an empty directory that has only the piece sets
// (and the sounds, when asked), with no display in its environment. Killed,
// if still running, with the object.
class PipedProgram {
public:
    PipedProgram() = default;
    PipedProgram(const PipedProgram&) = delete;
    PipedProgram& operator=(const PipedProgram&) = delete;
    ~PipedProgram() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        CloseInput();
        CloseOutput();
    }

    // Copies a file into the program's directory, before it starts; true
    // when it is there, false when it cannot be copied.
    bool CopyIn(const QString& file) {
        return dir.isValid() && QFile::copy(file, dir.filePath(QFileInfo(file).fileName()));
    }

    // Starts the program; pieceSets is the folder its directory links as
    // "images", sounds (when given) the one it links as "sounds".
    bool Start(const std::string& program, const QString& pieceSets, const QString& sounds = QString()) {
        if (!dir.isValid()) return false;
        if (!QFile::link(pieceSets, dir.filePath("images"))) return false;
        if (!sounds.isEmpty() && !QFile::link(sounds, dir.filePath("sounds"))) return false;
        const QByteArray errorFile = dir.filePath("stderr").toLocal8Bit();
        const int err = ::open(errorFile.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (err < 0) return false;
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0) {
            ::close(err);
            return false;
        }
        if (::pipe2(out, O_CLOEXEC) != 0) {
            ::close(in[0]);
            ::close(in[1]);
            ::close(err);
            return false;
        }
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            if (v.starts_with("DISPLAY=") || v.starts_with("WAYLAND_DISPLAY=") || v.starts_with("QT_QPA_PLATFORM="))
                continue;
            env.push_back(v);
        }
        std::vector<char*> envp;
        for (auto& v : env) envp.push_back(v.data());
        envp.push_back(nullptr);
        std::string path = program;
        char* argv[] = {path.data(), nullptr};
        const QByteArray where = dir.path().toLocal8Bit();

        pid = ::fork();
        if (pid == 0) {
            // Only async-signal-safe calls until the program runs.
            if (::chdir(where.constData()) != 0) ::_exit(126);
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err, STDERR_FILENO);
            ::execve(argv[0], argv, envp.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        ::close(err);
        toProgram = in[1];
        fromProgram = out[0];
        ::fcntl(fromProgram, F_SETFL, O_NONBLOCK);
        return pid > 0;
    }

    void Send(const std::string& text) { SendRaw(text + "\n"); }

    void SendRaw(const std::string& whole) {
        std::size_t done = 0;
        while (toProgram >= 0 && done < whole.size()) {
            const ssize_t n = ::write(toProgram, whole.data() + done, whole.size() - done);
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    }

    // The next whole line, waiting at most timeoutMs.
    std::optional<std::string> NextLine(int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            if (const auto nl = pending.find('\n'); nl != std::string::npos) {
                std::string line = pending.substr(0, nl);
                pending.erase(0, nl + 1);
                lines.push_back(line);
                return line;
            }
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0 || !ReadSome(static_cast<int>(left))) return std::nullopt;
        }
    }

    // The first line that is wanted, the lines before it added to before
    // (when given); nullopt when none comes in time.
    std::optional<std::string> LineWhere(const std::function<bool(const std::string&)>& wanted, int timeoutMs,
                                         std::vector<std::string>* before = nullptr) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            const auto line = NextLine(static_cast<int>(timeoutMs - clock.elapsed()));
            if (!line) break;
            if (wanted(*line)) return line;
            if (before) before->push_back(*line);
        }
        return std::nullopt;
    }

    // Every line up to the one wanted (not included); nullopt when it does
    // not come in time.
    std::optional<std::vector<std::string>> LinesUntil(const std::string& wanted, int timeoutMs = HangMs) {
        std::vector<std::string> before;
        if (!LineWhere([&](const std::string& line) { return line == wanted; }, timeoutMs, &before)) return std::nullopt;
        return before;
    }

    // What the program wrote for the lines sent since the last call: a ping
    // is answered only once everything before it was carried out.
    std::optional<std::vector<std::string>> Sync(int timeoutMs = HangMs) { return SyncAfter({}, timeoutMs); }

    // The same for lines sent together with the ping, in one write.
    std::optional<std::vector<std::string>> SyncAfter(const std::vector<std::string>& lines, int timeoutMs = HangMs) {
        const std::string n = std::to_string(++pings);
        std::string all;
        for (const auto& l : lines) all += l + "\n";
        SendRaw(all + "ping " + n + "\n");
        return LinesUntil("pong " + n, timeoutMs);
    }

    void CloseInput() {
        if (toProgram >= 0) ::close(toProgram);
        toProgram = -1;
    }

    void CloseOutput() {
        if (fromProgram >= 0) ::close(fromProgram);
        fromProgram = -1;
    }

    // Waits for the program to end; its exit status, or nullopt in time.
    std::optional<int> WaitExit(int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            int status = 0;
            const pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                pid = -1;
                exitStatus = status;
                // Whatever it wrote last.
                while (fromProgram >= 0 && ReadSome(0)) {
                }
                while (NextLine(0)) {
                }
                return status;
            }
            if (clock.elapsed() > timeoutMs) return std::nullopt;
            ::usleep(2000);
        }
    }

    // Sends the program a signal.
    void Signal(int sig) {
        if (pid > 0) ::kill(pid, sig);
    }

    // What the program wrote on its standard error so far.
    std::string ErrorOutput() {
        QFile f(dir.filePath("stderr"));
        if (!f.open(QIODevice::ReadOnly)) return std::string();
        return f.readAll().toStdString();
    }

    // What was read but is no whole line.
    const std::string& Unread() const { return pending; }

    std::vector<std::string> lines;  // every whole line read so far
    int exitStatus = -1;

private:
    bool ReadSome(int timeoutMs) {
        if (fromProgram < 0) return false;
        pollfd p{fromProgram, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return false;
        char buf[4096];
        const ssize_t n = ::read(fromProgram, buf, sizeof buf);
        if (n <= 0) return false;
        pending.append(buf, static_cast<std::size_t>(n));
        return true;
    }

    QTemporaryDir dir;
    pid_t pid = -1;
    int toProgram = -1;
    int fromProgram = -1;
    std::string pending;  // read, not yet a whole line
    int pings = 0;
};
