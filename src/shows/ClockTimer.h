#pragma once

#include <QTimer>
#include <cstdint>
#include <functional>

namespace kv {

// A single-shot timer due at a tick of the program's clock (kv::TickCount) rather than after a
// span of wall time: armed for tick T, its action runs once the clock has reached T, never
// before. A precise QTimer wakes it; an owner with a tick of its own may also run a due action
// from there (RunIfDue), which is how a test clock that jumps ahead gets it to run.
class ClockTimer {
public:
    explicit ClockTimer(std::function<void()> action);
    ClockTimer(const ClockTimer&) = delete;
    ClockTimer& operator=(const ClockTimer&) = delete;

    void ArmAt(uint32_t dueTick);
    void Cancel();
    bool IsArmed() const { return armed_; }
    uint32_t DueTick() const { return due_; }
    // Armed and the clock has reached the due tick.
    bool IsDue() const;
    // Milliseconds left until the due tick; 0 once it has come.
    uint32_t Remaining() const;
    // Disarms and runs the action when it is due; true when it ran.
    bool RunIfDue();

private:
    void Wake();

    std::function<void()> action_;
    QTimer timer_;
    uint32_t due_ = 0;
    bool armed_ = false;
};

}  // namespace kv
