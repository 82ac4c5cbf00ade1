#pragma once

#include <QString>
#include <QStringList>

namespace kv {

// The choices offered when the modules hold another script than the one about to be armed.
enum class ScriptDiffChoice { Cancel, Write, ArmAnyway };

// What the console asks the operator and shows in boxes of its own. The window answers with its
// dialogs, kelvanectl and the tests with answers of their own. This base answers every question
// "no" (nothing chosen, cancelled) and shows nothing, so that nothing goes on that nobody
// confirmed.
class ConsoleDialogs {
public:
    virtual ~ConsoleDialogs() = default;

    // File dialogs; an empty name when nothing was chosen.
    virtual QString AskScriptFile() { return {}; }  // "Текстовые файлы|*.txt"
    virtual QString AskSoundFile() { return {}; }  // "Аудиофайлы|*.wav; *.mp3; *.wma; *.ogg"
    // The save dialog ("Файлы данных|*.dat") offering a name. The overwrite question is
    // ConfirmOverwrite's: the dialog would ask about the name typed, not the one written.
    virtual QString AskSaveFile(const QString& /*offered*/) { return {}; }
    // The save dialog of a text file ("Текстовые файлы|*.txt"), the same way.
    virtual QString AskExportFile(const QString& /*offered*/) { return {}; }

    // The present-warning window: a message and a list; true on "Продолжить".
    virtual bool AskPresentWarning(const QString& /*message*/, const QString& /*list*/) {
        return false;
    }
    // The same window listing cues that cannot be carried; nothing goes on whatever is pressed.
    virtual void ShowRefusedCues(const QString& /*message*/, const QStringList& /*lines*/) {}
    // A Yes/No box; true on Yes.
    virtual bool Confirm(const QString& /*caption*/, const QString& /*question*/) { return false; }
    // A warning whose only way on is OK; Cancel, Esc and closing the box go no further.
    virtual bool ConfirmOkCancel(const QString& /*caption*/, const QString& /*text*/) {
        return false;
    }
    // Whether an existing file may be replaced.
    virtual bool ConfirmOverwrite(const QString& /*file*/) { return false; }
    // The input box, prefilled with text; false when cancelled.
    virtual bool AskText(const QString& /*caption*/, const QString& /*prompt*/, QString& /*text*/) {
        return false;
    }
    // The modules hold another script: the differences, one line each.
    virtual ScriptDiffChoice AskAboutDifferences(const QStringList& /*lines*/) {
        return ScriptDiffChoice::Cancel;
    }
    // "Arm although the modules hold another script?"; true on Yes.
    virtual bool ConfirmArmAnyway(const QString& /*question*/) { return false; }

    // An error box with the caption "Ошибка".
    virtual void ShowError(const QString& /*text*/) {}
    // A modal box with an OK button.
    virtual void ShowMessage(const QString& /*caption*/, const QString& /*text*/) {}

    // The progress window of a long operation on the bus: shown with its title, each report,
    // closed at the end. Its cancel goes to ConsoleSession::CancelOperation.
    virtual void BeginProgress(const QString& /*title*/) {}
    virtual void Progress(const QString& /*status*/, int /*percent*/) {}
    virtual void EndProgress() {}
};

// The answers of nobody: every question "no".
ConsoleDialogs& NoDialogs();

}  // namespace kv
