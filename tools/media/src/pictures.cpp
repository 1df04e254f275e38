// Splash and About pictures and the window icon.
#include "media.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace media {
namespace {

const SetStyle& wood() { return setStyles().front(); }

// Checkered floor fading out towards the top.
void drawCheckers(QPainter& p, const QRectF& area, double square, const QColor& light, const QColor& dark)
{
    for (int row = 0; row * square < area.height(); ++row)
        for (int col = 0; col * square < area.width(); ++col)
            p.fillRect(QRectF(area.left() + col * square, area.top() + row * square, square, square),
                       (row + col) % 2 ? dark : light);
}

void drawTitle(QPainter& p, const QRectF& box, const QString& text, double px, const QColor& colour)
{
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setBold(true);
    font.setPixelSize(int(px));
    QPainterPath path;
    const QFontMetricsF fm(font);
    const double x = box.center().x() - fm.horizontalAdvance(text) / 2;
    const double y = box.center().y() + (fm.ascent() - fm.descent()) / 2;
    path.addText(x, y, font, text);
    p.setPen(Qt::NoPen);
    p.fillPath(path.translated(px * 0.04, px * 0.05), QColor(0, 0, 0, 150));
    QLinearGradient g(0, y - fm.ascent(), 0, y);
    g.setColorAt(0, colour.lighter(125));
    g.setColorAt(1, colour.darker(115));
    p.fillPath(path, g);
}

void drawLine(QPainter& p, const QRectF& box, const QString& text, double px, const QColor& colour, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(bold);
    font.setPixelSize(int(px));
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
}

QImage picture(int w, int h, double figure, double titlePx)
{
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);

    QRadialGradient bg(w / 2.0, h * 0.42, w * 0.62);
    bg.setColorAt(0, QColor(92, 54, 26));
    bg.setColorAt(1, QColor(26, 14, 6));
    p.fillRect(img.rect(), bg);

    // A strip of board along the bottom, lit from the centre.
    const double sq = h / 7.0;
    const QRectF floor(0, h - 1.5 * sq, w, 1.5 * sq);
    p.save();
    p.setClipRect(floor);
    drawCheckers(p, QRectF(w / 2.0 - 8 * sq, floor.top(), 16 * sq, 2 * sq), sq, wood().light, wood().dark);
    QLinearGradient shade(0, floor.top(), 0, floor.bottom());
    shade.setColorAt(0, QColor(0, 0, 0, 40));
    shade.setColorAt(1, QColor(0, 0, 0, 150));
    p.fillRect(floor, shade);
    QLinearGradient sides(0, 0, w, 0);
    sides.setColorAt(0, QColor(0, 0, 0, 200));
    sides.setColorAt(0.3, QColor(0, 0, 0, 0));
    sides.setColorAt(0.7, QColor(0, 0, 0, 0));
    sides.setColorAt(1, QColor(0, 0, 0, 200));
    p.fillRect(floor, sides);
    p.restore();

    // A white king and a black knight standing on it.
    const int fs = int(figure);
    const QImage king = makePieceArt(wood(), 6, 0, fs);
    const QImage knight = makePieceArt(wood(), 2, 1, fs);
    const double base = floor.top() + sq * 0.55;
    for (double cx : {w * 0.22, w * 0.78}) {
        // A soft light behind each figure lifts it off the dark background.
        QRadialGradient spot(cx, base - fs * 0.42, fs * 0.62);
        spot.setColorAt(0, QColor(255, 230, 180, 170));
        spot.setColorAt(0.6, QColor(255, 214, 156, 70));
        spot.setColorAt(1, QColor(255, 200, 140, 0));
        p.fillRect(QRectF(cx - fs, base - fs * 1.1, 2 * fs, fs * 1.3), spot);
        QRadialGradient shadow(cx, base - fs * 0.03, fs * 0.4);
        shadow.setColorAt(0, QColor(0, 0, 0, 150));
        shadow.setColorAt(1, QColor(0, 0, 0, 0));
        p.save();
        p.translate(cx, base - fs * 0.03);
        p.scale(1, 0.22);
        p.translate(-cx, -(base - fs * 0.03));
        p.fillRect(QRectF(cx - fs * 0.5, base - fs * 0.53, fs, fs), shadow);
        p.restore();
    }
    p.drawImage(QPointF(w * 0.22 - fs * kFigureCentreX, base - fs * kFigureBottom), king);
    p.drawImage(QPointF(w * 0.78 - fs * kFigureCentreX, base - fs * kFigureBottom), knight);

    const QColor gold(244, 208, 120);
    const QRectF titleBox(0, h * 0.19, w, titlePx * 1.2);
    drawTitle(p, titleBox, QStringLiteral("Morlaquin"), titlePx, gold);
    const double small = titlePx * 0.36;
    QRectF line(0, titleBox.bottom() + small * 0.2, w, small * 1.4);
    drawLine(p, line, QStringLiteral("Version 4.00"), small, QColor(236, 222, 190), true);
    p.end();
    return img;
}

} // namespace

QImage makeSplash() { return picture(480, 300, 140, 58); }

QImage makeAbout() { return picture(300, 200, 92, 38); }

QImage makeIcon()
{
    const int n = 256;
    QImage img = transparentCanvas(n);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath tile;
    tile.addRoundedRect(QRectF(8, 8, n - 16, n - 16), 40, 40);
    p.save();
    p.setClipPath(tile);
    const SetStyle& st = wood();
    const double half = (n - 16) / 2.0;
    p.fillRect(QRectF(8, 8, half, half), st.light);
    p.fillRect(QRectF(8 + half, 8, half, half), st.dark);
    p.fillRect(QRectF(8, 8 + half, half, half), st.dark);
    p.fillRect(QRectF(8 + half, 8 + half, half, half), st.light);
    QRadialGradient glow(n * 0.35, n * 0.3, n * 0.8);
    glow.setColorAt(0, QColor(255, 255, 255, 40));
    glow.setColorAt(1, QColor(0, 0, 0, 90));
    p.fillRect(img.rect(), glow);
    p.restore();
    p.setPen(QPen(QColor(54, 30, 12), 8));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tile);

    // The knight, centred on the tile (figures sit right of an image's centre).
    const int fs = 236;
    const QImage knight = makePieceArt(st, 2, 0, fs);
    p.drawImage(QPointF(n / 2.0 - fs * kFigureCentreX, n * 0.93 - fs * kFigureBottom), knight);
    p.end();
    return img;
}

} // namespace media
