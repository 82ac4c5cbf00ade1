#include "sim/SimRig.h"

namespace kv {

// Kept identical to rigs/demo.rig (a test compares them), so that the demo runs without files.
const std::string& SimRig::DemoText() {
    static const std::string text =
        R"RIG(# Demo rig of the simulated bus: two converters, three firing modules of different firmware
# generations, an HV and a motor module, two radio link units, the radio remote control and
# one other console. Format: rigs/README.md.
bus pacing=on turnaround-us=1000 seed=1

converter serial=KVSIM1 description="USB-RS485 (simulated) A"
# Oldest generation: one firing time per channel, continuity reading.
module address=3 version=140 channels=16 ohms=2.1 ohm.5=open ohm.11=open
# Slot memory, unanswered cue writes, number change not yet possible.
module address=7 version=160 channels=24 ohms=1.8 ohm.2=open ohm.9=45 temp=18
# Newest: answered writes with the 2 ms part, resistance readings, fast erase, behind a relay.
module address=12 version=46B channels=40 ohms=2.4 ohm.3=open ohm.17=0.4 ohm.18=120 ohm.33=open relay=5 temp=23
hv address=20 version=46B channels=4 ohms=2.5 ohm.4=30 energy=15

converter serial=KVSIM2 description="USB-RS485 (simulated) B"
motor address=30 version=165 channels=1 supply=24.1
radio address=240 version=120
radio address=241 version=120
remote version=146
console id=77 major=3
)RIG";
    return text;
}

}  // namespace kv
