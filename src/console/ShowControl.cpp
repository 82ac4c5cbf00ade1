#include "console/ShowControl.h"

#include <QFileInfo>
#include <algorithm>
#include <array>
#include <limits>

#include "console/AutonomousArmCheck.h"
#include "console/ConsoleDialogs.h"
#include "console/ConsoleWiring.h"
#include "console/MemoryOperations.h"
#include "console/ShowTexts.h"
#include "console/ShowWiring.h"
#include "core/EventLog.h"
#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "shows/AudioSystem.h"
#include "shows/HvVoltagePreparation.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjects.h"
#include "timecode/TimecodeShowClock.h"
#include "timecode/TimecodeSlotClock.h"

namespace kv {

namespace {

// Modules of this firmware and older play their cues only in time order.
constexpr int32_t kLastInOrderVersion = 327;

// How often an armed console reads the timecode it waits for: the show starts within this of
// the timecode's zero.
constexpr int kListenIntervalMs = 10;

int32_t Saturated(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

void Log(const QString& line) {
    WriteLog(line, 1);
}

}  // namespace

std::vector<int> MissingModules(const TProjectList& script, const TControls& controls) {
    std::array<bool, 256> missing{};
    for (int i = 0; i < script.Count(); ++i) {
        const int32_t module = script.Cue(i).Module;
        // The table holds bus addresses only; a script may name any number.
        if (module < 0 || module > 255) {
            continue;
        }
        if (controls.FindByAddress(module) == nullptr) {
            missing[static_cast<size_t>(module)] = true;
        }
    }
    std::vector<int> out;
    for (int a = 0; a < 256; ++a) {
        if (missing[static_cast<size_t>(a)]) {
            out.push_back(a);
        }
    }
    return out;
}

std::vector<int> MisorderedModules(const TProjectList& script, const TControls& controls) {
    std::vector<int> out;
    for (int d = 0; d < controls.Count(); ++d) {
        const TCommonDevice* device = controls.Items(d);
        if (device == nullptr) {
            continue;
        }
        int64_t lastAccepted = -1;
        bool marked = false;
        for (int i = 0; i < script.Count() && !marked; ++i) {
            const TScriptCue& cue = script.Cue(i);
            if (cue.Module != device->Address) {
                continue;
            }
            if (cue.Time <= 0) {
                marked = true;  // a module takes no cue at the show's zero
            } else if (cue.Time >= lastAccepted) {
                lastAccepted = cue.Time;
            } else if (IsModuleAddress(device->Address) && device->Version <= kLastInOrderVersion) {
                marked = true;
            }
        }
        if (marked) {
            out.push_back(device->Address);
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

QString AddressListText(const std::vector<int>& addresses) {
    QStringList parts;
    for (int a : addresses) {
        parts << QString::number(a);
    }
    return parts.join(QStringLiteral(", "));
}

ShowControl::ShowControl(ConsoleWiring& wiring, TExtPlayer& player, TProjects& projects,
                         ConsoleState& state)
    : wiring_(wiring), player_(player), projects_(projects), state_(state), dialogs_(&NoDialogs()) {
    player_.SetScript(&projects_.Project(state_.CurrentSlot));
    showWiring_ = std::make_unique<ShowWiring>(wiring_, player_);
    std::shared_ptr<bool> alive = alive_;
    connect(showWiring_.get(), &ShowWiring::Idle, this, &ShowControl::ShowIdle);
    connect(showWiring_.get(), &ShowWiring::ChannelChecked, this, &ShowControl::ChannelWasChecked);
    // The devices may have changed: the script's channel marks again, and the manual keyboard
    // on the first module (or none).
    connect(&wiring_, &ConsoleWiring::SearchEnded, this, [this] {
        RefreshShowView();
        state_.ManualDevice = wiring_.Controls().FirstModuleIndex();
        state_.ManualPage = 0;
        emit ManualKeysChanged();
    });
    player_.LaunchStateSource = [this, alive] { return *alive ? state_.LaunchState : uint8_t{0}; };
    conns_ += player_.OnStateChange.Connect([this] { PlayerStateChanged(); });
    conns_ += player_.OnPosition.Connect([this](int32_t ms) { emit PositionChanged(ms); });
    conns_ += player_.OnExternalStop.Connect([this] { ExternalStop(); });
    conns_ += player_.OnFire.Connect(
        [this](int32_t module, int32_t channel) { PlayerFired(module, channel); });
    // A timecode lost for good (the slot's choice) stops the show as the stop key does; once
    // this object is gone, the player stops by itself.
    conns_ += player_.OnClockStop.Connect([this] { Stop(); });
    listenTimer_.setInterval(kListenIntervalMs);
    listenTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&listenTimer_, &QTimer::timeout, &listenTimer_, [this] { ListenStep(); });
    state_.SoundReady = AudioReady();
    if (!state_.SoundReady) {
        Log(Message(Msg::AudioDeviceInitFailed));
    }
}

ShowControl::~ShowControl() {
    *alive_ = false;
    // The player may outlive this object: it must not read a clock that is gone.
    if (timecode_ && player_.ClockSource() == timecode_.get()) {
        player_.SetClockSource(nullptr);
    }
}

bool ShowControl::FollowsTimecode() const {
    return CurrentProject().Timecode.Enabled;
}

const TimecodeShowClock* ShowControl::Timecode() const {
    return timecode_ && player_.ClockSource() == timecode_.get() ? timecode_.get() : nullptr;
}

TimecodeLampState ShowControl::TimecodeLamp() const {
    TimecodeLampState lamp;
    lamp.Shown = FollowsTimecode();
    const TimecodeShowClock* clock = Timecode();
    if (!lamp.Shown || clock == nullptr) {
        lamp.Caption = QStringLiteral("LTC");
        return lamp;
    }
    lamp.Listening = true;
    lamp.Signal = clock->Signal();
    lamp.Caption = clock->LampText();
    lamp.Time = clock->TimeText();
    return lamp;
}

bool ShowControl::ClockIsOurs() const {
    // A clock another owner gave the player (a tool's own timecode file) is left to it.
    return player_.ClockSource() == nullptr ||
           (timecode_ && player_.ClockSource() == timecode_.get());
}

bool ShowControl::ListeningArmed() const {
    return Timecode() != nullptr && !Playing() && state_.LaunchState == ConsoleState::Armed;
}

bool ShowControl::ListenArmed() {
    if (!StartTimecode()) {
        return false;
    }
    WaitForTimecode();
    return true;
}

void ShowControl::WaitForTimecode() {
    Log(Message(Msg::ArmedWaitingForTimecode));
    listenTimer_.start();
    LampMayHaveChanged();
}

void ShowControl::ListenStep() {
    if (!timecode_ || player_.ClockSource() != timecode_.get() || Playing()) {
        // Nothing to listen to, or the running show reads the clock itself.
        listenTimer_.stop();
        return;
    }
    if (state_.LaunchState != ConsoleState::Armed || wiring_.ConverterFault()) {
        // Nothing starts on a console that is no longer armed or cannot reach its modules.
        ReleaseTimecode();
        return;
    }
    timecode_->Poll();
    if (timecode_->Follower().Phase() == TimecodeShowPhase::Running) {
        if (Buttons().Start) {
            StartOnTimecode();
        } else {
            // A show the start rule refuses now (test mode, a search, a script run to its
            // end) must not start later in a burst of the cues it passed meanwhile.
            Log(Message(Msg::TimecodeStartRefusedWaitEnded));
            ReleaseTimecode();
            return;
        }
    }
    LampMayHaveChanged();
}

void ShowControl::StartOnTimecode() {
    tempoRefusalLogged_ = false;
    LogStartBlock();
    // The timecode says where the show is; the soundtrack starts with it, from there.
    const int32_t position = player_.Position;
    player_.Start(position);
    Log(StartPointLine(position));
}

void ShowControl::LampMayHaveChanged() {
    const TimecodeLampState lamp = TimecodeLamp();
    if (lamp.Shown == lastLamp_.Shown && lamp.Listening == lastLamp_.Listening &&
        lamp.Signal == lastLamp_.Signal && lamp.Caption == lastLamp_.Caption &&
        lamp.Time == lastLamp_.Time) {
        return;
    }
    lastLamp_ = lamp;
    emit TimecodeLampChanged();
}

bool ShowControl::StartTimecode() {
    ReleaseTimecode();
    TProjectList& project = CurrentProject();
    QString error;
    std::unique_ptr<TimecodeShowClock> clock =
        MakeTimecodeShowClock(project.Timecode, timecodeFile_, error);
    if (clock && !clock->Start()) {
        error = clock->Error();
        clock.reset();
    }
    if (!clock) {
        const QString line = Message(Msg::StartRefusedTimecodeSource) + QLatin1Char(' ') + error;
        Log(line);
        dialogs_->ShowError(line);
        return false;
    }
    conns_ += clock->OnLog.Connect([](const QString& line) { Log(line); });
    clock->Arm(project);
    timecode_ = std::move(clock);
    player_.SetClockSource(timecode_.get());
    return true;
}

void ShowControl::ReleaseTimecode() {
    if (!timecode_) {
        return;
    }
    listenTimer_.stop();
    if (player_.ClockSource() == timecode_.get()) {
        player_.SetClockSource(nullptr);
    }
    // Kept until the next start: the stop may come from within the clock's own reading.
    timecode_->Stop();
    timecode_->Disarm();
    LampMayHaveChanged();
}

TProjectList& ShowControl::CurrentProject() const {
    return projects_.Project(state_.CurrentSlot);
}

void ShowControl::MarkUsedChannels() {
    CurrentProject().MarkUsedChannels(wiring_.Controls());
}

void ShowControl::RefreshShowView() {
    MarkUsedChannels();
    emit ShowViewChanged();
}

bool ShowControl::Playing() const {
    return player_.IsPlaying();
}

bool ShowControl::SoundLoaded() const {
    return player_.Sound().Loaded();
}

bool ShowControl::SoundPlaying() const {
    return SoundLoaded() && player_.Sound().IsSoundPlaying();
}

QString ShowControl::SoundName() const {
    return SoundLoaded() ? QFileInfo(player_.Sound().FileName()).fileName() : QString();
}

bool ShowControl::ManualPanelsVisible() const {
    return player_.WorkMode == TCommonPlayer::WorkManual ||
           player_.WorkMode == TCommonPlayer::WorkAutomaticManual;
}

void ShowControl::ToBeginning() {
    // A new script (or slot) starts from its first cue, also for step firing.
    player_.Position = 0;
    player_.NextCue = 0;
    player_.ForgetRun();
    emit PositionChanged(0);
}

void ShowControl::ToggleScript() {
    TProjectList& project = CurrentProject();
    if (project.Count() > 0) {
        project.Clear();
    } else {
        const QString path = dialogs_->AskScriptFile();
        if (!path.isEmpty()) {
            if (const ScriptLoadError error = project.LoadFromFile(path); error) {
                dialogs_->ShowError(error.message);
            }
        }
    }
    RefreshShowView();
    emit ButtonsChanged();
    ToBeginning();
}

void ShowControl::RememberSound(SlotMemory& slot) {
    if (SoundLoaded()) {
        slot.SoundLength = player_.Sound().LengthMs();
        slot.SoundPath = player_.Sound().FileName();
    } else {
        slot.SoundLength = 0;
        slot.SoundPath.clear();
    }
}

void ShowControl::ToggleSound() {
    if (SoundLoaded()) {
        player_.UnloadSound();
    } else {
        const QString path = dialogs_->AskSoundFile();
        if (!path.isEmpty() && !player_.LoadSound(path)) {
            dialogs_->ShowError(TCommonPlayer::LoadSoundErrorText());
        }
    }
    RememberSound(state_.Slot());
    emit SoundChanged();
    emit ButtonsChanged();
    RefreshShowView();
}

void ShowControl::Rewind() {
    player_.Position = 0;
    player_.NextCue = 0;
    player_.ForgetRun();
    emit PositionChanged(0);
    if (SoundLoaded() && !SoundPlaying()) {
        player_.Sound().SeekTo(player_.Position);
    }
}

void ShowControl::SetStartPoint(int cueIndex) {
    const TProjectList& project = CurrentProject();
    if (state_.LaunchState == ConsoleState::Running || cueIndex < 0 ||
        cueIndex >= project.Count()) {
        return;
    }
    player_.Position = project.Cue(cueIndex).Time;
    player_.NextCue = cueIndex;
    player_.ForgetRun();
    emit PositionChanged(player_.Position);
    if (SoundLoaded() && !SoundPlaying()) {
        player_.Sound().SeekTo(player_.Position);
    }
    Log(StartPointLogLine(player_.Position));
}

void ShowControl::ArmToggle() {
    if (state_.LaunchState == ConsoleState::Waiting) {
        // Arming measures the HV outputs on the bus, which another operation holds now.
        if (wiring_.BusHeld()) {
            return;
        }
        // No HV output may be charged to a voltage nobody computed: the missing ones are
        // measured now, and a show whose voltages cannot be had is not armed. Once armed no
        // test or search can change them, whichever way the show is then started.
        std::vector<HvOutput> outputs = ScriptedHvOutputs(wiring_.Controls(), CurrentProject());
        if (player_.WorkMode != TCommonPlayer::WorkAutomatic) {
            outputs = AllHvOutputs(wiring_.Controls());
        }
        if (!outputs.empty()) {
            const HvPreparation hv = PrepareHvVoltages(wiring_.Controls(), outputs);
            if (!hv.Ok()) {
                dialogs_->ShowError(HvRefusedLine(hv));
                return;
            }
        }
        // In autonomous control the modules fire the script they hold: it is read back first.
        if (player_.ControlMode == TCommonPlayer::ControlAutonomous && armCheck_ != nullptr &&
            !armCheck_->Run(CurrentProject())) {
            return;
        }
        // The timecode source is opened now: one that cannot run is known before the show,
        // and the lamp shows the lock while the crew waits.
        if (FollowsTimecode() && ClockIsOurs() && !StartTimecode()) {
            return;
        }
        state_.LaunchState = ConsoleState::Armed;
        if (Timecode() != nullptr) {
            WaitForTimecode();
        }
    } else if (state_.LaunchState == ConsoleState::Armed) {
        state_.LaunchState = ConsoleState::Waiting;
        CancelCountdown();
        ReleaseTimecode();
    } else {
        return;
    }
    emit ButtonsChanged();
}

void ShowControl::Disarm() {
    CancelCountdown();
    if (state_.LaunchState == ConsoleState::Armed) {
        state_.LaunchState = ConsoleState::Waiting;
        ReleaseTimecode();
        emit ButtonsChanged();
    }
}

void ShowControl::BeginCountdown() {
    countdown_ = true;
    countdownCancelled_ = false;
}

void ShowControl::CancelCountdown() {
    if (countdown_ && !countdownCancelled_) {
        countdownCancelled_ = true;
        Log(Message(Msg::CountdownCancelled));
    }
}

bool ShowControl::CountdownGoesOn() const {
    return countdown_ && !countdownCancelled_ && state_.LaunchState == ConsoleState::Armed;
}

bool ShowControl::CountdownStart() {
    const bool go = CountdownGoesOn() && Buttons().Start;
    if (!go) {
        CancelCountdown();
    }
    EndCountdown();
    return go && Start();
}

void ShowControl::EndCountdown() {
    countdown_ = false;
    countdownCancelled_ = false;
}

bool ShowControl::ClockTestAllowed() const {
    return state_.LaunchState == ConsoleState::Waiting && !Playing() && !countdown_ &&
           !player_.WaitingExtStart && !wiring_.Searching() && !wiring_.Testing();
}

void ShowControl::LeaveTestMode() {
    wiring_.LeaveTestMode();
    if (SoundPlaying() && !Playing()) {
        player_.Sound().StopSound();
    }
    emit ButtonsChanged();
}

void ShowControl::LogStartBlock() {
    StartBlockInputs in;
    in.WorkMode = player_.WorkMode;
    in.ControlMode = player_.ControlMode;
    in.Tempo = player_.Tempo();
    in.Offset = player_.Offset;
    in.ScriptLastTime = CurrentProject().LastTime();
    in.SoundLoaded = SoundLoaded();
    in.SoundFileName = SoundName();
    in.SoundLength = in.SoundLoaded ? player_.Sound().LengthMs() : 0;
    for (const QString& line : StartBlockLines(in)) {
        Log(line);
    }
}

bool ShowControl::Start() {
    if (!Buttons().Start) {
        return false;
    }
    tempoRefusalLogged_ = false;
    if (FollowsTimecode() && ClockIsOurs()) {
        // Armed, the console listens already: the start keeps the lock it has.
        if (!ListeningArmed() && !StartTimecode()) {
            return false;
        }
        listenTimer_.stop();
        StartOnTimecode();
        return true;
    }
    LogStartBlock();
    if (SoundPlaying()) {
        // The show joins the music where it is.
        Log(StartFromSoundLine(player_.Sound().SoundPosition()));
        player_.StartFromSound();
    } else {
        const int32_t position = player_.Position;
        player_.Start(position);
        Log(StartPointLine(position));
    }
    return true;
}

void ShowControl::Stop() {
    CancelCountdown();
    if (!Playing()) {
        // The stop ends an armed console's wait for the timecode as well.
        ReleaseTimecode();
    }
    // The first stop halts the show and leaves the music playing; the next one stops the music.
    player_.Stop(!player_.IsPlaying());
}

void ShowControl::PlayerStateChanged() {
    const bool playing = player_.IsPlaying();
    if (!playing) {
        // Before the window hears of the stop: its timecode lamp goes grey with it.
        ReleaseTimecode();
    }
    if (drivesIdleTimer_) {
        // During a show the player's idle notification polls instead.
        if (playing) {
            wiring_.StopPolling();
        } else {
            wiring_.StartPolling();
        }
    }
    emit PlayStateChanged();
    if (playing) {
        state_.LaunchState = ConsoleState::Running;
    } else {
        CancelCountdown();
        Log(Message(Msg::ProjectStop));
        // Only a running show falls back to armed: a stop command from the bus, or the stop
        // of a soundtrack played alone, must not arm a waiting console.
        if (state_.LaunchState == ConsoleState::Running) {
            state_.LaunchState = ConsoleState::Armed;
            if (player_.RanToEnd()) {
                Log(Message(Msg::ScriptPlayedToEnd));
            }
        }
    }
    emit ButtonsChanged();
}

void ShowControl::ExternalStop() {
    CancelCountdown();
    if (!Playing()) {
        ReleaseTimecode();
    }
    // One message number, two defaults: the red window's text and the log line.
    emit WarningRaised(Message(Msg::EmergencyStop));
    Log(Message(Msg::EmergencyStop, MsgVariant::Alternative));
}

void ShowControl::ChannelWasChecked(int32_t module, int32_t channel) {
    emit ManualKeyChanged(module, channel);
    emit ChannelChecked(module, channel);
}

void ShowControl::PlayerFired(int32_t module, int32_t channel) {
    emit ManualKeyChanged(module, channel);
    emit ChannelFired(module, channel);
}

void ShowControl::CycleWorkMode() {
    player_.WorkMode = static_cast<uint8_t>((player_.WorkMode + 1) % 3);
    emit ManualKeysChanged();
    emit ModesChanged();
}

void ShowControl::ToggleControlMode() {
    player_.ControlMode = player_.ControlMode == TCommonPlayer::ControlDirect
                              ? TCommonPlayer::ControlAutonomous
                              : TCommonPlayer::ControlDirect;
    emit ModesChanged();
}

void ShowControl::TempoStep(int delta) {
    if (FollowsTimecode()) {
        // The timecode is the tempo; the offset still trims it.
        if (!tempoRefusalLogged_) {
            tempoRefusalLogged_ = true;
            Log(Message(Msg::TempoIgnoredOnTimecode));
        }
        return;
    }
    player_.SetTempo(Saturated(static_cast<int64_t>(player_.Tempo()) + delta));
    Log(TempoLogLine(player_.Tempo()));
    emit TempoChanged();
}

void ShowControl::OffsetStep(int delta) {
    // Through SetOffset: the timer of the next cue is re-aimed at once, not a tick later.
    player_.SetOffset(Saturated(static_cast<int64_t>(player_.Offset) + delta));
    Log(OffsetLogLine(player_.Offset));
    emit OffsetChanged();
}

void ShowControl::ChangeSlot(int slot) {
    if (slot < 0 || slot >= ConsoleState::kSlots) {
        return;
    }
    if (!Playing()) {
        // The timecode of the slot left is no longer heard.
        ReleaseTimecode();
    }
    SlotMemory& from = state_.Slot();
    from.SavedLaunchState = state_.LaunchState;
    from.SavedWorkMode = player_.WorkMode;
    from.SavedControlMode = player_.ControlMode;

    state_.CurrentSlot = slot;
    tempoRefusalLogged_ = false;
    SlotMemory& to = state_.Slot();
    state_.LaunchState = to.SavedLaunchState;
    player_.WorkMode = to.SavedWorkMode;
    player_.ControlMode = to.SavedControlMode;
    player_.SetScript(&projects_.Project(slot));
    player_.UnloadSound();
    if (to.SoundLength > 0) {
        // A file deleted since leaves the slot without a soundtrack (RememberSound below).
        player_.LoadSound(to.SoundPath);
    }
    RememberSound(to);
    emit SoundChanged();
    RefreshShowView();
    emit ButtonsChanged();
    emit ManualKeysChanged();
    ToBeginning();
    // A slot left armed listens again; one whose source cannot run now is not armed.
    if (state_.LaunchState == ConsoleState::Armed && FollowsTimecode() && ClockIsOurs() &&
        !ListenArmed()) {
        state_.LaunchState = ConsoleState::Waiting;
        emit ButtonsChanged();
    }
}

void ShowControl::SoundPlayStop() {
    if (!SoundLoaded()) {
        return;
    }
    if (SoundPlaying()) {
        player_.Sound().StopSound();
    } else {
        player_.Sound().PlayFrom(0);
    }
    emit ButtonsChanged();
}

void ShowControl::SetForcing(int deviceIndex, bool on, bool send) {
    TCommonControl* module = wiring_.Controls().ModuleAt(deviceIndex);
    if (module == nullptr) {
        return;
    }
    if (send) {
        module->SetForcing(on ? ForcingOn : ForcingOff);
    }
    Log(ForcingLogLine(on, module->Address));
}

void ShowControl::ManualFire(int32_t address, int32_t channel) {
    player_.Fire(address, channel, true, false);
    Log(ManualFireLogLine(address, channel));
}

void ShowControl::StepFire() {
    const TProjectList* script = player_.Script();
    if (script == nullptr || player_.NextCue < 0 || player_.NextCue >= script->Count()) {
        return;
    }
    const int32_t time = script->Cue(player_.NextCue).Time;
    while (player_.NextCue < script->Count() && script->Cue(player_.NextCue).Time == time) {
        const TScriptCue cue = script->Cue(player_.NextCue);
        if (IsMotorCue(cue.Kind)) {
            // A motor cue moves its motor control as in the show; it has no channel to fire.
            player_.MoveMotor(cue);
        } else {
            player_.Fire(cue.Module, cue.Channel, true, false);
            Log(StepFireLogLine(cue.Module, cue.Channel));
        }
        ++player_.NextCue;
        if (player_.NextCue < script->Count()) {
            emit CueSelected(player_.NextCue);
        }
    }
}

bool ShowControl::CheckModulesPresent() {
    const std::vector<int> missing = MissingModules(CurrentProject(), wiring_.Controls());
    if (missing.empty()) {
        return true;
    }
    return dialogs_->AskPresentWarning(Message(Msg::ScriptHasMissingModules),
                                       AddressListText(missing));
}

bool ShowControl::CheckCueOrder() {
    const std::vector<int> marked = MisorderedModules(CurrentProject(), wiring_.Controls());
    if (marked.empty()) {
        return true;
    }
    return dialogs_->AskPresentWarning(Message(Msg::ScriptMayPlayIncorrectly),
                                       AddressListText(marked));
}

EnablingInputs ShowControl::Enabling() const {
    EnablingInputs in;
    in.TestMode = wiring_.TestMode();
    in.Searching = wiring_.Searching();
    in.Testing = wiring_.Testing();
    in.Playing = Playing();
    in.SoundPlaying = SoundPlaying();
    in.LaunchState = state_.LaunchState;
    in.WorkMode = player_.WorkMode;
    in.CueCount = CurrentProject().Count();
    in.ModuleCount = wiring_.Controls().ModuleCount();
    in.RemoteCount = wiring_.Controls().HasRemoteControl();
    in.BusHeld = wiring_.BusHeld();
    in.ShowEnded = player_.RanToEnd();
    return in;
}

ModeIndicators ShowControl::ModeLooks() const {
    ModeIndicatorInputs in;
    in.Searching = wiring_.Searching();
    in.Testing = wiring_.Testing();
    in.LaunchState = state_.LaunchState;
    in.WorkMode = player_.WorkMode;
    in.ControlMode = player_.ControlMode;
    return ModeIndicatorLooks(in);
}

ButtonEnabling ShowControl::Buttons() const {
    ButtonEnabling b = ButtonStates(Enabling());
    b.Sound = b.Sound && state_.SoundReady;
    b.Search = b.Search || wiring_.Searching();
    return b;
}

bool ShowControl::ModeCommandsAllowed() const {
    return !wiring_.Testing() && !wiring_.Searching() && wiring_.Controls().ModuleCount() > 0 &&
           !wiring_.BusHeld();
}

KeySnapshot ShowControl::Snapshot(const WindowKeyInputs& window) const {
    const EnablingInputs in = Enabling();
    KeySnapshot s;
    s.WarningVisible = window.WarningVisible;
    s.MainWindowActive = window.MainWindowActive;
    s.TestMode = in.TestMode;
    s.Searching = in.Searching;
    s.Testing = in.Testing;
    s.Playing = in.Playing;
    s.SoundLoaded = SoundLoaded();
    s.SoundPlaying = in.SoundPlaying;
    s.LaunchState = in.LaunchState;
    s.WorkMode = in.WorkMode;
    s.Buttons = ButtonStates(in);
    // The button is disabled without an audio device; its key follows it.
    s.Buttons.Sound = s.Buttons.Sound && state_.SoundReady;
    s.TestModeAllEnabled = s.LaunchModeAllEnabled = ModeCommandsAllowed();
    s.MemoryRunning = memory_ != nullptr && memory_->Running();
    s.CueCount = in.CueCount;
    s.SelectedCue = window.SelectedCue;
    s.NextCue = player_.NextCue;
    s.ManualDevice = state_.ManualDevice;
    s.ManualPage = state_.ManualPage;
    s.TestSelection = wiring_.TestSelection();
    s.StartKey = state_.StartKey;
    const TControls& controls = wiring_.Controls();
    s.Devices.reserve(static_cast<size_t>(controls.Count()));
    for (int i = 0; i < controls.Count(); ++i) {
        KeyDevice d;
        if (const TCommonDevice* device = controls.Items(i)) {
            d.Address = device->Address;
            d.Kind = device->Kind;
        }
        if (const TCommonControl* module = controls.ModuleAt(i)) {
            d.ChannelCount = module->ChannelCount;
        }
        s.Devices.push_back(d);
    }
    return s;
}

KeyDecision ShowControl::HandleKey(const KeyStroke& key, const WindowKeyInputs& window,
                                   WindowCommands& windowCommands) {
    const KeyDecision decision = DecideKey(key, Snapshot(window));
    for (const KeyAction& action : decision.Actions) {
        if (!Perform(action)) {
            windowCommands.Perform(action);
        }
    }
    return decision;
}

bool ShowControl::Perform(const KeyAction& a) {
    switch (a.Command) {
        case KeyCommand::ForcingOn:
        case KeyCommand::ForcingOff:
            SetForcing(a.Device, a.Command == KeyCommand::ForcingOn, a.Send);
            return true;
        case KeyCommand::SoundPlayStop:
            SoundPlayStop();
            return true;
        case KeyCommand::ManualFire:
            ManualFire(a.Address, a.Channel);
            return true;
        case KeyCommand::StepFire:
            StepFire();
            return true;
        case KeyCommand::SetStartPoint:
            SetStartPoint(a.Cue);
            return true;
        case KeyCommand::Disarm:
            Disarm();
            return true;
        case KeyCommand::Stop:
            Stop();
            return true;
        case KeyCommand::ManualSelect:
            state_.ManualDevice = a.Device;
            state_.ManualPage = a.Page;
            emit ManualKeysChanged();
            return true;
        case KeyCommand::ChangeSlot:
            ChangeSlot(a.Slot);
            return true;
        case KeyCommand::TempoStep:
            TempoStep(a.Step);
            return true;
        case KeyCommand::OffsetStep:
            OffsetStep(a.Step);
            return true;
        case KeyCommand::ArmToggle:
            ArmToggle();
            return true;
        case KeyCommand::ProjectBtn:
            ToggleScript();
            return true;
        case KeyCommand::SoundBtn:
            ToggleSound();
            return true;
        case KeyCommand::BeginBtn:
            Rewind();
            return true;
        case KeyCommand::Start:
            Start();
            return true;
        default:
            return false;
    }
}

}  // namespace kv
