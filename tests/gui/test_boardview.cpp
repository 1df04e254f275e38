// The board view: the square under the mouse is the square drawn there at
// any size and in both orientations, drag and drop with real mouse events,
// the composed picture, and piece sets that cannot be read.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <memory>

#include "BoardView.h"
#include "gui_fixture.h"
#include "guiglobals.h"
#include "rootsearch.h"

namespace {

// Every file of a piece set copied to a new directory.
bool CopySet(const QString& set, const QString& to) {
    const QDir from(ShippedData() + "/images/" + set);
    for (const QString& name : from.entryList(QDir::Files))
        if (!QFile::copy(from.filePath(name), to + "/" + name)) return false;
    return true;
}

bool NearKeyColour(QRgb c) {
    return std::abs(qRed(c) - 255) < 60 && std::abs(qGreen(c) - 51) < 60 && std::abs(qBlue(c) - 153) < 60;
}

}  // namespace

class BoardViewTest : public QObject, public WindowFixture<> {
    Q_OBJECT

    // The board laid out at s x s pixels, also below the smallest window's board.
    void LayOut(int s) {
        w->Panel1->setMinimumSize(0, 0);
        w->Panel1->resize(s, s);
        w->LayoutBoard();
        QCOMPARE(w->pntBoard->size(), QSize(s, s));
    }

    double Side() const { return w->BoardBitmap.width() * 2.0 / 17.0; }

private slots:
    void init() {
        BeginWindowTest();
        QVERIFY(ShowWindow());
    }

    void cleanup() { CloseWindow(); }

    void everyDrawnSquareIsTheSquareUnderTheMouse_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("whiteAtBottom");
        for (int s : {80, 217, 300, 425, 511, 640, 997})
            for (bool bottom : {true, false})
                QTest::addRow("%d %s", s, bottom ? "white at bottom" : "turned") << s << bottom;
    }

    void everyDrawnSquareIsTheSquareUnderTheMouse() {
        QFETCH(int, size);
        QFETCH(bool, whiteAtBottom);
        if (w->WhiteAtBottom != whiteAtBottom) w->Swapsides1Click();
        LayOut(size);
        const double q = Side();
        const int origin = size / 25;
        for (int sq = 0; sq < 64; ++sq) {
            const int col = whiteAtBottom ? sq % 8 : 7 - sq % 8;
            const int row = whiteAtBottom ? 7 - sq / 8 : sq / 8;
            // The square's middle, from the board picture's own layout.
            const int mx = static_cast<int>(origin + q * (col + 0.5));
            const int my = static_cast<int>(origin + q * (row + 0.5));
            QCOMPARE(w->SquareAtPoint(mx, my), sq);
            // Its first and last pixels as drawn, and the pixels before it.
            const QPoint p = w->SquarePlace(sq);
            const int last = static_cast<int>(q) - 1;
            QCOMPARE(w->SquareAtPoint(p.x(), p.y()), sq);
            QCOMPARE(w->SquareAtPoint(p.x() + last, p.y() + last), sq);
            QVERIFY(w->SquareAtPoint(p.x() - 1, p.y()) != sq);
            QVERIFY(w->SquareAtPoint(p.x(), p.y() - 1) != sq);
            // A piece image lies wholly inside its square.
            QVERIFY(size / 10 <= last + 1);
        }
        // a1 at the bottom left, or at the top right when turned.
        const int bottomLeft = w->SquareAtPoint(static_cast<int>(origin + q / 2), static_cast<int>(origin + q * 7.5));
        const int topRight = w->SquareAtPoint(static_cast<int>(origin + q * 7.5), static_cast<int>(origin + q / 2));
        QCOMPARE(bottomLeft, whiteAtBottom ? A1 : H8);
        QCOMPARE(topRight, whiteAtBottom ? H8 : A1);
        // The frame is no square.
        const int mid = size / 2;
        QCOMPARE(w->SquareAtPoint(origin - 1, mid), -1);
        QCOMPARE(w->SquareAtPoint(mid, origin - 1), -1);
        QCOMPARE(w->SquareAtPoint(static_cast<int>(origin + 8 * q) + 1, mid), -1);
        QCOMPARE(w->SquareAtPoint(mid, static_cast<int>(origin + 8 * q) + 1), -1);
        QCOMPARE(w->SquareAtPoint(size - 1, size - 1), -1);
    }

    void squareSidesFollowThePanel() {
        // A tall panel centres the board vertically, a wide one horizontally.
        w->Panel1->setMinimumSize(0, 0);
        w->Panel1->resize(300, 500);
        w->LayoutBoard();
        QCOMPARE(w->pntBoard->geometry(), QRect(0, 100, 300, 300));
        w->Panel1->resize(520, 300);
        w->LayoutBoard();
        QCOMPARE(w->pntBoard->geometry(), QRect(110, 0, 300, 300));
        QCOMPARE(w->PieceBitmaps[0].size(), QSize(30, 30));
        QCOMPARE(w->ComposeBitmap.size(), QSize(300, 300));
    }

    void aDragPlaysTheMoveItsSquaresName_data() {
        QTest::addColumn<bool>("whiteAtBottom");
        QTest::newRow("white at bottom") << true;
        QTest::newRow("turned") << false;
    }

    void aDragPlaysTheMoveItsSquaresName() {
        QFETCH(bool, whiteAtBottom);
        if (w->WhiteAtBottom != whiteAtBottom) w->Swapsides1Click();
        const QPoint start = w->SquareCentre(E2);
        QTest::mousePress(w->pntBoard, Qt::LeftButton, Qt::NoModifier, start);
        QVERIFY(w->Dragging);
        QCOMPARE(w->DragPiece, 0);  // the white pawn travels with the pointer
        QCOMPARE(w->DisplayBoard[E2], -1);
        const int dragX = w->DragX;
        const QPoint target = w->SquareCentre(E4) + QPoint(3, -2);
        QTest::mouseMove(w->pntBoard, target);
        QCOMPARE(w->DragX - dragX, target.x() - start.x());
        QTest::mouseRelease(w->pntBoard, Qt::LeftButton, Qt::NoModifier, target);

        QCOMPARE(w->played, (std::vector<PlayCall>{{E2, E4, 0}}));
        QVERIFY(!w->Dragging);
        QVERIFY(!HumanToMove);  // the computer replies next
        QCOMPARE(w->DisplayBoard[E4], 0);
        QCOMPARE(w->DisplayBoard[E2], -1);
        QCOMPARE(w->lblStatus->text(), QString("Black to move"));
    }

    void aDropThatIsNoMovePutsThePieceBack_data() {
        QTest::addColumn<int>("target");  // -1: the frame right of the squares
        QTest::newRow("illegal square") << int(E5);
        QTest::newRow("own square") << int(E2);
        QTest::newRow("frame") << -1;
    }

    void aDropThatIsNoMovePutsThePieceBack() {
        QFETCH(int, target);
        const u64 key = GameBoard.Pos.Key;
        const QPoint at = target >= 0 ? w->SquareCentre(target)
                                      : QPoint(w->SquarePlace(H4).x() + static_cast<int>(Side()) + 2,
                                               w->SquareCentre(H4).y());
        w->Drag(E2, at);
        if (target >= 0)
            QCOMPARE(w->played, (std::vector<PlayCall>{{E2, target, 0}}));
        else
            QVERIFY(w->played.empty());
        QCOMPARE(GameBoard.Pos.Key, key);
        QVERIFY(HumanToMove);
        QCOMPARE(w->DisplayBoard[E2], 0);
        QVERIFY(!w->Dragging);
    }

    void aReleasePlaysOnlyTheDragItsPressBegan() {
        // Picked up and put back: nothing played, e2 was the last square pressed.
        w->Drag(E2, w->SquareCentre(E2));
        w->played.clear();
        // A press in the frame starts nothing; its release over e4 plays nothing.
        QTest::mousePress(w->pntBoard, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
        QTest::mouseRelease(w->pntBoard, Qt::LeftButton, Qt::NoModifier, w->SquareCentre(E4));
        // A press on an empty square neither.
        QTest::mousePress(w->pntBoard, Qt::LeftButton, Qt::NoModifier, w->SquareCentre(E3));
        QVERIFY(!w->Dragging);
        QTest::mouseRelease(w->pntBoard, Qt::LeftButton, Qt::NoModifier, w->SquareCentre(E4));
        // A second press ends a drag: the releases after it play nothing.
        QTest::mousePress(w->pntBoard, Qt::LeftButton, Qt::NoModifier, w->SquareCentre(D2));
        QTest::mousePress(w->pntBoard, Qt::RightButton, Qt::NoModifier, w->SquareCentre(D3));
        QVERIFY(!w->Dragging);
        QTest::mouseRelease(w->pntBoard, Qt::RightButton, Qt::NoModifier, w->SquareCentre(D4));
        QTest::mouseRelease(w->pntBoard, Qt::LeftButton, Qt::NoModifier, w->SquareCentre(D4));
        QVERIFY(w->played.empty());
        QCOMPARE(w->DisplayBoard[D2], 0);
        QVERIFY(HumanToMove);
    }

    void aPressWhileTheComputerIsToMoveOnlyClearsTheMarker() {
        HumanToMove = false;
        LastMoveHighlight = true;
        w->Drag(E2, w->SquareCentre(E4));
        QVERIFY(!LastMoveHighlight);
        QVERIFY(w->played.empty());
        QVERIFY(!w->Dragging);
        QCOMPARE(w->DisplayBoard[E2], 0);
    }

    void theComposedBoardShowsPiecesWithoutKeyColour() {
        LayOut(425);
        w->LastMoveFrom = E2;
        w->LastMoveTo = E4;
        LastMoveHighlight = true;
        w->DrawBoard();
        const QImage& shown = w->ComposeBitmap;
        const QImage& board = w->BoardBitmap;
        // An empty square shows the board; a piece's figure covers it, while
        // the corner of its image (background) lets the board through.
        const QPoint e5 = w->SquareCentre(E5);
        QCOMPARE(shown.pixel(e5), board.pixel(e5));
        const QPoint d1 = w->SquarePlace(D1);
        const int piece = 425 / 10;
        QVERIFY(shown.pixel(d1 + QPoint(piece * 57 / 100, piece * 6 / 10)) !=
                board.pixel(d1 + QPoint(piece * 57 / 100, piece * 6 / 10)));
        QCOMPARE(shown.pixel(d1 + QPoint(piece - 2, 1)), board.pixel(d1 + QPoint(piece - 2, 1)));
        // The marker sits in its square's top-left corner.
        const QPoint e4 = w->SquarePlace(E4) + QPoint(2, 2);
        QVERIFY(shown.pixel(e4) != board.pixel(e4));
        // No key colour anywhere, not even blended into an edge.
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (NearKeyColour(shown.pixel(x, y))) QFAIL(qPrintable(QString("key colour at %1,%2").arg(x).arg(y)));
    }

    void theCoordinatesAreDrawnOnTheBoardPicture() {
        LayOut(425);
        const QImage with = w->BoardBitmap;
        w->CoordinatesClick();
        QVERIFY(!w->Coordinates->isChecked());
        const QImage without = w->BoardBitmap;
        QVERIFY(with != without);
        // The rank label "8" sits in the left frame beside the top row.
        const QRect label(0, static_cast<int>(0.6 * 425 * 2 / 17), 425 / 25, 425 / 25);
        bool differs = false;
        for (int y = label.top(); y <= label.bottom(); ++y)
            for (int x = label.left(); x <= label.right(); ++x) differs |= with.pixel(x, y) != without.pixel(x, y);
        QVERIFY(differs);
        w->CoordinatesClick();
        QCOMPARE(w->BoardBitmap, with);
    }

    void aSetThatCannotBeReadLeavesTheSetInUse_data() {
        QTest::addColumn<QString>("file");     // the file spoiled, empty: the directory is missing
        QTest::addColumn<bool>("unreadable");  // garbage instead of missing
        QTest::newRow("missing piece") << "bqueen.bmp" << false;
        QTest::newRow("missing board") << "board.bmp" << false;
        QTest::newRow("unreadable marker") << "moved.bmp" << true;
        QTest::newRow("no directory") << "" << false;
    }

    void aSetThatCannotBeReadLeavesTheSetInUse() {
        QFETCH(QString, file);
        QFETCH(bool, unreadable);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString setDir = dir.path() + "/set";
        if (!file.isEmpty()) {
            QVERIFY(QDir().mkdir(setDir));
            QVERIFY(CopySet("marble", setDir));
            QVERIFY(QFile::remove(setDir + "/" + file));
            if (unreadable) {
                QFile junk(setDir + "/" + file);
                QVERIFY(junk.open(QIODevice::WriteOnly));
                junk.write("not a picture");
            }
        }
        const std::string inUse = w->PieceSetDir;
        const QImage board = w->BoardBitmap2;
        const QImage queen = w->PieceBitmaps[12 + 10];

        w->PieceSetDir = (setDir + "/").toStdString();
        QVERIFY(!w->LoadImages());
        QCOMPARE(boxes.shown.size(), size_t(1));
        const QString named = file.isEmpty() ? setDir + "/board.bmp" : setDir + "/" + file;
        QVERIFY2(boxes.shown[0].text.contains(named), qPrintable(boxes.shown[0].text));
        QCOMPARE(w->PieceSetDir, inUse);
        QCOMPARE(w->BoardBitmap2, board);
        QCOMPARE(w->PieceBitmaps[12 + 10], queen);
        // The board is still laid out and drawn, and a drag still works.
        QVERIFY(!w->ComposeBitmap.isNull());
        w->Drag(E2, w->SquareCentre(E4));
        QCOMPARE(w->played, (std::vector<PlayCall>{{E2, E4, 0}}));
        // A later relayout does not ask again.
        w->Swapsides1Click();
        QCOMPARE(boxes.shown.size(), size_t(1));
    }

    void aWholeReadableSetReplacesTheOld() {
        w->PieceSetDir = (ShippedData() + "/images/news/").toStdString();
        QVERIFY(w->LoadImages());
        QVERIFY(boxes.shown.empty());
        const QImage news(ShippedData() + "/images/news/board.bmp");
        QCOMPARE(w->BoardBitmap2, news.convertToFormat(QImage::Format_RGB32));
    }

    void aBoardOfSizeZeroDrawsNothing() {
        LayOut(0);
        QVERIFY(w->ComposeBitmap.isNull());
        w->DrawBoard();
        w->repaint();
        QCOMPARE(w->SquareAtPoint(0, 0), -1);
        w->pntBoardMouseDown(0, 0);
        w->pntBoardMouseUp(0, 0);
        QVERIFY(w->played.empty());
        // A tiny board: squares but no room for pieces.
        LayOut(9);
        w->DrawBoard();
        QVERIFY(w->PieceBitmaps[0].isNull());
        LayOut(425);
        QVERIFY(!w->PieceBitmaps[0].isNull());
        QCOMPARE(w->SquareAtPoint(w->SquareCentre(E2).x(), w->SquareCentre(E2).y()), int(E2));
    }
};

QTEST_MAIN(BoardViewTest)
#include "test_boardview.moc"
