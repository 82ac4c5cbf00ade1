#include "console/windows/ChannelsExportDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "console/windows/WindowTranslator.h"
#include "devices/ConnectedChannelsExport.h"
#include "i18n/Localizer.h"

namespace kv {

QString ChannelsExportDialog::Filter() {
    return QStringLiteral("Текстовые файлы|*.txt");
}

ChannelsExportDialog::Ui ChannelsExportDialog::DialogUi(QWidget* parent) {
    Ui ui;
    ui.AskName = [parent](const QString& proposed) {
        QFileDialog dialog(parent);
        dialog.setObjectName(QStringLiteral("SaveDialog"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The desktop's own dialog may not come up under a bare X server; ours always does.
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        // The overwrite question is asked below, about the name that is really written.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog.setNameFilters(WindowTranslator::QtNameFilters(Filter()));
        dialog.selectFile(proposed);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return QString();
        }
        return dialog.selectedFiles().first();
    };
    ui.ConfirmOverwrite = [parent](const QString& file) {
        return QMessageBox::question(
                   parent, GetText(59, QStringLiteral("Подтверждение")),
                   QFileInfo(file).fileName() + QStringLiteral(" уже существует.\nЗаменить?"),
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    ui.ShowError = [parent](const QString& message) {
        QMessageBox::critical(parent, QStringLiteral("Ошибка"), message);
    };
    return ui;
}

bool ChannelsExportDialog::Run(const TControls& controls, const Ui& ui) {
    const QString chosen =
        ui.AskName ? ui.AskName(ConnectedChannelsExport::ProposedName()) : QString();
    if (chosen.isEmpty()) {
        return false;
    }
    // ".txt" may still be appended, so the question is about the file actually written.
    const QString file = ConnectedChannelsExport::FileName(chosen);
    if (QFileInfo::exists(file) && ui.ConfirmOverwrite && !ui.ConfirmOverwrite(file)) {
        return false;
    }
    QString error;
    if (!ConnectedChannelsExport::Write(controls, chosen, &error)) {
        if (ui.ShowError) {
            ui.ShowError(error);
        }
        return false;
    }
    return true;
}

}  // namespace kv
