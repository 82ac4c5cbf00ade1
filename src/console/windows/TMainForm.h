#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "console/ConsoleSession.h"
#include "console/KeyHook.h"
#include "console/ShowControl.h"
#include "console/windows/KeyEventCode.h"
#include "console/windows/ShowSummaryForm.h"
#include "console/windows/TDebugForm.h"
#include "console/windows/TExtStartForm.h"
#include "console/windows/TTimerForm.h"
#include "console/windows/TWarningForm.h"

class QAction;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace kv {

class CommandButtons;
class ConsoleActions;
class CueListView;
class DevicePanel;
class LaunchPage;
class ManualKeyPanel;
class SearchPanel;
class SlotStrip;
class StatusPanel;
class TLocalizer;
class TestModePanel;
class TimePanel;

// The console's main window over a session it is given: it lays out the panels, binds each to
// the session's signals, forwards the command keys and every key-down of the program to the
// session's key rules, and opens the windows it is given. Showing it the first time translates
// every window and starts the session's polling.
class TMainForm : public QMainWindow, private WindowCommands {
    Q_OBJECT
public:
    // The windows it opens, made by the caller after the main window (their translation follows
    // the creation order) and given before it is shown.
    struct Windows {
        TWarningForm* warning = nullptr;
        TExtStartForm* extStart = nullptr;
        TTimerForm* timer = nullptr;
        TDebugForm* debug = nullptr;
        ShowSummaryForm* summary = nullptr;
    };

    explicit TMainForm(ConsoleSession& session, QWidget* parent = nullptr);
    ~TMainForm() override;
    void SetWindows(const Windows& windows);

    ConsoleSession& Session() const { return session_; }
    TLocalizer& Localizer() const { return *localizer_; }
    TWarningForm& WarningForm() const { return *windows_.warning; }
    TExtStartForm& ExtStartForm() const { return *windows_.extStart; }
    TTimerForm& TimerForm() const { return *windows_.timer; }
    TDebugForm& DebugForm() const { return *windows_.debug; }
    ShowSummaryForm& SummaryForm() const { return *windows_.summary; }

    // Ctrl+F5: asks for the start condition, then counts down to the chosen time and starts the
    // show as the start key does, or waits for the start command from the bus. Returns when the
    // show has started or the operator cancelled.
    void ExtStartActionExecute();
    // Closing is allowed unless a show plays or a memory operation writes the devices.
    bool CloseQuery() const { return session_.CloseQuery(); }

    // The key hook: one key-down with its US-layout virtual-key code, after the action
    // shortcuts had their chance. True when the key was consumed.
    bool KeyDown(int keyCode) { return HookKey(KeyStroke{.Code = keyCode}, true); }
    bool KeyDown(const KeyStroke& key) { return HookKey(key, true); }

    // The enabling of the buttons, the test page and the actions, drawn from the session.
    void RefreshButtons();
    void ActionListUpdate();

    QAction* ExitAction() const { return exitAction_; }
    QAction* FindAction(const QString& name) const;
    StatusPanel& Status() const { return *status_; }
    SlotStrip& Slots() const { return *slots_; }
    CueListView& Cues() const { return *cues_; }
    TimePanel& Times() const { return *times_; }
    ManualKeyPanel& ManualKeys() const { return *manualKeys_; }
    CommandButtons& Buttons() const { return *buttons_; }
    DevicePanel& Devices() const { return *devices_; }
    TestModePanel& TestPage() const { return *testPanel_; }
    SearchPanel& Search() const { return *searchPanel_; }

signals:
    // The window accepted its close: the run ends, whatever other window is still open.
    void Closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWidgets();
    void BindPanels();
    void BuildActions();
    void FormShow();
    void FitToScreen();
    void ShowVersion();
    void SearchBtnClick();
    void TestBtnClick();
    void ShowRightColumn();
    // The hook for a key-down; ownKey false: typed into another window (or one blocked by a
    // modal window), where the hook only closes the red window.
    bool HookKey(const KeyStroke& key, bool ownKey);
    void Perform(const KeyAction& action) override;

    ConsoleSession& session_;
    // The windows may go before this one (they are gone from the pointers then).
    struct HeldWindows {
        QPointer<TWarningForm> warning;
        QPointer<TExtStartForm> extStart;
        QPointer<TTimerForm> timer;
        QPointer<TDebugForm> debug;
        QPointer<ShowSummaryForm> summary;
    } windows_;
    TLocalizer* localizer_ = nullptr;
    bool shown_ = false;
    bool screenWatched_ = false;
    QLabel* simBanner_ = nullptr;
    QLabel* versionLabel_ = nullptr;
    LaunchPage* launchPage_ = nullptr;
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
    ConsoleActions* actions_ = nullptr;
    QAction* exitAction_ = nullptr;
    KeyStrokeReader keys_;
};

}  // namespace kv
