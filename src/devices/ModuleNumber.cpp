#include "devices/ModuleNumber.h"

#include "bus/TPortProto.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"

namespace kv {

int ParseModuleNumber(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok, 10);
    return ok ? n : 0;
}

NumberChange ChangeModuleNumber(TControls& controls, TCommonControl& module, const QString& text) {
    if (module.Version < fw::NumberChange) {
        return NumberChange::Unsupported;
    }
    const int number = ParseModuleNumber(text);
    if (number < kFirstModuleAddress || number > 239) {
        return NumberChange::Refused;
    }
    const TCommonDevice* holder = controls.FindByAddress(number);
    if (holder != nullptr && holder != &module) {
        return NumberChange::Refused;
    }
    const int result =
        module.Bus().ChangeNumber(module.Address, number, module.RelayId, module.PortIndex);
    if (result != 0) {
        return NumberChange::Failed;
    }
    module.Address = number;
    controls.SortByAddress();
    return NumberChange::Changed;
}

NumberChangeBox NumberChangeMessage(NumberChange outcome) {
    switch (outcome) {
        case NumberChange::Changed:
            return {};
        case NumberChange::Unsupported:
            return {Message(Msg::Warning), Message(Msg::NumberChangeUnsupported)};
        case NumberChange::Refused:
        case NumberChange::Failed:
            return {Message(Msg::Error), Message(Msg::ModuleNumberChangeFailed)};
    }
    return {};
}

}  // namespace kv
