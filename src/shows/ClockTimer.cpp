#include "shows/ClockTimer.h"

#include <algorithm>
#include <chrono>

#include "core/Clock.h"
#include "core/ThreadPriority.h"

namespace kv {

ClockTimer::ClockTimer(std::function<void()> action) : ClockTimer(nullptr, std::move(action)) {}

ClockTimer::ClockTimer(std::function<void()> onTime, std::function<void()> action)
    : onTime_(std::move(onTime)),
      action_(std::move(action)),
      context_(std::make_unique<QObject>()),
      thread_([this] { Serve(); }) {}

ClockTimer::~ClockTimer() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        ++generation_;
    }
    wake_.notify_all();
    thread_.join();
    // Drops an action still queued for the owner.
    context_.reset();
}

void ClockTimer::ArmAt(uint32_t dueTick) {
    {
        std::unique_lock lock(mutex_);
        // A job under way finishes first: it belongs to the arming before this one.
        wake_.wait(lock, [this] { return state_ != State::Running; });
        due_ = dueTick;
        state_ = State::Armed;
        ++generation_;
    }
    wake_.notify_all();
}

void ClockTimer::Cancel() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return state_ != State::Running; });
    state_ = State::Idle;
    ++generation_;
}

bool ClockTimer::IsArmed() const {
    std::lock_guard lock(mutex_);
    return state_ != State::Idle;
}

uint32_t ClockTimer::DueTick() const {
    std::lock_guard lock(mutex_);
    return due_;
}

bool ClockTimer::DueLocked() const {
    // Signed, so that a due tick just behind the clock counts as passed across the 32-bit wrap.
    return static_cast<int32_t>(TickCount() - due_) >= 0;
}

bool ClockTimer::IsDue() const {
    std::lock_guard lock(mutex_);
    return state_ == State::Armed && DueLocked();
}

uint32_t ClockTimer::Remaining() const {
    std::lock_guard lock(mutex_);
    const auto left = static_cast<int32_t>(due_ - TickCount());
    return left > 0 ? static_cast<uint32_t>(left) : 0;
}

bool ClockTimer::RunIfDue() {
    bool runJob = false;
    {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return state_ != State::Running; });
        if (state_ == State::Armed && DueLocked()) {
            runJob = true;
        } else if (state_ != State::HandedOver) {
            return false;
        }
        // Either way the timer is done here; a hand-over still queued finds it moved on.
        state_ = State::Idle;
        ++generation_;
    }
    if (runJob && onTime_) {
        onTime_();
    }
    action_();
    return true;
}

void ClockTimer::Deliver(uint64_t generation) {
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_ || state_ != State::HandedOver) {
            return;
        }
        state_ = State::Idle;
        ++generation_;
    }
    action_();
}

void ClockTimer::Serve() {
    RequestFiringPriority("kv-cue-timer");
    using namespace std::chrono;
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (state_ != State::Armed) {
            wake_.wait_for(lock, milliseconds(kIdleWaitMs));
            continue;
        }
        if (!DueLocked()) {
            // The due tick as a point of the steady clock the program's ticks are read from,
            // so the wait ends on the tick rather than up to a millisecond after it. A test's
            // clock that stands still is only looked at again when the wait is over.
            const uint32_t left = static_cast<uint32_t>(due_ - TickCount());
            const auto now = floor<milliseconds>(steady_clock::now());
            wake_.wait_until(lock, now + milliseconds(std::min<uint32_t>(left, kIdleWaitMs)));
            continue;
        }
        state_ = State::Running;
        const uint64_t generation = generation_;
        lock.unlock();
        if (onTime_) {
            onTime_();
        }
        lock.lock();
        state_ = State::HandedOver;
        wake_.notify_all();
        QMetaObject::invokeMethod(
            context_.get(), [this, generation] { Deliver(generation); }, Qt::QueuedConnection);
    }
}

}  // namespace kv
