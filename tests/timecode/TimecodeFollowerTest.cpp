#include "timecode/TimecodeFollower.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "timecode/LtcDecoder.h"
#include "timecode/LtcTestSignal.h"

namespace kv {
namespace {

using test::LtcTestSignal;

constexpr int kRate = 48000;
constexpr int kChunk = 480;  // 10 ms: a capture period

// What a show following the signal did: the events with the sample they came at.
struct ShowRun {
    std::vector<std::pair<int64_t, TimecodeEvent>> events;
    std::vector<int> fired;
    std::vector<int> skipped;
    std::map<int, int64_t> firedAt;
    TimecodeShowPhase phase = TimecodeShowPhase::Idle;

    int Count(TimecodeEventKind kind) const {
        return static_cast<int>(std::count_if(
            events.begin(), events.end(), [kind](const auto& e) { return e.second.kind == kind; }));
    }
};

// The capture path without a device: the signal decoded a period at a time, each frame given
// to the follower, the clock moved after every period, and silence after the signal's end.
ShowRun Follow(const LtcTestSignal& signal, const std::vector<int>& cues,
               TimecodeFollowerSettings settings, double afterMs = 500, int offsetMs = 0) {
    LtcDecoder decoder(kRate);
    TimecodeFollower follower(kRate, settings);
    follower.SetOffsetMs(offsetMs);
    follower.Arm(cues);
    ShowRun run;
    const auto take = [&run](int64_t at, const std::vector<TimecodeEvent>& events) {
        for (const TimecodeEvent& e : events) {
            run.events.emplace_back(at, e);
            if (e.kind == TimecodeEventKind::CueFired) {
                run.fired.push_back(e.cue);
                run.firedAt[e.cue] = at;
            } else if (e.kind == TimecodeEventKind::CueSkipped) {
                run.skipped.push_back(e.cue);
            }
        }
    };
    const std::vector<float>& s = signal.Samples();
    const int64_t end = signal.Size() + static_cast<int64_t>(afterMs * kRate / 1000);
    for (int64_t at = 0; at < end; at += kChunk) {
        if (at < signal.Size()) {
            const size_t n = static_cast<size_t>(std::min<int64_t>(kChunk, signal.Size() - at));
            decoder.Feed(s.data() + at, n, at);
            for (const LtcFrame& f : decoder.TakeFrames()) {
                take(at + kChunk, follower.OnFrame(f));
            }
        }
        take(at + kChunk, follower.Update(at + kChunk));
    }
    run.phase = follower.Phase();
    return run;
}

double Ms(const Timecode& tc, TimecodeRate rate) {
    return TimecodeMs(tc, rate);
}

// Each fired cue went out within one capture period after the sent timecode reached it (and
// not before it, beyond the edge detector's jitter): at its time, not at the next frame edge.
void ExpectOnTime(const ShowRun& run, const LtcTestSignal& signal, const std::vector<int>& cues,
                  double zeroMs, const std::vector<int>& which, int offsetMs = 0) {
    for (int i : which) {
        ASSERT_TRUE(run.firedAt.count(i)) << "cue " << i;
        const int64_t ideal = signal.SampleOfTimecodeMs(zeroMs + cues[i] - offsetMs);
        ASSERT_GE(ideal, 0) << "cue " << i;
        const double lateMs = static_cast<double>(run.firedAt.at(i) - ideal) * 1000.0 / kRate;
        EXPECT_GE(lateMs, -1.0) << "cue " << i;
        EXPECT_LE(lateMs, 1000.0 * kChunk / kRate + 1.0) << "cue " << i;
    }
}

const std::vector<int> kAll6{0, 1, 2, 3, 4, 5};

TEST(TimecodeFollowerTest, StartsAtTheZeroAndFiresEveryCueOnTimeAtEveryRate) {
    for (TimecodeRate rate :
         {TimecodeRate::Fps24, TimecodeRate::Fps25, TimecodeRate::Fps2997Df, TimecodeRate::Fps30}) {
        SCOPED_TRACE(RateText(rate).toStdString());
        const bool df = rate == TimecodeRate::Fps2997Df;
        TimecodeFollowerSettings settings;
        settings.showZero = Timecode{1, 0, 0, 0, df};
        const double zero = Ms(settings.showZero, rate);
        LtcTestSignal signal(kRate, rate);
        signal.AppendTimecodeAt(zero - 2000, 12000);
        const std::vector<int> cues{0, 40, 1000, 1010, 5000, 9500};
        const ShowRun run = Follow(signal, cues, settings);
        EXPECT_EQ(run.fired, kAll6);
        EXPECT_TRUE(run.skipped.empty());
        EXPECT_EQ(run.Count(TimecodeEventKind::Locked), 1);
        EXPECT_EQ(run.Count(TimecodeEventKind::Started), 1);
        EXPECT_EQ(
            run.Count(TimecodeEventKind::JumpForward) + run.Count(TimecodeEventKind::JumpBack), 0);
        ExpectOnTime(run, signal, cues, zero, kAll6);
    }
}

TEST(TimecodeFollowerTest, FollowsADeckATenthOfAPercentOffSpeedAndANoisySignal) {
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{1, 0, 0, 0};
    const double zero = Ms(settings.showZero, TimecodeRate::Fps25);
    const std::vector<int> cues{0, 2000, 4000, 6000, 8000, 9900};
    for (double speed : {1.001, 0.999}) {
        SCOPED_TRACE(speed);
        LtcTestSignal signal(kRate, TimecodeRate::Fps25);
        signal.AppendTimecodeAt(zero - 1000, 11200, speed);
        const ShowRun run = Follow(signal, cues, settings);
        EXPECT_EQ(run.fired, kAll6);
        // Ten seconds at 0.1 % are 10 ms: the clock follows the signal, not its own pace.
        ExpectOnTime(run, signal, cues, zero, kAll6);
    }
    LtcTestSignal noisy(kRate, TimecodeRate::Fps25);
    noisy.AppendTimecodeAt(zero - 1000, 11200);
    noisy.AddNoise(0.3, 11);
    const ShowRun run = Follow(noisy, cues, settings, 0);
    EXPECT_EQ(run.fired, kAll6);
    EXPECT_EQ(run.Count(TimecodeEventKind::Lost), 0);
    EXPECT_EQ(run.Count(TimecodeEventKind::Locked), 1);
    ExpectOnTime(run, noisy, cues, zero, kAll6);
}

TEST(TimecodeFollowerTest, TheOffsetFiresEarlierByItsMilliseconds) {
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{1, 0, 0, 0};
    const double zero = Ms(settings.showZero, TimecodeRate::Fps25);
    LtcTestSignal signal(kRate, TimecodeRate::Fps25);
    signal.AppendTimecodeAt(zero - 2000, 8000);
    const std::vector<int> cues{500, 1000, 2000, 3000, 4000, 5000};
    const ShowRun run = Follow(signal, cues, settings, 500, 200);
    EXPECT_EQ(run.fired, kAll6);
    ExpectOnTime(run, signal, cues, zero, kAll6, 200);
}

TEST(TimecodeFollowerTest, AStartInTheMiddleFiresFromTheFirstCueAtOrAfterTheTimecode) {
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{0, 59, 50, 0};
    const double zero = Ms(settings.showZero, TimecodeRate::Fps25);
    LtcTestSignal signal(kRate, TimecodeRate::Fps25);
    signal.AppendTimecodeAt(zero + 30000, 5000);
    // The tenth frame locks: its timecode is 30 360 ms into the show.
    const std::vector<int> cues{1000, 29000, 30200, 30500, 33000};
    const ShowRun run = Follow(signal, cues, settings);
    EXPECT_EQ(run.skipped, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(run.fired, (std::vector<int>{3, 4}));
    EXPECT_EQ(run.Count(TimecodeEventKind::StartedLate), 1);
    EXPECT_EQ(run.Count(TimecodeEventKind::Started), 0);
    ExpectOnTime(run, signal, cues, zero, {3, 4});
}

TEST(TimecodeFollowerTest, ArmingWhileTheTimecodeIsPastTheZeroFiresNoEarlierCue) {
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{1, 0, 0, 0};
    LtcTestSignal signal(kRate, TimecodeRate::Fps25);
    signal.AppendTimecodeAt(TimecodeMs(settings.showZero, TimecodeRate::Fps25) + 5000, 4000);
    LtcDecoder decoder(kRate);
    TimecodeFollower follower(kRate, settings);  // following, not armed
    std::vector<TimecodeEvent> events;
    for (int64_t at = 0; at < signal.Size(); at += kChunk) {
        decoder.Feed(signal.Samples().data() + at,
                     static_cast<size_t>(std::min<int64_t>(kChunk, signal.Size() - at)), at);
        for (const LtcFrame& f : decoder.TakeFrames()) {
            follower.OnFrame(f);
        }
        if (at == 2 * kRate) {  // armed two seconds in: the show is at 7 s
            follower.Arm({1000, 6900, 7100, 8000});
        }
        for (const TimecodeEvent& e : follower.Update(at + kChunk)) {
            events.push_back(e);
        }
    }
    std::vector<int> fired, skipped;
    for (const TimecodeEvent& e : events) {
        if (e.kind == TimecodeEventKind::CueFired) {
            fired.push_back(e.cue);
        } else if (e.kind == TimecodeEventKind::CueSkipped) {
            skipped.push_back(e.cue);
        }
    }
    EXPECT_EQ(skipped, (std::vector<int>{0, 1}));
    EXPECT_EQ(fired, (std::vector<int>{2, 3}));
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().kind, TimecodeEventKind::StartedLate);
}

TEST(TimecodeFollowerTest, AJumpForwardSkipsTheCuesBetweenAndAJumpBackRepeatsNone) {
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{1, 0, 0, 0};
    const double zero = Ms(settings.showZero, TimecodeRate::Fps25);
    {
        LtcTestSignal signal(kRate, TimecodeRate::Fps25);
        signal.AppendTimecodeAt(zero - 2000, 6000);          // show 0 .. 4 s
        signal.AppendTimecodeAt(zero - 2000 + 11000, 5000);  // jumps to 9 s
        const std::vector<int> cues{1000, 3900, 4500, 6000, 9500, 12000};
        const ShowRun run = Follow(signal, cues, settings, 0);
        EXPECT_EQ(run.fired, (std::vector<int>{0, 1, 4, 5}));
        EXPECT_EQ(run.skipped, (std::vector<int>{2, 3}));
        EXPECT_EQ(run.Count(TimecodeEventKind::JumpForward), 1);
        EXPECT_EQ(run.Count(TimecodeEventKind::JumpBack), 0);
        EXPECT_EQ(run.Count(TimecodeEventKind::Lost), 0);
        ExpectOnTime(run, signal, cues, zero, {0, 1, 4, 5});
    }
    {
        LtcTestSignal signal(kRate, TimecodeRate::Fps25);
        signal.AppendTimecodeAt(zero - 2000, 8000);         // show 0 .. 6 s
        signal.AppendTimecodeAt(zero - 2000 + 5000, 6000);  // back to 3 s
        const std::vector<int> cues{1000, 2500, 4000, 5500, 7000, 8500};
        const ShowRun run = Follow(signal, cues, settings);
        EXPECT_EQ(run.fired, kAll6);
        EXPECT_TRUE(run.skipped.empty());
        EXPECT_EQ(run.Count(TimecodeEventKind::JumpBack), 1);
        EXPECT_EQ(run.Count(TimecodeEventKind::JumpForward), 0);
        ExpectOnTime(run, signal, cues, zero, kAll6);
    }
}

TEST(TimecodeFollowerTest, OneCorruptFrameIsNoJumpAndSkipsNothing) {
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{1, 0, 0, 0};
    const double zero = Ms(settings.showZero, TimecodeRate::Fps25);
    LtcTestSignal signal(kRate, TimecodeRate::Fps25);
    signal.AppendTimecodeAt(zero - 2000, 6000);
    signal.AppendTimecodeAt(zero + 3600000 + 4000, 40);  // one frame of another hour
    signal.AppendTimecodeAt(zero + 4040, 4000);
    const std::vector<int> cues{1000, 4010, 4100, 6000};
    const ShowRun run = Follow(signal, cues, settings, 0);
    EXPECT_EQ(run.fired, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(run.skipped.empty());
    EXPECT_EQ(run.Count(TimecodeEventKind::JumpForward) + run.Count(TimecodeEventKind::JumpBack),
              0);
    EXPECT_EQ(run.Count(TimecodeEventKind::Lost), 0);
    ExpectOnTime(run, signal, cues, zero, {0, 3});
}

TEST(TimecodeFollowerTest, ADropoutOfOneSecondFreewheelsAndRelocksWithoutFiringTwice) {
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{1, 0, 0, 0};
    const double zero = Ms(settings.showZero, TimecodeRate::Fps25);
    LtcTestSignal signal(kRate, TimecodeRate::Fps25);
    signal.AppendTimecodeAt(zero - 2000, 6000);  // show 0 .. 4 s
    signal.AppendSilence(1000);
    signal.AppendTimecodeAt(zero + 5000, 5000);
    const std::vector<int> cues{1000, 3500, 4300, 4700, 6000, 8000};
    const ShowRun run = Follow(signal, cues, settings);
    EXPECT_EQ(run.fired, kAll6);
    EXPECT_TRUE(run.skipped.empty());
    EXPECT_EQ(run.Count(TimecodeEventKind::Lost), 2);  // in the gap, and at the end of the signal
    EXPECT_EQ(run.Count(TimecodeEventKind::Returned), 1);
    EXPECT_EQ(run.Count(TimecodeEventKind::FreewheelOver), 0);
    EXPECT_EQ(run.Count(TimecodeEventKind::JumpForward) + run.Count(TimecodeEventKind::JumpBack),
              0);
    // Freewheeling keeps the pace: the cues in the gap go out at their time.
    ExpectOnTime(run, signal, cues, zero, {0, 1, 4, 5});
    for (int i : {2, 3}) {
        const double ideal = (cues[i] + 2000) * kRate / 1000.0;
        EXPECT_NEAR(static_cast<double>(run.firedAt.at(i)), ideal, kChunk + 48) << i;
    }
}

TEST(TimecodeFollowerTest, ADropoutOfFiveSecondsGoesOnOnTheOwnClockOrStopsAsTheSlotSays) {
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{1, 0, 0, 0};
    const double zero = Ms(settings.showZero, TimecodeRate::Fps25);
    LtcTestSignal signal(kRate, TimecodeRate::Fps25);
    signal.AppendTimecodeAt(zero - 2000, 6000);  // show 0 .. 4 s
    signal.AppendSilence(5000);
    signal.AppendTimecodeAt(zero + 9000, 4000);
    const std::vector<int> cues{1000, 4500, 6500, 9500, 10500};

    const ShowRun goOn = Follow(signal, cues, settings, 100);
    EXPECT_EQ(goOn.fired, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(goOn.Count(TimecodeEventKind::FreewheelOver), 1);
    EXPECT_EQ(goOn.Count(TimecodeEventKind::Returned), 1);
    EXPECT_EQ(goOn.Count(TimecodeEventKind::StopShow), 0);
    ExpectOnTime(goOn, signal, cues, zero, {0, 3, 4});

    settings.onLoss = TimecodeLossAction::Stop;
    const ShowRun stop = Follow(signal, cues, settings, 100);
    EXPECT_EQ(stop.fired, (std::vector<int>{0, 1}));
    EXPECT_EQ(stop.Count(TimecodeEventKind::StopShow), 1);
    EXPECT_EQ(stop.phase, TimecodeShowPhase::Stopped);
    // Two seconds after the last frame, not sooner.
    for (const auto& [at, e] : stop.events) {
        if (e.kind == TimecodeEventKind::StopShow) {
            EXPECT_NEAR(e.positionMs, 6000.0, 60.0);
        }
    }
}

TEST(TimecodeFollowerTest, ADeckStoppedInThePrerollNeverStartsTheShow) {
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{1, 0, 0, 0};
    const double zero = Ms(settings.showZero, TimecodeRate::Fps25);
    LtcTestSignal signal(kRate, TimecodeRate::Fps25);
    signal.AppendTimecodeAt(zero - 5000, 2000);
    const ShowRun run = Follow(signal, {0, 1000}, settings, 6000);
    EXPECT_TRUE(run.fired.empty());
    EXPECT_EQ(run.Count(TimecodeEventKind::Started), 0);
    EXPECT_EQ(run.Count(TimecodeEventKind::Locked), 1);
    EXPECT_EQ(run.Count(TimecodeEventKind::Lost), 1);
    EXPECT_EQ(run.phase, TimecodeShowPhase::Waiting);
}

TEST(TimecodeFollowerTest, AShowAcrossMidnightKeepsCounting) {
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{23, 59, 59, 0};
    const double zero = Ms(settings.showZero, TimecodeRate::Fps30);
    LtcTestSignal signal(kRate, TimecodeRate::Fps30);
    signal.AppendTimecodeAt(zero - 2000, 6000);
    const ShowRun run = Follow(signal, {0, 2500}, settings);
    EXPECT_EQ(run.fired, (std::vector<int>{0, 1}));
    EXPECT_EQ(run.Count(TimecodeEventKind::JumpForward) + run.Count(TimecodeEventKind::JumpBack),
              0);
}

TEST(TimecodeFollowerTest, TheLampGoesFromNoSignalThroughLockingToLockedAndFreewheeling) {
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{1, 0, 0, 0};
    LtcTestSignal signal(kRate, TimecodeRate::Fps25);
    signal.AppendTimecodeAt(Ms(settings.showZero, TimecodeRate::Fps25) - 1000, 3000);
    LtcDecoder decoder(kRate);
    TimecodeFollower follower(kRate, settings);
    EXPECT_EQ(follower.Signal(), TimecodeSignal::NoSignal);
    follower.Arm({0});
    std::vector<TimecodeSignal> seen{follower.Signal()};
    for (int64_t at = 0; at < signal.Size() + 3 * kRate; at += kChunk) {
        if (at < signal.Size()) {
            decoder.Feed(signal.Samples().data() + at,
                         static_cast<size_t>(std::min<int64_t>(kChunk, signal.Size() - at)), at);
            for (const LtcFrame& f : decoder.TakeFrames()) {
                follower.OnFrame(f);
            }
        }
        follower.Update(at + kChunk);
        if (follower.Signal() != seen.back()) {
            seen.push_back(follower.Signal());
        }
    }
    EXPECT_EQ(seen, (std::vector<TimecodeSignal>{
                        TimecodeSignal::NoSignal, TimecodeSignal::Locking, TimecodeSignal::Locked,
                        TimecodeSignal::Freewheeling, TimecodeSignal::OwnClock}));
    EXPECT_EQ(follower.Rate(), TimecodeRate::Fps25);
}

}  // namespace
}  // namespace kv
