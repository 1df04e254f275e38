// Writing BMP and WAV files byte by byte, and checking the key colour.
#include "media.h"

#include <QFile>

#include <cmath>

namespace media {
namespace {

void put16(QByteArray& b, unsigned v)
{
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}

void put32(QByteArray& b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace

bool saveBmp(const QImage& image, const QString& path)
{
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    const int w = img.width(), h = img.height();
    const int stride = (w * 3 + 3) & ~3;
    const uint32_t dataSize = uint32_t(stride) * uint32_t(h);
    QByteArray b;
    b.reserve(int(54 + dataSize));
    b.append("BM");
    put32(b, 54 + dataSize);
    put32(b, 0);
    put32(b, 54);
    put32(b, 40); // BITMAPINFOHEADER
    put32(b, uint32_t(w));
    put32(b, uint32_t(h)); // bottom-up rows
    put16(b, 1);
    put16(b, 24);
    put32(b, 0); // no compression
    put32(b, dataSize);
    put32(b, 2835); // 72 dpi
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    for (int y = h - 1; y >= 0; --y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            b.append(char(qBlue(line[x])));
            b.append(char(qGreen(line[x])));
            b.append(char(qRed(line[x])));
        }
        for (int pad = w * 3; pad < stride; ++pad)
            b.append(char(0));
    }
    return writeFile(path, b);
}

bool writeWav(const QString& path, const std::vector<int16_t>& samples, int rate)
{
    const uint32_t dataSize = uint32_t(samples.size() * 2);
    QByteArray b;
    b.append("RIFF");
    put32(b, 36 + dataSize);
    b.append("WAVE");
    b.append("fmt ");
    put32(b, 16);
    put16(b, 1); // PCM
    put16(b, 1); // mono
    put32(b, uint32_t(rate));
    put32(b, uint32_t(rate) * 2);
    put16(b, 2);
    put16(b, 16);
    b.append("data");
    put32(b, dataSize);
    for (int16_t s : samples)
        put16(b, uint16_t(s));
    return writeFile(path, b);
}

bool keyIsClean(const QImage& image, QString* why)
{
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    const QRgb key = kKey;
    int keyPixels = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y) & 0xFFFFFF;
            if (isKey(c)) {
                ++keyPixels;
                continue;
            }
            const int dr = qRed(c) - qRed(key), dg = qGreen(c) - qGreen(key), db = qBlue(c) - qBlue(key);
            if (std::sqrt(double(dr * dr + dg * dg + db * db)) < 90) {
                *why = QStringLiteral("pixel (%1,%2) = #%3 is close to the key")
                           .arg(x).arg(y).arg(c, 6, 16, QLatin1Char('0'));
                return false;
            }
        }
    if (keyPixels == 0) {
        *why = QStringLiteral("no key background");
        return false;
    }
    return true;
}

} // namespace media
