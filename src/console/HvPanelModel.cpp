#include "console/HvPanelModel.h"

#include <algorithm>

#include "devices/THVControl.h"

namespace kv {

void HvPanelModel::Refresh(THVControl* module) {
    rows_.fill(Row{});
    if (module == nullptr) {
        return;
    }
    const int outputs = std::clamp(module->ChannelCount, 0, kMaxChannels);
    for (int i = 0; i < std::min(outputs, kRows); ++i) {
        rows_[static_cast<size_t>(i)].ChargeEnabled = true;
    }
    // Putting the module's energy into the spin box must not write it back.
    updating_ = true;
    energy_ = module->Energy;
    module->ComputeChargeVoltages();
    for (int i = 0; i < std::min(outputs, kRows); ++i) {
        Row& row = rows_[static_cast<size_t>(i)];
        const double r = module->ChannelResistance[i];
        if (r != 0) {
            row.Resistance = QString::number(r, 'f', 2);
        }
        row.Voltage = QString::number(module->ChargeVoltage[i]);
    }
    updating_ = false;
}

int HvPanelModel::EnergyChanged(THVControl* module, int value) {
    if (updating_ || module == nullptr) {
        return 0;
    }
    value = std::clamp(value, 0, kMaxEnergy);
    // The local value follows the operator even when the write fails.
    module->Energy = value;
    const int result = module->WriteEnergy(value);
    Refresh(module);
    return result;
}

int HvPanelModel::ChargeRow(THVControl* module, int row) {
    if (module == nullptr || row < 0 || row >= kRows ||
        !rows_[static_cast<size_t>(row)].ChargeEnabled) {
        return 0;
    }
    return module->Charge(module->ChargeVoltage[row]);
}

}  // namespace kv
