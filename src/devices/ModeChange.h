#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <vector>

namespace kv {

class TCommonControl;
class TControls;

// The module mode command ("Режим теста" / "Режим пуска") with its answer: the command itself is
// unanswered, so each module's mode is read back with a status poll afterwards. A module is
// confirmed only when it reports the mode asked for; one that did not answer, did not change or
// cannot report its mode (firmware before 0x151, HV and motor modules) is not.
struct ModeReadBack {
    int address = 0;
    int32_t sent = 0;    // result of the mode command
    int32_t polled = 0;  // result of the status poll after it
    uint8_t mode = 2;    // the mode the module reported (2: unknown)
};

struct ModeChangeReport {
    uint8_t asked = 0;
    std::vector<ModeReadBack> modules;

    // Addresses of the modules not confirmed in the mode asked for, in list order.
    QList<int> Unconfirmed() const;
    // "20, 30"
    QString UnconfirmedText() const;
};

// Sends the mode command to each module, in order, then polls each once and reads its mode
// back. Main thread; the caller keeps polling off around it.
ModeChangeReport SetModeAndReadBack(const std::vector<TCommonControl*>& modules, uint8_t mode);
// The same for every module of the bus manager's list (address 1..199).
ModeChangeReport SetModeAndReadBack(TControls& controls, uint8_t mode);

// The mode word of the device model: "launch", "test" or "unknown" (for tools and logs that are
// not translated).
QString ModeWord(uint8_t mode);

}  // namespace kv
