// What the firing threads ask of the scheduler and what they are told, on whatever this machine
// grants: each case checks that the grant reports what the thread really got, and takes the
// refused path by limits of its own where the machine would grant more.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "../devices/LogCapture.h"
#include "FakeClock.h"
#include "core/Clock.h"
#include "core/ThreadPriority.h"

using namespace kv;

namespace {

struct Seen {
    SchedulingGrant grant;
    int policy = -1;
    int priority = -1;
    int nice = 99;
};

// Asks on a fresh thread, so the test's own thread keeps its scheduling.
Seen AskOnThread(const SchedulingLimits& limits) {
    Seen seen;
    std::thread t([&] {
        seen.grant = RequestFiringPriority("kv-test", limits);
        seen.policy = ::sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
        sched_param p{};
        ::sched_getparam(0, &p);
        seen.priority = p.sched_priority;
        seen.nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
    });
    t.join();
    return seen;
}

bool CanUseRealTime() {
    return AskOnThread({std::nullopt, 0, 0}).grant.realTime;
}

class ThreadPriorityTest : public ::testing::Test {
protected:
    LogCapture log;
    void SetUp() override { ResetSchedulingReportForTesting(); }
    void TearDown() override { ResetSchedulingReportForTesting(); }
};

}  // namespace

TEST_F(ThreadPriorityTest, NoRealTimeAllowedFallsBackToTheNiceValueAllowed) {
    const auto ownNice = [] {
        return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
    };
    const int before = ownNice();
    // Nothing allowed: the thread stays as it was and the grant says so.
    Seen s = AskOnThread({0, 0, 0});
    EXPECT_FALSE(s.grant.realTime);
    EXPECT_EQ(s.policy, SCHED_OTHER);
    EXPECT_EQ(s.grant.nice, s.nice);
    EXPECT_EQ(s.grant.memory, MemoryLock::None);

    // RLIMIT_NICE 25 allows nice -5: granted where the process may, refused otherwise; either
    // way the grant is the thread's real nice value.
    s = AskOnThread({0, 25, 0});
    EXPECT_FALSE(s.grant.realTime);
    EXPECT_EQ(s.policy, SCHED_OTHER);
    EXPECT_EQ(s.grant.nice, s.nice);
    EXPECT_TRUE(s.nice == -5 || s.nice == before) << s.nice;
    // The test's own thread is untouched: nice is per thread.
    EXPECT_EQ(ownNice(), before);
}

TEST_F(ThreadPriorityTest, RealTimeIsModestAndWithinTheLimit) {
    if (!CanUseRealTime()) {
        GTEST_SKIP() << "this machine grants no real-time scheduling (ulimit -r is 0)";
    }
    Seen s = AskOnThread({std::nullopt, 0, 0});
    EXPECT_TRUE(s.grant.realTime);
    EXPECT_EQ(s.policy, SCHED_FIFO);
    EXPECT_EQ(s.priority, kFiringRealTimePriority);
    EXPECT_EQ(s.grant.priority, kFiringRealTimePriority);
    s = AskOnThread({4, 0, 0});
    EXPECT_EQ(s.policy, SCHED_FIFO);
    EXPECT_EQ(s.priority, 4);
}

TEST_F(ThreadPriorityTest, MemoryIsLockedOnlyAsFarAsTheLimitAllows) {
    // A limit below the stack slice locks nothing; a limit above it the thread's stack; the
    // whole process is only tried with no limit at all.
    EXPECT_EQ(AskOnThread({0, 0, 4096}).grant.memory, MemoryLock::None);
    const MemoryLock stack = AskOnThread({0, 0, 1024 * 1024}).grant.memory;
    EXPECT_TRUE(stack == MemoryLock::Stack || stack == MemoryLock::None);
    EXPECT_NE(stack, MemoryLock::Process);
}

TEST_F(ThreadPriorityTest, TheFirstGrantIsLoggedOnceWithHowToGetMore) {
    std::vector<QString> told;
    SetSchedulingReportSink([&](const QString& text) { told.push_back(text); });
    AskOnThread({0, 0, 0});
    AskOnThread({0, 0, 0});
    AskOnThread({std::nullopt, std::nullopt, std::nullopt});
    ASSERT_EQ(told.size(), 1u);
    const QStringList lines = log.With(QStringLiteral("Потоки запуска"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("без реального времени, nice")));
    EXPECT_TRUE(lines[0].contains(QStringLiteral("dialout"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("limits.d")));
    ASSERT_TRUE(FirstSchedulingGrant().has_value());
    EXPECT_FALSE(FirstSchedulingGrant()->realTime);

    // All granted: nothing more to get.
    SchedulingGrant full;
    full.realTime = true;
    full.priority = 10;
    full.memory = MemoryLock::Process;
    const QString text = SchedulingGrantText(full);
    EXPECT_TRUE(text.contains(QStringLiteral("реальное время, приоритет 10")));
    EXPECT_FALSE(text.contains(QStringLiteral("dialout")));
}

TEST(FakeClockSleep, AThreadAtRealTimePriorityLetsOthersRunOnItsCore) {
    // A test clock's sleep costs no time; on a real-time thread it must still give the core
    // away, or a polling loop on that thread starves everything below it. Both threads on one
    // core: the ordinary one only counts while the real-time one sleeps.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    cpu_set_t before;
    ASSERT_EQ(::sched_getaffinity(0, sizeof before, &before), 0);
    ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
    FakeClock clock;
    ScopedClock use(clock);
    std::atomic<uint64_t> counted{0};
    std::atomic<bool> done{false};
    std::atomic<bool> realTime{false};
    uint64_t first = 0;
    uint64_t last = 0;
    std::thread sleeper([&] {
        sched_param p{};
        p.sched_priority = 1;
        if (::sched_setscheduler(0, SCHED_FIFO, &p) == 0) {
            realTime = true;
            first = counted.load();
            // Until the other thread has counted, or as many sleeps as a spin does in
            // milliseconds (the kernel lets ordinary threads in only after most of a second).
            for (int i = 0; i < 20000 && counted.load() == first; ++i) {
                SleepMs(10);
            }
            last = counted.load();
        }
        done = true;
    });
    while (!done.load()) {
        counted.fetch_add(1);
    }
    sleeper.join();
    ::sched_setaffinity(0, sizeof before, &before);
    if (!realTime) {
        GTEST_SKIP() << "this machine grants no real-time scheduling";
    }
    EXPECT_GT(last, first) << "the ordinary thread never ran while the real-time one slept";
}
