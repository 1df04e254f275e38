// Personalities: the editor against personality files made by hand, its
// buttons, the main window's item and the start-up choice, the values the
// engine takes, the pictures (broken ones too), the shipped set, and a file
// the person made read-only.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "bitboard.h"
#include "dialogs/LEVELS.h"
#include "dialogs/Personality.h"
#include "globals.h"
#include "guiglobals.h"
#include "inifile.h"
#include "jpegpicture.h"
#include "makemove.h"
#include "movedriver.h"
#include "movegen.h"
#include "gui_fixture.h"
#include "rootsearch.h"
#include "smallfs.h"
#include "test_position.h"
#include "unprivileged.h"

namespace {

// Made by hand: a built-in personality, a full one with a description of
// two lines, a gap in the numbering and one that gives no values at all.
const char* const Sample =
    "; personalities for the tests\n"
    "[PERSONALITY1]\n"
    "Name=Morlaquin\n"
    "Description=Built in\n"
    "PawnValue=100\nKnightValue=310\nBishopValue=320\nRookValue=500\nQueenValue=1000\n"
    "Positional=100\nKingsafety=100\nPassed=100\nMobility=100\nBlunder=0\nSpeed=100\n"
    "Default=1\n"
    "\n"
    "[PERSONALITY2]\n"
    "Name=Tester\n"
    "Description=First line\\nsecond line\n"
    "PawnValue=90\nKnightValue=290\nBishopValue=330\nRookValue=470\nQueenValue=950\n"
    "Positional=120\nKingsafety=80\nPassed=140\nMobility=60\nBlunder=10\nSpeed=50\n"
    "\n"
    "[PERSONALITY4]\n"
    "Name=Sparse\n"
    "Description=No values given\n";

const int StandardValues[11] = {100, 310, 320, 500, 1000, 100, 100, 100, 100, 0, 100};

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

// The engine's eleven values, in the file's key order.
std::vector<int> EngineValues() {
    return {PawnValue,        KnightValue,  BishopValue,    RookValue,      QueenValue,     WeightPositional,
            WeightKingSafety, WeightPassed, WeightMobility, BlunderPercent, SpeedPercent};
}

std::vector<int> Expected(const int (&v)[11]) { return std::vector<int>(std::begin(v), std::end(v)); }

// The start position's material sums for the current piece values.
void CheckMaterial(const Position& pos) {
    QCOMPARE(pos.PawnMaterial[WHITE], 8 * PawnValue);
    QCOMPARE(pos.PieceMaterial[BLACK], 2 * KnightValue + 2 * BishopValue + 2 * RookValue + QueenValue);
}

// A JPEG with the frame header's precision and size replaced.
QByteArray WithFrame(QByteArray jpeg, int precision, int width, int height) {
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        if (static_cast<uchar>(jpeg[i]) == 0xFF && static_cast<uchar>(jpeg[i + 1]) == 0xC0) {
            jpeg[i + 4] = static_cast<char>(precision);
            jpeg[i + 5] = static_cast<char>(height >> 8);
            jpeg[i + 6] = static_cast<char>(height & 0xFF);
            jpeg[i + 7] = static_cast<char>(width >> 8);
            jpeg[i + 8] = static_cast<char>(width & 0xFF);
            return jpeg;
        }
    }
    return QByteArray();
}

// The offset just after the start-of-scan header: entropy-coded data.
qsizetype ScanData(const QByteArray& jpeg) {
    for (qsizetype i = 2; i + 3 < jpeg.size(); ++i)
        if (static_cast<uchar>(jpeg[i]) == 0xFF && static_cast<uchar>(jpeg[i + 1]) == 0xDA)
            return i + 2 + ((static_cast<uchar>(jpeg[i + 2]) << 8) | static_cast<uchar>(jpeg[i + 3]));
    return -1;
}

// A picture worth encoding: a gradient with a red disc in the middle.
QImage Drawing(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, width, height);
    g.setColorAt(0, Qt::blue);
    g.setColorAt(1, Qt::yellow);
    p.fillRect(image.rect(), g);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 40, 40));
    p.drawEllipse(QPointF(width / 2.0, height / 2.0), height / 3.0, height / 3.0);
    return image;
}

}  // namespace

class PersonalityTest : public QObject, public WindowFixture<TestWindow> {
    Q_OBJECT

    QString shippedData;  // the program's data beside the tests
    std::unique_ptr<QTemporaryDir> dir;
    TfrmPersonality* dialog = nullptr;

    QString FilePath() const { return dir->filePath("MLPersonalities.ini"); }

    // The window, and the editor on a file of the text (none for a null text)
    // with the shipped pictures, filled as the start-up fills it.
    void Open(const char* text) {
        MakeWindow();
        w->thinks = true;
        dialog = PersonalityDialog(w.get());
        dialog->AppDir = shippedData.toStdString();
        dialog->PersonalityFile = FilePath();
        if (text) WriteWholeFile(FilePath(), text);
        dialog->FillNameList();
    }

    // Runs the window's item; the action works in the modal editor.
    void ChoosePersonality(std::function<void()> action) {
        WhenModal([action](QWidget*) { action(); });
        w->Personality1Click();
    }

    // OK on the editor's personality, then Delete confirmed: each is refused
    // with a box naming the file and the reason.
    void OkAndDeleteAreRefused(const QString& file, const QString& reason) {
        dialog->btnOKClick();
        boxes.answers = {BoxAnswer::Ok};
        dialog->btnDeleteClick();
        QCOMPARE(boxes.shown.size(), std::size_t{3});
        for (const std::size_t i : {std::size_t{0}, std::size_t{2}}) {
            QCOMPARE(boxes.shown[i].caption, QString("Error"));
            QVERIFY2(boxes.shown[i].text.contains(file + ": " + reason), qPrintable(boxes.shown[i].text));
        }
    }

    std::vector<int> Shown() const {
        std::vector<int> v;
        for (QComboBox* box : {dialog->cboxPawn, dialog->cboxKnight, dialog->cboxBishop, dialog->cboxRook,
                               dialog->cboxQueen, dialog->cboxPositional, dialog->cboxSafety, dialog->cboxPassed,
                               dialog->cboxMobility, dialog->cboxBlunder, dialog->cboxSpeed})
            v.push_back(box->currentText().toInt());
        return v;
    }

    bool Editable() const {
        bool all = true, none = true;
        for (QComboBox* box : dialog->findChildren<QComboBox*>()) {
            if (box == dialog->cboxName) continue;
            all = all && box->isEnabled();
            none = none && !box->isEnabled();
        }
        if (all && dialog->btnDelete->isEnabled() && !dialog->memDescription->isReadOnly()) return true;
        if (!(none && !dialog->btnDelete->isEnabled() && dialog->memDescription->isReadOnly()))
            qWarning("the editor is half locked");
        return false;
    }

private slots:
    void initTestCase() { shippedData = ShippedData(); }

    void init() {
        ResetWindowTest();
        dir = std::make_unique<QTemporaryDir>();
    }

    void cleanup() {
        CloseWindow();
        dialog = nullptr;
        dir.reset();
    }

    // ------------------------------------------------------------ the form

    void theFormAsDesigned() {
        TfrmPersonality form;
        QCOMPARE(form.objectName(), QString("frmPersonality"));
        QCOMPARE(form.windowTitle(), QString("Personality Setup"));
        QVERIFY(!form.cboxName->isEditable());
        QCOMPARE(form.memDescription->toPlainText(),
                 QString("Morlaquin is the default  (and \nhopefully the strongest) personality"));
        // The design texts are the standard values.
        const std::vector<int> design = {form.cboxPawn->currentText().toInt(),
                                         form.cboxKnight->currentText().toInt(),
                                         form.cboxBishop->currentText().toInt(),
                                         form.cboxRook->currentText().toInt(),
                                         form.cboxQueen->currentText().toInt(),
                                         form.cboxPositional->currentText().toInt(),
                                         form.cboxSafety->currentText().toInt(),
                                         form.cboxPassed->currentText().toInt(),
                                         form.cboxMobility->currentText().toInt(),
                                         form.cboxBlunder->currentText().toInt(),
                                         form.cboxSpeed->currentText().toInt()};
        QCOMPARE(design, Expected(StandardValues));
        const QStringList percent = {"-500", "-400", "-300", "-200", "-100", "-50", "0",   "20",  "40",  "60",
                                     "80",   "100",  "120",  "140",  "160",  "180", "200", "250", "300", "350",
                                     "400",  "450",  "500",  "600",  "700",  "800", "900", "1000"};
        const QStringList factor = {"0", "10", "50", "100", "200", "300", "400", "500", "600", "700", "800", "900", "1000"};
        const QStringList minor = {"0",   "10",  "20",  "50",  "100", "150", "200", "250",
                                   "280", "300", "320", "350", "400", "500", "600", "1000"};
        for (QComboBox* box : {form.cboxPositional, form.cboxMobility, form.cboxSafety, form.cboxPassed})
            QCOMPARE(Items(box), percent);
        QCOMPARE(Items(form.cboxBlunder), factor);
        QCOMPARE(Items(form.cboxSpeed), factor);
        QCOMPARE(Items(form.cboxPawn),
                 (QStringList{"0", "10", "20", "50", "90", "100", "110", "150", "200", "300", "500", "1000"}));
        QCOMPARE(Items(form.cboxKnight), minor);
        QCOMPARE(Items(form.cboxBishop), minor);
        QCOMPARE(Items(form.cboxRook), (QStringList{"0",   "10",  "20",  "50",  "100", "150", "200",
                                                    "300", "400", "450", "480", "500", "520", "550",
                                                    "600", "650", "700", "800", "900", "1000"}));
        QCOMPARE(Items(form.cboxQueen),
                 (QStringList{"0",   "10",  "20",  "50",  "100", "150", "200",  "300",  "400",  "500",  "600", "700",
                              "800", "850", "880", "900", "920", "950", "1000", "1050", "1100", "1200", "1300", "1500"}));
        QStringList captions;
        for (const QLabel* label : form.GroupBox2->findChildren<QLabel*>()) captions << label->text();
        captions.sort();
        QCOMPARE(captions, (QStringList{"Bishop Value:", "Blunder Factor:", "King Safety:", "Knight Value:",
                                        "Mobility:", "Passed Pawns:", "Pawn Value:", "Playing Speed:",
                                        "Positional:", "Queen Value:", "Rook Value:"}));
        QCOMPARE(form.GroupBox1->title(), QString("Personality"));
        QCOMPARE(form.GroupBox2->title(), QString("Personality Settings"));
        QCOMPARE(form.btnNew->text(), QString("&New"));
        QCOMPARE(form.btnDelete->text(), QString("&Delete"));
    }

    void withoutAFileTheEngineTakesTheStandardValues() {
        // A folder of the program's own with no personality file in it.
        WorkingDirectory here;
        QVERIFY(here.LinkShipped("images"));
        PieceValue[QUEEN] = QueenValue = 10000;
        SpeedPercent = 0;
        MakeWindow();
        w->FormShow();
        QVERIFY(frmPersonality != nullptr);
        QCOMPARE(frmPersonality->PersonalityFile, here.path() + "/MLPersonalities.ini");
        QCOMPARE(frmPersonality->cboxName->count(), 0);
        QCOMPARE(EngineValues(), Expected(StandardValues));
        QCOMPARE(PieceValue[QUEEN], 1000);
        QCOMPARE(w->windowTitle(), QString("Personality: "));
        QVERIFY(boxes.shown.empty());
        // OK with no personality writes none.
        ChoosePersonality([this] { frmPersonality->btnOK->click(); });
        QVERIFY(!QFile::exists(frmPersonality->PersonalityFile));
    }

    void theStartTakesMorlaquinFromTheFileAndItsMaterial() {
        WorkingDirectory here;
        QVERIFY(here.LinkShipped("images"));
        WriteWholeFile(here.path() + "/MLPersonalities.ini",
                       QByteArray(Sample).replace("Name=Morlaquin", "Name=Other").replace("Name=Tester", "Name=Morlaquin")
                           .toStdString());
        MakeWindow();
        w->FormShow();
        QCOMPARE(EngineValues(), (std::vector<int>{90, 290, 330, 470, 950, 120, 80, 140, 60, 10, 50}));
        QCOMPARE(PieceValue[KNIGHT], 290);
        QCOMPARE(PieceValue[KING], 31000);
        QCOMPARE(w->windowTitle(), QString("Personality: Morlaquin"));
        CheckMaterial(GameBoard.Pos);
        CheckMaterial(w->StartPosition);
        CheckMaterial(w->PositionHistory[0]);
        w->FormShow();  // shown again: nothing read again
        QCOMPARE(frmPersonality->cboxName->currentText(), QString("Morlaquin"));
    }

    // ------------------------------------------------------ reading the file

    void missingKeysReadTheirDefaults() {
        Open(Sample);
        QVERIFY(dialog->SelectPersonality("Sparse"));
        QCOMPARE(Shown(), (std::vector<int>{100, 300, 300, 500, 1000, 100, 100, 100, 100, 0, 100}));
        QCOMPARE(dialog->memDescription->toPlainText(), QString("No values given"));
        QVERIFY(Editable());
        WriteWholeFile(FilePath(), "[PERSONALITY1]\nName=Bare\n");
        QVERIFY(dialog->SelectPersonality("Bare"));
        QCOMPARE(dialog->memDescription->toPlainText(), QString("No description"));
    }

    void sectionNumbersThatAreNotListedOrNotFound() {
        Open("[PERSONALITY0]\nName=Zero\nPawnValue=10\n"
             "[PERSONALITY199]\nName=Late\nPawnValue=20\n"
             "[PERSONALITY201]\nName=Beyond\nPawnValue=30\n");
        QCOMPARE(Items(dialog->cboxName), (QStringList{"Late", "Beyond"}));
        QVERIFY(dialog->SelectPersonality("Zero"));
        QCOMPARE(dialog->cboxPawn->currentText(), QString("10"));
        QVERIFY(dialog->SelectPersonality("Late"));
        QCOMPARE(dialog->cboxPawn->currentText(), QString("20"));
        QVERIFY(!dialog->SelectPersonality("Beyond"));
        QCOMPARE(dialog->cboxPawn->currentText(), QString("20"));  // nothing changed
        // Beyond the probed sections it cannot be deleted.
        dialog->cboxName->setCurrentIndex(1);
        boxes.answers = {BoxAnswer::Ok};
        const std::string before = ReadWholeFile(FilePath());
        dialog->btnDeleteClick();
        QCOMPARE(ReadWholeFile(FilePath()), before);
    }

    void twoSectionsWithOneNameActOnTheFirst() {
        Open("[PERSONALITY1]\nName=Twin\nPawnValue=111\n\n[PERSONALITY2]\nName=Twin\nPawnValue=222\n\n"
             "[PERSONALITY3]\nName=Other\n");
        QCOMPARE(Items(dialog->cboxName), (QStringList{"Twin", "Twin", "Other"}));
        QVERIFY(dialog->SelectPersonality("Twin"));
        QCOMPARE(dialog->cboxPawn->currentText(), QString("111"));
        dialog->cboxPawn->setEditText("333");
        dialog->btnOKClick();
        IniDocument ini;
        QVERIFY(ini.Load(FilePath()));
        QCOMPARE(ini.ReadInteger("PERSONALITY1", "PawnValue", 0), 333);
        QCOMPARE(ini.ReadInteger("PERSONALITY2", "PawnValue", 0), 222);
        boxes.answers = {BoxAnswer::Ok};
        dialog->btnDeleteClick();
        QVERIFY(ini.Load(FilePath()));
        QVERIFY(!ini.SectionExists("PERSONALITY1"));
        QCOMPARE(ini.ReadInteger("PERSONALITY2", "PawnValue", 0), 222);
        QCOMPARE(dialog->cboxName->currentText(), QString("Twin"));
        QCOMPARE(dialog->cboxPawn->currentText(), QString("222"));
    }

    // A file of twenty thousand personalities, as start-up reads it: every
    // name listed in file order up to the 200th empty slot, headers in any
    // case, a repeated section number that is not the one read, mixed line
    // ends; then New and OK add a section at the end (the first empty slot)
    // and change nothing else, and Delete removes one section.
    void aLargeFileIsListedWholeAndChangedOnlyWhereChosen() {
        WorkingDirectory here;
        QVERIFY(here.LinkShipped("images"));
        std::mt19937 rng(5);
        const char* const ends[] = {"\n", "\r\n", "\r"};
        std::string text;
        auto section = [&](int n, const std::string& name, const std::string& more) {
            const std::string header = n % 7 == 0 ? "[personality" : "[PERSONALITY";
            for (const std::string& line : {header + std::to_string(n) + "]", "Name=" + name, more})
                if (!line.empty()) text += line + ends[rng() % 3];
        };
        QStringList expected;
        for (int n = 1; n <= 20000; ++n) {
            if (n % 1000 == 500) continue;  // 20 empty slots
            const std::string name = n == 150 ? "Morlaquin" : "P" + std::to_string(n);
            section(n, name, n == 150 ? "PawnValue=77" : "");
            expected << QString::fromStdString(name);
        }
        // 149 more empty slots, a listed one, and one after the 200th empty slot.
        section(20150, "Late", "");
        expected << "Late";
        section(20201, "Unlisted", "");
        section(3, "Shadow", "");
        const QString path = here.path() + "/MLPersonalities.ini";
        WriteWholeFile(path, text);

        MakeWindow();
        w->FormShow();
        dialog = frmPersonality;
        QCOMPARE(Items(dialog->cboxName), expected);
        QCOMPARE(w->windowTitle(), QString("Personality: Morlaquin"));
        QCOMPARE(PawnValue, 77);

        boxes.typed = {QString("Fresh")};
        dialog->btnNewClick();
        dialog->cboxRook->setEditText("520");
        dialog->btnOKClick();
        const std::string saved = ReadWholeFile(path);
        QVERIFY(saved.starts_with(text));
        IniDocument ini;
        QVERIFY(ini.Load(path));
        QCOMPARE(ini.ReadString("PERSONALITY500", "Name", ""), QString("Fresh"));
        QCOMPARE(ini.ReadInteger("PERSONALITY500", "RookValue", 0), 520);

        // The repeated section of the deleted one's number comes to light.
        QVERIFY(dialog->SelectPersonality("P3"));
        boxes.answers = {BoxAnswer::Ok};
        dialog->btnDeleteClick();
        expected.replace(expected.indexOf("P3"), "Shadow");
        expected.insert(expected.indexOf("P501"), "Fresh");  // listed by its slot
        QCOMPARE(Items(dialog->cboxName), expected);
        QVERIFY(ini.Load(path));
        QCOMPARE(ini.ReadString("PERSONALITY3", "Name", ""), QString("Shadow"));
    }

    // ------------------------------------------------------------------ OK

    void okAppliesWritesAndRecomputesTheMaterial() {
        Open(Sample);
        QCOMPARE(w->PlayAll({"e2e4", "e7e5"}), 1);
        ChoosePersonality([this] {
            dialog->cboxName->setCurrentIndex(1);
            dialog->cboxNameChange();
            QCOMPARE(dialog->memDescription->toPlainText(), QString("First line\nsecond line"));
            dialog->cboxKnight->setEditText("350");
            dialog->memDescription->setPlainText("Plays\nthe \\ knights");
            dialog->btnOK->click();
        });
        QCOMPARE(EngineValues(), (std::vector<int>{90, 350, 330, 470, 950, 120, 80, 140, 60, 10, 50}));
        for (int piece = PAWN; piece <= QUEEN; ++piece) QCOMPARE(PieceValue[piece], EngineValues()[piece - 1]);
        QCOMPARE(w->windowTitle(), QString("Personality: Tester"));
        CheckMaterial(w->StartPosition);
        for (int p = 0; p <= 2; ++p) {
            QCOMPARE(w->PositionHistory[p].PawnMaterial[WHITE], 8 * 90);
            QCOMPARE(w->PositionHistory[p].PieceMaterial[WHITE], 2 * 350 + 2 * 330 + 2 * 470 + 950);
        }
        QCOMPARE(GameBoard.Pos.PieceMaterial[BLACK], w->PositionHistory[2].PieceMaterial[BLACK]);
        // The section as written: every key in order, the description on one line.
        const QByteArray file = QByteArray::fromStdString(ReadWholeFile(FilePath()));
        QVERIFY(file.contains("[PERSONALITY2]\nName=Tester\nDescription=Plays\\nthe \\\\ knights\n"
                              "PawnValue=90\nKnightValue=350\nBishopValue=330\nRookValue=470\nQueenValue=950\n"
                              "Positional=120\nKingsafety=80\nPassed=140\nMobility=60\nBlunder=10\nSpeed=50\n"));
        QVERIFY(file.startsWith("; personalities for the tests\n[PERSONALITY1]\nName=Morlaquin\n"));
        // Read back whole.
        QVERIFY(dialog->SelectPersonality("Morlaquin"));
        QVERIFY(dialog->SelectPersonality("Tester"));
        QCOMPARE(dialog->memDescription->toPlainText(), QString("Plays\nthe \\ knights"));
    }

    void okWithAValueThatIsNoWholeNumberWritesNothing_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << "abc";
        QTest::newRow("fraction") << "12.5";
        QTest::newRow("empty") << "";
        QTest::newRow("beyond a million") << "1000001";
        QTest::newRow("beyond 32 bits") << "99999999999";
    }

    void okWithAValueThatIsNoWholeNumberWritesNothing() {
        QFETCH(QString, text);
        Open(Sample);
        QVERIFY(dialog->SelectPersonality("Tester"));
        const std::string before = ReadWholeFile(FilePath());
        ChoosePersonality([this, text] {
            dialog->cboxKnight->setEditText("333");  // before the bad one in the file's order
            dialog->cboxMobility->setEditText(text);
            dialog->btnOK->click();
        });
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].text, QString("Invalid Values! Default values will be used."));
        QCOMPARE(EngineValues(), Expected(StandardValues));
        QCOMPARE(ReadWholeFile(FilePath()), before);
        CheckMaterial(w->StartPosition);
    }

    // What a person types into a value box is what is used and saved, also
    // when a listed value begins with it.
    void typedValuesStayAsTyped_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");
        QTest::newRow("speed 30, 300 listed") << "cboxSpeed" << "Speed" << "30";
        QTest::newRow("blunder 5, 50 listed") << "cboxBlunder" << "Blunder" << "5";
        QTest::newRow("pawn 1, 10 listed") << "cboxPawn" << "PawnValue" << "1";
        QTest::newRow("queen 8, 800 listed") << "cboxQueen" << "QueenValue" << "8";
        QTest::newRow("positional -5, -500 listed") << "cboxPositional" << "Positional" << "-5";
        QTest::newRow("knight 10, also listed") << "cboxKnight" << "KnightValue" << "10";
    }

    void typedValuesStayAsTyped() {
        QFETCH(QString, box);
        QFETCH(QString, key);
        QFETCH(QString, typed);
        Open(Sample);
        QVERIFY(dialog->SelectPersonality("Tester"));
        auto* combo = dialog->findChild<QComboBox*>(box);
        QVERIFY(combo && combo->lineEdit());
        QString whileTyping, afterLeaving;
        ChoosePersonality([&] {
            dialog->activateWindow();
            if (QTest::qWaitForWindowActive(dialog)) {
                combo->setFocus();
                QTest::qWait(0);
                combo->lineEdit()->selectAll();
                QTest::keyClicks(combo->lineEdit(), typed);
                whileTyping = combo->currentText();
                // Leaving the box, as a person does before OK.
                QTest::keyClick(combo->lineEdit(), Qt::Key_Tab);
                afterLeaving = combo->currentText();
            }
            dialog->btnOK->click();
        });
        QCOMPARE(whileTyping, typed);
        QCOMPARE(afterLeaving, typed);
        IniDocument ini;
        QVERIFY(ini.Load(FilePath()));
        QCOMPARE(ini.ReadString("PERSONALITY2", key, ""), typed);
        const int at = static_cast<int>(std::find(std::begin(PersonalityValueKeys), std::end(PersonalityValueKeys),
                                                  key.toStdString()) - std::begin(PersonalityValueKeys));
        QCOMPARE(EngineValues()[at], typed.toInt());
    }

    // A description of a megabyte: the editor shows its beginning at once,
    // and OK and Cancel keep it in the file as it was.
    void aHugeDescriptionOpensAtOnceAndIsKept_data() {
        QTest::addColumn<QByteArray>("description");
        QTest::newRow("one word") << QByteArray(1 << 20, 'x');
        QByteArray words, lines;
        while (words.size() < (1 << 20)) words += "a word ";
        while (lines.size() < (1 << 20)) lines += "a line\\n";
        QTest::newRow("words") << words;
        QTest::newRow("lines") << lines;
    }

    void aHugeDescriptionOpensAtOnceAndIsKept() {
        QFETCH(QByteArray, description);
        Open(QByteArray("[PERSONALITY1]\nName=Wordy\nDescription=" + description +
                        "\nKnightValue=290\n\n[PERSONALITY2]\nName=Brief\nDescription=Short\n")
                 .constData());
        const QByteArray descriptionLine = "\nDescription=" + description + "\n";
        QVERIFY(dialog->SelectPersonality("Wordy"));
        const QString shown = dialog->memDescription->toPlainText();
        QVERIFY2(shown.size() < 100000, qPrintable(QString::number(shown.size())));
        QVERIFY(shown.startsWith(UnescapeLines(QString::fromLatin1(description.left(200)))));
        QVERIFY(dialog->memDescription->isReadOnly());
        QVERIFY(dialog->cboxKnight->isEnabled());

        // Shown in the window, then OK with a value changed.
        ChoosePersonality([this] {
            QVERIFY(dialog->memDescription->toPlainText().size() < 100000);
            dialog->cboxKnight->setEditText("333");
            dialog->btnOK->click();
        });
        QCOMPARE(KnightValue, 333);
        QByteArray file = QByteArray::fromStdString(ReadWholeFile(FilePath()));
        QVERIFY(file.contains(descriptionLine));
        QVERIFY(file.contains("KnightValue=333\n"));
        const std::string afterOk = file.toStdString();
        ChoosePersonality([this] { dialog->btnCancel->click(); });
        QCOMPARE(ReadWholeFile(FilePath()), afterOk);
        QVERIFY(dialog->memDescription->toPlainText().size() < 100000);

        // Another personality, or a new one, is edited as ever.
        QVERIFY(dialog->SelectPersonality("Brief"));
        QVERIFY(Editable());
        QVERIFY(dialog->SelectPersonality("Wordy"));
        boxes.typed = {QString("Fresh")};
        dialog->btnNewClick();
        QVERIFY(Editable());
        dialog->memDescription->setPlainText("New one");
        dialog->btnOKClick();
        file = QByteArray::fromStdString(ReadWholeFile(FilePath()));
        QVERIFY(file.contains(descriptionLine));
        QVERIFY(file.contains("Name=Fresh\nDescription=New one\n"));
    }

    void extremeValuesAreAppliedAsTyped() {
        Open(Sample);
        QVERIFY(dialog->SelectPersonality("Tester"));
        for (QComboBox* box : dialog->findChildren<QComboBox*>())
            if (box != dialog->cboxName) box->setEditText("-1000000");
        dialog->cboxPawn->setEditText(" +1000000 ");
        dialog->cboxSpeed->setEditText("0");
        QVERIFY(dialog->ApplySettings());
        QCOMPARE(EngineValues(), (std::vector<int>{1000000, -1000000, -1000000, -1000000, -1000000, -1000000,
                                                   -1000000, -1000000, -1000000, -1000000, 0}));
        QVERIFY(boxes.shown.empty());
    }

    void aBuiltInPersonalityIsLockedAndNeverWritten() {
        Open(QByteArray(Sample).replace("Name=Sparse", "Name=Sparse\nDefault=2"));
        QVERIFY(dialog->SelectPersonality("Morlaquin"));
        QVERIFY(!Editable());
        QVERIFY(dialog->SelectPersonality("Tester"));
        QVERIFY(Editable());
        const std::string before = ReadWholeFile(FilePath());
        // Default 1, typed over anyway: applied, not written.
        QVERIFY(dialog->SelectPersonality("Morlaquin"));
        dialog->cboxQueen->setEditText("900");
        dialog->btnOKClick();
        QCOMPARE(QueenValue, 900);
        QCOMPARE(ReadWholeFile(FilePath()), before);
        // Any other nonzero Default: editable, never written.
        QVERIFY(dialog->SelectPersonality("Sparse"));
        QVERIFY(Editable());
        dialog->cboxQueen->setEditText("800");
        dialog->btnOKClick();
        QCOMPARE(QueenValue, 800);
        QCOMPARE(ReadWholeFile(FilePath()), before);
    }

    void aWriteThatFailsIsSaid() {
        Open(Sample);
        QVERIFY(dialog->SelectPersonality("Tester"));
        dialog->PersonalityFile = dir->filePath("gone/MLPersonalities.ini");
        dialog->btnOKClick();
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].caption, QString("Error"));
        QVERIFY(boxes.shown[0].text.contains("gone/MLPersonalities.ini"));
        QCOMPARE(KnightValue, 290);  // the values are applied all the same
    }

    // On a full disk neither OK nor Delete cuts the file: it stays as it
    // was, and each says so with the file's name.
    void aFullDiskLeavesTheFileAsItWas() {
        SmallFileSystem disk;
        if (!disk.Mounted()) QSKIP(disk.Why().c_str());
        Open(Sample);
        const QString file = QString::fromStdString(disk.Path()) + "/MLPersonalities.ini";
        WriteWholeFile(file, Sample);
        dialog->PersonalityFile = file;
        QVERIFY(dialog->SelectPersonality("Tester"));
        dialog->cboxKnight->setEditText("280");
        QVERIFY(disk.Fill());
        OkAndDeleteAreRefused(file, QString::fromLocal8Bit(NoSpaceText().c_str()));
        QCOMPARE(ReadWholeFile(file), std::string(Sample));
        QCOMPARE(Items(dialog->cboxName), (QStringList{"Morlaquin", "Tester", "Sparse"}));
    }

    // A file the person made read-only (a person without an
    // administrator's rights, for whom that binds): neither OK nor Delete
    // writes it, and each says why with the file's name.
    void aReadOnlyFileIsNotWrittenAndSaid() {
        const UserFolder own("personalitytest");
        if (own.Path().empty()) QSKIP("no folder the unprivileged user can reach");
        Open(Sample);
        const QString file = QString::fromStdString(own.Path()) + "/MLPersonalities.ini";
        QVERIFY(MakeReadOnlyFile(file.toStdString(), Sample));
        dialog->PersonalityFile = file;
        QVERIFY(dialog->SelectPersonality("Tester"));
        dialog->cboxKnight->setEditText("280");
        const UnprivilegedRun run = RunUnprivileged(
            [&] { OkAndDeleteAreRefused(file, QString::fromLocal8Bit(std::strerror(EACCES))); },
            [] { return QTest::currentTestFailed(); });
        if (!run.ran) QSKIP(run.why.c_str());
        QVERIFY2(!run.failed, run.why.c_str());
        QCOMPARE(ReadWholeFile(file), std::string(Sample));
    }

    // -------------------------------------------------------- New and Delete

    void newThenCancelWritesNothingAndShowsThePreviousAgain() {
        Open(Sample);
        QVERIFY(dialog->SelectPersonality("Morlaquin"));
        ApplySettingsOf("Tester");
        const std::string before = ReadWholeFile(FilePath());
        boxes.typed = {QString("Fresh")};
        ChoosePersonality([this] {
            dialog->btnNew->click();
            QCOMPARE(dialog->cboxName->currentText(), QString("Fresh"));
            QCOMPARE(dialog->memDescription->toPlainText(), QString("Enter description here"));
            QVERIFY(Editable());
            QCOMPARE(Shown(), (std::vector<int>{90, 290, 330, 470, 950, 120, 80, 140, 60, 10, 50}));
            QVERIFY(dialog->PicturePath("Fresh").endsWith("/images/personalities/blank.jpg"));
            dialog->btnCancel->click();
        });
        QCOMPARE(boxes.inputs.size(), std::size_t{1});
        QCOMPARE(boxes.inputs[0].caption, QString("New Personality"));
        QCOMPARE(boxes.inputs[0].text, QString("Name"));
        QCOMPARE(ReadWholeFile(FilePath()), before);
        QCOMPARE(dialog->cboxName->currentText(), QString("Tester"));
        QVERIFY(Items(dialog->cboxName).contains("Fresh"));
        QCOMPARE(w->windowTitle(), QString("Morlaquin"));  // no OK, no caption
    }

    void newThenOkWritesTheFirstEmptySlot() {
        Open(Sample);
        QVERIFY(dialog->SelectPersonality("Morlaquin"));
        boxes.typed = {QString("  Fresh  ")};
        dialog->btnNewClick();
        dialog->memDescription->setPlainText("Mine");
        dialog->cboxRook->setEditText("520");
        dialog->btnOKClick();
        IniDocument ini;
        QVERIFY(ini.Load(FilePath()));
        QCOMPARE(ini.ReadString("PERSONALITY3", "Name", ""), QString("Fresh"));
        QCOMPARE(ini.ReadInteger("PERSONALITY3", "RookValue", 0), 520);
        QCOMPARE(ini.ReadInteger("PERSONALITY3", "Default", -1), -1);
        QCOMPARE(ini.ReadString("PERSONALITY3", "Description", ""), QString("Mine"));
    }

    void refusedNewNames_data() {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");  // empty: none
        QTest::newRow("cancelled") << true << "" << "";
        QTest::newRow("empty") << false << "" << "";
        QTest::newRow("blanks") << false << "   " << "A personality name cannot be empty.";
        QTest::newRow("existing") << false << "Tester" << "Personality already exists!";
        QTest::newRow("existing, with blanks") << false << " Tester " << "Personality already exists!";
        QTest::newRow("bracket") << false << "[Boss" << "A personality name cannot hold";
        QTest::newRow("closing bracket") << false << "Bo]ss" << "A personality name cannot hold";
        QTest::newRow("equals first") << false << "=Boss" << "A personality name cannot begin with";
        QTest::newRow("line break") << false << "Bo\nss" << "A personality name cannot hold";
        QTest::newRow("slash") << false << "../Boss" << "A personality name cannot hold";
        QTest::newRow("backslash") << false << "Bo\\ss" << "A personality name cannot hold";
        QTest::newRow("the empty slot's mark") << false << EMPTY_NAME_SENTINEL << "A personality name cannot be";
    }

    void refusedNewNames() {
        QFETCH(bool, cancel);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        Open(Sample);
        const QStringList before = Items(dialog->cboxName);
        boxes.typed = {cancel ? std::nullopt : std::optional<QString>(typed)};
        dialog->btnNewClick();
        QCOMPARE(Items(dialog->cboxName), before);
        if (message.isEmpty()) {
            QVERIFY(boxes.shown.empty());
        } else {
            QCOMPARE(boxes.shown.size(), std::size_t{1});
            QVERIFY2(boxes.shown[0].text.startsWith(message), qPrintable(boxes.shown[0].text));
        }
    }

    void deletingThePersonalityInUseKeepsTheEngineValues() {
        Open(Sample);
        ChoosePersonality([this] {
            QVERIFY(dialog->SelectPersonality("Tester"));
            dialog->btnOK->click();
        });
        const std::vector<int> inUse = EngineValues();
        boxes.answers = {BoxAnswer::Cancel};
        dialog->btnDeleteClick();
        QCOMPARE(Items(dialog->cboxName), (QStringList{"Morlaquin", "Tester", "Sparse"}));
        boxes.answers = {BoxAnswer::Ok};
        dialog->btnDeleteClick();
        QCOMPARE(boxes.shown.back().text, QString("Delete current personality?"));
        QVERIFY(boxes.shown.back().buttons == BoxButtons::OkCancel);
        QCOMPARE(Items(dialog->cboxName), (QStringList{"Morlaquin", "Sparse"}));
        QCOMPARE(dialog->cboxName->currentText(), QString("Morlaquin"));
        QCOMPARE(EngineValues(), inUse);
        QCOMPARE(w->windowTitle(), QString("Personality: Tester"));
        const QByteArray file = QByteArray::fromStdString(ReadWholeFile(FilePath()));
        QVERIFY(!file.contains("Tester"));
        QVERIFY(file.contains("[PERSONALITY1]\nName=Morlaquin\n"));
        QVERIFY(file.contains("\n\n[PERSONALITY4]\nName=Sparse\n"));
    }

    // -------------------------------------------------------------- pictures

    void eachNameShowsItsPicture() {
        Open(nullptr);
        const QString pictures = shippedData + "/images/personalities/";
        QCOMPARE(dialog->PicturePath("Vesper"), pictures + "Vesper.jpg");
        for (const char* name : {"Nobody", "../personalities/Vesper", "..", ".", "a\\b", ""})
            QCOMPARE(dialog->PicturePath(name), pictures + "blank.jpg");
        WriteWholeFile(FilePath(), "[PERSONALITY1]\nName=Vesper\n[PERSONALITY2]\nName=../Vesper\n");
        QVERIFY(dialog->SelectPersonality("Vesper"));
        QCOMPARE(dialog->Image1->pixmap().size(), QSize(240, 300));
        QVERIFY(dialog->SelectPersonality("../Vesper"));
        QVERIFY(!dialog->Image1->pixmap().isNull());  // blank.jpg
    }

    void brokenPicturesShowNothing_data() {
        const QByteArray good = QByteArray::fromStdString(ReadWholeFile(shippedData + "/images/personalities/Pip.jpg"));
        QVERIFY(!good.isEmpty());
        const qsizetype scan = ScanData(good);
        QVERIFY(scan > 0);
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not JPEG") << QByteArray("GIF89a this is no picture at all");
        QTest::newRow("only the start marker") << good.left(2);
        QTest::newRow("header only") << good.left(scan);
        QTest::newRow("truncated in the scan") << good.left(scan + (good.size() - scan) / 2);
        QTest::newRow("huge header") << WithFrame(good, 8, 65500, 65500);
        QTest::newRow("zero size") << WithFrame(good, 8, 0, 300);
        QTest::newRow("bad precision") << WithFrame(good, 5, 240, 300);
        QByteArray corrupt = good;
        for (qsizetype i = scan + 200; i < scan + 600; i += 2) corrupt[i] = '\xFF', corrupt[i + 1] = '\xD3';
        QTest::newRow("corrupt scan") << corrupt;
    }

    void brokenPicturesShowNothing() {
        QFETCH(QByteArray, bytes);
        QVERIFY(DecodeJpeg(bytes).isNull());
        // In the editor: no picture, no box, nothing else.
        Open(nullptr);
        const QString pictures = dir->filePath("images/personalities");
        QVERIFY(QDir().mkpath(pictures));
        QVERIFY(QFile::copy(shippedData + "/images/personalities/blank.jpg", pictures + "/blank.jpg"));
        WriteWholeFile(pictures + "/Broken.jpg", bytes.toStdString());
        WriteWholeFile(FilePath(), "[PERSONALITY1]\nName=Good\n[PERSONALITY2]\nName=Broken\nPawnValue=77\n");
        dialog->AppDir = dir->path().toStdString();
        QVERIFY(dialog->SelectPersonality("Good"));  // blank.jpg
        QVERIFY(!dialog->Image1->pixmap().isNull());
        QVERIFY(dialog->SelectPersonality("Broken"));
        QVERIFY(dialog->Image1->pixmap().isNull());
        QCOMPARE(dialog->cboxPawn->currentText(), QString("77"));
        QVERIFY(boxes.shown.empty());
    }

    void picturesDecodeAndLargeOnesAreScaled() {
        const QImage small = DecodeJpeg(EncodeJpeg(Drawing(64, 48), 95));
        QCOMPARE(small.size(), QSize(64, 48));
        QVERIFY(std::abs(QColor(small.pixel(32, 24)).red() - 200) < 16);  // the disc, within JPEG's loss
        const QImage large = DecodeJpeg(EncodeJpeg(Drawing(3000, 2000), 80));
        QCOMPARE(large.size(), QSize(750, 500));
        QVERIFY(DecodeJpeg(EncodeJpeg(Drawing(MaxJpegSide + 8, 8), 50)).isNull());
    }

    // ---------------------------------------------------------- the engine

    void theResignMessageNamesThePersonality() {
        Open(Sample);
        QVERIFY(dialog->SelectPersonality("Tester"));
        w->realClock = true;
        TimeControlType = TIME_PER_MOVE;
        if (frmLevels == nullptr) frmLevels = new TfrmLevels(w.get());
        frmLevels->cboxSecs1->setEditText("1");
        SpeedPercent = 10;
        w->SetUp("7k/8/8/8/8/8/PPPPPPPP/RNBQKBNR b KQ - 0 1");
        PositionSetUp = 1;
        ResignEnabled = true;
        for (auto& s : LastScores) s = -700;
        HumanToMove = false;
        w->ComputerMove();
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].text, QString("Congratulations, Tester resigns"));
    }

    void extremeValuesStillPlayLegalMovesInTime_data() {
        QTest::addColumn<int>("value");
        QTest::newRow("a million") << 1000000;
        QTest::newRow("zero") << 0;
        QTest::newRow("minus a million") << -1000000;
    }

    void extremeValuesStillPlayLegalMovesInTime() {
        QFETCH(int, value);
        Open(nullptr);
        for (QComboBox* box : dialog->findChildren<QComboBox*>())
            if (box != dialog->cboxName) box->setEditText(QString::number(value));
        QVERIFY(dialog->ApplySettings());
        w->RecomputeMaterial();
        PonderEnabled = false;
        UseBook = false;
        // Blitz with a few seconds left on each clock.
        TimeControlType = TIME_BLITZ;
        BlitzMinutes = 1;
        BlitzBonus = 1;
        // The program's clock moves on by 10 ms at each look, so its time
        // runs by its own work.
        w->clockStep = 10;
        w->ResetClocks();
        w->WhiteUsedMs = w->BlackUsedMs = 56000;
        for (int ply = 0; ply < 4; ++ply) {
            const std::vector<Move> legal = LegalMoves();
            QVERIFY(!legal.empty());
            const int before = w->CurrentPly;
            const i64 start = w->now;
            HumanToMove = false;
            w->ComputerMove();
            w->Timer1->stop();
            QCOMPARE(w->CurrentPly, before + 1);
            QVERIFY(std::find(legal.begin(), legal.end(), w->MoveCodes[before]) != legal.end());
            QVERIFY2(w->now - start < 2000, qPrintable(QString::number(w->now - start)));
            w->UpdateClocks();
            QVERIFY(w->WhiteLeftMs > 0 && w->BlackLeftMs > 0);
            QVERIFY(!w->WhiteFlagged && !w->BlackFlagged);
        }
        QVERIFY(boxes.shown.empty());
    }

    // ------------------------------------------------------- the shipped set

    void theShippedPersonalities() {
        IniDocument ini;
        QVERIFY(ini.Load(shippedData + "/MLPersonalities.ini"));
        Open(nullptr);
        dialog->PersonalityFile = shippedData + "/MLPersonalities.ini";
        dialog->FillNameList();
        QVERIFY(dialog->cboxName->count() >= 5);
        QCOMPARE(dialog->cboxName->itemText(0), QString("Morlaquin"));
        QVERIFY(dialog->SelectPersonality("Morlaquin"));
        QCOMPARE(Shown(), Expected(StandardValues));
        QVERIFY(!Editable());
        for (int i = 0; i < dialog->cboxName->count(); ++i) {
            const QString name = dialog->cboxName->itemText(i);
            QVERIFY(TfrmPersonality::NameProblem(name).isEmpty());
            QVERIFY2(dialog->PicturePath(name).endsWith("/" + name + ".jpg"), qPrintable(name));
            QVERIFY(dialog->SelectPersonality(name));
            QVERIFY2(!dialog->Image1->pixmap().isNull(), qPrintable(name));
            QVERIFY(dialog->ApplySettings());
            QVERIFY(SpeedPercent > 0);
        }
        QVERIFY(!ReadJpegFile(shippedData + "/images/personalities/blank.jpg").isNull());
        QVERIFY(boxes.shown.empty());
    }

private:
    void ApplySettingsOf(const QString& name) {
        QVERIFY(dialog->SelectPersonality(name));
        QVERIFY(dialog->ApplySettings());
    }
};

QTEST_MAIN(PersonalityTest)
#include "test_personality.moc"
