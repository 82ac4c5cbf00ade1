#include "core/ThreadPriority.h"

#include <linux/capability.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "core/EventLog.h"
#include "i18n/Localizer.h"

namespace kv {

namespace {

std::optional<uint64_t> softLimit(int resource) {
    rlimit r{};
    if (::getrlimit(resource, &r) != 0) {
        return 0;
    }
    if (r.rlim_cur == RLIM_INFINITY) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(r.rlim_cur);
}

bool hasCapability(int capability) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (::syscall(SYS_capget, &header, data) != 0) {
        return false;
    }
    return (data[capability / 32].effective & (1u << (capability % 32))) != 0;
}

pid_t threadId() {
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

// Touches and locks the stack slice below this frame, where the send path's calls will lie.
// Not inlined, so that the slice is a frame of its own below the caller's.
[[gnu::noinline]] bool lockStackSlice() {
    alignas(64) volatile unsigned char slice[kFiringStackLockBytes];
    for (std::size_t i = 0; i < sizeof slice; i += 512) {
        slice[i] = 0;
    }
    const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<uintptr_t>(&slice[0]) & ~(page - 1);
    const auto end = reinterpret_cast<uintptr_t>(&slice[0]) + sizeof slice;
    return ::mlock(reinterpret_cast<const void*>(begin), end - begin) == 0;
}

MemoryLock lockMemory(const std::optional<uint64_t>& memlock) {
    // The whole process only with an unlimited lock: the kernel weighs the whole address space
    // (the window's libraries and reservations) against the limit. Never MCL_FUTURE: every
    // later allocation of the window would be locked too, and past a limit it would fail.
    // MCL_ONFAULT locks pages as they are touched instead of filling every reservation.
    if (!memlock && ::mlockall(MCL_CURRENT | MCL_ONFAULT) == 0) {
        return MemoryLock::Process;
    }
    if ((!memlock || *memlock >= kFiringStackLockBytes + 2 * 4096) && lockStackSlice()) {
        return MemoryLock::Stack;
    }
    return MemoryLock::None;
}

std::mutex reportMutex;
std::function<void(const QString&)> reportSink;
std::optional<SchedulingGrant> firstGrant;

void reportOnce(const SchedulingGrant& grant) {
    std::function<void(const QString&)> sink;
    const QString text = SchedulingGrantText(grant);
    {
        std::lock_guard lock(reportMutex);
        if (firstGrant) {
            return;
        }
        // Logged before it is known: whoever sees the grant finds its line in the log.
        WriteLog(text, 1);
        firstGrant = grant;
        sink = reportSink;
    }
    if (sink) {
        sink(text);
    }
}

}  // namespace

SchedulingLimits CurrentSchedulingLimits() {
    SchedulingLimits limits{softLimit(RLIMIT_RTPRIO), softLimit(RLIMIT_NICE),
                            softLimit(RLIMIT_MEMLOCK)};
    // A process with the capability is held to no limit by the kernel.
    if (hasCapability(CAP_SYS_NICE)) {
        limits.rtprio.reset();
        limits.nice.reset();
    }
    if (hasCapability(CAP_IPC_LOCK)) {
        limits.memlock.reset();
    }
    return limits;
}

SchedulingGrant RequestFiringPriority(const char* threadName) {
    return RequestFiringPriority(threadName, CurrentSchedulingLimits());
}

SchedulingGrant RequestFiringPriority(const char* threadName, const SchedulingLimits& limits) {
    if (threadName) {
        char name[16] = {};
        std::strncpy(name, threadName, sizeof name - 1);
        ::pthread_setname_np(::pthread_self(), name);
    }
    SchedulingGrant grant;
    const int allowed = limits.rtprio ? static_cast<int>(std::min<uint64_t>(*limits.rtprio, 99))
                                      : kFiringRealTimePriority;
    if (allowed > 0) {
        sched_param param{};
        param.sched_priority = std::min(allowed, kFiringRealTimePriority);
        // Reset on fork: a program this thread starts must not inherit real time.
        if (::sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0) {
            grant.realTime = true;
            grant.priority = param.sched_priority;
        }
    }
    if (!grant.realTime) {
        // RLIMIT_NICE n allows nice values down to 20 - n. Per thread: Linux keeps a nice value
        // for each thread, so the rest of the process keeps its own.
        const int floor =
            limits.nice ? 20 - static_cast<int>(std::min<uint64_t>(*limits.nice, 40)) : -20;
        errno = 0;
        int current = ::getpriority(PRIO_PROCESS, static_cast<id_t>(threadId()));
        if (errno != 0) {
            current = 0;
        }
        if (floor < current &&
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId()), floor) == 0) {
            current = floor;
        }
        grant.nice = current;
    }
    grant.memory = lockMemory(limits.memlock);
    reportOnce(grant);
    return grant;
}

QString SchedulingGrantText(const SchedulingGrant& grant) {
    QString text = grant.realTime
                       ? Message(Msg::FiringThreadsRealTime) + ' ' + QString::number(grant.priority)
                       : Message(Msg::FiringThreadsNoRealTime) + ' ' + QString::number(grant.nice);
    switch (grant.memory) {
        case MemoryLock::Process:
            text += Message(Msg::MemoryLocked);
            break;
        case MemoryLock::Stack:
            text += Message(Msg::OnlyStacksLocked);
            break;
        case MemoryLock::None:
            text += Message(Msg::MemoryNotLocked);
            break;
    }
    if (!grant.realTime || grant.memory != MemoryLock::Process) {
        text += ' ' + Message(Msg::RealTimeHowTo);
    }
    return text;
}

void SetSchedulingReportSink(std::function<void(const QString& text)> sink) {
    std::lock_guard lock(reportMutex);
    reportSink = std::move(sink);
}

std::optional<SchedulingGrant> FirstSchedulingGrant() {
    std::lock_guard lock(reportMutex);
    return firstGrant;
}

void ResetSchedulingReportForTesting() {
    std::lock_guard lock(reportMutex);
    firstGrant.reset();
    reportSink = nullptr;
}

}  // namespace kv
