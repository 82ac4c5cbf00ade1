#pragma once

// The timing loop the exchange benchmarks share: status polls (0x85, answered 0x7A) of the
// module at address 5 on converter 0, each timed from the request to the checked answer.
#include <algorithm>
#include <chrono>
#include <vector>

#include "bus/TPortProto.h"

namespace kvbench {

struct PollTimes {
    double mean = 0, median = 0, p99 = 0, worst = 0;  // ms, over the polls that succeeded
    int failures = 0;
    int byResult[4] = {0, 0, 0, 0};  // failures by result: -1 port, -2 transfer, -3 no answer
};

inline PollTimes TimeStatusPolls(kv::TPortProto& proto, int rounds) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> ms;
    PollTimes f;
    for (int i = 0; i < rounds; ++i) {
        kv::BusFrame answer{};
        const auto t0 = Clock::now();
        const int r = proto.Request(kv::BusFrame{0x85, 0, 0, 0, 0, 5}, 0x7A, -1, 0, answer);
        const double d = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        if (r != kv::BusOk) {
            ++f.failures;
            ++f.byResult[std::clamp(-r, 0, 3)];
            continue;
        }
        ms.push_back(d);
    }
    if (ms.empty()) {
        return f;
    }
    std::sort(ms.begin(), ms.end());
    for (double d : ms) {
        f.mean += d;
    }
    f.mean /= static_cast<double>(ms.size());
    f.median = ms[ms.size() / 2];
    f.p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    f.worst = ms.back();
    return f;
}

}  // namespace kvbench
