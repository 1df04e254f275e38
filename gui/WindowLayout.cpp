// The side panels sized from their fonts: the move list's columns hold the
// widest cell the record can hold, and the clock, status, think and
// last-move panels their longest texts; the board's panel takes the rest.
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>

#include <algorithm>
#include <initializer_list>

#include "ChessGUI.h"

namespace {

constexpr int DESIGN_COLUMN_WIDTH = 55;   // the narrowest a move-list column gets
constexpr int DESIGN_ROW_HEIGHT = 15;     // the lowest a move-list row gets
constexpr int DESIGN_PANEL_WIDTH = 138;   // the narrowest the side panels get
constexpr int MOVE_LIST_MIN_ROWS = 4;     // rows the move list shows at the smallest window

// The character of choices that is widest in the font.
QString Widest(const QFontMetrics& fm, const QString& choices) {
    QChar best = choices.front();
    for (const QChar c : choices)
        if (fm.horizontalAdvance(c) > fm.horizontalAdvance(best)) best = c;
    return QString(best);
}

// Width of the widest text as a label lays it out.
int TextWidth(const QFontMetrics& fm, std::initializer_list<QString> texts) {
    int width = 0;
    for (const QString& t : texts) width = std::max(width, fm.boundingRect(QRect(), Qt::AlignLeft, t).width());
    return width;
}

// The widest move text the record can hold: a piece named by its whole
// from-square or a pawn capture that promotes, each giving check.
QString WidestMoveText(const QFontMetrics& fm) {
    const QString file = Widest(fm, "abcdefgh"), rank = Widest(fm, "12345678"), mark = Widest(fm, "+#");
    const QStringList texts = {Widest(fm, "NBRQK") + file + rank + "x" + file + rank + mark,
                               file + "x" + file + rank + "=" + Widest(fm, "NBRQ") + mark, "O-O-O" + mark};
    QString widest;
    for (const QString& t : texts)
        if (fm.horizontalAdvance(t) > fm.horizontalAdvance(widest)) widest = t;
    return widest;
}

// Width of a panel's layout margins and frame.
int PanelChrome(const QWidget* panel) {
    int width = 0;
    if (const QLayout* l = panel->layout()) width += l->contentsMargins().left() + l->contentsMargins().right();
    if (const auto* frame = qobject_cast<const QFrame*>(panel)) width += 2 * frame->frameWidth();
    return width;
}

// Width a panel of captions (column 0) and values needs to show its
// captions and its longest values whole.
int CaptionPanelWidth(const QWidget* panel, std::initializer_list<QString> longestValues) {
    const auto* grid = qobject_cast<const QGridLayout*>(panel->layout());
    if (!grid) return 0;
    int captions = 0;
    for (int r = 0; r < grid->rowCount(); ++r)
        if (const QLayoutItem* item = grid->itemAtPosition(r, 0); item && item->widget())
            captions = std::max(captions, item->widget()->sizeHint().width());
    return PanelChrome(panel) + captions + grid->horizontalSpacing() + TextWidth(panel->fontMetrics(), longestValues);
}

// Labels whose texts change: a text longer than foreseen is cut at the
// right instead of pushing its neighbours or the window.
void LetTextBeCut(std::initializer_list<QLabel*> labels) {
    for (QLabel* l : labels) {
        l->setSizePolicy(QSizePolicy::Ignored, l->sizePolicy().verticalPolicy());
        l->setMinimumWidth(0);
    }
}

}  // namespace

void TfrmWinRovik::FitPanelsToFont() {
    // The move list: both columns whole, every row's text in full height.
    const QFontMetrics grid(strMoves->font());
    const QString san = WidestMoveText(grid);
    int white = 0;
    for (int p = 1; p < HISTORY_SIZE; p += 2)
        white = std::max(white, TextWidth(grid, {WhiteMoveCellText(p, 0, san.toStdString())}));
    // The item view insets a cell's text by the focus frame's margin and one pixel on each side.
    const int inset = 2 * (strMoves->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, strMoves) + 1);
    const int whiteColumn = std::max(DESIGN_COLUMN_WIDTH, white + inset + 1);
    const int blackColumn = std::max(DESIGN_COLUMN_WIDTH, TextWidth(grid, {san}) + inset + 1);
    strMoves->setColumnWidth(0, whiteColumn);
    strMoves->setColumnWidth(1, blackColumn);
    const int row = std::max(DESIGN_ROW_HEIGHT, grid.height());
    strMoves->verticalHeader()->setMinimumSectionSize(row);
    strMoves->verticalHeader()->setDefaultSectionSize(row);
    strMoves->setMinimumHeight(MOVE_LIST_MIN_ROWS * row + 2 * strMoves->frameWidth());
    const int list = whiteColumn + blackColumn + strMoves->verticalScrollBar()->sizeHint().width() +
                     strMoves->style()->pixelMetric(QStyle::PM_ScrollView_ScrollBarSpacing, nullptr, strMoves) +
                     2 * strMoves->frameWidth() + PanelChrome(Panel5);

    // The panels above it.
    LetTextBeCut({lblStatus, lblPV, lblScore, lblBestMove, lblCurrentMove, lblDepth, lblLastMove, lblLastScore,
                  lblLastDepth, lblLastNodes, lblLastTime, lblLastNS});
    const QString score = "-# in 99", points = "-999.99";
    const int think = CaptionPanelWidth(pnlThink, {score, points, "IN BOOK", san, "50/128"});
    const int last = CaptionPanelWidth(pnlLastMove, {san, score, points, "9,999,999,999", "99:59:59", "59.99s"});
    const int status = PanelChrome(Panel2) + TextWidth(lblStatus->fontMetrics(),
                                                       {"   Moved: " + san, "  Thinking...", "White to move",
                                                        "Black to move", "   Checkmate!", "   Stalemate!"});
    const int clocks = PanelChrome(Panel6) + TextWidth(lblWhiteTime->fontMetrics(), {"-00:00:00"});
    Panel10->setFixedWidth(std::max({DESIGN_PANEL_WIDTH, list, think, last, status, clocks}));

    // At the smallest window the board is as high as the side panels.
    const int side = Panel10->minimumSizeHint().height();
    Panel1->setMinimumSize(side, side);
}
