#pragma once

#include <QWidget>
#include <array>

#include "console/windows/ModuleSelection.h"
#include "core/Signal.h"

class QLabel;
class QPushButton;

namespace kv {

class ConsoleSession;

class ChannelGraph;
class ConsoleWiring;
class TCommonControl;
class HvPanel;
class MotorPanel;
struct ButtonEnabling;

// The test page of the main window: the module mode commands ("Режим теста", "Режим пуска"),
// the selected module's data, the selection buttons, the channel tests ("<F1> Проверка",
// "<F2> Все", "<F3> Стоп"), the soundtrack test and the mixer, and below them the channel
// grid, the HV panel or the motor panel, whichever fits the selected module's kind.
//
// The bus commands of its buttons go straight to the wiring; the soundtrack and mixer buttons
// belong to the show control, which the main window connects. The keys act through the
// buttons (click()), so a disabled button also stops its key.
class TestModePanel : public QWidget, public ModuleSelection {
    Q_OBJECT
public:
    // Enabled state of the buttons, as the console's enabling rules give it.
    struct Enabled {
        bool Up = false;
        bool Down = false;
        bool Check = false;  // "<F1> Проверка"
        bool All = false;    // "<F2> Все"
        bool Stop = false;   // "<F3> Стоп"
        bool Sound = false;  // "<F5> Фонограмма"
        bool Mixer = false;  // "<F6> Микшер"
        bool TestModeAll = false;
        bool LaunchModeAll = false;
        bool ChangeId = false;  // "Изменить ID пульта..."
    };
    // The test-panel part of the main window's button rules; the module mode commands are
    // allowed when no test and no search runs and a module is on the bus.
    static Enabled FromButtons(const ButtonEnabling& buttons, bool modeCommands);

    explicit TestModePanel(QWidget* parent = nullptr);
    ~TestModePanel() override;

    // The console's wiring the panel shows and commands (the main window makes it after its
    // widgets). Connects the buttons and makes the channel tests redraw after every channel and
    // let window events run, which is how "<F3> Стоп" and the window stay alive during a test.
    // The progress hook does nothing once the panel is gone.
    void Attach(ConsoleWiring& wiring);

    // The session's test page: the wiring's tests, the maintenance commands, the soundtrack
    // test and the mixer; redrawn when the wiring says so.
    void Bind(ConsoleSession& session);
    // The buttons' enabling from the session's rules.
    void RefreshEnabling();
    void SetEnabled(const Enabled& enabled);
    TCommonControl* SelectedModule() const override { return Selected(); }
    // Shows the panel that fits the selected module and redraws it with the module data.
    void RefreshTestPanel();
    // The module data only: every idle tick in test mode while modules exist and no test runs.
    void RefreshLabels();

    ChannelGraph& Graph() const { return *graph_; }
    HvPanel& Hv() const { return *hv_; }
    MotorPanel& Motor() const { return *motor_; }
    QWidget* ChannelsPanel() const { return channels_; }
    // The seven module data values, in the order of TestPanelModel::Labels.
    QLabel* DataLabel(int index) const { return data_[static_cast<size_t>(index)]; }

    // The main window connects the mode commands: they read the modes back and name the
    // modules that did not switch, in boxes of their own.
    QPushButton* TestModeBtn = nullptr;    // "Режим теста" (F11)
    QPushButton* LaunchModeBtn = nullptr;  // "Режим пуска" (F12)
    QPushButton* UpBtn = nullptr;
    QPushButton* DownBtn = nullptr;
    // The selected module's new number; the main window connects it (the command asks and
    // answers through boxes of its own).
    QPushButton* ChangeIdBtn = nullptr;
    QPushButton* CheckTestBtn = nullptr;  // "<F1> Проверка"
    QPushButton* AllTestBtn = nullptr;    // "<F2> Все"
    QPushButton* StopTestBtn = nullptr;   // "<F3> Стоп"
    QPushButton* SoundTestBtn = nullptr;  // "<F5> Фонограмма"
    QPushButton* SoundVolBtn = nullptr;   // "<F6> Микшер"

signals:
    // The selection moved (Up/Down): the window refreshes its buttons.
    void SelectionChanged();

private:
    void OpenMixer();
    ConsoleSession* session_ = nullptr;
    TCommonControl* Selected() const;

    ConsoleWiring* wiring_ = nullptr;
    QLabel* title_ = nullptr;
    QWidget* channels_ = nullptr;
    ChannelGraph* graph_ = nullptr;
    HvPanel* hv_ = nullptr;
    MotorPanel* motor_ = nullptr;
    std::array<QLabel*, 7> data_{};
    ScopedConnection progress_;  // the channel tests' redraw
};

}  // namespace kv
