#pragma once

#include <QString>
#include <functional>

#include "devices/ModuleNumber.h"

namespace kv {

class ConsoleWiring;
class TCommonControl;

// The console's maintenance commands on the modules: a new number for the selected module and
// forcing on or off. Main thread only.
class DeviceMaintenance {
public:
    explicit DeviceMaintenance(ConsoleWiring& wiring);

    // "Изменить ID пульта...": the selected module of the test panel gets a new number. Polling
    // stops from the question to the last box. Returns the outcome; nothing happens (and
    // Refused is returned) without a selected module or while the bus is held by another
    // operation.
    NumberChange ChangeSelectedNumber();

    // Ctrl+Insert / Ctrl+Delete: forcing on (off) for every module in list order, each logged
    // "Включение форсирования, пульт: 5" ("Выключение ..."), as the per-module keys are.
    void ForcingAll(bool on);
    // Insert / Delete on one module: the same command and log line. Returns the result.
    int32_t Forcing(TCommonControl& module, bool on);

    // The input box (caption, prompt, in/out text prefilled with the address); false when the
    // operator cancelled. Unset means cancelled.
    std::function<bool(const QString& caption, const QString& prompt, QString& text)> AskText;
    // A modal box with an OK button.
    std::function<void(const QString& caption, const QString& text)> ShowMessage;

private:
    ConsoleWiring& wiring_;
};

}  // namespace kv
