// Board pictures: a frame and the 64 squares, each set with its own surface.
#include "media.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace media {
namespace {

constexpr double kPi = 3.14159265358979323846;

double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

QRgb scaled(const QColor& c, double f, double warm = 0)
{
    const double r = c.red() * f * (1 + warm), g = c.green() * f, b = c.blue() * f * (1 - warm);
    return qRgb(std::clamp(int(std::lround(r)), 0, 255), std::clamp(int(std::lround(g)), 0, 255),
                std::clamp(int(std::lround(b)), 0, 255));
}

QRgb mix(const QColor& a, const QColor& b, double t)
{
    t = clamp01(t);
    return qRgb(int(std::lround(a.red() + (b.red() - a.red()) * t)),
                int(std::lround(a.green() + (b.green() - a.green()) * t)),
                int(std::lround(a.blue() + (b.blue() - a.blue()) * t)));
}

// Wood seen on a flat cut: u runs along the grain, v across it (pixels).
QRgb woodAt(const Noise& noise, const QColor& base, double u, double v, double scale)
{
    u /= scale;
    v /= scale;
    const double bend = noise.fbm(u * 0.006, v * 0.035, 4);
    const double t = v / 9.0 + bend * 5.0;
    const double ring = std::pow(0.5 + 0.5 * std::cos(2 * kPi * t), 5.0);
    const double fibre = noise.fbm(u * 0.025, v * 0.9, 3);
    const double blotch = noise.fbm(u * 0.004 + 40, v * 0.01 + 40, 3);
    const double f = 1.06 - 0.20 * ring - 0.10 * (fibre - 0.5) - 0.14 * (blotch - 0.5);
    return scaled(base, f, 0.04 * ring);
}

// Marble: soft clouds crossed by long, thin veins that fade in and out.
QRgb marbleAt(const Noise& noise, const QColor& base, const QColor& vein, double x, double y, double strength,
              double angle)
{
    const double ca = std::cos(angle), sa = std::sin(angle);
    const double along = x * ca + y * sa, across = -x * sa + y * ca;
    const double turb = noise.fbm(x * 0.0035, y * 0.0035, 4);
    const double m1 = std::abs(std::sin(across * 0.020 + turb * 11.0));
    const double fade1 = clamp01(noise.fbm(along * 0.006 + 11, across * 0.006 + 5, 3) * 2.2 - 0.55);
    const double turb2 = noise.fbm(x * 0.006 + 31, y * 0.006 + 17, 3);
    const double m2 = std::abs(std::sin(along * 0.013 + turb2 * 8.0));
    const double fade2 = clamp01(noise.fbm(along * 0.01 + 71, across * 0.01 + 3, 3) * 2.0 - 0.7);
    const double v = std::exp(-(m1 * m1) / 0.0025) * fade1 + 0.6 * std::exp(-(m2 * m2) / 0.0012) * fade2
                     + 0.18 * std::exp(-(m1 * m1) / 0.03) * fade1;
    const double cloud = noise.fbm(x * 0.010 + 50, y * 0.010 + 50, 5);
    const double speck = noise.value(x * 0.5, y * 0.5) - 0.5;
    const QColor c = QColor::fromRgb(scaled(base, 1.0 + 0.22 * (cloud - 0.5) + 0.025 * speck));
    return mix(c, vein, clamp01(v) * strength);
}

// Newspaper hatching of the dark squares: diagonal lines, supersampled.
double hatchAt(double x, double y)
{
    constexpr double period = 6.0, duty = 0.40;
    int hit = 0;
    for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
            const double s = (x + (sx + 0.5) / 4 + y + (sy + 0.5) / 4) / period;
            hit += (s - std::floor(s)) < duty ? 1 : 0;
        }
    return hit / 16.0;
}

QRgb squarePixel(const SetStyle& st, const Noise& noise, bool dark, int sq, int x, int y, int lx, int ly)
{
    const QColor& base = dark ? st.dark : st.light;
    const double jitter = noise.hash(sq, 991) - 0.5;
    switch (st.board) {
    case BoardKind::Wood: {
        // Every square is its own piece of wood: grain along the file.
        const double ou = noise.hash(sq, 7) * 900, ov = noise.hash(sq, 8) * 900;
        return woodAt(noise, QColor::fromRgb(scaled(base, 1 + 0.06 * jitter)), ly + ou, lx + ov, dark ? 0.9 : 1.1);
    }
    case BoardKind::Marble: {
        const double ox = noise.hash(sq, 3) * 700, oy = noise.hash(sq, 4) * 700;
        const QColor vein = dark ? QColor(196, 214, 204) : QColor(128, 132, 138);
        return marbleAt(noise, QColor::fromRgb(scaled(base, 1 + 0.05 * jitter)), vein, lx + ox, ly + oy,
                        dark ? 0.75 : 0.65, noise.hash(sq, 5) * 3.1416);
    }
    case BoardKind::News:
        return dark ? mix(st.light, st.dark, hatchAt(x, y)) : st.light.rgb();
    case BoardKind::Vinyl: {
        const double grain = noise.value(x * 0.9, y * 0.9) - 0.5;
        const double cloud = noise.fbm(x * 0.02, y * 0.02, 3) - 0.5;
        return scaled(base, 1 + 0.035 * grain + 0.05 * cloud);
    }
    case BoardKind::Flat:
        return base.rgb();
    }
    return base.rgb();
}

QRgb framePixel(const SetStyle& st, const Noise& noise, int x, int y, int w, int h)
{
    switch (st.board) {
    case BoardKind::Wood: {
        // Four mitred boards: grain along each side.
        const int dl = x, dt = y, dr = w - 1 - x, db = h - 1 - y;
        const bool horizontal = std::min(dt, db) <= std::min(dl, dr);
        const double off = horizontal ? (dt < db ? 100 : 300) : (dl < dr ? 500 : 700);
        return horizontal ? woodAt(noise, st.frame, x + off, y + off, 1.3)
                          : woodAt(noise, st.frame, y + off, x + off, 1.3);
    }
    case BoardKind::Marble:
        return marbleAt(noise, st.frame, QColor(150, 152, 156), x * 0.8 + 1300, y * 0.8 + 1300, 0.40, 0.6);
    case BoardKind::Vinyl: {
        const double cloud = noise.fbm(x * 0.02 + 70, y * 0.02 + 70, 3) - 0.5;
        return scaled(st.frame, 1 + 0.03 * cloud);
    }
    case BoardKind::Flat: {
        const double t = double(y) / h;
        return scaled(st.frame, 1.06 - 0.12 * t);
    }
    case BoardKind::News:
        break;
    }
    return st.frame.rgb();
}

} // namespace

QImage makeBoard(const SetStyle& st)
{
    const int w = kBoardSize, h = kBoardSize;
    const Noise noise(st.seed);
    QImage img(w, h, QImage::Format_RGB32);

    int colX[9], rowY[9];
    for (int i = 0; i <= 8; ++i) {
        colX[i] = SquareEdge(w, i);
        rowY[i] = SquareEdge(h, i);
    }
    const int left = colX[0], top = rowY[0], right = colX[8], bottom = rowY[8];

    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            if (x < left || x >= right || y < top || y >= bottom) {
                line[x] = framePixel(st, noise, x, y, w, h);
                continue;
            }
            int col = 0, row = 0;
            while (col < 7 && x >= colX[col + 1])
                ++col;
            while (row < 7 && y >= rowY[row + 1])
                ++row;
            const int rank = 7 - row, file = col; // a1 at the bottom left
            const bool dark = (rank + file) % 2 == 0;
            line[x] = squarePixel(st, noise, dark, rank * 8 + file, x, y, x - colX[col], y - rowY[row]);
        }
    }

    // Rule between frame and squares, and the frame's edges.
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    const int rule = st.board == BoardKind::News ? 3 : 2;
    p.fillRect(left - rule, top - rule, right - left + 2 * rule, rule, st.frameLine);
    p.fillRect(left - rule, bottom, right - left + 2 * rule, rule, st.frameLine);
    p.fillRect(left - rule, top, rule, bottom - top, st.frameLine);
    p.fillRect(right, top, rule, bottom - top, st.frameLine);
    if (st.board != BoardKind::News) {
        const QColor lightEdge = st.frame.lighter(125), darkEdge = st.frame.darker(150);
        p.fillRect(0, 0, w, 1, lightEdge);
        p.fillRect(0, 0, 1, h, lightEdge);
        p.fillRect(0, h - 1, w, 1, darkEdge);
        p.fillRect(w - 1, 0, 1, h, darkEdge);
        // A faint highlight just outside the rule.
        QColor glow = st.frame.lighter(112);
        p.fillRect(left - rule - 1, bottom + rule, right - left + 2 * rule + 2, 1, glow);
        p.fillRect(right + rule, top - rule - 1, 1, bottom - top + 2 * rule + 2, glow);
    } else {
        p.fillRect(0, 0, w, 1, st.frameLine);
        p.fillRect(0, h - 1, w, 1, st.frameLine);
        p.fillRect(0, 0, 1, h, st.frameLine);
        p.fillRect(w - 1, 0, 1, h, st.frameLine);
    }
    p.end();
    return img;
}

} // namespace media
