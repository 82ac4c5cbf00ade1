#include "shows/TCommonPlayer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "bus/TPortProto.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "devices/DeviceKinds.h"
#include "devices/TControls.h"
#include "devices/THVControl.h"
#include "devices/TMotorControl.h"
#include "devices/TScriptCue.h"
#include "i18n/Localizer.h"
#include "shows/TProjectList.h"

namespace kv {

namespace {

bool DueNow(int32_t interval, uint32_t last, uint32_t now) {
    return interval < 0 || now - last >= static_cast<uint32_t>(interval);
}

bool ChannelInArrays(int32_t channel) {
    return channel >= 0 && channel < kMaxChannels;
}

}  // namespace

int32_t ShowPosition(uint32_t now, uint32_t baseTick, int32_t tempo, int32_t basePosition,
                     int32_t offset) {
    const int64_t scaled = static_cast<int64_t>(now - baseTick) * tempo;
    // Exact for these magnitudes: a tie (x.5) is representable, so nearbyint rounds it to even.
    const int64_t elapsed =
        static_cast<int64_t>(std::nearbyint(static_cast<double>(scaled) / 1000.0));
    return static_cast<int32_t>(elapsed + basePosition + offset);
}

std::optional<uint32_t> ElapsedToReach(int32_t target, int32_t tempo, int32_t basePosition,
                                       int32_t offset) {
    constexpr int64_t kDayMs = 86400000;
    // ShowPosition in 64 bits, so that no elapsed time tried here wraps.
    const auto at = [&](int64_t e) {
        return static_cast<int64_t>(std::nearbyint(static_cast<double>(e * tempo) / 1000.0)) +
               basePosition + offset;
    };
    if (at(0) >= target) {
        return 0;
    }
    if (tempo <= 0) {
        return std::nullopt;
    }
    // An estimate within a few ms of the answer; the position only grows with the elapsed time,
    // so stepping from there finds the first ms at which it reaches the target.
    const int64_t need = static_cast<int64_t>(target) - basePosition - offset;
    int64_t e = std::clamp<int64_t>((need * 1000 - 500) / tempo, 0, kDayMs);
    while (e > 0 && at(e - 1) >= target) {
        --e;
    }
    while (at(e) < target) {
        if (++e > kDayMs) {
            return std::nullopt;
        }
    }
    return static_cast<uint32_t>(e);
}

TCommonPlayer::TCommonPlayer(TControls& controls)
    : controls_(controls),
      cueTimer_([this] { SendAhead(); }, [this] { Tick(); }),
      launchTimer_([this] {
          // A tick that lets the event loop run (a long operation's progress) may be under
          // way: the launch waits for it to finish.
          if (busy_) {
              launchTimer_.ArmAt(TickCount() + kTickMs);
          } else {
              LaunchCharged();
          }
      }) {
    timer_.setInterval(kTickMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
}

TCommonPlayer::~TCommonPlayer() {
    // Launches still charging are dropped: nothing fires while the player goes away.
    launchTimer_.Cancel();
    cueTimer_.Cancel();
    timer_.stop();
}

TPortProto& TCommonPlayer::Proto() const {
    return controls_.Bus();
}

QString TCommonPlayer::LoadSoundErrorText() {
    return Message(Msg::SoundtrackLoadFailed);
}

bool TCommonPlayer::LoadSound(const QString& fileName) {
    UnloadSound();
    sound_.SetFileName(fileName);
    sound_.OpenStream();
    return sound_.Loaded();
}

void TCommonPlayer::UnloadSound() {
    if (sound_.Loaded()) {
        sound_.CloseStream();
    }
}

void TCommonPlayer::Tick() {
    if (busy_) {
        return;
    }
    busy_ = true;
    // A manual HV launch that has charged fires first.
    if (launchTimer_.IsDue()) {
        launchTimer_.Cancel();
        LaunchCharged();
    }
    if (!IsPlaying()) {
        busy_ = false;
        return;
    }
    if (ending_) {
        // The pause after the last cue: the clock stands until the stop.
        if (static_cast<int32_t>(TickCount() - endTick_) >= 0) {
            Stop(false);
        }
        busy_ = false;
        return;
    }
    const uint32_t now = TickCount();
    ClockStep step = ClockStep::Run;
    if (clock_) {
        std::function<void()> onStop;
        if (!OnClockStop.Empty()) {
            onStop = [this] { OnClockStop(); };
        }
        step = FollowClockSource(*clock_, script_, Offset, Position, NextCue, onStop,
                                 [this] { Stop(false); });
        if (step == ClockStep::Stopped) {
            busy_ = false;
            return;
        }
        if (step == ClockStep::Run && clockStartPending_) {
            BeginClockShow(now);
        }
    } else {
        Position = ShowPosition(now, baseTick_, tempo_, basePosition_, Offset);
    }
    if (Position < 0 && ControlMode == ControlAutonomous) {
        Position = 0;
    }
    // What the cue timer's thread sent is taken over first, at the clock's position now.
    if (!ahead_.sends.empty()) {
        SettleSentAhead();
    }
    const int count = script_ ? script_->Count() : 0;
    // An outside clock that waits: no cue, no clock frame; positions and polling go on.
    if (WorkMode != WorkManual && step == ClockStep::Run) {
        if (ControlMode != ControlAutonomous) {
            int i = NextCue;
            while (i < count && script_->Cue(i).Time <= Position) {
                ++i;
            }
            for (int k = NextCue; k < i; ++k) {
                ExecuteCue(k);
            }
            NextCue = i;
            if (NextCue >= count) {
                BeginEnd(count > 0 ? script_->LastTime() : Position);
                busy_ = false;
                return;
            }
        } else {
            // The announcement goes ahead of the clock frame it vouches for.
            Reannounce(now, true);
            if (DueNow(SyncInterval, lastSync_, now)) {
                Proto().StartShowClock(Position);
                lastSync_ = now;
            }
            // The modules fire by themselves; the console only follows, one cue a tick.
            if (NextCue < count && Position >= script_->Cue(NextCue).Time) {
                const TScriptCue& cue = script_->Cue(NextCue);
                ++NextCue;
                if (!IsMotorCue(cue.Kind)) {
                    Fire(cue.Module, cue.Channel, false, true);
                }
                OnCueDone(NextCue - 1, BusOk, Position);
            }
            const int32_t last = script_ ? script_->LastTime() : 0;
            if (static_cast<int64_t>(Position) >= static_cast<int64_t>(last) + 500) {
                // More cues in the last half second than ticks: the modules fired them all, so
                // each still gets its line and its check.
                RecordPassedCues(last);
                BeginEnd(last);
                busy_ = false;
                return;
            }
        }
    }
    // A show still waiting for its outside clock has not been announced: nothing to repeat.
    if ((ControlMode != ControlAutonomous || WorkMode == WorkManual) && !clockStartPending_) {
        Reannounce(now, false);
    }
    if (!OnPosition.Empty() && (DueNow(PositionReportInterval, lastReport_, now) || !IsPlaying())) {
        lastReport_ = now;
        OnPosition(Position);
    }
    if (!OnIdle.Empty() && DueNow(IdleInterval, lastIdle_, TickCount())) {
        // Status polling never runs within one idle interval before a cue.
        const bool gap = WorkMode == WorkManual ||
                         (NextCue<count&& static_cast<int64_t>(script_->Cue(NextCue).Time) -
                                  Position> static_cast<int64_t>(IdleInterval));
        if (gap) {
            CheckNextFired();
            OnIdle();
            lastIdle_ = TickCount();
        }
    }
    ArmCueTimer();
    busy_ = false;
}

void TCommonPlayer::BeginEnd(int32_t endPosition) {
    // The stop waits so that the last fire is under way; the wait is a timer, so status
    // answers, keys and bus frames are still served meanwhile.
    ending_ = true;
    endTick_ = TickCount() + kEndWaitMs;
    endPosition_ = endPosition;
    ArmCueTimer();
}

void TCommonPlayer::RecordPassedCues(int32_t upTo) {
    const int count = script_ ? script_->Count() : 0;
    while (NextCue < count && script_->Cue(NextCue).Time <= upTo) {
        const TScriptCue& cue = script_->Cue(NextCue);
        ++NextCue;
        if (!IsMotorCue(cue.Kind)) {
            Fire(cue.Module, cue.Channel, false, true);
        }
    }
}

void TCommonPlayer::Reannounce(uint32_t now, bool withClock) {
    if (!DueNow(kReannounceMs, lastAnnounce_, now)) {
        return;
    }
    // A fire frame due within moments goes first; the announcement waits for a tick with room,
    // but not for so long that the other consoles take the show for gone.
    if (!withClock && now - lastAnnounce_ < kReannounceMs + kReannounceLateMs && script_ &&
        WorkMode != WorkManual && NextCue < script_->Count() &&
        static_cast<int64_t>(script_->Cue(NextCue).Time) - Position < kReannounceClearMs) {
        return;
    }
    Proto().AnnounceStart(std::max(Position, 0));
    lastAnnounce_ = now;
}

void TCommonPlayer::ArmCueTimer() {
    SettleSentAhead();
    if (!IsPlaying()) {
        return;
    }
    if (ending_) {
        cueTimer_.ArmAt(endTick_);
        return;
    }
    // Only direct control sends fires at cue times: autonomous control follows the modules,
    // manual work mode passes over the script. A clock that stands or runs backwards brings no
    // cue nearer.
    std::optional<uint32_t> elapsed;
    if (ControlMode != ControlAutonomous && WorkMode != WorkManual && tempo_ > 0 && script_ &&
        NextCue < script_->Count()) {
        elapsed = ElapsedToReach(script_->Cue(NextCue).Time, tempo_, basePosition_, Offset);
    }
    if (elapsed) {
        // An outside clock runs a millisecond a millisecond from the position it last gave.
        const uint32_t due =
            clock_ ? TickCount() + static_cast<uint32_t>(std::max<int64_t>(
                                       0, int64_t{script_->Cue(NextCue).Time} - Position))
                   : baseTick_ + *elapsed;
        // A cue already due is sent by the tick the timer hands over at once; the timer's
        // thread sends only what it has to wait for. On an outside clock the tick sends, since
        // only it knows where that clock stands.
        if (!clock_ && static_cast<int32_t>(due - TickCount()) > 0) {
            PrepareSendAhead(due);
        }
        cueTimer_.ArmAt(due);
    }
}

void TCommonPlayer::PrepareSendAhead(uint32_t dueTick) {
    const int32_t at = ShowPosition(dueTick, baseTick_, tempo_, basePosition_, Offset);
    ahead_.first = NextCue;
    std::vector<std::pair<THVControl*, int>> hvAhead;
    for (int k = NextCue; k < script_->Count() && script_->Cue(k).Time <= at; ++k) {
        const TScriptCue& cue = script_->Cue(k);
        // A motor move is no fire frame: from there on the tick sends in list order.
        if (IsMotorCue(cue.Kind)) {
            break;
        }
        int before = 0;
        auto* hv = dynamic_cast<THVControl*>(controls_.FindByAddress(cue.Module));
        if (hv) {
            auto it = std::find_if(hvAhead.begin(), hvAhead.end(),
                                   [hv](const auto& e) { return e.first == hv; });
            if (it == hvAhead.end()) {
                it = hvAhead.insert(hvAhead.end(), {hv, 0});
            }
            before = it->second++;
        }
        ahead_.sends.push_back(FireSender(cue.Module, cue.Channel, before).send);
    }
}

void TCommonPlayer::SendAhead() {
    for (const auto& send : ahead_.sends) {
        ahead_.results.push_back(send());
    }
}

void TCommonPlayer::SettleSentAhead() {
    // Once the timer is cancelled its thread is done with the sends, and it is known which left.
    cueTimer_.Cancel();
    const SentAhead done = std::exchange(ahead_, SentAhead{});
    const int count = script_ ? script_->Count() : 0;
    for (std::size_t k = 0; k < done.results.size(); ++k) {
        const int index = done.first + static_cast<int>(k);
        if (index >= count) {
            break;
        }
        aheadResult_ = done.results[k];
        ExecuteCue(index);
        aheadResult_.reset();
    }
    if (!done.results.empty()) {
        NextCue = std::max(NextCue, done.first + static_cast<int>(done.results.size()));
    }
}

std::optional<uint32_t> TCommonPlayer::NextCueDueTick() const {
    if (!cueTimer_.IsArmed() || ending_) {
        return std::nullopt;
    }
    return cueTimer_.DueTick();
}

void TCommonPlayer::ExecuteCue(int index) {
    const TScriptCue& cue = script_->Cue(index);
    const int32_t at = ShowPosition(TickCount(), baseTick_, tempo_, basePosition_, Offset);
    lastFireResult_ = BusOk;
    if (!IsMotorCue(cue.Kind)) {
        Fire(cue.Module, cue.Channel, false, false);
    } else {
        lastFireResult_ = MoveMotor(cue);
    }
    OnCueDone(index, lastFireResult_, at);
}

int32_t TCommonPlayer::MoveMotor(const TScriptCue& cue) {
    TCommonDevice* device = controls_.FindByAddress(cue.Module);
    auto* motor = dynamic_cast<TMotorControl*>(device);
    if (!motor) {
        return kFireNotOnBus;
    }
    switch (cue.Kind) {
        case ckCentre:
            return motor->MoveCentre(cue.Param1);
        case ckLeft:
            return motor->MoveLeft(cue.Param1);
        case ckRight:
            return motor->MoveRight(cue.Param1);
        case ckRotateLeft:
            return motor->RotateLeft(cue.Param1, cue.Param2);
        case ckRotateRight:
            return motor->RotateRight(cue.Param1, cue.Param2);
        default:
            return kFireNotOnBus;
    }
}

void TCommonPlayer::Start(int32_t position) {
    StartAt(position, true);
}

void TCommonPlayer::StartAt(int32_t position, bool withSound) {
    ending_ = false;
    if (WorkMode != WorkManual) {
        NextCue = script_ ? script_->FirstCueAtOrAfter(position) : 0;
        // The position a run stopped at can lie on a cue it already sent (the cue timer lands
        // on cue times), and a start that joins the soundtrack may lie before them: what was
        // sent stays sent.
        if (runLeft_.valid) {
            NextCue = std::max(NextCue, runLeft_.nextCue);
        }
    }
    runLeft_ = RunLeft{};
    PrepareChargeQueues(position);
    notSentCount_ = 0;
    const uint32_t now = TickCount();
    baseTick_ = lastSync_ = lastIdle_ = lastReport_ = lastAnnounce_ = now;
    Position = basePosition_ = position;
    if (clock_) {
        // The outside clock says when the show starts: the announcement, the soundtrack and the
        // modules' clocks wait for it (BeginClockShow), so none of them runs ahead of the music.
        clockStartPending_ = true;
        clockStartSound_ = withSound;
        timer_.start();
        ArmCueTimer();
        OnStateChange();
        return;
    }
    clockStartPending_ = false;
    if (withSound && sound_.Loaded()) {
        sound_.PlayFrom(position);
    }
    timer_.start();
    ArmCueTimer();
    // The announcement goes first: the other consoles then know the clock that follows for
    // this show's and do not answer it with the hold frame of an external start.
    Proto().AnnounceStart(std::max(Position, 0));
    if (ControlMode == ControlAutonomous && WorkMode != WorkManual) {
        // Twice ahead of a clock frame: a console that lost the one copy would hold the clock
        // and so stop this show.
        Proto().AnnounceStart(std::max(Position, 0));
        Proto().StartShowClock(Position);
    }
    OnStateChange();
}

void TCommonPlayer::BeginClockShow(uint32_t now) {
    clockStartPending_ = false;
    lastSync_ = lastAnnounce_ = now;
    if (clockStartSound_ && sound_.Loaded()) {
        // The soundtrack is the show's without the operator's offset, as on the own clock.
        const int64_t soundAt =
            std::clamp<int64_t>(int64_t{Position} - Offset, 0, std::numeric_limits<int32_t>::max());
        sound_.PlayFrom(static_cast<int32_t>(soundAt));
    }
    Proto().AnnounceStart(std::max(Position, 0));
    if (ControlMode == ControlAutonomous && WorkMode != WorkManual) {
        Proto().AnnounceStart(std::max(Position, 0));
        Proto().StartShowClock(std::max(Position, 0));
    }
}

void TCommonPlayer::Stop(bool stopSound) {
    DropManualFires();
    const bool wasPlaying = IsPlaying();
    const bool ending = ending_;
    // A show that waited for its outside clock never ran the modules' clocks: they fired nothing.
    const bool modulesRan = !clockStartPending_;
    clockStartPending_ = false;
    if (wasPlaying && !ending && modulesRan && ControlMode == ControlAutonomous &&
        WorkMode != WorkManual) {
        // The modules' clocks passed these cues before the stop reached them: they fired.
        RecordPassedCues(Position);
    }
    ending_ = false;
    SettleSentAhead();
    timer_.stop();
    Proto().StopShowClock(Position);
    Proto().AnnounceStop(Position);
    if (sound_.Loaded() && sound_.IsSoundPlaying() && stopSound) {
        sound_.StopSound();
    }
    for (int i = 0; i < controls_.Count(); ++i) {
        TCommonDevice* d = controls_.Items(i);
        if (d && d->Kind == KindHVControl) {
            Proto().ResetHV(d->Address, d->RelayId, d->PortIndex);
        }
    }
    // From the end of the sequence: what another console sends back on hearing it comes later.
    stoppedOnce_ = true;
    lastStopTick_ = TickCount();
    if (wasPlaying) {
        // A stop of the soundtrack alone, or a stop heard while idle, leaves the run as it was.
        const int count = script_ ? script_->Count() : 0;
        runLeft_ = RunLeft{true, ending, ending ? count : std::clamp(NextCue, 0, count)};
    }
    OnStateChange();
    if (ending) {
        // The end of the script: the show stands at its last cue, and the console hears so.
        Position = endPosition_;
        if (!OnPosition.Empty()) {
            lastReport_ = TickCount();
            OnPosition(Position);
        }
    }
}

void TCommonPlayer::SetTempo(int32_t perMille) {
    if (IsPlaying() && !ending_) {
        // Rebased on where the clock is now, not where the last tick left it: that tick may be
        // up to a poll's length ago, and the show would jump back by as much.
        const uint32_t now = TickCount();
        basePosition_ = ShowPosition(now, baseTick_, tempo_, basePosition_, 0);
        baseTick_ = now;
    }
    tempo_ = perMille;
    ArmCueTimer();
}

void TCommonPlayer::SetOffset(int32_t ms) {
    Offset = ms;
    ArmCueTimer();
}

void TCommonPlayer::PrepareChargeQueues(int32_t startPos) {
    for (int i = 0; i < controls_.Count(); ++i) {
        TCommonDevice* d = controls_.Items(i);
        if (d && d->IsModule() && d->Kind == KindHVControl) {
            auto* hv = static_cast<THVControl*>(d);
            hv->ChargeQueueCount = 0;
            hv->ChargeQueueCursor = 0;
        }
    }
    if (!script_) {
        return;
    }
    for (int i = script_->FirstCueAtOrAfter(startPos); i < script_->Count(); ++i) {
        const TScriptCue& cue = script_->Cue(i);
        auto* hv = dynamic_cast<THVControl*>(controls_.FindByAddress(cue.Module));
        if (!hv || hv->Kind != KindHVControl || IsMotorCue(cue.Kind) ||
            !ChannelInArrays(cue.Channel)) {
            continue;
        }
        // The queue holds what the control can take; later shots recharge to the default.
        if (hv->ChargeQueueCount >= static_cast<int32_t>(hv->ChargeQueue.size())) {
            continue;
        }
        const int32_t voltage = hv->ChargeVoltage[static_cast<size_t>(cue.Channel)];
        hv->ChargeQueue[static_cast<size_t>(hv->ChargeQueueCount++)] = voltage;
        if (hv->ChargeQueueCount == 1) {
            hv->Charge(voltage);
        }
    }
}

void TCommonPlayer::Fire(int32_t module, int32_t channel, bool manual, bool recordOnly) {
    if (recordOnly) {
        Fired(module, channel, manual);
        return;
    }
    if (manual) {
        manualQueue_.push_back({module, channel});
        if (!launchTimer_.IsArmed()) {
            RunManualQueue();
        }
        return;
    }
    FireDone(module, channel, manual, SendFire(module, channel));
}

void TCommonPlayer::FireDone(int32_t module, int32_t channel, bool manual, int32_t result) {
    lastFireResult_ = result;
    // Written with its echo late: the frame went out (and is never sent again), unconfirmed.
    if (result == BusOk || result == BusEchoLate) {
        echoLate_ = result == BusEchoLate;
        Fired(module, channel, manual);
        echoLate_ = false;
    } else {
        FireNotSent(module, channel, result);
    }
}

namespace {

THVControl* HvControlAt(TControls& controls, int32_t module) {
    auto* hv = dynamic_cast<THVControl*>(controls.FindByAddress(module));
    return hv && hv->Kind == KindHVControl ? hv : nullptr;
}

}  // namespace

void TCommonPlayer::RunManualQueue() {
    while (!manualQueue_.empty() && !launchTimer_.IsArmed()) {
        const ManualFire f = manualQueue_.front();
        THVControl* hv = ChannelInArrays(f.channel) ? HvControlAt(controls_, f.module) : nullptr;
        if (hv) {
            // The launch stays at the head of the queue while the capacitor charges.
            hv->Charge(hv->ChargeVoltage[static_cast<size_t>(f.channel)]);
            launchTimer_.ArmAt(TickCount() + kManualChargeWaitMs);
            return;
        }
        manualQueue_.pop_front();
        FireDone(f.module, f.channel, true, SendFire(f.module, f.channel));
    }
}

void TCommonPlayer::DropManualFires() {
    launchTimer_.Cancel();
    std::deque<ManualFire> dropped;
    dropped.swap(manualQueue_);
    for (const ManualFire& f : dropped) {
        FireNotSent(f.module, f.channel, kFireStopped);
    }
}

void TCommonPlayer::LaunchCharged() {
    if (manualQueue_.empty()) {
        return;
    }
    const ManualFire f = manualQueue_.front();
    manualQueue_.pop_front();
    // Looked up again: a search may have dropped the control while it charged.
    THVControl* hv = HvControlAt(controls_, f.module);
    FireDone(f.module, f.channel, true, hv ? hv->FireWithRecharge(f.channel, 0) : kFireNotOnBus);
    RunManualQueue();
}

int32_t TCommonPlayer::SendFire(int32_t module, int32_t channel) {
    const FireSend f = FireSender(module, channel, 0);
    if (f.hv) {
        f.hv->ChargeQueueCursor += 1;
    }
    if (aheadResult_) {
        // The frame already left from the cue timer's thread.
        const int32_t result = *aheadResult_;
        aheadResult_.reset();
        return result;
    }
    return f.send();
}

TCommonPlayer::FireSend TCommonPlayer::FireSender(int32_t module, int32_t channel, int hvAhead) {
    // A channel no module has is never sent: on the wire it would name some other output.
    if (!ChannelInArrays(channel)) {
        return {[] { return kFireNoChannel; }};
    }
    TCommonDevice* device = controls_.FindByAddress(module);
    // Nor is a channel past the module's own count: the module would ignore it or fire another.
    if (const auto* m = dynamic_cast<const TCommonControl*>(device);
        m && m->ChannelCount > 0 && channel >= m->ChannelCount) {
        return {[] { return kFireNoChannel; }};
    }
    // The device's own fire operations, with what they read of the device taken now.
    if (THVControl* hv = HvControlAt(controls_, module)) {
        const int32_t cursor = hv->ChargeQueueCursor + 1 + hvAhead;
        const int32_t next =
            cursor < hv->ChargeQueueCount ? hv->ChargeQueue[static_cast<size_t>(cursor)] : 1;
        return {[&bus = hv->Bus(), a = hv->Address, r = hv->RelayId, p = hv->PortIndex, channel,
                 next] { return bus.SetChannelValue(a, channel, r, p, next, false); },
                hv};
    }
    if (auto* control = dynamic_cast<TCommonControl*>(device)) {
        return {[&bus = control->Bus(), a = control->Address, r = control->RelayId,
                 p = control->PortIndex, channel] {
            double unused = 0;
            return bus.FireChannel(a, channel, r, p, false, unused);
        }};
    }
    // Absent, or a radio unit, remote control or console: nothing there takes a fire frame.
    return {[] { return kFireNotOnBus; }};
}

void TCommonPlayer::Fired(int32_t module, int32_t channel, bool manual) {
    lastFiredModule_ = module;
    lastFiredChannel_ = channel;
    lastFireTick_ = TickCount();
    if (!manual) {
        WriteLog(Message(Msg::FiredModule) + ' ' + QString::number(module) +
                     Message(Msg::FiredChannelSuffix) + ' ' +
                     QString::number(static_cast<int64_t>(channel) + 1) +
                     (echoLate_ ? ' ' + Message(Msg::FrameSentEchoLate) : QString()),
                 1);
    }
}

QString TCommonPlayer::FireNotSentText(int32_t module, int32_t channel, int32_t result) {
    QString reason;
    switch (result) {
        case kFireNotOnBus:
            reason = Message(Msg::ModuleNotFound);
            break;
        case kFireNoChannel:
            reason = Message(Msg::ChannelOutOfRange);
            break;
        case kFireStopped:
            reason = Message(Msg::CancelledByStop);
            break;
        case BusNoAnswer:
            reason = Message(Msg::TransferTimedOut);
            break;
        case BusTransferError:
            reason = Message(Msg::TransferError);
            break;
        default:
            reason = Message(Msg::DeviceError);
            break;
    }
    return Message(Msg::FireFailedModule) + ' ' + QString::number(module) +
           Message(Msg::FiredChannelSuffix) + ' ' +
           QString::number(static_cast<int64_t>(channel) + 1) + QStringLiteral(" - ") + reason;
}

void TCommonPlayer::FireNotSent(int32_t module, int32_t channel, int32_t result) {
    ++notSentCount_;
    WriteLog(FireNotSentText(module, channel, result), 1);
    OnFireNotSent(module, channel, result);
}

bool TCommonPlayer::IsClockTestFrame(const BusFrame& f, uint32_t now) {
    // The clock test runs the modules' clocks from time 0 and stops them there.
    return f[0] == 0x90 && f[1] == 0 && f[2] == 0 && otherShows_.ClockTestStanding(now);
}

void TCommonPlayer::HandleFrame(const BusFrame& f) {
    if (f[5] == 0xFF) {
        if (f[0] == 0x03 && (f[4] == 0 || f[4] == OwnConsoleId)) {
            const BusFrame answer{
                0x04,
                static_cast<uint8_t>((LaunchState() & 0x0F) | ((WorkMode & 0x0F) << 4)),
                static_cast<uint8_t>(ControlMode & 0x0F),
                OwnConsoleId,
                f[3],
                0xFF};
            Proto().Send(answer, -1);
        } else if (f[3] != OwnConsoleId) {
            otherShows_.Heard(f, TickCount());
        }
    } else if (f[0] == 0x90 && f[3] == 0x00) {
        const uint32_t now = TickCount();
        if (IsClockTestFrame(f, now)) {
            return;
        }
        if (!IsPlaying() &&
            (otherShows_.Standing(now) || (stoppedOnce_ && now - lastStopTick_ < kStopEchoMs))) {
            // Another console's show ended (its end frame follows), or our own stop came back:
            // there is nothing of ours to stop.
            return;
        }
        // Another master stopped its show clock: the show stops, the soundtrack plays on.
        Stop(false);
        OnExternalStop();
    }
}

}  // namespace kv
