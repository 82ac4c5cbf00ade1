#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "console/ConsoleEnabling.h"
#include "console/ConsoleState.h"
#include "console/DebugSyncTest.h"
#include "console/IndicatorLooks.h"
#include "console/KeyHook.h"
#include "console/MemoryOperations.h"
#include "core/Signal.h"
#include "timecode/TimecodeFollower.h"

namespace kv {

class AutonomousArmCheck;
class ConsoleDialogs;
class ConsoleWiring;
class MemoryOperations;
class ShowWiring;
class TControls;
class TExtPlayer;
class TProjectList;
class TProjects;
class TimecodeShowClock;

// The timecode lamp beside the show clock: shown while the slot follows timecode, lit from the
// signal while the console listens (armed, or from the start key to the stop), greyed otherwise.
struct TimecodeLampState {
    bool Shown = false;
    bool Listening = false;
    TimecodeSignal Signal = TimecodeSignal::NoSignal;
    QString Caption;  // "LTC 25", "LTC: свободный ход", ...; "LTC" when not listening
    QString Time;     // the timecode heard last; empty without one
};

// The window's share of what a key does: its buttons, panels and dialogs.
class WindowCommands {
public:
    virtual void Perform(const KeyAction& action) = 0;

protected:
    ~WindowCommands() = default;
};

// What the window adds to the console state for a key decision.
struct WindowKeyInputs {
    bool WarningVisible = false;
    bool MainWindowActive = true;
    int SelectedCue = -1;  // selection of the cue list
};

// The show operations of the console over the bus wiring, the player, the project slots and the
// console state: script and soundtrack, start point, arming, start with its log block, stop,
// modes, tempo and offset, slots, the module checks before a script transfer, manual and step
// firing, and what each key does. It connects the player's notifications and announces its
// changes with the signals below; the window draws them. Main thread only.
//
// It makes its own ShowWiring (frames to the player, idle polling, fired-channel checks): the
// owner makes no other, or every frame would reach the player twice. The hooks it leaves in
// the wiring and the player do nothing once it is gone, so the order of destruction is free.
class ShowControl : public QObject, public ClockTestPermission, public TransferChecks {
    Q_OBJECT
public:
    // Points the player at the current slot's project, plugs it into the wiring (frames, idle
    // polling, fired-channel checks) and connects its notifications. Logs message 1 when the
    // audio output did not initialise.
    ShowControl(ConsoleWiring& wiring, TExtPlayer& player, TProjects& projects,
                ConsoleState& state);
    ~ShowControl();
    ShowControl(const ShowControl&) = delete;
    ShowControl& operator=(const ShowControl&) = delete;

    // "<F2> Сценарий": clears a loaded script, otherwise asks AskScriptFile and loads it.
    void ToggleScript();
    // "<F3> Фонограмма": unloads the soundtrack, otherwise asks AskSoundFile and loads it.
    void ToggleSound();
    // "<F4> В начало".
    void Rewind();
    // Enter: the start point from the cue at index (nothing without one; not while running).
    void SetStartPoint(int cueIndex);
    // F1: Waiting <-> Armed; nothing while running. On a slot that follows timecode arming
    // starts listening, and the timecode then starts the show at its zero without the start
    // key; a source that cannot run refuses the arming (logged and shown). Disarming ends the
    // listening.
    void ArmToggle();
    // Esc while armed.
    void Disarm();
    // "<F5> Старт" or the start key: the start block, then the player's start. Refused (false)
    // unless the start rule holds now: a click or a key that got past a stale button, or a
    // countdown that reached zero, starts nothing the rule does not allow. A slot that follows
    // timecode makes the player wait for the timecode to start the show, on the capture the
    // arming opened (its lock kept); a source that cannot run refuses the start (logged and
    // shown), never falls back to the console's own clock.
    bool Start();
    // The start block alone (script, soundtrack, modes, tempo and offset), for a start that
    // another device will give.
    void LogStartBlock();
    // "<F6> Стоп": the first stop leaves the soundtrack playing, the second stops it too.
    void Stop();
    // Test mode ends ("<TAB> Тест" up): the soundtrack test stops with it, so that the next
    // start does not join a soundtrack nobody started for the show.
    void LeaveTestMode();

    // The countdown of a start at a time of day (Ctrl+F5). Any stop (the stop key, Esc, a stop
    // from the bus, the player's own) and any disarm cancels it; CountdownGoesOn says whether
    // it still stands, and CountdownStart, at zero, starts only if the start rule holds again.
    void BeginCountdown();
    bool CountdownGoesOn() const;
    bool CountdownStart();
    void EndCountdown();
    bool CountdownRunning() const { return countdown_; }
    // The debug window's clock test starts the show clock of every device on the bus: only
    // while the console waits, nothing plays, no countdown runs and no start is awaited.
    bool ClockTestAllowed() const override;

    // Ctrl+F1 and Shift+F1.
    void CycleWorkMode();
    void ToggleControlMode();
    // Tempo in steps of 0.1 %, offset in ms; no limit. Tempo does nothing on a slot that
    // follows timecode (the timecode is the tempo), said once a show in the log.
    void TempoStep(int delta);
    void OffsetStep(int delta);
    // Keys 1..8: slot 0..7, with the per-slot modes and soundtrack memory.
    void ChangeSlot(int slot);
    // Test mode F5: stops the soundtrack, or plays it from 0.
    void SoundPlayStop();
    // Insert/Delete: forcing of the device at list index (send false: only the log line).
    void SetForcing(int deviceIndex, bool on, bool send);
    // Manual firing of channel (0-based) of the module at address, with its log line.
    void ManualFire(int32_t address, int32_t channel);
    // F7 in manual work mode: every cue sharing the time of NextCue.
    void StepFire();

    // Before a script transfer: modules the script names that are not on the bus, and (writing
    // only) modules whose cues their firmware may play wrongly. True to go on; a warning goes
    // through the present-warning dialog.
    bool CheckModulesPresent() override;
    bool CheckCueOrder() override;

    // Key hook: decides what the key does, performs the show commands in order and hands the
    // others to the window. Returns the decision (its Consumed flag for the window).
    KeyDecision HandleKey(const KeyStroke& key, const WindowKeyInputs& window,
                          WindowCommands& windowCommands);
    // Performs one show command of a decision; false for a window command.
    bool Perform(const KeyAction& action);

    // State for the display and the rules.
    EnablingInputs Enabling() const;
    // The buttons as drawn: the rules, the soundtrack key greyed without an audio device, and
    // the search key kept while a search runs (it ends the search).
    ButtonEnabling Buttons() const;
    // The test page's module commands ("Режим теста", "Режим пуска", the number change): a
    // module on the bus and nothing else holding it.
    bool ModeCommandsAllowed() const;
    ActionEnabling Actions() const { return ActionStates(Enabling()); }
    ModeIndicators ModeLooks() const;
    KeySnapshot Snapshot(const WindowKeyInputs& window) const;
    bool Playing() const;
    bool SoundLoaded() const;
    bool SoundPlaying() const;
    // The soundtrack's file name without directory; empty without one.
    QString SoundName() const;
    // The two manual keyboard panels are shown in the manual work modes.
    bool ManualPanelsVisible() const;
    TProjectList& CurrentProject() const;
    // Marks the channels the current script uses in the modules on the bus (the show view's
    // crosses); done before each OnShowViewChanged, and by the window after a search.
    void MarkUsedChannels();

    // The slot follows timecode instead of the console's own clock.
    bool FollowsTimecode() const;
    // The timecode clock the console listens to (armed, or the show started last while the
    // player follows it); null otherwise.
    const TimecodeShowClock* Timecode() const;
    TimecodeLampState TimecodeLamp() const;
    // The listening step of an armed console (its timer runs it every few ms): reads the
    // timecode, starts the show when the timecode says so, and ends the listening when the
    // console is no longer armed or has lost its converters.
    void ListenStep();
    // Armed and listening to the timecode, no show running yet.
    bool ListeningArmed() const;

    ConsoleWiring& Wiring() const { return wiring_; }
    TExtPlayer& Player() const { return player_; }
    TProjects& Projects() const { return projects_; }
    ConsoleState& State() const { return state_; }

    // Whether the play-state handler switches the idle timer (the window's poll cycle); a
    // headless run that does not poll turns it off.
    void SetDrivesIdleTimer(bool drives) { drivesIdleTimer_ = drives; }
    // A WAV file whose timecode, played in real time, stands in for the capture device of
    // every slot that follows timecode (a rehearsal); empty: the slots' own devices.
    void SetTimecodeFile(const QString& file) { timecodeFile_ = file; }
    // The questions and boxes: file dialogs, the present warning, errors. Unset: nobody, who
    // chooses nothing and cancels.
    void SetDialogs(ConsoleDialogs& dialogs) { dialogs_ = &dialogs; }
    // Before arming in autonomous control the modules' scripts are read back; without a check
    // the console arms as in direct control.
    void SetArmCheck(AutonomousArmCheck* check) { armCheck_ = check; }
    // While a memory operation runs no key starts anything.
    void SetMemoryOperations(const MemoryOperations* memory) { memory_ = memory; }

signals:
    void ButtonsChanged();             // button refresh, then the mode indicators
    void ShowViewChanged();            // slot indicators, project name, cue list
    void SoundChanged();               // "Загружена" indicator and the soundtrack name
    void PositionChanged(int32_t ms);  // show time, remaining time, list position
    void ManualKeysChanged();          // panels' visibility and all 40 keys
    void ManualKeyChanged(int32_t address, int32_t channel);  // one key
    void ChannelFired(int32_t address, int32_t channel);
    void CueSelected(int cue);                // select, focus and scroll to a cue of the list
    void WarningRaised(const QString& text);  // the red warning window
    void ModesChanged();                      // mode indicators only
    void TempoChanged();                      // tempo label and pointer
    void OffsetChanged();                     // offset and distance labels, pointer
    void PlayStateChanged();                  // "Воспр." after a start or stop
    void ShowIdle();                          // the player's idle step ran (after the poll step)
    void TimecodeLampChanged();               // the lamp's signal, caption or time changed
    // A fired channel was measured after the show (its log line is written); its key is
    // announced through ManualKeyChanged as well.
    void ChannelChecked(int32_t address, int32_t channel);

private:
    void PlayerStateChanged();
    void ExternalStop();
    void ChannelWasChecked(int32_t module, int32_t channel);
    void PlayerFired(int32_t module, int32_t channel);
    void RememberSound(SlotMemory& slot);
    void RefreshShowView();
    void ToBeginning();
    void CancelCountdown();
    // Builds, arms and starts the slot's timecode clock and hands it to the player; false
    // (logged and shown) when it cannot run.
    bool StartTimecode();
    void ReleaseTimecode();
    // Arming on a slot that follows timecode: listening, and the log line of the wait.
    bool ListenArmed();
    // The armed console's wait: its log line, the listening timer and the lamp.
    void WaitForTimecode();
    bool ClockIsOurs() const;
    // The player's start on the timecode clock listening now.
    void StartOnTimecode();
    void LampMayHaveChanged();

    ConsoleWiring& wiring_;
    TExtPlayer& player_;
    TProjects& projects_;
    ConsoleState& state_;
    ConsoleDialogs* dialogs_;
    AutonomousArmCheck* armCheck_ = nullptr;
    const MemoryOperations* memory_ = nullptr;
    bool drivesIdleTimer_ = true;
    QString timecodeFile_;
    std::unique_ptr<ShowWiring> showWiring_;
    bool countdown_ = false;
    bool countdownCancelled_ = false;
    std::unique_ptr<TimecodeShowClock> timecode_;
    QTimer listenTimer_;
    TimecodeLampState lastLamp_;
    bool tempoRefusalLogged_ = false;
    // The player's hooks hold this token: they do nothing once this object is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    Connections conns_;  // to the player and the timecode clock
};

// The addresses (ascending, each once) of the modules a script names that are not on the bus;
// addresses outside 0..255 are not counted.
std::vector<int> MissingModules(const TProjectList& script, const TControls& controls);
// The addresses (ascending) of the devices on the bus whose cues may play wrongly:
// a cue at time 0 or before, or, for a module with firmware 327 or older, a cue earlier than
// the one before it.
std::vector<int> MisorderedModules(const TProjectList& script, const TControls& controls);
// "3, 7, 12".
QString AddressListText(const std::vector<int>& addresses);

}  // namespace kv
