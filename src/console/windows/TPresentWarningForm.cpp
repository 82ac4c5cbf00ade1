#include "console/windows/TPresentWarningForm.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "console/windows/TLocalizer.h"

namespace kv {

TPresentWarningForm::TPresentWarningForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog), localizer_(new TLocalizer(this)) {
    setObjectName(QStringLiteral("TPresentWarningForm"));
    setWindowTitle(QStringLiteral("Предупреждение"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout();
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    top->addWidget(picture, 0, Qt::AlignTop);
    label_ = new QLabel(this);
    label_->setObjectName(QStringLiteral("Label1"));
    label_->setWordWrap(true);
    QFont bold = label_->font();
    bold.setBold(true);
    label_->setFont(bold);
    top->addWidget(label_, 1);
    layout->addLayout(top);
    auto* group = new QGroupBox(QStringLiteral(" Список пультов (ID) "), this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto* groupLayout = new QVBoxLayout(group);
    memo_ = new QPlainTextEdit(group);
    memo_->setObjectName(QStringLiteral("Memo"));
    memo_->setReadOnly(true);
    memo_->setFocusPolicy(Qt::NoFocus);
    // The module numbers are what the crew has to act on: large enough to read from a step
    // back, not in the small print of the message.
    QFont numbers = memo_->font();
    numbers.setBold(true);
    numbers.setPointSizeF(numbers.pointSizeF() * 1.6);
    memo_->setFont(numbers);
    groupLayout->addWidget(memo_);
    layout->addWidget(group, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    continue_ = new QPushButton(QStringLiteral("Продолжить"), this);
    continue_->setObjectName(QStringLiteral("ContinueBtn"));
    continue_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Отмена"), this);
    cancel_->setObjectName(QStringLiteral("CancelBtn"));
    buttons->addWidget(continue_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    // QDialog already rejects on Esc; Enter goes to the default button.
    connect(continue_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    resize(460, 300);
}

void TPresentWarningForm::SetMessage(const QString& message, const QString& modules) {
    label_->setText(message);
    memo_->clear();
    memo_->setPlainText(modules);
}

bool TPresentWarningForm::Ask(const QString& message, const QString& modules) {
    SetMessage(message, modules);
    continue_->setFocus();
    return exec() == QDialog::Accepted;
}

QString TPresentWarningForm::Message() const {
    return label_->text();
}

QString TPresentWarningForm::Modules() const {
    return memo_->toPlainText();
}

}  // namespace kv
