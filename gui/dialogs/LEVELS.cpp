#include "LEVELS.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTabWidget>
#include <QVBoxLayout>

#include <initializer_list>

#include "dialogparts.h"

TfrmLevels* frmLevels = nullptr;

TfrmLevels* LevelsDialog(QWidget* owner) {
    if (frmLevels == nullptr) frmLevels = new TfrmLevels(owner);
    return frmLevels;
}

namespace {

QLabel* MakeNote(QWidget* parent, const QString& text) {
    auto* note = new QLabel(text, parent);
    note->setWordWrap(true);
    return note;
}

// A page: its rows at the top, its note at the bottom.
void LayOutPage(QWidget* sheet, std::initializer_list<QLayout*> rows, const QString& note) {
    auto* page = new QVBoxLayout(sheet);
    for (QLayout* row : rows) page->addLayout(row);
    page->addStretch();
    page->addWidget(MakeNote(sheet, note));
}

}  // namespace

TfrmLevels::TfrmLevels(QWidget* parent) : QDialog(parent) {
    SetUpFixedDialog(this, "frmLevels", "Select Level");

    pcontrLevel = new QTabWidget(this);
    pcontrLevel->setObjectName("pcontrLevel");

    Sheet1 = new QWidget;
    Sheet1->setObjectName("Sheet1");
    Label1 = MakeLabel(Sheet1, "Label1", "Seconds per Move");
    cboxSecs1 = MakeCombo(Sheet1, "cboxSecs1", "3",
                          {"1", "2", "3", "5", "10", "15", "20", "30", "60", "120", "180", "360", "100000"});
    {
        auto* form = new QFormLayout;
        form->addRow(Label1, cboxSecs1);
        LayOutPage(Sheet1, {form}, "Average time for computer to make a move ");
    }

    Sheet2 = new QWidget;
    Sheet2->setObjectName("Sheet2");
    Label2 = MakeLabel(Sheet2, "Label2", "Minutes per Game");
    cboxBlitz1 = MakeCombo(Sheet2, "cboxBlitz1", "5",
                           {"1", "2", "5", "10", "15", "20", "25", "30", "45", "60", "90", "120", "180", "240"});
    Label3 = MakeLabel(Sheet2, "Label3", "Seconds Bonus per Move");
    cboxBlitz2 = MakeCombo(Sheet2, "cboxBlitz2", "0", {"0", "1", "2", "6", "12", "20", "30", "60", "120"});
    {
        auto* form = new QFormLayout;
        form->addRow(Label2, cboxBlitz1);
        form->addRow(Label3, cboxBlitz2);
        LayOutPage(Sheet2, {form}, "Whole game must be finished within alloted time");
    }

    Sheet3 = new QWidget;
    Sheet3->setObjectName("Sheet3");
    Label4 = MakeLabel(Sheet3, "Label4", "Moves in ");
    cboxTourn1 = MakeCombo(Sheet3, "cboxTourn1", "40", {"20", "30", "40", "45", "50", "60"});
    Label5 = MakeLabel(Sheet3, "Label5", "Minutes");
    cboxTourn2 = MakeCombo(Sheet3, "cboxTourn2", "120",
                           {"5", "10", "15", "20", "30", "60", "90", "120", "180", "240"});
    Label6 = MakeLabel(Sheet3, "Label6", "Minutes for Remaining Moves");
    cboxTourn3 = MakeCombo(Sheet3, "cboxTourn3", "60", {"0", "5", "10", "15", "30", "60", "120", "180", "240"});
    {
        auto* period = new QHBoxLayout;
        period->addWidget(Label4);
        period->addWidget(cboxTourn1);
        period->addWidget(cboxTourn2);
        period->addWidget(Label5);
        auto* rest = new QHBoxLayout;
        rest->addWidget(cboxTourn3);
        rest->addWidget(Label6);
        LayOutPage(Sheet3, {period, rest}, "Enter \"0\" for Remaining Moves to make the time control repeat");
    }

    pcontrLevel->addTab(Sheet1, "Seconds/Move");
    pcontrLevel->addTab(Sheet2, "Blitz");
    pcontrLevel->addTab(Sheet3, "Tournament");
    pcontrLevel->setCurrentWidget(Sheet2);

    BitBtn1 = MakeOkButton(this, "BitBtn1");
    BitBtn2 = new QPushButton("Cancel", this);
    BitBtn2->setObjectName("BitBtn2");
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = CentredRow({BitBtn1, BitBtn2});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcontrLevel);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

TfrmLevels::~TfrmLevels() {
    if (frmLevels == this) frmLevels = nullptr;
}
