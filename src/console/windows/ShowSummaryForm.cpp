#include "console/windows/ShowSummaryForm.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "console/ShowRecord.h"

namespace kv {

ShowSummaryForm::ShowSummaryForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ShowSummaryForm"));
    setWindowTitle(QStringLiteral("Итоги шоу"));
    // Shown beside the main window, never in front of its keys.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::Tool);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    counts_ = new QLabel(this);
    counts_->setObjectName(QStringLiteral("CountsLabel"));
    open_ = new QPushButton(QStringLiteral("<Enter> Открыть отчёт"), this);
    open_->setObjectName(QStringLiteral("OpenReportBtn"));
    open_->setDefault(true);
    layout->addWidget(counts_);
    layout->addWidget(open_);
    connect(open_, &QPushButton::clicked, this, [this] { OpenPdf(); });
    OpenFile = [](const QString& file) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
    };
}

void ShowSummaryForm::ShowReport(const ShowRecord& record, const QStringList& files) {
    const ShowCounts n = record.Counts();
    counts_->setText(QStringLiteral("Запущено: %1\nНе отправлено: %2\nПропущено: %3\n"
                                    "Проверка не подтвердила: %4")
                         .arg(n.Sent + n.Autonomous)
                         .arg(n.NotSent)
                         .arg(n.Skipped)
                         .arg(n.ChecksFailed));
    pdf_.clear();
    for (const QString& f : files) {
        if (f.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
            pdf_ = f;
        }
    }
    open_->setEnabled(!pdf_.isEmpty());
    open_->setToolTip(QFileInfo(pdf_).fileName());
    if (!isVisible()) {
        // Some window systems activate a new window whatever it asks for: the window that had
        // the keys gets them back at once, so that the stop key still reaches the main window.
        QWidget* active = QApplication::activeWindow();
        show();
        if (active != nullptr && active != this) {
            active->activateWindow();
        }
    }
}

QString ShowSummaryForm::CountsText() const {
    return counts_->text();
}

bool ShowSummaryForm::OpenPdf() {
    return !pdf_.isEmpty() && OpenFile && OpenFile(pdf_);
}

}  // namespace kv
