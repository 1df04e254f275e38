#include "saveGame.h"

#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "dialogparts.h"
#include "guiglobals.h"
#include "messageboxes.h"

TfrmSaveGame* frmSaveGame = nullptr;

namespace {

QLineEdit* MakeEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

QString TagLine(const QString& name, const QLineEdit* edit) {
    return "[" + name + ": \"" + edit->text() + "\"]";
}

}  // namespace

QString WithPgnExtension(const QString& name) {
    return name.contains(".pgn", Qt::CaseSensitive) ? name : name + ".pgn";
}

TfrmSaveGame::TfrmSaveGame(QWidget* parent) : QDialog(parent) {
    SetUpFixedDialog(this, "frmSaveGame", "Save Game");

    Label1 = MakeLabel(this, "Label1", "File Name:");
    edtFileName = MakeEdit(this, "edtFileName");
    edtFileName->setMinimumWidth(280);
    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    SpeedButton1->setToolTip("Browse");
    connect(SpeedButton1, &QToolButton::clicked, this, &TfrmSaveGame::SpeedButton1Click);

    GroupBox1 = new QGroupBox("Game Details", this);
    GroupBox1->setObjectName("GroupBox1");
    Label2 = MakeLabel(GroupBox1, "Label2", "Event:");
    Label3 = MakeLabel(GroupBox1, "Label3", "Site:");
    Label4 = MakeLabel(GroupBox1, "Label4", "Date:");
    Label5 = MakeLabel(GroupBox1, "Label5", "White:");
    Label6 = MakeLabel(GroupBox1, "Label6", "Black:");
    Label7 = MakeLabel(GroupBox1, "Label7", "Result:");
    edtEvent = MakeEdit(GroupBox1, "edtEvent");
    edtSite = MakeEdit(GroupBox1, "edtSite");
    edtDate = MakeEdit(GroupBox1, "edtDate");
    edtWhite = MakeEdit(GroupBox1, "edtWhite");
    edtBlack = MakeEdit(GroupBox1, "edtBlack");
    edtResult = MakeEdit(GroupBox1, "edtResult");
    {
        auto* form = new QFormLayout(GroupBox1);
        form->addRow(Label2, edtEvent);
        form->addRow(Label3, edtSite);
        form->addRow(Label4, edtDate);
        form->addRow(Label5, edtWhite);
        form->addRow(Label6, edtBlack);
        form->addRow(Label7, edtResult);
    }

    BitBtn1 = MakeOkButton(this, "BitBtn1");
    BitBtn2 = MakeCancelButton(this, "BitBtn2");
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmSaveGame::BitBtn1Click);

    dlgSaveGame = MakeFileDialog(this, "dlgSaveGame", true, {"pgn files (*.pgn *.PGN)", "all files (*)"});

    setTabOrder(edtFileName, edtEvent);
    setTabOrder(edtEvent, edtSite);
    setTabOrder(edtSite, edtDate);
    setTabOrder(edtDate, edtWhite);
    setTabOrder(edtWhite, edtBlack);
    setTabOrder(edtBlack, edtResult);
    setTabOrder(edtResult, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);

    auto* file = new QHBoxLayout;
    file->addWidget(Label1);
    file->addWidget(edtFileName, 1);
    file->addWidget(SpeedButton1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(file);
    layout->addWidget(GroupBox1);
    layout->addLayout(CentredRow({BitBtn1, BitBtn2}));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    BuildTagLines();
}

TfrmSaveGame::~TfrmSaveGame() {
    if (frmSaveGame == this) frmSaveGame = nullptr;
}

void TfrmSaveGame::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
    CentreOnScreen(this);
}

void TfrmSaveGame::FormShow() {
    edtDate->setText(QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
    if (!ResetFields) return;
    const QDir here = QDir::current();
    QString name = here.absoluteFilePath("game1.pgn");
    for (int n = 2; n <= 99999 && QFileInfo::exists(name); ++n)
        name = here.absoluteFilePath("game" + QString::number(n) + ".pgn");
    dlgSaveGame->selectFile(name);
    edtFileName->setText(name);
    const QString program = "Morlaquin " + VersionField;
    edtWhite->setText(EngineIsBlack ? QString() : program);
    edtBlack->setText(EngineIsBlack ? program : QString());
    edtResult->clear();
    ResetFields = 0;
}

void TfrmSaveGame::BuildTagLines() {
    EventTag = TagLine("Event", edtEvent);
    SiteTag = TagLine("Site", edtSite);
    DateTag = TagLine("Date", edtDate);
    WhiteTag = TagLine("White", edtWhite);
    BlackTag = TagLine("Black", edtBlack);
    ResultTag = TagLine("Result", edtResult);
}

void TfrmSaveGame::BitBtn1Click() {
    BuildTagLines();
    accept();
}

void TfrmSaveGame::SpeedButton1Click() {
    QString name;
    if (!ChooseFile(dlgSaveGame, &name)) return;
    edtFileName->setText(WithPgnExtension(name));
}
