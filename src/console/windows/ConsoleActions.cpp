#include "console/windows/ConsoleActions.h"

#include <QAction>
#include <QWidget>
#include <functional>

#include "console/ConsoleSession.h"
#include "console/DeviceMaintenance.h"
#include "console/ShowControl.h"

namespace kv {

ConsoleActions::ConsoleActions(QWidget& window, ConsoleSession& session)
    : QObject(&window), window_(window), session_(session) {
    ShowControl& show = session.Show();
    DeviceMaintenance& maintenance = session.Maintenance();
    const auto memory = [&session](MemoryCommand command) {
        return [&session, command] { session.RunMemoryOperation(command); };
    };
    struct Entry {
        const char* name;
        const char* text;
        QKeyCombination key;
        std::function<void()> run;
    };
    const Entry entries[] = {
        {"ControlAction", "Режим управления", Qt::SHIFT | Qt::Key_F1,
         [&show] { show.ToggleControlMode(); }},
        {"ModeAction", "Режим работы", Qt::CTRL | Qt::Key_F1, [&show] { show.CycleWorkMode(); }},
        // Takes Ctrl+F10 while enabled and does nothing, so that the key never reaches the hook.
        {"ColorAction", "Цвет", Qt::CTRL | Qt::Key_F10, [] {}},
        {"DebugAction", "Отладка", Qt::CTRL | Qt::ALT | Qt::Key_D,
         [this] { emit DebugRequested(); }},
        // Ctrl+F5 must never fall through to the hook as F5, which would start the show at once.
        {"ExtStartAction", "Внешний запуск", Qt::CTRL | Qt::Key_F5,
         [this] { emit ExternalStartRequested(); }},
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
                 emit ExitRequested();
             }
         }},
    };
    for (const Entry& e : entries) {
        auto* action = new QAction(QString::fromUtf8(e.text), &window);
        action->setObjectName(QString::fromLatin1(e.name));
        action->setShortcut(QKeySequence(e.key));
        // Matched wherever the focus is inside the console, before the key hook sees the key.
        action->setShortcutContext(Qt::ApplicationShortcut);
        connect(action, &QAction::triggered, this, e.run);
        window.addAction(action);
    }
    Refresh();
}

QAction* ConsoleActions::Find(const QString& name) const {
    for (QAction* action : window_.actions()) {
        if (action->objectName() == name) {
            return action;
        }
    }
    return nullptr;
}

void ConsoleActions::Refresh() {
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
        if (QAction* action = Find(QString::fromLatin1(name))) {
            action->setEnabled(enabled);
        }
    }
}

}  // namespace kv
