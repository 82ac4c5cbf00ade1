#include "console/HvPanelModel.h"

#include <algorithm>

#include "core/EventLog.h"
#include "devices/MemoryResults.h"
#include "devices/THVControl.h"
#include "i18n/Localizer.h"

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

namespace {

QString ChargeTarget(int address, int row, int volts) {
    return Message(Msg::ModuleLabel) + QLatin1Char(' ') + QString::number(address) +
           Message(Msg::ChannelSuffix) + QLatin1Char(' ') + QString::number(row + 1) +
           Message(Msg::VoltageSuffix) + QLatin1Char(' ') + QString::number(volts);
}

}  // namespace

QString HvPanelModel::ChargeQuestion(int address, int row, int volts) {
    return Message(Msg::ConfirmHvCharge) + QLatin1Char('\n') + ChargeTarget(address, row, volts);
}

QString HvPanelModel::ChargeLogLine(int address, int row, int volts, int32_t result) {
    QString line = Message(Msg::HvChargeModule) + QLatin1Char(' ') + QString::number(address) +
                   Message(Msg::ChannelSuffix) + QLatin1Char(' ') + QString::number(row + 1) +
                   Message(Msg::VoltageSuffix) + QLatin1Char(' ') + QString::number(volts);
    if (result != 0) {
        line += QStringLiteral(" - ") + MemoryResultText(result);
    }
    return line;
}

HvPanelModel::ChargeOutcome HvPanelModel::ChargeRow(THVControl* module, int row,
                                                    const Question& ask) {
    if (module == nullptr || row < 0 || row >= kRows ||
        !rows_[static_cast<size_t>(row)].ChargeEnabled) {
        return {};
    }
    // A charged capacitor is live on the firing line: never on one click.
    const int volts = module->ChargeVoltage[row];
    const int address = module->Address;
    if (!ask || !ask(Message(Msg::Confirmation), ChargeQuestion(address, row, volts))) {
        return {Charge::Declined, 0};
    }
    const int32_t result = module->Charge(volts);
    WriteLog(ChargeLogLine(address, row, volts, result), 1);
    return {Charge::Sent, result};
}

}  // namespace kv
