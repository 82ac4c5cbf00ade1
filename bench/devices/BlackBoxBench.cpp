// The black-box read with lost answers. First on the simulated bus paced at 19200 baud, in real
// time: the read time of one module beside the wire time of its 7 936 exchanges (7 request and
// 7 answer bytes at 0.521 ms each plus the 1 ms device turnaround), and whether each read
// completed. Then the share of module reads that complete at several loss rates, beside the
// share had the read given up at the first failed word. Prints the figures; asserts nothing.
//
// Usage: kv_bench_devices_blackbox [paced-modules [loss-percent...]]
#include <QByteArray>
#include <QCoreApplication>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bus/TPortProto.h"
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

    // The share of complete module reads at lower loss rates is too rare an event to time on
    // the paced bus (and a fake clock would time out answers the worker's own sleeps overtake):
    // from the loss rate, a module is complete when none of its words loses all its tries, and
    // the read that gave up at the first failure completed only without any loss.
    for (double loss : {0.0001, 0.001, 0.01, 0.02}) {
        const double words = kv::transfer::kBlackBoxWords;
        const double now = std::pow(1.0 - std::pow(loss, kv::transfer::kBlackBoxTries), words);
        const double before = std::pow(1.0 - loss, words);
        std::printf(
            "%6.3f %% lost: complete module reads %.3f %% (five modules %.3f %%), "
            "when giving up at the first failure %.3f %% (five modules %.3f %%)\n",
            loss * 100.0, now * 100.0, std::pow(now, 5) * 100.0, before * 100.0,
            std::pow(before, 5) * 100.0);
    }
    return 0;
}
