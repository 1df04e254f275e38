// The Board menu's piece sets, and the text and background colours of the
// window's panels.
#include <QAction>
#include <QColorDialog>
#include <QLabel>
#include <QMenuBar>
#include <QTableWidget>

#include <iterator>

#include "ChessGUI.h"
#include "colours.h"
#include "dialogs/dialogparts.h"
#include "messageboxes.h"
#include "PieceSetFiles.h"

namespace {

// The sets' items, in the order of PieceSetStyles. Each set comes with a
// black background.
QAction* TfrmWinRovik::* const PieceSets[] = {
    &TfrmWinRovik::DefaultPieces, &TfrmWinRovik::StonePieces,  &TfrmWinRovik::NewsPieces,
    &TfrmWinRovik::ChallengerPieces, &TfrmWinRovik::ModernPieces, &TfrmWinRovik::Modern2Pieces,
};
static_assert(std::size(PieceSets) == std::size(PieceSetStyles));

// The widget keeps the application's colours, whatever its parent's.
void KeepStandardColours(QWidget* widget) {
    if (widget->testAttribute(Qt::WA_SetPalette)) return;
    QPalette p = widget->palette();
    for (int group = 0; group < QPalette::NColorGroups; ++group)
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto g = static_cast<QPalette::ColorGroup>(group);
            const auto r = static_cast<QPalette::ColorRole>(role);
            p.setBrush(g, r, p.brush(g, r));
        }
    widget->setPalette(p);
}

// The shared colour dialog, opening on the colour last chosen in it.
bool AskColour(QWidget* owner, QColorDialog*& dialog, int* colour) {
    if (dialog == nullptr) {
        dialog = new QColorDialog(Qt::black, owner);
        dialog->setObjectName("ColorDialog");
        FrameModalBox(dialog);
    }
    QColor chosen;
    if (!ChooseColour(dialog, &chosen)) return false;
    dialog->setCurrentColor(chosen);
    *colour = ColourValue(chosen);
    return true;
}

}  // namespace

void TfrmWinRovik::MarkPieceSet(int row) {
    for (int i = 0; i < static_cast<int>(std::size(PieceSets)); ++i) (this->*PieceSets[i])->setChecked(i == row);
    PieceSetDir = AppDir + "/images/" + PieceSetStyles[row].folder + "/";
}

int TfrmWinRovik::CheckedPieceSet() const {
    for (int i = 0; i < static_cast<int>(std::size(PieceSets)); ++i)
        if ((this->*PieceSets[i])->isChecked()) return i;
    return 0;
}

void TfrmWinRovik::ChoosePieceSet(int row) {
    const int previous = CheckedPieceSet(), text = TextColour(), background = BackgroundColour();
    MarkPieceSet(row);
    SetTextColour(PieceSetStyles[row].textColour);
    SetBackgroundColour(0);
    if (!LoadImages()) {
        // The set in use stays (the message is shown), with its colours.
        MarkPieceSet(previous);
        SetTextColour(text);
        SetBackgroundColour(background);
        LayoutBoard();
    }
    DrawBoard();
}

void TfrmWinRovik::DefaultPiecesClick() { ChoosePieceSet(0); }
void TfrmWinRovik::StonePiecesClick() { ChoosePieceSet(1); }
void TfrmWinRovik::NewsPiecesClick() { ChoosePieceSet(2); }
void TfrmWinRovik::ChallengerPiecesClick() { ChoosePieceSet(3); }
void TfrmWinRovik::ModernPiecesClick() { ChoosePieceSet(4); }
void TfrmWinRovik::Modern2PiecesClick() { ChoosePieceSet(5); }

void TfrmWinRovik::SetTextColour(int colour) {
    const QColor c = ColourFromValue(colour);
    for (QLabel* l : {lblStatus, Label5, Label1, lblScore, Label2, lblBestMove, Label3, lblCurrentMove, Label4,
                      lblDepth, Label14, label22, lblLastMove, label20, lblLastScore, label21, lblLastDepth, label12,
                      lblLastNodes, Label7, lblLastTime, Label9, lblLastNS})
        SetPaletteColour(l, QPalette::WindowText, c);
    SetPaletteColour(strMoves, QPalette::Text, c);
    SetPaletteColour(lblPV, QPalette::WindowText, c);
}

void TfrmWinRovik::SetBackgroundColour(int colour) {
    // The clocks, the buttons and the menu bar are not the window's panels.
    KeepStandardColours(Panel10);
    KeepStandardColours(menuBar());
    const QColor c = ColourFromValue(colour);
    for (QWidget* panel : {Panel1, Panel2, pnlThink, pnlLastMove}) SetPaletteColour(panel, QPalette::Window, c);
    SetPaletteColour(strMoves, QPalette::Base, c);
    SetPaletteColour(Panel9, QPalette::Window, c);
    Panel3->setAutoFillBackground(true);
    SetPaletteColour(Panel3, QPalette::Window, c);
    SetPaletteColour(this, QPalette::Window, c);
}

int TfrmWinRovik::TextColour() const { return ColourValue(lblStatus->palette().color(QPalette::WindowText)); }

int TfrmWinRovik::BackgroundColour() const { return ColourValue(Panel1->palette().color(QPalette::Window)); }

void TfrmWinRovik::TextColor1Click() {
    int colour = 0;
    if (!AskColour(this, ColorDialog, &colour)) return;
    SetTextColour(colour);
    LoadImages();  // the coordinates in the new colour
    DrawBoard();
}

void TfrmWinRovik::BackgroundColour1Click() {
    int colour = 0;
    if (AskColour(this, ColorDialog, &colour)) SetBackgroundColour(colour);
}
