// The promotion dialog: the piece a pawn becomes on the last rank. The
// choice stays selected for the next promotion.
#pragma once

#include <QDialog>

class QGroupBox;
class QPushButton;
class QRadioButton;

class TfrmPromote : public QDialog {
    Q_OBJECT

public:
    explicit TfrmPromote(QWidget* parent = nullptr);
    ~TfrmPromote() override;

    QGroupBox* GroupBox1;  // "Promote to:"
    QRadioButton* btnQueen;
    QRadioButton* btnRook;
    QRadioButton* btnBishop;
    QRadioButton* btnKnight;
    QPushButton* BitBtn1;  // OK

    // Shows the dialog modally; returns the selected piece type (5 queen,
    // 4 rook, 3 bishop, 2 knight) however the dialog was closed.
    int AskPromotionPiece();
};

// The application's promotion dialog (nullptr before start-up creates it).
extern TfrmPromote* frmPromote;
// The dialog, made for the owner when there is none yet.
TfrmPromote* PromoteDialog(QWidget* owner);
