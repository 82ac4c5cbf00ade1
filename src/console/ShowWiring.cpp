#include "console/ShowWiring.h"

#include "console/ConsoleWiring.h"
#include "console/ShowTexts.h"
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
    return ChannelStateLogLine(module.Address, channel, state);
}

ShowWiring::ShowWiring(ConsoleWiring& wiring, TExtPlayer& player)
    : wiring_(wiring), wiringAlive_(&wiring), player_(player) {
    // Each hook holds the token, not this: it may be called after this object is gone.
    std::shared_ptr<bool> alive = alive_;
    wiring_.AddFrameHandler([this, alive](const BusFrame& frame, int) {
        if (*alive) {
            player_.HandleFrame(frame);
        }
    });
    conns_ += player_.OnIdle.Connect([this] {
        wiring_.PollStep();
        emit Idle();
    });
    wiring_.SetPlayer(&player_);
    connect(&wiring_, &ConsoleWiring::FiredChannelCheckDue, this, [this] {
        if (player_.HasPendingChecks()) {
            player_.CheckNextFired();
        }
    });
    conns_ += player_.OnChannelChecked.Connect(
        [this](int32_t module, int32_t channel) { ChannelWasChecked(module, channel); });
}

ShowWiring::~ShowWiring() {
    *alive_ = false;
    if (wiringAlive_) {
        wiring_.SetPlayer(nullptr);
    }
}

void ShowWiring::ChannelWasChecked(int32_t module, int32_t channel) {
    // The device may have left the list since it fired: then there is nothing to report.
    if (auto* control = dynamic_cast<TCommonControl*>(wiring_.Controls().FindByAddress(module))) {
        WriteLog(ChannelCheckLine(*control, channel), 1);
    }
    emit ChannelChecked(module, channel);
}

}  // namespace kv
