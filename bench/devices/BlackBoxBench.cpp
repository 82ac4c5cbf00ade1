// The black-box read with lost answers. First on the simulated bus paced at 19200 baud, in real
// time: the read time of one module beside the wire time of its 7 936 exchanges (7 request and
// 7 answer bytes at 0.521 ms each plus the 1 ms device turnaround). Then, on simulated time, the
// share of module reads that complete, and the share that would have completed had the read
// given up at the first failed word. Prints the figures; asserts nothing.
//
// Usage: kv_bench_devices_blackbox [paced-modules [loss-percent...]]
#include <QByteArray>
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bus/TPortProto.h"
#include "core/Clock.h"
#include "devices/ScriptTransfer.h"
#include "devices/TControls.h"
#include "sim/SimBus.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kByteMs = 10.0 / 19200.0 * 1000.0;
constexpr double kExchangeWireMs = 14 * kByteMs + 1.0;
constexpr double kModuleWireMs = kExchangeWireMs * kv::transfer::kBlackBoxWords;

struct Run {
    double seconds = 0;
    int modules = 0;
    int read = 0;
    int retries = 0;
    int32_t result = 0;
};

Run readModules(bool pacing, int modules, double loss, uint32_t seed) {
    kv::SimBusOptions opt;
    opt.pacing = pacing;
    opt.seed = seed;
    opt.maxRecords = 0;
    auto sim = std::make_shared<kv::SimBus>(opt);
    sim->AddConverter("BENCH");
    for (int i = 0; i < modules; ++i) {
        kv::SimDeviceConfig c;
        c.kind = kv::SimDeviceKind::FiringModule;
        c.address = 1 + i;
        c.version = 0x46B;
        c.channels = 16;
        if (loss > 0) {
            c.faults.loseAnswer = kv::SimFaultPattern::Rate(loss);
        }
        sim->AddDevice(0, c);
    }
    kv::TPortProto proto(16, sim);
    kv::InstallProto(&proto);
    proto.OpenPort();
    kv::TControls controls(proto);
    for (int i = 0; i < modules; ++i) {
        controls.RegisterDevice(1 + i, 0);
    }
    controls.OnTransferProgress = [](int, int, bool&, int, int) {
        QCoreApplication::processEvents();
    };
    QByteArray box;
    kv::transfer::BlackBoxReadSummary sum;
    const auto t0 = Clock::now();
    Run r;
    r.result = kv::transfer::ReadBlackBox(controls, box, &sum);
    r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    r.modules = modules;
    r.read = sum.read;
    r.retries = sum.retries;
    proto.ClosePort();
    kv::InstallProto(nullptr);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    kv::InitBusGlobals();
    const int pacedModules = argc > 1 ? std::atoi(argv[1]) : 1;
    std::vector<double> losses;
    for (int i = 2; i < argc; ++i) {
        losses.push_back(std::atof(argv[i]) / 100.0);
    }
    if (losses.empty()) {
        losses = {0.0, 0.01};
    }

    std::printf("wire time of one module: %d exchanges x %.2f ms = %.1f s\n",
                kv::transfer::kBlackBoxWords, kExchangeWireMs, kModuleWireMs / 1000.0);
    for (double loss : losses) {
        const Run r = readModules(true, pacedModules, loss, 7);
        const double perModule = r.seconds / r.modules;
        std::printf(
            "paced, %5.2f %% lost: %d module(s) in %6.1f s, %6.1f s per module, ratio %.3f, "
            "retries %d, read %d/%d, result %d\n",
            loss * 100.0, r.modules, r.seconds, perModule, perModule * 1000.0 / kModuleWireMs,
            r.retries, r.read, r.modules, r.result);
    }

    // The share of complete reads needs many modules: simulated time.
    kv::FakeClock clock(1000);
    kv::ScopedClock scoped(clock);
    for (double loss : {0.0001, 0.001, 0.01, 0.02}) {
        constexpr int kModules = 25;
        constexpr int kRounds = 2;
        int read = 0;
        int clean = 0;  // no failure at all: what the give-up-at-first-failure read got
        int total = 0;
        for (int round = 0; round < kRounds; ++round) {
            for (int m = 0; m < kModules; ++m) {
                const Run r = readModules(false, 1, loss, static_cast<uint32_t>(round * 1000 + m));
                read += r.read;
                clean += r.read == 1 && r.retries == 0 ? 1 : 0;
                ++total;
            }
        }
        std::printf(
            "simulated time, %6.3f %% lost: %d module reads, complete %.1f %%, "
            "without retries (the old read) %.1f %%\n",
            loss * 100.0, total, 100.0 * read / total, 100.0 * clean / total);
    }
    return 0;
}
