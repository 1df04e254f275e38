// The board view: the piece-set images, the board's layout in its panel, the
// composed board image, and drag and drop with the mouse.
#include "BoardView.h"

#include <QAction>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <string>

#include "BoardLayout.h"
#include "PieceSetFiles.h"
#include "ChessGUI.h"
#include "bitboard.h"
#include "guiglobals.h"
#include "messageboxes.h"
#include "rootsearch.h"

// ------------------------------------------------------------- paint box

boardpaintbox::boardpaintbox(TfrmWinRovik* owner, QWidget* panel) : QWidget(panel), window(owner) {
    setObjectName("pntBoard");
}

void boardpaintbox::paintEvent(QPaintEvent*) {
    QPainter canvas(this);
    window->eventOnPaint(canvas);
}

void boardpaintbox::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    window->pntBoardMouseDown(p.x(), p.y());
}

void boardpaintbox::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    window->pntBoardMouseMove(p.x(), p.y());
}

void boardpaintbox::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    window->pntBoardMouseUp(p.x(), p.y());
    // A left-button release over the box is also a click.
    if (event->button() == Qt::LeftButton && rect().contains(p)) window->pntBoardClick();
}

bool boardpaintbox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize) window->FormResize();
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- images

namespace {

// The image at size x size with its key-colour pixels transparent. The key
// is cleared before scaling, in premultiplied form, so no key colour bleeds
// into the figure's edge.
QImage KeyedScaled(const QImage& source, int size) {
    if (source.isNull() || size <= 0) return QImage();
    QImage img = source.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = BOARD_KEY_RGB;
    for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
    }
    return img.convertToFormat(QImage::Format_ARGB32_Premultiplied)
        .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The column (row) whose drawn square holds pixel v, -1 when none does.
int ColumnAt(int w, int v) {
    for (int i = 0; i < 8; ++i)
        if (SquareEdge(w, i) <= v && v < SquareEdge(w, i + 1)) return i;
    return -1;
}

}  // namespace

std::string PieceSetErrorText(const std::string& file) {
    return "Cannot load the piece set file \"" + file + "\".";
}

bool TfrmWinRovik::LoadPieceSet(const std::string& dir, std::string* failedFile) {
    auto load = [&](const std::string& name, QImage* out) {
        const std::string path = dir + name;
        QImage img;
        if (!img.load(QString::fromStdString(path)) || img.isNull()) {
            if (failedFile) *failedFile = path;
            return false;
        }
        *out = img.convertToFormat(QImage::Format_RGB32);
        return true;
    };
    QImage board;
    QImage moved;
    QImage pieces[12];
    if (!load(BoardBitmapName, &board) || !load(MovedBitmapName, &moved)) return false;
    for (int i = 0; i < 12; ++i)
        if (!load(PieceBitmapNames[i], &pieces[i])) return false;

    // Everything is read: only now does the set change.
    BoardBitmap2 = board;
    BoardBitmap = board;
    ComposeBitmap = QImage(board.size(), QImage::Format_RGB32);
    MovedGraphic = moved;
    MovedBitmap = KeyedScaled(moved, moved.width());
    for (int i = 0; i < 12; ++i) {
        PieceBitmaps[i + 12] = pieces[i];
        PieceBitmaps[i] = KeyedScaled(pieces[i], pieces[i].width());
    }
    LoadedSetDir = dir;
    return true;
}

bool TfrmWinRovik::LoadImages() {
    std::string failed;
    const bool loaded = LoadPieceSet(PieceSetDir, &failed);
    if (!loaded) {
        // The set in use stays, and so does its directory.
        if (!ProtocolMode) ShowMessageBox(this, QString::fromStdString(PieceSetErrorText(failed)), "Error");
        PieceSetDir = LoadedSetDir;
    }
    LayoutBoard();
    return loaded;
}

void TfrmWinRovik::LayoutBoard() {
    const int pw = Panel1->width();
    const int ph = Panel1->height();
    const int s = std::max(0, std::min(pw, ph));
    if (pw > ph)
        pntBoard->setGeometry((pw - s) / 2, 0, s, s);
    else
        pntBoard->setGeometry(0, (ph - s) / 2, s, s);

    const int piece = PieceImageSide(s);
    if (s == 0 || BoardBitmap2.isNull()) {
        // Nothing to draw on: a minimised or hidden window, or no set loaded.
        BoardBitmap = ComposeBitmap = MovedBitmap = QImage();
        for (int i = 0; i < 12; ++i) PieceBitmaps[i] = QImage();
        DrawBoard();
        return;
    }

    ComposeBitmap = QImage(s, s, QImage::Format_RGB32);
    BoardBitmap = BoardBitmap2.scaled(s, s, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_RGB32);
    for (int i = 0; i < 12; ++i) PieceBitmaps[i] = KeyedScaled(PieceBitmaps[i + 12], piece);
    MovedBitmap = KeyedScaled(MovedGraphic, piece);

    if (Coordinates->isChecked()) {
        const int w = BoardBitmap.width();
        const int h = BoardBitmap.height();
        const QFont font = CoordinateFont(lblStatus->font(), h);
        const int ascent = QFontMetrics(font).ascent();

        QPainter p(&BoardBitmap);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(font);
        p.setPen(lblStatus->palette().color(lblStatus->foregroundRole()));
        const bool swapped = Swapsides1->isChecked();
        for (int i = 0; i < 8; ++i) {
            const QString rank = QString::number(swapped ? i + 1 : 8 - i);
            const QString file = QString(QChar("ABCDEFGH"[swapped ? 7 - i : i]));
            p.drawText(RankLabelLeft(w), RankLabelTop(h, i) + ascent, rank);
            p.drawText(FileLabelLeft(w, i), FileLabelTop(h) + ascent, file);
        }
    }
    DrawBoard();
}

// ------------------------------------------------------------- geometry

QPoint TfrmWinRovik::SquarePlace(int square) const {
    const int file = square % 8;
    const int rank = square / 8;
    const int col = WhiteAtBottom ? file : 7 - file;
    const int row = WhiteAtBottom ? 7 - rank : rank;
    return QPoint(SquareEdge(BoardBitmap.width(), col), SquareEdge(BoardBitmap.height(), row));
}

int TfrmWinRovik::SquareAtPoint(int x, int y) const {
    if (BoardBitmap.isNull()) return -1;
    const int col = ColumnAt(BoardBitmap.width(), x);
    const int row = ColumnAt(BoardBitmap.height(), y);
    if (col < 0 || row < 0) return -1;
    return WhiteAtBottom ? (7 - row) * 8 + col : row * 8 + (7 - col);
}

// -------------------------------------------------------------- drawing

void TfrmWinRovik::DrawPiece(int square, int imageIndex, int colour) {
    if (square < 0 || square > 63 || ComposeBitmap.isNull()) return;
    const QImage* image = &MovedBitmap;
    if (imageIndex >= 0) {
        const int i = imageIndex + 6 * colour;
        if (i < 0 || i > 11) return;
        image = &PieceBitmaps[i];
    }
    if (image->isNull()) return;
    if (Canvas) {
        Canvas->drawImage(SquarePlace(square), *image);
    } else {
        QPainter p(&ComposeBitmap);
        p.drawImage(SquarePlace(square), *image);
    }
}

void TfrmWinRovik::DrawBoard() {
    if (!ComposeBitmap.isNull() && !BoardBitmap.isNull()) {
        QPainter p(&ComposeBitmap);
        Canvas = &p;
        p.drawImage(0, 0, BoardBitmap);
        for (int sq = 0; sq < 64; ++sq)
            if (DisplayBoard[sq] >= 0) DrawPiece(sq, DisplayBoard[sq], 0);
        if (Dragging && DragPiece >= 0 && DragPiece < 12 && !PieceBitmaps[DragPiece].isNull())
            p.drawImage(DragX, DragY, PieceBitmaps[DragPiece]);
        if (LastMoveHighlight) {
            DrawPiece(LastMoveFrom, -1, 0);
            DrawPiece(LastMoveTo, -1, 0);
        }
        Canvas = nullptr;
    }
    pntBoard->update();
    ScrollMoveGridToCurrent();
}

void TfrmWinRovik::eventOnPaint(QPainter& canvas) {
    // The composed image always holds the current picture, also mid-drag.
    if (!ComposeBitmap.isNull()) canvas.drawImage(0, 0, ComposeBitmap);
}

// ---------------------------------------------------------------- mouse

void TfrmWinRovik::pntBoardMouseDown(int x, int y) {
    LastMoveHighlight = false;
    if (Dragging) {  // a second press ends the drag
        Dragging = false;
        return;
    }
    if (!HumanToMove) return;
    const int square = SquareAtPoint(x, y);
    if (square < 0) return;
    LastMouseX = x;
    LastMouseY = y;
    DragFrom = square;
    DragPiece = DisplayBoard[square];

    // The image's top-left corner about 5/7 of a square left of and above
    // the pointer, shifted by the board's origin.
    const int w = BoardBitmap.width();
    const int h = BoardBitmap.height();
    const int a = static_cast<int>(SquareSide(w));
    const int col = WhiteAtBottom ? square % 8 : 7 - square % 8;
    const int row = WhiteAtBottom ? 7 - square / 8 : square / 8;
    const int d = col * a;
    DragX = static_cast<int>(x - d - a * 5.0 / 7.0) + d + BoardOrigin(w);
    DragY = static_cast<int>(y - a * row - a * 5.0 / 7.0) + a * row + BoardOrigin(h);

    if (DragPiece >= 0) {
        DisplayBoard[square] = -1;  // it travels with the pointer now
        Dragging = true;
    }
    DrawBoard();
}

void TfrmWinRovik::pntBoardMouseMove(int x, int y) {
    if (!HumanToMove || !Dragging) return;
    DragX += x - LastMouseX;
    DragY += y - LastMouseY;
    LastMouseX = x;
    LastMouseY = y;
    DrawBoard();
}

void TfrmWinRovik::pntBoardMouseUp(int x, int y) {
    if (!HumanToMove) return;
    // Only the end of a drag that a press began plays a move.
    const bool dragged = Dragging;
    Dragging = false;
    int r = PLAY_ILLEGAL;
    if (dragged) {
        const int target = SquareAtPoint(x, y);
        if (target >= 0) {
            r = PlayFromTo(DragFrom, target, 0);
            if (r == PLAY_MOVED && !HumanVsHuman) HumanToMove = false;
        }
    }
    BuildDisplayBoard();
    Dragging = false;
    // A game's end shows itself (the play-move routine wrote it); no move
    // leaves the status as it was.
    if (r == PLAY_MOVED) lblStatus->setText(SideToMoveText(GameBoard.Pos));
    DrawBoard();
}

void TfrmWinRovik::pntBoardClick() { Dragging = false; }

// ------------------------------------------------------------ handlers

void TfrmWinRovik::FormResize() { LayoutBoard(); }

void TfrmWinRovik::Swapsides1Click() {
    Toggled(Swapsides1);
    WhiteAtBottom = !WhiteAtBottom;
    LoadImages();
    DrawBoard();
}

void TfrmWinRovik::CoordinatesClick() {
    Toggled(Coordinates);
    LoadImages();
    DrawBoard();
}
