#include "console/IndicatorLooks.h"

#include <cstdlib>

#include "console/ConsoleState.h"
#include "console/ShowTexts.h"
#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "shows/TCommonPlayer.h"

namespace kv {

namespace {

Look OnIf(bool on) {
    return on ? Look::On : Look::Off;
}

// Powered modules below this supply voltage cannot fire reliably.
constexpr double kMinSupplyVolts = 10.0;
constexpr int kFullLinkPercent = 100;

}  // namespace

ModeIndicators ModeIndicatorLooks(const ModeIndicatorInputs& in) {
    ModeIndicators m;
    m.WaitLabel = in.Searching ? Message(Msg::Searching) : Message(Msg::Waiting);
    if (in.Searching || in.Testing) {
        return m;
    }
    m.WorkAuto = OnIf(in.WorkMode == TCommonPlayer::WorkAutomatic ||
                      in.WorkMode == TCommonPlayer::WorkAutomaticManual);
    m.WorkManual = OnIf(in.WorkMode == TCommonPlayer::WorkManual ||
                        in.WorkMode == TCommonPlayer::WorkAutomaticManual);
    if (in.LaunchState == ConsoleState::Waiting) {
        m.Wait = Look::On;
        m.SoundPlay = Look::Off;
    } else {
        m.Work = Look::On;
    }
    m.Direct = OnIf(in.ControlMode == TCommonPlayer::ControlDirect);
    m.Autonomous = OnIf(in.ControlMode == TCommonPlayer::ControlAutonomous);
    return m;
}

SummaryLeds SummaryLedLooks(const TControls& controls) {
    SummaryLeds s;
    int modules = 0;
    int answering = 0;
    bool lowSupply = false;
    bool weakLink = false;
    bool forcing = false;
    for (int i = 0; i < controls.Count(); ++i) {
        const TCommonControl* m = controls.ModuleAt(i);
        if (m == nullptr) {
            continue;
        }
        ++modules;
        if (m->LinkQuality() < kFullLinkPercent) {
            weakLink = true;
        }
        if (m->LastResult != 0) {
            continue;
        }
        ++answering;
        lowSupply = lowSupply || m->SupplyVoltage < kMinSupplyVolts;
        forcing = forcing || m->Forcing == ForcingOn;
    }
    if (modules == 0) {
        return s;
    }
    s.Power = answering > 0 && !lowSupply ? Look::On : Look::Alarm;
    s.Link = weakLink ? Look::Alarm : Look::On;
    s.Forcing = OnIf(forcing);
    return s;
}

PresenceLeds PresenceAfterRebuild(const TControls& controls) {
    PresenceLeds p;
    for (int i = 0; i < controls.Count(); ++i) {
        const TCommonDevice* d = controls.Items(i);
        if (d == nullptr) {
            continue;
        }
        if (d->Address == kRemoteAddress) {
            p.Remote = Look::On;
        } else if (IsRadioAddress(d->Address)) {
            p.RadioUnits[static_cast<size_t>(d->Address - kFirstRadioAddress)] = Look::On;
            p.Radio = Look::On;
        }
    }
    return p;
}

void PresenceAfterPoll(PresenceLeds& leds, const TControls& controls, int index) {
    const TCommonDevice* d = controls.Items(index);
    if (d == nullptr) {
        return;
    }
    if (d->Address == kRemoteAddress) {
        leds.Remote = d->LastResult != 0 ? Look::Alarm : Look::On;
    } else if (IsRadioAddress(d->Address)) {
        leds.Radio = controls.RadioUnitsInError() > 0 ? Look::Alarm : Look::On;
        leds.RadioUnits[static_cast<size_t>(d->Address - kFirstRadioAddress)] =
            d->LastResult != 0 ? Look::Alarm : Look::On;
    }
}

Look SyncLook(bool soundLoaded, bool soundPlaying, int32_t soundPosition, int32_t position) {
    if (!soundLoaded || !soundPlaying) {
        return Look::Off;
    }
    const int64_t gap = std::llabs(static_cast<int64_t>(soundPosition) - position);
    return gap < kSyncToleranceMs ? Look::On : Look::Alarm;
}

std::optional<Look> SoundPlayLookAtSoundTick(bool soundPlaying, uint8_t launchState) {
    if (soundPlaying) {
        return Look::On;
    }
    if (launchState == ConsoleState::Armed) {
        return std::nullopt;
    }
    return Look::Off;
}

BlinkEffects BlinkTick(int previousPhase, const BlinkInputs& in) {
    BlinkEffects b;
    b.Phase = std::abs(previousPhase - 1);
    const Look phaseLook = OnIf(b.Phase == 1);
    if (in.Searching) {
        b.Wait = phaseLook;
    }
    if (in.LaunchState == ConsoleState::Armed) {
        b.Work = phaseLook;
        if (in.SoundLoaded && !in.SoundPlaying) {
            b.SoundPlay = phaseLook;
        }
    }
    if (in.ConverterFault) {
        b.Rs485 = b.Phase == 1 ? Look::Alarm : Look::Off;
    }
    return b;
}

SlotView SlotViewFor(bool current, int cueCount, int32_t lastTime, int32_t soundLength) {
    SlotView v;
    v.Led = OnIf(current);
    v.ProjectText = cueCount > 0 ? ClockTime(lastTime) : QString();
    v.SoundText = soundLength > 0 ? ClockTime(soundLength) : QString();
    v.TextColor = UiColor::Rgb(current ? colors::kBlack : colors::kNavy);
    return v;
}

}  // namespace kv
