#include "timecode/Timecode.h"

#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "timecode/LtcTestSignal.h"

namespace kv {
namespace {

TEST(TimecodeTest, FrameNumbersRoundTripAtEveryRateAcrossMinutesAndMidnight) {
    for (TimecodeRate rate :
         {TimecodeRate::Fps24, TimecodeRate::Fps25, TimecodeRate::Fps2997Df, TimecodeRate::Fps30}) {
        const long long perDay = TimecodeFrameNumber(Timecode{24, 0, 0, 0}, rate);
        for (long long n : {0LL, 1LL, 1799LL, 1800LL, 17981LL, 17982LL, 107891LL, perDay - 1}) {
            const Timecode tc = TimecodeOfFrame(n, rate);
            EXPECT_TRUE(IsValidTimecode(tc, rate)) << FormatTimecode(tc).toStdString();
            EXPECT_EQ(TimecodeFrameNumber(tc, rate), n) << RateText(rate).toStdString() << " " << n;
        }
        EXPECT_EQ(TimecodeOfFrame(perDay, rate), TimecodeOfFrame(0, rate));
    }
}

TEST(TimecodeTest, DropFrameSkipsTwoNumbersEachMinuteButEveryTenth) {
    const TimecodeRate df = TimecodeRate::Fps2997Df;
    EXPECT_EQ(TimecodeOfFrame(1800, df), (Timecode{0, 1, 0, 2, true}));
    EXPECT_FALSE(IsValidTimecode(Timecode{0, 1, 0, 0, true}, df));
    EXPECT_TRUE(IsValidTimecode(Timecode{0, 10, 0, 0, true}, df));
    // An hour of drop-frame timecode is an hour of wall time within 4 ms.
    EXPECT_NEAR(TimecodeMs(Timecode{1, 0, 0, 0, true}, df), 3600000.0, 4.0);
}

TEST(TimecodeTest, DistanceWrapsAtMidnightBothWays) {
    const TimecodeRate r = TimecodeRate::Fps25;
    const double before = TimecodeMs(Timecode{23, 59, 59, 0}, r);
    const double after = TimecodeMs(Timecode{0, 0, 1, 0}, r);
    EXPECT_DOUBLE_EQ(TimecodeDistanceMs(before, after, r), 2000.0);
    EXPECT_DOUBLE_EQ(TimecodeDistanceMs(after, before, r), -2000.0);
}

TEST(TimecodeTest, ParsesAndFormatsTheDeckNotation) {
    EXPECT_EQ(ParseTimecode(QStringLiteral("00:59:50:00")), (Timecode{0, 59, 50, 0, false}));
    EXPECT_EQ(ParseTimecode(QStringLiteral("01:00:00;02")), (Timecode{1, 0, 0, 2, true}));
    EXPECT_FALSE(ParseTimecode(QStringLiteral("24:00:00:00")));
    EXPECT_FALSE(ParseTimecode(QStringLiteral("00:60:00:00")));
    EXPECT_FALSE(ParseTimecode(QStringLiteral("00:00:00:30")));
    EXPECT_FALSE(ParseTimecode(QStringLiteral("1:2:3")));
    EXPECT_EQ(FormatTimecode(Timecode{1, 2, 3, 4, true}), QStringLiteral("01:02:03;04"));
}

}  // namespace
}  // namespace kv
