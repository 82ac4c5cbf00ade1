#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "console/AutonomousScriptCheck.h"
#include "console/ConsoleDialogs.h"

namespace kv {

class ConsoleWiring;
class TProjectList;

// What the console does before it arms in autonomous control (F1, which Ctrl+F5 needs first):
// reads the modules' scripts back (with the progress window and its cancel), and arms only on
// a match. On a difference it lists the modules and cues and offers the write; arming anyway
// takes an explicit answer to a question, and the log keeps the answer. Main thread only.
class AutonomousArmCheck {
public:
    using Choice = ScriptDiffChoice;

    explicit AutonomousArmCheck(ConsoleWiring& wiring) : wiring_(wiring) {}

    // True to arm. The bus is held (no search, test or poll) while the modules are read.
    bool Run(const TProjectList& script);
    // The progress window's cancel: the read-back stops at its next report.
    void Cancel() { cancel_ = true; }
    const ScriptCheckResult& LastResult() const { return last_; }

    // The questions and the progress window go to dialogs (unset: nobody, nothing arms).
    void SetDialogs(ConsoleDialogs& dialogs) { dialogs_ = &dialogs; }
    // The write (F8) of the script, as the memory command does it; true when it succeeded.
    std::function<bool()> WriteScript;

private:
    bool Check(const TProjectList& script);

    ConsoleWiring& wiring_;
    ConsoleDialogs* dialogs_ = &NoDialogs();
    ScriptCheckResult last_;
    bool cancel_ = false;
    bool running_ = false;
};

}  // namespace kv
