#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace kv {

class TControls;
class TProjectList;
struct ResistanceThresholds;

// One output of an HV module.
struct HvOutput {
    int32_t Address = 0;
    int Channel = 0;  // 0-based
    friend bool operator==(const HvOutput&, const HvOutput&) = default;
};

// What PrepareHvVoltages did.
struct HvPreparation {
    struct Computed {
        HvOutput Output;
        double Ohms = 0;
        int32_t Voltage = 0;
        bool Measured = false;  // false: taken from the module's last test
    };
    std::vector<Computed> ComputedVoltages;
    // Outputs left without a voltage: their measurement failed, or the module's energy is 0.
    std::vector<HvOutput> Refused;

    bool Ok() const { return Refused.empty(); }
    // The refusal for the operator: every HV module with its outputs (1-based), e.g.
    // "пульт 20: каналы 1, 3"; empty when nothing was refused.
    QString RefusedText() const;
};

// The outputs of HV modules on the bus that the script fires, in script order, each once.
// Outputs beyond a module's ChannelCount are left out: the module has nothing to charge there.
std::vector<HvOutput> ScriptedHvOutputs(const TControls& controls, const TProjectList& script);
// Every output of every HV module on the bus (a manual launch may fire any of them).
std::vector<HvOutput> AllHvOutputs(const TControls& controls);

// A charge voltage only exists once it was computed from a measured resistance (the HV panel
// after a test). A show must never charge an output to a voltage nobody computed (the module
// would be charged to 0 V and the cue would misfire while the log says it fired), so before a
// show starts every output it may fire gets one: an output whose last test measured it keeps
// its voltage or has it computed from that resistance; any other output is measured now and its
// voltage computed with the module's energy. Each computed voltage is logged. An output whose
// measurement fails, or a module whose energy is 0, is refused: the caller must not start.
// Outputs that already hold a voltage cost no bus traffic, so calling this twice is cheap.
HvPreparation PrepareHvVoltages(TControls& controls, const std::vector<HvOutput>& outputs);
HvPreparation PrepareHvVoltages(TControls& controls, const std::vector<HvOutput>& outputs,
                                const ResistanceThresholds& thresholds);

// The log line of a computed voltage and of a refusal.
QString HvComputedLine(const HvPreparation::Computed& c);
QString HvRefusedLine(const HvPreparation& p);

}  // namespace kv
