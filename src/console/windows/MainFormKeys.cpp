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
#include "console/MemoryOperations.h"
#include "console/ShowControl.h"
#include "console/windows/ChannelsExportDialog.h"
#include "console/windows/CommandButtons.h"
#include "console/windows/CueListView.h"
#include "console/windows/KeyEventCode.h"
#include "console/windows/TDebugForm.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TWarningForm.h"
#include "console/windows/TestModePanel.h"
#include "core/EventLog.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "devices/TSoftControl.h"

namespace kv {

QAction* TMainForm::AddAction(const QString& name, const QString& text, const QKeySequence& key,
                              std::function<void()> run) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setShortcut(key);
    // Matched wherever the focus is inside the console, before the key hook sees the key.
    action->setShortcutContext(Qt::ApplicationShortcut);
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    addAction(action);
    return action;
}

QAction* TMainForm::FindAction(const QString& name) const {
    for (QAction* action : actions()) {
        if (action->objectName() == name) {
            return action;
        }
    }
    return nullptr;
}

void TMainForm::BuildActions() {
    AddAction(QStringLiteral("ControlAction"), QStringLiteral("Режим управления"),
              QKeySequence(Qt::SHIFT | Qt::Key_F1), [this] { show_->ControlActionExecute(); });
    AddAction(QStringLiteral("ModeAction"), QStringLiteral("Режим работы"),
              QKeySequence(Qt::CTRL | Qt::Key_F1), [this] { show_->ModeActionExecute(); });
    // Takes Ctrl+F10 while enabled and does nothing, so that the key never reaches the hook.
    AddAction(QStringLiteral("ColorAction"), QStringLiteral("Цвет"),
              QKeySequence(Qt::CTRL | Qt::Key_F10), [] {});
    AddAction(QStringLiteral("DebugAction"), QStringLiteral("Отладка"),
              QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D), [this] { DebugForm().Open(); });
    // Ctrl+F5 must never fall through to the hook as F5, which would start the show at once.
    AddAction(QStringLiteral("ExtStartAction"), QStringLiteral("Внешний запуск"),
              QKeySequence(Qt::CTRL | Qt::Key_F5), [this] { ExtStartActionExecute(); });
    AddAction(QStringLiteral("ClearMemAction"), QStringLiteral("Очистить память"),
              QKeySequence(Qt::CTRL | Qt::Key_F8),
              [this] { RunMemoryOperation(MemoryCommand::Erase); });
    AddAction(QStringLiteral("ReadMemLogAction"), QStringLiteral("Чтение черного ящика"),
              QKeySequence(Qt::CTRL | Qt::Key_F9),
              [this] { RunMemoryOperation(MemoryCommand::BlackBox); });
    AddAction(QStringLiteral("SavePDUAction"), QStringLiteral("Запись в ПДУ"),
              QKeySequence(Qt::SHIFT | Qt::Key_F8),
              [this] { RunMemoryOperation(MemoryCommand::WriteRemote); });
    AddAction(QStringLiteral("CheckPDUAction"), QStringLiteral("Проверка ПДУ"),
              QKeySequence(Qt::SHIFT | Qt::Key_F9),
              [this] { RunMemoryOperation(MemoryCommand::VerifyRemote); });
    AddAction(QStringLiteral("PowerUpGlobal"), QStringLiteral("Форсирование: включить все"),
              QKeySequence(Qt::CTRL | Qt::Key_Insert), [this] { maintenance_->ForcingAll(true); });
    AddAction(QStringLiteral("PowerDownGlobal"), QStringLiteral("Форсирование: выключить все"),
              QKeySequence(Qt::CTRL | Qt::Key_Delete), [this] { maintenance_->ForcingAll(false); });
    exitAction_ = AddAction(QStringLiteral("ExitAction"), QStringLiteral("Выход"),
                            QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_X), [this] {
                                if (ExitActionAllowed()) {
                                    close();
                                }
                            });
    ActionListUpdate();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // Each key-down reaches the top-level window it is typed into exactly once, after the
    // action shortcuts and before the window hands it to the focused control (and then up the
    // parents, through this filter again each time): the hook decides it there, so two keys of
    // a chord are two decisions and no key is decided twice.
    const QEvent::Type type = event->type();
    if (type == QEvent::ApplicationStateChange ||
        ((type == QEvent::WindowDeactivate || type == QEvent::WindowActivate) && watched == this)) {
        // A key let go while another window had the keyboard may never be seen released here.
        heldKeys_.clear();
        return false;
    }
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !watched->isWindowType()) {
        return false;
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    // The physical key where the platform names it; X11 does not flag every repeat, so a key
    // that goes down again before it came up is the keyboard's repeat as well.
    const int physical =
        key->nativeScanCode() != 0 ? static_cast<int>(key->nativeScanCode()) : key->key();
    if (type == QEvent::KeyRelease) {
        if (!key->isAutoRepeat()) {
            heldKeys_[physical] = {key->timestamp(), true};
        }
        return false;
    }
    const Qt::KeyboardModifiers mods = key->modifiers();
    KeyStroke stroke;
    stroke.Code = KeyEventCode(*key);
    // The X server repeats a held key as a release and a key-down at the same moment, or as
    // key-downs alone. A key-down within the repeat delay of the key's previous key-down with
    // no release between, or in the millisecond of its release, is such a repeat; a later one
    // is a new press even if its release was lost.
    constexpr quint64 kRepeatGapMs = 2000;
    bool repeat = key->isAutoRepeat();
    if (const auto last = heldKeys_.find(physical); last != heldKeys_.end()) {
        const quint64 gap = key->timestamp() - last->second.time;
        repeat = repeat || (last->second.released ? gap <= 1 : gap <= kRepeatGapMs);
    }
    heldKeys_[physical] = {key->timestamp(), false};
    stroke.AutoRepeat = repeat;
    stroke.Shift = mods.testFlag(Qt::ShiftModifier);
    stroke.Command = (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
    const bool warningUp = warningForm_ != nullptr && warningForm_->isVisible();
    if (stroke.Code == 0 && !warningUp) {
        return false;
    }
    // A key typed into another window is that window's. So is one that reaches this window
    // while a modal window blocks it: Qt drops it after this filter, and so does the hook.
    const bool ownKey = watched == static_cast<QObject*>(windowHandle()) &&
                        QApplication::activeModalWidget() == nullptr;
    return HookKey(stroke, ownKey);
}

bool TMainForm::KeyDown(int keyCode) {
    return HookKey(KeyStroke{.Code = keyCode}, true);
}

bool TMainForm::KeyDown(const KeyStroke& key) {
    return HookKey(key, true);
}

bool TMainForm::HookKey(const KeyStroke& key, bool ownKey) {
    const bool active = ownKey && isActiveWindow();
    // An operation on the devices' memory processes window events while it runs; no key may
    // start anything on the bus meanwhile (its window's own cancel button still works).
    if (memory_->Running()) {
        if (warningForm_ != nullptr && warningForm_->isVisible()) {
            warningForm_->CloseWarning();
        }
        return active;
    }
    WindowKeyInputs in;
    in.WarningVisible = warningForm_ != nullptr && warningForm_->isVisible();
    in.MainWindowActive = active;
    in.SelectedCue = cues_->SelectedCue();
    in.TestModeAllEnabled = testPanel_->TestModeBtn->isEnabled();
    in.LaunchModeAllEnabled = testPanel_->LaunchModeBtn->isEnabled();
    const KeyDecision decision = show_->HandleKey(
        key, in, [this](const KeyAction& action) { PerformWindowCommand(action); });
    return decision.Consumed;
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
            ChannelsExportDialog::Run(this, wiring_->Controls());
            break;
        case KeyCommand::SaveScript:
            RunMemoryOperation(MemoryCommand::Write);
            break;
        case KeyCommand::CheckScript:
            RunMemoryOperation(MemoryCommand::Verify);
            break;
        default:
            break;
    }
    RefreshButtons();
}

}  // namespace kv
