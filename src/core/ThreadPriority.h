#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace kv {

// Scheduling for the few threads that time the show (the bus worker, the cue timer): a modest
// real-time priority when the system allows it, the best nice value it allows otherwise. The
// window's thread and everything else stay as they are.
//
// SCHED_FIFO 10 outranks every ordinary process, which is all a cue needs, and stays below the
// kernel's interrupt threads (50) that deliver the converter's bytes and below the audio
// server: our own echo and the soundtrack must not wait for us.
inline constexpr int kFiringRealTimePriority = 10;
// The part of a firing thread's stack that is touched and locked when the whole process cannot
// be: far more than the send path uses.
inline constexpr std::size_t kFiringStackLockBytes = 128 * 1024;

// What the system allows this process (the soft limits; nullopt stands for unlimited).
struct SchedulingLimits {
    std::optional<uint64_t> rtprio;   // highest SCHED_FIFO priority
    std::optional<uint64_t> nice;     // 20 - the lowest nice value
    std::optional<uint64_t> memlock;  // bytes that may be locked
};
SchedulingLimits CurrentSchedulingLimits();

enum class MemoryLock : uint8_t {
    None,
    Stack,    // the thread's own stack
    Process,  // every page the process has mapped now, as it is touched
};

// What a firing thread was granted.
struct SchedulingGrant {
    bool realTime = false;
    int priority = 0;  // SCHED_FIFO priority when realTime
    int nice = 0;      // the thread's nice value otherwise
    MemoryLock memory = MemoryLock::None;
};

// Asks for the calling thread what the limits allow: SCHED_FIFO at kFiringRealTimePriority (or
// the limit, when lower), else the lowest nice value allowed; and locks memory against paging.
// The first grant in the process is reported once (see SetSchedulingReportSink).
SchedulingGrant RequestFiringPriority(const char* threadName);
// The same against given limits: a priority the limits refuse is not asked for at all (a
// privileged process would get it anyway), so a test can take the fallback on any machine.
SchedulingGrant RequestFiringPriority(const char* threadName, const SchedulingLimits& limits);

// The grant in words, for the event log and the operator: what was granted and, when it is
// less than real time with locked memory, how to get more.
QString SchedulingGrantText(const SchedulingGrant& grant);

// Where the first grant is told, besides the event log (kelvanectl: standard error). Called on
// the firing thread; it must not block on another thread.
void SetSchedulingReportSink(std::function<void(const QString& text)> sink);
// The first grant of the process, once one was made.
std::optional<SchedulingGrant> FirstSchedulingGrant();
// Forgets the first grant and the sink; tests only.
void ResetSchedulingReportForTesting();

}  // namespace kv
