#pragma once

#include <atomic>
#include <cstdint>

namespace kv {

// The one source of time: monotonic milliseconds that wrap like a 32-bit tick count, and a
// sleep. Intervals are always computed as (now - then) in uint32_t, so the wrap is harmless.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t TickCount() = 0;
    virtual void Sleep(uint32_t ms) = 0;
};

// The clock in force: the steady system clock unless a test installed another.
Clock& CurrentClock();
// Installs a clock for the whole process (nullptr goes back to the system clock). The caller
// keeps ownership and must keep it alive while it is installed.
void InstallClock(Clock* clock);

inline uint32_t TickCount() {
    return CurrentClock().TickCount();
}
inline void SleepMs(uint32_t ms) {
    CurrentClock().Sleep(ms);
}
// Milliseconds since a tick taken earlier, correct across the 32-bit wrap.
inline uint32_t ElapsedSince(uint32_t start) {
    return TickCount() - start;
}

// Installs a clock for the lifetime of the guard.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

}  // namespace kv
