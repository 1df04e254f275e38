// A test render: loads a set's files back and composes a board from them with
// the program's geometry (pieces a tenth of the board at their squares'
// top-left corners, the marker over them, the coordinates in the set's colour).
#include "media.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <cstdio>

namespace media {
namespace {

QImage loadKeyed(const QString& path, int size)
{
    QImage img(path);
    if (img.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return QImage();
    }
    img = img.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (isKey(line[x]))
                line[x] = 0;
    }
    return img.convertToFormat(QImage::Format_ARGB32_Premultiplied)
        .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QColor labelColour(const QString& set)
{
    // The set's text colour, as the program's colour integer 0x00BBGGRR.
    unsigned v = 0x808000;
    for (const PieceSetStyle& style : PieceSetStyles)
        if (set == QLatin1String(style.folder)) v = static_cast<unsigned>(style.textColour);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

} // namespace

QImage composePreview(const QString& dataDir, const QString& set, int s, bool whiteAtBottom)
{
    const QString dir = setDirectory(dataDir, set);
    QImage board(dir + QLatin1String(BoardBitmapName));
    if (board.isNull()) {
        std::fprintf(stderr, "cannot read %s%s\n", qPrintable(dir), BoardBitmapName);
        return QImage();
    }
    board = board.convertToFormat(QImage::Format_RGB32).scaled(s, s, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const int w = s, h = s, piece = PieceImageSide(s);

    QImage pieces[12];
    for (int i = 0; i < 12; ++i) {
        pieces[i] = loadKeyed(dir + QLatin1String(PieceBitmapNames[i]), piece);
        if (pieces[i].isNull())
            return QImage();
    }
    const QImage moved = loadKeyed(dir + QLatin1String(MovedBitmapName), piece);
    if (moved.isNull())
        return QImage();

    QPainter p(&board);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Coordinates, where the program puts them.
    const QFont font = CoordinateFont(QFont(QStringLiteral("DejaVu Sans")), h);
    p.setFont(font);
    p.setPen(labelColour(set));
    const int ascent = QFontMetrics(font).ascent();
    for (int i = 0; i < 8; ++i) {
        const QString rank = QString::number(whiteAtBottom ? 8 - i : i + 1);
        const QString file = QString(QChar("ABCDEFGH"[whiteAtBottom ? i : 7 - i]));
        p.drawText(RankLabelLeft(w), RankLabelTop(h, i) + ascent, rank);
        p.drawText(FileLabelLeft(w, i), FileLabelTop(h) + ascent, file);
    }

    // A position from a Spanish opening, after 3.Bb5 (the last move marked).
    static const char* const rows[8] = {"r.bqkb.r", "pppp.ppp", "..n..n..", ".B..p...",
                                        "....P...", ".....N..", "PPPP.PPP", "RNBQK..R"};
    auto place = [&](int square) {
        const int file = square % 8, rank = square / 8;
        const int col = whiteAtBottom ? file : 7 - file, row = whiteAtBottom ? 7 - rank : rank;
        return QPoint(SquareEdge(w, col), SquareEdge(h, row));
    };
    for (int row = 0; row < 8; ++row)
        for (int file = 0; file < 8; ++file) {
            const char c = rows[row][file];
            const char* types = "pnbrqk";
            const char lower = char(c | 0x20);
            const char* at = nullptr;
            for (const char* t = types; *t; ++t)
                if (*t == lower)
                    at = t;
            if (c == '.' || !at)
                continue;
            const int index = int(at - types) + (c == lower ? 6 : 0);
            p.drawImage(place((7 - row) * 8 + file), pieces[index]);
        }
    p.drawImage(place(5), moved);      // f1
    p.drawImage(place(4 * 8 + 1), moved); // b5
    p.end();
    return board;
}

QImage composeSheet(const QString& dataDir)
{
    const int cell = kPieceSize + 8;
    const auto& styles = setStyles();
    QImage sheet(13 * cell + 8, int(styles.size()) * cell + 8, QImage::Format_RGB32);
    sheet.fill(QColor(60, 60, 60));
    QPainter p(&sheet);
    for (size_t s = 0; s < styles.size(); ++s) {
        const QString dir = setDirectory(dataDir, QLatin1String(styles[s].name));
        for (int i = 0; i < 13; ++i) {
            const QImage img(dir + QLatin1String(i < 12 ? PieceBitmapNames[i] : MovedBitmapName));
            if (img.isNull()) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(dir));
                return QImage();
            }
            p.drawImage(8 + i * cell, 8 + int(s) * cell, img);
        }
    }
    p.end();
    return sheet;
}

} // namespace media
