#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include "core/Clock.h"

// Time that only the test thread moves: its sleeps advance the clock at once, while the bus
// worker's sleeps take real time and leave the show clock alone. So a show position depends on
// what the test did, not on how often the worker happened to poll.
class TestThreadClock : public kv::Clock {
public:
    explicit TestThreadClock(uint32_t start) : now_(start), owner_(std::this_thread::get_id()) {}
    uint32_t TickCount() override { return now_.load(); }
    void Sleep(uint32_t ms) override {
        if (std::this_thread::get_id() == owner_) {
            now_.fetch_add(ms);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
    }
    void Set(uint32_t ms) { now_.store(ms); }
    void Advance(uint32_t ms) { now_.fetch_add(ms); }

private:
    std::atomic<uint32_t> now_;
    std::thread::id owner_;
};
