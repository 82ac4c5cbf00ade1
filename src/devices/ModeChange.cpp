#include "devices/ModeChange.h"

#include <QStringList>

#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"

namespace kv {

QList<int> ModeChangeReport::Unconfirmed() const {
    QList<int> out;
    for (const ModeReadBack& m : modules) {
        if (m.sent != 0 || m.polled != 0 || m.mode != asked) {
            out.append(m.address);
        }
    }
    return out;
}

QString ModeChangeReport::UnconfirmedText() const {
    QStringList parts;
    for (int address : Unconfirmed()) {
        parts << QString::number(address);
    }
    return parts.join(QStringLiteral(", "));
}

ModeChangeReport SetModeAndReadBack(TControls& controls, uint8_t mode) {
    std::vector<TCommonControl*> modules;
    for (int i = 0; i < controls.Count(); ++i) {
        if (TCommonControl* module = controls.ModuleAt(i)) {
            modules.push_back(module);
        }
    }
    return SetModeAndReadBack(modules, mode);
}

ModeChangeReport SetModeAndReadBack(const std::vector<TCommonControl*>& modules, uint8_t mode) {
    ModeChangeReport report;
    report.asked = mode;
    for (TCommonControl* module : modules) {
        ModeReadBack m;
        m.address = module->Address;
        m.sent = module->SetMode(mode);
        report.modules.push_back(m);
    }
    // All commands first, then the read-back: each command already waits for the module to
    // settle, so no module is read before it had time to switch.
    for (std::size_t i = 0; i < modules.size(); ++i) {
        TCommonControl* module = modules[i];
        module->PollStatus();
        report.modules[i].polled = module->LastResult;
        report.modules[i].mode = module->Mode;
    }
    return report;
}

QString ModeWord(uint8_t mode) {
    switch (mode) {
        case ModeLaunch:
            return QStringLiteral("launch");
        case ModeTest:
            return QStringLiteral("test");
        default:
            return QStringLiteral("unknown");
    }
}

}  // namespace kv
