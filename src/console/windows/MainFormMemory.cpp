// The main window's memory commands: the six operations on the script in the devices' memory,
// run through the progress window.

#include <QAction>
#include <QDate>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include "console/MemoryOperations.h"
#include "console/ShowControl.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TMemoryForm.h"
#include "console/windows/TPresentWarningForm.h"
#include "console/windows/WindowTranslator.h"
#include "i18n/Localizer.h"

namespace kv {

namespace {

// A warning the operator must answer with OK to go on; "Отмена" is the default, and Esc or
// closing the box is a cancel too.
bool AskOkCancel(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    box.setObjectName(QStringLiteral("OkCancelBox"));
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

}  // namespace

void TMainForm::SetMemoryForm(TMemoryForm* form) {
    memoryForm_ = form;
}

TMemoryForm& TMainForm::MemoryForm() {
    if (memoryForm_ == nullptr) {
        memoryForm_ = new TMemoryForm(this);
    }
    return *memoryForm_;
}

void TMainForm::ConnectMemoryOperations() {
    memory_ = std::make_unique<MemoryOperations>(*wiring_);
    MemoryOperations& m = *memory_;
    m.OnBegin = [this](const QString& title) {
        TMemoryForm& form = MemoryForm();
        QObject::disconnect(&form, &TMemoryForm::CancelPressed, this, nullptr);
        connect(&form, &TMemoryForm::CancelPressed, this, [this] { memory_->Cancel(); });
        form.Begin(title);
        // The progress window lets the main window's mouse clicks through: from this moment
        // its buttons show that the bus is held.
        RefreshButtons();
    };
    m.OnProgress = [this](const QString& status, int percent) {
        MemoryForm().Progress(status, percent);
    };
    m.OnEnd = [this] {
        MemoryForm().End();
        activateWindow();
    };
    m.ShowMessage = [this](const QString& caption, const QString& text) {
        QMessageBox::information(memoryForm_ != nullptr && memoryForm_->isVisible()
                                     ? static_cast<QWidget*>(memoryForm_)
                                     : this,
                                 caption, text);
    };
    m.Confirm = [this](const QString& caption, const QString& question) {
        return QMessageBox::question(this, caption, question, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    };
    m.ConfirmOkCancel = [this](const QString& caption, const QString& text) {
        return AskOkCancel(this, caption, text);
    };
    m.ConfirmOverwrite = [this](const QString& file) {
        QWidget* parent = memoryForm_ != nullptr && memoryForm_->isVisible()
                              ? static_cast<QWidget*>(memoryForm_)
                              : this;
        QMessageBox box(QMessageBox::Question, GetText(59, QStringLiteral("Подтверждение")),
                        QFileInfo(file).fileName() + QStringLiteral(" уже существует.\nЗаменить?"),
                        QMessageBox::Yes | QMessageBox::No, parent);
        box.setObjectName(QStringLiteral("OverwriteBox"));
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };
    m.AskSaveFile = [this](const QString& offered) {
        QFileDialog dialog(memoryForm_ != nullptr ? static_cast<QWidget*>(memoryForm_) : this);
        dialog.setObjectName(QStringLiteral("SaveDialog"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        // ".DAT" may still be appended: the question is asked about the name really written.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog.setNameFilters(
            WindowTranslator::QtNameFilters(QStringLiteral("Файлы данных|*.dat")));
        dialog.selectFile(offered);
        const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
        return chosen ? dialog.selectedFiles().first() : QString();
    };
    m.CheckModulesPresent = [this] { return show_->CheckModulesPresent(); };
    m.CheckCueOrder = [this] { return show_->CheckCueOrder(); };
    m.ShowRefusedCues = [this](const QString& message, const QStringList& lines) {
        // Nothing is written whatever the operator presses: the list is for fixing the script.
        PresentWarningForm().Ask(message, lines.join(QLatin1Char('\n')));
    };
}

void TMainForm::RunMemoryOperation(MemoryCommand command) {
    if (memory_->Running()) {
        return;  // the guard inside refuses it too; nothing to start from a progress report
    }
    switch (command) {
        case MemoryCommand::Write:
            memory_->WriteModules(show_->CurrentProject());
            break;
        case MemoryCommand::Verify:
            memory_->VerifyModules(show_->CurrentProject());
            break;
        case MemoryCommand::Erase:
            memory_->EraseModules();
            break;
        case MemoryCommand::BlackBox:
            memory_->ReadBlackBox();
            break;
        case MemoryCommand::WriteRemote:
            memory_->WriteRemote(show_->CurrentProject());
            break;
        case MemoryCommand::VerifyRemote:
            memory_->VerifyRemote(show_->CurrentProject());
            break;
    }
    RefreshButtons();
}

}  // namespace kv
