#include "PROMOTE.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogparts.h"
#include "types.h"

TfrmPromote* frmPromote = nullptr;

TfrmPromote* PromoteDialog(QWidget* owner) { return MadeOnce(frmPromote, owner); }

TfrmPromote::TfrmPromote(QWidget* parent) : QDialog(parent) {
    SetUpFixedDialog(this, "frmPromote", "Promote");

    GroupBox1 = new QGroupBox("Promote to:", this);
    GroupBox1->setObjectName("GroupBox1");
    auto radio = [this](const char* name, const char* caption) {
        auto* b = new QRadioButton(caption, GroupBox1);
        b->setObjectName(name);
        return b;
    };
    btnQueen = radio("btnQueen", "Queen");
    btnRook = radio("btnRook", "Rook");
    btnBishop = radio("btnBishop", "Bishop");
    btnKnight = radio("btnKnight", "Knight");
    btnQueen->setChecked(true);
    {
        auto* l = new QVBoxLayout(GroupBox1);
        for (QRadioButton* b : {btnQueen, btnRook, btnBishop, btnKnight}) l->addWidget(b);
    }

    BitBtn1 = MakeOkButton(this, "BitBtn1");
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = CentredRow({BitBtn1});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

TfrmPromote::~TfrmPromote() {
    if (frmPromote == this) frmPromote = nullptr;
}

int TfrmPromote::AskPromotionPiece() {
    exec();
    if (btnRook->isChecked()) return ROOK;
    if (btnBishop->isChecked()) return BISHOP;
    if (btnKnight->isChecked()) return KNIGHT;
    return QUEEN;
}
