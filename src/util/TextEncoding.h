#pragma once

#include <QByteArray>
#include <QString>

namespace kv {

// Decoding of the text files we read. Settings, language and script files come from Windows
// installations in either UTF-8 or the Cyrillic code page 1251; there is no marker telling which,
// so text that is valid UTF-8 is taken as UTF-8 and anything else as 1251.
class TextEncoding {
public:
    enum class Kind { Utf8, Cp1251, Utf16LE, Utf16BE };

    // Decodes a whole file's bytes. A UTF-8 or UTF-16 byte order mark is honoured and dropped.
    // found, when given, receives the encoding that was used.
    static QString Decode(const QByteArray& bytes, Kind* found = nullptr);

    // Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no cut sequence.
    static bool IsValidUtf8(const QByteArray& bytes);

    // Every byte maps to one character (the one unassigned byte 0x98 maps to U+0098).
    static QString FromCp1251(const QByteArray& bytes);
    // Characters outside the code page become replacement.
    static QByteArray ToCp1251(const QString& text, char replacement = '?');
};

}  // namespace kv
