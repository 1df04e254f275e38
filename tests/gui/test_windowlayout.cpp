// The window's layout for its fonts: the move list shows its longest cells
// whole, the side panels their longest texts, nothing overlaps at the
// smallest window, and the move list stays on the current move.
#include <QLabel>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QtTest>

#include "gui_fixture.h"

namespace {

// Width a cell needs for the text: the item view insets it by the focus
// frame's margin and a pixel on either side.
int CellWidthFor(const QTableWidget* grid, const QString& text) {
    const int inset = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    return QFontMetrics(grid->font()).horizontalAdvance(text) + 2 * inset;
}

// The labels of a panel, captions and values.
QList<QLabel*> LabelsOf(const QWidget* panel) { return panel->findChildren<QLabel*>(); }

}  // namespace

class WindowLayoutTest : public QObject, public WindowFixture<> {
    Q_OBJECT

    // The window at its smallest, laid out.
    void Smallest() {
        w->resize(1, 1);
        QCOMPARE(w->size(), w->minimumSize());
        QApplication::processEvents();
    }

    // Every text a label of the panels shows fits its label, and no two
    // labels of a panel overlap.
    void ExpectWholeTexts(std::initializer_list<QWidget*> panels) {
        for (const QWidget* panel : panels) {
            const QList<QLabel*> labels = LabelsOf(panel);
            QVERIFY(!labels.isEmpty());
            for (const QLabel* l : labels) {
                const int needed = l->fontMetrics().horizontalAdvance(l->text());
                QVERIFY2(l->contentsRect().width() >= needed,
                         qPrintable(panel->objectName() + ": \"" + l->text() + "\" is cut"));
                QVERIFY2(panel->rect().contains(l->geometry()), qPrintable(l->text() + " leaves its panel"));
                for (const QLabel* other : labels)
                    QVERIFY2(other == l || !other->geometry().intersects(l->geometry()),
                             qPrintable("\"" + l->text() + "\" overlaps \"" + other->text() + "\""));
            }
        }
    }

private slots:
    void init() {
        BeginWindowTest();
        QVERIFY(ShowWindow());
    }

    void cleanup() { CloseWindow(); }

    void theMoveListHoldsItsLongestCells_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::newRow("move 100, a queen") << 0 << "100. Qxe8+";
        QTest::newRow("move 500, a promotion") << 0 << "500. exd8=Q+";
        QTest::newRow("move 9, a queen named by its square") << 0 << "9.   Qa1xb2+";
        QTest::newRow("black promotion") << 1 << "exd8=Q+";
        QTest::newRow("black queen named by its square") << 1 << "Qh8xa1#";
        QTest::newRow("black castles long") << 1 << "O-O-O+";
    }

    void theMoveListHoldsItsLongestCells() {
        QFETCH(int, column);
        QFETCH(QString, text);
        QVERIFY(w->strMoves->columnWidth(column) >= CellWidthFor(w->strMoves, text));
        // Both columns whole in the list, also at the smallest window.
        Smallest();
        QVERIFY(w->strMoves->viewport()->width() >= w->strMoves->columnWidth(0) + w->strMoves->columnWidth(1));
    }

    void theSmallestWindowShowsEveryTextWhole() {
        w->lblStatus->setText("   Moved: Qa1xb2+");
        w->lblScore->setText("-# in 12");
        w->lblBestMove->setText("exd8=Q+");
        w->lblCurrentMove->setText("Qa1xb2+");
        w->lblDepth->setText("50/128");
        w->lblLastMove->setText("Qa1xb2#");
        w->lblLastScore->setText("-327.66");
        w->lblLastDepth->setText("50");
        w->lblLastNodes->setText("1,234,567,890");
        w->lblLastTime->setText("12:34:56");
        w->lblLastNS->setText("12,345,678");
        w->lblWhiteTime->setText("-00:00:01");
        Smallest();
        QVERIFY(w->minimumSize().width() > 0 && w->minimumSize().height() > 0);
        ExpectWholeTexts({w->Panel6, w->Panel2, w->pnlThink, w->pnlLastMove});
        // The side panels lie one below the other, the board beside them.
        const QWidget* column[] = {w->Panel6, w->Panel2, w->pnlThink, w->pnlLastMove, w->Panel5, w->Panel4};
        for (int i = 0; i + 1 < 6; ++i) QVERIFY(column[i]->geometry().bottom() < column[i + 1]->geometry().top());
        QVERIFY(w->Panel4->geometry().bottom() < w->Panel10->height());
        QVERIFY(!w->Panel1->geometry().intersects(w->Panel10->geometry()));
        QVERIFY(w->strMoves->viewport()->height() >= 4 * w->strMoves->rowHeight(0));
        // A long principal variation is cut, it does not widen the window.
        w->lblPV->setText("PV: " + QString("Qa1xb2+ ").repeated(40));
        QApplication::processEvents();
        QCOMPARE(w->size(), w->minimumSize());
    }

    void theMoveListKeepsTheCurrentMoveInViewAfterAResize() {
        w->resize(900, 900);
        QApplication::processEvents();
        QVERIFY(PlayMoves(*w, ShufflePlies(150)));
        w->DrawBoard();  // as every played move does
        const int row = (w->CurrentPly - 1) / 2;
        auto inView = [this](int r) {
            const QRect cell = w->strMoves->visualRect(w->strMoves->model()->index(r, 0));
            return w->strMoves->viewport()->rect().contains(cell);
        };
        QVERIFY(inView(row));
        Smallest();
        QVERIFY(inView(row));
        // Grown again, it shows the moves before the current one, not the empty rows after it.
        w->resize(700, 800);
        QApplication::processEvents();
        QVERIFY(inView(row));
        QVERIFY(inView(row - 10));
        QVERIFY(!inView(row + 1));
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "test_windowlayout.moc"
