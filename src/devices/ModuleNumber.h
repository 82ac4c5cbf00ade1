#pragma once

#include <QString>

namespace kv {

class TCommonControl;
class TControls;

// Giving a module a new number (address).
enum class NumberChange {
    Changed,      // sent and confirmed; Address is the new number, the list re-sorted
    Unsupported,  // firmware below 0x167: nothing sent
    Refused,      // not a number, outside 1..239, or held by another device: nothing sent
    Failed,       // the module did not confirm; Address unchanged
};

// The number typed into the input box; text that is not a whole number gives 0.
int ParseModuleNumber(const QString& text);

// Version check, range check, then the change on the bus (three attempts of write, read back and
// identification, at the module's current address). A number another device on the bus already
// answers to is refused: two devices at one address would answer and fire together.
NumberChange ChangeModuleNumber(TControls& controls, TCommonControl& module, const QString& text);

// The box the console shows for an outcome: "Предупреждение" / "Данная версия пульта не
// поддерживает изменение номера." for Unsupported, "Ошибка" / "Ошибка изменения номера
// пульта." for Refused and Failed; empty texts for Changed.
struct NumberChangeBox {
    QString caption;
    QString text;
};
NumberChangeBox NumberChangeMessage(NumberChange outcome);

}  // namespace kv
