#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "devices/MemoryResults.h"
#include "devices/TScriptCue.h"

namespace kv {

class ConsoleDialogs;
class ConsoleWiring;
class TProjectList;
class TRemoteControl;

// The six operations on the script in the devices' memory, below the progress window: the
// checks and confirmations before, the polling stopped around, the progress reports, the result
// logged and shown, and the black-box file. It asks and shows through the dialogs it is given;
// the progress window's cancel button comes back to Cancel(). Main thread only.
//
// Progress reports process pending events, so the main window's commands keep arriving while an
// operation runs; a second memory operation asked for meanwhile is refused (Busy), and so are
// searches and channel tests (ConsoleWiring::BusHeld).
// The checks before a script goes to the devices: modules the script names that are not on the
// bus, and (writing only) modules whose cues their firmware may play wrongly. True to go on.
class TransferChecks {
public:
    virtual bool CheckModulesPresent() = 0;
    virtual bool CheckCueOrder() = 0;

protected:
    ~TransferChecks() = default;
};

class MemoryOperations {
public:
    // How a command ended.
    enum class Status {
        Done,         // the operation ran; code holds its result (shown and logged)
        Busy,         // another memory operation, a search, a channel test or the debug test
                      // holds the bus: nothing done
        Declined,     // the operator declined a check or the confirmation: nothing sent,
                      // logged as the operation's title and "Операция прервана."
        CuesRefused,  // the script holds cues the bus cannot carry: listed, nothing sent
        NoRemote,     // no radio remote control registered at address 0: nothing sent
        FileError,    // black box read, but its file could not be written (reported)
        NoScript,     // the current slot has no cue: the remote's script is not erased for it
    };
    struct Outcome {
        Status status = Status::Done;
        int32_t code = 0;
    };

    MemoryOperations(ConsoleWiring& wiring, ConsoleDialogs& dialogs);
    ~MemoryOperations();
    MemoryOperations(const MemoryOperations&) = delete;
    MemoryOperations& operator=(const MemoryOperations&) = delete;

    // The main window's commands.
    Outcome WriteModules(const TProjectList& project);   // SaveBtnClick, F8
    Outcome VerifyModules(const TProjectList& project);  // CheckBtnClick, F9
    Outcome EraseModules();                              // ClearMemActionExecute, Ctrl+F8
    Outcome ReadBlackBox();                              // ReadMemLogActionExecute, Ctrl+F9
    Outcome WriteRemote(const TProjectList& project);    // SavePDUActionExecute, Shift+F8
    Outcome VerifyRemote(const TProjectList& project);   // CheckPDUActionExecute, Shift+F9

    // The window's cancel button (Esc, Enter): the running operation stops at its next report.
    void Cancel();
    bool Running() const { return running_; }
    MemoryOperation Current() const { return current_; }
    // The list index of the device the last operation's reports reached (-1: none): the ones
    // before it are done, the ones after it untouched.
    int Reached() const { return reached_; }
    // The last black-box reading, kept until the next one: a file that could not be written
    // leaves it to the caller to keep elsewhere.
    const QByteArray& BlackBoxRecords() const { return blackBox_; }

    // The progress handler of the bus manager and the remote control while an operation runs
    // (percent, device index, out cancel, channel, address); public for the tests.
    void ReportProgress(int percent, int index, bool& cancel, int item, int address);
    // The status label of a report: empty for index -1, "Пульт: 5" for channel -1, otherwise
    // "Пульт: 5, канал: 3".
    static QString StatusText(int index, int item, int address);

    // The questions, boxes and the progress window go to dialogs.
    void SetDialogs(ConsoleDialogs& dialogs) { dialogs_ = &dialogs; }
    // The present-warning checks before a transfer (the show control's); none: they pass.
    void SetChecks(TransferChecks* checks) { checks_ = checks; }

private:
    class Hold;
    template <typename Run>
    Outcome Frame(MemoryOperation operation, TRemoteControl* remote, Run run);
    Outcome Declined(MemoryOperation operation);
    bool CuesCarried(MemoryOperation operation, const std::vector<TScriptCue>& cues);
    // The cues the modules on the bus cannot hold as written (a channel past a module's count,
    // a channel twice on a per-channel memory, a cue of the wrong kind): listed and logged, and
    // the write refused, since it would report success for a script the verify then rejects.
    bool CuesHeld(MemoryOperation operation, const std::vector<TScriptCue>& cues);
    TRemoteControl* RegisteredRemote();
    void ShowResult(MemoryOperation operation, int32_t code);
    void Box(const QString& caption, const QString& text);

    ConsoleWiring& wiring_;
    ConsoleDialogs* dialogs_;
    TransferChecks* checks_ = nullptr;
    bool running_ = false;
    bool cancel_ = false;
    int reached_ = -1;
    QByteArray blackBox_;
    MemoryOperation current_ = MemoryOperation::WriteModules;
};

}  // namespace kv
