#include "core/Clock.h"

#include <sched.h>

#include <chrono>
#include <thread>

namespace kv {

namespace {

class SystemClock final : public Clock {
public:
    uint32_t TickCount() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

SystemClock& systemClock() {
    static SystemClock clock;
    return clock;
}

std::atomic<Clock*> installed{nullptr};

}  // namespace

Clock& CurrentClock() {
    Clock* c = installed.load(std::memory_order_acquire);
    return c ? *c : systemClock();
}

void InstallClock(Clock* clock) {
    installed.store(clock, std::memory_order_release);
}

void FakeClock::Sleep(uint32_t ms) {
    now_.fetch_add(ms);
    // Let other threads run; a fake sleep must not turn a polling loop into a busy spin. A
    // yield does that for ordinary threads only: a real-time thread yields to none below it,
    // so it really sleeps a moment.
    const int policy = ::sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
    if (policy == SCHED_FIFO || policy == SCHED_RR) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    } else {
        std::this_thread::yield();
    }
}

ScopedClock::ScopedClock(Clock& clock) : previous_(installed.load()) {
    InstallClock(&clock);
}

ScopedClock::~ScopedClock() {
    InstallClock(previous_);
}

}  // namespace kv
