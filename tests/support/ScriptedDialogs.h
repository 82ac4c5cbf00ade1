#pragma once

#include <functional>

#include "console/ConsoleDialogs.h"

namespace kv {

// The operator's answers a test gives: each one it sets answers its question, the others
// answer as nobody does (no, nothing chosen). Asked counts every question put.
class ScriptedDialogs : public ConsoleDialogs {
public:
    std::function<QString()> ScriptFile;
    std::function<QString()> SoundFile;
    std::function<QString(const QString& offered)> SaveFile;
    std::function<QString(const QString& offered)> ExportFile;
    std::function<bool(const QString& message, const QString& list)> PresentWarning;
    std::function<void(const QString& message, const QStringList& lines)> RefusedCues;
    std::function<bool(const QString& caption, const QString& question)> Yes;
    std::function<bool(const QString& caption, const QString& text)> OkCancel;
    std::function<bool(const QString& file)> Overwrite;
    std::function<bool(const QString& caption, const QString& prompt, QString& text)> Text;
    std::function<ScriptDiffChoice(const QStringList& lines)> Differences;
    std::function<bool(const QString& question)> ArmAnyway;
    std::function<void(const QString& text)> Error;
    std::function<void(const QString& caption, const QString& text)> Message;
    std::function<void(const QString& title)> Begin;
    std::function<void(const QString& status, int percent)> Report;
    std::function<void()> End;
    int Asked = 0;

    QString AskScriptFile() override { return Ask(ScriptFile); }
    QString AskSoundFile() override { return Ask(SoundFile); }
    QString AskSaveFile(const QString& offered) override { return Ask(SaveFile, offered); }
    QString AskExportFile(const QString& offered) override { return Ask(ExportFile, offered); }
    bool AskPresentWarning(const QString& message, const QString& list) override {
        return Ask(PresentWarning, message, list);
    }
    void ShowRefusedCues(const QString& message, const QStringList& lines) override {
        Ask(RefusedCues, message, lines);
    }
    bool Confirm(const QString& caption, const QString& question) override {
        return Ask(Yes, caption, question);
    }
    bool ConfirmOkCancel(const QString& caption, const QString& text) override {
        return Ask(OkCancel, caption, text);
    }
    bool ConfirmOverwrite(const QString& file) override { return Ask(Overwrite, file); }
    bool AskText(const QString& caption, const QString& prompt, QString& text) override {
        ++Asked;
        return Text && Text(caption, prompt, text);
    }
    ScriptDiffChoice AskAboutDifferences(const QStringList& lines) override {
        ++Asked;
        return Differences ? Differences(lines) : ScriptDiffChoice::Cancel;
    }
    bool ConfirmArmAnyway(const QString& question) override { return Ask(ArmAnyway, question); }
    void ShowError(const QString& text) override { Tell(Error, text); }
    void ShowMessage(const QString& caption, const QString& text) override {
        Tell(Message, caption, text);
    }
    void BeginProgress(const QString& title) override { Tell(Begin, title); }
    void Progress(const QString& status, int percent) override { Tell(Report, status, percent); }
    void EndProgress() override { Tell(End); }

private:
    template <class R, class... P, class... A>
    R Ask(const std::function<R(P...)>& answer, A&&... args) {
        ++Asked;
        if (!answer) {
            return R();
        }
        return answer(std::forward<A>(args)...);
    }
    template <class... P, class... A>
    static void Tell(const std::function<void(P...)>& shown, A&&... args) {
        if (shown) {
            shown(std::forward<A>(args)...);
        }
    }
};

}  // namespace kv
