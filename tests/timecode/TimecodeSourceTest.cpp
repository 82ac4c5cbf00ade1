#include <gtest/gtest.h>

#include "FakeClock.h"
#include "TempDir.h"
#include "core/Clock.h"
#include "timecode/LtcTestSignal.h"
#include "timecode/TimecodeFollower.h"
#include "timecode/TimecodeScan.h"
#include "timecode/WavTimecodeSource.h"

namespace kv {
namespace {

using test::LtcTestSignal;

TEST(WavTimecodeSourceTest, PlaysTheFileInRealTimeAndKeepsCountingAfterItsEnd) {
    TempDir dir;
    LtcTestSignal signal(48000, TimecodeRate::Fps25);
    signal.AppendTimecode(Timecode{0, 59, 59, 0}, 50);  // two seconds
    const QString path = dir.file(QStringLiteral("ltc.wav"));
    ASSERT_TRUE(signal.WriteWav(path, 2, 1));

    FakeClock clock(1000);
    ScopedClock use(clock);
    WavTimecodeSource source;
    ASSERT_TRUE(source.Open(path, 1)) << source.Error().toStdString();
    ASSERT_TRUE(source.Start());
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{1, 0, 0, 0};
    TimecodeFollower follower(source.SampleRate(), settings);
    follower.Arm({0, 500});
    std::vector<int> fired;
    int64_t now = 0;
    int frames = 0;
    for (int tick = 0; tick < 300; ++tick) {  // three seconds of 10 ms polls
        clock.Advance(10);
        for (const LtcFrame& f : source.Poll(now)) {
            // Never a frame from the future: it ends before "now".
            EXPECT_LT(f.endSample, now);
            ++frames;
            follower.OnFrame(f);
        }
        EXPECT_EQ(now, (tick + 1) * 480);
        for (const TimecodeEvent& e : follower.Update(now)) {
            if (e.kind == TimecodeEventKind::CueFired) {
                fired.push_back(e.cue);
                // 500 ms into the show is 1.5 s into the file.
                if (e.cue == 1) {
                    EXPECT_NEAR(static_cast<double>(now), 1.5 * 48000, 480);
                }
            }
        }
    }
    EXPECT_TRUE(source.AtEnd());
    EXPECT_GE(frames, 48);
    EXPECT_EQ(fired, (std::vector<int>{0, 1}));
    EXPECT_EQ(follower.Signal(), TimecodeSignal::Freewheeling);
}

TEST(WavTimecodeSourceTest, ANonexistentChannelOrFileIsRefusedWithItsReason) {
    TempDir dir;
    LtcTestSignal signal(44100, TimecodeRate::Fps30);
    signal.AppendTimecode(Timecode{}, 10);
    const QString path = dir.file(QStringLiteral("mono.wav"));
    ASSERT_TRUE(signal.WriteWav(path, 1, 0));
    WavTimecodeSource source;
    EXPECT_FALSE(source.Open(path, 1));
    EXPECT_TRUE(source.Error().contains(QStringLiteral("no channel 2")));
    EXPECT_FALSE(source.Start());
    EXPECT_FALSE(source.Open(dir.file(QStringLiteral("none.wav")), 0));
}

TEST(TimecodeScanTest, ReportsRateEndsDropoutsAndJumpsOfARecording) {
    TempDir dir;
    LtcTestSignal signal(48000, TimecodeRate::Fps2997Df);
    const double start = TimecodeMs(Timecode{0, 59, 59, 0, true}, TimecodeRate::Fps2997Df);
    signal.AppendTimecodeAt(start, 3000);
    signal.AppendSilence(1000);
    signal.AppendTimecodeAt(start + 4000, 2000);
    signal.AppendTimecodeAt(start + 60000, 2000);
    signal.AppendTimecodeAt(start + 1000, 1000);
    const QString path = dir.file(QStringLiteral("show.wav"));
    ASSERT_TRUE(signal.WriteWav(path, 2, 0));
    TimecodeScan scan(48000);
    QString error;
    ASSERT_TRUE(TimecodeScan::ScanFile(path, 0, scan, error)) << error.toStdString();
    const QStringList report = scan.Report();
    SCOPED_TRACE(report.join(QLatin1Char('\n')).toStdString());
    EXPECT_EQ(scan.Rate(), TimecodeRate::Fps2997Df);
    ASSERT_TRUE(scan.First());
    EXPECT_EQ(scan.First()->timecode, (Timecode{0, 59, 59, 0, true}));
    ASSERT_EQ(scan.Dropouts().size(), 1u);
    EXPECT_NEAR(scan.Dropouts()[0].atMs, 3000, 40);
    EXPECT_NEAR(scan.Dropouts()[0].lengthMs, 1000, 40);
    // A dropout over which the timecode ran on is no jump; the two cuts are.
    ASSERT_EQ(scan.Jumps().size(), 2u);
    EXPECT_NEAR(scan.Jumps()[0].atMs, 6000, 40);
    EXPECT_NEAR(scan.Jumps()[1].atMs, 8000, 40);
    EXPECT_EQ(report.value(0), QStringLiteral("rate 29.97df"));
    EXPECT_TRUE(report.value(1).startsWith(QStringLiteral("first 00:59:59;00 at 0.0")));

    // The silent channel carries nothing.
    ASSERT_TRUE(TimecodeScan::ScanFile(path, 1, scan, error));
    EXPECT_EQ(scan.Frames(), 0);
    EXPECT_EQ(scan.Report(), QStringList{QStringLiteral("no timecode")});
}

}  // namespace
}  // namespace kv
