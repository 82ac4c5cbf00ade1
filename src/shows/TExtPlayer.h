#pragma once

#include <array>
#include <cstdint>

#include "devices/ChannelClassifier.h"
#include "shows/TCommonPlayer.h"

namespace kv {

// The player the console creates: adds the list of fired channels (those whose fire frame left
// the console) with their check after the show, and the external start command from the bus.
class TExtPlayer : public TCommonPlayer {
public:
    static constexpr int kFiredListSize = 32769;
    // A fired channel is measured only once its igniter had this long.
    static constexpr uint32_t kCheckDelayMs = 200;
    // Measurements of a fired channel that got no valid answer before it is reported as an
    // error.
    static constexpr int kCheckAttempts = 3;

    struct FiredEntry {
        int32_t Module = 0;
        int32_t Channel = 0;
    };

    explicit TExtPlayer(TControls& controls);

    void CheckNextFired() override;
    void Start(int32_t position) override;
    // Starts at the soundtrack's current position; the soundtrack is left as it plays.
    void StartFromSound();
    void Stop(bool stopSound) override;
    void HandleFrame(const BusFrame& frame) override;

    bool HasPendingChecks() const { return checkIndex_ < firedCount_; }
    int PendingChecks() const { return firedCount_ - checkIndex_; }
    // Gives up the next pending check (its module cannot be reached any more): the channel's
    // state becomes unknown and is reported through OnChannelChecked like a measured one, so
    // that no fired channel is dropped without a line. Returns the entry given up.
    FiredEntry AbandonNextCheck();
    int FiredCount() const { return firedCount_; }
    const FiredEntry& Fired(int index) const { return firedList_[static_cast<size_t>(index)]; }

    ResistanceThresholds Thresholds;
    // The bus result of the check last reported through OnChannelChecked (0: it was measured).
    int32_t LastCheckResult = 0;
    Signal<int32_t /*module*/, int32_t /*channel*/> OnChannelChecked;
    Signal<int32_t /*module*/, int32_t /*channel*/> OnFire;
    bool WaitingExtStart = false;

protected:
    // Notes the channel for the check after the show and marks it fired on its module.
    void Fired(int32_t module, int32_t channel, bool manual) override;

private:
    void ResetFiredList();

    std::array<FiredEntry, kFiredListSize> firedList_{};
    int firedCount_ = 0;
    int checkIndex_ = 0;
    int checkFailures_ = 0;
};

}  // namespace kv
