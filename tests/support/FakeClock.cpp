#include "FakeClock.h"

#include <thread>

namespace kv {

void FakeClock::Sleep(uint32_t ms) {
    now_.fetch_add(ms);
    // Let other threads run; a fake sleep must not turn a polling loop into a busy spin.
    std::this_thread::yield();
}

}  // namespace kv
