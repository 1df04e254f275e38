// Dialogs and boxes as a window manager frames them: every title whole
// beside a title bar's icon and buttons, and no minimise or maximise button
// on a modal box; the Select Level dialog one size on every page; the game
// list's Date column as wide as the dates in it.
#include <QApplication>
#include <QDate>
#include <QDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QLocale>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include "dialogs/About.h"
#include "dialogs/LEVELS.h"
#include "dialogs/MLOpen.h"
#include "dialogs/PROMOTE.h"
#include "dialogs/Personality.h"
#include "dialogs/saveGame.h"
#include "gui_fixture.h"

namespace {

// The least width a title bar needs for the title: the text in the title
// bar's font, bold, beside the window's icon and three buttons and the
// bar's margins, which take about eight times the text's height (openbox's
// take 100 to 120 pixels beside a text 14 pixels high).
int LeastTitleWidth(const QString& title) {
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QFontMetrics fm(font);
    return fm.horizontalAdvance(title) + 8 * fm.height();
}

// A modal box wide enough for its title, with a title bar that has a close
// button and no minimise or maximise button, and of one size (nothing to
// maximise).
void VerifyFrame(const QWidget* box) {
    const QString title = box->windowTitle();
    QVERIFY2(box->width() >= LeastTitleWidth(title),
             qPrintable(QString("\"%1\": %2 < %3").arg(title).arg(box->width()).arg(LeastTitleWidth(title))));
    const Qt::WindowFlags flags = box->windowFlags();
    QVERIFY2(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)), qPrintable(title));
    QVERIFY2((flags & Qt::WindowTitleHint) && (flags & Qt::WindowCloseButtonHint), qPrintable(title));
    QVERIFY2(box->minimumSize() == box->maximumSize(), qPrintable(title));
}

}  // namespace

class DialogFrameTest : public QObject, public WindowFixture<> {
    Q_OBJECT

private slots:
    void init() { BeginWindowTest(); }

    void cleanup() { CloseWindow(); }

    void everyDialogShowsItsTitleWhole() {
        QDialog* const dialogs[] = {PromoteDialog(w.get()), LevelsDialog(w.get()), PersonalityDialog(w.get()),
                                    new TAboutBox(w.get()), new TfrmSaveGame(w.get())};
        for (QDialog* d : dialogs) {
            d->show();
            VerifyFrame(d);
            d->hide();
        }
    }

    void everyBoxShowsItsTitleWhole_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("buttons");  // -1 an input box
        const int ok = int(BoxButtons::Ok);
        QTest::newRow("result") << "Result" << "Stalemate!" << ok;
        QTest::newRow("illegal move") << "Morlaquin says:" << "Illegal move!" << ok;
        QTest::newRow("invalid value") << "Morlaquin" << "Invalid value!" << ok;
        QTest::newRow("error") << "Error" << "Clipboard Empty!" << ok;
        QTest::newRow("hash") << "Hash" << "8MB Hash initialized!" << ok;
        QTest::newRow("level") << "Select Level" << "Minutes: \"x\" is not a whole number." << ok;
        QTest::newRow("new game") << "New Game" << "Do you want to start a new game?" << int(BoxButtons::YesNo);
        QTest::newRow("delete") << "Confirm" << "Delete current personality?" << int(BoxButtons::OkCancel);
        QTest::newRow("exit") << "Exit" << "Save settings?" << int(BoxButtons::YesNoCancel);
        QTest::newRow("new personality") << "New Personality" << "Name" << -1;
        QTest::newRow("hash size") << "Hash Table" << "Enter Hash Table size (in MB):" << -1;
    }

    void everyBoxShowsItsTitleWhole() {
        QFETCH(QString, caption);
        QFETCH(QString, text);
        QFETCH(int, buttons);
        SetMessageBoxes(nullptr);  // the real boxes
        bool seen = false;
        WhenModal([&](QWidget* box) {
            seen = true;
            QCOMPARE(box->windowTitle(), caption);
            VerifyFrame(box);
            qobject_cast<QDialog*>(box)->done(0);
        });
        if (buttons < 0)
            InputBox(w.get(), caption, text, "");
        else
            AskQuestion(w.get(), text, caption, static_cast<BoxButtons>(buttons));
        QVERIFY(seen);
    }

    // OK and Cancel stay where they are whichever page is shown.
    void theLevelsDialogKeepsOneSizeOnEveryPage() {
        TfrmLevels* d = LevelsDialog(w.get());
        d->show();
        const QSize size = d->size();
        for (const int page : {0, 2, 1, 2, 0, 1}) {
            d->pcontrLevel->setCurrentIndex(page);
            QCoreApplication::processEvents();  // the layout's requests
            QCOMPARE(d->size(), size);
        }
        d->hide();
    }

    // The dates Save Game writes (the system's short format, today's and
    // other months') and PGN's own read whole in the game list.
    void theGameListShowsWholeDates() {
        auto* save = new TfrmSaveGame(w.get());
        save->show();
        QStringList dates = {save->edtDate->text(), "2024.01.01", "????.??.??"};
        save->hide();
        for (int month = 1; month <= 12; ++month)
            dates << QLocale::system().toString(QDate(2024, month, 28), QLocale::ShortFormat);
        QTemporaryDir dir;
        std::string pgn;
        for (const QString& date : dates)
            pgn += "[White: \"Morlaquin 4.00\"]\n[Black: \"\"]\n[Date: \"" + date.toStdString() + "\"]\n\n1.   e4\n\n";
        WriteWholeFile(dir.filePath("dates.pgn"), pgn);

        TfrmOpenGame list(w.get());
        list.show();
        list.LoadGameList(dir.filePath("dates.pgn"));
        QCOMPARE(list.RowCount(), int(dates.size()) + 1);
        constexpr int DATE_COLUMN = 4;
        for (int row = 1; row <= int(dates.size()); ++row) QCOMPARE(list.Cell(DATE_COLUMN, row), dates[row - 1]);
        // What the cells of the column need, as the view's delegate measures them.
        const QAbstractItemView* view = list.StringGrid1;
        const int needed = view->sizeHintForColumn(DATE_COLUMN);
        const int width = list.StringGrid1->columnWidth(DATE_COLUMN);
        QVERIFY2(width >= needed, qPrintable(QString("%1 < %2").arg(width).arg(needed)));
    }
};

QTEST_MAIN(DialogFrameTest)
#include "test_dialogframes.moc"
