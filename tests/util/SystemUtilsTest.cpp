#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocale>
#include <clocale>
#include <cmath>
#include <limits>

#include "QtPrinters.h"
#include "util/SystemUtils.h"
#include "util/TDivStrings.h"

using namespace kv;

TEST(DivStrings, KeepsEmptyParts) {
    EXPECT_EQ(TDivStrings("a|b|", '|'), QStringList({"a", "b", ""}));
    EXPECT_EQ(TDivStrings("", '|'), QStringList({""}));
}

TEST(TimeText, Decimals) {
    EXPECT_EQ(TimeText(75300, 1), "0:01:15.3");
    EXPECT_EQ(TimeText(75300, 2), "0:01:15.30");
    EXPECT_EQ(TimeText(75300, 0), "0:01:15");
}

TEST(RoundHalfAway, Halves) {
    EXPECT_EQ(RoundHalfAway(2.5), 3);
    EXPECT_EQ(RoundHalfAway(-2.5), -3);
    EXPECT_EQ(RoundHalfAway(2.49), 2);
    EXPECT_EQ(RoundHalfAway(2.49995), 3);
}

TEST(HexValue, Characters) {
    EXPECT_EQ(HexValue("1f"), 31);
}

TEST(DivStrings, DelimiterAndRefill) {
    TDivStrings parts("12#A#3#", '#');
    EXPECT_EQ(parts.size(), 4);
    EXPECT_EQ(parts.Delimiter(), QChar('#'));
    parts.SetText("x");
    EXPECT_EQ(parts, QStringList({"x"}));
    EXPECT_EQ(TDivStrings("a,b"), QStringList({"a", "b"}));  // comma by default
    EXPECT_EQ(TDivStrings("||", '|'), QStringList({"", "", ""}));
}

TEST(DecimalText, WidthPadsWithZeros) {
    EXPECT_EQ(DecimalText(0), "0");
    EXPECT_EQ(DecimalText(-42), "-42");
    EXPECT_EQ(DecimalText(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(DecimalText(7, 3), "007");
    EXPECT_EQ(DecimalText(12345, 3), "12345");  // never cut
    EXPECT_EQ(DecimalText(5, 16), "5");         // outside 1..15: plain
}

TEST(TimeText, HoursMinutesAndThousandths) {
    EXPECT_EQ(TimeText(0, 0), "0:00:00");
    EXPECT_EQ(TimeText(3600000 + 61000 + 7, 3), "1:01:01.007");
    EXPECT_EQ(TimeText(999, 2), "0:00:00.99");
    EXPECT_EQ(TimeText(36 * 3600000, 0), "36:00:00");  // no wrap at a day
    EXPECT_EQ(TimeText(-1500, 1), "-0:00:01.5");
    EXPECT_EQ(TimeText(INT32_MIN, 0).left(1), "-");
    EXPECT_EQ(TimeText(1234, 7), "0:00:01");  // unknown decimals: whole seconds
}

TEST(TruncWithMargin, AbsorbsRepresentationError) {
    EXPECT_EQ(TruncWithMargin(2.999995), 3);
    EXPECT_EQ(TruncWithMargin(2.9999), 2);
    EXPECT_EQ(TruncWithMargin(-2.999995), -3);
    EXPECT_EQ(TruncWithMargin(-0.5), 0);
    EXPECT_EQ(TruncWithMargin(0.1 * 3 * 10), 3);
    EXPECT_EQ(TruncWithMargin(1e300), INT64_MAX);
    EXPECT_EQ(TruncWithMargin(-1e300), INT64_MIN);
    EXPECT_EQ(TruncWithMargin(std::nan("")), 0);
}

TEST(RoundHalfAway, NegativesSmallAndHuge) {
    EXPECT_EQ(RoundHalfAway(-2.49), -2);
    EXPECT_EQ(RoundHalfAway(-2.49995), -3);
    EXPECT_EQ(RoundHalfAway(0.0), 0);
    EXPECT_EQ(RoundHalfAway(0.49994), 0);
    EXPECT_EQ(RoundHalfAway(1.5), 2);
    EXPECT_EQ(RoundHalfAway(12.7), 13);
    EXPECT_EQ(RoundHalfAway(1e17), 100000000000000000LL);
    EXPECT_EQ(RoundHalfAway(std::numeric_limits<double>::infinity()), INT64_MAX);
}

TEST(EnsureExtension, CaseInsensitive) {
    EXPECT_EQ(EnsureExtension("box", ".DAT"), "box.DAT");
    EXPECT_EQ(EnsureExtension("box.dat", ".DAT"), "box.dat");
    EXPECT_EQ(EnsureExtension("box.txt", ".DAT"), "box.txt.DAT");
    EXPECT_EQ(EnsureExtension("/tmp/a.b/box", ".dat"), "/tmp/a.b/box.dat");
}

TEST(IntOrZero, OnlyDecimalIntegers) {
    EXPECT_EQ(IntOrZero("42"), 42);
    EXPECT_EQ(IntOrZero("-7"), -7);
    EXPECT_EQ(IntOrZero(" 5 "), 5);
    EXPECT_EQ(IntOrZero(""), 0);
    EXPECT_EQ(IntOrZero("12a"), 0);
    EXPECT_EQ(IntOrZero("1.5"), 0);
    EXPECT_EQ(IntOrZero("99999999999"), 0);  // does not fit 32 bits
}

TEST(LenientReal, CommaOrPointWhateverTheLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Russian));
    setlocale(LC_NUMERIC, "ru_RU.UTF-8");  // may be missing; then the C locale stays
    EXPECT_DOUBLE_EQ(LenientReal("20,5"), 20.5);
    EXPECT_DOUBLE_EQ(LenientReal("20.5"), 20.5);
    EXPECT_DOUBLE_EQ(LenientReal(" 200 "), 200.0);
    EXPECT_DOUBLE_EQ(LenientReal("-1,25"), -1.25);
    EXPECT_DOUBLE_EQ(LenientReal(""), 0.0);
    EXPECT_DOUBLE_EQ(LenientReal("abc"), 0.0);
    EXPECT_DOUBLE_EQ(LenientReal("1,000.5"), 0.0);  // two separators: not a number
    EXPECT_DOUBLE_EQ(LenientReal("inf"), 0.0);
    EXPECT_DOUBLE_EQ(LenientReal("nan"), 0.0);
    setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(saved);
}

TEST(HexValue, ForeignCharactersCountMinusOne) {
    EXPECT_EQ(HexValue(""), 0);
    EXPECT_EQ(HexValue("FF"), 255);
    EXPECT_EQ(HexValue("ab"), 171);
    EXPECT_EQ(HexValue("1G"), 15);    // G is worth -1
    EXPECT_EQ(HexValue("G0"), -16);   // -1 * 16
    EXPECT_EQ(HexValue("10A"), 266);  // three-character firmware versions
}

TEST(Version, OwnAndForeignFiles) {
    EXPECT_FALSE(OwnVersion().isEmpty());
    EXPECT_EQ(TDivStrings(OwnVersion(), '.').size(), 4);
    EXPECT_EQ(FileVersion(QCoreApplication::applicationFilePath()), OwnVersion());
    EXPECT_EQ(FileVersion("/bin/sh"), "0.0.0.0");
    EXPECT_EQ(FileVersion("/no/such/file"), "0.0.0.0");
    EXPECT_EQ(OwnMajorVersion(), IntOrZero(OwnVersion().section('.', 0, 0)));
}
