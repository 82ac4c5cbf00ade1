#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "util/TextEncoding.h"

using namespace kv;

namespace {
const QString kRussian = QString::fromUtf8("Ошибка преобразователя ёЁ №");
}

TEST(TextEncoding, Cp1251RoundTripsRussian) {
    const QByteArray bytes = TextEncoding::ToCp1251(kRussian);
    EXPECT_EQ(bytes.size(), kRussian.size());
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xCE);  // О
    EXPECT_EQ(TextEncoding::FromCp1251(bytes), kRussian);
    EXPECT_EQ(TextEncoding::ToCp1251(QString::fromUtf8("a☺b")), "a?b");
}

TEST(TextEncoding, EveryCp1251ByteDecodesToOneCharacter) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all.append(static_cast<char>(b));
    }
    const QString s = TextEncoding::FromCp1251(all);
    ASSERT_EQ(s.size(), 256);
    EXPECT_EQ(s.at(0xA8), QChar(0x0401));  // Ё
    EXPECT_EQ(s.at(0xB8), QChar(0x0451));  // ё
    EXPECT_EQ(s.at(0xFF), QChar(0x044F));  // я
    EXPECT_EQ(s.at(0x88), QChar(0x20AC));  // €
    EXPECT_EQ(TextEncoding::ToCp1251(s), all);
}

TEST(TextEncoding, DecodePicksUtf8Or1251) {
    TextEncoding::Kind kind{};
    EXPECT_EQ(TextEncoding::Decode(kRussian.toUtf8(), &kind), kRussian);
    EXPECT_EQ(kind, TextEncoding::Kind::Utf8);
    EXPECT_EQ(TextEncoding::Decode(TextEncoding::ToCp1251(kRussian), &kind), kRussian);
    EXPECT_EQ(kind, TextEncoding::Kind::Cp1251);
    EXPECT_EQ(TextEncoding::Decode("\xEF\xBB\xBF" + kRussian.toUtf8(), &kind), kRussian);
    EXPECT_EQ(kind, TextEncoding::Kind::Utf8);
    EXPECT_EQ(TextEncoding::Decode("plain", &kind), "plain");
    EXPECT_EQ(kind, TextEncoding::Kind::Utf8);
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(QByteArray(reinterpret_cast<const char*>(kRussian.utf16()), kRussian.size() * 2));
    EXPECT_EQ(TextEncoding::Decode(utf16, &kind), kRussian);
    EXPECT_EQ(kind, TextEncoding::Kind::Utf16LE);
}

TEST(TextEncoding, StrictUtf8) {
    EXPECT_TRUE(TextEncoding::IsValidUtf8(""));
    EXPECT_TRUE(TextEncoding::IsValidUtf8("\xF0\x9F\x98\x80"));   // U+1F600
    EXPECT_FALSE(TextEncoding::IsValidUtf8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(TextEncoding::IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(TextEncoding::IsValidUtf8("\xD0"));              // cut sequence
    EXPECT_FALSE(TextEncoding::IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    // "Ок" in 1251 is C E E A: C E happens to look like a 2-byte lead, E E does not continue.
    EXPECT_FALSE(TextEncoding::IsValidUtf8("\xCE\xEA"));
}
