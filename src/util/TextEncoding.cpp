#include "util/TextEncoding.h"

#include <QStringDecoder>
#include <array>

namespace kv {

namespace {

// Code page 1251, bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<char16_t, 64> kHigh1251 = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

char16_t Cp1251ToUnicode(unsigned char b) {
    if (b < 0x80) {
        return b;
    }
    if (b < 0xC0) {
        return kHigh1251[b - 0x80];
    }
    return static_cast<char16_t>(0x0410 + (b - 0xC0));
}

bool StartsWith(const QByteArray& b, std::initializer_list<unsigned char> prefix) {
    if (b.size() < static_cast<qsizetype>(prefix.size())) {
        return false;
    }
    qsizetype i = 0;
    for (unsigned char c : prefix) {
        if (static_cast<unsigned char>(b[i++]) != c) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool TextEncoding::IsValidUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len = 0;
        uint32_t cp = 0;
        uint32_t min = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (i + len > n) {
            return false;
        }
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += len;
    }
    return true;
}

QString TextEncoding::FromCp1251(const QByteArray& bytes) {
    QString s(bytes.size(), Qt::Uninitialized);
    QChar* out = s.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out[i] = QChar(Cp1251ToUnicode(static_cast<unsigned char>(bytes[i])));
    }
    return s;
}

QByteArray TextEncoding::ToCp1251(const QString& text, char replacement) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80) {
            out.append(static_cast<char>(u));
            continue;
        }
        if (u >= 0x0410 && u <= 0x044F) {
            out.append(static_cast<char>(0xC0 + (u - 0x0410)));
            continue;
        }
        char mapped = replacement;
        for (size_t k = 0; k < kHigh1251.size(); ++k) {
            if (kHigh1251[k] == u) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        out.append(mapped);
    }
    return out;
}

QString TextEncoding::Decode(const QByteArray& bytes, Kind* found) {
    Kind kind = Kind::Utf8;
    QString text;
    if (StartsWith(bytes, {0xEF, 0xBB, 0xBF})) {
        // A marked file that is not valid UTF-8 after all still decodes, with replacements.
        text = QString::fromUtf8(bytes.mid(3));
    } else if (StartsWith(bytes, {0xFF, 0xFE})) {
        kind = Kind::Utf16LE;
        text = QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
    } else if (StartsWith(bytes, {0xFE, 0xFF})) {
        kind = Kind::Utf16BE;
        text = QStringDecoder(QStringDecoder::Utf16BE)(bytes.mid(2));
    } else if (IsValidUtf8(bytes)) {
        text = QString::fromUtf8(bytes);
    } else {
        kind = Kind::Cp1251;
        text = FromCp1251(bytes);
    }
    if (found) {
        *found = kind;
    }
    return text;
}

}  // namespace kv
