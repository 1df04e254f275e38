#include "datacompare.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSet>

#include <algorithm>
#include <cstdlib>

#include "jpegpicture.h"

namespace {

bool IsPicture(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == "bmp" || suffix == "png" || suffix == "jpg" || suffix == "jpeg";
}

// Decoded as the program decodes it: JPEG through our own reader.
QImage ReadPicture(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    QImage image = (suffix == "jpg" || suffix == "jpeg") ? ReadJpegFile(path) : QImage(path);
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32);
}

bool SameBytes(const QString& a, const QString& b) {
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly)) return false;
    return fa.readAll() == fb.readAll();
}

QSet<QString> FilesUnder(const QString& root, const QString& relative) {
    QSet<QString> files;
    const QFileInfo info(QDir(root).filePath(relative));
    if (info.isFile()) {
        files.insert(QDir::cleanPath(relative));
    } else if (info.isDir()) {
        QDirIterator it(info.filePath(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) files.insert(QDir(root).relativeFilePath(it.next()));
    }
    return files;
}

}  // namespace

QString ComparePictureFiles(const QString& shipped, const QString& made,
                            const PictureTolerance& tolerance) {
    const QImage a = ReadPicture(shipped);
    const QImage b = ReadPicture(made);
    if (a.isNull()) return "the shipped picture cannot be read";
    if (b.isNull()) return "the made picture cannot be read";
    if (a.size() != b.size())
        return QString("%1 x %2 instead of %3 x %4")
            .arg(b.width()).arg(b.height()).arg(a.width()).arg(a.height());

    int largest = 0;
    qint64 differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int d = std::max({std::abs(qRed(pa[x]) - qRed(pb[x])),
                                    std::abs(qGreen(pa[x]) - qGreen(pb[x])),
                                    std::abs(qBlue(pa[x]) - qBlue(pb[x])),
                                    std::abs(qAlpha(pa[x]) - qAlpha(pb[x]))});
            largest = std::max(largest, d);
            differing += d > 0;
        }
    }
    const qint64 pixels = qint64(a.width()) * a.height();
    if (largest > tolerance.maxChannelDifference ||
        differing > tolerance.maxDifferingShare * double(pixels))
        return QString("%1 of %2 pixels differ, by up to %3 levels")
            .arg(differing).arg(pixels).arg(largest);
    return {};
}

QStringList CompareDataFolders(const QString& shippedDir, const QString& madeDir,
                               const QStringList& owned) {
    QSet<QString> shipped;
    for (const QString& path : owned) shipped.unite(FilesUnder(shippedDir, path));
    const QSet<QString> made = FilesUnder(madeDir, ".");

    QStringList names(shipped.begin(), shipped.end());
    for (const QString& name : made)
        if (!shipped.contains(name)) names.append(name);
    std::sort(names.begin(), names.end());

    QStringList problems;
    for (const QString& name : names) {
        if (!made.contains(name)) {
            problems.append(name + ": not made");
        } else if (!shipped.contains(name)) {
            problems.append(name + ": made but not shipped");
        } else {
            const QString a = QDir(shippedDir).filePath(name);
            const QString b = QDir(madeDir).filePath(name);
            if (IsPicture(name)) {
                const QString why = ComparePictureFiles(a, b);
                if (!why.isEmpty()) problems.append(name + ": " + why);
            } else if (!SameBytes(a, b)) {
                problems.append(name + ": differs");
            }
        }
    }
    return problems;
}
