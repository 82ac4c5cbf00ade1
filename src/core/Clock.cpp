#include "core/Clock.h"

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

ScopedClock::ScopedClock(Clock& clock) : previous_(installed.load()) {
    InstallClock(&clock);
}

ScopedClock::~ScopedClock() {
    InstallClock(previous_);
}

}  // namespace kv
