#pragma once

#include <QPointer>
#include <QWidget>

#include "console/ConsoleDialogs.h"

namespace kv {

class ConsoleSession;
class TMemoryForm;
class TPresentWarningForm;

// The console's questions and boxes as the operator sees them: Qt's file and message boxes over
// the main window, the present-warning window and the progress window. The keys act only while
// the main window is active, so each dialog hands the focus back to it when it closes.
class WindowDialogs : public ConsoleDialogs {
public:
    WindowDialogs(ConsoleSession& session, QWidget& window, TPresentWarningForm& present,
                  TMemoryForm& progress);

    QString AskScriptFile() override;
    QString AskSoundFile() override;
    QString AskSaveFile(const QString& offered) override;
    QString AskExportFile(const QString& offered) override;
    bool AskPresentWarning(const QString& message, const QString& list) override;
    void ShowRefusedCues(const QString& message, const QStringList& lines) override;
    bool Confirm(const QString& caption, const QString& question) override;
    bool ConfirmOkCancel(const QString& caption, const QString& text) override;
    bool ConfirmOverwrite(const QString& file) override;
    bool AskText(const QString& caption, const QString& prompt, QString& text) override;
    ScriptDiffChoice AskAboutDifferences(const QStringList& lines) override;
    bool ConfirmArmAnyway(const QString& question) override;
    void ShowError(const QString& text) override;
    void ShowMessage(const QString& caption, const QString& text) override;
    void BeginProgress(const QString& title) override;
    void Progress(const QString& status, int percent) override;
    void EndProgress() override;

private:
    QString AskFile(const QString& filter);
    QString AskNewFile(QWidget* parent, const QString& filter, const QString& offered);
    // The progress window while it is up, the main window otherwise.
    QWidget* BoxParent() const;

    QPointer<QWidget> window_;
    QPointer<TPresentWarningForm> present_;
    QPointer<TMemoryForm> progress_;
};

}  // namespace kv
