#include "LEVELS.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTabWidget>
#include <QVBoxLayout>

#include <initializer_list>

#include "dialogparts.h"
#include "messageboxes.h"

TfrmLevels* frmLevels = nullptr;

TfrmLevels* LevelsDialog(QWidget* owner) { return MadeOnce(frmLevels, owner); }

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

    // Each box as wide as its items from the start, not from its page's first
    // showing: every page asks its final size, and the dialog keeps one.
    for (int i = 0; i < FIELDS; ++i) Field(i)->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    pcontrLevel->addTab(Sheet1, "Seconds/Move");
    pcontrLevel->addTab(Sheet2, "Blitz");
    pcontrLevel->addTab(Sheet3, "Tournament");
    pcontrLevel->setCurrentWidget(Sheet2);

    BitBtn1 = MakeOkButton(this, "BitBtn1");
    BitBtn2 = MakeCancelButton(this, "BitBtn2");
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = CentredRow({BitBtn1, BitBtn2});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcontrLevel);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    KeepValues();
}

QComboBox* TfrmLevels::Field(int i) const {
    QComboBox* const fields[FIELDS] = {cboxSecs1, cboxBlitz1, cboxBlitz2, cboxTourn1, cboxTourn2, cboxTourn3};
    return fields[i];
}

QLabel* TfrmLevels::FieldLabel(int i) const {
    QLabel* const labels[FIELDS] = {Label1, Label2, Label3, Label4, Label5, Label6};
    return labels[i];
}

QWidget* TfrmLevels::FieldPage(int i) const { return i == 0 ? Sheet1 : i < 3 ? Sheet2 : Sheet3; }

bool TfrmLevels::FieldValue(int i, int* value, QString* message) const {
    const QString text = Field(i)->currentText();
    const QString name = FieldLabel(i)->text().trimmed();
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok) {
        if (message) *message = name + ": \"" + text + "\" is not a whole number.";
        return false;
    }
    if (Field(i) == cboxTourn1 && v < 1) {
        if (message) *message = name + ": the number of moves must be 1 or more.";
        return false;
    }
    if (value) *value = v;
    return true;
}

bool TfrmLevels::ReadPage(const QWidget* page, int values[3], QString* message, QComboBox** wrong) const {
    int n = 0;
    for (int i = 0; i < FIELDS; ++i) {
        if (FieldPage(i) != page) continue;
        if (!FieldValue(i, &values[n++], message)) {
            if (wrong) *wrong = Field(i);
            return false;
        }
    }
    return true;
}

void TfrmLevels::KeepValues() {
    for (int i = 0; i < FIELDS; ++i) {
        if (FieldValue(i, nullptr, nullptr))
            KeptTexts[i] = Field(i)->currentText();
        else
            Field(i)->setEditText(KeptTexts[i]);
    }
    KeptPage = pcontrLevel->currentWidget();
}

void TfrmLevels::RestoreValues() {
    for (int i = 0; i < FIELDS; ++i) Field(i)->setEditText(KeptTexts[i]);
    pcontrLevel->setCurrentWidget(KeptPage);
}

void TfrmLevels::accept() {
    int values[3];
    QString message;
    QComboBox* wrong = nullptr;
    if (!ReadPage(pcontrLevel->currentWidget(), values, &message, &wrong)) {
        ShowMessageBox(this, message, "Select Level");
        wrong->setFocus();
        wrong->lineEdit()->selectAll();
        return;
    }
    QDialog::accept();
}

void TfrmLevels::reject() {
    RestoreValues();
    QDialog::reject();
}

TfrmLevels::~TfrmLevels() {
    if (frmLevels == this) frmLevels = nullptr;
}
