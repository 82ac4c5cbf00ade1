#pragma once

#include <QDir>
#include <functional>
#include <memory>

#include "console/ConsoleSession.h"
#include "console/windows/ShowSummaryForm.h"
#include "console/windows/TDebugForm.h"
#include "console/windows/TExtStartForm.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TMemoryForm.h"
#include "console/windows/TPresentWarningForm.h"
#include "console/windows/TTimerForm.h"
#include "console/windows/TWarningForm.h"
#include "console/windows/WindowDialogs.h"

namespace kv {

// The window's dialogs, with the file dialogs answered by the test when it says so.
class TestWindowDialogs : public WindowDialogs {
public:
    using WindowDialogs::WindowDialogs;
    std::function<QString()> ScriptFile;
    std::function<QString()> SoundFile;
    std::function<bool(const QString& caption, const QString& prompt, QString& text)> Text;
    std::function<void(const QString& caption, const QString& text)> Message;
    QString AskScriptFile() override {
        return ScriptFile ? ScriptFile() : WindowDialogs::AskScriptFile();
    }
    QString AskSoundFile() override {
        return SoundFile ? SoundFile() : WindowDialogs::AskSoundFile();
    }
    bool AskText(const QString& caption, const QString& prompt, QString& text) override {
        return Text ? Text(caption, prompt, text) : WindowDialogs::AskText(caption, prompt, text);
    }
    void ShowMessage(const QString& caption, const QString& text) override {
        if (Message) {
            Message(caption, text);
        } else {
            WindowDialogs::ShowMessage(caption, text);
        }
    }
};

struct SessionHolder {
    std::unique_ptr<ConsoleSession> session;
};

// The console as kelvane's main makes it: a session on the test's converters, its main window
// and every window and dialog, in the same order.
class OwnedMainForm : private SessionHolder, public TMainForm {
public:
    struct Options {
        QString programDir;  // kelvanex.ini and the "logs" folder
        std::shared_ptr<ConverterBackend> backend;
        QString rig;
        QString settingsFile;  // empty: kelvanex.ini in programDir
        QString powerSupplyRoot;
        QString timecodeFile;
        QString timecodeStart;
    };

    explicit OwnedMainForm(const Options& o)
        : SessionHolder{std::make_unique<ConsoleSession>(SessionOptions(o))},
          TMainForm(*session),
          warning_(new TWarningForm(this)),
          memory_(new TMemoryForm(this)),
          present_(new TPresentWarningForm(this)),
          dialogs_(*session, *this, *present_, *memory_) {
        auto* extStart = new TExtStartForm(this);
        auto* timer = new TTimerForm(this);
        auto* debug = new TDebugForm(this);
        auto* summary = new ShowSummaryForm(this);
        SetWindows({warning_, extStart, timer, debug, summary});
        session->SetDialogs(dialogs_);
    }
    ~OwnedMainForm() override { session->SetDialogs(NoDialogs()); }

    TestWindowDialogs& Dialogs() { return dialogs_; }
    TMemoryForm& MemoryForm() { return *memory_; }
    TPresentWarningForm& PresentWarningForm() { return *present_; }

private:
    static ConsoleSession::Options SessionOptions(const Options& o) {
        ConsoleSession::Options s;
        s.backend = o.backend;
        s.simulatedRig = o.rig;
        s.settingsFile = !o.settingsFile.isEmpty()
                             ? o.settingsFile
                             : QDir(o.programDir).filePath(QStringLiteral("kelvanex.ini"));
        s.logDir = QDir(o.programDir).filePath(QStringLiteral("logs"));
        s.powerSupplyRoot = o.powerSupplyRoot;
        s.timecodeFile = o.timecodeFile;
        s.timecodeStart = o.timecodeStart;
        return s;
    }

    TWarningForm* warning_;
    TMemoryForm* memory_;
    TPresentWarningForm* present_;
    TestWindowDialogs dialogs_;
};

inline OwnedMainForm& Owned(TMainForm& form) {
    return static_cast<OwnedMainForm&>(form);
}

}  // namespace kv
