// Cue lateness in direct control on the paced simulated bus (19200 baud, device turnaround),
// with the console's own wiring: frames go to the bus manager and then to the player, and the
// player's idle notification runs the console's poll step.
//
// For every fire frame of a cue: lateness = first byte on the wire - the cue's scheduled time.
// Beside it the floor the bus allows for that cue: the 2 ms line wait before every frame and the
// 3.65 ms wire time (7 bytes at 19200 baud) of each fire frame of the same time queued before
// it. Simulated time counts whole milliseconds, so every figure is good to about 1 ms.
//
// Cases: isolated cues (one every 333 ms, times not on a 25 ms grid) without and with a status
// poll due in the gaps; bursts of 20 simultaneous cues; isolated cues while another console
// searches the bus (its probe every 70 ms); isolated cues with a manual HV launch in the middle;
// isolated cues and bursts on a busy machine: two CPU-bound processes (one a core) while the
// soundtrack (an MP3) decodes. The loaded cases run five times and print each run and all runs
// together.
//
// The firing threads (bus worker, cue timer) get what this process is allowed (the first line
// says what): for the figures without real time run the bench with the limits at 0 and without
// CAP_SYS_NICE, e.g. setpriv --inh-caps=-sys_nice,-ipc_lock --bounding-set=-sys_nice,-ipc_lock.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

#include "AudioFixtures.h"
#include "CpuHogs.h"
#include "PacedShowRig.h"

#include "bus/TPortProto.h"
#include "console/ConsoleWiring.h"
#include "console/ShowWiring.h"
#include "core/Clock.h"
#include "core/ThreadPriority.h"
#include "devices/TControls.h"
#include "devices/THVControl.h"
#include "shows/AudioSystem.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"
#include "sim/SimBus.h"
#include "sim/SimConsole.h"

using namespace kv;
using namespace kv::bench;

namespace {

constexpr double kLineWaitMs = 2.0;
constexpr double kFrameWireMs = 7 * 10 * 1000.0 / 19200;
constexpr int kModules = 5;
constexpr int kHvAddress = 20;
constexpr int kIsolatedCues = 45;
constexpr int kIsolatedGapMs = 333;
constexpr int kFirstCueMs = 1007;
constexpr int kBursts = 60;
constexpr int kBurstSize = 20;
constexpr int kBurstGapMs = 250;
constexpr int kProbeEveryMs = 70;

QByteArray IsolatedShow() {
    QByteArray text;
    for (int i = 0; i < kIsolatedCues; ++i) {
        text += CueLine(kFirstCueMs + i * kIsolatedGapMs, 1 + i % kModules, 1 + i);
    }
    return text;
}

QByteArray BurstShow() {
    QByteArray text;
    for (int b = 0; b < kBursts; ++b) {
        for (int k = 0; k < kBurstSize; ++k) {
            text += CueLine(kFirstCueMs + b * kBurstGapMs, 1 + k % kModules,
                            1 + (b * 4 + k / kModules) % 512);
        }
    }
    return text;
}

struct Case {
    const char* name;
    QByteArray script;
    bool polls = false;         // a status poll due in every gap
    bool otherConsole = false;  // another console probes the bus all show long
    int manualLaunchAtMs = -1;  // show time of a manual HV launch
    bool loaded = false;        // two CPU-bound processes and the soundtrack decoding
};

constexpr int kLoadedRuns = 5;

struct Figures {
    std::vector<double> late, floor, excess;
    void Add(const Figures& other) {
        late.insert(late.end(), other.late.begin(), other.late.end());
        floor.insert(floor.end(), other.floor.begin(), other.floor.end());
        excess.insert(excess.end(), other.excess.begin(), other.excess.end());
    }
};

// The fire modules, an HV module and another console on the paced bus.
std::shared_ptr<SimBus> BenchBus() {
    auto bus = PacedBus(kModules);
    SimDeviceConfig hv;
    hv.kind = SimDeviceKind::HvModule;
    hv.address = kHvAddress;
    hv.typeLetter = 'Q';
    hv.channels = 8;
    bus->AddDevice(0, hv);
    SimDeviceConfig other;
    other.kind = SimDeviceKind::Console;
    other.address = 255;
    other.consoleId = 77;
    bus->AddDevice(0, other);
    return bus;
}

struct Rig : PacedShowRig {
    Rig()
        : PacedShowRig(BenchBus(), kModules, [](ConsoleWiring& w) {
              if (auto* h = dynamic_cast<THVControl*>(w.Controls().RegisterDevice(kHvAddress, 0))) {
                  h->ComputeChargeVoltages();
              }
          }) {}

    void Probe() {
        bus->Act(0, [](SimSegment& segment, SimTimeUs now) {
            if (auto* console = dynamic_cast<SimConsole*>(segment.Find(255))) {
                console->BroadcastProbe(now, segment);
            }
        });
    }

    QString soundtrack;

    Figures Run(const Case& c) {
        TProjectList script;
        script.LoadFromBytes(c.script, "bench.txt");
        player->SetScript(&script);
        player->WorkMode = c.manualLaunchAtMs >= 0 ? TCommonPlayer::WorkAutomaticManual
                                                   : TCommonPlayer::WorkAutomatic;
        // 150 ms: a poll falls in each 333 ms gap, never within 150 ms of a cue.
        player->IdleInterval = c.polls ? 150 : 1000000;
        QTimer prober;
        QObject::connect(&prober, &QTimer::timeout, [this] { Probe(); });
        QTimer launch;
        launch.setSingleShot(true);
        QObject::connect(&launch, &QTimer::timeout,
                         [this] { player->Fire(kHvAddress, 0, true, false); });
        // Let the registration traffic and any reply in flight die away.
        Settle(300);
        std::unique_ptr<CpuHogs> hogs;
        if (c.loaded) {
            player->LoadSound(soundtrack);
            hogs = std::make_unique<CpuHogs>(2);
        } else {
            player->UnloadSound();
        }
        bus->ClearRecords();
        // Simulated time has its own zero; the show's zero is taken on it.
        const double startUs = static_cast<double>(bus->NowUs());
        player->Start(0);
        if (c.otherConsole) {
            prober.start(kProbeEveryMs);
        }
        if (c.manualLaunchAtMs >= 0) {
            launch.start(c.manualLaunchAtMs);
        }
        WaitUntilStopped(*player);
        prober.stop();
        hogs.reset();
        player->Sound().StopSound();
        return Measure(script, startUs);
    }

    Figures Measure(const TProjectList& script, double startUs) const {
        Figures f;
        auto& [late, floor, excess] = f;
        int index = 0;
        int queued = 0;
        for (const SimRecord& r : bus->Records()) {
            if (r.direction != SimDirection::FromConsole || r.bytes.size() < 7 ||
                r.bytes[0] != 0x84 || r.bytes[5] < 1 || r.bytes[5] > kModules) {
                continue;
            }
            if (index >= script.Count()) {
                break;
            }
            const int32_t t = script.Cue(index).Time;
            queued = index > 0 && script.Cue(index - 1).Time == t ? queued + 1 : 0;
            const double lateMs = (static_cast<double>(r.timeUs) - (startUs + t * 1000.0)) / 1000.0;
            const double floorMs = kLineWaitMs * (queued + 1) + kFrameWireMs * queued;
            late.push_back(lateMs);
            floor.push_back(floorMs);
            excess.push_back(lateMs - floorMs);
            ++index;
        }
        if (index < script.Count()) {
            std::printf("  only %d of %d fire frames\n", index, script.Count());
        }
        return f;
    }

    static void Report(const char* name, const Figures& f) {
        const auto& [late, floor, excess] = f;
        std::printf("%s: %zu fire frames\n", name, late.size());
        std::printf("  lateness      median %6.1f  p99 %6.1f  max %6.1f ms\n",
                    Percentile(late, 0.5), Percentile(late, 0.99), Percentile(late, 1.0));
        std::printf("  floor         median %6.1f  p99 %6.1f  max %6.1f ms\n",
                    Percentile(floor, 0.5), Percentile(floor, 0.99), Percentile(floor, 1.0));
        std::printf("  above floor   median %6.1f  p99 %6.1f  max %6.1f ms\n",
                    Percentile(excess, 0.5), Percentile(excess, 0.99), Percentile(excess, 1.0));
        std::printf("  p99 lateness / p99 floor %.2f\n",
                    Percentile(late, 0.99) / Percentile(floor, 0.99));
        std::fflush(stdout);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SelectAudioOutput(AudioOutput::Null);
    QTemporaryDir dir;
    QString reason;
    const QString soundtrack =
        kvtest::MakeNoise(dir.path(), QStringLiteral("mp3"), 40, 44100, 2, &reason);
    const Case cases[] = {
        {"isolated cues, every 333 ms", IsolatedShow()},
        {"isolated cues, a status poll due in every gap", IsolatedShow(), true},
        {"bursts of 20 simultaneous cues every 250 ms", BurstShow()},
        {"isolated cues, another console searching (probe every 70 ms)", IsolatedShow(), false,
         true},
        {"isolated cues, a manual HV launch at 7.5 s", IsolatedShow(), false, false, 7500},
        {"isolated cues, two CPU-bound processes, the soundtrack decoding", IsolatedShow(), false,
         false, -1, true},
        {"bursts of 20, two CPU-bound processes, the soundtrack decoding", BurstShow(), false,
         false, -1, true},
    };
    Rig rig;
    rig.soundtrack = soundtrack;
    if (soundtrack.isEmpty()) {
        std::printf("no soundtrack for the loaded cases: %s\n", qPrintable(reason));
    }
    std::printf(
        "cue lateness, direct control, paced simulated bus (line wait %.1f ms, %.2f ms a "
        "frame)\n",
        kLineWaitMs, kFrameWireMs);
    // The worker has started and asked by now.
    Settle(100);
    if (const auto grant = FirstSchedulingGrant()) {
        std::printf("firing threads: %s\n", qPrintable(SchedulingGrantText(*grant)));
    }
    const QStringList only = app.arguments().mid(1);
    int n = 0;
    for (const Case& c : cases) {
        ++n;
        if (!only.isEmpty() && !only.contains(QString::number(n))) {
            continue;
        }
        if (!c.loaded) {
            Rig::Report(c.name, rig.Run(c));
            continue;
        }
        Figures all;
        for (int run = 1; run <= kLoadedRuns; ++run) {
            const Figures f = rig.Run(c);
            std::printf("  run %d: median %.1f  p99 %.1f  max %.1f ms\n", run,
                        Percentile(f.late, 0.5), Percentile(f.late, 0.99), Percentile(f.late, 1.0));
            all.Add(f);
        }
        Rig::Report(c.name, all);
    }
    return 0;
}
