#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

#include "devices/MemoryResults.h"
#include "devices/TScriptCue.h"

namespace kv {

class ConsoleWiring;
class TProjectList;
class TRemoteControl;

// The six operations on the script in the devices' memory, below the progress window: the
// checks and confirmations before, the polling stopped around, the progress reports, the result
// logged and shown, and the black-box file. The window sets the hooks, draws what they report
// and forwards its cancel button to Cancel(). Main thread only.
//
// Progress reports process pending events, so the main window's commands keep arriving while an
// operation runs; a second memory operation asked for meanwhile is refused (Busy), and so are
// searches and channel tests (ConsoleWiring::BusHeld).
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

    explicit MemoryOperations(ConsoleWiring& wiring);
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

    // The progress handler of the bus manager and the remote control while an operation runs
    // (percent, device index, out cancel, channel, address); public for the tests.
    void ReportProgress(int percent, int index, bool& cancel, int item, int address);
    // The status label of a report: empty for index -1, "Пульт: 5" for channel -1, otherwise
    // "Пульт: 5, канал: 3".
    static QString StatusText(int index, int item, int address);

    // Hooks the window sets. A missing question hook answers "no" and a missing check hook
    // passes; the others are simply not called.
    // Show the progress window with its title, then each report; close it at the end.
    std::function<void(const QString& title)> OnBegin;
    std::function<void(const QString& status, int percent)> OnProgress;
    std::function<void()> OnEnd;
    // A modal box with an OK button (results under "Сообщение", the remote's write-mode
    // prompts under "Подтверждение", errors under "Ошибка").
    std::function<void(const QString& caption, const QString& text)> ShowMessage;
    // A Yes/No box; true on Yes.
    std::function<bool(const QString& caption, const QString& question)> Confirm;
    // A warning whose only way on is OK; Cancel, Esc and closing the box send nothing. Unset
    // means cancelled.
    std::function<bool(const QString& caption, const QString& text)> ConfirmOkCancel;
    // Whether an existing file may be replaced: asked about the name really written (".DAT"
    // appended). Unset means no.
    std::function<bool(const QString& file)> ConfirmOverwrite;
    // The save dialog ("Файлы данных|*.dat") with the name offered; returns the chosen name,
    // empty when the operator cancelled. The overwrite question is ConfirmOverwrite's: the
    // dialog would ask about the name typed, not the one written.
    std::function<QString(const QString& offered)> AskSaveFile;
    // The show control's present-warning checks (missing modules; cue order, before writing
    // only); true to go on.
    std::function<bool()> CheckModulesPresent;
    std::function<bool()> CheckCueOrder;
    // The present-warning window listing the cues the bus cannot carry (message and one line
    // per cue). Whatever the operator presses there, nothing is written.
    std::function<void(const QString& message, const QStringList& lines)> ShowRefusedCues;

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
    bool running_ = false;
    bool cancel_ = false;
    MemoryOperation current_ = MemoryOperation::WriteModules;
};

}  // namespace kv
