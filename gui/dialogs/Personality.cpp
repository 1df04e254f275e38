#include "Personality.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

#include "WindowLife.h"
#include "dialogparts.h"
#include "globals.h"
#include "guiglobals.h"
#include "inifile.h"
#include "jpegpicture.h"
#include "messageboxes.h"

TfrmPersonality* frmPersonality = nullptr;

namespace {

// Values beyond this would let sums of them overflow a score.
constexpr int LargestSetting = 1'000'000;

const QStringList PercentItems = {"-500", "-400", "-300", "-200", "-100", "-50", "0",   "20",  "40",  "60",
                                  "80",   "100",  "120",  "140",  "160",  "180", "200", "250", "300", "350",
                                  "400",  "450",  "500",  "600",  "700",  "800", "900", "1000"};
const QStringList FactorItems = {"0", "10", "50", "100", "200", "300", "400", "500", "600", "700", "800", "900", "1000"};
const QStringList PawnItems = {"0", "10", "20", "50", "90", "100", "110", "150", "200", "300", "500", "1000"};
const QStringList MinorItems = {"0",   "10",  "20",  "50",  "100", "150", "200", "250",
                                "280", "300", "320", "350", "400", "500", "600", "1000"};
const QStringList RookItems = {"0",   "10",  "20",  "50",  "100", "150", "200", "300", "400", "450",
                               "480", "500", "520", "550", "600", "650", "700", "800", "900", "1000"};
const QStringList QueenItems = {"0",   "10",  "20",  "50",  "100", "150", "200",  "300",  "400",  "500",  "600", "700",
                                "800", "850", "880", "900", "920", "950", "1000", "1050", "1100", "1200", "1300", "1500"};

QString Section(int n) { return "PERSONALITY" + QString::number(n); }

// A value's combo, wide enough for any of its items. What is typed stays
// as typed: no item completes it ("30" is not made "300").
QComboBox* MakeValueCombo(QWidget* parent, const char* name, const QString& text, const QStringList& items) {
    QComboBox* box = MakeCombo(parent, name, text, items);
    box->setMinimumContentsLength(6);
    box->setCompleter(nullptr);
    return box;
}

// A whole number in range, in decimal with an optional sign.
bool SettingValue(const QString& text, int* value) {
    const QString t = text.trimmed();
    bool ok = !t.isEmpty();
    for (qsizetype i = 0; ok && i < t.size(); ++i)
        ok = t[i].isDigit() || (i == 0 && t.size() > 1 && (t[i] == '-' || t[i] == '+'));
    const qlonglong v = ok ? t.toLongLong(&ok, 10) : 0;
    if (!ok || v < -LargestSetting || v > LargestSetting) return false;
    *value = static_cast<int>(v);
    return true;
}

}  // namespace

TfrmPersonality::TfrmPersonality(QWidget* parent) : QDialog(parent) {
    SetUpFixedDialog(this, "frmPersonality", "Personality Setup");

    GroupBox1 = new QGroupBox("Personality", this);
    GroupBox1->setObjectName("GroupBox1");
    cboxName = new QComboBox(GroupBox1);
    cboxName->setObjectName("cboxName");
    cboxName->setEditable(false);
    cboxName->setMinimumContentsLength(18);
    memDescription = new QPlainTextEdit(GroupBox1);
    memDescription->setObjectName("memDescription");
    memDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memDescription->setPlainText("Morlaquin is the default  (and \nhopefully the strongest) personality");
    memDescription->setFixedHeight(180);
    Image1 = new QLabel(GroupBox1);
    Image1->setObjectName("Image1");
    Image1->setFixedSize(144, 180);
    Image1->setScaledContents(true);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setFrameShape(QFrame::StyledPanel);
    {
        auto* g = new QGridLayout(GroupBox1);
        g->addWidget(cboxName, 0, 0, 1, 2);
        g->addWidget(Image1, 1, 0);
        g->addWidget(memDescription, 1, 1);
        g->setColumnStretch(1, 1);
    }

    GroupBox2 = new QGroupBox("Personality Settings", this);
    GroupBox2->setObjectName("GroupBox2");
    cboxPawn = MakeValueCombo(GroupBox2, "cboxPawn", "100", PawnItems);
    cboxKnight = MakeValueCombo(GroupBox2, "cboxKnight", "310", MinorItems);
    cboxBishop = MakeValueCombo(GroupBox2, "cboxBishop", "320", MinorItems);
    cboxRook = MakeValueCombo(GroupBox2, "cboxRook", "500", RookItems);
    cboxQueen = MakeValueCombo(GroupBox2, "cboxQueen", "1000", QueenItems);
    cboxPositional = MakeValueCombo(GroupBox2, "cboxPositional", "100", PercentItems);
    cboxMobility = MakeValueCombo(GroupBox2, "cboxMobility", "100", PercentItems);
    cboxSafety = MakeValueCombo(GroupBox2, "cboxSafety", "100", PercentItems);
    cboxPassed = MakeValueCombo(GroupBox2, "cboxPassed", "100", PercentItems);
    cboxBlunder = MakeValueCombo(GroupBox2, "cboxBlunder", "0", FactorItems);
    cboxSpeed = MakeValueCombo(GroupBox2, "cboxSpeed", "100", FactorItems);
    {
        auto* g = new QGridLayout(GroupBox2);
        auto row = [&](int r, int c, const char* caption, QComboBox* box) {
            auto* label = new QLabel(caption, GroupBox2);
            label->setBuddy(box);
            g->addWidget(label, r, c);
            g->addWidget(box, r, c + 1);
        };
        row(0, 0, "Pawn Value:", cboxPawn);
        row(1, 0, "Knight Value:", cboxKnight);
        row(2, 0, "Bishop Value:", cboxBishop);
        row(3, 0, "Rook Value:", cboxRook);
        row(4, 0, "Queen Value:", cboxQueen);
        row(0, 2, "Positional:", cboxPositional);
        row(1, 2, "Mobility:", cboxMobility);
        row(2, 2, "King Safety:", cboxSafety);
        row(3, 2, "Passed Pawns:", cboxPassed);
        row(4, 2, "Blunder Factor:", cboxBlunder);
        row(5, 2, "Playing Speed:", cboxSpeed);
        g->setColumnMinimumWidth(1, 80);
        g->setHorizontalSpacing(8);
        g->setColumnMinimumWidth(2, 100);
    }

    QComboBox* const boxes[11] = {cboxPawn,   cboxKnight, cboxBishop,   cboxRook,    cboxQueen, cboxPositional,
                                  cboxSafety, cboxPassed, cboxMobility, cboxBlunder, cboxSpeed};
    const int readDefaults[11] = {100, 300, 300, 500, 1000, 100, 100, 100, 100, 0, 100};
    for (int i = 0; i < 11; ++i) Settings[i] = {boxes[i], PersonalityValueKeys[i], readDefaults[i]};

    btnNew = new QPushButton("&New", this);
    btnNew->setObjectName("btnNew");
    btnDelete = new QPushButton("&Delete", this);
    btnDelete->setObjectName("btnDelete");
    btnOK = MakeOkButton(this, "btnOK");
    btnCancel = MakeCancelButton(this, "btnCancel");

    // A choice by the user, not a change made here, selects a personality.
    connect(cboxName, &QComboBox::activated, this, &TfrmPersonality::cboxNameChange);
    connect(btnNew, &QPushButton::clicked, this, &TfrmPersonality::btnNewClick);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmPersonality::btnDeleteClick);
    connect(btnOK, &QPushButton::clicked, this, [this] {
        btnOKClick();
        accept();
    });

    auto* top = new QHBoxLayout;
    top->addWidget(GroupBox1, 1);
    top->addWidget(GroupBox2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnNew);
    buttons->addWidget(btnDelete);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    GroupBox1->setMinimumWidth(380);

    FormCreate();
}

TfrmPersonality::~TfrmPersonality() {
    if (frmPersonality == this) frmPersonality = nullptr;
}

void TfrmPersonality::FormCreate() {
    AppDir = StartupDirectory();
    QString failure;
    PersonalityFile =
        QString::fromStdString(UserFilePath(AppDir, UserFilesDirectory(AppDir), "MLPersonalities.ini", &failure));
    if (!failure.isEmpty() && !ProtocolMode) ShowMessageBox(this, failure, "Error");
}

bool TfrmPersonality::ApplySettings() {
    int v[11];
    bool valid = true;
    for (int i = 0; i < 11 && valid; ++i) valid = SettingValue(Settings[i].box->currentText(), &v[i]);
    if (!valid) {
        ShowMessageBox(this, "Invalid Values! Default values will be used.", "Morlaquin");
        const int defaults[11] = {100, 310, 320, 500, 1000, 100, 100, 100, 100, 0, 100};
        std::copy(std::begin(defaults), std::end(defaults), v);
    }
    PawnValue = v[0];
    KnightValue = v[1];
    BishopValue = v[2];
    RookValue = v[3];
    QueenValue = v[4];
    for (int piece = 1; piece <= 5; ++piece) PieceValue[piece] = v[piece - 1];
    WeightPositional = v[5];
    WeightKingSafety = v[6];
    WeightPassed = v[7];
    WeightMobility = v[8];
    BlunderPercent = v[9];
    SpeedPercent = v[10];
    return valid;
}

bool TfrmPersonality::LoadFile(IniDocument* ini) {
    // An unreadable file reads as none; writing it is refused and said.
    return ini->Load(PersonalityFile);
}

void TfrmPersonality::CommitFile(IniDocument* ini) {
    if (!ini->Commit())
        ShowMessageBox(this, "The personality file could not be written.\n" + ini->ErrorString(), "Error");
}

void TfrmPersonality::FillNameList() {
    IniDocument ini;
    FillNameListFrom(&ini);
}

void TfrmPersonality::StartUp(const QString& name) {
    // The file is read once for the list and the choice.
    IniDocument ini;
    FillNameListFrom(&ini);
    if (!SelectIn(ini, name)) SelectIn(ini, "Morlaquin");
}

void TfrmPersonality::FillNameListFrom(IniDocument* ini) {
    const bool readable = LoadFile(ini);
    QStringList names;
    int empty = 0;
    for (int n = 1; empty < PERSONALITY_SLOTS; ++n) {
        const QString name = ini->ReadString(Section(n), "Name", EMPTY_NAME_SENTINEL);
        if (name == EMPTY_NAME_SENTINEL)
            ++empty;
        else
            names.append(name);
    }
    cboxName->clear();
    cboxName->addItems(names);
    ListProblem.clear();
    if (!readable)
        ListProblem = ini->ErrorString();
    else if (names.isEmpty() && QFileInfo::exists(PersonalityFile))
        ListProblem = PersonalityFile + (ini->Text().trimmed().isEmpty() ? " is empty" : " holds no personality");
    cboxName->setCurrentIndex(CurrentIndex);
    SelectIn(*ini, cboxName->currentText());
}

bool TfrmPersonality::SelectPersonality(const QString& name) {
    IniDocument ini;
    LoadFile(&ini);
    return SelectIn(ini, name);
}

bool TfrmPersonality::SelectIn(const IniDocument& ini, const QString& name) {
    QString section;
    for (int n = 0; n < PERSONALITY_SLOTS && section.isEmpty(); ++n)
        if (ini.ReadString(Section(n), "Name", EMPTY_NAME_SENTINEL) == name) section = Section(n);
    if (section.isEmpty()) return false;

    const int entry = cboxName->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (entry >= 0) {
        cboxName->setCurrentIndex(entry);
        CurrentIndex = entry;
    }
    LoadPicture(name);
    memDescription->clear();
    const QString description = UnescapeLines(ini.ReadString(section, "Description", "No description"));
    DescriptionCut = description.size() > ShownDescriptionLength;
    memDescription->setPlainText(DescriptionCut ? description.left(ShownDescriptionLength) + " ..." : description);
    for (const Setting& s : Settings)
        s.box->setEditText(QString::number(ini.ReadInteger(section, s.key, s.readDefault)));
    SetEditable(ini.ReadInteger(section, "Default", 0) != 1);
    return true;
}

void TfrmPersonality::cboxNameChange() { SelectPersonality(cboxName->currentText()); }

void TfrmPersonality::btnOKClick() {
    const bool valid = ApplySettings();
    const QString name = cboxName->currentText();
    IniDocument ini;
    LoadFile(&ini);
    QString target, firstEmpty;
    int empty = 0;
    for (int n = 1; empty < PERSONALITY_SLOTS && target.isEmpty(); ++n) {
        const QString stored = ini.ReadString(Section(n), "Name", EMPTY_NAME_SENTINEL);
        if (stored == name) {
            target = Section(n);
        } else if (stored == EMPTY_NAME_SENTINEL) {
            if (firstEmpty.isEmpty()) firstEmpty = Section(n);
            ++empty;
        }
    }
    if (target.isEmpty()) target = firstEmpty;
    // A value that is not a number, or no personality at all, writes nothing.
    if (!valid || name.isEmpty() || ini.ReadInteger(target, "Default", 0) != 0) return;
    ini.WriteString(target, "Name", name);
    // A description shown cut stays as the file holds it.
    if (!DescriptionCut) ini.WriteString(target, "Description", EscapeLines(memDescription->toPlainText()));
    for (const Setting& s : Settings) {
        int v = 0;
        SettingValue(s.box->currentText(), &v);
        ini.WriteInteger(target, s.key, v);
    }
    CommitFile(&ini);
}

void TfrmPersonality::btnNewClick() {
    const QString answer = InputBox(this, "New Personality", "Name", "");
    const QString name = answer.trimmed();
    if (!name.isEmpty() && cboxName->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0) {
        ShowMessageBox(this, "Personality already exists!", "Morlaquin");
        return;
    }
    if (answer.isEmpty()) return;
    if (const QString problem = NameProblem(name); !problem.isEmpty()) {
        ShowMessageBox(this, problem, "Morlaquin");
        return;
    }
    cboxName->addItem(name);
    SelectPersonality(name);
    cboxName->setCurrentIndex(cboxName->count() - 1);
    DescriptionCut = false;
    memDescription->clear();
    memDescription->setPlainText("Enter description here");
    LoadPicture(name);
    SetEditable(true);
}

void TfrmPersonality::btnDeleteClick() {
    if (AskQuestion(this, "Delete current personality?", "Confirm", BoxButtons::OkCancel) != BoxAnswer::Ok) return;
    IniDocument ini;
    LoadFile(&ini);
    const QString name = cboxName->currentText();
    for (int n = 1; n <= PERSONALITY_SLOTS; ++n) {
        if (ini.ReadString(Section(n), "Name", EMPTY_NAME_SENTINEL) == name) {
            ini.EraseSection(Section(n));
            break;
        }
    }
    CommitFile(&ini);
    FillNameList();
    cboxName->setCurrentIndex(0);
    SelectPersonality(cboxName->currentText());
}

QString TfrmPersonality::PicturePath(const QString& name) const {
    const QString dir = QString::fromStdString(AppDir) + "/images/personalities/";
    const bool plain = !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
                       !name.contains('\\') && !name.contains(QChar(0));
    if (plain && QFileInfo(dir + name + ".jpg").isFile()) return dir + name + ".jpg";
    return dir + "blank.jpg";
}

QString TfrmPersonality::NameProblem(const QString& name) {
    const QString reason = "A personality name %1.";
    if (name.trimmed().isEmpty()) return reason.arg("cannot be empty");
    if (name == EMPTY_NAME_SENTINEL) return reason.arg("cannot be \"" + name + "\"");
    for (const QChar c : name)
        if (c == '[' || c == ']' || c == '/' || c == '\\' || c.category() == QChar::Other_Control)
            return reason.arg("cannot hold \"[\", \"]\", \"/\", \"\\\" or a line break");
    if (name.startsWith('=')) return reason.arg("cannot begin with \"=\"");
    return QString();
}

void TfrmPersonality::LoadPicture(const QString& name) {
    const QImage picture = ReadJpegFile(PicturePath(name));
    if (picture.isNull())
        Image1->clear();
    else
        Image1->setPixmap(QPixmap::fromImage(picture));
}

void TfrmPersonality::SetEditable(bool editable) {
    for (const Setting& s : Settings) s.box->setEnabled(editable);
    btnDelete->setEnabled(editable);
    memDescription->setReadOnly(!editable || DescriptionCut);
}

TfrmPersonality* PersonalityDialog(QWidget* owner) { return MadeOnce(frmPersonality, owner); }
