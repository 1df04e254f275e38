// The Board menu's piece sets and colours: what each set draws and which
// colours it brings, and the two colour items with their shared dialog.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QTableWidget>
#include <QtTest>

#include <vector>

#include "BoardView.h"
#include "gui_fixture.h"

namespace {

// Counts the board's redraws.
class CountingWindow : public TestWindow {
public:
    int draws = 0;
    void DrawBoard() override {
        ++draws;
        TestWindow::DrawBoard();
    }
};

QColor Bgr(int value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

// The image holds a pixel of exactly this colour.
bool HoldsColour(const QImage& image, const QColor& colour) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            if (rgb.pixelColor(x, y) == colour) return true;
    return false;
}

}  // namespace

class BoardMenuTest : public QObject, public WindowFixture<CountingWindow> {
    Q_OBJECT

    // The controls that show the text colour, with the palette role each uses.
    std::vector<std::pair<QWidget*, QPalette::ColorRole>> TextControls() const {
        std::vector<std::pair<QWidget*, QPalette::ColorRole>> controls;
        for (QLabel* l : {w->lblStatus, w->Label5, w->Label1, w->lblScore, w->Label2, w->lblBestMove, w->Label3,
                          w->lblCurrentMove, w->Label4, w->lblDepth, w->Label14, w->label22, w->lblLastMove,
                          w->label20, w->lblLastScore, w->label21, w->lblLastDepth, w->label12, w->lblLastNodes,
                          w->Label7, w->lblLastTime, w->Label9, w->lblLastNS, w->lblPV})
            controls.push_back({l, QPalette::WindowText});
        controls.push_back({w->strMoves, QPalette::Text});
        return controls;
    }

    std::vector<std::pair<QWidget*, QPalette::ColorRole>> BackgroundControls() const {
        return {{w->Panel1, QPalette::Window},      {w->Panel2, QPalette::Window},
                {w->pnlThink, QPalette::Window},    {w->pnlLastMove, QPalette::Window},
                {w->strMoves, QPalette::Base},      {w->Panel9, QPalette::Window},
                {w->Panel3, QPalette::Window},      {w.get(), QPalette::Window}};
    }

    // Every control of the list shows the colour.
    static bool AllShow(const std::vector<std::pair<QWidget*, QPalette::ColorRole>>& controls, int colour) {
        for (const auto& [widget, role] : controls)
            if (widget->palette().color(role) != Bgr(colour)) {
                qWarning() << widget->objectName() << widget->palette().color(role);
                return false;
            }
        return true;
    }

    QAction* Item(int row) const {
        QAction* const items[] = {w->DefaultPieces, w->StonePieces,  w->NewsPieces,
                                  w->ChallengerPieces, w->ModernPieces, w->Modern2Pieces};
        return items[row];
    }

private slots:
    void init() {
        BeginWindowTest();
        QVERIFY(ShowWindow());
    }

    void cleanup() { CloseWindow(); }

    void eachSetDrawsItselfWithItsColours_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<int>("colour");
        QTest::newRow("Wood") << 0 << "wood" << 0x036281;
        QTest::newRow("Marble") << 1 << "marble" << 0xA46F00;
        QTest::newRow("News") << 2 << "news" << 0x808000;
        QTest::newRow("Challenger") << 3 << "challenger" << 0xA46F00;
        QTest::newRow("Modern") << 4 << "modern" << 0xC0C0C0;
        QTest::newRow("Modern2") << 5 << "modern2" << 0xA46F00;
    }

    void eachSetDrawsItselfWithItsColours() {
        QFETCH(int, row);
        QFETCH(QString, dir);
        QFETCH(int, colour);
        // From another set with colours of the person's own.
        Item((row + 1) % 6)->trigger();
        w->SetTextColour(0x00FF00);
        w->SetBackgroundColour(0x4080C0);
        const QImage board = w->pntBoard->grab().toImage();
        const QImage window = w->grab().toImage();

        Item(row)->trigger();
        for (int i = 0; i < 6; ++i) QCOMPARE(Item(i)->isChecked(), i == row);
        QCOMPARE(QString::fromStdString(w->PieceSetDir), QString::fromStdString(w->AppDir) + "/images/" + dir + "/");
        QCOMPARE(w->TextColour(), colour);
        QVERIFY(AllShow(TextControls(), colour));
        QCOMPARE(w->BackgroundColour(), 0);
        QVERIFY(AllShow(BackgroundControls(), 0));
        QVERIFY(w->pntBoard->grab().toImage() != board);
        QVERIFY(w->grab().toImage() != window);
        QVERIFY(HoldsColour(w->BoardBitmap, Bgr(colour)));  // the coordinates

        // Chosen again: read again, and the colours are the set's again.
        w->SetTextColour(0x00FF00);
        w->SetBackgroundColour(0x4080C0);
        const int draws = w->draws;
        Item(row)->trigger();
        QVERIFY(Item(row)->isChecked());
        QCOMPARE(w->TextColour(), colour);
        QCOMPARE(w->BackgroundColour(), 0);
        QVERIFY(w->draws > draws);
    }

    // One dialog for both items, opening on the colour chosen last; the text
    // colour redraws the coordinates at once, the background redraws nothing.
    void theColourItems() {
        const QImage before = w->BoardBitmap;
        boxes.colours = {QColor(0, 255, 0), std::nullopt, QColor(0x40, 0x80, 0xC0), std::nullopt};
        w->TextColor1->trigger();
        QCOMPARE(w->TextColour(), 0x00FF00);
        QVERIFY(AllShow(TextControls(), 0x00FF00));
        QVERIFY(!HoldsColour(before, QColor(0, 255, 0)));
        QVERIFY(HoldsColour(w->BoardBitmap, QColor(0, 255, 0)));

        // Cancel changes nothing.
        w->TextColor1->trigger();
        QCOMPARE(w->TextColour(), 0x00FF00);

        const int draws = w->draws;
        const QImage board = w->ComposeBitmap;
        w->BackgroundColour1->trigger();
        QCOMPARE(w->BackgroundColour(), 0xC08040);
        QVERIFY(AllShow(BackgroundControls(), 0xC08040));
        QCOMPARE(w->draws, draws);
        QCOMPARE(w->ComposeBitmap, board);
        QCOMPARE(w->TextColour(), 0x00FF00);
        w->BackgroundColour1->trigger();
        QCOMPARE(w->BackgroundColour(), 0xC08040);

        QCOMPARE(boxes.colourDialogsOpenedOn,
                 (std::vector<QColor>{Qt::black, QColor(0, 255, 0), QColor(0, 255, 0), QColor(0x40, 0x80, 0xC0)}));
        // The clocks, the buttons and the menus keep the standard colours.
        const QColor standard = QApplication::palette().color(QPalette::Window);
        for (QWidget* keeps : {w->Panel6, w->Panel4, static_cast<QWidget*>(w->menuBar())})
            QCOMPARE(keeps->palette().color(QPalette::Window), standard);

        // A set chosen afterwards brings its own colours again.
        w->NewsPieces->trigger();
        QCOMPARE(w->TextColour(), 0x808000);
        QCOMPARE(w->BackgroundColour(), 0);
    }

    // A set with a file missing is said; the set in use stays checked, with
    // its colours, also when the settings name the broken one.
    void aSetThatCannotBeReadChangesNothing() {
        CloseWindow();
        ResetWindowTest();
        WorkingDirectory here;
        QVERIFY(QDir().mkpath(here.path() + "/images/marble"));
        QVERIFY(here.LinkShipped("images/wood"));
        WriteWholeFile(here.path() + "/Morlaquin.ini", "[Settings]\nBoard=2\n");
        MakeWindow();
        w->FormShow();
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].caption, QString("Error"));
        QVERIFY(w->DefaultPieces->isChecked() && !w->StonePieces->isChecked());
        QCOMPARE(QString::fromStdString(w->PieceSetDir), here.path() + "/images/wood/");

        w->SetTextColour(0x00FF00);
        w->StonePieces->trigger();
        QCOMPARE(boxes.shown.size(), std::size_t{2});
        QVERIFY(boxes.shown[1].text.contains("marble"));
        QVERIFY(w->DefaultPieces->isChecked() && !w->StonePieces->isChecked());
        QCOMPARE(QString::fromStdString(w->PieceSetDir), here.path() + "/images/wood/");
        QCOMPARE(w->TextColour(), 0x00FF00);
        QCOMPARE(w->BackgroundColour(), 0);
    }
};

QTEST_MAIN(BoardMenuTest)
#include "test_boardmenu.moc"
