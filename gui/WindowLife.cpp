// The main window's start-up directory, move sound, exit, help, About and
// debug-window items, and its destroy handler.
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSoundEffect>
#include <QUrl>

#include <cstring>

#include "ChessGUI.h"
#include "dialogs/About.h"
#include "dialogs/Debug.h"
#include "filewrite.h"
#include "guiglobals.h"
#include "hash.h"
#include "helpsystem.h"

TfrmWinRovik* frmWinRovik = nullptr;

namespace {

// The piece set the window starts with is there: a folder that merely has
// an images folder (a home folder may) is no copy of the program's data.
bool HoldsProgramData(const QString& dir) { return !dir.isEmpty() && QDir(dir).exists("images/wood"); }

u32 ReadLe32(const char* p) {
    return static_cast<u32>(static_cast<unsigned char>(p[0])) |
           static_cast<u32>(static_cast<unsigned char>(p[1])) << 8 |
           static_cast<u32>(static_cast<unsigned char>(p[2])) << 16 |
           static_cast<u32>(static_cast<unsigned char>(p[3])) << 24;
}

}  // namespace

std::string StartupDirectory() {
    const QString cwd = QDir::currentPath();
    if (HoldsProgramData(cwd)) return cwd.toStdString();
    const QString beside = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("data");
    if (HoldsProgramData(beside)) return beside.toStdString();
    return cwd.toStdString();
}

std::string UserFilesDirectory(const std::string& startupDir) {
    const QString start = QFileInfo(QString::fromStdString(startupDir)).canonicalFilePath();
    const QString cwd = QFileInfo(QDir::currentPath()).canonicalFilePath();
    const QString installed =
        QFileInfo(QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("data")).canonicalFilePath();
    if (!start.isEmpty() && start == cwd && start != installed && HoldsProgramData(start)) return startupDir;
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/morlaquin";
    QDir().mkpath(user);
    return user.toStdString();
}

std::string UserFilePath(const std::string& startupDir, const std::string& userDir, const std::string& name,
                         QString* failure) {
    const QString path = QString::fromStdString(userDir + "/" + name);
    const QString shipped = QString::fromStdString(startupDir + "/" + name);
    // What a save killed in an earlier run left beside the file.
    RemoveStaleTemporaryFiles(QFile::encodeName(path).toStdString());
    if (!QFileInfo::exists(path) && QFileInfo(shipped).isFile() && path != shipped) {
        QFile from(shipped);
        std::string reason;
        QByteArray bytes;
        if (from.open(QIODevice::ReadOnly)) bytes = from.readAll();
        if (!from.isOpen() || from.error() != QFileDevice::NoError)
            reason = from.errorString().toStdString();
        else
            ReplaceFileWhole(QFile::encodeName(path).toStdString(), std::string_view(bytes.constData(), bytes.size()),
                             &reason);
        if (!reason.empty() && failure)
            *failure = QString("%1 could not be copied to %2: %3").arg(shipped, path, QString::fromLocal8Bit(reason));
    }
    return path.toStdString();
}

std::string LocalPath(const QString& name) { return QFile::encodeName(name).toStdString(); }

bool IsReadableWave(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray data = f.read(1 << 20);
    if (data.size() < 12 || std::memcmp(data.constData(), "RIFF", 4) != 0 ||
        std::memcmp(data.constData() + 8, "WAVE", 4) != 0)
        return false;
    bool format = false;
    qsizetype at = 12;
    while (at + 8 <= data.size()) {
        const char* chunk = data.constData() + at;
        const u32 size = ReadLe32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || at + 8 + 16 > data.size()) return false;
            const char* fmt = chunk + 8;
            const int tag = static_cast<unsigned char>(fmt[0]) | static_cast<unsigned char>(fmt[1]) << 8;
            const int channels = static_cast<unsigned char>(fmt[2]) | static_cast<unsigned char>(fmt[3]) << 8;
            const int bits = static_cast<unsigned char>(fmt[14]) | static_cast<unsigned char>(fmt[15]) << 8;
            format = (tag == 1 || tag == 3 || tag == 0xFFFE) && channels > 0 && bits > 0 && bits % 8 == 0;
            if (!format) return false;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            return format && size > 0;
        }
        at += 8 + static_cast<qsizetype>(size) + (size & 1);
    }
    return false;
}

// ------------------------------------------------------------- sound

void TfrmWinRovik::OpenMoveSound() {
    const QString path = QString::fromStdString(AppDir + "/sounds/move.wav");
    if (!IsReadableWave(path)) {
        SoundUnavailable();
        return;
    }
    MediaPlayer = new QSoundEffect(this);
    MediaPlayer->setObjectName("MediaPlayer");
    connect(MediaPlayer, &QSoundEffect::statusChanged, this, [this] {
        // A file that does not decode; a missing audio device is no error.
        if (MediaPlayer->status() == QSoundEffect::Ready)
            SoundOpened = true;
        else if (MediaPlayer->status() == QSoundEffect::Error && !SoundOpened)
            SoundUnavailable();
    });
    MediaPlayer->setSource(QUrl::fromLocalFile(path));
}

void TfrmWinRovik::SoundUnavailable() {
    SoundsOn = false;
    Sounds1->setChecked(false);
    Sounds1->setEnabled(false);
}

void TfrmWinRovik::PlayMoveSound() {
    if (MediaPlayer && Sounds1->isEnabled()) MediaPlayer->play();
}

void TfrmWinRovik::Sounds1Click() { SoundsOn = Toggled(Sounds1); }

// ------------------------------------------------------------ menu items

void TfrmWinRovik::btnExitClick() { close(); }

void TfrmWinRovik::About1Click() {
    if (AboutBox) AboutBox->exec();
}

void TfrmWinRovik::Contents1Click() { ShowHelpContents(); }

void TfrmWinRovik::ShowDebugWindow1Click() {
    const bool shown = Toggled(ShowDebugWindow1);
    if (!frmDebug) return;
    if (shown)
        frmDebug->show();
    else
        frmDebug->close();
}

void TfrmWinRovik::FormDestroy() {
    FreeHashTables();
    QuitHelp();
}
