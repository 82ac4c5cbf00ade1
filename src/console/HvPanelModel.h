#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>

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
    // A Yes/No question (caption, text); true on Yes.
    using Question = std::function<bool(const QString& caption, const QString& text)>;
    enum class Charge { NotSent, Declined, Sent };
    struct ChargeOutcome {
        Charge charge = Charge::NotSent;
        int32_t result = 0;  // the bus result of a charge sent
    };
    // "Заряд" of row (0-based): charges the capacitor to that output's voltage. The operator is
    // asked first (unset: no) and a charge sent is logged with the module, output, voltage and
    // any failure. Disabled rows send nothing.
    ChargeOutcome ChargeRow(THVControl* module, int row, const Question& ask);
    // The question and the log line of a charge: "Пульт: 20, канал: 3, напряжение, В: 61".
    static QString ChargeQuestion(int address, int row, int volts);
    static QString ChargeLogLine(int address, int row, int volts, int32_t result);

    const std::array<Row, kRows>& Rows() const { return rows_; }
    int Energy() const { return energy_; }
    bool Updating() const { return updating_; }

private:
    std::array<Row, kRows> rows_{};
    int energy_ = kDefaultEnergy;
    bool updating_ = false;
};

}  // namespace kv
