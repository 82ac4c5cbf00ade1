#pragma once

#include <QWidget>
#include <array>

#include "console/HvPanelModel.h"

class QLabel;
class QPushButton;
class QSpinBox;

#include "console/windows/ModuleSelection.h"

namespace kv {

class THVControl;

// The HV module's test panel: sixteen output rows with the measured resistance, the charge
// voltage derived from it and a "Заряд" button, the energy spin box and the safety warning.
class HvPanel : public QWidget {
    Q_OBJECT
public:
    explicit HvPanel(QWidget* parent = nullptr);

    // Where the selected HV module comes from (nullptr: none). Asked at every refresh and every
    // command, so a module a search removed is never used through a stale pointer.
    void SetModuleSource(const ModuleSelection* source);
    // Recomputes the charge voltages and redraws the rows and the energy. Putting the module's
    // energy into the spin box does not write it back to the module.
    void Refresh();

    // The question before a charge (caption, text; true on Yes). The main window sets a
    // message box; unset, nothing is charged.
    HvPanelModel::Question AskCharge;

    const HvPanelModel& Model() const { return model_; }
    QSpinBox* EnergyEdit() const { return energy_; }
    QLabel* ResistanceLabel(int row) const { return ohms_[static_cast<size_t>(row)]; }
    QLabel* VoltageLabel(int row) const { return volts_[static_cast<size_t>(row)]; }
    QPushButton* ChargeButton(int row) const { return charge_[static_cast<size_t>(row)]; }

private:
    void EnergyChanged(int value);
    THVControl* Module() const;

    HvPanelModel model_;
    const ModuleSelection* source_ = nullptr;
    // Set while Refresh puts values into the controls: the spin box's change is then ours.
    bool updating_ = false;
    QSpinBox* energy_ = nullptr;
    std::array<QLabel*, HvPanelModel::kRows> ohms_{};
    std::array<QLabel*, HvPanelModel::kRows> volts_{};
    std::array<QPushButton*, HvPanelModel::kRows> charge_{};
};

}  // namespace kv
