#include "inifile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cctype>
#include <limits>

#include "filewrite.h"

namespace {

const QByteArray Bom("\xEF\xBB\xBF");

bool IsComment(const QByteArray& trimmed) { return trimmed.startsWith(';') || trimmed.startsWith('#'); }

// The section name of a header line ("[name]"), or false.
bool HeaderName(const QByteArray& line, QByteArray* name) {
    const QByteArray t = line.trimmed();
    if (!t.startsWith('[')) return false;
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
    if (!file.exists()) return true;
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
    lines_.clear();
    readable_ = true;
    modified_ = false;
    error_.clear();
    loadError_.clear();
    bom_ = text.startsWith(Bom);
    QByteArray body = bom_ ? text.mid(Bom.size()) : text;
    lineEnd_ = body.contains("\r\n") ? "\r\n" : "\n";
    if (body.isEmpty()) return;
    if (body.endsWith('\n')) body.chop(1);
    for (QByteArray& line : body.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        lines_.append(line);
    }
}

QByteArray IniDocument::Text() const {
    QByteArray out = bom_ ? Bom : QByteArray();
    for (const QByteArray& line : lines_) out += line + lineEnd_;
    return out;
}

IniDocument::Range IniDocument::FindSection(const QString& section) const {
    Range r;
    for (int i = 0; i < lines_.size(); ++i) {
        QByteArray name;
        if (!HeaderName(lines_[i], &name)) continue;
        if (r.header >= 0) {
            r.end = i;
            return r;
        }
        if (SameName(name, section)) r.header = i;
    }
    r.end = static_cast<int>(lines_.size());
    return r;
}

int IniDocument::FindKey(const Range& r, const QString& key, QByteArray* value) const {
    if (r.header < 0) return -1;
    for (int i = r.header + 1; i < r.end; ++i) {
        QByteArray k, v;
        if (KeyValue(lines_[i], &k, &v) && SameName(k, key)) {
            if (value) *value = v;
            return i;
        }
    }
    return -1;
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

bool IniDocument::SectionExists(const QString& section) const { return FindSection(section).header >= 0; }

void IniDocument::WriteString(const QString& section, const QString& key, const QString& value) {
    modified_ = true;
    const Range r = FindSection(section);
    if (r.header < 0) {
        if (!lines_.isEmpty() && !lines_.last().trimmed().isEmpty()) lines_.append(QByteArray());
        lines_.append("[" + section.toUtf8() + "]");
        lines_.append(key.toUtf8() + "=" + OneLine(value));
        return;
    }
    const int at = FindKey(r, key, nullptr);
    if (at >= 0) {
        QByteArray stored, old;
        KeyValue(lines_[at], &stored, &old);
        lines_[at] = stored + "=" + OneLine(value);
        return;
    }
    // After the section's last key (or its header), before the blank lines
    // and comments that lead to the next section.
    int last = r.header;
    for (int i = r.header + 1; i < r.end; ++i) {
        QByteArray k, v;
        if (KeyValue(lines_[i], &k, &v)) last = i;
    }
    lines_.insert(last + 1, key.toUtf8() + "=" + OneLine(value));
}

void IniDocument::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void IniDocument::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniDocument::EraseSection(const QString& section) {
    const Range r = FindSection(section);
    if (r.header < 0) return;
    int last = r.header;
    for (int i = r.header + 1; i < r.end; ++i) {
        const QByteArray t = lines_[i].trimmed();
        if (!t.isEmpty() && !IsComment(t)) last = i;
    }
    int stop = last + 1;
    while (stop < r.end && lines_[stop].trimmed().isEmpty()) ++stop;
    lines_.remove(r.header, stop - r.header);
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
