// The soak of a 30-minute show on the simulated demo rig, in direct and in autonomous control:
// 1 % noise bytes, 2 % each of lost, late and corrupt answers, converter 0 unplugged for 3 s
// twice. Prints cues fired and not sent, converter losses, the fired-channel checks, the false
// frames the noise made by frame code (during the show, and per MB from 4 MB of noise on the idle
// bus after it), and the resident memory.
//
//   kv_bench_show_soak [MINUTES [SEED]]
#include <QCoreApplication>
#include <cstdlib>

#include "ShowSoak.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    kvsoak::SoakOptions o;
    o.noiseProbeBytes = 4u << 20;
    if (argc > 1) {
        o.showMs = std::atoi(argv[1]) * 60 * 1000;
    }
    if (argc > 2) {
        o.seed = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
    }
    bool ok = true;
    for (const uint8_t control :
         {kv::TCommonPlayer::ControlDirect, kv::TCommonPlayer::ControlAutonomous}) {
        o.control = control;
        const kvsoak::SoakResult r = kvsoak::RunShowSoak(o);
        kvsoak::PrintSoak(control == kv::TCommonPlayer::ControlDirect ? "direct" : "autonomous", o,
                          r);
        ok = ok && !r.clockStopped && r.unaccounted == 0 && r.firedNotOnWire == 0 &&
             r.checksLost == 0 && r.losses == o.unplugs && r.restores == o.unplugs;
    }
    return ok ? 0 : 1;
}
