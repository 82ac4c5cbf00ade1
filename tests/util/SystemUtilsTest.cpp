#include <gtest/gtest.h>

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

TEST(HexValue, Characters) { EXPECT_EQ(HexValue("1f"), 31); }
