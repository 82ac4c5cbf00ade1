// A short soak: two simulated minutes of show under noise, lost, late and corrupt answers, with
// converter 0 unplugged for 3 s twice, in direct and in autonomous control. The long one is
// bench/shows/ShowSoakBench.
#include <gtest/gtest.h>

#include "ShowSoak.h"

namespace {

void ExpectSurvived(const kvsoak::SoakOptions& o, const kvsoak::SoakResult& r) {
    kvsoak::PrintSoak(o.control == kv::TCommonPlayer::ControlDirect ? "direct" : "autonomous", o,
                      r);
    ASSERT_GT(r.cues, 0) << r.firstProblem.toStdString();
    EXPECT_FALSE(r.clockStopped) << r.firstProblem.toStdString();
    EXPECT_EQ(r.losses, o.unplugs) << "each loss logged once";
    EXPECT_EQ(r.restores, o.unplugs) << "each restore logged once";
    EXPECT_EQ(r.unaccounted, 0) << r.firstProblem.toStdString();
    EXPECT_EQ(r.fired + r.notSent, r.cues);
    EXPECT_EQ(r.firedNotOnWire, 0) << "a cue logged as fired that never left the console";
    EXPECT_EQ(r.checksLost, 0) << "every fired channel is checked";
    EXPECT_GT(r.noiseBytes, 0u);
    EXPECT_LT(r.rssPeakKb - r.rssStartKb, 64 * 1024) << "memory grew during the show";
}

kvsoak::SoakOptions Short(uint8_t control) {
    kvsoak::SoakOptions o;
    o.control = control;
    o.showMs = 120 * 1000;
    o.cueEveryMs = 500;
    return o;
}

}  // namespace

TEST(ShowSoak, DirectControlSurvivesFaultsAndTwoConverterLosses) {
    const kvsoak::SoakOptions o = Short(kv::TCommonPlayer::ControlDirect);
    const kvsoak::SoakResult r = kvsoak::RunShowSoak(o);
    ExpectSurvived(o, r);
    EXPECT_GT(r.notSent, 0) << "cues due while the converter was away";
    EXPECT_EQ(r.moduleFirings, r.fired) << "what was logged fired is what the modules fired";
}

TEST(ShowSoak, AutonomousControlSurvivesFaultsAndTwoConverterLosses) {
    const kvsoak::SoakOptions o = Short(kv::TCommonPlayer::ControlAutonomous);
    const kvsoak::SoakResult r = kvsoak::RunShowSoak(o);
    ExpectSurvived(o, r);
    EXPECT_EQ(r.moduleFirings, r.cues) << "the modules' own clocks fire every cue";
}
