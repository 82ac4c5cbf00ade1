// Arming in autonomous control: the modules' scripts are read back through the progress window,
// and a difference is put to the operator.

#include <QMessageBox>
#include <QPushButton>

#include "console/AutonomousArmCheck.h"
#include "console/MemoryOperations.h"
#include "console/ShowControl.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TMemoryForm.h"

namespace kv {

void TMainForm::ConnectArmCheck() {
    armCheck_ = std::make_unique<AutonomousArmCheck>(*wiring_);
    AutonomousArmCheck& c = *armCheck_;
    c.OnBegin = [this](const QString& title) {
        TMemoryForm& form = MemoryForm();
        QObject::disconnect(&form, &TMemoryForm::CancelPressed, this, nullptr);
        connect(&form, &TMemoryForm::CancelPressed, this, [this] { armCheck_->Cancel(); });
        form.Begin(title);
        RefreshButtons();
    };
    c.OnProgress = [this](const QString& status, int percent) {
        MemoryForm().Progress(status, percent);
    };
    c.OnEnd = [this] {
        MemoryForm().End();
        activateWindow();
    };
    c.AskAboutDifferences = [this](const QStringList& lines) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Ошибка"),
                        QStringLiteral("Сценарий в модулях отличается от проекта. Пульт не "
                                       "взведён."),
                        QMessageBox::NoButton, this);
        box.setObjectName(QStringLiteral("ScriptDiffersBox"));
        box.setDetailedText(lines.join(QLatin1Char('\n')));
        QPushButton* write =
            box.addButton(QStringLiteral("<F8> Записать"), QMessageBox::AcceptRole);
        QPushButton* anyway =
            box.addButton(QStringLiteral("Взвести всё равно..."), QMessageBox::DestructiveRole);
        QPushButton* cancel = box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
        write->setObjectName(QStringLiteral("WriteBtn"));
        anyway->setObjectName(QStringLiteral("ArmAnywayBtn"));
        box.setDefaultButton(cancel);
        box.setEscapeButton(cancel);
        box.exec();
        if (box.clickedButton() == write) {
            return AutonomousArmCheck::Choice::Write;
        }
        return box.clickedButton() == anyway ? AutonomousArmCheck::Choice::ArmAnyway
                                             : AutonomousArmCheck::Choice::Cancel;
    };
    c.ConfirmArmAnyway = [this](const QString& question) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Подтверждение"), question,
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setObjectName(QStringLiteral("ArmAnywayBox"));
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };
    c.WriteScript = [this] {
        const MemoryOperations::Outcome o = memory_->WriteModules(show_->CurrentProject());
        return o.status == MemoryOperations::Status::Done && o.code == 0;
    };
    show_->ConfirmModuleScripts = [this] { return armCheck_->Run(show_->CurrentProject()); };
}

}  // namespace kv
