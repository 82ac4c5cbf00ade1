#include "shows/TExtPlayer.h"

#include "bus/TPortProto.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"

namespace kv {

TExtPlayer::TExtPlayer(TControls& controls) : TCommonPlayer(controls) {}

void TExtPlayer::ResetFiredList() {
    firedCount_ = 0;
    checkIndex_ = 0;
    checkFailures_ = 0;
}

void TExtPlayer::Start(int32_t position) {
    ResetFiredList();
    TCommonPlayer::Start(position);
}

void TExtPlayer::StartFromSound() {
    ResetFiredList();
    // Announced like any start: its clock frames would otherwise be held by the other consoles
    // as nobody's start command, and the hold would stop this show.
    StartAt(sound_.SoundPosition(), false);
}

void TExtPlayer::Stop(bool stopSound) {
    TCommonPlayer::Stop(stopSound);
    WaitingExtStart = false;
}

void TExtPlayer::Fired(int32_t module, int32_t channel, bool manual) {
    TCommonPlayer::Fired(module, channel, manual);
    // Past the list's end the channels still fire; they are only left out of the check.
    if (firedCount_ < kFiredListSize) {
        firedList_[static_cast<size_t>(firedCount_++)] = {module, channel};
    }
    auto* control = dynamic_cast<TCommonControl*>(controls_.FindByAddress(module));
    if (control && channel >= 0 && channel < kMaxChannels) {
        control->ChannelFired[static_cast<size_t>(channel)] = 1;
    }
    OnFire(module, channel);
}

void TExtPlayer::CheckNextFired() {
    if (checkIndex_ >= firedCount_ || ElapsedSince(lastFireTick_) <= kCheckDelayMs) {
        return;
    }
    const FiredEntry entry = firedList_[static_cast<size_t>(checkIndex_)];
    auto* control = dynamic_cast<TCommonControl*>(controls_.FindByAddress(entry.Module));
    if (!control || entry.Channel < 0 || entry.Channel >= kMaxChannels) {
        ++checkIndex_;
        return;
    }
    const auto ch = static_cast<size_t>(entry.Channel);
    double value = 0;
    const int result = control->MeasureChannel(entry.Channel, value);
    if (result != 0) {
        // A lost or garbled answer is asked again at the next check; while the converter is
        // away nothing counts against the channel. Only a module that keeps failing to answer
        // gets its channel reported as an error: a fired channel's check is never dropped
        // without a line.
        if (result == BusPortError || ++checkFailures_ < kCheckAttempts) {
            return;
        }
        control->ChannelState[ch] = ChannelError;
    } else {
        ClassifyMeasurement(*control, entry.Channel, value, Thresholds);
    }
    checkFailures_ = 0;
    LastCheckResult = result;
    OnChannelChecked(entry.Module, entry.Channel);
    ++checkIndex_;
}

TExtPlayer::FiredEntry TExtPlayer::AbandonNextCheck() {
    if (checkIndex_ >= firedCount_) {
        return {};
    }
    const FiredEntry entry = firedList_[static_cast<size_t>(checkIndex_++)];
    checkFailures_ = 0;
    auto* control = dynamic_cast<TCommonControl*>(controls_.FindByAddress(entry.Module));
    if (control && entry.Channel >= 0 && entry.Channel < kMaxChannels) {
        control->ChannelState[static_cast<size_t>(entry.Channel)] = ChannelUnknown;
    }
    LastCheckResult = BusNoAnswer;
    OnChannelChecked(entry.Module, entry.Channel);
    return entry;
}

void TExtPlayer::HandleFrame(const BusFrame& f) {
    TCommonPlayer::HandleFrame(f);
    // Another device's show-time broadcast with the run flag: an external start command.
    if (f[0] != 0x90 || f[3] != 0x80 || f[5] == 0xFF) {
        return;
    }
    const uint32_t now = TickCount();
    if (IsClockTestFrame(f, now)) {
        return;
    }
    const bool otherShow = OtherShows().Standing(now);
    if (otherShow) {
        OtherShows().ClockHeard(now);
        // The clock of a show another console announced: holding it would stop that show.
        if (!WaitingExtStart) {
            return;
        }
    } else {
        // Hold the modules that would otherwise start on that command by themselves.
        BusFrame hold = f;
        hold[3] = 0x00;
        Proto().Send(hold, -1);
    }
    if (WaitingExtStart) {
        const int32_t position = (f[1] * 256 + f[2]) * 100;
        // The command names its own start point.
        ForgetRun();
        Start(position);
        WriteLog(Message(Msg::ExternalStartAt) + ' ' + QString::number(position), 1);
        WaitingExtStart = false;
    } else {
        WriteLog(Message(Msg::ExternalStartCancelled), 1);
    }
}

}  // namespace kv
