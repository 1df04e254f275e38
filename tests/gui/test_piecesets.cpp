// The shipped piece sets: every piece bitmap of every set tells its colour
// by itself, a light figure for white and a dark one for black.
#include <QDir>
#include <QImage>
#include <QtTest>

#include "BoardLayout.h"
#include "PieceSetFiles.h"
#include "gui_fixture.h"
#include "guiglobals.h"

namespace {

// Share of light pixels among the bitmap's figure pixels (those not of the
// key colour); -1 when it cannot be read or has no figure.
double LightShare(const QString& path) {
    const QImage image = QImage(path).convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return -1;
    long figure = 0, light = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y) & 0xFFFFFF;
            if (c == BOARD_KEY_RGB) continue;
            ++figure;
            if (0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c) >= 128) ++light;
        }
    return figure ? static_cast<double>(light) / figure : -1;
}

}  // namespace

class PieceSetsTest : public QObject, public WindowFixture<> {
    Q_OBJECT

private slots:
    void initTestCase() { ResetWindowTest(); }

    void theBitmapNames() {
        QCOMPARE(std::string(PieceBitmapNames[0]), std::string("pawn.bmp"));
        QCOMPARE(std::string(PieceBitmapNames[11]), std::string("bking.bmp"));
    }

    void everyFigureShowsItsColour_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("white");
        const QDir images(ShippedData() + "/images");
        int sets = 0;
        for (const QString& set : images.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (!QFile::exists(images.filePath(set + "/board.bmp"))) continue;  // not a piece set
            ++sets;
            for (int i = 0; i < 12; ++i) {
                const QString name = set + "/" + QString::fromLatin1(PieceBitmapNames[i]);
                QTest::newRow(qPrintable(name)) << images.filePath(name) << (i < 6);
            }
        }
        QCOMPARE(sets, 6);
    }

    void everyFigureShowsItsColour() {
        QFETCH(QString, file);
        QFETCH(bool, white);
        const double share = LightShare(file);
        QVERIFY2(share >= 0, "no figure");
        if (white)
            QVERIFY2(share >= 0.5, qPrintable(QString("light share %1").arg(share)));
        else
            QVERIFY2(share <= 0.3, qPrintable(QString("light share %1").arg(share)));
    }
};

QTEST_MAIN(PieceSetsTest)
#include "test_piecesets.moc"
