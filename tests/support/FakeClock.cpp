#include "FakeClock.h"

#include <sched.h>

#include <chrono>
#include <thread>

namespace kv {

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

}  // namespace kv
