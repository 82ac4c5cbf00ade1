// The start at a time of day: the plan refuses a time already passed, and a planned countdown
// runs from its first tick to the tick where the remainder reaches zero.
#include <gtest/gtest.h>

#include "shows/Countdown.h"

namespace kv {
namespace {

constexpr int32_t kTen = 10 * 3600 * 1000;  // 10:00:00 as ms of the day

TEST(CountdownPlan, TimeAlreadyPassedIsRefusedAndNeverStarts) {
    // 09:00:00 picked at 10:00:00, and the very second of now: both would have closed the
    // countdown on its first tick and started the show at once.
    for (const int32_t picked : {kTen - 3600000, kTen, kTen - 1}) {
        const CountdownPlan plan = PlanClockStart(5000, picked, kTen);
        EXPECT_TRUE(plan.passed) << picked;
        EXPECT_EQ(plan.targetTick, 0u);
    }
    EXPECT_EQ(CountdownPassedMessage(), QString::fromUtf8("Время запуска уже прошло."));
}

TEST(CountdownPlan, TenSecondsAheadCountsDownInTenthsFromTheFirstTick) {
    const uint32_t now = 5000;
    const CountdownPlan plan = PlanClockStart(now, kTen + 10000, kTen);
    ASSERT_FALSE(plan.passed);
    EXPECT_EQ(plan.remainingMs, 10000);
    CountdownStep first = Countdown(now, plan.targetTick, now + 100, false);
    EXPECT_EQ(first.text, "0:00:09.9");
    EXPECT_FALSE(first.close);
    EXPECT_EQ(Countdown(now, plan.targetTick, now + 5050, false).text, "0:00:04.9");
    EXPECT_FALSE(Countdown(now, plan.targetTick, now + 9999, false).close);
    EXPECT_TRUE(Countdown(now, plan.targetTick, now + 10000, false).close);
}

TEST(CountdownPlan, TargetOnTheTickWrapIsNotTakenForWaiting) {
    // now + remainder lands exactly on 2^32: a target tick of 0 would turn the countdown into
    // the wait for an external start command.
    const CountdownPlan plan = PlanClockStart(0xFFFFFFFFu - 999u, kTen + 1000, kTen);
    ASSERT_FALSE(plan.passed);
    EXPECT_NE(plan.targetTick, 0u);
    EXPECT_FALSE(Countdown(0xFFFFFFFFu - 999u, plan.targetTick, 0xFFFFFFFFu - 899u, false).close);
}

}  // namespace
}  // namespace kv
