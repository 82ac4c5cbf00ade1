#include "console/MemoryOperations.h"

#include "console/ConsoleDialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <utility>

#include "console/ConsoleWiring.h"
#include "core/EventLog.h"
#include "devices/BlackBoxFile.h"
#include "devices/CueLimits.h"
#include "devices/ScriptTransfer.h"
#include "devices/TControls.h"
#include "devices/TRemoteControl.h"
#include "i18n/Localizer.h"
#include "shows/TProjectList.h"

namespace kv {

namespace {

std::vector<TScriptCue> CuesOf(const TProjectList& project) {
    std::vector<TScriptCue> cues;
    cues.reserve(static_cast<size_t>(project.Count()));
    for (int i = 0; i < project.Count(); ++i) {
        cues.push_back(project.Cue(i));
    }
    return cues;
}

}  // namespace

// The bus held for one command, from its first question to its last box: the idle timer is
// stopped, and neither another memory operation nor a search or channel test can start inside
// it. Polling resumes when the command ends, whatever its outcome.
class MemoryOperations::Hold {
public:
    explicit Hold(MemoryOperations& owner) : owner_(owner) {
        owner_.running_ = true;
        owner_.wiring_.SetBusHeld(true);
        owner_.wiring_.IdleTimer().stop();
    }
    ~Hold() {
        owner_.running_ = false;
        owner_.wiring_.SetBusHeld(false);
        owner_.wiring_.ResumePolling();
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

    // Whether a command may start now.
    static bool Free(const MemoryOperations& owner) {
        const ConsoleWiring& w = owner.wiring_;
        return !owner.running_ && !w.BusHeld() && !w.Searching() && !w.Testing();
    }

private:
    MemoryOperations& owner_;
};

MemoryOperations::MemoryOperations(ConsoleWiring& wiring, ConsoleDialogs& dialogs)
    : wiring_(wiring), dialogs_(&dialogs) {}

MemoryOperations::~MemoryOperations() = default;

void MemoryOperations::Cancel() {
    if (running_) {
        cancel_ = true;
    }
}

QString MemoryOperations::StatusText(int index, int item, int address) {
    if (index == -1) {
        return QString();
    }
    QString text = kv::Message(kv::Msg::ModuleLabel) + QLatin1Char(' ') + QString::number(address);
    if (item != -1) {
        text +=
            kv::Message(kv::Msg::ModuleChannelSuffix) + QLatin1Char(' ') + QString::number(item);
    }
    return text;
}

void MemoryOperations::ReportProgress(int percent, int index, bool& cancel, int item, int address) {
    if (index >= 0) {
        reached_ = index;
    }
    dialogs_->Progress(StatusText(index, item, address), std::clamp(percent, 0, 100));
    // Redraws the window, lets the cancel button be pressed and hands over what the bus worker
    // received; the operator's other commands arrive here too (see Hold).
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents();
    }
    cancel = cancel || cancel_;
}

void MemoryOperations::Box(const QString& caption, const QString& text) {
    dialogs_->ShowMessage(caption, text);
}

void MemoryOperations::ShowResult(MemoryOperation operation, int32_t code) {
    WriteLog(MemoryResultLogLine(operation, code), 1);
    Box(kv::Message(kv::Msg::MessageTitle), MemoryResultMessage(code));
}

MemoryOperations::Outcome MemoryOperations::Declined(MemoryOperation operation) {
    // Nothing was sent; the line tells whoever reads the log later that the operator called the
    // command off, rather than leaving them to wonder what the modules hold.
    WriteLog(MemoryResultLogLine(operation, ResultCancelled), 1);
    return {Status::Declined, 0};
}

bool MemoryOperations::CuesCarried(MemoryOperation operation, const std::vector<TScriptCue>& cues) {
    const bool remote =
        operation == MemoryOperation::WriteRemote || operation == MemoryOperation::VerifyRemote;
    const auto refused =
        CuesTheBusCannotCarry(cues, remote ? CueTarget::RemoteControl : CueTarget::Modules);
    if (refused.empty()) {
        return true;
    }
    const QStringList lines = UncarriedCueLines(refused);
    WriteLog(MemoryResultLogLine(operation, ResultCueNotCarried), 1);
    for (const QString& line : lines) {
        WriteLog(line, 1);
    }
    dialogs_->ShowRefusedCues(UncarriedCuesMessage(), lines);
    return false;
}

bool MemoryOperations::CuesHeld(MemoryOperation operation, const std::vector<TScriptCue>& cues) {
    const auto unheld = CuesTheModulesCannotHold(cues, ModuleMemoryShapes(wiring_.Controls()));
    if (unheld.empty()) {
        return true;
    }
    const QStringList lines = UnheldCueLines(unheld);
    WriteLog(MemoryOperationTitle(operation) + QLatin1Char(' ') + UnheldCuesMessage(), 1);
    for (const QString& line : lines) {
        WriteLog(line, 1);
    }
    dialogs_->ShowRefusedCues(UnheldCuesMessage(), lines);
    return false;
}

TRemoteControl* MemoryOperations::RegisteredRemote() {
    TCommonDevice* d = wiring_.Controls().FindByAddress(kRemoteAddress);
    return d != nullptr && d->Kind == KindRemoteControl ? static_cast<TRemoteControl*>(d) : nullptr;
}

// The common frame: the window shown with its title, the progress handler installed, the
// operation run, its result logged and shown, the window closed.
template <typename Run>
MemoryOperations::Outcome MemoryOperations::Frame(MemoryOperation operation, TRemoteControl* remote,
                                                  Run run) {
    current_ = operation;
    cancel_ = false;
    reached_ = -1;
    TControls& controls = wiring_.Controls();
    const TransferProgressEvent handler = [this](int percent, int index, bool& cancel, int item,
                                                 int address) {
        ReportProgress(percent, index, cancel, item, address);
    };
    TransferProgressEvent previousControls = std::exchange(controls.OnTransferProgress, handler);
    TransferProgressEvent previousRemote;
    if (remote != nullptr) {
        previousRemote = std::exchange(remote->OnTransferProgress, handler);
    }
    dialogs_->BeginProgress(MemoryOperationTitle(operation));
    dialogs_->Progress(QString(), 0);

    const Outcome outcome = run();

    controls.OnTransferProgress = std::move(previousControls);
    if (remote != nullptr) {
        remote->OnTransferProgress = std::move(previousRemote);
    }
    if (outcome.status == Status::Done) {
        ShowResult(operation, outcome.code);
    }
    dialogs_->EndProgress();
    cancel_ = false;
    return outcome;
}

MemoryOperations::Outcome MemoryOperations::WriteModules(const TProjectList& project) {
    if (!Hold::Free(*this)) {
        return {Status::Busy, 0};
    }
    Hold hold(*this);
    std::vector<TScriptCue> cues = CuesOf(project);
    if (!CuesCarried(MemoryOperation::WriteModules, cues) ||
        !CuesHeld(MemoryOperation::WriteModules, cues)) {
        return {Status::CuesRefused, ResultCueNotCarried};
    }
    if (checks_ != nullptr && (!checks_->CheckModulesPresent() || !checks_->CheckCueOrder())) {
        return Declined(MemoryOperation::WriteModules);
    }
    return Frame(MemoryOperation::WriteModules, nullptr, [&] {
        return Outcome{Status::Done, wiring_.Controls().WriteScript(cues)};
    });
}

MemoryOperations::Outcome MemoryOperations::VerifyModules(const TProjectList& project) {
    if (!Hold::Free(*this)) {
        return {Status::Busy, 0};
    }
    Hold hold(*this);
    std::vector<TScriptCue> cues = CuesOf(project);
    if (!CuesCarried(MemoryOperation::VerifyModules, cues)) {
        return {Status::CuesRefused, ResultCueNotCarried};
    }
    if (checks_ != nullptr && !checks_->CheckModulesPresent()) {
        return Declined(MemoryOperation::VerifyModules);
    }
    return Frame(MemoryOperation::VerifyModules, nullptr, [&] {
        return Outcome{Status::Done, wiring_.Controls().VerifyScript(cues)};
    });
}

MemoryOperations::Outcome MemoryOperations::EraseModules() {
    if (!Hold::Free(*this)) {
        return {Status::Busy, 0};
    }
    Hold hold(*this);
    if (!dialogs_->Confirm(kv::Message(kv::Msg::Confirmation),
                           kv::Message(kv::Msg::ConfirmEraseScripts))) {
        return Declined(MemoryOperation::EraseModules);
    }
    return Frame(MemoryOperation::EraseModules, nullptr, [&] {
        return Outcome{Status::Done, wiring_.Controls().EraseScripts()};
    });
}

MemoryOperations::Outcome MemoryOperations::ReadBlackBox() {
    if (!Hold::Free(*this)) {
        return {Status::Busy, 0};
    }
    Hold hold(*this);
    return Frame(MemoryOperation::ReadBlackBox, nullptr, [&] {
        QByteArray& records = blackBox_;
        records.clear();
        int size = 0;
        const int32_t code = wiring_.Controls().ReadBlackBox(records, size);
        if (code != 0) {
            return Outcome{Status::Done, code};  // the records are dropped, no file offered
        }
        // A reading the operator does not save is not on disk: it ends as an operation called
        // off, never as "successful", so nobody takes the black box for saved.
        const QString chosen = dialogs_->AskSaveFile(DefaultBlackBoxFileName());
        if (chosen.isEmpty()) {
            return Outcome{Status::Done, ResultCancelled};
        }
        // ".DAT" may still be appended: the question is about the file that would be replaced.
        const QString target = BlackBoxFileName(chosen);
        if (QFileInfo::exists(target) && !dialogs_->ConfirmOverwrite(target)) {
            return Outcome{Status::Done, ResultCancelled};
        }
        QString error, written;
        if (!SaveBlackBoxFile(chosen, records, error, &written)) {
            // The reading was good but is not on disk: say so, never "successful".
            WriteLog(MemoryOperationTitle(MemoryOperation::ReadBlackBox) + QLatin1Char(' ') +
                         written + QStringLiteral(": ") + error,
                     1);
            Box(kv::Message(kv::Msg::Error), written + QStringLiteral(": ") + error);
            return Outcome{Status::FileError, 0};
        }
        return Outcome{Status::Done, 0};
    });
}

MemoryOperations::Outcome MemoryOperations::WriteRemote(const TProjectList& project) {
    if (!Hold::Free(*this)) {
        return {Status::Busy, 0};
    }
    Hold hold(*this);
    TRemoteControl* remote = RegisteredRemote();
    if (remote == nullptr) {
        WriteLog(MemoryOperationTitle(MemoryOperation::WriteRemote) + QLatin1Char(' ') +
                     kv::Message(kv::Msg::RemoteNotConnected),
                 1);
        Box(kv::Message(kv::Msg::Error), kv::Message(kv::Msg::RemoteNotConnected));
        return {Status::NoRemote, 0};
    }
    const std::vector<TScriptCue> cues = CuesOf(project);
    // A newer remote is erased before the write: an empty slot would leave it with nothing.
    if (cues.empty()) {
        return {Status::NoScript, 0};
    }
    if (!CuesCarried(MemoryOperation::WriteRemote, cues)) {
        return {Status::CuesRefused, ResultCueNotCarried};
    }
    // The remote's cue frames are the bytes of a module's cue write: a module left on would
    // store them as its own. Only the operator's OK goes on.
    if (wiring_.Controls().ModuleCount() > 0 &&
        !(dialogs_->ConfirmOkCancel(kv::Message(kv::Msg::Warning),
                                    kv::Message(kv::Msg::SwitchOffConnectedModules) +
                                        QLatin1Char('\n') +
                                        kv::Message(kv::Msg::SwitchOffModulesAndOk)))) {
        return Declined(MemoryOperation::WriteRemote);
    }
    return Frame(MemoryOperation::WriteRemote, remote, [&] {
        const bool manualMode = remote->Version < fw::RemoteErase;
        if (manualMode) {
            Box(kv::Message(kv::Msg::Confirmation), kv::Message(kv::Msg::PutRemoteInWriteMode));
        } else {
            remote->EraseRemote();  // its result is not looked at: the write tells
        }
        const int32_t code = remote->WriteRemoteScript(cues);
        if (code == 0) {
            if (manualMode) {
                Box(kv::Message(kv::Msg::Confirmation),
                    kv::Message(kv::Msg::TakeRemoteOutOfWriteMode));
            }
            remote->LastResult = remote->Ping();
        }
        return Outcome{Status::Done, code};
    });
}

MemoryOperations::Outcome MemoryOperations::VerifyRemote(const TProjectList& project) {
    if (!Hold::Free(*this)) {
        return {Status::Busy, 0};
    }
    Hold hold(*this);
    TRemoteControl* remote = RegisteredRemote();
    if (remote == nullptr) {
        WriteLog(MemoryOperationTitle(MemoryOperation::VerifyRemote) + QLatin1Char(' ') +
                     kv::Message(kv::Msg::RemoteNotConnected),
                 1);
        Box(kv::Message(kv::Msg::Error), kv::Message(kv::Msg::RemoteNotConnected));
        return {Status::NoRemote, 0};
    }
    const std::vector<TScriptCue> cues = CuesOf(project);
    if (!CuesCarried(MemoryOperation::VerifyRemote, cues)) {
        return {Status::CuesRefused, ResultCueNotCarried};
    }
    return Frame(MemoryOperation::VerifyRemote, remote, [&] {
        return Outcome{Status::Done, remote->VerifyRemoteScript(cues)};
    });
}

}  // namespace kv
