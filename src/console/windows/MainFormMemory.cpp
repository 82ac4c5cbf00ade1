// The main window's memory commands: the six operations on the script in the devices' memory,
// run through the progress window.

#include <QAction>
#include <QDate>
#include <QFileDialog>
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

namespace kv {

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
        form.OnCancel = [this] { memory_->Cancel(); };
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
    m.AskSaveFile = [this](const QString& offered) {
        QFileDialog dialog(memoryForm_ != nullptr ? static_cast<QWidget*>(memoryForm_) : this);
        dialog.setObjectName(QStringLiteral("SaveDialog"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
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
