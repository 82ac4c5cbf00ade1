#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "console/AutonomousScriptCheck.h"

namespace kv {

class ConsoleWiring;
class TProjectList;

// What the console does before it arms in autonomous control (F1, which Ctrl+F5 needs first):
// reads the modules' scripts back (with the progress window and its cancel), and arms only on
// a match. On a difference it lists the modules and cues and offers the write; arming anyway
// takes an explicit answer to a question, and the log keeps the answer. Main thread only.
class AutonomousArmCheck {
public:
    enum class Choice { Cancel, Write, ArmAnyway };

    explicit AutonomousArmCheck(ConsoleWiring& wiring) : wiring_(wiring) {}

    // True to arm. The bus is held (no search, test or poll) while the modules are read.
    bool Run(const TProjectList& script);
    // The progress window's cancel: the read-back stops at its next report.
    void Cancel() { cancel_ = true; }
    const ScriptCheckResult& LastResult() const { return last_; }

    // Hooks the window sets. Unset questions answer Cancel / no: nothing arms by default.
    std::function<void(const QString& title)> OnBegin;
    std::function<void(const QString& status, int percent)> OnProgress;
    std::function<void()> OnEnd;
    // The differences, one line each, with the write and arm-anyway choices.
    std::function<Choice(const QStringList& lines)> AskAboutDifferences;
    // "Arm although the modules hold another script?" true on Yes.
    std::function<bool(const QString& question)> ConfirmArmAnyway;
    // The write (F8) of the script, as the memory command does it; true when it succeeded.
    std::function<bool()> WriteScript;

private:
    bool Check(const TProjectList& script);

    ConsoleWiring& wiring_;
    ScriptCheckResult last_;
    bool cancel_ = false;
    bool running_ = false;
};

}  // namespace kv
