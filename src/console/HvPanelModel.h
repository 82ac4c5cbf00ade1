#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace kv {

class THVControl;

// The HV panel: sixteen output rows with the measured resistance, the charge voltage derived
// from it and the energy, and whether the row's "Заряд" button is enabled.
class HvPanelModel {
public:
    static constexpr int kRows = 16;
    static constexpr int kMaxEnergy = 255;
    static constexpr int kDefaultEnergy = 15;

    struct Row {
        QString Resistance = QStringLiteral("?");
        QString Voltage = QStringLiteral("?");
        bool ChargeEnabled = false;
    };

    // Recomputes the charge voltages of module (nullptr: nothing selected) and the rows.
    void Refresh(THVControl* module);
    // The operator changed the energy spin box. Ignored while Refresh puts the module's value
    // into the box; otherwise writes the new energy and recomputes. Returns the write result
    // (0 when nothing was sent).
    int EnergyChanged(THVControl* module, int value);
    // "Заряд" of row (0-based): charges to that output's voltage. Disabled rows send nothing.
    int ChargeRow(THVControl* module, int row);

    const std::array<Row, kRows>& Rows() const { return rows_; }
    int Energy() const { return energy_; }
    bool Updating() const { return updating_; }

private:
    std::array<Row, kRows> rows_{};
    int energy_ = kDefaultEnergy;
    bool updating_ = false;
};

}  // namespace kv
