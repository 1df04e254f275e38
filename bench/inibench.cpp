// Personality files of many sections: the time start-up takes to read one
// (the name list, the chosen personality and its values, as the settings
// step does) and the time the program, started in protocol mode in a folder
// holding it, takes to answer its first "ping".
// usage: inibench [DIRECTORY [PROGRAM]]   (files written there; default /tmp,
// the program built beside this benchmark)
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <string>

#include "dialogs/Personality.h"
#include "messageboxes.h"
#include "piped_program.h"
#include "xboard.h"

namespace {

// The longest a ping is waited for.
constexpr int PingWaitMs = 600000;

std::string Base36(int n) {
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[n % 36]);
        n /= 36;
    } while (n > 0);
    return digits;
}

// Personalities 1 to count, "Morlaquin" the first: a name and a speed each
// (80,000 of them take 3.5 MB), or names only (133,833 of them stay under
// the 4 MB limit).
std::string PersonalityFile(int count, bool namesOnly) {
    std::string text;
    for (int n = 1; n <= count; ++n) {
        text += "[PERSONALITY" + std::to_string(n) + "]\n";
        text += n == 1 ? std::string("Name=Morlaquin\n") : (namesOnly ? "Name=" : "Name=Player ") + Base36(n) + "\n";
        if (!namesOnly) text += "Speed=100\n";
    }
    return text;
}

bool WriteFile(const QString& path, const std::string& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           f.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
}

// The personality steps of start-up, in seconds; the names listed in *names.
double ReadAsStartUpDoes(const QString& path, int* names) {
    TfrmPersonality dialog;
    dialog.AppDir = MORLAQUIN_DATA_DIR;
    dialog.PersonalityFile = path;
    QElapsedTimer clock;
    clock.start();
    dialog.StartUp("Morlaquin");
    dialog.ApplySettings();
    const double seconds = clock.nsecsElapsed() / 1e9;
    *names = dialog.cboxName->count();
    return seconds;
}

// The program in protocol mode in a folder with the file (none for an empty
// path): seconds from its start to "pong 1", negative when none came.
double FirstPing(const std::string& program, const QString& path) {
    PipedProgram engine;
    if (!path.isEmpty() && !engine.CopyIn(path)) return -1;
    QElapsedTimer clock;
    clock.start();
    if (!engine.Start(program, QString(MORLAQUIN_DATA_DIR) + "/images")) return -1;
    engine.Send("xboard");
    engine.Send("ping 1");
    if (!engine.LinesUntil("pong 1", PingWaitMs)) return -1;
    const double seconds = clock.nsecsElapsed() / 1e9;
    engine.Send("quit");
    engine.WaitExit(HangMs);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const std::string program = argc > 2 ? argv[2] : MORLAQUIN_PROGRAM;
    SetMessageBoxes(ProtocolMessageBoxes());  // no box waits for an answer

    const double bare = FirstPing(program, QString());
    std::printf("first ping without a personality file: %.2f s\n", bare);
    std::printf("%-12s %9s %14s %12s\n", "personalities", "size", "start-up read", "first ping");
    struct Size {
        int count;
        bool namesOnly;
    };
    // The largest: names alone, just under the size limit.
    for (const Size size : {Size{4000, false}, Size{16000, false}, Size{80000, false}, Size{133833, true}}) {
        const std::string text = PersonalityFile(size.count, size.namesOnly);
        const QString path = QDir(dir).filePath("MLPersonalities.ini");
        if (!WriteFile(path, text)) {
            std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
            return 1;
        }
        int names = 0;
        const double read = ReadAsStartUpDoes(path, &names);
        const double ping = FirstPing(program, path);
        if (names != size.count) std::fprintf(stderr, "%d names listed of %d\n", names, size.count);
        std::printf("%-13d %6.2f MB %12.3f s", size.count, text.size() / 1048576.0, read);
        if (ping < 0)
            std::printf("   no answer in %d s\n", PingWaitMs / 1000);
        else
            std::printf(" %10.2f s\n", ping);
        std::fflush(stdout);
        QFile::remove(path);
    }
    SetMessageBoxes(nullptr);
    return 0;
}
