#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <optional>

#include "console/AutonomousArmCheck.h"
#include "console/ConsoleEnabling.h"
#include "console/ConsoleState.h"
#include "console/CueOutcomes.h"
#include "console/DeviceFreshness.h"
#include "console/PowerLamps.h"
#include "core/Settings.h"
#include "core/Signal.h"
#include "shows/AudioSystem.h"

namespace kv {

class ConsoleDialogs;
class ConsoleWiring;
class ConverterBackend;
class DeviceMaintenance;
class MemoryOperations;
class PcPowerSource;
class ShowControl;
class ShowRecorder;
class TExtPlayer;
class TProjectList;
class TProjects;
struct ShowRecord;

// The six operations on the script in the devices' memory.
enum class MemoryCommand { Write, Verify, Erase, BlackBox, WriteRemote, VerifyRemote };

// The console below its windows, composed once: the settings, the run's event log, the bus
// wiring, the eight project slots, the show player, the show control, the memory operations,
// the read-back before an autonomous arming, the show records, the maintenance commands and
// the PC's power supply. `kelvane`'s main, the tests and the tools build it; the window receives
// it, draws what it announces and forwards the operator's input. Main thread only.
//
// What it owns goes in the reverse order of its making (the destructor says so once): the bus
// stops handing frames to the player before the show objects go.
class ConsoleSession : public QObject, private ScriptWriter {
    Q_OBJECT
public:
    struct Options {
        // The converters (tty or simulated) and, on a simulated bus, the rig's name.
        std::shared_ptr<ConverterBackend> backend;
        QString simulatedRig;
        // kelvanex.ini; empty: the built-in settings.
        QString settingsFile;
        // The folder of the run's event log (made when missing); empty: the caller keeps the
        // log as it has set it up.
        QString logDir;
        // The kernel's power-supply folder read for the PC power lamps; empty: the system's.
        QString powerSupplyRoot;
        // A rehearsal: every slot follows the timecode of this WAV file (but one whose
        // settings were refused), its show's zero at timecodeStart (empty: the slot's own).
        QString timecodeFile;
        QString timecodeStart;
        // Settings the caller has already read and made current: neither read again nor made
        // current a second time (settingsFile then only names the timecode slots' source).
        std::optional<ConsoleSettings> settings;
        // The soundtrack's output; empty: the null output on a simulated bus, the card otherwise.
        std::optional<AudioOutput> audioOutput;
        // The player, the show control, the read-back and the recorder wait for BuildShow(): a
        // tool whose command plays no show neither opens the sound device nor answers the other
        // consoles on the bus.
        bool deferShow = false;
    };

    static constexpr int kPcPowerTimerMs = 5000;

    explicit ConsoleSession(Options options);
    ~ConsoleSession() override;

    // The questions and boxes of every console object; the default answers nobody's "no".
    void SetDialogs(ConsoleDialogs& dialogs);
    ConsoleDialogs& Dialogs() const { return *dialogs_; }
    // Makes the show objects now, when they were deferred; nothing when they exist.
    void BuildShow();
    bool ShowBuilt() const { return show_ != nullptr; }
    // Opens the converters; the window calls it once it is connected to the signals.
    void Open();
    // The start of polling and of the power readings, once the console is on screen.
    void Start();
    // The run ends: polling stops, the log's closing lines are written (once).
    void Close();

    ConsoleWiring& Wiring() const { return *wiring_; }
    // Player(), Show(), ArmCheck() and Recorder() exist once the show is built.
    TProjects& Projects() const { return *projects_; }
    TExtPlayer& Player() const { return *player_; }
    ShowControl& Show() const { return *show_; }
    MemoryOperations& Memory() const { return *memory_; }
    DeviceMaintenance& Maintenance() const { return *maintenance_; }
    AutonomousArmCheck& ArmCheck() const { return *armCheck_; }
    ShowRecorder& Recorder() const { return *recorder_; }
    ConsoleState& State() { return state_; }
    const ConsoleState& State() const { return state_; }
    const ConsoleSettings& Settings() const { return settings_; }
    QString LogFilePath() const { return logFile_; }
    QString Version() const { return version_; }
    // The event log stopped being written (said once through LogWriteFailed).
    bool LogFailed() const { return logFailed_; }

    // What became of each cue of the current script, and which modules no longer answer.
    const CueOutcomes& Outcomes() const { return outcomes_; }
    const DeviceFreshness& Freshness() const { return freshness_; }
    // The PC power lamps as last read.
    const PowerLamps& Power() const { return power_; }
    void ReadPower();
    QTimer& PowerTimer() { return powerTimer_; }

    // The operator's memory commands (F8, F9, Ctrl+F8, Ctrl+F9, Shift+F8, Shift+F9); nothing
    // while one runs.
    void RunMemoryOperation(MemoryCommand command);
    // The progress window's cancel: the running memory operation or read-back stops.
    void CancelOperation();
    // A show plays, or a memory operation writes the devices: the window may not close.
    bool CloseQuery() const;

    // Every input of the enabling and key rules, the running memory operation included.
    EnablingInputs Enabling() const;
    ButtonEnabling Buttons() const { return ButtonStates(Enabling()); }
    ActionEnabling Actions() const { return ActionStates(Enabling()); }
    // The test page's two mode buttons: enabled by the buttons' rules and a free bus with
    // modules on it.
    bool ModeButtonsEnabled() const;

signals:
    // The enabling may have changed: buttons, actions, the test page's buttons.
    void EnablingChanged();
    // A cue's outcome changed (marked in the list); the not-sent count may have changed.
    void CueOutcomeChanged(int cue);
    // Every outcome was cleared from cue `from` on (a new script, a new run from there).
    void OutcomesCleared(int from);
    // A module's row: it answered again, or missed its polls.
    void DeviceFreshnessChanged(int deviceIndex);
    // The count of modules that no longer answer changed.
    void StaleCountChanged();
    void PowerChanged();
    // The event log stopped being written: said once.
    void LogWriteFailed(const QString& text);
    // A show report was written: the record and its files.
    void ReportWritten(const ShowRecord& record, const QStringList& files);

private:
    bool WriteScript(const TProjectList& script) override;
    void BuildShowObjects();
    void ReadTimecodeSlots();
    void ConnectOutcomes();
    void ConnectEnabling();
    void CheckEnabling();

    Options options_;
    QString logFile_;
    QString version_;
    bool logFailed_ = false;
    bool closed_ = false;
    ConsoleSettings settings_;
    ConsoleState state_;
    CueOutcomes outcomes_;
    DeviceFreshness freshness_;
    PowerLamps power_;
    EnablingInputs lastEnabling_;
    QTimer powerTimer_;
    ConsoleDialogs* dialogs_;
    std::unique_ptr<PcPowerSource> pcPower_;
    std::unique_ptr<ConsoleWiring> wiring_;
    std::unique_ptr<TProjects> projects_;
    std::unique_ptr<TExtPlayer> player_;
    std::unique_ptr<ShowControl> show_;
    std::unique_ptr<MemoryOperations> memory_;
    std::unique_ptr<AutonomousArmCheck> armCheck_;
    std::unique_ptr<DeviceMaintenance> maintenance_;
    std::unique_ptr<ShowRecorder> recorder_;
    Connections conns_;  // to the player
};

}  // namespace kv
