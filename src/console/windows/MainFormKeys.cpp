// The main window's keyboard: the action shortcuts, the application-wide key hook and the
// window's share of what a key does (its buttons, panels and dialogs).

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QWindow>

#include "console/ConsoleWiring.h"
#include "console/DeviceMaintenance.h"
#include "console/KeyHook.h"
#include "console/ShowControl.h"
#include "console/windows/ChannelsExportDialog.h"
#include "console/windows/CommandButtons.h"
#include "console/windows/CueListView.h"
#include "console/windows/TDebugForm.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TWarningForm.h"
#include "console/windows/TestModePanel.h"

namespace kv {

QAction* TMainForm::FindAction(const QString& name) const {
    for (QAction* action : actions()) {
        if (action->objectName() == name) {
            return action;
        }
    }
    return nullptr;
}

void TMainForm::BuildActions() {
    ShowControl& show = session_.Show();
    DeviceMaintenance& maintenance = session_.Maintenance();
    const auto memory = [this](MemoryCommand command) {
        return [this, command] { session_.RunMemoryOperation(command); };
    };
    struct Entry {
        const char* name;
        const char* text;
        QKeyCombination key;
        std::function<void()> run;
    };
    const Entry entries[] = {
        {"ControlAction", "Режим управления", Qt::SHIFT | Qt::Key_F1,
         [&show] { show.ControlActionExecute(); }},
        {"ModeAction", "Режим работы", Qt::CTRL | Qt::Key_F1, [&show] { show.ModeActionExecute(); }},
        // Takes Ctrl+F10 while enabled and does nothing, so that the key never reaches the hook.
        {"ColorAction", "Цвет", Qt::CTRL | Qt::Key_F10, [] {}},
        {"DebugAction", "Отладка", Qt::CTRL | Qt::ALT | Qt::Key_D, [this] { DebugForm().Open(); }},
        // Ctrl+F5 must never fall through to the hook as F5, which would start the show at once.
        {"ExtStartAction", "Внешний запуск", Qt::CTRL | Qt::Key_F5,
         [this] { ExtStartActionExecute(); }},
        {"ClearMemAction", "Очистить память", Qt::CTRL | Qt::Key_F8, memory(MemoryCommand::Erase)},
        {"ReadMemLogAction", "Чтение черного ящика", Qt::CTRL | Qt::Key_F9,
         memory(MemoryCommand::BlackBox)},
        {"SavePDUAction", "Запись в ПДУ", Qt::SHIFT | Qt::Key_F8,
         memory(MemoryCommand::WriteRemote)},
        {"CheckPDUAction", "Проверка ПДУ", Qt::SHIFT | Qt::Key_F9,
         memory(MemoryCommand::VerifyRemote)},
        {"PowerUpGlobal", "Форсирование: включить все", Qt::CTRL | Qt::Key_Insert,
         [&maintenance] { maintenance.ForcingAll(true); }},
        {"PowerDownGlobal", "Форсирование: выключить все", Qt::CTRL | Qt::Key_Delete,
         [&maintenance] { maintenance.ForcingAll(false); }},
        {"ExitAction", "Выход", Qt::CTRL | Qt::ALT | Qt::Key_X,
         [this] {
             if (session_.Actions().Exit) {
                 close();
             }
         }},
    };
    for (const Entry& e : entries) {
        auto* action = new QAction(QString::fromUtf8(e.text), this);
        action->setObjectName(QString::fromLatin1(e.name));
        action->setShortcut(QKeySequence(e.key));
        // Matched wherever the focus is inside the console, before the key hook sees the key.
        action->setShortcutContext(Qt::ApplicationShortcut);
        connect(action, &QAction::triggered, this, e.run);
        addAction(action);
    }
    exitAction_ = FindAction(QStringLiteral("ExitAction"));
    ActionListUpdate();
}

void TMainForm::ActionListUpdate() {
    const ActionEnabling a = session_.Actions();
    const std::pair<const char*, bool> rules[] = {
        {"ControlAction", a.Control},   {"ModeAction", a.Mode},
        {"ColorAction", a.Color},       {"ExitAction", a.Exit},
        {"PowerUpGlobal", a.PowerUp},   {"PowerDownGlobal", a.PowerDown},
        {"DebugAction", a.Debug},       {"ExtStartAction", a.ExtStart},
        {"ClearMemAction", a.ClearMem}, {"ReadMemLogAction", a.ReadMemLog},
        {"SavePDUAction", a.SavePDU},   {"CheckPDUAction", a.CheckPDU},
    };
    for (const auto& [name, enabled] : rules) {
        if (QAction* action = FindAction(QString::fromLatin1(name))) {
            action->setEnabled(enabled);
        }
    }
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
    const bool warningUp = windows_.warning != nullptr && windows_.warning->isVisible();
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
    in.WarningVisible = windows_.warning != nullptr && windows_.warning->isVisible();
    in.MainWindowActive = ownKey && isActiveWindow();
    in.SelectedCue = cues_->SelectedCue();
    return session_.Show()
        .HandleKey(key, in, [this](const KeyAction& action) { PerformWindowCommand(action); })
        .Consumed;
}

void TMainForm::PerformWindowCommand(const KeyAction& action) {
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
            ChannelsExportDialog::Run(this, session_.Wiring().Controls());
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
