#pragma once

#include "core/Clock.h"

#include <atomic>
#include <cstdint>

namespace kv {

// A clock for tests: time stands still until advanced; Sleep advances it at once, so pauses
// and time-outs cost no wall time.
class FakeClock : public Clock {
public:
    explicit FakeClock(uint32_t start = 0) : now_(start) {}
    uint32_t TickCount() override { return now_.load(); }
    void Sleep(uint32_t ms) override;
    void Advance(uint32_t ms) { now_.fetch_add(ms); }
    void Set(uint32_t ms) { now_.store(ms); }

private:
    std::atomic<uint32_t> now_;
};

}  // namespace kv
