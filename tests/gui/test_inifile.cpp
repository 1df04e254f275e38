// The INI module against files edited by hand: what reads back, what a
// write keeps of the rest of the file, and how the file is replaced.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <random>
#include <vector>

#include "gui_fixture.h"
#include "inifile.h"
#include "smallfs.h"

namespace {

// Edited by hand: blanks, case, hexadecimal, duplicates, comments, keys
// before any section, broken numbers.
const char* const HandEdited =
    "; Saved by hand\n"
    "Stray=before any section\n"
    "\n"
    "[Settings]\n"
    "  Board = 3  \n"
    "hashsize=0x20\n"
    "Font=0X00ff00\n"
    "Bad=12abc\n"
    "Neg=-42\n"
    "Plus=+7\n"
    "Big=99999999999\n"
    "Empty=\n"
    "Eq=a=b=c\n"
    "HexBad=0xZZ\n"
    "HexOnly=0x\n"
    "Ponder=0\n"
    "; Sounds=0\n"
    "# Coordinates=0\n"
    "no equals sign here\n"
    "[settings]\n"
    "Board=5\n"
    "Extra=1\n"
    "\n"
    "[ Level ]\n"
    "Personality =  Magpie the Great  \n"
    "Type=5\n"
    "Personality=Second\n";

// A generated file of many sections, and what it holds: for each section
// name (case-folded) the keys of each of its sections in file order (key
// case-folded, the first of a key, value trimmed). Names come again in other
// case, some with blanks inside the brackets, some not ASCII; line ends are
// mixed, and there are comments, blank lines, repeated keys and a key before
// any section.
struct GeneratedFile {
    QByteArray text;
    QStringList names;  // as written, once per section
    std::map<QString, std::vector<std::map<QString, QString>>> sections;
};

GeneratedFile ManySections(int count) {
    std::mt19937 rng(31);
    const char* const ends[] = {"\n", "\r\n", "\r"};
    GeneratedFile g;
    auto line = [&](const QString& text) { g.text += text.toUtf8() + ends[rng() % 3]; };
    line("; generated");
    line("Name=before any section");
    for (int i = 0; i < count; ++i) {
        QString name = i % 10 == 9  ? g.names[rng() % g.names.size()]
                       : i % 7 == 3 ? QString("\u00c4rger %1").arg(i)
                                    : QString("PERSONALITY%1").arg(i);
        if (rng() % 3 == 0) name = name.toLower();
        if (rng() % 3 == 0) name = name.toUpper();
        g.names.append(name);
        line(rng() % 4 == 0 ? "[ " + name + " ]" : "[" + name + "]");
        std::map<QString, QString> keys;
        auto key = [&](const QString& k, const QString& v, const QString& written) {
            line(written);
            keys.try_emplace(k.toCaseFolded(), v);
        };
        key("Name", QString("N%1").arg(i), QString("Name=N%1").arg(i));
        if (rng() % 5 == 0) line("; Speed=1");
        key("Speed", QString::number(i % 300), QString("  speed = %1 ").arg(i % 300));
        if (rng() % 5 == 0) key("NAME", "second", "NAME=second");
        if (rng() % 3 == 0) line("");
        g.sections[name.toCaseFolded()].push_back(keys);
    }
    return g;
}

// Changes written as "w|section|key|value" or "e|section".
void Apply(IniDocument* ini, const QStringList& changes) {
    for (const QString& change : changes) {
        const QStringList f = change.split('|');
        if (f[0] == "w")
            ini->WriteString(f[1], f[2], f[3]);
        else
            ini->EraseSection(f[1]);
    }
}

}  // namespace

class IniFileTest : public QObject {
    Q_OBJECT

private slots:
    void readsOfAHandEditedFile_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");  // as text, default "?"
        QTest::addColumn<int>("number");    // as integer, default 7
        QTest::newRow("blanks round key and value") << "Settings" << "Board" << "3" << 3;
        QTest::newRow("names without regard to case") << "SETTINGS" << "board" << "3" << 3;
        QTest::newRow("hexadecimal") << "Settings" << "HashSize" << "0x20" << 32;
        QTest::newRow("hexadecimal, capital X") << "Settings" << "Font" << "0X00ff00" << 0xFF00;
        QTest::newRow("not a number") << "Settings" << "Bad" << "12abc" << 7;
        QTest::newRow("negative") << "Settings" << "Neg" << "-42" << -42;
        QTest::newRow("plus sign") << "Settings" << "Plus" << "+7" << 7;
        QTest::newRow("beyond 32 bits") << "Settings" << "Big" << "99999999999" << 7;
        QTest::newRow("empty value") << "Settings" << "Empty" << "" << 7;
        QTest::newRow("the rest after the first =") << "Settings" << "Eq" << "a=b=c" << 7;
        QTest::newRow("bad hexadecimal") << "Settings" << "HexBad" << "0xZZ" << 7;
        QTest::newRow("prefix alone") << "Settings" << "HexOnly" << "0x" << 7;
        QTest::newRow("commented out") << "Settings" << "Sounds" << "?" << 7;
        QTest::newRow("commented out with #") << "Settings" << "Coordinates" << "?" << 7;
        QTest::newRow("only in the second section of a name") << "Settings" << "Extra" << "?" << 7;
        QTest::newRow("before any section") << "Settings" << "Stray" << "?" << 7;
        QTest::newRow("blanks inside the brackets") << "level" << "PERSONALITY" << "Magpie the Great" << 7;
        QTest::newRow("section after a duplicate") << "Level" << "Type" << "5" << 5;
        QTest::newRow("missing section") << "Nowhere" << "Board" << "?" << 7;
        QTest::newRow("missing key") << "Settings" << "Missing" << "?" << 7;
    }

    void readsOfAHandEditedFile() {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(int, number);
        // The same with Windows line ends and a byte-order mark.
        for (const QByteArray& file :
             {QByteArray(HandEdited), QByteArray("\xEF\xBB\xBF") + QByteArray(HandEdited).replace("\n", "\r\n")}) {
            IniDocument ini;
            ini.SetText(file);
            QCOMPARE(ini.ReadString(section, key, "?"), text);
            QCOMPARE(ini.ReadInteger(section, key, 7), number);
        }
    }

    void booleansAreNonzeroIntegers() {
        IniDocument ini;
        ini.SetText(HandEdited);
        QVERIFY(!ini.ReadBool("Settings", "Ponder", true));
        QVERIFY(ini.ReadBool("Settings", "Board", false));
        QVERIFY(ini.ReadBool("Settings", "Neg", false));
        QVERIFY(ini.ReadBool("Settings", "Missing", true));
        QVERIFY(!ini.ReadBool("Settings", "Bad", false));
        QVERIFY(ini.SectionExists("LEVEL"));
        QVERIFY(!ini.SectionExists("Nowhere"));
    }

    void writesKeepTheRestOfTheFile_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("changes");  // "w|section|key|value" or "e|section"
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("a value changed in place")
            << QByteArray("; top\n[A]\nx=1 ; stays part of the value\n; note\ny=2\n\n[B]\nz=3\n")
            << QStringList{"w|A|y|5"}
            << QByteArray("; top\n[A]\nx=1 ; stays part of the value\n; note\ny=5\n\n[B]\nz=3\n");
        QTest::newRow("the key keeps its spelling") << QByteArray("[A]\n  Key = 1\n") << QStringList{"w|a|KEY|2"}
                                                    << QByteArray("[A]\nKey=2\n");
        QTest::newRow("a new key after the section's last")
            << QByteArray("[A]\nx=1\n\n; about B\n[B]\nz=3\n") << QStringList{"w|A|y|2", "w|B|w|4"}
            << QByteArray("[A]\nx=1\ny=2\n\n; about B\n[B]\nz=3\nw=4\n");
        QTest::newRow("a new key in a section with none") << QByteArray("[A]\n[B]\nz=3\n")
                                                          << QStringList{"w|A|k|v"}
                                                          << QByteArray("[A]\nk=v\n[B]\nz=3\n");
        QTest::newRow("a new section at the end") << QByteArray("[A]\nx=1\n") << QStringList{"w|C|k|v", "w|C|l|w"}
                                                  << QByteArray("[A]\nx=1\n\n[C]\nk=v\nl=w\n");
        QTest::newRow("an empty file") << QByteArray() << QStringList{"w|A|k|v"} << QByteArray("[A]\nk=v\n");
        QTest::newRow("the first of two sections") << QByteArray("[A]\nk=1\n[a]\nk=2\n") << QStringList{"w|A|k|9"}
                                                   << QByteArray("[A]\nk=9\n[a]\nk=2\n");
        QTest::newRow("a key before any section is not the section's")
            << QByteArray("k=1\n[A]\n") << QStringList{"w|A|k|2"} << QByteArray("k=1\n[A]\nk=2\n");
        QTest::newRow("erased with its lines, the next section's comment kept")
            << QByteArray("[A]\nx=1\n\n[B]\ny=2\n; inside B\nz=3\n\n; about C\n[C]\nw=4\n")
            << QStringList{"e|b"} << QByteArray("[A]\nx=1\n\n; about C\n[C]\nw=4\n");
        QTest::newRow("the last section erased") << QByteArray("[A]\nx=1\n\n[B]\ny=2\n") << QStringList{"e|B"}
                                                 << QByteArray("[A]\nx=1\n\n");
        QTest::newRow("erasing a missing section") << QByteArray("[A]\nx=1\n") << QStringList{"e|B"}
                                                   << QByteArray("[A]\nx=1\n");
        QTest::newRow("Windows line ends kept") << QByteArray("[A]\r\nx=1\r\n") << QStringList{"w|A|y|2"}
                                                << QByteArray("[A]\r\nx=1\r\ny=2\r\n");
        QTest::newRow("byte-order mark kept") << QByteArray("\xEF\xBB\xBF[A]\nx=1\n") << QStringList{"w|A|x|2"}
                                              << QByteArray("\xEF\xBB\xBF[A]\nx=2\n");
        QTest::newRow("a last line without its end") << QByteArray("[A]\nx=1") << QStringList{"w|A|x|2"}
                                                     << QByteArray("[A]\nx=2");
        QTest::newRow("a line break in a value") << QByteArray("[A]\n") << QStringList{"w|A|k|one\ntwo\r\nthree"}
                                                 << QByteArray("[A]\nk=one two  three\n");
        QTest::newRow("bytes that are not UTF-8 stay as they were")
            << QByteArray("; caf\xE9\n[A]\nname=Jos\xE9\n") << QStringList{"w|A|k|\u00e9"}
            << QByteArray("; caf\xE9\n[A]\nname=Jos\xE9\nk=\xC3\xA9\n");
    }

    void writesKeepTheRestOfTheFile() {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, changes);
        QFETCH(QByteArray, after);
        IniDocument ini;
        ini.SetText(before);
        Apply(&ini, changes);
        QCOMPARE(ini.Text(), after);
    }

    // Files saved again and again: each line keeps its own end, a new line
    // takes the end most lines have. The changes are made at every save;
    // from the second on they change nothing, and the file stays as the
    // first save left it.
    void lineEndsKeptThroughSaves_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("changes");  // as above
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("nothing changed")
            << QByteArray("; mine\r\n[Settings]\nBoard=1\r\n\r\nFont=2\rHashSize=4") << QStringList{"w|Settings|Board|1"}
            << QByteArray("; mine\r\n[Settings]\nBoard=1\r\n\r\nFont=2\rHashSize=4");
        QTest::newRow("one CRLF line in an LF file")
            << QByteArray("[Settings]\nBoard=1\r\nFont=2\nHashSize=4\n")
            << QStringList{"w|Settings|Board|3", "w|Settings|Ponder|0", "w|Level|Type|5"}
            << QByteArray("[Settings]\nBoard=3\r\nFont=2\nHashSize=4\nPonder=0\n\n[Level]\nType=5\n");
        QTest::newRow("a last line ending in a lone CR")
            << QByteArray("[Settings]\nBoard=1\nFont=2\r") << QStringList{"w|Settings|HashSize|4", "w|Level|Type|6"}
            << QByteArray("[Settings]\nBoard=1\nFont=2\rHashSize=4\n\n[Level]\nType=6\n");
        QTest::newRow("a lone CR ends a line anywhere")
            << QByteArray("[A]\rx=1\ry=2\r") << QStringList{"w|A|y|5", "w|a|z|3"}
            << QByteArray("[A]\rx=1\ry=5\rz=3\r");
        QTest::newRow("a Windows file gets Windows lines")
            << QByteArray("[A]\r\nx=1\r\n") << QStringList{"w|B|y|2", "w|A|w|3"}
            << QByteArray("[A]\r\nx=1\r\nw=3\r\n\r\n[B]\r\ny=2\r\n");
        QTest::newRow("CR CR LF")
            << QByteArray("[A]\r\r\nx=1\r\r\n") << QStringList{"w|A|x|2", "w|A|y|3"}
            << QByteArray("[A]\r\r\nx=2\ry=3\r\n\r\n");
        QTest::newRow("a byte-order mark and no end at the end")
            << QByteArray("\xEF\xBB\xBF[A]\r\nx=1") << QStringList{"w|A|x|5"}
            << QByteArray("\xEF\xBB\xBF[A]\r\nx=5");
        QTest::newRow("a line added after the last, which had no end")
            << QByteArray("\xEF\xBB\xBF[A]\r\nx=1") << QStringList{"w|A|y|2"}
            << QByteArray("\xEF\xBB\xBF[A]\r\nx=1\r\ny=2\r\n");
        QTest::newRow("duplicate sections in other case: the first changed")
            << QByteArray("[level]\r\nType=4\r\n[LEVEL]\nType=5\n") << QStringList{"w|Level|Type|7"}
            << QByteArray("[level]\r\nType=7\r\n[LEVEL]\nType=5\n");
        QTest::newRow("an erased section between others")
            << QByteArray("[A]\r\nx=1\r\n\r\n[B]\ny=2\n\n; about C\r\n[C]\rw=4\r")
            << QStringList{"e|b", "w|C|v|5"}
            << QByteArray("[A]\r\nx=1\r\n\r\n; about C\r\n[C]\rw=4\rv=5\r\n");
        QTest::newRow("the first of two erased, the second found")
            << QByteArray("[A]\nk=1\n[a]\r\nk=2") << QStringList{"e|A", "w|A|k|3"} << QByteArray("[a]\r\nk=3");
    }

    void lineEndsKeptThroughSaves() {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, changes);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath("Morlaquin.ini");
        WriteWholeFile(path, before.toStdString());
        for (int save = 1; save <= 3; ++save) {
            IniDocument ini;
            QVERIFY(ini.Load(path));
            // Erasing happens once; writing the same again changes nothing.
            Apply(&ini, save == 1 ? changes : changes.filter(QRegularExpression("^w\\|")));
            QVERIFY(ini.Commit());
            QCOMPARE(QByteArray::fromStdString(ReadWholeFile(path)), after);
        }
    }

    void writtenValuesReadBack() {
        IniDocument ini;
        ini.WriteInteger("Settings", "Font", 8421376);
        ini.WriteInteger("Settings", "Neg", -5);
        ini.WriteBool("Settings", "Ponder", false);
        ini.WriteString("Level", "Personality", "  Rowan  ");
        IniDocument back;
        back.SetText(ini.Text());
        QCOMPARE(back.ReadInteger("Settings", "Font", 0), 8421376);
        QCOMPARE(back.ReadInteger("Settings", "Neg", 0), -5);
        QVERIFY(!back.ReadBool("Settings", "Ponder", true));
        QCOMPARE(back.ReadString("Level", "Personality", ""), QString("Rowan"));
    }

    void aCommitReplacesTheFileWhole() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.ini");
        WriteWholeFile(path, "; kept\n[A]\nx=1\n");
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));

        IniDocument ini;
        QVERIFY(ini.Load(path));
        QCOMPARE(ini.ReadInteger("A", "x", 0), 1);
        ini.WriteInteger("A", "x", 2);
        ini.WriteInteger("B", "y", 3);
        QVERIFY(ini.Modified());
        QVERIFY(ini.Commit());
        QVERIFY(!ini.Modified());
        QCOMPARE(ReadWholeFile(path), std::string("; kept\n[A]\nx=2\n\n[B]\ny=3\n"));
        // A new file was renamed into place: the old one, still open, is whole.
        QCOMPARE(old.readAll(), QByteArray("; kept\n[A]\nx=1\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"t.ini"});
    }

    // A missing file, and a link to a file not made yet: the document is
    // empty, and the first commit makes the file (through the link).
    void aMissingFileIsEmptyAndMadeByTheFirstCommit_data() {
        QTest::addColumn<bool>("link");
        QTest::newRow("a missing file") << false;
        QTest::newRow("a link to a missing file") << true;
    }

    void aMissingFileIsEmptyAndMadeByTheFirstCommit() {
        QFETCH(bool, link);
        QTemporaryDir dir;
        const QString target = dir.filePath("new.ini");
        const QString path = link ? dir.filePath("link.ini") : target;
        if (link) QVERIFY(QFile::link(target, path));
        IniDocument ini;
        QVERIFY2(ini.Load(path), qPrintable(ini.ErrorString()));
        QCOMPARE(ini.ReadString("A", "x", "default"), QString("default"));
        QVERIFY(ini.Commit());  // nothing changed, nothing written
        QVERIFY(!QFile::exists(target));
        ini.WriteString("A", "x", "1");
        QVERIFY2(ini.Commit(), qPrintable(ini.ErrorString()));
        QCOMPARE(ReadWholeFile(target), std::string("[A]\nx=1\n"));
        QCOMPARE(QFileInfo(path).isSymLink(), link);
    }

    void failuresAreReportedAndChangeNothing() {
        QTemporaryDir dir;
        // A folder where the file should be: it cannot be read, so it is
        // not replaced.
        const QString folder = dir.filePath("folder.ini");
        QVERIFY(QDir().mkdir(folder));
        IniDocument unreadable;
        QVERIFY(!unreadable.Load(folder));
        QVERIFY(!unreadable.ErrorString().isEmpty());
        unreadable.WriteString("A", "x", "1");
        QVERIFY(!unreadable.Commit());
        QVERIFY(unreadable.ErrorString().contains(folder));
        QVERIFY(QFileInfo(folder).isDir());

        // A file that cannot be written (its folder is gone).
        IniDocument lost;
        QVERIFY(lost.Load(dir.filePath("gone/x.ini")));
        lost.WriteString("A", "x", "1");
        QVERIFY(!lost.Commit());
        QVERIFY(lost.ErrorString().contains("gone/x.ini"));
        QVERIFY(lost.Modified());

        // Too large to be an INI file of ours.
        const QString large = dir.filePath("large.ini");
        {
            QFile f(large);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(IniDocument::MaxFileBytes + 1));
        }
        IniDocument big;
        QVERIFY(!big.Load(large));
        big.WriteString("A", "x", "1");
        QVERIFY(!big.Commit());
        QCOMPARE(QFileInfo(large).size(), IniDocument::MaxFileBytes + 1);
        // The reason is the real one.
        QVERIFY2(big.ErrorString().contains("too large"), qPrintable(big.ErrorString()));
        QVERIFY(big.ErrorString().contains(large));
    }

    // On a full disk a commit fails and the file is as it was, whatever its
    // size: nothing free at all, or one page free for a file larger than it.
    void aFullDiskLeavesTheFileAsItWas_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("freeBytes");
        QTest::newRow("a small file, nothing free") << 83 << 0;
        QTest::newRow("a larger file, one page free") << 9492 << 4096;
        QTest::newRow("a file past the write buffer, nothing free") << 20000 << 0;
    }

    void aFullDiskLeavesTheFileAsItWas() {
        QFETCH(int, size);
        QFETCH(int, freeBytes);
        SmallFileSystem disk(256);
        if (!disk.Mounted()) QSKIP(disk.Why().c_str());
        const QString path = QString::fromStdString(disk.Path()) + "/Morlaquin.ini";
        std::string text = "; my note\n[Settings]\n";
        for (int i = 0; text.size() < static_cast<std::size_t>(size); ++i) text += "Key" + std::to_string(i) + "=1\n";
        text.resize(size - 1);
        text += '\n';
        WriteWholeFile(path, text);
        QVERIFY(disk.Fill(freeBytes));

        IniDocument ini;
        QVERIFY(ini.Load(path));
        ini.WriteString("Settings", "Extra", QString(2 * size, 'v'));
        QVERIFY(!ini.Commit());
        QVERIFY(ini.ErrorString().contains(path));
        QVERIFY2(ini.ErrorString().contains(QString::fromLocal8Bit(NoSpaceText().c_str())), qPrintable(ini.ErrorString()));
        QCOMPARE(ReadWholeFile(path), text);
        QCOMPARE(QDir(QString::fromStdString(disk.Path())).entryList(QDir::Files), QStringList{"Morlaquin.ini"});

        // With room again the same document is written.
        disk.Empty();
        QVERIFY(ini.Commit());
        IniDocument back;
        QVERIFY(back.Load(path));
        QCOMPARE(back.ReadString("Settings", "Extra", ""), QString(2 * size, 'v'));
        QCOMPARE(back.ReadString("Settings", "Key0", ""), QString("1"));
    }

    // A value that begins with a byte-order mark of its own (the file has
    // none) reads the same before and after it is written back.
    void aValueReadsTheSameAfterARoundTrip_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("a mark and a blank") << QByteArray("\xEF\xBB\xBF 3");
        QTest::newRow("a mark alone") << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("a mark and a word") << QByteArray("\xEF\xBB\xBFRowan");
        QTest::newRow("a mark inside") << QByteArray("a\xEF\xBB\xBF b");
        QTest::newRow("two marks") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF 3");
    }

    void aValueReadsTheSameAfterARoundTrip() {
        QFETCH(QByteArray, value);
        IniDocument ini;
        ini.SetText("[A]\nk=" + value + "\n");
        const QString read = ini.ReadString("A", "k", "missing");
        ini.WriteString("A", "k", read);
        IniDocument back;
        back.SetText(ini.Text());
        QCOMPARE(back.ReadString("A", "k", "missing"), read);
        QCOMPARE(back.Text(), QByteArray("[A]\nk=" + value + "\n"));
    }

    void severalLinesInOneValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("value");
        QTest::newRow("two lines") << "one\ntwo" << "one\\ntwo";
        QTest::newRow("Windows line ends") << "one\r\ntwo" << "one\\ntwo";
        QTest::newRow("backslashes") << "C:\\new\\n" << "C:\\\\new\\\\n";
        QTest::newRow("an empty line") << "a\n\nb" << "a\\n\\nb";
        QTest::newRow("a backslash at the end") << "end\\" << "end\\\\";
        QTest::newRow("plain") << "plain text" << "plain text";
    }

    void severalLinesInOneValue() {
        QFETCH(QString, text);
        QFETCH(QString, value);
        QCOMPARE(EscapeLines(text), value);
        QCOMPARE(UnescapeLines(value), QString(text).replace("\r\n", "\n"));
        IniDocument ini;
        ini.WriteString("A", "Description", EscapeLines(text));
        IniDocument back;
        back.SetText(ini.Text());
        QCOMPARE(UnescapeLines(back.ReadString("A", "Description", "")), QString(text).replace("\r\n", "\n"));
    }

    // Tens of thousands of sections: every look-up answers as the file says,
    // the first section of a name and its first key; and after changes the
    // answers are those of the changed text read afresh.
    void aLargeFileAnswersEveryLookUp() {
        const GeneratedFile g = ManySections(30000);
        IniDocument ini;
        ini.SetText(g.text);
        for (const QString& name : g.names) {
            const std::map<QString, QString>& first = g.sections.at(name.toCaseFolded()).front();
            QCOMPARE(ini.ReadString(name, "name", "?"), first.at("name"));
            QCOMPARE(ini.ReadInteger(name.toLower(), "SPEED", -1), first.at("speed").toInt());
            QCOMPARE(ini.ReadString(name, "Missing", "?"), QString("?"));
        }
        QVERIFY(!ini.SectionExists("PERSONALITY30000"));
        QCOMPARE(ini.ReadString("", "Name", "?"), QString("?"));  // the key before any section

        // A section whose name comes again, erased: the next of that name answers.
        QString twice;
        for (const auto& [name, list] : g.sections)
            if (list.size() > 1 && twice.isEmpty()) twice = name;
        QVERIFY(!twice.isEmpty());
        ini.EraseSection(twice.toUpper());
        QCOMPARE(ini.ReadString(twice, "Name", "?"), g.sections.at(twice)[1].at("name"));
        // Keys added early in the file move every later section.
        ini.WriteString(g.names[1], "Added", "1");
        ini.WriteString(g.names[2], "Speed", "999");
        ini.WriteString("A new one", "k", "v");
        ini.EraseSection(g.names[5]);
        IniDocument afresh;
        afresh.SetText(ini.Text());
        for (const QString& name : g.names + QStringList{"A new one"}) {
            QCOMPARE(ini.SectionExists(name), afresh.SectionExists(name));
            for (const char* key : {"Name", "Speed", "Added", "k"})
                QCOMPARE(ini.ReadString(name, key, "?"), afresh.ReadString(name, key, "?"));
        }
        QCOMPARE(ini.ReadString(g.names[1], "added", "?"), QString("1"));
        QCOMPARE(ini.ReadString("a NEW one", "K", "?"), QString("v"));
    }

    void backslashesWrittenByHandReadAsThemselves() {
        QCOMPARE(UnescapeLines("C:\\temp\\x"), QString("C:\\temp\\x"));
        QCOMPARE(UnescapeLines("ends in \\"), QString("ends in \\"));
    }
};

QTEST_MAIN(IniFileTest)
#include "test_inifile.moc"
