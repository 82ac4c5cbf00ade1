#pragma once

#include <QString>
#include <QStringList>

#include "console/AutonomousScriptCheck.h"
#include "console/ConsoleDialogs.h"

namespace kv {

class ConsoleWiring;
class TProjectList;

// What the console does before it arms in autonomous control (F1, which Ctrl+F5 needs first):
// reads the modules' scripts back (with the progress window and its cancel), and arms only on
// a match. On a difference it lists the modules and cues and offers the write; arming anyway
// takes an explicit answer to a question, and the log keeps the answer. Main thread only.
// The write (F8) of a script into the modules; true when it succeeded.
class ScriptWriter {
public:
    virtual bool WriteScript(const TProjectList& script) = 0;

protected:
    ~ScriptWriter() = default;
};

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
    // The write (F8) the operator may choose, as the memory command does it; none: no write.
    void SetWriter(ScriptWriter* writer) { writer_ = writer; }

private:
    bool Check(const TProjectList& script);

    ConsoleWiring& wiring_;
    ConsoleDialogs* dialogs_ = &NoDialogs();
    ScriptWriter* writer_ = nullptr;
    ScriptCheckResult last_;
    bool cancel_ = false;
    bool running_ = false;
};

}  // namespace kv
