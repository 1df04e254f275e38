// INI files with the Windows profile rules: sections and keys without
// regard to case, the first matching section and key win, values trimmed,
// integers in decimal or "0x" hexadecimal. A document is read whole,
// changed key by key in memory and written back whole through the file
// layer (which refuses a file this process may not write), keeping every
// other line, comment and the order of the file. A line ends in LF, CRLF or a lone CR (the
// file's last line may have no end); each line keeps its own end, and a new
// line takes the end most lines of the file have (LF when none has one).
//
// The text is split into lines and sections once, when it is read: a look-up
// finds its section through an index of the section names, so reading a
// file of any number of sections key by key takes time in proportion to it.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

class IniDocument {
public:
    // Reads the file. A missing file is an empty document (true). A file
    // that exists but cannot be read (or is no regular file, or is larger
    // than MaxFileBytes) gives false with the reason in ErrorString(); the
    // document is then empty and Commit refuses to replace the file.
    bool Load(const QString& path);
    // The document holds the text, as read from a file at path.
    void SetText(const QByteArray& text, const QString& path = QString());
    // The file as Commit writes it.
    QByteArray Text() const;
    QString Path() const { return path_; }

    // A missing key, or one whose value is no number, reads as def.
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // The integer value is not 0.
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    bool SectionExists(const QString& section) const;

    // The key's line is rewritten in place; a missing key goes at the end of
    // its section, a missing section at the end of the file. Line breaks in
    // a value become blanks (a value is one line).
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    // Removes the section's header and its lines (comments after its last
    // key stay: they introduce what follows).
    void EraseSection(const QString& section);

    // Something was changed since the document was read.
    bool Modified() const { return modified_; }
    // Replaces the file whole with the document when it was changed. False
    // with the reason in ErrorString(); the file is then as it was.
    bool Commit();
    QString ErrorString() const { return error_; }

    static constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

private:
    enum class LineEnd : unsigned char { None, Lf, CrLf, Cr };
    struct Line {
        QByteArray text;  // without its end
        LineEnd end;
    };
    // A section's lines: its header, then up to the next header or the end.
    struct Section {
        int header;
        int end;      // first line after the section
        QString key;  // its name as the index holds it
    };

    // The section of the name (the first of several), or -1.
    int FindSection(const QString& section) const;
    int FindKey(int section, const QString& key, QByteArray* value) const;
    // Line changes that keep the sections' ranges and the index right: a
    // line inserted into a section, a line at the end of the file, and the
    // lines of a section from its header up to a line removed (those after
    // it join the section before).
    void InsertLine(int section, int at, const QByteArray& text);
    void AppendLine(const QByteArray& text);
    void RemoveLines(int section, int to);
    // A section of the header line that ends the file (in the index too
    // when indexed).
    void AddSection(bool indexed);
    void RebuildIndex();

    QString path_;
    QByteArray text_;          // as read: the unchanged lines are views into it
    std::vector<Line> lines_;
    LineEnd newEnd_ = LineEnd::Lf;  // the end of a new line
    std::vector<Section> sections_;  // in file order
    QHash<QString, int> index_;      // section name -> first section of it
    bool bom_ = false;
    bool readable_ = true;
    bool modified_ = false;
    QString error_;
    QString loadError_;  // why Load failed
};

// Text of several lines in one value and back: a line break is written
// "\n" and a backslash "\\"; any other backslash reads as itself.
QString EscapeLines(const QString& text);
QString UnescapeLines(const QString& value);
