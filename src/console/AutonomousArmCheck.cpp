#include "console/AutonomousArmCheck.h"

#include "console/ConsoleWiring.h"
#include "core/EventLog.h"
#include "devices/ScriptTransfer.h"
#include "devices/TControls.h"
#include "shows/TProjectList.h"

namespace kv {

namespace {

const QString kQuestion = QStringLiteral(
    "Модули хранят другой сценарий: в автономном режиме они сработают по нему. Взвести пульт?");

}  // namespace

bool AutonomousArmCheck::Check(const TProjectList& script) {
    TControls& controls = wiring_.Controls();
    cancel_ = false;
    const bool held = wiring_.BusHeld();
    wiring_.SetBusHeld(true);
    dialogs_->BeginProgress(QStringLiteral("Проверка сценария в модулях"));
    auto previous = controls.OnTransferProgress;
    controls.OnTransferProgress = [this](int percent, int, bool& cancel, int, int address) {
        dialogs_->Progress(QStringLiteral("Пульт: %1").arg(address), percent);
        cancel = cancel_;
    };
    last_ = CheckModuleScripts(controls, script);
    controls.OnTransferProgress = previous;
    wiring_.SetBusHeld(held);
    dialogs_->EndProgress();
    return last_.Matches();
}

bool AutonomousArmCheck::Run(const TProjectList& script) {
    // A progress report lets the window's keys in: a second F1 meanwhile arms nothing.
    if (running_) {
        return false;
    }
    running_ = true;
    bool arm = Check(script);
    while (!arm) {
        if (last_.Result == ResultCancelled) {
            WriteLog(QStringLiteral("Проверка сценария в модулях прервана: пульт не взведён"), 1);
            break;
        }
        const QStringList lines = ScriptCheckLines(last_, script);
        WriteLog(QStringLiteral("Сценарий в модулях отличается от проекта: ") +
                     lines.join(QStringLiteral("; ")),
                 1);
        const Choice choice = dialogs_->AskAboutDifferences(lines);
        if (choice == Choice::Write && writer_ != nullptr) {
            // Written, the modules are read back again before anything arms.
            if (!writer_->WriteScript(script)) {
                break;
            }
            arm = Check(script);
            continue;
        }
        if (choice == Choice::ArmAnyway) {
            const bool yes = dialogs_->ConfirmArmAnyway(kQuestion);
            WriteLog(kQuestion + (yes ? QStringLiteral(" - Да") : QStringLiteral(" - Нет")), 1);
            arm = yes;
        }
        break;
    }
    running_ = false;
    return arm;
}

}  // namespace kv
