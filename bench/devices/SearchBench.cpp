// Time of one full search cycle (256 addresses) and of one poll cycle over the demo rig on the
// simulated bus paced at 19200 baud, in real time, beside what the wire alone needs: every
// frame's bytes at 0.521 ms each (start, 8 data and stop bits), the devices' turnaround per
// answer, and the full answer time-out (70 ms) for each request nothing answered. The rest of
// a search is the registration pauses the modules need between commands. Prints the figures;
// asserts nothing.
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "bus/TPortProto.h"
#include "console/ConsoleWiring.h"
#include "devices/TControls.h"
#include "sim/SimBus.h"
#include "sim/SimRig.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kByteMs = 10.0 / 19200.0 * 1000.0;

struct Wire {
    double bytesMs = 0;  // every byte on the wire, both directions
    int requests = 0;
    int answers = 0;
    int unanswered = 0;  // requests without an answer before the next request
};

// What the recorder saw on every segment. A request through all converters is written to
// each in turn (its bytes add up), but it is one exchange: one answer or one time-out.
Wire WireOf(const kv::SimBus& bus) {
    Wire w;
    bool open = false;
    const std::vector<uint8_t>* last = nullptr;
    for (const kv::SimRecord& r : bus.Records(-1)) {
        w.bytesMs += static_cast<double>(r.bytes.size()) * kByteMs;
        if (r.direction == kv::SimDirection::FromConsole) {
            if (open && last != nullptr && *last == r.bytes) {
                continue;  // the same request on the next converter
            }
            if (open) {
                ++w.unanswered;
            }
            ++w.requests;
            last = &r.bytes;
            open = r.bytes.size() >= 6 && r.bytes[0] >= 0x80 && r.bytes[0] != 0x84 &&
                   r.bytes[0] != 0x88;  // commands that are answered
        } else if (r.direction == kv::SimDirection::FromDevice) {
            ++w.answers;
            open = false;
            last = nullptr;
        }
    }
    return w;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Pump(kv::ConsoleWiring& w) {
    QCoreApplication::processEvents();
    while (w.Proto().DispatchPending()) {
    }
}

void Print(const char* what, double measured, const Wire& w, double turnaroundMs,
           int answerTimeoutMs) {
    const double floor = w.bytesMs + w.answers * turnaroundMs + w.unanswered * answerTimeoutMs;
    std::printf("%s\n", what);
    std::printf("  measured:                        %9.1f ms\n", measured);
    std::printf("  requests %d, answers %d, unanswered %d\n", w.requests, w.answers, w.unanswered);
    std::printf("  wire bytes at 0.521 ms a byte:   %9.1f ms\n", w.bytesMs);
    std::printf("  + %.1f ms turnaround per answer:  %9.1f ms\n", turnaroundMs,
                w.answers * turnaroundMs);
    std::printf("  + %d ms time-out per unanswered: %9.1f ms\n", answerTimeoutMs,
                w.unanswered * static_cast<double>(answerTimeoutMs));
    std::printf("  = wire floor:                    %9.1f ms (measured / floor %.2f)\n", floor,
                floor > 0 ? measured / floor : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    kv::InitBusGlobals();
    kv::SimRig rig = kv::SimRig::Demo();
    rig.options.pacing = true;
    std::shared_ptr<kv::SimBus> bus(rig.Build());
    kv::ConsoleWiring wiring(bus, QStringLiteral("demo"));
    if (!wiring.Open()) {
        std::fprintf(stderr, "the simulated converters did not open\n");
        return 1;
    }
    const double turnaround = bus->Options().turnaroundUs / 1000.0;
    const int timeout = wiring.Proto().AnswerTimeout();

    // One search cycle, stepped back to back as kelvanectl steps it.
    bus->ClearRecords();
    const auto s0 = Clock::now();
    wiring.StartSearch();
    wiring.Controls().ScanTimer.stop();
    for (int i = 0; i < 256; ++i) {
        wiring.Controls().ScanStep();
        Pump(wiring);
    }
    const double searchMs = Ms(Clock::now() - s0);
    wiring.StopSearch();
    std::printf("search: %d devices found\n", wiring.Controls().Count());
    Print("one search cycle (256 addresses)", searchMs, WireOf(*bus), turnaround, timeout);
    std::printf(
        "  (the rest is the registration pauses: 4 x %u ms per device, 200 ms after each\n"
        "   identification, and the converters' 2 ms before each write)\n",
        kv::TControls::kRegisterPauseMs);

    // Poll cycles: every device in the list once, the poll step of the idle timer.
    const int devices = wiring.Controls().Count();
    constexpr int kCycles = 20;
    bus->ClearRecords();
    wiring.RestartPollCycle();
    const auto p0 = Clock::now();
    for (int c = 0; c < kCycles; ++c) {
        for (int i = 0; i < devices; ++i) {
            wiring.PollStep();
            Pump(wiring);
        }
    }
    const double pollMs = Ms(Clock::now() - p0) / kCycles;
    Wire both = WireOf(*bus);
    both.bytesMs /= kCycles;
    both.requests /= kCycles;
    both.answers /= kCycles;
    both.unanswered /= kCycles;
    std::printf("\n");
    Print("one poll cycle over the demo rig (mean of 20)", pollMs, both, turnaround, timeout);
    std::printf(
        "  (the console polls one device per 500 ms idle tick: a full cycle of %d devices\n"
        "   takes %.1f s of idle time)\n",
        devices, devices * 0.5);
    return 0;
}
