// The main window's keyboard: the action shortcuts, the application-wide key hook and the
// window's share of what a key does (its buttons, panels and dialogs).

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QWindow>

#include "console/ChannelsExport.h"
#include "console/ConsoleWiring.h"
#include "console/KeyHook.h"
#include "console/ShowControl.h"
#include "console/windows/CommandButtons.h"
#include "console/windows/ConsoleActions.h"
#include "console/windows/CueListView.h"
#include "console/windows/TDebugForm.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TWarningForm.h"
#include "console/windows/TestModePanel.h"

namespace kv {

QAction* TMainForm::FindAction(const QString& name) const {
    return actions_->Find(name);
}

void TMainForm::BuildActions() {
    actions_ = new ConsoleActions(*this, session_);
    connect(actions_, &ConsoleActions::DebugRequested, this, [this] { DebugForm().Open(); });
    connect(actions_, &ConsoleActions::ExternalStartRequested, this,
            &TMainForm::ExtStartActionExecute);
    connect(actions_, &ConsoleActions::ExitRequested, this, &QWidget::close);
    exitAction_ = FindAction(QStringLiteral("ExitAction"));
}

void TMainForm::ActionListUpdate() {
    actions_->Refresh();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // Each key-down reaches the top-level window it is typed into exactly once, after the
    // action shortcuts and before the window hands it to the focused control (and then up the
    // parents, through this filter again each time): the hook decides it there, so two keys of
    // a chord are two decisions and no key is decided twice.
    const QEvent::Type type = event->type();
    if (type == QEvent::ApplicationStateChange ||
        ((type == QEvent::WindowDeactivate || type == QEvent::WindowActivate) && watched == this)) {
        keys_.Forget();
        return false;
    }
    if (!watched->isWindowType()) {
        return false;
    }
    const std::optional<KeyStroke> stroke = keys_.Read(*event);
    const bool warningUp = windows_.warning && windows_.warning->isVisible();
    if (!stroke || (stroke->Code == 0 && !warningUp)) {
        return false;
    }
    // A key typed into another window is that window's. So is one that reaches this window
    // while a modal window blocks it: Qt drops it after this filter, and so does the hook.
    const bool ownKey = watched == static_cast<QObject*>(windowHandle()) &&
                        QApplication::activeModalWidget() == nullptr;
    return HookKey(*stroke, ownKey);
}

bool TMainForm::HookKey(const KeyStroke& key, bool ownKey) {
    WindowKeyInputs in;
    in.WarningVisible = windows_.warning && windows_.warning->isVisible();
    in.MainWindowActive = ownKey && isActiveWindow();
    in.SelectedCue = cues_->SelectedCue();
    return session_.Show().HandleKey(key, in, *this).Consumed;
}

void TMainForm::Perform(const KeyAction& action) {
    switch (action.Command) {
        case KeyCommand::CloseWarning:
            WarningForm().CloseWarning();
            break;
        case KeyCommand::ToggleTest:
            buttons_->TestBtn->toggle();
            TestBtnClick();
            break;
        case KeyCommand::SelectPrevCue:
        case KeyCommand::SelectNextCue:
            cues_->SelectCue(action.Cue);
            break;
        case KeyCommand::ToggleSearch:
            buttons_->SearchBtn->toggle();
            SearchBtnClick();
            break;
        // The test page's keys act through its buttons, so a disabled button stops its key too.
        case KeyCommand::TestDeviceUp:
            testPanel_->UpBtn->click();
            break;
        case KeyCommand::TestDeviceDown:
            testPanel_->DownBtn->click();
            break;
        case KeyCommand::TestSelected:
            testPanel_->CheckTestBtn->click();
            break;
        case KeyCommand::TestAll:
            testPanel_->AllTestBtn->click();
            break;
        case KeyCommand::TestStop:
            testPanel_->StopTestBtn->click();
            break;
        case KeyCommand::ClickTestModeAll:
            testPanel_->TestModeBtn->click();
            break;
        case KeyCommand::ClickLaunchModeAll:
            testPanel_->LaunchModeBtn->click();
            break;
        case KeyCommand::OpenMixer:
            testPanel_->SoundVolBtn->click();
            break;
        case KeyCommand::ExportChannels:
            ExportConnectedChannels(session_.Wiring().Controls(), session_.Dialogs());
            break;
        case KeyCommand::SaveScript:
            session_.RunMemoryOperation(MemoryCommand::Write);
            break;
        case KeyCommand::CheckScript:
            session_.RunMemoryOperation(MemoryCommand::Verify);
            break;
        default:
            break;
    }
    RefreshButtons();
}

}  // namespace kv
