#pragma once

#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "bus/TPort.h"
#include "shows/TBassPlayer.h"

namespace kv {

class TControls;
class TPortProto;
class TProjectList;

// The show clock of the current project: fires its cues at their times over the bus, starts and
// stops the soundtrack with the show and reports to the console. Main thread only; the clock is
// a 25 ms timer whose running state is IsPlaying().
class TCommonPlayer {
public:
    enum : uint8_t { ControlDirect = 0, ControlAutonomous = 1 };
    enum : uint8_t { WorkAutomatic = 0, WorkManual = 1, WorkAutomaticManual = 2 };
    static constexpr int kTickMs = 25;
    // Pause between the last cue and the stop, so the last fire is under way.
    static constexpr uint32_t kEndWaitMs = 500;
    // A manual HV fire waits for the capacitor to charge.
    static constexpr uint32_t kManualChargeWaitMs = 2000;
    // Why a fire frame did not leave the console, besides the bus results of its send.
    static constexpr int32_t kFireNotOnBus = -20;   // no firing module has that address
    static constexpr int32_t kFireNoChannel = -21;  // no module has that channel

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
    virtual void Stop(bool stopSound);
    // Frame bytes 0..5 received outside an exchange (after the bus manager has seen it).
    virtual void HandleFrame(const BusFrame& frame);
    // Sends the fire frame of a cue or a key (recordOnly: only notes a cue the modules fire by
    // themselves). A frame that could not be sent is logged as such and reported through
    // OnFireNotSent, never as fired.
    virtual void Fire(int32_t module, int32_t channel, bool manual, bool recordOnly);
    virtual bool IsPlaying() const { return timer_.isActive(); }

    void SetTempo(int32_t perMille);
    int32_t Tempo() const { return tempo_; }
    // For every HV control on the bus the voltages of its cues from startPos on, the first one
    // charged at once.
    void PrepareChargeQueues(int32_t startPos);

    static QString LoadSoundErrorText();
    // "Запуск не выполнен, пульт: 9, канал: 2 - модуль не найден" for a fire that was not sent.
    static QString FireNotSentText(int32_t module, int32_t channel, int32_t result);
    // Fires not sent since the last start.
    int NotSentCount() const { return notSentCount_; }

    TBassPlayer& Sound() { return sound_; }
    TControls& Controls() const { return controls_; }
    TPortProto& Proto() const;
    TProjectList* Script() const { return script_; }
    void SetScript(TProjectList* script) { script_ = script; }

    uint8_t ControlMode = ControlDirect;
    int32_t Position = 0;
    int32_t NextCue = 0;
    uint8_t WorkMode = WorkAutomatic;
    int32_t Offset = 0;
    int32_t PositionReportInterval = 100;  // negative: every tick
    int32_t IdleInterval = 1000;           // negative: every tick
    int32_t SyncInterval = 1000;           // autonomous time broadcast; negative: every tick

    std::function<void(int32_t position)> OnPosition;
    std::function<void()> OnStateChange;
    std::function<void()> OnExternalStop;
    std::function<void()> OnIdle;
    // A fire frame did not leave the console: result is the send's bus result or kFireNotOnBus
    // or kFireNoChannel.
    std::function<void(int32_t module, int32_t channel, int32_t result)> OnFireNotSent;
    // The console's launch state (0 waiting, 1 armed, 2 running) for status answers.
    std::function<uint8_t()> LaunchStateSource;

protected:
    // Start without the soundtrack and the announcement (the soundtrack already plays).
    void StartAt(int32_t position, bool withSound, bool announce);
    void ExecuteCue(int index);
    // The fire frame of a channel: 0 when it was sent, else why not.
    int32_t SendFire(int32_t module, int32_t channel, bool manual);
    // What follows a fire frame that was sent, or a cue recorded in autonomous control.
    virtual void Fired(int32_t module, int32_t channel, bool manual);
    void FireNotSent(int32_t module, int32_t channel, int32_t result);
    uint8_t LaunchState() const { return LaunchStateSource ? LaunchStateSource() : 0; }

    bool busy_ = false;
    TControls& controls_;
    TBassPlayer sound_;
    QTimer timer_;
    int32_t basePosition_ = 0;
    uint32_t baseTick_ = 0;
    TProjectList* script_ = nullptr;
    uint32_t lastReport_ = 0;
    uint32_t lastSync_ = 0;
    uint32_t lastIdle_ = 0;
    int32_t lastFiredModule_ = -1;
    int32_t lastFiredChannel_ = -1;
    uint32_t lastFireTick_ = 0;
    int32_t tempo_ = 1000;
    int notSentCount_ = 0;
};

// The show position of a clock started at basePosition: elapsed ms scaled by tempo per mille
// (rounded to nearest, ties to even) plus the offset.
int32_t ShowPosition(uint32_t now, uint32_t baseTick, int32_t tempo, int32_t basePosition,
                     int32_t offset);

}  // namespace kv
