// Time of one status poll (0x85 -> 0x7A) over the simulated bus, paced at 19200 baud, beside
// its wire time: 7 request bytes and 7 answer bytes at 0.521 ms each plus the devices' 1 ms
// turnaround. Measured through kelvane-bussim's pseudo-terminals with the tty back end, and on
// the simulated bus in process. Prints the figures; asserts nothing.
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../StatusPollTimes.h"
#include "BusSimProcess.h"
#include "bus/TPortProto.h"
#include "bus/TtyConverterBackend.h"
#include "sim/SimRig.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kByteMs = 10.0 / 19200.0 * 1000.0;  // 0.521 ms: start, 8 data, stop bits
constexpr double kTurnaroundMs = 1.0;
constexpr int kRounds = 300;
constexpr const char* kRig = "converter serial=BENCH\nmodule address=5 version=46B\n";

using Figures = kvbench::PollTimes;

Figures run(kv::TPortProto& proto) {
    return kvbench::TimeStatusPolls(proto, kRounds);
}

void print(const char* what, const Figures& f, double wireMs) {
    std::printf(
        "%-40s mean %6.2f  median %6.2f  p99 %6.2f  worst %6.2f ms   wire %5.2f ms  "
        "mean/wire %4.2f  failed %d/%d",
        what, f.mean, f.median, f.p99, f.worst, wireMs, f.mean / wireMs, f.failures, kRounds);
    if (f.failures > 0) {
        std::printf(" (-1: %d, -2: %d, -3: %d)", f.byResult[1], f.byResult[2], f.byResult[3]);
    }
    std::printf("\n");
}

Figures overBusSim(const std::string& rigPath, bool pacing) {
    kvtest::BusSimProcess sim;
    std::vector<std::string> args;
    if (!pacing) {
        args.push_back("--no-pacing");
    }
    args.push_back(rigPath);
    if (!sim.Start(KV_BUSSIM_BINARY, args) || !sim.WaitReady() || sim.Ports().empty()) {
        std::fprintf(stderr, "kelvane-bussim did not start\n");
        std::exit(1);
    }
    kv::TtyConverterBackend::Options o;
    o.paths = sim.Paths();
    Figures f;
    {
        kv::TPortProto proto(16, std::make_shared<kv::TtyConverterBackend>(o));
        proto.OpenPort();
        f = run(proto);
    }
    sim.Stop();
    return f;
}

Figures inProcess(bool pacing) {
    kv::SimRig rig;
    std::string error;
    kv::SimRig::Parse(kRig, rig, error);
    rig.options.pacing = pacing;
    std::shared_ptr<kv::SimBus> bus = rig.Build();
    kv::TPortProto proto(16, bus);
    proto.OpenPort();
    return run(proto);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    kv::InitBusGlobals();
    const std::string rigPath = "/tmp/kv_bench_sim_exchange." + std::to_string(::getpid()) + ".rig";
    std::ofstream(rigPath) << kRig;

    const double wire = 14 * kByteMs + kTurnaroundMs;
    std::printf(
        "Status poll 0x85 -> 0x7A, %d rounds. Wire time at 19200 baud: 14 bytes x %.3f ms + "
        "%.1f ms turnaround = %.2f ms.\nThe link also waits 2 ms before each write; the "
        "simulated bus keeps time in whole milliseconds.\n",
        kRounds, kByteMs, kTurnaroundMs, wire);
    print("kelvane-bussim ptys, paced", overBusSim(rigPath, true), wire);
    print("kelvane-bussim ptys, not paced", overBusSim(rigPath, false), wire);
    print("simulated bus in process, paced", inProcess(true), wire);
    print("simulated bus in process, not paced", inProcess(false), wire);
    std::remove(rigPath.c_str());
    return 0;
}
