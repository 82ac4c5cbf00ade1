#pragma once

#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/Settings.h"

class QAction;
class QLabel;
class QPushButton;
class QTimer;
class QVBoxLayout;

namespace kv {

class ConsoleWiring;
class ShowWiring;
class TExtPlayer;
class TLocalizer;
class TProjects;
class TShape;

// The console's main window. Creating it opens the run's event log, reads the settings and
// brings up the bus; showing it the first time translates every window and starts polling.
// It owns the console's long-lived objects for the whole run.
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
    };

    enum : uint8_t { Waiting = 0, Armed = 1, Running = 2 };

    explicit TMainForm(Options options, QWidget* parent = nullptr);
    ~TMainForm() override;

    ConsoleWiring& Wiring() const { return *wiring_; }
    // The show player, plugged into the bus wiring, and the eight project slots it plays from.
    TExtPlayer& Player() const { return *player_; }
    TProjects& Projects() const { return *projects_; }
    TLocalizer& Localizer() const { return *localizer_; }
    const ConsoleSettings& Settings() const { return settings_; }
    QString VersionText() const { return version_; }
    QString LogFilePath() const { return logFile_; }

    // Console state kept by the main window (the show control and the status display use it).
    uint8_t LaunchState = Waiting;
    int BlinkPhase = 0;
    int PcBatteryPercent = 100;
    int ManualDevice = -1;
    int ManualPage = 0;
    int CurrentSlot = 0;
    int StartKey = 116;

    // Whether a show plays now: answered by the player unless replaced. Closing is refused
    // while this answers true.
    std::function<bool()> ShowPlaying;

    // Closing is allowed unless a show plays.
    bool CloseQuery() const;
    // Ctrl+Alt+X is allowed only when no test and no search runs and the console waits.
    bool ExitActionAllowed() const;
    // The idle-time refresh of the actions' enabled state.
    void ActionListUpdate();

    QAction* ExitAction() const { return exitAction_; }
    QPushButton* StartBtn() const { return startBtn_; }
    int DeviceRowCount() const { return static_cast<int>(rows_.size()); }
    QString DeviceRowText(int row) const;

signals:
    // The window accepted its close: the run ends, whatever other window is still open.
    void Closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildWidgets();
    void ConnectWiring();
    void CreateShowObjects();
    void FormShow();
    void RefreshButtons();
    void RebuildDeviceRows();
    void RefreshDeviceRow(int deviceIndex);
    void ConverterStateChanged(const QString& label, bool fault);
    void SearchBtnClick();

    struct Row {
        int deviceIndex;
        QLabel* label;
    };

    Options options_;
    QString logFile_;
    QString version_;
    ConsoleSettings settings_;
    std::unique_ptr<ConsoleWiring> wiring_;
    std::unique_ptr<TProjects> projects_;
    std::unique_ptr<TExtPlayer> player_;
    std::unique_ptr<ShowWiring> showWiring_;
    TLocalizer* localizer_ = nullptr;
    bool shown_ = false;
    bool closed_ = false;

    QLabel* simBanner_ = nullptr;
    QLabel* versionLabel_ = nullptr;
    TShape* rs485Led_ = nullptr;
    QLabel* rs485Label_ = nullptr;
    QLabel* devicesLabel_ = nullptr;
    QVBoxLayout* rowsLayout_ = nullptr;
    QPushButton* startBtn_ = nullptr;
    QPushButton* searchBtn_ = nullptr;
    QAction* exitAction_ = nullptr;
    QTimer* actionUpdateTimer_ = nullptr;
    std::vector<Row> rows_;
};

}  // namespace kv
