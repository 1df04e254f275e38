// Writes the shipped personalities: the personality file and one picture
// per personality (an emblem: a chess piece on a background of its own
// motif, in a frame), plus blank.jpg for names without a picture. The
// pictures are drawn here and encoded with libjpeg; each is read back with
// the program's own decoder. The output is the same on every run.
//
//   make_personalities DATA_DIR
//
// writes DATA_DIR/MLPersonalities.ini and DATA_DIR/images/personalities/.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "inifile.h"
#include "jpegpicture.h"
#include "dialogs/Personality.h"

namespace {

constexpr int Width = 240;
constexpr int Height = 300;
constexpr int Quality = 90;

enum class Piece { Pawn, Knight, Bishop, Rook, Queen, King };

struct Palette {
    QColor inner, outer;      // background, centre and edge
    QColor motif;             // the background motif
    QColor light, dark;       // the piece's fill, lit side and shaded side
    QColor frame;             // the frame's bright line
};

enum class Motif { Laurel, Stars, Leaves, Flames, Bricks, Gems, None };

struct Personality {
    const char* name;
    const char* description;
    int pawn, knight, bishop, rook, queen;
    int positional, kingSafety, passed, mobility;
    int blunder, speed;
    int isDefault;
    Piece piece;
    Motif motif;
    Palette palette;
};

// A fixed sequence of numbers in [0, 1) for the motifs' placements.
class Sequence {
public:
    explicit Sequence(unsigned seed) : state(seed) {}
    double Next() {
        state = state * 1103515245u + 12345u;
        return ((state >> 8) & 0xFFFF) / 65536.0;
    }

private:
    unsigned state;
};

// ------------------------------------------------------------ pieces
// Outlines in a box 100 wide and 120 high, standing on y = 116.

QPainterPath Base() {
    QPainterPath p;
    p.addRoundedRect(QRectF(16, 102, 68, 14), 4, 4);
    p.addRoundedRect(QRectF(24, 94, 52, 10), 3, 3);
    return p;
}

// A body that narrows upwards with hollow sides, from the base to a neck.
QPainterPath Body(double neckY, double neckHalf, double footHalf) {
    QPainterPath p;
    p.moveTo(50 - footHalf, 96);
    p.cubicTo(50 - footHalf + 4, 80, 50 - neckHalf - 2, neckY + 14, 50 - neckHalf, neckY);
    p.lineTo(50 + neckHalf, neckY);
    p.cubicTo(50 + neckHalf + 2, neckY + 14, 50 + footHalf - 4, 80, 50 + footHalf, 96);
    p.closeSubpath();
    return p;
}

QPainterPath Collar(double y, double half) {
    QPainterPath p;
    p.addRoundedRect(QRectF(50 - half, y - 4, 2 * half, 8), 4, 4);
    return p;
}

QPainterPath PieceOutline(Piece piece) {
    QPainterPath p = Base();
    switch (piece) {
        case Piece::Pawn:
            p.addPath(Body(52, 9, 24));
            p.addPath(Collar(52, 17));
            p.addEllipse(QPointF(50, 33), 16, 16);
            break;
        case Piece::Rook: {
            QPainterPath body;
            body.moveTo(30, 96);
            body.lineTo(34, 42);
            body.lineTo(66, 42);
            body.lineTo(70, 96);
            body.closeSubpath();
            p.addPath(body);
            p.addPath(Collar(42, 22));
            // Three merlons with two gaps between them.
            QPainterPath top;
            top.moveTo(26, 38);
            const double edges[] = {26, 38, 44, 56, 62, 74};
            for (int i = 0; i < 6; ++i) {
                top.lineTo(edges[i], i % 2 == 0 ? 24 : 12);
                top.lineTo(edges[i], i % 2 == 0 ? 12 : 24);
            }
            top.lineTo(74, 38);
            top.closeSubpath();
            p.addPath(top);
            break;
        }
        case Piece::Bishop: {
            p.addPath(Body(62, 8, 24));
            p.addPath(Collar(62, 16));
            QPainterPath mitre;
            mitre.moveTo(50, 16);
            mitre.cubicTo(66, 28, 70, 44, 62, 58);
            mitre.lineTo(38, 58);
            mitre.cubicTo(30, 44, 34, 28, 50, 16);
            p.addPath(mitre);
            p.addEllipse(QPointF(50, 12), 6, 6);
            // The mitre's cut.
            QPainterPath cut;
            cut.moveTo(55, 30);
            cut.lineTo(61, 34);
            cut.lineTo(50, 48);
            cut.lineTo(45, 44);
            cut.closeSubpath();
            p = p.subtracted(cut);
            break;
        }
        case Piece::Queen: {
            p.addPath(Body(50, 11, 26));
            p.addPath(Collar(50, 20));
            QPainterPath crown;
            crown.moveTo(30, 48);
            const double tips[5][2] = {{22, 20}, {36, 26}, {50, 14}, {64, 26}, {78, 20}};
            const double dips[4] = {38, 36, 36, 38};
            crown.lineTo(tips[0][0], tips[0][1]);
            for (int i = 1; i < 5; ++i) {
                crown.lineTo((tips[i - 1][0] + tips[i][0]) / 2, dips[i - 1]);
                crown.lineTo(tips[i][0], tips[i][1]);
            }
            crown.lineTo(70, 48);
            crown.closeSubpath();
            p.addPath(crown);
            for (const auto& t : tips) p.addEllipse(QPointF(t[0], t[1] - 3), 5, 5);
            break;
        }
        case Piece::King: {
            p.addPath(Body(52, 11, 26));
            p.addPath(Collar(52, 21));
            QPainterPath crown;
            crown.moveTo(30, 50);
            crown.cubicTo(18, 40, 22, 24, 36, 26);
            crown.cubicTo(42, 27, 46, 32, 50, 36);
            crown.cubicTo(54, 32, 58, 27, 64, 26);
            crown.cubicTo(78, 24, 82, 40, 70, 50);
            crown.closeSubpath();
            p.addPath(crown);
            p.addRoundedRect(QRectF(46, 2, 8, 30), 2, 2);
            p.addRoundedRect(QRectF(38, 9, 24, 8), 2, 2);
            break;
        }
        case Piece::Knight: {
            QPainterPath head;
            head.moveTo(28, 96);
            head.cubicTo(28, 78, 40, 66, 46, 56);   // chest up to the throat
            head.cubicTo(38, 58, 30, 62, 22, 60);   // under the jaw
            head.cubicTo(14, 58, 12, 50, 16, 46);   // muzzle
            head.cubicTo(22, 38, 30, 30, 36, 22);   // nose to brow
            head.lineTo(38, 10);                    // ear
            head.lineTo(46, 18);
            head.cubicTo(62, 16, 76, 30, 78, 52);   // mane
            head.cubicTo(80, 70, 74, 84, 72, 96);   // back of the neck
            head.closeSubpath();
            p.addPath(head);
            QPainterPath eye;
            eye.addEllipse(QPointF(38, 34), 3.5, 3.0);
            QPainterPath nostril;
            nostril.addEllipse(QPointF(20, 50), 2.2, 1.8);
            p = p.subtracted(eye).subtracted(nostril);
            break;
        }
    }
    return p.simplified();
}

// The piece at its place in the picture: 150 pixels high, centred.
QTransform PiecePlace() {
    QTransform t;
    t.translate(Width / 2.0 - 62.5, 58);
    t.scale(1.25, 1.25);
    return t;
}

void DrawPiece(QPainter& p, Piece piece, const Palette& c) {
    const QPainterPath outline = PiecePlace().map(PieceOutline(piece));
    const QRectF box = outline.boundingRect();
    p.setPen(Qt::NoPen);
    // A soft shadow below and to the right.
    for (int i = 6; i >= 1; --i) {
        p.setBrush(QColor(0, 0, 0, 18));
        p.drawPath(outline.translated(i * 0.9 + 2, i * 0.9 + 3));
    }
    QLinearGradient fill(box.topLeft(), box.bottomRight());
    fill.setColorAt(0, c.light.lighter(125));
    fill.setColorAt(0.45, c.light);
    fill.setColorAt(1, c.dark);
    p.setBrush(fill);
    p.setPen(QPen(c.dark.darker(170), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(outline);
    // A highlight along the lit side.
    p.save();
    p.setClipPath(outline);
    QLinearGradient shine(box.left(), 0, box.left() + box.width() * 0.5, 0);
    shine.setColorAt(0, QColor(255, 255, 255, 110));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawRect(QRectF(box.left(), box.top(), box.width() * 0.5, box.height()));
    p.restore();
}

// ------------------------------------------------------------ motifs

QPainterPath Star(QPointF centre, double outer, double inner, int points) {
    QPainterPath s;
    for (int i = 0; i < 2 * points; ++i) {
        const double a = -M_PI / 2 + i * M_PI / points;
        const double r = i % 2 ? inner : outer;
        const QPointF q(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
        if (i == 0)
            s.moveTo(q);
        else
            s.lineTo(q);
    }
    s.closeSubpath();
    return s;
}

QPainterPath Leaf(QPointF at, double length, double angle) {
    QPainterPath l;
    l.moveTo(0, 0);
    l.cubicTo(length * 0.3, -length * 0.32, length * 0.75, -length * 0.28, length, 0);
    l.cubicTo(length * 0.75, length * 0.28, length * 0.3, length * 0.32, 0, 0);
    QTransform t;
    t.translate(at.x(), at.y());
    t.rotate(angle);
    return t.map(l);
}

void DrawRays(QPainter& p, QPointF centre, const QColor& colour, int rays) {
    p.setPen(Qt::NoPen);
    for (int i = 0; i < rays; ++i) {
        const double a0 = 2 * M_PI * i / rays;
        const double a1 = a0 + M_PI / rays;
        QPainterPath wedge;
        wedge.moveTo(centre);
        wedge.lineTo(centre + QPointF(400 * std::cos(a0), 400 * std::sin(a0)));
        wedge.lineTo(centre + QPointF(400 * std::cos(a1), 400 * std::sin(a1)));
        wedge.closeSubpath();
        QRadialGradient g(centre, 220);
        g.setColorAt(0, colour);
        g.setColorAt(1, QColor(colour.red(), colour.green(), colour.blue(), 0));
        p.setBrush(g);
        p.drawPath(wedge);
    }
}

void DrawLaurel(QPainter& p, const QColor& colour) {
    const QPointF centre(Width / 2.0, 150);
    DrawRays(p, centre, QColor(colour.red(), colour.green(), colour.blue(), 40), 18);
    p.setPen(QPen(colour.darker(160), 1.0));
    // Two branches from below the piece up round its sides.
    for (int side = -1; side <= 1; side += 2) {
        QPainterPath stem;
        for (int deg = 262; deg >= 118; deg -= 4) {
            const double a = deg * M_PI / 180;
            const QPointF at(centre.x() + side * 92 * std::cos(a), centre.y() - 92 * std::sin(a));
            if (deg == 262)
                stem.moveTo(at);
            else
                stem.lineTo(at);
        }
        p.save();
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(colour.darker(140), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(stem);
        p.restore();
        const int leaves = 10;
        for (int i = 0; i < leaves; ++i) {
            const double t = static_cast<double>(i) / (leaves - 1);
            const double a = (262 - t * 140) * M_PI / 180;
            const double r = 92;
            const QPointF at(centre.x() + side * r * std::cos(a), centre.y() - r * std::sin(a));
            // Direction of the branch, upwards along the circle.
            const double along = std::atan2(std::cos(a), side * std::sin(a)) * 180 / M_PI;
            const double size = 24 - t * 8;
            QLinearGradient g(at, at + QPointF(size * 0.5, -size * 0.5));
            g.setColorAt(0, colour.lighter(135));
            g.setColorAt(1, colour.darker(135));
            p.setBrush(g);
            p.drawPath(Leaf(at, size, along - side * 38));
            p.drawPath(Leaf(at, size * 0.85, along + side * 34));
        }
    }
}

void DrawStars(QPainter& p, const QColor& colour) {
    Sequence s(7);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 26; ++i) {
        const QPointF at(14 + s.Next() * (Width - 28), 14 + s.Next() * (Height - 28));
        const double size = 3 + s.Next() * 7;
        QColor c = colour;
        c.setAlpha(90 + static_cast<int>(s.Next() * 140));
        p.setBrush(c);
        p.drawPath(Star(at, size, size * 0.45, 5));
    }
    for (int i = 0; i < 40; ++i) {
        QColor c = colour.lighter(120);
        c.setAlpha(120);
        p.setBrush(c);
        p.drawEllipse(QPointF(10 + s.Next() * (Width - 20), 10 + s.Next() * (Height - 20)), 1.2, 1.2);
    }
}

void DrawLeaves(QPainter& p, const QColor& colour) {
    Sequence s(11);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 34; ++i) {
        const QPointF at(s.Next() * Width, s.Next() * Height);
        QColor c = colour;
        c.setHsv((c.hue() + static_cast<int>(s.Next() * 40) - 20 + 360) % 360, c.saturation(), c.value(),
                 70 + static_cast<int>(s.Next() * 100));
        p.setBrush(c);
        p.drawPath(Leaf(at, 14 + s.Next() * 16, s.Next() * 360));
    }
}

void DrawFlames(QPainter& p, const QColor& colour) {
    Sequence s(3);
    DrawRays(p, QPointF(Width / 2.0, 160), QColor(255, 200, 120, 28), 14);
    p.setPen(Qt::NoPen);
    for (int layer = 0; layer < 3; ++layer) {
        for (int i = 0; i < 9; ++i) {
            const double x = -10 + i * 32 + s.Next() * 14 + layer * 9;
            const double h = 90 + s.Next() * 90 - layer * 24;
            const double w = 26 + s.Next() * 14;
            QPainterPath f;
            f.moveTo(x - w / 2, Height);
            f.cubicTo(x - w / 2, Height - h * 0.5, x - w * 0.1, Height - h * 0.7, x + w * 0.15, Height - h);
            f.cubicTo(x + w * 0.2, Height - h * 0.65, x + w / 2, Height - h * 0.45, x + w / 2, Height);
            f.closeSubpath();
            QLinearGradient g(0, Height, 0, Height - h);
            QColor base = layer == 0 ? colour.darker(120) : layer == 1 ? colour : QColor(255, 196, 64);
            base.setAlpha(170);
            g.setColorAt(0, base);
            g.setColorAt(1, QColor(base.red(), base.green(), base.blue(), 0));
            p.setBrush(g);
            p.drawPath(f);
        }
    }
}

void DrawBricks(QPainter& p, const QColor& colour) {
    p.setBrush(Qt::NoBrush);
    QColor mortar = colour;
    mortar.setAlpha(80);
    p.setPen(QPen(mortar, 1.5));
    const double h = 18, w = 40;
    for (int row = 0; row * h < Height; ++row) {
        const double y = row * h;
        p.drawLine(QPointF(0, y), QPointF(Width, y));
        for (double x = (row % 2) * w / 2; x < Width; x += w) p.drawLine(QPointF(x, y), QPointF(x, y + h));
    }
    // A plan's fine grid over it.
    QColor grid = colour.lighter(140);
    grid.setAlpha(40);
    p.setPen(QPen(grid, 0.8, Qt::DashLine));
    for (int i = 1; i < 8; ++i) {
        p.drawLine(QPointF(Width * i / 8.0, 0), QPointF(Width * i / 8.0, Height));
        p.drawLine(QPointF(0, Height * i / 8.0), QPointF(Width, Height * i / 8.0));
    }
}

void DrawGems(QPainter& p, const QColor& colour) {
    Sequence s(5);
    const QRectF piece(50, 50, Width - 100, 175);
    for (int i = 0; i < 40; ++i) {
        const QPointF at(20 + s.Next() * (Width - 40), 20 + s.Next() * (Height - 40));
        const double r = 5 + s.Next() * 7;
        if (piece.contains(at)) continue;
        if (i % 3 == 0) {
            // A coin.
            QRadialGradient g(at - QPointF(r / 3, r / 3), r * 1.4);
            g.setColorAt(0, QColor(255, 236, 150, 200));
            g.setColorAt(1, QColor(170, 120, 30, 200));
            p.setPen(QPen(QColor(120, 80, 20, 200), 1));
            p.setBrush(g);
            p.drawEllipse(at, r, r * 0.92);
            continue;
        }
        QColor c = colour;
        c.setHsv((c.hue() + i * 47) % 360, 170, 230, 190);
        QPainterPath gem;
        gem.moveTo(at + QPointF(0, -r));
        gem.lineTo(at + QPointF(r * 0.8, -r * 0.25));
        gem.lineTo(at + QPointF(0, r));
        gem.lineTo(at + QPointF(-r * 0.8, -r * 0.25));
        gem.closeSubpath();
        QLinearGradient g(at + QPointF(-r, -r), at + QPointF(r, r));
        g.setColorAt(0, c.lighter(150));
        g.setColorAt(1, c.darker(160));
        p.setPen(QPen(c.darker(200), 0.8));
        p.setBrush(g);
        p.drawPath(gem);
        p.setPen(QPen(QColor(255, 255, 255, 150), 0.8));
        p.drawLine(at + QPointF(-r * 0.8, -r * 0.25), at + QPointF(r * 0.8, -r * 0.25));
    }
}

// ------------------------------------------------------------ pictures

void DrawBackground(QPainter& p, const Palette& c) {
    QRadialGradient bg(Width / 2.0, Height * 0.45, Height * 0.7);
    bg.setColorAt(0, c.inner);
    bg.setColorAt(1, c.outer);
    p.fillRect(QRectF(0, 0, Width, Height), bg);
}

void DrawFrame(QPainter& p, const Palette& c) {
    // Darkened edges, then a double line with small diamonds at the corners.
    QRadialGradient vignette(Width / 2.0, Height / 2.0, Height * 0.62);
    vignette.setColorAt(0.7, QColor(0, 0, 0, 0));
    vignette.setColorAt(1, QColor(0, 0, 0, 150));
    p.fillRect(QRectF(0, 0, Width, Height), vignette);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c.frame.darker(250), 6));
    p.drawRoundedRect(QRectF(3, 3, Width - 6, Height - 6), 14, 14);
    p.setPen(QPen(c.frame, 2));
    p.drawRoundedRect(QRectF(8, 8, Width - 16, Height - 16), 11, 11);
    p.setPen(QPen(c.frame.darker(130), 1));
    p.drawRoundedRect(QRectF(12, 12, Width - 24, Height - 24), 8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(c.frame);
    for (const QPointF corner : {QPointF(12, 12), QPointF(Width - 12, 12), QPointF(12, Height - 12),
                                 QPointF(Width - 12, Height - 12)}) {
        QPainterPath d;
        d.moveTo(corner + QPointF(0, -5));
        d.lineTo(corner + QPointF(5, 0));
        d.lineTo(corner + QPointF(0, 5));
        d.lineTo(corner + QPointF(-5, 0));
        d.closeSubpath();
        p.drawPath(d);
    }
}

// A stand under the piece: an oval of light on a strip of board.
void DrawStand(QPainter& p, const Palette& c) {
    const QRectF floor(20, 200, Width - 40, 70);
    QRadialGradient glow(floor.center(), floor.width() / 2);
    QColor light = c.light;
    light.setAlpha(90);
    glow.setColorAt(0, light);
    glow.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(QRectF(floor.left(), 222, floor.width(), 40));
}

QImage Emblem(const Personality& who) {
    QImage img(Width, Height, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    DrawBackground(p, who.palette);
    const QColor m = who.palette.motif;
    switch (who.motif) {
        case Motif::Laurel:
            DrawLaurel(p, m);
            break;
        case Motif::Stars:
            DrawStars(p, m);
            break;
        case Motif::Leaves:
            DrawLeaves(p, m);
            break;
        case Motif::Flames:
            DrawFlames(p, m);
            break;
        case Motif::Bricks:
            DrawBricks(p, m);
            break;
        case Motif::Gems:
            DrawGems(p, m);
            break;
        case Motif::None:
            break;
    }
    DrawStand(p, who.palette);
    DrawPiece(p, who.piece, who.palette);
    DrawFrame(p, who.palette);
    return img;
}

// No picture of its own: a head and shoulders in grey.
QImage Blank() {
    const Palette grey{QColor(150, 154, 160), QColor(70, 74, 80), QColor(), QColor(205, 208, 212),
                       QColor(120, 124, 130), QColor(200, 204, 210)};
    QImage img(Width, Height, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    DrawBackground(p, grey);
    QPainterPath figure;
    figure.addEllipse(QPointF(Width / 2.0, 122), 44, 50);
    QPainterPath shoulders;
    shoulders.moveTo(34, Height - 14);
    shoulders.cubicTo(34, 214, 70, 184, Width / 2.0, 184);
    shoulders.cubicTo(Width - 70, 184, Width - 34, 214, Width - 34, Height - 14);
    shoulders.closeSubpath();
    figure = figure.united(shoulders);
    QLinearGradient g(0, 70, 0, Height);
    g.setColorAt(0, grey.light);
    g.setColorAt(1, grey.dark);
    p.setPen(QPen(grey.dark.darker(140), 2));
    p.setBrush(g);
    p.drawPath(figure);
    DrawFrame(p, grey);
    return img;
}

bool WriteJpeg(const QImage& image, const QString& path) {
    const QByteArray bytes = EncodeJpeg(image, Quality);
    QFile file(path);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

// ------------------------------------------------------------ the set

const std::vector<Personality>& Personalities() {
    static const std::vector<Personality> all = {
        {"Morlaquin",
         "Morlaquin is the default (and hopefully the strongest) personality:\n"
         "every weight in balance, all the time it is given.",
         100, 310, 320, 500, 1000, 100, 100, 100, 100, 0, 100, 1, Piece::King, Motif::Laurel,
         {QColor(40, 64, 140), QColor(8, 12, 40), QColor(226, 186, 84), QColor(248, 220, 130), QColor(150, 100, 24),
          QColor(232, 196, 96)}},
        {"Pip",
         "Pip has just learned how the pieces move.\n"
         "Pip thinks only a moment and overlooks a lot: a friendly first opponent.",
         100, 300, 300, 450, 900, 40, 40, 50, 40, 600, 10, 0, Piece::Pawn, Motif::Stars,
         {QColor(120, 190, 150), QColor(24, 70, 60), QColor(255, 250, 200), QColor(250, 250, 240),
          QColor(150, 160, 150), QColor(210, 235, 200)}},
        {"Rowan",
         "Rowan plays at the club on Sunday afternoons: sound enough, but in a hurry, "
         "and now and then careless.",
         100, 300, 300, 500, 950, 80, 80, 80, 80, 150, 35, 0, Piece::Bishop, Motif::Leaves,
         {QColor(200, 130, 60), QColor(60, 26, 10), QColor(230, 120, 40), QColor(250, 230, 200),
          QColor(150, 96, 50), QColor(230, 170, 90)}},
        {"Vesper",
         "Vesper goes for the king. Pawns storm forward, the pieces swarm, and a little "
         "material is a fair price for an attack.",
         90, 330, 330, 480, 980, 90, 220, 80, 170, 0, 90, 0, Piece::Knight, Motif::Flames,
         {QColor(150, 24, 24), QColor(30, 2, 6), QColor(240, 90, 30), QColor(60, 56, 60), QColor(10, 8, 10),
          QColor(230, 120, 60)}},
        {"Castellan",
         "Castellan builds slowly: good squares, a safe king and healthy pawns.\n"
         "Patient in the long games, hard to break down.",
         110, 300, 330, 510, 1000, 170, 120, 140, 70, 0, 90, 0, Piece::Rook, Motif::Bricks,
         {QColor(120, 134, 150), QColor(30, 36, 46), QColor(200, 210, 220), QColor(228, 222, 206),
          QColor(120, 110, 96), QColor(190, 200, 214)}},
        {"Magpie",
         "Magpie collects whatever shines: every pawn is taken, every piece is kept, "
         "and the position has to look after itself.",
         125, 340, 340, 540, 1080, 60, 80, 90, 60, 30, 70, 0, Piece::Queen, Motif::Gems,
         {QColor(84, 50, 130), QColor(12, 8, 28), QColor(80, 170, 200), QColor(70, 72, 84), QColor(10, 10, 16),
          QColor(150, 200, 220)}},
    };
    return all;
}

bool WriteIni(const QString& path) {
    IniDocument ini;
    ini.SetText("; The personalities shipped with Morlaquin, written by tools/make_personalities.\n"
                "; Default=1 marks a built-in personality: it cannot be changed or deleted.\n",
                path);
    int n = 1;
    for (const Personality& who : Personalities()) {
        const QString section = "PERSONALITY" + QString::number(n++);
        ini.WriteString(section, "Name", who.name);
        ini.WriteString(section, "Description", EscapeLines(who.description));
        const int values[11] = {who.pawn,     who.knight,     who.bishop,     who.rook,
                                who.queen,    who.positional, who.kingSafety, who.passed,
                                who.mobility, who.blunder,    who.speed};
        for (int i = 0; i < 11; ++i) ini.WriteInteger(section, PersonalityValueKeys[i], values[i]);
        if (who.isDefault) ini.WriteInteger(section, "Default", who.isDefault);
    }
    if (!ini.Commit()) {
        std::fprintf(stderr, "%s\n", qPrintable(ini.ErrorString()));
        return false;
    }
    return true;
}

bool WritePicture(const QImage& image, const QString& path) {
    if (!WriteJpeg(image, path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    const QImage back = ReadJpegFile(path);
    if (back.size() != image.size()) {
        std::fprintf(stderr, "%s does not read back\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DATA_DIR\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString data = QString::fromLocal8Bit(argv[1]);
    const QString pictures = data + "/images/personalities";
    if (!QDir().mkpath(pictures)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(pictures));
        return 1;
    }
    bool ok = WriteIni(data + "/MLPersonalities.ini");
    for (const Personality& who : Personalities())
        ok = WritePicture(Emblem(who), pictures + "/" + who.name + ".jpg") && ok;
    ok = WritePicture(Blank(), pictures + "/blank.jpg") && ok;
    std::printf("%zu personalities written to %s\n", Personalities().size(), qPrintable(data));
    return ok ? 0 : 1;
}
