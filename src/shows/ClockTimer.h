#pragma once

#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kv {

// A single-shot timer due at a tick of the program's clock (kv::TickCount) rather than after a
// span of wall time: armed for tick T, its action runs once the clock has reached T, never
// before.
//
// A thread of its own waits for the due tick, at the firing threads' scheduling, so a busy
// window thread cannot make it late. There it runs the on-time job (what must leave at the due
// tick: a cue's fire frames), then hands the action to the thread that made the timer (the
// bookkeeping). An owner with a tick of its own may also run a due timer from there (RunIfDue),
// which is how a test clock that jumps ahead gets it to run.
//
// The timer's thread never spins: it sleeps until the due tick, or for at most kIdleWaitMs
// while nothing is armed.
class ClockTimer {
public:
    static constexpr uint32_t kIdleWaitMs = 250;

    explicit ClockTimer(std::function<void()> action);
    // onTime runs on the timer's thread (or in RunIfDue); it must only touch what is safe there.
    ClockTimer(std::function<void()> onTime, std::function<void()> action);
    ~ClockTimer();
    ClockTimer(const ClockTimer&) = delete;
    ClockTimer& operator=(const ClockTimer&) = delete;

    void ArmAt(uint32_t dueTick);
    // Disarms. When the on-time job is running, waits until it has finished: afterwards it is
    // known whether it ran, and it will not run until the timer is armed again. An action
    // handed over and not yet run is dropped.
    void Cancel();
    // Armed, or its on-time job ran and the action is still on its way to the owner.
    bool IsArmed() const;
    uint32_t DueTick() const;
    // Armed and the clock has reached the due tick.
    bool IsDue() const;
    // Milliseconds left until the due tick; 0 once it has come.
    uint32_t Remaining() const;
    // Runs a due timer here (the on-time job, when the timer's thread has not run it yet, then
    // the action) and disarms it; true when the action ran.
    bool RunIfDue();

private:
    enum class State : uint8_t { Idle, Armed, Running, HandedOver };

    void Serve();
    bool DueLocked() const;
    void Deliver(uint64_t generation);

    std::function<void()> onTime_;
    std::function<void()> action_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    State state_ = State::Idle;
    uint32_t due_ = 0;
    // Moves on at every arm and cancel, so an action handed over before either is not run.
    uint64_t generation_ = 0;
    bool quit_ = false;
    // Receives the hand-over in the owner's thread; goes before the thread is started.
    std::unique_ptr<QObject> context_;
    std::thread thread_;
};

}  // namespace kv
