#include "devices/ChannelTester.h"

#include "core/EventLog.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "devices/THVControl.h"
#include "i18n/Localizer.h"

namespace kv {

namespace {

// Clears busy when a test ends, however it ends.
class BusyGuard {
public:
    explicit BusyGuard(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyGuard() { busy_ = false; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    bool& busy_;
};

}  // namespace

QString ChannelTester::SummaryLine(const TCommonControl& module) {
    return Message(Msg::ChannelTestModule, MsgVariant::Alternative) + QLatin1Char(' ') +
           QString::number(module.Address) + Message(Msg::ChannelCountSuffix) + QLatin1Char(' ') +
           QString::number(module.ChannelCount) + Message(Msg::ConnectedCountSuffix) +
           QLatin1Char(' ') + QString::number(module.ConnectedCount());
}

bool ChannelTester::TestModule(TCommonControl& module) {
    // A second test must not start inside one (the progress hook pumps events).
    if (busy_) {
        return false;
    }
    BusyGuard guard(busy_);
    // Cleared before anything can run window events: a stop pressed from here on counts.
    stopRequested_ = false;
    failedMeasurements_ = 0;
    lastFailure_ = 0;
    bands_ = Thresholds.value_or(ResistanceThresholds::FromSettings());
    return RunModule(module);
}

bool ChannelTester::RunModule(TCommonControl& module) {
    module.ClearChannels();
    OnProgress(module, -1);
    if (module.Kind == KindHVControl) {
        auto& hv = static_cast<THVControl&>(module);
        hv.Energy = hv.ReadEnergy();
    }
    for (int channel = 0; channel < module.ChannelCount && !stopRequested_; ++channel) {
        // Error first: a channel that never answers stays marked as failed.
        module.ChannelState[channel] = ChannelError;
        double value = 0;
        const int result = module.MeasureChannel(channel, value);
        if (result == 0) {
            ClassifyMeasurement(module, channel, value, bands_);
        } else {
            ++failedMeasurements_;
            lastFailure_ = result;
        }
        OnProgress(module, channel);
    }
    WriteLog(SummaryLine(module), 1);
    return !stopRequested_;
}

void ChannelTester::TestAllModules() {
    if (busy_) {
        return;
    }
    BusyGuard guard(busy_);
    // Once for the whole run: a stop pressed while a module's panel is drawn, or between two
    // modules, ends the run instead of being forgotten by the next module's start.
    stopRequested_ = false;
    failedMeasurements_ = 0;
    lastFailure_ = 0;
    bands_ = Thresholds.value_or(ResistanceThresholds::FromSettings());
    const int first = controls_.FirstModuleIndex();
    // Nothing to test when the list holds no module at all; the selection still follows.
    if (first < 0) {
        OnSelect(-1);
        return;
    }
    OnSelect(first);
    for (int i = first; i < controls_.Count(); ++i) {
        TCommonControl* module = controls_.ModuleAt(i);
        if (module == nullptr) {
            continue;
        }
        OnSelect(i);
        if (stopRequested_ || !RunModule(*module)) {
            break;
        }
    }
    OnSelect(controls_.FirstModuleIndex());
}

}  // namespace kv
