#pragma once

#include <QString>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "bus/TPort.h"
#include "core/Signal.h"
#include "devices/TScriptCue.h"
#include "shows/ClockTimer.h"
#include "shows/OtherConsoleShows.h"
#include "shows/ShowClockSource.h"
#include "shows/TBassPlayer.h"

namespace kv {

class TControls;
class THVControl;
class TPortProto;
class TProjectList;

// The show clock of the current project: fires its cues at their times over the bus, starts and
// stops the soundtrack with the show and reports to the console. Main thread only; the clock is
// a 25 ms timer whose running state is IsPlaying(), with a precise timer for the next cue in
// between, whose own thread sends that cue's fire frames at its tick. Nothing here blocks the
// window thread: the pauses (the end of the show, the charge of a manual HV launch) run as
// timers too.
class TCommonPlayer {
public:
    enum : uint8_t { ControlDirect = 0, ControlAutonomous = 1 };
    enum : uint8_t { WorkAutomatic = 0, WorkManual = 1, WorkAutomaticManual = 2 };
    static constexpr int kTickMs = 25;
    // Pause between the last cue and the stop, so the last fire is under way.
    static constexpr uint32_t kEndWaitMs = 500;
    // A manual HV fire waits for the capacitor to charge. Key fires made meanwhile wait behind
    // it, so that they still leave in the order of the keys.
    static constexpr uint32_t kManualChargeWaitMs = 2000;
    // Why a fire frame did not leave the console, besides the bus results of its send.
    static constexpr int32_t kFireNotOnBus = -20;   // no firing module has that address
    static constexpr int32_t kFireNoChannel = -21;  // no module has that channel
    static constexpr int32_t kFireStopped = -22;    // a manual launch still charging at a stop
    // A clock stop heard this soon after our own stop, with no show running, is our stop sent
    // back by a console that did its stop sequence on hearing it; answering it again would
    // bounce stops between the consoles for good.
    static constexpr uint32_t kStopEchoMs = 1000;
    // A running show is announced again this often (in autonomous control with its clock
    // frame), so that a console that joined late or lost a frame still knows whose it is, and
    // one that lost the end frame sees the show fall silent.
    static constexpr uint32_t kReannounceMs = 1000;
    // In direct control the announcement gives way to a cue due within kReannounceClearMs, but
    // is never held back more than kReannounceLateMs.
    static constexpr int32_t kReannounceClearMs = 50;
    static constexpr uint32_t kReannounceLateMs = 1000;

    explicit TCommonPlayer(TControls& controls);
    virtual ~TCommonPlayer();
    TCommonPlayer(const TCommonPlayer&) = delete;
    TCommonPlayer& operator=(const TCommonPlayer&) = delete;

    virtual void Tick();
    virtual void CheckNextFired() {}
    // Unloads the old soundtrack and opens the new one. False (with nothing loaded) when it does
    // not decode; the caller shows LoadSoundErrorText().
    virtual bool LoadSound(const QString& fileName);
    virtual void UnloadSound();
    virtual void Start(int32_t position);
    // Takes effect at once: manual launches not yet fired (an HV output still charging and the
    // key fires queued behind it) are dropped, each logged as not fired, and the HV controls
    // are reset. Stopped during the pause after the last cue, the show ends at once, at the
    // last cue's time.
    virtual void Stop(bool stopSound);
    // Frame bytes 0..5 received outside an exchange (after the bus manager has seen it).
    virtual void HandleFrame(const BusFrame& frame);
    // Sends the fire frame of a cue or a key (recordOnly: only notes a cue the modules fire by
    // themselves). A frame that could not be sent is logged as such and reported through
    // OnFireNotSent, never as fired. A manual fire of an HV control charges it and fires
    // kManualChargeWaitMs later, from a timer.
    virtual void Fire(int32_t module, int32_t channel, bool manual, bool recordOnly);
    virtual bool IsPlaying() const { return timer_.isActive(); }
    // Moves the motor control a motor cue names, as the show does at the cue's time; nothing
    // when no motor control has that address (kFireNotOnBus). Never a fire frame.
    int32_t MoveMotor(const TScriptCue& cue);

    void SetTempo(int32_t perMille);
    int32_t Tempo() const { return tempo_; }
    // Writes Offset and re-aims the timer of the next cue (a bare write of Offset takes effect
    // at the next 25 ms tick).
    void SetOffset(int32_t ms);
    // The tick count at which the next cue falls due, when the timer for it is armed.
    std::optional<uint32_t> NextCueDueTick() const;
    // Manual fires waiting for an HV launch to charge, that launch included.
    int PendingManualFires() const { return static_cast<int>(manualQueue_.size()); }
    // For every HV control on the bus the voltages of its cues from startPos on, the first one
    // charged at once.
    void PrepareChargeQueues(int32_t startPos);

    static QString LoadSoundErrorText();
    // "Запуск не выполнен, пульт: 9, канал: 2 - модуль не найден" for a fire that was not sent.
    static QString FireNotSentText(int32_t module, int32_t channel, int32_t result);
    // Fires not sent since the last start.
    int NotSentCount() const { return notSentCount_; }

    // A clock from outside (timecode) that gives the show position instead of the console's
    // own; null for the own clock. While it says it is not running the show waits: no cue, no
    // clock frame from the tick. Tempo does not apply to it; Offset does, as on the own clock.
    // Start then only makes the player wait: the show's announcement, its soundtrack and, in
    // autonomous control, the modules' clocks start at the first tick the clock runs, at its
    // position; the clock frames that follow carry its time.
    void SetClockSource(ShowClockSource* clock) { clock_ = clock; }
    // Started on an outside clock that has not started the show yet.
    bool WaitingForClock() const { return IsPlaying() && clockStartPending_; }
    ShowClockSource* ClockSource() const { return clock_; }

    TBassPlayer& Sound() { return sound_; }
    TControls& Controls() const { return controls_; }
    TPortProto& Proto() const;
    TProjectList* Script() const { return script_; }
    void SetScript(TProjectList* script) {
        script_ = script;
        ForgetRun();
    }

    // A start goes on from the first cue the last run did not send, until the console sets a
    // new start point (ForgetRun): a start after a stop never sends again what was sent.
    void ForgetRun() { runLeft_ = RunLeft{}; }
    // The last run went through its script to the end, and no start point was set since: a
    // start now would have nothing to fire.
    bool RanToEnd() const { return runLeft_.valid && runLeft_.ended; }

    uint8_t ControlMode = ControlDirect;
    int32_t Position = 0;
    int32_t NextCue = 0;
    uint8_t WorkMode = WorkAutomatic;
    int32_t Offset = 0;
    int32_t PositionReportInterval = 100;  // negative: every tick
    int32_t IdleInterval = 1000;           // negative: every tick
    int32_t SyncInterval = 1000;           // autonomous time broadcast; negative: every tick

    Signal<int32_t /*position*/> OnPosition;
    Signal<> OnStateChange;
    Signal<> OnExternalStop;
    // The clock source asks for the stop (the stop key's command); with no listener, the player
    // stops.
    Signal<> OnClockStop;
    Signal<> OnIdle;
    // A fire frame did not leave the console: result is the send's bus result or kFireNotOnBus
    // or kFireNoChannel.
    Signal<int32_t /*module*/, int32_t /*channel*/, int32_t /*result*/> OnFireNotSent;
    // A cue of the script was played: its index, its fire's or motor move's bus result (BusOk
    // for a cue the modules fire themselves) and the show time just before its frame left.
    Signal<int /*cue*/, int32_t /*result*/, int32_t /*showMs*/> OnCueDone;
    // The console's launch state (0 waiting, 1 armed, 2 running) for status answers.
    std::function<uint8_t()> LaunchStateSource;

protected:
    // withSound false: the soundtrack already plays and is left as it is.
    void StartAt(int32_t position, bool withSound);
    // The outside clock started the show: what Start does at once on the own clock.
    void BeginClockShow(uint32_t now);
    void ExecuteCue(int index);
    // The fire frame of a channel: 0 when it was sent, else why not.
    int32_t SendFire(int32_t module, int32_t channel);
    // What sending that frame takes, decided now and done later, on any thread: the call with
    // the device's address, relay tag and converter, or the reason nothing is sent. hvAhead:
    // fires of the same HV control decided before this one and not yet sent.
    struct FireSend {
        std::function<int32_t()> send;
        THVControl* hv = nullptr;
    };
    FireSend FireSender(int32_t module, int32_t channel, int hvAhead);
    void FireDone(int32_t module, int32_t channel, bool manual, int32_t result);
    // What follows a fire frame that was sent, or a cue recorded in autonomous control.
    virtual void Fired(int32_t module, int32_t channel, bool manual);
    void FireNotSent(int32_t module, int32_t channel, int32_t result);
    // The last cue is done: the stop follows after kEndWaitMs, the show ending at endPosition.
    void BeginEnd(int32_t endPosition);
    // Autonomous control: records every cue from NextCue on with a time up to upTo.
    void RecordPassedCues(int32_t upTo);
    // Announces the show again when kReannounceMs have passed since the last announcement.
    void Reannounce(uint32_t now, bool withClock);
    // Aims the cue timer at the next cue (or the end of the pause after the last one).
    void ArmCueTimer();
    // The fire frames of the cues due at the cue timer's tick leave from the timer's own
    // thread at that tick (SendAhead); the rest of each fire (log line, fired list) follows on
    // this thread (SettleSentAhead, from the tick, a stop or a re-aim of the timer).
    void PrepareSendAhead(uint32_t dueTick);
    void SendAhead();
    void SettleSentAhead();
    // Fires the manual key fires in order until one is an HV launch that must charge first.
    void RunManualQueue();
    // The HV launch at the head of the queue has charged: fire it, then the fires behind it.
    void LaunchCharged();
    // The stop's share of the manual fires: none that has not left yet leaves later.
    void DropManualFires();
    uint8_t LaunchState() const { return LaunchStateSource ? LaunchStateSource() : 0; }
    OtherConsoleShows& OtherShows() { return otherShows_; }
    // A show-clock frame of another console's clock test: neither a start nor a stop.
    bool IsClockTestFrame(const BusFrame& f, uint32_t now);

    bool busy_ = false;
    TControls& controls_;
    TBassPlayer sound_;
    QTimer timer_;
    // The 25 ms tick alone would leave a cue up to a whole tick late; this timer runs the tick
    // at the moment the next cue falls due (and at the end of the pause after the last cue).
    ClockTimer cueTimer_;
    struct SentAhead {
        int first = 0;  // the cue of the first send
        std::vector<std::function<int32_t()>> sends;
        std::vector<int32_t> results;  // written by the timer's thread
    };
    SentAhead ahead_;
    std::optional<int32_t> aheadResult_;  // the result SendFire takes instead of sending
    // The charge time of a manual HV launch.
    ClockTimer launchTimer_;
    struct ManualFire {
        int32_t module;
        int32_t channel;
    };
    std::deque<ManualFire> manualQueue_;  // the head is the launch that charges
    // Between the last cue and the stop: the tick count at which the stop falls due and the
    // position the show ends at.
    bool ending_ = false;
    uint32_t endTick_ = 0;
    int32_t endPosition_ = 0;
    int32_t basePosition_ = 0;
    uint32_t baseTick_ = 0;
    TProjectList* script_ = nullptr;
    uint32_t lastReport_ = 0;
    uint32_t lastSync_ = 0;
    uint32_t lastIdle_ = 0;
    uint32_t lastAnnounce_ = 0;
    int32_t lastFiredModule_ = -1;
    int32_t lastFiredChannel_ = -1;
    uint32_t lastFireTick_ = 0;
    int32_t tempo_ = 1000;
    int notSentCount_ = 0;
    int32_t lastFireResult_ = 0;
    bool echoLate_ = false;  // the fire being recorded left with its echo late
    OtherConsoleShows otherShows_;
    bool stoppedOnce_ = false;
    // What the last run left behind: the first cue it did not send, and whether it ended.
    struct RunLeft {
        bool valid = false;
        bool ended = false;
        int32_t nextCue = 0;
    };
    RunLeft runLeft_;
    uint32_t lastStopTick_ = 0;
    ShowClockSource* clock_ = nullptr;
    // Started on the outside clock, which has not started the show yet; the soundtrack starts
    // with it when the start asked for it.
    bool clockStartPending_ = false;
    bool clockStartSound_ = false;
};

// The show position of a clock started at basePosition: elapsed ms scaled by tempo per mille
// (rounded to nearest, ties to even) plus the offset.
int32_t ShowPosition(uint32_t now, uint32_t baseTick, int32_t tempo, int32_t basePosition,
                     int32_t offset);

// The fewest ms after the base tick at which ShowPosition reaches target; nullopt when it never
// does (tempo 0 or below) or not within a day.
std::optional<uint32_t> ElapsedToReach(int32_t target, int32_t tempo, int32_t basePosition,
                                       int32_t offset);

}  // namespace kv
