#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace kv {

// A read-only INI file with the semantics of Windows profile files, which the settings and
// language files were written for: section and key names compare without case, keys keep
// their file order (the message table counts positions), the first of duplicate keys wins,
// values are trimmed and taken literally. Lines starting with ";" are comments. The text may
// be UTF-8 (with or without BOM) or code page 1251, with LF or CR LF line ends. A value written
// inside one pair of double or single quotes is read without them, as Windows does (hand-edited
// files often quote numbers).
//
// A line without "=" inside a section counts as a key with an empty value, as on Windows, so
// that position-counted sections keep their numbering. A section that appears twice is one
// section; its later keys are added unless already present. Lines before the first section
// are ignored.
class IniFile {
public:
    IniFile() = default;

    // Reads the file; false when it cannot be read (the object is then empty).
    bool Load(const QString& path);
    // Replaces the contents by the parse of the given file bytes.
    void Parse(const QByteArray& bytes);
    static IniFile FromBytes(const QByteArray& bytes);

    bool IsEmpty() const { return sections_.empty(); }
    // Section names as first spelled in the file, in file order.
    QStringList Sections() const;
    bool HasSection(const QString& section) const;
    // Key names of a section as first spelled, in file order; empty when the section is absent.
    QStringList Keys(const QString& section) const;
    // Every value of a section in file order, repeated key names included: where only the
    // position of an entry counts (the message list), a repeated name must not shift the rest.
    QStringList AllValues(const QString& section) const;
    bool HasKey(const QString& section, const QString& key) const;
    QString Value(const QString& section, const QString& key,
                  const QString& defaultValue = QString()) const;
    // A decimal integer value (an optional sign, or a "0x"/"$" hexadecimal one); the default
    // when the key is missing or its value is not an integer.
    int IntValue(const QString& section, const QString& key, int defaultValue) const;
    // The integer reader behind IntValue: one optional sign, then decimal digits or a "0x"/"$"
    // hexadecimal number, within the range of int. False (value untouched) otherwise.
    static bool ParseInt(const QString& text, int& value);

private:
    struct Entry {
        QString key;
        QString value;
        bool first;  // the first of its name in the section: the one lookups find
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
        QHash<QString, int> index;  // folded key name -> its first entry
    };

    const Section* FindSection(const QString& name) const;
    const Entry* FindEntry(const QString& section, const QString& key) const;

    std::vector<Section> sections_;
    QHash<QString, int> sectionIndex_;  // folded section name -> position in sections_
};

}  // namespace kv
