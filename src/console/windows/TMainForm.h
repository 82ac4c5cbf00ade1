#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "console/ConsoleState.h"
#include "console/CueOutcomes.h"
#include "console/DeviceFreshness.h"
#include "console/IndicatorLooks.h"
#include "console/windows/ShowSummaryForm.h"
#include "core/Settings.h"
#include "core/Signal.h"

class QAction;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace kv {

class CommandButtons;
class ConsoleWiring;
class CueListView;
class DeviceMaintenance;
class PcPowerSource;
class DevicePanel;
class ManualKeyPanel;
class SearchPanel;
class ShowControl;
class ShowRecorder;
class AutonomousArmCheck;
class SlotStrip;
class TestModePanel;
class StatusPanel;
class MemoryOperations;
class TDebugForm;
class TExtPlayer;
class TExtStartForm;
class TTimerForm;
class TLocalizer;
class TMemoryForm;
class TPresentWarningForm;
class TProjects;
class TWarningForm;
class TimePanel;
struct KeyAction;
struct KeyStroke;

// The console's main window. Creating it opens the run's event log, reads the settings, brings
// up the bus and the show control; showing it the first time translates every window and starts
// polling. It owns the console's long-lived objects for the whole run, composes the panels that
// draw them and passes every key-down of the program through the key hook.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Makes the bus objects (converter back end chosen by the program's options).
    using WiringFactory = std::function<std::unique_ptr<ConsoleWiring>()>;

    struct Options {
        // Where kelvanex.ini and the "logs" folder are: the executable's directory.
        QString programDir;
        // An installed program's settings file and log folder (FileLocations); empty: the
        // ones in programDir.
        QString settingsFile;
        QString logDir;
        WiringFactory makeWiring;
        // The kernel's power-supply folder read for the PC power lamps; empty: the system's.
        QString powerSupplyRoot;
        // A rehearsal: every slot follows the timecode of this WAV file (but one whose settings
        // were refused), its show's zero at timecodeStart (empty: the slot's own).
        QString timecodeFile;
        QString timecodeStart;
    };

    enum : uint8_t {
        Waiting = ConsoleState::Waiting,
        Armed = ConsoleState::Armed,
        Running = ConsoleState::Running
    };
    static constexpr int kSoundTimerMs = 200;
    static constexpr int kErrFlashTimerMs = 700;
    static constexpr int kPcPowerTimerMs = 5000;

    explicit TMainForm(Options options, QWidget* parent = nullptr);
    ~TMainForm() override;

    ConsoleWiring& Wiring() const { return *wiring_; }
    // The show player, plugged into the bus wiring, and the eight project slots it plays from.
    TExtPlayer& Player() const { return *player_; }
    TProjects& Projects() const { return *projects_; }
    ShowControl& Show() const { return *show_; }
    // The counts of the last show; nullptr before the first report.
    ShowSummaryForm* SummaryForm() const { return summaryForm_; }
    ShowRecorder& Recorder() const { return *recorder_; }
    ConsoleState& State() { return state_; }
    const ConsoleState& State() const { return state_; }
    TLocalizer& Localizer() const { return *localizer_; }
    const ConsoleSettings& Settings() const { return settings_; }
    QString VersionText() const { return version_; }
    QString LogFilePath() const { return logFile_; }

    // The warning windows are created right after the main window (their translation follows
    // the creation order); a form left without them makes its own.
    void SetWarningWindows(TWarningForm* warning, TPresentWarningForm* present);
    TWarningForm& WarningForm();
    TPresentWarningForm& PresentWarningForm();
    void SetMemoryForm(TMemoryForm* form);
    TMemoryForm& MemoryForm();
    MemoryOperations& Memory() const { return *memory_; }
    // The start condition dialog and the countdown window (made here when not given).
    void SetStartWindows(TExtStartForm* extStart, TTimerForm* timer);
    TExtStartForm& ExtStartForm();
    TTimerForm& TimerForm();
    // Ctrl+F5: asks for the start condition, then counts down to the chosen time and starts the
    // show as the start key does, or waits for the start command from the bus. Returns when the
    // show has started or the operator cancelled.
    void ExtStartActionExecute();
    // The debug window (Ctrl+Alt+D), attached to the bus here; made here when not given.
    void SetDebugForm(TDebugForm* form);
    TDebugForm& DebugForm();

    // The six operations on the script in the devices' memory.
    enum class MemoryCommand { Write, Verify, Erase, BlackBox, WriteRemote, VerifyRemote };
    void RunMemoryOperation(MemoryCommand command);

    // Whether a show plays now: answered by the player unless replaced. Closing is refused
    // while this answers true.
    std::function<bool()> ShowPlaying;

    // Closing is allowed unless a show plays.
    bool CloseQuery() const;
    // Ctrl+Alt+X is allowed only when no test and no search runs and the console waits.
    bool ExitActionAllowed() const;
    // The idle-time refresh of the actions' enabled state.
    void ActionListUpdate();

    // The key hook: one key-down with its US-layout virtual-key code, after the action
    // shortcuts had their chance. True when the key was consumed.
    bool KeyDown(int keyCode);
    // The same with the key's repeat flag and modifiers, as the window received it.
    bool KeyDown(const KeyStroke& key);

    // The refreshes of the display.
    void RefreshButtons();
    void RefreshModeIndicators();
    void RefreshShowView();
    void ShowPosition(int32_t ms);
    void RefreshManualKeys();
    void RefreshManualKey(int32_t address, int32_t channel);
    void RefreshSound();
    void RefreshTempo();
    void RefreshOffset();
    void RefreshBattery();
    void SoundTimerTick();
    void ErrFlashTimerTick();
    // Reads the PC's power supply into the three lamps and the battery gauge.
    void PCPowerTimerTick();

    QAction* ExitAction() const { return exitAction_; }
    QAction* FindAction(const QString& name) const;
    QPushButton* StartBtn() const;
    int DeviceRowCount() const;
    QString DeviceRowText(int row) const;

    StatusPanel& Status() const { return *status_; }
    SlotStrip& Slots() const { return *slots_; }
    CueListView& Cues() const { return *cues_; }
    TimePanel& Times() const { return *times_; }
    ManualKeyPanel& ManualKeys() const { return *manualKeys_; }
    CommandButtons& Buttons() const { return *buttons_; }
    DevicePanel& Devices() const { return *devices_; }
    TestModePanel& TestPage() const { return *testPanel_; }
    SearchPanel& Search() const { return *searchPanel_; }
    QTimer& SoundTimer() { return soundTimer_; }
    QTimer& ErrFlashTimer() { return errFlashTimer_; }
    QTimer& PCPowerTimer() { return pcPowerTimer_; }
    DeviceMaintenance& Maintenance() const { return *maintenance_; }
    // What became of each cue of the current script, and which modules no longer answer.
    const CueOutcomes& Outcomes() const { return cueOutcomes_; }
    const DeviceFreshness& Freshness() const { return freshness_; }

signals:
    // The window accepted its close: the run ends, whatever other window is still open.
    void Closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWidgets();
    void BuildActions();
    QAction* AddAction(const QString& name, const QString& text, const QKeySequence& key,
                       std::function<void()> run);
    void ConnectWiring();
    void CreateShowObjects();
    void ConnectShowControl();
    void ConnectMemoryOperations();
    // The read-back of the modules' scripts before arming in autonomous control.
    void ConnectArmCheck();
    void FormShow();
    void RebuildDeviceRows();
    void RefreshDeviceRow(int deviceIndex);
    void RefreshSummaryLeds();
    void RefreshDeviceTotal();
    // A cue's outcome: marked in the list and counted beside the show clock.
    void MarkCue(int cue, CueOutcomes::Outcome outcome);
    void RefreshNotSent();
    void ConverterStateChanged(const QString& label, bool fault);
    // The event log stopped being written: said once in the red window, and for the rest of the
    // run beside the version label.
    void LogWriteFailed(const QString& text);
    void ShowVersion();
    void SearchBtnClick();
    void TestBtnClick();
    void ShowRightColumn();
    void FitToScreen();
    void OpenMixer();
    // The hook for a key-down; ownKey false: typed into another window (or one blocked by a
    // modal window), where the hook only closes the red window.
    bool HookKey(const KeyStroke& key, bool ownKey);
    void PerformWindowCommand(const KeyAction& action);
    QString AskFile(const QString& filter);

    Options options_;
    QString logFile_;
    QString version_;
    ConsoleSettings settings_;
    ConsoleState state_;
    std::unique_ptr<ConsoleWiring> wiring_;
    std::unique_ptr<TProjects> projects_;
    std::unique_ptr<TExtPlayer> player_;
    Connections playerConns_;
    std::unique_ptr<ShowControl> show_;
    std::unique_ptr<ShowRecorder> recorder_;
    std::unique_ptr<AutonomousArmCheck> armCheck_;
    QPointer<ShowSummaryForm> summaryForm_;
    std::unique_ptr<MemoryOperations> memory_;
    std::unique_ptr<DeviceMaintenance> maintenance_;
    std::unique_ptr<PcPowerSource> pcPower_;
    TLocalizer* localizer_ = nullptr;
    TWarningForm* warningForm_ = nullptr;
    TPresentWarningForm* presentWarningForm_ = nullptr;
    TMemoryForm* memoryForm_ = nullptr;
    TExtStartForm* extStartForm_ = nullptr;
    TTimerForm* timerForm_ = nullptr;
    // The window may be destroyed before this one (it is then gone from the pointer); its
    // clock test is detached from the bus before the bus goes.
    QPointer<TDebugForm> debugForm_;
    bool shown_ = false;
    bool screenWatched_ = false;
    bool closed_ = false;
    bool logFailed_ = false;
    PresenceLeds presence_;
    CueOutcomes cueOutcomes_;
    DeviceFreshness freshness_;

    QLabel* simBanner_ = nullptr;
    QLabel* versionLabel_ = nullptr;
    QLabel* projectName_ = nullptr;
    QStackedWidget* centre_ = nullptr;
    StatusPanel* status_ = nullptr;
    SlotStrip* slots_ = nullptr;
    CueListView* cues_ = nullptr;
    TimePanel* times_ = nullptr;
    SearchPanel* searchPanel_ = nullptr;
    TestModePanel* testPanel_ = nullptr;
    ManualKeyPanel* manualKeys_ = nullptr;
    CommandButtons* buttons_ = nullptr;
    DevicePanel* devices_ = nullptr;
    QAction* exitAction_ = nullptr;
    QTimer actionUpdateTimer_;
    QTimer soundTimer_;
    QTimer errFlashTimer_;
    QTimer pcPowerTimer_;
    // The last key-down or release of each physical key, to tell the keyboard's repeat from a
    // new press.
    struct KeyEdge {
        quint64 time = 0;
        bool released = false;
    };
    std::map<int, KeyEdge> heldKeys_;
};

}  // namespace kv
