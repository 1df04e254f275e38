#include "inifile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <limits>

#include "filewrite.h"

namespace {

const QByteArray Bom("\xEF\xBB\xBF");

bool IsComment(const QByteArray& trimmed) { return trimmed.startsWith(';') || trimmed.startsWith('#'); }

// A blank as trimmed() takes it.
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The section name of a header line ("[name]"), or false.
bool HeaderName(const QByteArray& line, QByteArray* name) {
    qsizetype first = 0;
    while (first < line.size() && IsBlank(line[first])) ++first;
    if (first == line.size() || line[first] != '[') return false;
    const QByteArray t = line.trimmed();
    const qsizetype close = t.indexOf(']');
    *name = (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
    return true;
}

// The key and value of a "key=value" line, or false.
bool KeyValue(const QByteArray& line, QByteArray* key, QByteArray* value) {
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || IsComment(t) || t.startsWith('[')) return false;
    const qsizetype eq = t.indexOf('=');
    if (eq <= 0) return false;
    *key = t.left(eq).trimmed();
    *value = t.mid(eq + 1).trimmed();
    return !key->isEmpty();
}

// A value as stored; a byte-order mark at its start is part of it, so it is
// written back as it was read.
QString ValueText(const QByteArray& value) {
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decode(value);
}

bool SameName(const QByteArray& stored, const QString& wanted) {
    return QString::fromUtf8(stored).compare(wanted, Qt::CaseInsensitive) == 0;
}

// A name as the section index holds it: names that SameName takes for one
// give the same key (each character case-folded on its own, as the
// comparison does; ASCII directly).
QString NameKey(const QString& name) {
    QString key(name.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (c >= 0x80) return name.toCaseFolded();
        key[i] = QChar(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    return key;
}

QString NameKey(const QByteArray& name) {
    for (const char c : name)
        if (static_cast<unsigned char>(c) >= 0x80) return QString::fromUtf8(name).toCaseFolded();
    return NameKey(QString::fromLatin1(name));
}

bool ParseInteger(const QByteArray& text, int* out) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const QByteArray digits = text.mid(2);
        if (digits.size() > 8) return false;
        for (char c : digits)
            if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        *out = static_cast<int>(static_cast<unsigned>(digits.toUInt(nullptr, 16)));
        return true;
    }
    qsizetype i = (text.startsWith('-') || text.startsWith('+')) ? 1 : 0;
    if (i == text.size()) return false;
    for (qsizetype j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9') return false;
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
    *out = static_cast<int>(v);
    return true;
}

QByteArray OneLine(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ').replace('\n', ' ');
    return bytes;
}

QString TooLarge(const QString& path) {
    return QString("%1 is too large (more than %2 MB)").arg(path).arg(IniDocument::MaxFileBytes / (1024 * 1024));
}

}  // namespace

bool IniDocument::Load(const QString& path) {
    SetText(QByteArray(), path);
    QFile file(path);
    // No file, or a link to one not made yet: an empty document.
    struct stat st{};
    if (stat(QFile::encodeName(path).constData(), &st) != 0 && errno == ENOENT) return true;
    const QFileInfo info(path);
    if (!info.isFile())
        error_ = QString("%1 is not a file").arg(path);
    else if (info.size() > MaxFileBytes)
        error_ = TooLarge(path);
    else if (!file.open(QIODevice::ReadOnly))
        error_ = QString("%1: %2").arg(path, file.errorString());
    if (error_.isEmpty()) {
        const QByteArray text = file.read(MaxFileBytes + 1);
        if (file.error() != QFileDevice::NoError)
            error_ = QString("%1: %2").arg(path, file.errorString());
        else if (text.size() > MaxFileBytes)  // grown since it was measured
            error_ = TooLarge(path);
        else
            SetText(text, path);
    }
    readable_ = error_.isEmpty();
    loadError_ = error_;
    return readable_;
}

void IniDocument::SetText(const QByteArray& text, const QString& path) {
    path_ = path;
    text_ = text;
    lines_.clear();
    sections_.clear();
    index_.clear();
    readable_ = true;
    modified_ = false;
    error_.clear();
    loadError_.clear();
    bom_ = text_.startsWith(Bom);
    std::size_t counts[4] = {};
    const char* p = text_.constData() + (bom_ ? Bom.size() : 0);
    const char* const stop = text_.constData() + text_.size();
    lines_.reserve(std::count(p, stop, '\n') + 1);
    while (p < stop) {
        const char* q = p;
        while (q < stop && *q != '\n' && *q != '\r') ++q;
        LineEnd end = LineEnd::None;
        const char* next = q;
        if (q < stop) {
            end = *q == '\n' ? LineEnd::Lf : (q + 1 < stop && q[1] == '\n') ? LineEnd::CrLf : LineEnd::Cr;
            next = q + (end == LineEnd::CrLf ? 2 : 1);
        }
        ++counts[static_cast<int>(end)];
        // A view: the text stays in text_ until the line is changed.
        lines_.push_back({QByteArray::fromRawData(p, q - p), end});
        if (!sections_.empty()) sections_.back().end = static_cast<int>(lines_.size());
        AddSection(false);
        p = next;
    }
    RebuildIndex();
    newEnd_ = LineEnd::Lf;
    for (LineEnd e : {LineEnd::CrLf, LineEnd::Cr})
        if (counts[static_cast<int>(e)] > counts[static_cast<int>(newEnd_)]) newEnd_ = e;
}

QByteArray IniDocument::Text() const {
    static const QByteArray endText[] = {"", "\n", "\r\n", "\r"};
    QByteArray out = bom_ ? Bom : QByteArray();
    out.reserve(text_.size() + 64);
    for (const Line& line : lines_) out.append(line.text).append(endText[static_cast<int>(line.end)]);
    return out;
}

void IniDocument::AddSection(bool indexed) {
    const int at = static_cast<int>(lines_.size()) - 1;
    QByteArray name;
    if (!HeaderName(lines_[at].text, &name)) return;
    const QString key = NameKey(name);
    if (!sections_.empty()) sections_.back().end = at;
    sections_.push_back({at, at + 1, key});
    if (indexed && !index_.contains(key)) index_.insert(key, static_cast<int>(sections_.size()) - 1);
}

void IniDocument::RebuildIndex() {
    index_.clear();
    index_.reserve(static_cast<qsizetype>(sections_.size()));
    // From the last: the first section of a name is the one that stays.
    for (int s = static_cast<int>(sections_.size()) - 1; s >= 0; --s) index_.insert(sections_[s].key, s);
}

int IniDocument::FindSection(const QString& section) const { return index_.value(NameKey(section), -1); }

int IniDocument::FindKey(int section, const QString& key, QByteArray* value) const {
    if (section < 0) return -1;
    const Section& s = sections_[section];
    for (int i = s.header + 1; i < s.end; ++i) {
        QByteArray k, v;
        if (KeyValue(lines_[i].text, &k, &v) && SameName(k, key)) {
            if (value) *value = v;
            return i;
        }
    }
    return -1;
}

void IniDocument::InsertLine(int section, int at, const QByteArray& text) {
    // A last line that had no end gets one before the new line.
    if (at > 0 && lines_[at - 1].end == LineEnd::None) lines_[at - 1].end = newEnd_;
    lines_.insert(lines_.begin() + at, Line{text, newEnd_});
    ++sections_[section].end;
    for (std::size_t s = section + 1; s < sections_.size(); ++s) {
        ++sections_[s].header;
        ++sections_[s].end;
    }
}

void IniDocument::AppendLine(const QByteArray& text) {
    if (!lines_.empty() && lines_.back().end == LineEnd::None) lines_.back().end = newEnd_;
    lines_.push_back({text, newEnd_});
    if (!sections_.empty()) sections_.back().end = static_cast<int>(lines_.size());
    AddSection(true);
}

void IniDocument::RemoveLines(int section, int to) {
    const int from = sections_[section].header;
    lines_.erase(lines_.begin() + from, lines_.begin() + to);
    const int removed = to - from;
    if (section > 0) sections_[section - 1].end = sections_[section].end - removed;
    sections_.erase(sections_.begin() + section);
    for (std::size_t s = section; s < sections_.size(); ++s) {
        sections_[s].header -= removed;
        sections_[s].end -= removed;
    }
    RebuildIndex();
}

QString IniDocument::ReadString(const QString& section, const QString& key, const QString& def) const {
    QByteArray value;
    if (FindKey(FindSection(section), key, &value) < 0) return def;
    return ValueText(value);
}

int IniDocument::ReadInteger(const QString& section, const QString& key, int def) const {
    QByteArray value;
    int n = 0;
    if (FindKey(FindSection(section), key, &value) < 0 || !ParseInteger(value, &n)) return def;
    return n;
}

bool IniDocument::ReadBool(const QString& section, const QString& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool IniDocument::SectionExists(const QString& section) const { return FindSection(section) >= 0; }

void IniDocument::WriteString(const QString& section, const QString& key, const QString& value) {
    modified_ = true;
    const int s = FindSection(section);
    if (s < 0) {
        if (!lines_.empty() && !lines_.back().text.trimmed().isEmpty()) AppendLine(QByteArray());
        AppendLine("[" + section.toUtf8() + "]");
        AppendLine(key.toUtf8() + "=" + OneLine(value));
        return;
    }
    const int at = FindKey(s, key, nullptr);
    if (at >= 0) {
        QByteArray stored, old;
        KeyValue(lines_[at].text, &stored, &old);
        lines_[at].text = stored + "=" + OneLine(value);
        return;
    }
    // After the section's last key (or its header), before the blank lines
    // and comments that lead to the next section.
    int last = sections_[s].header;
    for (int i = last + 1; i < sections_[s].end; ++i) {
        QByteArray k, v;
        if (KeyValue(lines_[i].text, &k, &v)) last = i;
    }
    InsertLine(s, last + 1, key.toUtf8() + "=" + OneLine(value));
}

void IniDocument::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void IniDocument::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniDocument::EraseSection(const QString& section) {
    const int s = FindSection(section);
    if (s < 0) return;
    const Section& r = sections_[s];
    int last = r.header;
    for (int i = r.header + 1; i < r.end; ++i) {
        const QByteArray t = lines_[i].text.trimmed();
        if (!t.isEmpty() && !IsComment(t)) last = i;
    }
    int stop = last + 1;
    while (stop < r.end && lines_[stop].text.trimmed().isEmpty()) ++stop;
    RemoveLines(s, stop);
    modified_ = true;
}

bool IniDocument::Commit() {
    error_.clear();
    if (!modified_) return true;
    if (!readable_) {
        error_ = loadError_ + ", so it is not replaced";
        return false;
    }
    std::string reason;
    const QByteArray text = Text();
    if (!ReplaceFileWhole(QFile::encodeName(path_).toStdString(), std::string_view(text.constData(), text.size()),
                          &reason)) {
        error_ = QString("%1: %2").arg(path_, QString::fromLocal8Bit(reason));
        return false;
    }
    modified_ = false;
    return true;
}

QString EscapeLines(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r') {
            out += "\\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

QString UnescapeLines(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && (value[i + 1] == 'n' || value[i + 1] == '\\')) {
            out += value[i + 1] == 'n' ? QChar('\n') : QChar('\\');
            ++i;
        } else {
            out += value[i];
        }
    }
    return out;
}
