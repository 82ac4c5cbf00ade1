#include "console/windows/WindowDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "console/ConsoleSession.h"
#include "console/windows/TMemoryForm.h"
#include "console/windows/TPresentWarningForm.h"
#include "console/windows/WindowTranslator.h"
#include "i18n/Localizer.h"

namespace kv {

namespace {

// A question whose safe answer is the default: Esc and closing the box answer it too.
int AskSafely(QMessageBox& box, QMessageBox::StandardButton safe) {
    box.setDefaultButton(safe);
    box.setEscapeButton(safe);
    return box.exec();
}

}  // namespace

WindowDialogs::WindowDialogs(ConsoleSession& session, QWidget& window, TPresentWarningForm& present,
                             TMemoryForm& progress)
    : window_(&window), present_(&present), progress_(&progress) {
    // Whatever runs under the progress window stops at its next report.
    QObject::connect(&progress, &TMemoryForm::CancelPressed, &progress,
                     [&session] { session.CancelOperation(); });
}

QWidget* WindowDialogs::BoxParent() const {
    if (progress_ && progress_->isVisible()) {
        return progress_;
    }
    return window_;
}

QString WindowDialogs::AskFile(const QString& filter) {
    QFileDialog dialog(window_);
    dialog.setObjectName(QStringLiteral("OpenDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The desktop's own dialog may not come up under a bare X server; ours always does.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters(WindowTranslator::QtNameFilters(filter));
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    // Taken back from the dialog also where no window manager returns it.
    if (window_) {
        window_->activateWindow();
    }
    return chosen ? dialog.selectedFiles().first() : QString();
}

QString WindowDialogs::AskScriptFile() {
    return AskFile(Message(Msg::TextFileFilter));
}

QString WindowDialogs::AskSoundFile() {
    return AskFile(Message(Msg::SoundFileFilter));
}

QString WindowDialogs::AskNewFile(QWidget* parent, const QString& filter, const QString& offered) {
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // An extension may still be appended: the overwrite question is asked about the name
    // really written.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setNameFilters(WindowTranslator::QtNameFilters(filter));
    dialog.selectFile(offered);
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    return chosen ? dialog.selectedFiles().first() : QString();
}

QString WindowDialogs::AskSaveFile(const QString& offered) {
    return AskNewFile(progress_ ? static_cast<QWidget*>(progress_) : window_.data(),
                      QStringLiteral("Файлы данных|*.dat"), offered);
}

QString WindowDialogs::AskExportFile(const QString& offered) {
    return AskNewFile(window_, QStringLiteral("Текстовые файлы|*.txt"), offered);
}

bool WindowDialogs::AskPresentWarning(const QString& message, const QString& list) {
    return present_ && present_->Ask(message, list);
}

void WindowDialogs::ShowRefusedCues(const QString& message, const QStringList& lines) {
    // Nothing is written whatever the operator presses: the list is for fixing the script.
    if (present_) {
        present_->Ask(message, lines.join(QLatin1Char('\n')));
    }
}

bool WindowDialogs::Confirm(const QString& caption, const QString& question) {
    return QMessageBox::question(window_, caption, question, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

bool WindowDialogs::ConfirmOkCancel(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    window_);
    box.setObjectName(QStringLiteral("OkCancelBox"));
    return AskSafely(box, QMessageBox::Cancel) == QMessageBox::Ok;
}

bool WindowDialogs::ConfirmOverwrite(const QString& file) {
    QMessageBox box(QMessageBox::Question, Message(Msg::Confirmation),
                    QFileInfo(file).fileName() + QStringLiteral(" уже существует.\nЗаменить?"),
                    QMessageBox::Yes | QMessageBox::No, BoxParent());
    box.setObjectName(QStringLiteral("OverwriteBox"));
    return AskSafely(box, QMessageBox::No) == QMessageBox::Yes;
}

bool WindowDialogs::AskText(const QString& caption, const QString& prompt, QString& text) {
    bool ok = false;
    const QString typed =
        QInputDialog::getText(window_, caption, prompt, QLineEdit::Normal, text, &ok);
    if (ok) {
        text = typed;
    }
    return ok;
}

ScriptDiffChoice WindowDialogs::AskAboutDifferences(const QStringList& lines) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Ошибка"),
                    QStringLiteral("Сценарий в модулях отличается от проекта. Пульт не взведён."),
                    QMessageBox::NoButton, window_);
    box.setObjectName(QStringLiteral("ScriptDiffersBox"));
    box.setDetailedText(lines.join(QLatin1Char('\n')));
    QPushButton* write = box.addButton(QStringLiteral("<F8> Записать"), QMessageBox::AcceptRole);
    QPushButton* anyway =
        box.addButton(QStringLiteral("Взвести всё равно..."), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
    write->setObjectName(QStringLiteral("WriteBtn"));
    anyway->setObjectName(QStringLiteral("ArmAnywayBtn"));
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == write) {
        return ScriptDiffChoice::Write;
    }
    return box.clickedButton() == anyway ? ScriptDiffChoice::ArmAnyway : ScriptDiffChoice::Cancel;
}

bool WindowDialogs::ConfirmArmAnyway(const QString& question) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Подтверждение"), question,
                    QMessageBox::Yes | QMessageBox::No, window_);
    box.setObjectName(QStringLiteral("ArmAnywayBox"));
    return AskSafely(box, QMessageBox::No) == QMessageBox::Yes;
}

void WindowDialogs::ShowError(const QString& text) {
    QMessageBox::critical(window_, QStringLiteral("Ошибка"), text);
}

void WindowDialogs::ShowMessage(const QString& caption, const QString& text) {
    QMessageBox::information(BoxParent(), caption, text);
}

void WindowDialogs::BeginProgress(const QString& title) {
    if (!progress_) {
        return;
    }
    progress_->Begin(title);
}

void WindowDialogs::Progress(const QString& status, int percent) {
    if (progress_) {
        progress_->Progress(status, percent);
    }
}

void WindowDialogs::EndProgress() {
    if (progress_) {
        progress_->End();
    }
    if (window_) {
        window_->activateWindow();
    }
}

}  // namespace kv
