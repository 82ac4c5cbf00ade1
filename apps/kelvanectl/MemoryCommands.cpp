// The script in the devices' memory and the black box: the console's memory window without the
// window. Progress goes to the terminal as a bar, Ctrl+C (or SIGTERM, SIGHUP) cancels as the
// window's cancel button does, and the result is logged and printed in the console's words.
#include <poll.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include "CtlCommand.h"
#include "CtlContext.h"
#include "CtlInterrupt.h"
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

// The progress handler of the memory window, drawn on stderr: "[#####     ]  42 %  Пульт: 5,
// канал: 3". It also lets the bus worker hand over what it received, as the window does.
TransferProgressEvent ProgressBar(CtlContext& ctx) {
    return [&ctx](int percent, int index, bool& cancel, int item, int address) {
        cancel = CtlInterrupt::Requested();
        constexpr int kWidth = 30;
        const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
        QString status;
        if (index != -1) {
            status = Message(Msg::ModuleLabel) + QLatin1Char(' ') + QString::number(address);
            if (item != -1)
                status +=
                    Message(Msg::ModuleChannelSuffix) + QLatin1Char(' ') + QString::number(item);
        }
        const QString line =
            QStringLiteral("\r[%1%2] %3 %  %4")
                .arg(QString(filled, QLatin1Char('#')), QString(kWidth - filled, QLatin1Char(' ')))
                .arg(percent, 3)
                .arg(status, -32);
        const QByteArray bytes = line.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fflush(stderr);
        ctx.Pump();
    };
}

void EndProgress() {
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// The end of every operation: the log line (title, blank, result text) and the message the
// console's box would show. Exit status 0 only for success.
int Report(CtlContext& ctx, MemoryOperation operation, int32_t code) {
    WriteLog(MemoryResultLogLine(operation, code), 1);
    ctx.Line(MemoryResultMessage(code));
    if (code != 0) {
        // The failure on stderr too, where a script looks for it.
        ctx.Warn(MemoryResultMessage(code));
    }
    return code == 0 ? 0 : 1;
}

bool LoadScript(CtlContext& ctx, const QString& path, std::vector<TScriptCue>& cues, int& status) {
    TProjectList project;
    if (const ScriptLoadError error = project.LoadFromFile(path)) {
        status = ctx.FailPlain(error.message);
        return false;
    }
    cues.clear();
    for (int i = 0; i < project.Count(); ++i)
        cues.push_back(project.Cue(i));
    return true;
}

// Cues a cue record cannot carry are refused with their list before anything is sent, the
// search included: exit status 2, as for every refused command that sends nothing.
bool CuesCarried(CtlContext& ctx, MemoryOperation operation, const std::vector<TScriptCue>& cues,
                 CueTarget target, int& status) {
    const auto refused = CuesTheBusCannotCarry(cues, target);
    if (refused.empty())
        return true;
    const QStringList lines = UncarriedCueLines(refused);
    WriteLog(MemoryResultLogLine(operation, ResultCueNotCarried), 1);
    for (const QString& line : lines)
        WriteLog(line, 1);
    ctx.Info(UncarriedCuesMessage());
    for (const QString& line : lines)
        ctx.Info(QStringLiteral("  ") + line);
    status = ctx.Usage(QStringLiteral("refused: nothing sent; correct the script"));
    return false;
}

// Cues the modules found cannot hold as written (a channel past a module's own count, a channel
// twice on the oldest firmware, a cue of the other kind): the console's check before writing.
// Written anyway, the write would report success and the verify a mismatch. Refused with the
// list, nothing written: exit status 2.
bool CuesHeld(CtlContext& ctx, const std::vector<TScriptCue>& cues, int& status) {
    const auto unheld = CuesTheModulesCannotHold(cues, ModuleMemoryShapes(ctx.Controls()));
    if (unheld.empty())
        return true;
    const QStringList lines = UnheldCueLines(unheld);
    WriteLog(MemoryOperationTitle(MemoryOperation::WriteModules) + QLatin1Char(' ') +
                 UnheldCuesMessage(),
             1);
    for (const QString& line : lines)
        WriteLog(line, 1);
    ctx.Warn(UnheldCuesMessage());
    for (const QString& line : lines)
        ctx.Warn(QStringLiteral("  ") + line);
    status = ctx.Usage(QStringLiteral("refused: nothing written; correct the script"));
    return false;
}

// The modules the script names that the search did not find; the console asks before going
// on, here --force goes on.
bool ModulesPresent(CtlContext& ctx, const std::vector<TScriptCue>& cues, bool force) {
    QStringList missing;
    for (const TScriptCue& c : cues) {
        const QString a = QString::number(c.Module);
        if (ctx.Controls().FindByAddress(c.Module) == nullptr && !missing.contains(a))
            missing << a;
    }
    if (missing.isEmpty())
        return true;
    ctx.Info(Message(Msg::ScriptHasMissingModules) + QLatin1Char(' ') +
             missing.join(QStringLiteral(", ")));
    if (force)
        return true;
    ctx.Info(QStringLiteral("nothing done; --force goes on without them"));
    return false;
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
        if (m == nullptr || !m->IsModule())
            continue;
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

// Waits for Enter, the headless form of the console's OK box; --yes answers it at once.
void Confirm(CtlContext& ctx, const QString& text, bool yes) {
    ctx.Info(text);
    if (yes)
        return;
    // Waits in steps, so that a stop signal ends the wait too (the transfer then cancels at
    // its first step); a read blocked on the terminal would outlast it.
    for (;;) {
        if (CtlInterrupt::Requested())
            return;
        pollfd p{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&p, 1, 100);
        if (ready > 0) {
            char c = 0;
            while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n') {
            }
            return;
        }
        if (ready < 0 && errno != EINTR)
            return;
    }
}

int RunMemory(CtlContext& ctx, const QStringList& given) {
    QStringList args = given;
    const bool force = args.removeAll(QStringLiteral("--force")) > 0;
    const QString action = args.value(0);
    const bool needsScript = action == QLatin1String("write") || action == QLatin1String("verify");
    if (!(needsScript && args.size() == 2) &&
        !(action == QLatin1String("erase") && args.size() == 1))
        return ctx.Usage(QStringLiteral("memory write|verify SCRIPT [--force] | memory erase"));
    std::vector<TScriptCue> cues;
    int status = 0;
    if (needsScript && !LoadScript(ctx, args[1], cues, status))
        return status;
    if (needsScript &&
        !CuesCarried(ctx,
                     action == QLatin1String("write") ? MemoryOperation::WriteModules
                                                      : MemoryOperation::VerifyModules,
                     cues, CueTarget::Modules, status))
        return status;
    QList<TCommonDevice*> devices;
    int failure = 0;
    if (!ctx.Resolve({}, devices, failure))
        return 1;
    // Only a write: a verify of such a script reports its mismatch, which is the truth.
    if (action == QLatin1String("write") && !CuesHeld(ctx, cues, status))
        return status;
    if (needsScript && !ModulesPresent(ctx, cues, force))
        return 1;

    TControls& controls = ctx.Controls();
    CtlInterrupt interrupt;
    // The module the operation was at when it ended: the ones before it are done, the ones
    // after it untouched.
    int reached = -1;
    controls.OnTransferProgress = [&reached, bar = ProgressBar(ctx)](
                                      int percent, int index, bool& cancel, int item, int address) {
        if (index >= 0)
            reached = index;
        bar(percent, index, cancel, item, address);
    };
    MemoryOperation operation = MemoryOperation::EraseModules;
    int32_t code = 0;
    if (action == QLatin1String("write")) {
        operation = MemoryOperation::WriteModules;
        code = controls.WriteScript(cues);
    } else if (action == QLatin1String("verify")) {
        operation = MemoryOperation::VerifyModules;
        code = controls.VerifyScript(cues);
    } else {
        code = controls.EraseScripts();
    }
    controls.OnTransferProgress = nullptr;
    EndProgress();
    const int result = Report(ctx, operation, code);
    if (code != 0 && code != ResultCueNotCarried && operation != MemoryOperation::VerifyModules)
        ReportWhatWasLeft(ctx, operation, cues, reached);
    return result;
}

int RunBlackBox(CtlContext& ctx, const QStringList& args) {
    if (args.size() != 1)
        return ctx.Usage(QStringLiteral("blackbox OUT"));
    // Before the minute of reading, not after it: a reading that cannot be kept is not worth it.
    QString cannot;
    if (!CanSaveBlackBoxFile(args[0], cannot))
        return ctx.FailPlain(BlackBoxFileName(args[0]) + QStringLiteral(": ") + cannot);
    QList<TCommonDevice*> devices;
    int failure = 0;
    if (!ctx.Resolve({}, devices, failure))
        return 1;
    TControls& controls = ctx.Controls();
    // Now that the modules are known, the room for their reading is too.
    if (!CanSaveBlackBoxFile(args[0], cannot, BlackBoxFileSize(controls.ModuleCount())))
        return ctx.FailPlain(BlackBoxFileName(args[0]) + QStringLiteral(": ") + cannot);
    QByteArray records;
    int32_t code = 0;
    {
        CtlInterrupt interrupt;
        controls.OnTransferProgress = ProgressBar(ctx);
        int size = 0;
        code = controls.ReadBlackBox(records, size);
        controls.OnTransferProgress = nullptr;
        EndProgress();
    }
    if (code == 0) {
        QString error, written;
        if (!SaveBlackBoxFile(args[0], records, error, &written)) {
            // The reading was good but it is not on disk: say so, never "saved".
            WriteLog(MemoryOperationTitle(MemoryOperation::ReadBlackBox) + QLatin1Char(' ') + error,
                     1);
            ctx.Warn(written + QStringLiteral(": ") + error);
            // A minute of reading is not thrown away: it goes to the temporary folder instead.
            const QString kept = QDir(QDir::tempPath())
                                     .filePath(QStringLiteral("kelvane-blackbox-%1.DAT")
                                                   .arg(QDateTime::currentDateTime().toString(
                                                       QStringLiteral("yyyyMMdd-HHmmss"))));
            QString keptError;
            if (SaveBlackBoxFile(kept, records, keptError)) {
                WriteLog(
                    MemoryOperationTitle(MemoryOperation::ReadBlackBox) + QLatin1Char(' ') + kept,
                    1);
                return ctx.FailPlain(QStringLiteral("the reading was kept in ") + kept);
            }
            return ctx.FailPlain(QStringLiteral("the reading could not be kept: ") + kept +
                                 QStringLiteral(": ") + keptError);
        }
        ctx.Info(QStringLiteral("%1: %2 bytes").arg(written).arg(records.size() + 4));
    }
    return Report(ctx, MemoryOperation::ReadBlackBox, code);
}

int RunRemote(CtlContext& ctx, const QStringList& given) {
    QStringList args = given;
    const bool yes = args.removeAll(QStringLiteral("--yes")) > 0;
    const QString action = args.value(0);
    const bool needsScript = action == QLatin1String("write") || action == QLatin1String("verify");
    if (!(needsScript && args.size() == 2) &&
        !(action == QLatin1String("erase") && args.size() == 1))
        return ctx.Usage(QStringLiteral("remote write|verify SCRIPT [--yes] | remote erase"));
    std::vector<TScriptCue> cues;
    int status = 0;
    if (needsScript && !LoadScript(ctx, args[1], cues, status))
        return status;
    if (needsScript &&
        !CuesCarried(ctx,
                     action == QLatin1String("write") ? MemoryOperation::WriteRemote
                                                      : MemoryOperation::VerifyRemote,
                     cues, CueTarget::RemoteControl, status))
        return status;
    // The remote operations need the remote control itself, at address 0.
    TCommonDevice* device = nullptr;
    const int found = ctx.Register(kRemoteAddress, device);
    auto* remote = device && device->Kind == KindRemoteControl
                       ? static_cast<TRemoteControl*>(device)
                       : nullptr;
    if (remote == nullptr)
        return ctx.Fail(QStringLiteral("no radio remote control answers at address 0"),
                        found != 0 ? found : -1);

    CtlInterrupt interrupt;
    remote->OnTransferProgress = ProgressBar(ctx);
    int32_t code = 0;
    MemoryOperation operation = MemoryOperation::WriteRemote;
    if (action == QLatin1String("write")) {
        if (ctx.Controls().ModuleCount() > 0)
            ctx.Info(Message(Msg::SwitchOffConnectedModules));
        const bool old = remote->Version < fw::RemoteErase;
        if (old)
            Confirm(ctx, Message(Msg::PutRemoteInWriteMode), yes);
        else
            remote->EraseRemote();  // its result is not looked at: the write tells
        code = remote->WriteRemoteScript(cues);
        EndProgress();
        if (code == 0) {
            if (old)
                Confirm(ctx, Message(Msg::TakeRemoteOutOfWriteMode), yes);
            remote->LastResult = remote->Ping();
        }
    } else if (action == QLatin1String("verify")) {
        operation = MemoryOperation::VerifyRemote;
        code = remote->VerifyRemoteScript(cues);
        EndProgress();
    } else {
        operation = MemoryOperation::EraseRemote;
        code = remote->EraseRemote();
    }
    remote->OnTransferProgress = nullptr;
    return Report(ctx, operation, code);
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
