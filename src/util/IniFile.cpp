#include "util/IniFile.h"

#include <QFile>
#include <limits>

#include "util/TextEncoding.h"

namespace kv {

namespace {

// Upper-cased first: a ligature such as U+FB14 upper-cases to two letters, and simple case
// folding alone would then tell the name and its upper-case spelling apart.
QString Fold(const QString& name) {
    return name.toUpper().toCaseFolded();
}

// One pair of matching quotes around the whole value is dropped, as the Windows profile reader
// does; a lone or unmatched quote stays.
QString Unquoted(const QString& value) {
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QChar('"') || first == QChar('\'')) && value.back() == first) {
            return value.mid(1, value.size() - 2);
        }
    }
    return value;
}

}  // namespace

bool IniFile::Load(const QString& path) {
    sections_.clear();
    sectionIndex_.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return false;
    }
    Parse(f.readAll());
    return true;
}

IniFile IniFile::FromBytes(const QByteArray& bytes) {
    IniFile ini;
    ini.Parse(bytes);
    return ini;
}

void IniFile::Parse(const QByteArray& bytes) {
    sections_.clear();
    sectionIndex_.clear();
    const QString text = TextEncoding::Decode(bytes);
    int current = -1;
    // Split at LF; a CR before it (or a lone CR line end of old editors) is trimmed with the
    // rest of the white space.
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(QChar('\r'), QChar('\n'));
    const QStringList lines = normalised.split(QChar('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QChar(';'))) {
            continue;
        }
        if (line.startsWith(QChar('['))) {
            qsizetype close = line.indexOf(QChar(']'));
            if (close < 0) {
                close = line.size();
            }
            const QString name = line.mid(1, close - 1).trimmed();
            const QString folded = Fold(name);
            const auto found = sectionIndex_.constFind(folded);
            if (found != sectionIndex_.cend()) {
                current = found.value();
            } else {
                current = static_cast<int>(sections_.size());
                sections_.push_back(Section{name, {}, {}});
                sectionIndex_.insert(folded, current);
            }
            continue;
        }
        if (current < 0) {
            continue;
        }
        Section& section = sections_[static_cast<size_t>(current)];
        const qsizetype eq = line.indexOf(QChar('='));
        const QString key = (eq < 0 ? line : line.left(eq)).trimmed();
        const QString value = eq < 0 ? QString() : Unquoted(line.mid(eq + 1).trimmed());
        const QString folded = Fold(key);
        const int position = static_cast<int>(section.entries.size());
        // Looked up by hash: a file of a hundred thousand keys must not take a pass per key.
        const bool first = !section.index.contains(folded);
        if (first) {
            section.index.insert(folded, position);
        }
        section.entries.push_back(Entry{key, value, first});
    }
}

const IniFile::Section* IniFile::FindSection(const QString& name) const {
    const auto found = sectionIndex_.constFind(Fold(name.trimmed()));
    return found == sectionIndex_.cend() ? nullptr : &sections_[static_cast<size_t>(found.value())];
}

const IniFile::Entry* IniFile::FindEntry(const QString& section, const QString& key) const {
    const Section* s = FindSection(section);
    if (!s) {
        return nullptr;
    }
    const auto found = s->index.constFind(Fold(key.trimmed()));
    return found == s->index.cend() ? nullptr : &s->entries[static_cast<size_t>(found.value())];
}

QStringList IniFile::Sections() const {
    QStringList out;
    for (const Section& s : sections_) {
        out << s.name;
    }
    return out;
}

bool IniFile::HasSection(const QString& section) const {
    return FindSection(section) != nullptr;
}

QStringList IniFile::Keys(const QString& section) const {
    QStringList out;
    if (const Section* s = FindSection(section)) {
        out.reserve(static_cast<qsizetype>(s->index.size()));
        for (const Entry& e : s->entries) {
            if (e.first) {
                out << e.key;
            }
        }
    }
    return out;
}

QStringList IniFile::AllValues(const QString& section) const {
    QStringList out;
    if (const Section* s = FindSection(section)) {
        out.reserve(static_cast<qsizetype>(s->entries.size()));
        for (const Entry& e : s->entries) {
            out << e.value;
        }
    }
    return out;
}

bool IniFile::HasKey(const QString& section, const QString& key) const {
    return FindEntry(section, key) != nullptr;
}

QString IniFile::Value(const QString& section, const QString& key,
                       const QString& defaultValue) const {
    const Entry* e = FindEntry(section, key);
    return e ? e->value : defaultValue;
}

bool IniFile::ParseInt(const QString& text, int& value) {
    QStringView t(text);
    bool negative = false;
    if (!t.isEmpty() && (t.front() == QChar('-') || t.front() == QChar('+'))) {
        negative = t.front() == QChar('-');
        t = t.mid(1);
    }
    int base = 10;
    if (t.startsWith(QChar('$'))) {
        base = 16;
        t = t.mid(1);
    } else if (t.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t = t.mid(2);
    }
    if (t.isEmpty()) {
        return false;
    }
    // Digits only from here (a second sign is no number), summed in a wide type and checked
    // against the range before anything is negated.
    const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int>::min())
                                   : std::numeric_limits<int>::max();
    int64_t magnitude = 0;
    for (const QChar c : t) {
        const int digit = c.isDigit() ? c.digitValue()
                          : base == 16 && c.toLower() >= QChar('a') && c.toLower() <= QChar('f')
                              ? c.toLower().unicode() - 'a' + 10
                              : -1;
        if (digit < 0 || digit >= base || c.unicode() > 0x7F) {
            return false;
        }
        magnitude = magnitude * base + digit;
        if (magnitude > limit) {
            return false;
        }
    }
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

int IniFile::IntValue(const QString& section, const QString& key, int defaultValue) const {
    const Entry* e = FindEntry(section, key);
    int v = defaultValue;
    if (!e || !ParseInt(e->value, v)) {
        return defaultValue;
    }
    return v;
}

}  // namespace kv
