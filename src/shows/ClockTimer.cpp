#include "shows/ClockTimer.h"

#include <algorithm>

#include "core/Clock.h"

namespace kv {

ClockTimer::ClockTimer(std::function<void()> action) : action_(std::move(action)) {
    timer_.setSingleShot(true);
    // The default coarse timer may be 5 % late: 100 ms of a two-second wait.
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Wake(); });
}

void ClockTimer::ArmAt(uint32_t dueTick) {
    due_ = dueTick;
    armed_ = true;
    timer_.start(static_cast<int>(Remaining()));
}

void ClockTimer::Cancel() {
    armed_ = false;
    timer_.stop();
}

bool ClockTimer::IsDue() const {
    // Signed, so that a due tick just behind the clock counts as passed across the 32-bit wrap.
    return armed_ && static_cast<int32_t>(TickCount() - due_) >= 0;
}

uint32_t ClockTimer::Remaining() const {
    const auto left = static_cast<int32_t>(due_ - TickCount());
    return left > 0 ? static_cast<uint32_t>(left) : 0;
}

bool ClockTimer::RunIfDue() {
    if (!IsDue()) {
        return false;
    }
    Cancel();
    action_();
    return true;
}

void ClockTimer::Wake() {
    if (armed_ && !RunIfDue()) {
        // Woken before the clock got there (a clock held by a test): wait for the rest.
        timer_.start(static_cast<int>(std::max<uint32_t>(Remaining(), 1)));
    }
}

}  // namespace kv
