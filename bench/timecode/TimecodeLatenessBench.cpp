// Cue lateness against timecode, in direct control on the paced simulated bus (19200 baud,
// device turnaround), beside the same show on the console's own clock.
//
// The timecode is a WAV file of LTC (25 fps, two seconds of pre-roll) played in real time as if
// captured. For every fire frame of a cue: lateness = first byte on the wire - the moment the
// signal says the cue's time (the sample where the timecode reaches it, on the simulated bus's
// clock from the moment the file started). On the own clock the reference is the start plus
// the cue's time. 60 isolated cues, one every 333 ms (times not on a 25 ms or frame grid).
// Simulated time counts whole milliseconds: every figure is good to about 1 ms. Cues more than
// 20 ms late are named on stderr.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

#include "PacedShowRig.h"
#include "shows/AudioSystem.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"
#include "sim/SimBus.h"
#include "timecode/LtcTestSignal.h"
#include "timecode/TimecodeShowClock.h"
#include "timecode/WavTimecodeSource.h"

using namespace kv;
using namespace kv::bench;

namespace {

constexpr int kModules = 5;
constexpr int kCues = 60;
constexpr int kGapMs = 333;
constexpr int kFirstCueMs = 1007;
constexpr int kPrerollMs = 2000;
constexpr int kRate = 48000;

QByteArray Show() {
    QByteArray text;
    for (int i = 0; i < kCues; ++i) {
        text += CueLine(kFirstCueMs + i * kGapMs, 1 + i % kModules, 1 + i);
    }
    return text;
}

struct Figures {
    double median = 0;
    double p99 = 0;
    double max = 0;
    int frames = 0;
};

struct Rig : PacedShowRig {
    Rig() : PacedShowRig(PacedBus(kModules), kModules) {}

    // Runs the show (on the clock source when one is given) and measures each fire frame
    // against due(cue time) in simulated microseconds.
    template <class Due>
    Figures Run(TProjectList& script, TimecodeShowClock* clock, Due due) {
        player->SetScript(&script);
        player->SetClockSource(clock);
        player->IdleInterval = 1000000;
        Settle(300);
        bus->ClearRecords();
        if (clock) {
            clock->Arm(script);
            clock->Start();
        }
        const double startUs = static_cast<double>(bus->NowUs());
        player->Start(0);
        WaitUntilStopped(*player);
        player->SetClockSource(nullptr);

        std::vector<double> late;
        int index = 0;
        for (const SimRecord& r : bus->Records()) {
            if (r.direction != SimDirection::FromConsole || r.bytes.size() < 7 ||
                r.bytes[0] != 0x84 || index >= script.Count()) {
                continue;
            }
            late.push_back((static_cast<double>(r.timeUs) - startUs - due(script.Cue(index).Time)) /
                           1000.0);
            if (late.back() > 20.0) {
                std::fprintf(stderr, "  cue %d at %d ms: %.1f ms late\n", index,
                             script.Cue(index).Time, late.back());
            }
            ++index;
        }
        return Figures{Percentile(late, 0.5), Percentile(late, 0.99), Percentile(late, 1.0), index};
    }
};

void Print(const char* name, const Figures& f) {
    std::printf("%-28s %2d of %d fire frames  median %6.2f  p99 %6.2f  max %6.2f ms\n", name,
                f.frames, kCues, f.median, f.p99, f.max);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SelectAudioOutput(AudioOutput::Null);
    TProjectList script;
    script.LoadFromBytes(Show(), "bench.txt");

    const Timecode zero{1, 0, 0, 0};
    const double zeroMs = TimecodeMs(zero, TimecodeRate::Fps25);
    test::LtcTestSignal signal(kRate, TimecodeRate::Fps25);
    signal.AppendTimecodeAt(zeroMs - kPrerollMs, kPrerollMs + script.LastTime() + 1500);
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("ltc.wav"));
    if (!signal.WriteWav(wav, 1, 0)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(wav));
        return 1;
    }

    Rig rig;
    std::printf("cue lateness, direct control, paced simulated bus, %d isolated cues\n", kCues);
    const Figures own = rig.Run(script, nullptr, [](int32_t t) { return t * 1000.0; });
    Print("own clock", own);

    auto source = std::make_unique<WavTimecodeSource>();
    if (!source->Open(wav, 0)) {
        std::fprintf(stderr, "%s\n", qPrintable(source->Error()));
        return 1;
    }
    TimecodeFollowerSettings settings;
    settings.showZero = zero;
    TimecodeShowClock clock(std::move(source), settings);
    const Figures tc = rig.Run(script, &clock, [&](int32_t t) {
        return static_cast<double>(signal.SampleOfTimecodeMs(zeroMs + t)) * 1e6 / kRate;
    });
    Print("timecode (LTC 25 fps)", tc);
    std::printf("timecode / own clock: median %.2f, p99 %.2f (p99 %+.2f ms)\n",
                own.median != 0 ? tc.median / own.median : 0.0,
                own.p99 != 0 ? tc.p99 / own.p99 : 0.0, tc.p99 - own.p99);
    return 0;
}
