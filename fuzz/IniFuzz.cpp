// The INI reader of the settings and language files on any file contents: every section and
// key it reports can be looked up again, whatever the encoding, line ends or duplicates.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdlib>

#include "util/IniFile.h"
#include "util/TextEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)kv::TextEncoding::Decode(bytes);
    const kv::IniFile ini = kv::IniFile::FromBytes(bytes);
    const QStringList sections = ini.Sections();
    if (ini.IsEmpty() != sections.isEmpty()) {
        std::abort();
    }
    for (const QString& section : sections) {
        if (!ini.HasSection(section) || !ini.HasSection(section.toUpper())) {
            std::abort();
        }
        for (const QString& key : ini.Keys(section)) {
            if (!ini.HasKey(section, key)) {
                std::abort();
            }
            // A present key gives its value (trimmed, so never this default).
            if (ini.Value(section, key, QStringLiteral(" absent ")) == QStringLiteral(" absent ")) {
                std::abort();
            }
            (void)ini.IntValue(section, key, 0);
        }
    }
    // The language file's lookup: messages by position in "strings".
    (void)ini.Keys(QStringLiteral("strings")).size();
    return 0;
}
