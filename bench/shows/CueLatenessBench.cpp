// Cue lateness in direct control on the paced simulated bus: a dense show of bursts of 20
// simultaneous cues. For every fire frame: (first byte on the wire - its scheduled time), shown
// beside the wire time of the fire frames queued before it in its burst (3.65 ms a 7-byte frame
// at 19200 baud), which is the least lateness the bus allows.
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "bus/TPortProto.h"
#include "core/Clock.h"
#include "devices/TAutoControl.h"
#include "devices/TControls.h"
#include "shows/AudioSystem.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"
#include "sim/SimBus.h"

using namespace kv;

namespace {

constexpr int kBursts = 150;
constexpr int kBurstSize = 20;
constexpr int kBurstGapMs = 250;
constexpr double kFrameWireMs = 7 * 0.52083;

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SimBusOptions options;
    options.pacing = true;
    auto bus = std::make_shared<SimBus>(options);
    bus->AddConverter();
    for (int a = 1; a <= 5; ++a) {
        SimDeviceConfig c;
        c.address = a;
        c.channels = 512;
        bus->AddDevice(0, c);
    }
    TPortProto proto(16, bus);
    proto.OpenPort();
    TControls controls(proto);
    for (int a = 1; a <= 5; ++a) {
        auto d = std::make_unique<TAutoControl>(proto, a);
        d->PortIndex = 0;
        d->Version = 0x46B;
        controls.Add(std::move(d));
    }
    QByteArray text;
    std::map<int, int> channelOrderInBurst;  // (module*1000+channel) -> position in its burst
    for (int b = 0; b < kBursts; ++b) {
        for (int k = 0; k < kBurstSize; ++k) {
            const int module = 1 + k % 5;
            const int channel = 1 + (b * 4 + k / 5) % 512;
            text += QByteArray::number(1.0 + b * kBurstGapMs / 1000.0, 'f', 3) + ' ' +
                    QByteArray::number(module) + ' ' + QByteArray::number(channel) + "\r\n";
        }
    }
    TProjectList script;
    script.LoadFromBytes(text, "dense.txt");
    SelectAudioOutput(AudioOutput::Null);
    TExtPlayer player(controls);
    player.SetScript(&script);
    player.IdleInterval = -1;  // no polling between cues: the fires alone
    player.OnIdle = nullptr;
    bus->ClearRecords();
    // Simulated time has its own zero; the show's zero is taken on it.
    const double startUs = static_cast<double>(bus->NowUs());
    player.Start(0);
    while (player.IsPlaying()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        while (proto.DispatchPending()) {
        }
        SleepMs(1);
    }
    std::vector<double> late;
    std::vector<double> wire;
    int index = 0;
    for (const SimRecord& r : bus->Records()) {
        if (r.direction != SimDirection::FromConsole || r.bytes.size() < 7 || r.bytes[0] != 0x84) {
            continue;
        }
        if (index >= script.Count()) {
            break;
        }
        const double scheduledUs = startUs + script.Cue(index).Time * 1000.0;
        late.push_back((static_cast<double>(r.timeUs) - scheduledUs) / 1000.0);
        wire.push_back((index % kBurstSize) * kFrameWireMs);
        ++index;
    }
    std::printf(
        "cue lateness, direct control, paced bus: %d fire frames of %d cues "
        "(bursts of %d every %d ms)\n",
        index, script.Count(), kBurstSize, kBurstGapMs);
    std::printf("  lateness   median %.1f ms, p99 %.1f ms, max %.1f ms\n", Percentile(late, 0.5),
                Percentile(late, 0.99), Percentile(late, 1.0));
    std::printf(
        "  wire time of frames queued before it: median %.1f ms, p99 %.1f ms, max %.1f "
        "ms (%.2f ms a frame)\n",
        Percentile(wire, 0.5), Percentile(wire, 0.99), Percentile(wire, 1.0), kFrameWireMs);
    proto.ClosePort();
    return 0;
}
