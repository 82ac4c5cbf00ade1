// Round trip of one request and its answer through the tty back end over a pseudo-terminal
// whose far side paces bytes at 19200 baud and answers after a fixed turnaround, beside the wire
// time of the same exchange (14 bytes plus the turnaround). Also the same exchange over the
// scripted converters, where the wire costs nothing and only the link's own waits remain.
#include "../StatusPollTimes.h"
#include "PtyDevice.h"
#include "ScriptedConverter.h"
#include "bus/TPortProto.h"
#include "bus/TtyConverterBackend.h"
#include "core/Clock.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kByteMs = 0.521;  // 10 bits at 19200 baud
constexpr double kTurnaroundMs = 2.0;
constexpr int kRounds = 100;

using Figures = kvbench::PollTimes;

Figures run(kv::TPortProto& proto) {
    return kvbench::TimeStatusPolls(proto, kRounds);
}

void print(const char* what, const Figures& f, double wireMs) {
    std::printf(
        "%-44s mean %7.2f ms  median %7.2f ms  worst %7.2f ms  wire %5.2f ms  "
        "ratio %5.2f  failed %d/%d\n",
        what, f.mean, f.median, f.worst, wireMs, wireMs > 0 ? f.mean / wireMs : 0.0, f.failures,
        kRounds);
}

std::vector<uint8_t> answer(const std::vector<uint8_t>& frame) {
    return kv::ScriptedConverter::Frame(0x7A, 0x01, 0x02, 0x30, 0x39, frame[5]);
}

Figures overPty(bool lowLatency) {
    kvtest::PtyDevice dev;
    dev.Serve(answer, std::chrono::microseconds(static_cast<int>(kTurnaroundMs * 1000)), true);
    kv::TtyConverterBackend::Options o;
    o.paths = {dev.Path()};
    o.lowLatency = lowLatency;
    kv::TPortProto proto(16, std::make_shared<kv::TtyConverterBackend>(o));
    proto.OpenPort();
    return run(proto);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double wire = 14 * kByteMs + kTurnaroundMs;
    std::printf("Request 0x85 -> 0x7A, %d rounds; the link waits 2 ms before each write.\n",
                kRounds);
    print("pty, paced 19200 baud, low latency asked", overPty(true), wire);
    print("pty, paced 19200 baud, low latency not asked", overPty(false), wire);

    auto conv = std::make_shared<kv::ScriptedConverter>(1);
    conv->SetResponder([](int, const std::vector<uint8_t>& w) {
        return std::vector<kv::ScriptedConverter::Reply>{{answer(w)}};
    });
    kv::TPortProto proto(16, conv);
    proto.OpenPort();
    print("scripted converter (no wire time)", run(proto), 0);
    return 0;
}
