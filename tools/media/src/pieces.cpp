// Piece figures from the chess symbols of the DejaVu Sans font.
#include "media.h"

#include <QFont>
#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace media {
namespace {

// How far the gaps between the queen's points are closed, fraction of the image side.
constexpr double kCrownClosing = 0.035;

// U+265A..U+265F are the solid king..pawn: their silhouettes are whole (the
// outlined symbols leave the queen's crown open), and their cut-outs are the
// figures' detail lines.
QChar symbol(int type)
{
    static const int offset[7] = {0, 5, 4, 3, 2, 1, 0}; // by type: pawn 5 .. king 0
    return QChar(0x265A + offset[type]);
}

QPainterPath glyph(int type)
{
    static bool checked = false;
    if (!checked) {
        checked = true;
        if (!QFontDatabase::families().contains(QStringLiteral("DejaVu Sans"))) {
            std::fprintf(stderr, "the DejaVu Sans font is missing (Debian package fonts-dejavu-core)\n");
            std::exit(1);
        }
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(1000);
    font.setStyleStrategy(QFont::NoFontMerging);
    QPainterPath path;
    path.addText(0, 0, font, QString(symbol(type)));
    return path;
}

// A glyph's contours sorted into the silhouette (contours inside no other) and
// the rest (the edges of its holes and of the islands in them).
struct Contours {
    QPainterPath outer;
    QPainterPath inner;
};

bool inside(const QPolygonF& a, const QPolygonF& b)
{
    int in = 0;
    for (const QPointF& p : a)
        in += b.containsPoint(p, Qt::OddEvenFill) ? 1 : 0;
    return in * 2 > a.size();
}

Contours splitContours(const QPainterPath& path)
{
    const QList<QPolygonF> polys = path.toSubpathPolygons();
    Contours c;
    c.outer.setFillRule(Qt::WindingFill);
    for (qsizetype i = 0; i < polys.size(); ++i) {
        bool nested = false;
        for (qsizetype j = 0; j < polys.size() && !nested; ++j)
            nested = j != i && inside(polys[i], polys[j]);
        QPainterPath p;
        p.addPolygon(polys[i]);
        p.closeSubpath();
        if (nested)
            c.inner.addPath(p);
        else
            c.outer = c.outer.united(p);
    }
    return c;
}

// Image pixels under half coverage become the key; the rest become opaque in
// their own (unblended) colour, so no edge pixel mixes with the key.
QImage keyed(const QImage& art)
{
    QImage src = art.convertToFormat(QImage::Format_ARGB32);
    QImage out(src.size(), QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y) {
        const QRgb* s = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        QRgb* d = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < src.width(); ++x)
            d[x] = qAlpha(s[x]) >= 128 ? (s[x] | 0xFF000000u) : kKey;
    }
    return out;
}

QBrush fillBrush(const QColor& top, const QColor& shade, bool flat, int size)
{
    if (flat || top == shade)
        return QBrush(top);
    QLinearGradient g(0.30 * size, 0.15 * size, 0.85 * size, 0.95 * size);
    g.setColorAt(0.0, top);
    g.setColorAt(0.45, top);
    g.setColorAt(1.0, shade);
    return QBrush(g);
}

QPen roundPen(const QColor& c, double width)
{
    return QPen(QBrush(c), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The region grown by r on every side, or shrunk when r < 0.
QPainterPath grown(const QPainterPath& region, double r)
{
    QPainterPathStroker stroker;
    stroker.setWidth(2 * std::abs(r));
    stroker.setJoinStyle(Qt::RoundJoin);
    stroker.setCapStyle(Qt::RoundCap);
    const QPainterPath edge = stroker.createStroke(region);
    return r > 0 ? region.united(edge) : region.subtracted(edge);
}

} // namespace

QImage makePieceArt(const SetStyle& style, int type, int colour, int size)
{
    const double n = size;
    const double squeeze = style.condensed ? 0.86 : 1.0;
    const double kingHeight = splitContours(glyph(6)).outer.boundingRect().height();
    double widest = 0; // widest figure, in king heights
    for (int k = 1; k <= 6; ++k)
        widest = std::max(widest, splitContours(glyph(k)).outer.boundingRect().width() * squeeze / kingHeight);

    // The outline or halo must end a pixel inside the image on every side.
    const double reach = style.inkWeight / 2 + style.halo;
    const double margin = reach + 1.0 / n;
    const double bottom = std::min(kFigureBottom, 1.0 - margin);
    const double room = std::min(kFigureCentreX, 1.0 - kFigureCentreX) - margin;
    const double height = std::min({kFigureHeight, bottom - margin, 2 * room / widest});
    const double scale = height * n / kingHeight;
    const double sx = scale * squeeze;

    const QPainterPath raw = glyph(type);
    const QRectF box = splitContours(raw).outer.boundingRect();
    QTransform t;
    t.translate(kFigureCentreX * n - box.center().x() * sx, bottom * n - box.bottom() * scale);
    t.scale(sx, scale);

    const QPainterPath shape = t.map(raw);
    const Contours parts = splitContours(shape);
    // The queen's crown closed between its points, so it reads as a body.
    const QPainterPath body = type == 5 ? grown(grown(parts.outer, kCrownClosing * n), -kCrownClosing * n)
                                                 .united(parts.outer)
                                        : parts.outer;
    const QPainterPath lines = parts.outer.subtracted(shape); // the cut-outs

    QImage art = transparentCanvas(size);
    QPainter p(&art);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    const double ink = style.inkWeight * n;
    if (style.halo > 0) {
        p.strokePath(body, roundPen(style.haloColour, 2 * style.halo * n + ink));
        p.fillPath(body, style.haloColour);
    }
    const bool white = colour == 0;
    p.fillPath(body, white ? fillBrush(style.whiteFill, style.whiteFillShade, style.flat, size)
                           : fillBrush(style.blackFill, style.blackFillShade, style.flat, size));
    // Detail lines; the dark ones widened a little so they survive scaling down.
    if (white) {
        p.fillPath(lines, style.ink);
        p.strokePath(parts.inner, roundPen(style.ink, 0.4 * ink));
    } else {
        p.fillPath(lines, style.blackLine);
    }
    p.strokePath(body, roundPen(style.ink, ink));
    p.end();
    return art;
}

QImage makePiece(const SetStyle& style, int type, int colour, int size)
{
    return keyed(makePieceArt(style, type, colour, size));
}

QImage makeMarker(const SetStyle& style)
{
    // A coloured corner in the top-left of the square: the image is drawn at the
    // square's top-left corner, so this is the one place it lines up exactly.
    const double n = kPieceSize, leg = 0.34 * n, edge = 0.03 * n;
    QImage art = transparentCanvas(kPieceSize);
    QPainter p(&art);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QPolygonF outer({QPointF(0, 0), QPointF(leg + 2 * edge, 0), QPointF(0, leg + 2 * edge)});
    QPolygonF inner({QPointF(edge, edge), QPointF(leg, edge), QPointF(edge, leg)});
    p.setBrush(style.markerEdge);
    p.drawPolygon(outer);
    p.setBrush(style.marker);
    p.drawPolygon(inner);
    p.end();
    return keyed(art);
}

} // namespace media
