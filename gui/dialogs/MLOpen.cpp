#include "MLOpen.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QStringDecoder>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "WindowLife.h"
#include "dialogparts.h"
#include "globals.h"
#include "guiglobals.h"
#include "messageboxes.h"
#include "pgnreader.h"

TfrmOpenGame* frmOpenGame = nullptr;

namespace {

const std::array<const char*, 6> Headers = {"Game", "White", "Black", "Result", "Date", "Site"};
const std::array<int, 6> ColumnWidths = {43, 108, 114, 55, 62, 86};
constexpr int DESIGN_ROW_HEIGHT = 15;
constexpr int SITE_COLUMN = 5;

// The list lets the window repaint while it reads, this often at most.
constexpr int REPAINT_MS = 40;

// The character of choices that is widest in the font.
QChar Widest(const QFontMetrics& fm, const QString& choices) {
    QChar best = choices.front();
    for (const QChar c : choices)
        if (fm.horizontalAdvance(c) > fm.horizontalAdvance(best)) best = c;
    return best;
}

// The widest dates Save Game writes (the system's short date format): each
// month's, every digit the widest.
std::vector<QString> SavedDateShapes(QChar digit) {
    std::vector<QString> shapes;
    const QLocale locale = QLocale::system();
    for (int month = 1; month <= 12; ++month) {
        QString text = locale.toString(QDate(QDate::currentDate().year(), month, 28), QLocale::ShortFormat);
        for (QChar& c : text)
            if (c.isDigit()) c = digit;
        shapes.push_back(text);
    }
    return shapes;
}

QString FileText(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return utf8.hasError() ? QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())) : text;
}

}  // namespace

// ------------------------------------------------------------------ model

int gamelistmodel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Shown; }

int gamelistmodel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(Headers.size());
}

QVariant gamelistmodel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return QVariant();
    return Text(index.column(), index.row());
}

QVariant gamelistmodel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(Headers.size()))
        return QVariant();
    return QString(Headers[static_cast<std::size_t>(section)]);
}

QString gamelistmodel::Text(int column, int row) const {
    if (row < 0 || row >= Shown) return QString();
    const Row& r = Rows[static_cast<std::size_t>(row)];
    switch (column) {
        case 0:
            return QString::number(row + 1);
        case 1:
            return FileText(r.White);
        case 2:
            return FileText(r.Black);
        case 3:
            return FileText(r.Result);
        case 4:
            return FileText(r.Date);
        case 5:
            return FileText(r.Site);
        default:
            return QString();
    }
}

void gamelistmodel::Clear() {
    beginResetModel();
    Rows.clear();
    Shown = 0;
    endResetModel();
}

void gamelistmodel::Add(Row row) { Rows.push_back(std::move(row)); }

void gamelistmodel::Publish() {
    const int total = static_cast<int>(Rows.size());
    if (total == Shown) return;
    beginInsertRows(QModelIndex(), Shown, total - 1);
    Shown = total;
    endInsertRows();
}

// ----------------------------------------------------------------- dialog

TfrmOpenGame::TfrmOpenGame(QWidget* parent) : QDialog(parent), GameOffsets(MAX_LISTED_GAMES, 0) {
    setObjectName("frmOpenGame");
    setWindowTitle("Select Game to Open");
    resize(484, 553);

    GameList = new gamelistmodel(this);
    StringGrid1 = new QTableView(this);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setModel(GameList);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid1->verticalHeader()->setMinimumSectionSize(15);
    StringGrid1->verticalHeader()->setDefaultSectionSize(15);
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    StringGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The last column fills what the others leave of the view, and nothing
    // scrolls sideways: no click or key can turn the view to blank space.
    StringGrid1->horizontalHeader()->setStretchLastSection(true);
    QScrollBar* sideways = StringGrid1->horizontalScrollBar();
    connect(sideways, &QScrollBar::rangeChanged, sideways, [sideways](int, int max) {
        if (max != 0) sideways->setRange(0, 0);
    });
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringGrid1->setWordWrap(false);
    connect(StringGrid1, &QTableView::doubleClicked, this, [this] { StringGrid1DblClick(); });

    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    lblLimit = MakeLabel(Panel1, "lblLimit",
                         "The list stops at game " + QLocale(QLocale::English).toString(MAX_LISTED_GAMES - 1) +
                             "; the file holds more.");
    lblLimit->hide();
    Button2 = new QPushButton("&Load Game", Panel1);
    Button2->setObjectName("Button2");
    Button1 = new QPushButton("&Close", Panel1);
    Button1->setObjectName("Button1");
    connect(Button2, &QPushButton::clicked, this, &TfrmOpenGame::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &TfrmOpenGame::Button1Click);
    {
        auto* row = new QHBoxLayout(Panel1);
        row->setContentsMargins(6, 6, 6, 6);
        row->addWidget(lblLimit);
        row->addStretch();
        row->addWidget(Button2);
        row->addWidget(Button1);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(StringGrid1, 1);
    layout->addWidget(Panel1);
    FitColumnsToFont();
    CentreOnScreen(this);
}

void TfrmOpenGame::FitColumnsToFont() {
    const QFontMetrics fm(StringGrid1->font());
    // The item view insets a cell's text by the focus frame's margin and one pixel on each side.
    const int inset =
        2 * (StringGrid1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, StringGrid1) + 1) + 1;
    auto cellWidth = [&](std::initializer_list<QString> texts) {
        int width = 0;
        for (const QString& t : texts) width = std::max(width, fm.horizontalAdvance(t) + inset);
        return width;
    };
    const QString digit = Widest(fm, "0123456789");
    const QString number = QString(QString::number(MAX_LISTED_GAMES - 1).size(), digit.front());
    std::vector<QString> dates = SavedDateShapes(digit.front());
    dates.push_back(QString(4, digit.front()) + "." + digit + digit + "." + digit + digit);
    dates.push_back("????.??.??");
    // The view lays a text out at its fractional width: the dates' rounded up.
    const QFontMetricsF exact(StringGrid1->font());
    int dateWidth = 0;
    for (const QString& date : dates)
        dateWidth = std::max(dateWidth, static_cast<int>(std::ceil(exact.horizontalAdvance(date))) + inset);
    const std::array<int, SITE_COLUMN> texts = {cellWidth({number}), 0, 0, cellWidth({"1/2-1/2", "1-0", "0-1", "*"}),
                                                dateWidth};
    QHeaderView* header = StringGrid1->horizontalHeader();
    int fixed = 0;  // the columns before the last
    for (int c = 0; c < SITE_COLUMN; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const int width = std::max({ColumnWidths[i], texts[i], header->sectionSizeHint(c)});
        StringGrid1->setColumnWidth(c, width);
        fixed += width;
    }
    // The stretched last column grows from its narrowest.
    StringGrid1->setColumnWidth(SITE_COLUMN, header->sectionSizeHint(SITE_COLUMN));

    const int row = std::max(DESIGN_ROW_HEIGHT, fm.height());
    StringGrid1->verticalHeader()->setMinimumSectionSize(row);
    StringGrid1->verticalHeader()->setDefaultSectionSize(row);

    // The form's width, or more when the columns before the last need it; at
    // its narrowest the last column still shows its header.
    const int chrome = StringGrid1->verticalScrollBar()->sizeHint().width() +
                       style()->pixelMetric(QStyle::PM_ScrollView_ScrollBarSpacing, nullptr, StringGrid1) +
                       2 * StringGrid1->frameWidth();
    setMinimumWidth(fixed + header->sectionSizeHint(SITE_COLUMN) + chrome);
    resize(std::max(width(), fixed + ColumnWidths[SITE_COLUMN] + chrome), height());
}

TfrmOpenGame::~TfrmOpenGame() {
    if (frmOpenGame == this) frmOpenGame = nullptr;
}

void TfrmOpenGame::LoadGameList(const QString& fileName) {
    setWindowTitle("Please wait while loading...");
    GameList->Clear();
    lblLimit->hide();
    int row = 1;
    bool more = false;  // the file holds games past the list's last row
    PgnSource source;
    if (source.Open(LocalPath(fileName))) {
        QElapsedTimer sinceRepaint;
        sinceRepaint.start();
        ListPgnGames(source, [&](const ListedGame& game) {
            if (row == MAX_LISTED_GAMES) {
                more = true;
                return false;
            }
            GameOffsets[static_cast<std::size_t>(row)] = game.Offset;
            GameList->Add({game.White, game.Black, game.Result, game.Date, game.Site});
            if (row % 30 == 0 && sinceRepaint.elapsed() >= REPAINT_MS) {
                GameList->Publish();
                QCoreApplication::processEvents();
                sinceRepaint.restart();
            }
            ++row;
            return true;
        });
        GameList->Publish();
    }
    if (row == 1) {
        ShowMessageBox(this, "Error opening file!", "Error");
        close();
        return;
    }
    // As in a grid, the first game is the current row until another is chosen.
    if (!StringGrid1->currentIndex().isValid()) StringGrid1->setCurrentIndex(GameList->index(0, 0));
    lblLimit->setVisible(more);
    setWindowTitle("Select Game to Open");
}

int TfrmOpenGame::RowCount() const { return GameList->rowCount() + 1; }

QString TfrmOpenGame::Cell(int column, int row) const {
    if (row == 0) return column >= 0 && column < static_cast<int>(Headers.size()) ? Headers[column] : "";
    return GameList->Text(column, row - 1);
}

int TfrmOpenGame::CurrentRow() const {
    const QModelIndex current = StringGrid1->currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

void TfrmOpenGame::StringGrid1DblClick() {
    const int row = CurrentRow();
    if (row < 1) return;
    SelectedGameOffset = GameOffsets[static_cast<std::size_t>(row)];
    PostCommand(CMD_LOAD_LISTED_GAME);
}

void TfrmOpenGame::Button2Click() {
    StringGrid1DblClick();
    close();
}

void TfrmOpenGame::Button1Click() { close(); }

void TfrmOpenGame::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

// The last column stretches with the view; the view keeps its left edge.
void TfrmOpenGame::FormResize() { StringGrid1->horizontalScrollBar()->setValue(0); }
