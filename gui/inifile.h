// INI files with the Windows profile rules: sections and keys without
// regard to case, the first matching section and key win, values trimmed,
// integers in decimal or "0x" hexadecimal. A document is read whole,
// changed key by key in memory and written back whole in one step (a
// temporary file renamed into place), keeping every other line, comment
// and the order of the file.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

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
    struct Range {
        int header = -1;  // line of the section header, -1 none
        int end = 0;      // first line after the section
    };
    Range FindSection(const QString& section) const;
    int FindKey(const Range& r, const QString& key, QByteArray* value) const;

    QString path_;
    QList<QByteArray> lines_;  // without their line ends
    QByteArray lineEnd_ = "\n";
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
