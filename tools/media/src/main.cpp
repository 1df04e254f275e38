// morlaquin-media: writes the program's piece sets, pictures and move sound.
//
//   morlaquin-media --out DATA_DIR
//   morlaquin-media --preview FILE.png [--data DATA_DIR] [--set NAME] [--size PIXELS] [--swap]
//   morlaquin-media --sheet FILE.png [--data DATA_DIR]
#include "media.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>

#include <cstdio>
#include <cstring>
#include <utility>

using namespace media;

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: morlaquin-media --out DATA_DIR\n"
                 "       morlaquin-media --preview FILE.png [--data DATA_DIR] [--set NAME] [--size PIXELS] [--swap]\n"
                 "       morlaquin-media --sheet FILE.png [--data DATA_DIR]\n");
    return 2;
}

bool check(bool ok, const QString& what)
{
    if (!ok)
        std::fprintf(stderr, "failed: %s\n", qPrintable(what));
    return ok;
}

// True when a figure reaches the image's outermost pixels (it would look cut off).
bool touchesEdge(const QImage& img)
{
    const int w = img.width(), h = img.height();
    for (int i = 0; i < w; ++i)
        for (int j = 0; j < h; ++j)
            if ((i == 0 || j == 0 || i == w - 1 || j == h - 1) && !isKey(img.pixel(i, j)))
                return true;
    return false;
}

// Writes a BMP and reads it back: size, 24-bit depth and, for keyed images, a clean key.
bool writeAndVerify(const QImage& img, const QString& path, bool keyedImage, bool figure = false)
{
    if (!check(saveBmp(img, path), QStringLiteral("write ") + path))
        return false;
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray head = f.read(30);
    const bool is24 = head.size() == 30 && head[28] == 24 && head[29] == 0;
    const QImage back(path);
    if (!check(is24 && !back.isNull() && back.size() == img.size(), QStringLiteral("read back ") + path))
        return false;
    if (keyedImage) {
        QString why;
        const bool clean = keyIsClean(back, &why);
        if (!check(clean, path + QStringLiteral(": ") + why))
            return false;
    }
    return !figure || check(!touchesEdge(back), path + QStringLiteral(": the figure reaches the edge"));
}

int generate(const QString& out)
{
    bool ok = true;
    int files = 0;
    for (const SetStyle& st : setStyles()) {
        const QString dir = setDirectory(out, QLatin1String(st.name));
        if (!check(QDir().mkpath(dir), QStringLiteral("create ") + dir))
            return 1;
        ok &= writeAndVerify(makeBoard(st), dir + QLatin1String(BoardBitmapName), false);
        ok &= writeAndVerify(makeMarker(st), dir + QLatin1String(MovedBitmapName), true);
        files += 2;
        for (int i = 0; i < 12; ++i) {
            ok &= writeAndVerify(makePiece(st, i % 6 + 1, i / 6), dir + QLatin1String(PieceBitmapNames[i]), true, true);
            ++files;
        }
    }
    const QString images = out + QStringLiteral("/images/");
    for (const auto& [name, image] : {std::pair{"splash.png", makeSplash()}, std::pair{"about.png", makeAbout()},
                                      std::pair{"morlaquin.png", makeIcon()}}) {
        ok &= check(image.save(images + QLatin1String(name)), QLatin1String(name));
        ++files;
    }

    const QString sounds = out + QStringLiteral("/sounds");
    ok &= check(QDir().mkpath(sounds), QStringLiteral("create ") + sounds);
    ok &= check(writeWav(sounds + QStringLiteral("/move.wav"), makeMoveSound(), 44100), QStringLiteral("move.wav"));
    ++files;

    std::printf("%s: %d files under %s\n", ok ? "done" : "FAILED", files, qPrintable(out));
    return ok ? 0 : 1;
}

int preview(const QString& file, const QString& data, const QString& set, int size, bool swap)
{
    QStringList sets;
    if (!set.isEmpty())
        sets << set;
    else
        for (const SetStyle& st : setStyles())
            sets << QLatin1String(st.name);
    const int cols = sets.size() < 3 ? int(sets.size()) : 3;
    const int rows = int((sets.size() + cols - 1) / cols);
    const int gap = 10;
    QImage sheet(cols * (size + gap) + gap, rows * (size + gap) + gap, QImage::Format_RGB32);
    sheet.fill(Qt::black);
    QPainter p(&sheet);
    for (int i = 0; i < sets.size(); ++i) {
        const QImage board = composePreview(data, sets[i], size, !swap);
        if (board.isNull())
            return 1;
        p.drawImage(gap + int(i % cols) * (size + gap), gap + int(i / cols) * (size + gap), board);
    }
    p.end();
    if (!check(sheet.save(file), QStringLiteral("write ") + file))
        return 1;
    std::printf("wrote %s\n", qPrintable(file));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QString out, previewFile, sheetFile, data = QStringLiteral("data"), set;
    int size = kBoardSize;
    bool swap = false;
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (!std::strcmp(argv[i], "--out") && more)
            out = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--preview") && more)
            previewFile = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--data") && more)
            data = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--set") && more)
            set = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--size") && more)
            size = QString::fromLocal8Bit(argv[++i]).toInt();
        else if (!std::strcmp(argv[i], "--sheet") && more)
            sheetFile = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--swap"))
            swap = true;
        else
            return usage();
    }
    if (size < 40 || size > 4000)
        return usage();
    if (!out.isEmpty())
        return generate(out);
    if (!sheetFile.isEmpty()) {
        const QImage sheet = composeSheet(data);
        return !sheet.isNull() && check(sheet.save(sheetFile), QStringLiteral("write ") + sheetFile) ? 0 : 1;
    }
    if (!previewFile.isEmpty())
        return preview(previewFile, data, set, size, swap);
    return usage();
}
