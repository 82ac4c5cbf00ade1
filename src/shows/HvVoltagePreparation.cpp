#include "shows/HvVoltagePreparation.h"

#include <QStringList>
#include <algorithm>
#include <map>

#include "core/EventLog.h"
#include "devices/ChannelClassifier.h"
#include "devices/TControls.h"
#include "devices/THVControl.h"
#include "devices/TScriptCue.h"
#include "i18n/Localizer.h"
#include "shows/TProjectList.h"

namespace kv {

namespace {

THVControl* HvAt(const TControls& controls, int32_t address) {
    auto* hv = dynamic_cast<THVControl*>(controls.FindByAddress(address));
    return hv != nullptr && hv->Kind == KindHVControl ? hv : nullptr;
}

bool HasOutput(const THVControl& hv, int channel) {
    return channel >= 0 && channel < std::min(hv.ChannelCount, kMaxChannels);
}

}  // namespace

std::vector<HvOutput> ScriptedHvOutputs(const TControls& controls, const TProjectList& script) {
    std::vector<HvOutput> out;
    for (int i = 0; i < script.Count(); ++i) {
        const TScriptCue& cue = script.Cue(i);
        if (IsMotorCue(cue.Kind)) {
            continue;
        }
        const THVControl* hv = HvAt(controls, cue.Module);
        const HvOutput o{cue.Module, cue.Channel};
        if (hv != nullptr && HasOutput(*hv, cue.Channel) &&
            std::find(out.begin(), out.end(), o) == out.end()) {
            out.push_back(o);
        }
    }
    return out;
}

std::vector<HvOutput> AllHvOutputs(const TControls& controls) {
    std::vector<HvOutput> out;
    for (int i = 0; i < controls.Count(); ++i) {
        const auto* hv = dynamic_cast<const THVControl*>(controls.Items(i));
        if (hv == nullptr || hv->Kind != KindHVControl || !hv->IsModule()) {
            continue;
        }
        for (int ch = 0; HasOutput(*hv, ch); ++ch) {
            out.push_back({hv->Address, ch});
        }
    }
    return out;
}

HvPreparation PrepareHvVoltages(TControls& controls, const std::vector<HvOutput>& outputs) {
    return PrepareHvVoltages(controls, outputs, ResistanceThresholds::FromSettings());
}

HvPreparation PrepareHvVoltages(TControls& controls, const std::vector<HvOutput>& outputs,
                                const ResistanceThresholds& thresholds) {
    HvPreparation result;
    for (const HvOutput& o : outputs) {
        THVControl* hv = HvAt(controls, o.Address);
        if (hv == nullptr || !HasOutput(*hv, o.Channel)) {
            continue;
        }
        const auto ch = static_cast<size_t>(o.Channel);
        // Measured by the last test and computed by the panel: the operator's voltage stands.
        const bool measured = hv->ChannelState[ch] == ChannelConnected;
        if (measured && hv->ChargeVoltage[ch] >= THVControl::kMinChargeVoltage) {
            continue;
        }
        // The energy is read when the module registers; a failed read leaves 0, so ask again
        // before charging every output to the 1 V floor.
        if (hv->Energy <= 0) {
            hv->Energy = hv->ReadEnergy();
        }
        if (hv->Energy <= 0) {
            result.Refused.push_back(o);
            continue;
        }
        bool fresh = false;
        if (!measured) {
            double value = 0;
            hv->ChannelState[ch] = ChannelError;
            if (hv->MeasureChannel(o.Channel, value) != 0) {
                result.Refused.push_back(o);
                continue;
            }
            ClassifyMeasurement(*hv, o.Channel, value, thresholds);
            fresh = true;
        }
        const double ohms = hv->ChannelResistance[ch];
        hv->ChargeVoltage[ch] = THVControl::ChargeVoltageFor(ohms, hv->Energy);
        const HvPreparation::Computed c{o, ohms, hv->ChargeVoltage[ch], fresh};
        result.ComputedVoltages.push_back(c);
        WriteLog(HvComputedLine(c), 1);
    }
    if (!result.Ok()) {
        WriteLog(HvRefusedLine(result), 1);
    }
    return result;
}

QString HvPreparation::RefusedText() const {
    std::map<int32_t, QStringList> byModule;
    for (const HvOutput& o : Refused) {
        byModule[o.Address].push_back(QString::number(o.Channel + 1));
    }
    QStringList parts;
    for (const auto& [address, channels] : byModule) {
        parts.push_back(Message(Msg::ModuleWord) + QLatin1Char(' ') + QString::number(address) +
                        QStringLiteral(": ") + Message(Msg::ChannelsWord) + QLatin1Char(' ') +
                        channels.join(QStringLiteral(", ")));
    }
    return parts.join(QStringLiteral("; "));
}

QString HvComputedLine(const HvPreparation::Computed& c) {
    return Message(Msg::MeasuredChargeVoltageModule) + QLatin1Char(' ') +
           QString::number(c.Output.Address) + Message(Msg::FiredChannelSuffix) + QLatin1Char(' ') +
           QString::number(c.Output.Channel + 1) + Message(Msg::ResistanceSuffix) +
           QLatin1Char(' ') + QString::number(c.Ohms, 'f', 2) + Message(Msg::VoltageSuffix) +
           QLatin1Char(' ') + QString::number(c.Voltage);
}

QString HvRefusedLine(const HvPreparation& p) {
    return Message(Msg::StartRefusedNoChargeVoltage) + QLatin1Char(' ') + p.RefusedText();
}

}  // namespace kv
