#include "media.h"

#include <cmath>

namespace media {

QString setDirectory(const QString& dataDir, const QString& set)
{
    return dataDir + QStringLiteral("/images/") + set + QLatin1Char('/');
}

QImage transparentCanvas(int side)
{
    QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}


const std::vector<SetStyle>& setStyles()
{
    static const std::vector<SetStyle> styles = {
        {
            "wood", BoardKind::Wood,
            QColor(232, 200, 146), QColor(150, 94, 52), QColor(226, 196, 150), QColor(70, 40, 18), 11,
            QColor(52, 30, 12),
            QColor(252, 240, 212), QColor(214, 184, 134),
            QColor(84, 50, 26), QColor(38, 20, 8), QColor(232, 206, 160),
            0.022, 0.0, QColor(), false, false,
            QColor(255, 196, 0), QColor(70, 36, 0),
        },
        {
            "marble", BoardKind::Marble,
            QColor(236, 234, 228), QColor(92, 116, 108), QColor(222, 222, 218), QColor(60, 64, 66), 23,
            QColor(40, 42, 48),
            QColor(252, 252, 250), QColor(196, 198, 202),
            QColor(52, 54, 62), QColor(18, 18, 24), QColor(214, 218, 224),
            0.020, 0.0, QColor(), false, false,
            QColor(40, 200, 255), QColor(0, 50, 80),
        },
        {
            "news", BoardKind::News,
            QColor(255, 255, 255), QColor(30, 30, 30), QColor(255, 255, 255), QColor(0, 0, 0), 37,
            QColor(0, 0, 0),
            QColor(255, 255, 255), QColor(255, 255, 255),
            QColor(0, 0, 0), QColor(0, 0, 0), QColor(255, 255, 255),
            0.026, 0.020, QColor(255, 255, 255), false, true,
            QColor(225, 20, 20), QColor(40, 0, 0),
        },
        {
            "challenger", BoardKind::Vinyl,
            QColor(238, 236, 206), QColor(92, 138, 84), QColor(240, 238, 222), QColor(40, 82, 44), 41,
            QColor(16, 16, 16),
            QColor(255, 255, 246), QColor(226, 224, 206),
            QColor(56, 56, 56), QColor(10, 10, 10), QColor(236, 236, 226),
            0.030, 0.0, QColor(), true, false,
            QColor(255, 150, 0), QColor(60, 30, 0),
        },
        {
            "modern", BoardKind::Flat,
            QColor(222, 228, 232), QColor(124, 148, 166), QColor(42, 46, 54), QColor(18, 20, 24), 53,
            QColor(36, 38, 44),
            QColor(250, 250, 250), QColor(250, 250, 250),
            QColor(48, 50, 56), QColor(48, 50, 56), QColor(214, 218, 224),
            0.018, 0.0, QColor(), false, true,
            QColor(0, 220, 200), QColor(0, 60, 56),
        },
        {
            "modern2", BoardKind::Flat,
            QColor(240, 242, 246), QColor(112, 146, 196), QColor(226, 230, 238), QColor(40, 62, 102), 67,
            QColor(18, 46, 98),
            QColor(255, 255, 255), QColor(214, 224, 240),
            QColor(40, 60, 110), QColor(14, 26, 60), QColor(232, 238, 250),
            0.024, 0.0, QColor(), true, false,
            QColor(255, 210, 40), QColor(90, 60, 0),
        },
    };
    return styles;
}

double Noise::hash(int x, int y) const
{
    uint32_t h = seed_ * 0x9E3779B1u;
    h ^= static_cast<uint32_t>(x) * 0x85EBCA77u;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<uint32_t>(y) * 0xC2B2AE3Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / double(0xFFFFFF);
}

double Noise::value(double x, double y) const
{
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    double tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const double a = hash(ix, iy), b = hash(ix + 1, iy);
    const double c = hash(ix, iy + 1), d = hash(ix + 1, iy + 1);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

double Noise::fbm(double x, double y, int octaves) const
{
    double sum = 0, amp = 1, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += value(x, y) * amp;
        norm += amp;
        amp *= 0.5;
        x = x * 2.03 + 17.1;
        y = y * 2.03 + 5.7;
    }
    return sum / norm;
}

} // namespace media
