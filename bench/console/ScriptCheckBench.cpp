// The read-back of the modules' scripts before an autonomous show, on the simulated bus paced
// at 19200 baud, in real time: a 200-cue script over 5 modules (newest firmware, 48 channels),
// the check's time beside the wire time of its exchanges (7 request and 7 answer bytes at
// 0.521 ms each plus the 1 ms device turnaround), and the verify (F9) of the same script for
// comparison. Prints the figures; asserts nothing.
//
// Usage: kv_bench_script_check [cues [modules]]
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "bus/TPortProto.h"
#include "console/AutonomousScriptCheck.h"
#include "devices/ScriptTransfer.h"
#include "devices/TControls.h"
#include "shows/TProjectList.h"
#include "sim/SimBus.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kByteMs = 10.0 / 19200.0 * 1000.0;
constexpr double kExchangeWireMs = 14 * kByteMs + 1.0;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    kv::InitBusGlobals();
    const int cues = argc > 1 ? std::atoi(argv[1]) : 200;
    const int modules = argc > 2 ? std::atoi(argv[2]) : 5;

    kv::SimBusOptions opt;
    opt.pacing = true;
    opt.maxRecords = 0;
    auto sim = std::make_shared<kv::SimBus>(opt);
    sim->AddConverter("BENCH");
    const int perModule = (cues + modules - 1) / modules;
    for (int i = 0; i < modules; ++i) {
        kv::SimDeviceConfig c;
        c.address = 1 + i;
        c.version = 0x46B;
        c.channels = perModule + 8;
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

    QByteArray text;
    for (int i = 0; i < cues; ++i) {
        text += QByteArray::number(1 + i * 0.25, 'f', 2) + ' ' +
                QByteArray::number(1 + i % modules) + ' ' + QByteArray::number(1 + i / modules) +
                '\n';
    }
    kv::TProjectList script;
    script.LoadFromBytes(text, QStringLiteral("bench.txt"));
    std::vector<kv::TScriptCue> list;
    for (int i = 0; i < script.Count(); ++i) {
        list.push_back(script.Cue(i));
    }
    auto t0 = Clock::now();
    const int32_t written = kv::transfer::WriteScript(controls, list);
    std::printf("write: %d cues over %d modules in %.2f s, result %d\n", cues, modules, Seconds(t0),
                written);

    t0 = Clock::now();
    const kv::ScriptCheckResult check = kv::CheckModuleScripts(controls, script);
    const double checkS = Seconds(t0);
    // One ping per module besides the reads.
    const double wireS = (check.Reads + modules) * kExchangeWireMs / 1000.0;
    std::printf(
        "check: %.2f s for %d reads and %d pings, wire time %.2f s, ratio %.2f, matches %s\n",
        checkS, check.Reads, modules, wireS, checkS / wireS, check.Matches() ? "yes" : "no");

    t0 = Clock::now();
    const int32_t verified = kv::transfer::VerifyScript(controls, list);
    const double verifyS = Seconds(t0);
    const double verifyWireS = (cues + modules) * kExchangeWireMs / 1000.0;
    std::printf("verify (F9): %.2f s, wire time %.2f s, ratio %.2f, result %d\n", verifyS,
                verifyWireS, verifyS / verifyWireS, verified);
    proto.ClosePort();
    kv::InstallProto(nullptr);
    return 0;
}
