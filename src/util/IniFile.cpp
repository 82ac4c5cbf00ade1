#include "util/IniFile.h"

#include <QFile>

#include "util/TextEncoding.h"

namespace kv {

namespace {

QString Fold(const QString& name) {
    return name.toCaseFolded();
}

}  // namespace

bool IniFile::Load(const QString& path) {
    sections_.clear();
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
    const QString text = TextEncoding::Decode(bytes);
    Section* current = nullptr;
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
            current = nullptr;
            for (Section& s : sections_) {
                if (s.folded == folded) {
                    current = &s;
                    break;
                }
            }
            if (!current) {
                sections_.push_back(Section{name, folded, {}});
                current = &sections_.back();
            }
            continue;
        }
        if (!current) {
            continue;
        }
        const qsizetype eq = line.indexOf(QChar('='));
        const QString key = (eq < 0 ? line : line.left(eq)).trimmed();
        const QString value = eq < 0 ? QString() : line.mid(eq + 1).trimmed();
        const QString folded = Fold(key);
        bool duplicate = false;
        for (const Entry& e : current->entries) {
            if (e.folded == folded) {
                duplicate = true;
                break;
            }
        }
        if (!duplicate) {
            current->entries.push_back(Entry{key, folded, value});
        }
    }
}

const IniFile::Section* IniFile::FindSection(const QString& name) const {
    const QString folded = Fold(name.trimmed());
    for (const Section& s : sections_) {
        if (s.folded == folded) {
            return &s;
        }
    }
    return nullptr;
}

const IniFile::Entry* IniFile::FindEntry(const QString& section, const QString& key) const {
    const Section* s = FindSection(section);
    if (!s) {
        return nullptr;
    }
    const QString folded = Fold(key.trimmed());
    for (const Entry& e : s->entries) {
        if (e.folded == folded) {
            return &e;
        }
    }
    return nullptr;
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
        for (const Entry& e : s->entries) {
            out << e.key;
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

int IniFile::IntValue(const QString& section, const QString& key, int defaultValue) const {
    const Entry* e = FindEntry(section, key);
    if (!e) {
        return defaultValue;
    }
    QString t = e->value;
    bool ok = false;
    int v = 0;
    bool negative = false;
    if (t.startsWith(QChar('-'))) {
        negative = true;
        t = t.mid(1);
    } else if (t.startsWith(QChar('+'))) {
        t = t.mid(1);
    }
    if (t.startsWith(QChar('$'))) {
        v = t.mid(1).toInt(&ok, 16);
    } else if (t.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        v = t.mid(2).toInt(&ok, 16);
    } else if (!t.isEmpty() && t.at(0).isDigit()) {
        v = t.toInt(&ok, 10);
    }
    if (!ok) {
        return defaultValue;
    }
    return negative ? -v : v;
}

}  // namespace kv
