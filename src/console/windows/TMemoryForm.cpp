#include "console/windows/TMemoryForm.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "console/windows/TLocalizer.h"

namespace kv {

TMemoryForm::TMemoryForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      localizer_(new TLocalizer(this)) {
    setObjectName(QStringLiteral("TMemoryForm"));
    setWindowTitle(QStringLiteral("Операция с памятью пультов"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("TextLabel"));
    QFont bold = title_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    title_->setFont(bold);
    layout->addWidget(title_);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(status_);
    gauge_ = new QProgressBar(this);
    gauge_->setObjectName(QStringLiteral("Gauge"));
    gauge_->setRange(0, 100);
    gauge_->setMinimumHeight(28);
    layout->addWidget(gauge_);
    button_ = new QPushButton(QStringLiteral("Отмена"), this);
    button_->setObjectName(QStringLiteral("Button1"));
    button_->setDefault(true);
    button_->setAutoDefault(true);
    layout->addWidget(button_, 0, Qt::AlignHCenter);
    // Esc reaches reject(); Enter presses the default button: both cancel.
    connect(button_, &QPushButton::clicked, this, [this] { reject(); });
    setMinimumWidth(420);
}

void TMemoryForm::Begin(const QString& title) {
    cancel_ = false;
    title_->setText(title);
    status_->clear();
    gauge_->setValue(0);
    if (QWidget* owner = parentWidget()) {
        adjustSize();
        move(owner->frameGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
    repaint();
}

void TMemoryForm::Progress(const QString& status, int percent) {
    status_->setText(status);
    gauge_->setValue(std::clamp(percent, 0, 100));
    gauge_->repaint();
}

void TMemoryForm::End() {
    hide();
}

void TMemoryForm::reject() {
    // The window stays up until the operation sees the flag at its next progress report.
    cancel_ = true;
    emit CancelPressed();
}

QString TMemoryForm::Title() const {
    return title_->text();
}

QString TMemoryForm::Status() const {
    return status_->text();
}

int TMemoryForm::Percent() const {
    return gauge_->value();
}

}  // namespace kv
