// The script in the devices' memory and the black box: the console's memory window without the
// window. Progress goes to the terminal as a bar, Ctrl+C (or SIGTERM, SIGHUP) cancels as the
// window's cancel button does, and the result is logged and printed in the console's words.
#include <poll.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include "CtlCommand.h"
#include "CtlContext.h"
#include "CtlInterrupt.h"
#include "console/ConsoleDialogs.h"
#include "console/ConsoleSession.h"
#include "console/MemoryOperations.h"
#include "core/EventLog.h"
#include "devices/BlackBoxFile.h"
#include "devices/CueLimits.h"
#include "devices/MemoryResults.h"
#include "devices/ScriptTransfer.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "devices/TRemoteControl.h"
#include "i18n/Localizer.h"
#include "shows/TProjectList.h"

namespace kv {

namespace {

// The result the console's box would show: on stdout, and a failure on stderr too, where a
// script looks for it (the log line is the memory operation's). Exit status 0 only for success.
int Report(CtlContext& ctx, int32_t code) {
    ctx.Line(MemoryResultMessage(code));
    if (code != 0) {
        ctx.Warn(MemoryResultMessage(code));
    }
    return code == 0 ? 0 : 1;
}

bool LoadScript(CtlContext& ctx, const QString& path, TProjectList& project,
                std::vector<TScriptCue>& cues, int& status) {
    if (const ScriptLoadError error = project.LoadFromFile(path)) {
        status = ctx.FailPlain(error.message);
        return false;
    }
    cues.clear();
    for (int i = 0; i < project.Count(); ++i) {
        cues.push_back(project.Cue(i));
    }
    return true;
}

// Cues a cue record cannot carry are refused with their list before anything is sent, the
// search included: exit status 2, as for every refused command that sends nothing.
bool CuesCarried(CtlContext& ctx, MemoryOperation operation, const std::vector<TScriptCue>& cues,
                 CueTarget target, int& status) {
    const auto refused = CuesTheBusCannotCarry(cues, target);
    if (refused.empty()) {
        return true;
    }
    const QStringList lines = UncarriedCueLines(refused);
    WriteLog(MemoryResultLogLine(operation, ResultCueNotCarried), 1);
    for (const QString& line : lines) {
        WriteLog(line, 1);
    }
    ctx.Info(UncarriedCuesMessage());
    for (const QString& line : lines) {
        ctx.Info(QStringLiteral("  ") + line);
    }
    status = ctx.Usage(QStringLiteral("refused: nothing sent; correct the script"));
    return false;
}

// The modules the script names that the search did not find; the console asks before going
// on, here --force goes on.
bool ModulesPresent(CtlContext& ctx, const std::vector<TScriptCue>& cues, bool force) {
    QStringList missing;
    for (const TScriptCue& c : cues) {
        const QString a = QString::number(c.Module);
        if (ctx.Controls().FindByAddress(c.Module) == nullptr && !missing.contains(a)) {
            missing << a;
        }
    }
    if (missing.isEmpty()) {
        return true;
    }
    ctx.Info(Message(Msg::ScriptHasMissingModules) + QLatin1Char(' ') +
             missing.join(QStringLiteral(", ")));
    if (force) {
        return true;
    }
    ctx.Info(QStringLiteral("nothing done; --force goes on without them"));
    return false;
}

// Waits for Enter, the headless form of the console's OK box; --yes answers it at once.
void Confirm(CtlContext& ctx, const QString& text, bool yes) {
    ctx.Info(text);
    if (yes) {
        return;
    }
    // Waits in steps, so that a stop signal ends the wait too (the transfer then cancels at
    // its first step); a read blocked on the terminal would outlast it.
    for (;;) {
        if (CtlInterrupt::Requested()) {
            return;
        }
        pollfd p{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&p, 1, 100);
        if (ready > 0) {
            char c = 0;
            while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n') {
            }
            return;
        }
        if (ready < 0 && errno != EINTR) {
            return;
        }
    }
}

// After a write or erase that stopped part-way (cancelled, or a module that failed): what each
// module holds now, on screen and in the log, so that nobody fires a show from a memory that
// holds half of it. reached is the list index of the module the operation was at.
void ReportWhatWasLeft(CtlContext& ctx, MemoryOperation operation,
                       const std::vector<TScriptCue>& cues, int reached) {
    TControls& controls = ctx.Controls();
    const bool write = operation == MemoryOperation::WriteModules;
    for (int i = 0; i < controls.Count(); ++i) {
        const TCommonControl* m = controls.ModuleAt(i);
        if (m == nullptr || !m->IsModule()) {
            continue;
        }
        const bool scripted = std::any_of(
            cues.begin(), cues.end(), [m](const TScriptCue& c) { return c.Module == m->Address; });
        QString state;
        if (i < reached) {
            state = !write     ? QStringLiteral("очищен")
                    : scripted ? QStringLiteral("записан")
                               : QStringLiteral("очищен (в сценарии его нет)");
        } else if (i == reached) {
            state = write ? QStringLiteral("записан частично: сценарий в памяти неполный")
                          : QStringLiteral("очищен частично");
        } else {
            state = QStringLiteral("не изменён: в памяти прежний сценарий");
        }
        const QString line = Message(Msg::ModuleLabel) + QLatin1Char(' ') +
                             QString::number(m->Address) + QStringLiteral(" - ") + state;
        WriteLog(line, 1);
        ctx.Warn(line);
    }
}

// The memory window and its boxes on the terminal: the progress as a bar on stderr ("[#####
// ]  42 %  Пульт: 5, канал: 3"), Ctrl+C (or SIGTERM, SIGHUP) as its cancel button, the
// confirmations answered by the command's flags, and the boxes printed. The result box prints
// nothing: the command prints the result itself.
class TerminalDialogs final : public ConsoleDialogs, public TransferChecks {
public:
    TerminalDialogs(CtlContext& ctx, ConsoleSession& session) : ctx_(ctx), session_(session) {}

    // The answers the command's flags give.
    bool yes = false;              // remote: the OK boxes go on without waiting for Enter
    bool force = false;            // memory: goes on without the modules that are missing
    std::vector<TScriptCue> cues;  // what the missing modules are looked for in
    QString blackBoxFile;          // the black box's file, named on the command line

    void BeginProgress(const QString& /*title*/) override {
        open_ = true;
        opening_ = true;
        drawn_ = false;
    }
    void Progress(const QString& status, int percent) override {
        if (CtlInterrupt::Requested()) {
            session_.CancelOperation();
        }
        // The window shows itself empty first; the terminal draws from the first report on.
        if (std::exchange(opening_, false) && status.isEmpty() && percent == 0) {
            return;
        }
        constexpr int kWidth = 30;
        const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
        const QString line =
            QStringLiteral("\r[%1%2] %3 %  %4")
                .arg(QString(filled, QLatin1Char('#')), QString(kWidth - filled, QLatin1Char(' ')))
                .arg(percent, 3)
                .arg(status, -32);
        const QByteArray bytes = line.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fflush(stderr);
        drawn_ = true;
        // The bus worker hands over what it received, as the window's event loop lets it.
        ctx_.Pump();
    }
    void EndProgress() override { EndLine(); }

    // The erase's question: the command is the operator's answer.
    bool Confirm(const QString& /*caption*/, const QString& /*question*/) override { return true; }
    // The modules left on during a remote write: said, not asked.
    bool ConfirmOkCancel(const QString& /*caption*/, const QString& text) override {
        ctx_.Info(text.section(QLatin1Char('\n'), 0, 0));
        return true;
    }
    void ShowRefusedCues(const QString& message, const QStringList& lines) override {
        ctx_.Warn(message);
        for (const QString& line : lines) {
            ctx_.Warn(QStringLiteral("  ") + line);
        }
    }
    void ShowMessage(const QString& caption, const QString& text) override {
        if (caption == Message(Msg::MessageTitle)) {
            EndLine();
            return;  // the result: printed by the command
        }
        if (caption == Message(Msg::Error)) {
            EndLine();
            ctx_.Warn(text);
            return;
        }
        // The remote's hand-operated steps: the OK box, below the bar once there is one.
        if (drawn_) {
            EndLine();
        }
        ::kv::Confirm(ctx_, text, yes);
    }
    QString AskSaveFile(const QString& /*offered*/) override { return blackBoxFile; }
    // The file named on the command line is replaced.
    bool ConfirmOverwrite(const QString& /*file*/) override { return true; }

    bool CheckModulesPresent() override { return ModulesPresent(ctx_, cues, force); }
    bool CheckCueOrder() override { return true; }

private:
    void EndLine() {
        if (std::exchange(open_, false)) {
            std::fputc('\n', stderr);
            std::fflush(stderr);
        }
    }

    CtlContext& ctx_;
    ConsoleSession& session_;
    bool open_ = false;     // the bar's line is not ended yet
    bool opening_ = false;  // the window's empty first report is still to come
    bool drawn_ = false;
};

// The session's memory operations with the terminal's dialogs for one command.
class TerminalMemory {
public:
    TerminalMemory(CtlContext& ctx, ConsoleSession& session)
        : dialogs(ctx, session), memory_(session.Memory()) {
        memory_.SetDialogs(dialogs);
        memory_.SetChecks(&dialogs);
    }
    ~TerminalMemory() {
        memory_.SetChecks(nullptr);
        memory_.SetDialogs(NoDialogs());
    }
    TerminalMemory(const TerminalMemory&) = delete;
    TerminalMemory& operator=(const TerminalMemory&) = delete;

    MemoryOperations& operator*() const { return memory_; }
    MemoryOperations* operator->() const { return &memory_; }

    TerminalDialogs dialogs;

private:
    MemoryOperations& memory_;
};

// A memory operation that did not run: what the terminal was told decides the status. Cues
// refused are a refused command (2); anything else called off fails (1).
int NotRun(CtlContext& ctx, MemoryOperations::Status status, const QString& refusal) {
    switch (status) {
        case MemoryOperations::Status::CuesRefused:
            return ctx.Usage(refusal);
        case MemoryOperations::Status::Busy:
            return ctx.FailPlain(QStringLiteral("the bus is busy: nothing done"));
        case MemoryOperations::Status::NoScript:
            return ctx.Usage(QStringLiteral("refused: the script has no cue; nothing sent"));
        default:
            return 1;
    }
}

int RunMemory(CtlContext& ctx, const QStringList& given) {
    QStringList args = given;
    const bool force = args.removeAll(QStringLiteral("--force")) > 0;
    const QString action = args.value(0);
    const bool needsScript = action == QLatin1String("write") || action == QLatin1String("verify");
    if (!(needsScript && args.size() == 2) &&
        !(action == QLatin1String("erase") && args.size() == 1)) {
        return ctx.Usage(QStringLiteral("memory write|verify SCRIPT [--force] | memory erase"));
    }
    const MemoryOperation operation =
        action == QLatin1String("write")    ? MemoryOperation::WriteModules
        : action == QLatin1String("verify") ? MemoryOperation::VerifyModules
                                            : MemoryOperation::EraseModules;
    TProjectList project;
    std::vector<TScriptCue> cues;
    int status = 0;
    if (needsScript && !LoadScript(ctx, args[1], project, cues, status)) {
        return status;
    }
    if (needsScript && !CuesCarried(ctx, operation, cues, CueTarget::Modules, status)) {
        return status;
    }
    QList<TCommonDevice*> devices;
    int failure = 0;
    if (!ctx.Resolve({}, devices, failure)) {
        return 1;
    }

    // The console's checks come from the operation: cues the modules found cannot hold (a write
    // only: a verify of such a script reports its mismatch, which is the truth), then the
    // modules the script names that the search did not find.
    TerminalMemory memory(ctx, *ctx.Session());
    memory.dialogs.force = force;
    memory.dialogs.cues = cues;
    CtlInterrupt interrupt;
    const MemoryOperations::Outcome outcome =
        operation == MemoryOperation::WriteModules    ? memory->WriteModules(project)
        : operation == MemoryOperation::VerifyModules ? memory->VerifyModules(project)
                                                      : memory->EraseModules();
    if (outcome.status != MemoryOperations::Status::Done) {
        return NotRun(ctx, outcome.status,
                      QStringLiteral("refused: nothing written; correct the script"));
    }
    const int result = Report(ctx, outcome.code);
    if (outcome.code != 0 && outcome.code != ResultCueNotCarried &&
        operation != MemoryOperation::VerifyModules) {
        ReportWhatWasLeft(ctx, operation, cues, memory->Reached());
    }
    return result;
}

int RunBlackBox(CtlContext& ctx, const QStringList& args) {
    if (args.size() != 1) {
        return ctx.Usage(QStringLiteral("blackbox OUT"));
    }
    // Before the minute of reading, not after it: a reading that cannot be kept is not worth it.
    QString cannot;
    if (!CanSaveBlackBoxFile(args[0], cannot)) {
        return ctx.FailPlain(BlackBoxFileName(args[0]) + QStringLiteral(": ") + cannot);
    }
    QList<TCommonDevice*> devices;
    int failure = 0;
    if (!ctx.Resolve({}, devices, failure)) {
        return 1;
    }
    // Now that the modules are known, the room for their reading is too.
    if (!CanSaveBlackBoxFile(args[0], cannot, BlackBoxFileSize(ctx.Controls().ModuleCount()))) {
        return ctx.FailPlain(BlackBoxFileName(args[0]) + QStringLiteral(": ") + cannot);
    }
    TerminalMemory memory(ctx, *ctx.Session());
    memory.dialogs.blackBoxFile = args[0];
    MemoryOperations::Outcome outcome;
    {
        CtlInterrupt interrupt;
        outcome = memory->ReadBlackBox();
    }
    const QByteArray& records = memory->BlackBoxRecords();
    if (outcome.status == MemoryOperations::Status::FileError) {
        // The reading was good but it is not on disk (said by the operation): a minute of
        // reading is not thrown away, it goes to the temporary folder instead.
        const QString kept = QDir(QDir::tempPath())
                                 .filePath(QStringLiteral("kelvane-blackbox-%1.DAT")
                                               .arg(QDateTime::currentDateTime().toString(
                                                   QStringLiteral("yyyyMMdd-HHmmss"))));
        QString keptError;
        if (SaveBlackBoxFile(kept, records, keptError)) {
            WriteLog(MemoryOperationTitle(MemoryOperation::ReadBlackBox) + QLatin1Char(' ') + kept,
                     1);
            return ctx.FailPlain(QStringLiteral("the reading was kept in ") + kept);
        }
        return ctx.FailPlain(QStringLiteral("the reading could not be kept: ") + kept +
                             QStringLiteral(": ") + keptError);
    }
    if (outcome.status != MemoryOperations::Status::Done) {
        return NotRun(ctx, outcome.status, QString());
    }
    if (outcome.code == 0) {
        ctx.Info(
            QStringLiteral("%1: %2 bytes").arg(BlackBoxFileName(args[0])).arg(records.size() + 4));
    }
    return Report(ctx, outcome.code);
}

int RunRemote(CtlContext& ctx, const QStringList& given) {
    QStringList args = given;
    const bool yes = args.removeAll(QStringLiteral("--yes")) > 0;
    const QString action = args.value(0);
    const bool needsScript = action == QLatin1String("write") || action == QLatin1String("verify");
    if (!(needsScript && args.size() == 2) &&
        !(action == QLatin1String("erase") && args.size() == 1)) {
        return ctx.Usage(QStringLiteral("remote write|verify SCRIPT [--yes] | remote erase"));
    }
    const bool write = action == QLatin1String("write");
    TProjectList project;
    std::vector<TScriptCue> cues;
    int status = 0;
    if (needsScript && !LoadScript(ctx, args[1], project, cues, status)) {
        return status;
    }
    if (needsScript &&
        !CuesCarried(ctx, write ? MemoryOperation::WriteRemote : MemoryOperation::VerifyRemote,
                     cues, CueTarget::RemoteControl, status)) {
        return status;
    }
    // The remote operations need the remote control itself, at address 0.
    TCommonDevice* device = nullptr;
    const int found = ctx.Register(kRemoteAddress, device);
    auto* remote = device && device->Kind == KindRemoteControl
                       ? static_cast<TRemoteControl*>(device)
                       : nullptr;
    if (remote == nullptr) {
        return ctx.Fail(QStringLiteral("no radio remote control answers at address 0"),
                        found != 0 ? found : -1);
    }
    if (!needsScript) {
        // No window command erases the remote alone: logged as its own operation.
        const int32_t code = remote->EraseRemote();
        WriteLog(MemoryResultLogLine(MemoryOperation::EraseRemote, code), 1);
        return Report(ctx, code);
    }
    TerminalMemory memory(ctx, *ctx.Session());
    memory.dialogs.yes = yes;
    CtlInterrupt interrupt;
    const MemoryOperations::Outcome outcome =
        write ? memory->WriteRemote(project) : memory->VerifyRemote(project);
    if (outcome.status != MemoryOperations::Status::Done) {
        return NotRun(ctx, outcome.status,
                      QStringLiteral("refused: nothing sent; correct the script"));
    }
    return Report(ctx, outcome.code);
}

const CtlRegistrar kMemoryCommands{
    {QStringLiteral("memory"), QStringLiteral("write|verify SCRIPT [--force] | erase"),
     QStringLiteral("the script in the modules' memory (after a search)"), RunMemory},
    {QStringLiteral("blackbox"), QStringLiteral("OUT"),
     QStringLiteral("read the black box of every module into OUT (.DAT appended)"), RunBlackBox},
    {QStringLiteral("remote"), QStringLiteral("write|verify SCRIPT [--yes] | erase"),
     QStringLiteral("the script in the radio remote control"), RunRemote},
};

}  // namespace

}  // namespace kv
