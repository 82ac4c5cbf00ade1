#include "console/DeviceMaintenance.h"

#include "console/ConsoleDialogs.h"
#include "console/ConsoleWiring.h"
#include "core/EventLog.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"

namespace kv {

DeviceMaintenance::DeviceMaintenance(ConsoleWiring& wiring, ConsoleDialogs& dialogs)
    : wiring_(wiring), dialogs_(&dialogs) {}

NumberChange DeviceMaintenance::ChangeSelectedNumber() {
    if (wiring_.BusHeld() || wiring_.Searching() || wiring_.Testing()) {
        return NumberChange::Refused;
    }
    TCommonControl* module = wiring_.SelectedModule();
    if (module == nullptr) {
        return NumberChange::Refused;
    }
    // No status poll between the question and the confirmation of the new number.
    wiring_.SetBusHeld(true);
    wiring_.IdleTimer().stop();
    const auto done = [this](NumberChange outcome) {
        const NumberChangeBox box = NumberChangeMessage(outcome);
        if (!box.text.isEmpty()) {
            dialogs_->ShowMessage(box.caption, box.text);
        }
        wiring_.SetBusHeld(false);
        wiring_.ResumePolling();
        return outcome;
    };
    if (module->Version < fw::NumberChange) {
        return done(NumberChange::Unsupported);
    }
    QString text = QString::number(module->Address);
    if (!dialogs_->AskText(Message(Msg::ChangeNumber), Message(Msg::EnterNewModuleNumber), text)) {
        wiring_.SetBusHeld(false);
        wiring_.ResumePolling();
        return NumberChange::Refused;
    }
    const int old = module->Address;
    const NumberChange outcome = ChangeModuleNumber(wiring_.Controls(), *module, text);
    if (outcome == NumberChange::Changed) {
        WriteLog(Message(Msg::ChangeNumber) + QStringLiteral(", ") + Message(Msg::ModuleLabel) +
                     QLatin1Char(' ') + QString::number(old) + QStringLiteral(" -> ") +
                     QString::number(module->Address),
                 1);
        // The list is sorted by address again; the selection follows the module.
        wiring_.SetTestSelection(wiring_.Controls().IndexOf(module));
        emit wiring_.DeviceListChanged();
        emit wiring_.TestPanelChanged();
    }
    return done(outcome);
}

ModeChangeReport DeviceMaintenance::SetModeAll(uint8_t mode) {
    if (wiring_.BusHeld() || wiring_.Searching() || wiring_.Testing()) {
        return {};
    }
    // No status poll between the commands and their read-back.
    wiring_.SetBusHeld(true);
    wiring_.IdleTimer().stop();
    const ModeChangeReport report = SetModeAndReadBack(wiring_.Controls(), mode);
    WriteLog(Message(mode == ModeTest ? Msg::TestModeModules : Msg::FireModeModules) +
                 QLatin1Char(' ') + QString::number(report.modules.size()),
             1);
    const QString unconfirmed = report.UnconfirmedText();
    if (!unconfirmed.isEmpty()) {
        // A crew that believes the whole rig is in test mode walks up to it: name every module
        // the console could not see switch.
        const QString line = Message(Msg::ModeNotConfirmedModules) + QLatin1Char(' ') + unconfirmed;
        WriteLog(line, 1);
        dialogs_->ShowMessage(Message(Msg::Warning),
                              line + QLatin1Char('\n') + Message(Msg::CheckModeOnSite));
    }
    wiring_.SetBusHeld(false);
    wiring_.ResumePolling();
    return report;
}

int32_t DeviceMaintenance::Forcing(TCommonControl& module, bool on) {
    const int32_t result = module.SetForcing(on ? ForcingOn : ForcingOff);
    WriteLog(Message(on ? Msg::ForcingOnModule : Msg::ForcingOffModule) + QLatin1Char(' ') +
                 QString::number(module.Address),
             1);
    return result;
}

void DeviceMaintenance::ForcingAll(bool on) {
    TControls& controls = wiring_.Controls();
    for (int i = 0; i < controls.Count(); ++i) {
        TCommonControl* module = controls.ModuleAt(i);
        // As the per-module keys: HV and motor modules have no forcing, and as their mode
        // cannot be read, the command would set it blind.
        if (module != nullptr && module->Kind != KindHVControl &&
            module->Kind != KindMotorControl) {
            Forcing(*module, on);
        }
    }
}

}  // namespace kv
