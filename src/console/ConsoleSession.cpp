#include "console/ConsoleSession.h"

#include <QDir>
#include <array>

#include "console/AutonomousArmCheck.h"
#include "console/ConsoleDialogs.h"
#include "console/ConsoleWiring.h"
#include "console/DeviceMaintenance.h"
#include "console/MainFormTexts.h"
#include "console/MemoryOperations.h"
#include "console/ShowControl.h"
#include "console/ShowRecorder.h"
#include "core/EventLog.h"
#include "core/LogName.h"
#include "core/PcPower.h"
#include "devices/ChannelClassifier.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "shows/AudioSystem.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjects.h"
#include "timecode/TimecodeSlotSettings.h"
#include "util/IniFile.h"
#include "util/SystemUtils.h"

namespace kv {

ConsoleSession::ConsoleSession(Options options)
    : options_(std::move(options)), dialogs_(&NoDialogs()) {
    if (!options_.logDir.isEmpty()) {
        // A fresh installation has no "logs" folder; without it every line of every run would
        // be lost, so it is made here. If it still cannot be written the log disables itself.
        EnsureLogsDirectory(options_.logDir);
        logFile_ = NextLogFileName(options_.logDir);
    }
    if (options_.settings) {
        settings_ = *options_.settings;
    } else {
        settings_ = ReadConsoleSettings(options_.settingsFile);
        SetCurrentSettings(settings_);
    }
    state_.StartKey = settings_.StartKey;
    version_ = OwnVersion();
    if (!logFile_.isEmpty()) {
        SetLogLevel(1);
        SetLogFileName(logFile_);
        // The handler may run on the bus worker's thread; the listeners hear of it on this one.
        SetLogFailureHandler([this](const LogFailure& failure) {
            const QString text = LogFailureText(failure);
            QMetaObject::invokeMethod(
                this,
                [this, text] {
                    logFailed_ = true;
                    emit LogWriteFailed(text);
                },
                Qt::QueuedConnection);
        });
        WriteLogHeader(version_);
    }

    pcPower_ = options_.powerSupplyRoot.isEmpty()
                   ? std::make_unique<SysfsPowerSupply>()
                   : std::make_unique<SysfsPowerSupply>(options_.powerSupplyRoot);
    powerTimer_.setInterval(kPcPowerTimerMs);
    connect(&powerTimer_, &QTimer::timeout, this, &ConsoleSession::ReadPower);

    // The bus objects, then the show objects plugged in behind the bus manager before any
    // frame can arrive.
    wiring_ = std::make_unique<ConsoleWiring>(options_.backend, options_.simulatedRig);
    maintenance_ = std::make_unique<DeviceMaintenance>(*wiring_, *dialogs_);
    memory_ = std::make_unique<MemoryOperations>(*wiring_, *dialogs_);
    projects_ = std::make_unique<TProjects>();
    // A script is loaded against the modules found on the bus: a motor cue for a firing module
    // (or the other way round) is a load error of its line, not a cue that silently does nothing.
    for (int k = 0; k < ConsoleState::kSlots; ++k) {
        projects_->Project(k).ModuleKindAt = [this](int32_t address) {
            const TCommonDevice* d = wiring_->Controls().FindByAddress(address);
            return d != nullptr && d->IsModule() ? static_cast<int>(d->Kind) : -1;
        };
    }
    if (!options_.deferShow) {
        BuildShow();
    }
}

ConsoleSession::~ConsoleSession() {
    if (!logFile_.isEmpty()) {
        SetLogFailureHandler(nullptr);
    }
    powerTimer_.stop();
    // The bus goes first: it stops handing frames and idle steps to the player, so the show
    // objects can go after it.
    maintenance_.reset();
    recorder_.reset();
    armCheck_.reset();
    memory_.reset();
    wiring_.reset();
    show_.reset();
    player_.reset();
    projects_.reset();
}

void ConsoleSession::BuildShow() {
    if (show_) {
        return;
    }
    BuildShowObjects();
    ConnectEnabling();
    show_->SetDialogs(*dialogs_);
    armCheck_->SetDialogs(*dialogs_);
}

void ConsoleSession::BuildShowObjects() {
    // A demonstration needs no sound device: the simulated bus plays its soundtrack to the null
    // output. On real hardware the sound card is used, and a card that fails to open is
    // reported (by the show control) rather than replaced.
    SelectAudioOutput(options_.audioOutput.value_or(wiring_->Simulated() ? AudioOutput::Null
                                                                         : AudioOutput::Device));
    player_ = std::make_unique<TExtPlayer>(wiring_->Controls());
    player_->Thresholds = ResistanceThresholds::FromSettings();
    show_ = std::make_unique<ShowControl>(*wiring_, *player_, *projects_, state_);
    ReadTimecodeSlots();

    memory_->SetChecks(show_.get());
    armCheck_ = std::make_unique<AutonomousArmCheck>(*wiring_);
    armCheck_->SetWriter(this);
    show_->SetArmCheck(armCheck_.get());
    show_->SetMemoryOperations(memory_.get());

    ConnectOutcomes();
    recorder_ = std::make_unique<ShowRecorder>(*show_);
    if (!logFile_.isEmpty()) {
        recorder_->ReportsDir = ReportsDirForLog(logFile_);
    }
    connect(recorder_.get(), &ShowRecorder::ReportWritten, this, &ConsoleSession::ReportWritten);
}

void ConsoleSession::ReadTimecodeSlots() {
    // Each slot's timecode source from the settings file; a refused one stays off, and says why.
    IniFile ini;
    ini.Load(options_.settingsFile);
    std::array<bool, ConsoleState::kSlots> refused{};
    for (int slot = 0; slot < ConsoleState::kSlots; ++slot) {
        const TimecodeSlotReading reading = ReadTimecodeSlot(ini, slot + 1);
        projects_->Project(slot).Timecode = reading.slot;
        refused[static_cast<size_t>(slot)] = !reading.refused.isEmpty();
        for (const QString& line : reading.refused) {
            WriteLog(QStringLiteral("kelvanex.ini: ") + line, 1);
        }
    }
    // A rehearsal: the file replaces the capture device of every slot but a refused one, with
    // the slot's own settings where the file gives them.
    if (options_.timecodeFile.isEmpty()) {
        return;
    }
    show_->SetTimecodeFile(options_.timecodeFile);
    for (int slot = 0; slot < ConsoleState::kSlots; ++slot) {
        if (refused[static_cast<size_t>(slot)]) {
            continue;
        }
        TimecodeSlot& timecode = projects_->Project(slot).Timecode;
        timecode.Enabled = true;
        if (!options_.timecodeStart.isEmpty()) {
            timecode.ShowZero = options_.timecodeStart;
        }
    }
}

void ConsoleSession::ConnectOutcomes() {
    conns_ += player_->OnCueDone.Connect([this](int cue, int32_t result, int32_t) {
        const auto outcome = player_->ControlMode == TCommonPlayer::ControlAutonomous
                                 ? CueOutcomes::Outcome::Passed
                             : result == BusOk ? CueOutcomes::Outcome::Sent
                                               : CueOutcomes::Outcome::NotSent;
        outcomes_.CueDone(cue, outcome);
        emit CueOutcomeChanged(cue);
    });
    connect(show_.get(), &ShowControl::PlayStateChanged, this, [this] {
        if (player_->IsPlaying() && player_->WorkMode != TCommonPlayer::WorkManual) {
            // The cues from the start point on are sent again: their old marks go.
            const int from = std::max(player_->NextCue, 0);
            outcomes_.RunStarts(player_->NextCue);
            emit OutcomesCleared(from);
        }
    });
    connect(show_.get(), &ShowControl::ShowViewChanged, this, [this] {
        outcomes_.Reset(show_->CurrentProject().Count());
        emit OutcomesCleared(0);
    });
    connect(wiring_.get(), &ConsoleWiring::DeviceListChanged, this, [this] {
        std::vector<int> addresses;
        const TControls& controls = wiring_->Controls();
        for (int i = 0; i < controls.Count(); ++i) {
            if (const TCommonControl* module = controls.ModuleAt(i)) {
                addresses.push_back(module->Address);
            }
        }
        freshness_.SetDevices(addresses);
        emit StaleCountChanged();
    });
    connect(wiring_.get(), &ConsoleWiring::DevicePolled, this, [this](int index) {
        if (const TCommonControl* module = wiring_->Controls().ModuleAt(index)) {
            const bool wasStale = freshness_.Stale(module->Address);
            freshness_.Polled(module->Address, module->LastResult == 0);
            if (wasStale != freshness_.Stale(module->Address)) {
                emit StaleCountChanged();
            }
        }
        emit DeviceFreshnessChanged(index);
    });
    connect(wiring_.get(), &ConsoleWiring::ConverterStateChanged, this,
            [this](const QString&, bool fault) {
                if (!fault) {
                    return;
                }
                // Nothing the modules last said can be renewed now: their rows say so at once,
                // even while a show leaves no time to poll them.
                freshness_.LinkLost();
                for (int i = 0; i < wiring_->Controls().Count(); ++i) {
                    if (wiring_->Controls().ModuleAt(i) != nullptr) {
                        emit DeviceFreshnessChanged(i);
                    }
                }
                emit StaleCountChanged();
            });
}

void ConsoleSession::ConnectEnabling() {
    // Every change an enabling rule reads comes with one of these; the rules are evaluated
    // again and a change is announced once. The poll step's summary also catches what changes
    // on its own, such as a soundtrack that played to its end.
    const auto check = [this] { CheckEnabling(); };
    connect(show_.get(), &ShowControl::ButtonsChanged, this, check);
    connect(show_.get(), &ShowControl::ModesChanged, this, check);
    connect(show_.get(), &ShowControl::ShowViewChanged, this, check);
    connect(show_.get(), &ShowControl::SoundChanged, this, check);
    connect(show_.get(), &ShowControl::PlayStateChanged, this, check);
    connect(show_.get(), &ShowControl::ShowIdle, this, check);
    connect(wiring_.get(), &ConsoleWiring::DeviceListChanged, this, check);
    connect(wiring_.get(), &ConsoleWiring::SearchStateChanged, this, check);
    connect(wiring_.get(), &ConsoleWiring::TestStateChanged, this, check);
    connect(wiring_.get(), &ConsoleWiring::TestPanelChanged, this, check);
    connect(wiring_.get(), &ConsoleWiring::ConverterStateChanged, this, check);
    connect(wiring_.get(), &ConsoleWiring::BusHeldChanged, this, check);
    connect(wiring_.get(), &ConsoleWiring::SummaryChanged, this, check);
}

void ConsoleSession::CheckEnabling() {
    const EnablingInputs now = Enabling();
    if (now == lastEnabling_) {
        return;
    }
    lastEnabling_ = now;
    emit EnablingChanged();
}

void ConsoleSession::SetDialogs(ConsoleDialogs& dialogs) {
    dialogs_ = &dialogs;
    memory_->SetDialogs(dialogs);
    maintenance_->SetDialogs(dialogs);
    if (show_) {
        show_->SetDialogs(dialogs);
        armCheck_->SetDialogs(dialogs);
    }
}

void ConsoleSession::Open() {
    wiring_->Open();
}

void ConsoleSession::Start() {
    if (!wiring_->Searching()) {
        wiring_->StartPolling();
    }
    ReadPower();
    powerTimer_.start();
}

void ConsoleSession::Close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    wiring_->StopPolling();
    powerTimer_.stop();
    if (!logFile_.isEmpty()) {
        WriteLogClosing();
    }
}

void ConsoleSession::ReadPower() {
    power_ = ReadPowerLamps(*pcPower_);
    state_.PcBatteryPercent = power_.percent;
    emit PowerChanged();
}

void ConsoleSession::RunMemoryOperation(MemoryCommand command) {
    if (memory_->Running() || !show_) {
        return;  // the guard inside refuses it too; nothing to start from a progress report
    }
    switch (command) {
        case MemoryCommand::Write:
            memory_->WriteModules(show_->CurrentProject());
            break;
        case MemoryCommand::Verify:
            memory_->VerifyModules(show_->CurrentProject());
            break;
        case MemoryCommand::Erase:
            memory_->EraseModules();
            break;
        case MemoryCommand::BlackBox:
            memory_->ReadBlackBox();
            break;
        case MemoryCommand::WriteRemote:
            memory_->WriteRemote(show_->CurrentProject());
            break;
        case MemoryCommand::VerifyRemote:
            memory_->VerifyRemote(show_->CurrentProject());
            break;
    }
    CheckEnabling();
}

void ConsoleSession::CancelOperation() {
    memory_->Cancel();
    if (armCheck_) {
        armCheck_->Cancel();
    }
}

bool ConsoleSession::WriteScript(const TProjectList& script) {
    const MemoryOperations::Outcome o = memory_->WriteModules(script);
    return o.status == MemoryOperations::Status::Done && o.code == 0;
}

bool ConsoleSession::CloseQuery() const {
    // A memory operation writing the devices is not cut off halfway either; a termination
    // signal waits for its end.
    return !(player_ && player_->IsPlaying()) && !memory_->Running();
}

EnablingInputs ConsoleSession::Enabling() const {
    return show_ ? show_->Enabling() : EnablingInputs{};
}

bool ConsoleSession::ModeButtonsEnabled() const {
    return show_ && show_->ModeCommandsAllowed();
}

}  // namespace kv
