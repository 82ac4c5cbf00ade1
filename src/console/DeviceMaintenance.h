#pragma once

#include <QString>

#include "devices/ModeChange.h"
#include "devices/ModuleNumber.h"

namespace kv {

class ConsoleDialogs;
class ConsoleWiring;
class TCommonControl;

// The console's maintenance commands on the modules: a new number for the selected module and
// forcing on or off. Main thread only.
class DeviceMaintenance {
public:
    DeviceMaintenance(ConsoleWiring& wiring, ConsoleDialogs& dialogs);

    // "Изменить ID пульта...": the selected module of the test panel gets a new number. Polling
    // stops from the question to the last box. Returns the outcome; nothing happens (and
    // Refused is returned) without a selected module or while the bus is held by another
    // operation.
    NumberChange ChangeSelectedNumber();

    // "Режим теста" (F11) / "Режим пуска" (F12): the mode command to every module, each mode
    // read back after it. The command is logged ("Режим теста, пультов: 3"); modules not
    // confirmed in the mode asked for are logged and named in a box ("Режим не подтвержден,
    // пульты: 20, 30"). Polling stops around it; refused (an empty report) while the bus is
    // held by another operation.
    ModeChangeReport SetModeAll(uint8_t mode);

    // Ctrl+Insert / Ctrl+Delete: forcing on (off) for every module in list order, each logged
    // "Включение форсирования, пульт: 5" ("Выключение ..."), as the per-module keys are.
    void ForcingAll(bool on);
    // Insert / Delete on one module: the same command and log line. Returns the result.
    int32_t Forcing(TCommonControl& module, bool on);

    // The input box and the message boxes.
    void SetDialogs(ConsoleDialogs& dialogs) { dialogs_ = &dialogs; }

private:
    ConsoleWiring& wiring_;
    ConsoleDialogs* dialogs_;
};

}  // namespace kv
