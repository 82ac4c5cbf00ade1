#include "console/ShowWiring.h"

#include "console/ConsoleWiring.h"
#include "core/EventLog.h"
#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "shows/TExtPlayer.h"

namespace kv {

QString ChannelCheckLine(const TCommonControl& module, int32_t channel) {
    int state = ChannelUnknown;
    if (channel >= 0 && channel < kMaxChannels) {
        state = module.ChannelState[static_cast<size_t>(channel)];
    }
    // States outside the four known ones read as unknown rather than as some other message.
    if (state > ChannelError) {
        state = ChannelUnknown;
    }
    return GetLocalizedText(21, Message(21)) + ' ' + QString::number(module.Address) +
           GetLocalizedText(13, Message(13)) + ' ' +
           QString::number(static_cast<int64_t>(channel) + 1) + GetLocalizedText(53, Message(53)) +
           ' ' + GetLocalizedText(49 + state, Message(49 + state));
}

ShowWiring::ShowWiring(ConsoleWiring& wiring, TExtPlayer& player)
    : wiring_(wiring), player_(player) {
    wiring_.AddFrameHandler([this](const BusFrame& frame, int) { player_.HandleFrame(frame); });
    player_.OnIdle = [this] {
        wiring_.PollStep();
        if (OnShowIdle) {
            OnShowIdle();
        }
    };
    wiring_.ShowPlaying = [this] { return player_.IsPlaying(); };
    wiring_.OnFiredChannelCheck = [this] {
        if (player_.HasPendingChecks()) {
            player_.CheckNextFired();
        }
    };
    player_.OnChannelChecked = [this](int32_t module, int32_t channel) {
        ChannelChecked(module, channel);
    };
}

void ShowWiring::ChannelChecked(int32_t module, int32_t channel) {
    // The device may have left the list since it fired: then there is nothing to report.
    if (auto* control = dynamic_cast<TCommonControl*>(wiring_.Controls().FindByAddress(module))) {
        WriteLog(ChannelCheckLine(*control, channel), 1);
    }
    if (OnChannelChecked) {
        OnChannelChecked(module, channel);
    }
}

}  // namespace kv
