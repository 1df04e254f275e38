// The check that the generators still make the shipped data: pictures agree
// within a rendering tolerance, and every real change is still caught.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include "datacompare.h"
#include "jpegpicture.h"

namespace {

const QString Shipped = MORLAQUIN_TEST_DATA;
const QStringList Owned = {"images/wood", "images/splash.png", "images/personalities/blank.jpg",
                           "sounds"};

using Alteration = std::function<void(const QString& made)>;

QImage Picture(const QString& path) {
    return path.endsWith(".jpg") ? ReadJpegFile(path)
                                 : QImage(path).convertToFormat(QImage::Format_ARGB32);
}

void Rewrite(const QString& path, const std::function<void(QImage&)>& change) {
    QImage image = Picture(path);
    QVERIFY(!image.isNull());
    change(image);
    if (path.endsWith(".jpg")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(file.write(EncodeJpeg(image, 90)) > 0);
    } else {
        QVERIFY(image.save(path));
    }
}

// Every pixel passed through CHANGE, channels clamped to 0..255.
void Recolour(QImage& image, const std::function<QRgb(QRgb)>& change) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, change(image.pixel(x, y)));
}

int Clamp(int level) { return std::clamp(level, 0, 255); }

const QString Knight = "images/wood/knight.bmp";

}  // namespace

Q_DECLARE_METATYPE(Alteration)

class DataCompareTest : public QObject {
    Q_OBJECT

private slots:
    void changesToTheMadeFiles_data() {
        QTest::addColumn<Alteration>("alter");
        QTest::addColumn<QString>("flagged");  // the file named, empty for none

        QTest::newRow("as shipped") << Alteration([](const QString&) {}) << "";
        QTest::newRow("a level apart on a few edge pixels")
            << Alteration([](const QString& made) {
                   Rewrite(made + "/" + Knight, [](QImage& image) {
                       int changed = 0;
                       for (int y = 1; y < image.height() && changed < 45; ++y)
                           for (int x = 1; x < image.width() && changed < 45; ++x)
                               if (image.pixel(x, y) != image.pixel(x - 1, y)) {
                                   const QRgb p = image.pixel(x, y);
                                   image.setPixel(x, y, qRgb(qRed(p), Clamp(qGreen(p) ^ 1), qBlue(p)));
                                   ++changed;
                               }
                   });
               })
            << "";
        QTest::newRow("a piece moved by one pixel")
            << Alteration([](const QString& made) {
                   Rewrite(made + "/" + Knight, [](QImage& image) {
                       const QImage before = image.copy();
                       QPainter painter(&image);
                       painter.drawImage(1, 0, before);
                   });
               })
            << Knight;
        QTest::newRow("a piece's colour changed")
            << Alteration([](const QString& made) {
                   Rewrite(made + "/" + Knight, [](QImage& image) {
                       const QRgb key = image.pixel(0, 0);
                       Recolour(image, [key](QRgb p) {
                           return p == key ? p : qRgb(Clamp(qRed(p) + 12), qGreen(p), qBlue(p));
                       });
                   });
               })
            << Knight;
        QTest::newRow("a picture tinted by two levels")
            << Alteration([](const QString& made) {
                   Rewrite(made + "/images/splash.png", [](QImage& image) {
                       Recolour(image, [](QRgb p) {
                           return qRgba(qRed(p), qGreen(p), Clamp(qBlue(p) + 2), qAlpha(p));
                       });
                   });
               })
            << "images/splash.png";
        QTest::newRow("a picture of another size")
            << Alteration([](const QString& made) {
                   Rewrite(made + "/" + Knight, [](QImage& image) { image = image.copy(0, 0, 128, 127); });
               })
            << Knight;
        QTest::newRow("a JPEG picture recoloured")
            << Alteration([](const QString& made) {
                   Rewrite(made + "/images/personalities/blank.jpg", [](QImage& image) {
                       Recolour(image, [](QRgb p) { return qRgb(qRed(p), qGreen(p), Clamp(qBlue(p) + 20)); });
                   });
               })
            << "images/personalities/blank.jpg";
        QTest::newRow("a picture that cannot be read")
            << Alteration([](const QString& made) { QFile::resize(made + "/images/splash.png", 100); })
            << "images/splash.png";
        QTest::newRow("a sound one byte apart")
            << Alteration([](const QString& made) {
                   QFile file(made + "/sounds/move.wav");
                   QVERIFY(file.open(QIODevice::ReadWrite));
                   QByteArray bytes = file.readAll();
                   bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 1);
                   QVERIFY(file.seek(0) && file.write(bytes) == bytes.size());
               })
            << "sounds/move.wav";
        QTest::newRow("a file missing")
            << Alteration([](const QString& made) { QVERIFY(QFile::remove(made + "/images/wood/queen.bmp")); })
            << "images/wood/queen.bmp";
        QTest::newRow("a file added")
            << Alteration([](const QString& made) {
                   QVERIFY(QFile::copy(made + "/" + Knight, made + "/images/wood/amazon.bmp"));
               })
            << "images/wood/amazon.bmp";
    }

    void changesToTheMadeFiles() {
        QFETCH(Alteration, alter);
        QFETCH(QString, flagged);
        QTemporaryDir made;
        QVERIFY(made.isValid());
        for (const QString& owned : Owned) {
            const QString from = Shipped + "/" + owned;
            if (QFileInfo(from).isDir()) {
                QVERIFY(QDir().mkpath(made.filePath(owned)));
                for (const QString& name : QDir(from).entryList(QDir::Files))
                    QVERIFY(QFile::copy(from + "/" + name, made.filePath(owned + "/" + name)));
            } else {
                QVERIFY(QDir().mkpath(QFileInfo(made.filePath(owned)).path()));
                QVERIFY(QFile::copy(from, made.filePath(owned)));
            }
        }
        alter(made.path());
        if (QTest::currentTestFailed()) return;

        const QStringList problems = CompareDataFolders(Shipped, made.path(), Owned);
        if (flagged.isEmpty()) {
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join("; ")));
        } else {
            QCOMPARE(problems.size(), 1);
            QVERIFY2(problems[0].startsWith(flagged + ": "), qPrintable(problems[0]));
        }
    }
};

QTEST_MAIN(DataCompareTest)
#include "test_datacompare.moc"
