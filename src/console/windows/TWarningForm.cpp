#include "console/windows/TWarningForm.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "console/windows/TLocalizer.h"

namespace kv {

TWarningForm::TWarningForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      localizer_(new TLocalizer(this)) {
    setObjectName(QStringLiteral("TWarningForm"));
    setWindowTitle(QStringLiteral("Предупреждение"));
    setModal(false);
    // It never takes the keyboard from the main window: in the middle of a show the first stop
    // key must stop, not close this window.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(255, 0, 0));
    palette.setColor(QPalette::WindowText, QColor(Qt::white));
    setPalette(palette);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    text_ = new QLabel(QStringLiteral("Error !!!"), this);
    text_->setObjectName(QStringLiteral("Memo"));
    text_->setAlignment(Qt::AlignCenter);
    text_->setWordWrap(true);
    QFont big = text_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 2.4);
    text_->setFont(big);
    layout->addWidget(text_);
    resize(560, 200);
    timer_.setSingleShot(true);
    // Its 10 s are counted from the first showing; a coarse timer would shift them by up to 5 %.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kShowMs);
    connect(&timer_, &QTimer::timeout, this, [this] { CloseWarning(); });
}

void TWarningForm::ShowWarning(const QString& text) {
    text_->setText(text);
    if (!timer_.isActive()) {
        timer_.start();
    }
    if (QWidget* owner = parentWidget()) {
        const QRect area = owner->frameGeometry();
        move(area.center() - rect().center());
    }
    if (!isVisible()) {
        QWidget* active = QApplication::activeWindow();
        keyboardOwner_ = active != nullptr && active != this ? active : parentWidget();
    }
    show();
    raise();
    repaint();
}

void TWarningForm::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // Not every window system honours "show without activating": where this window was made
    // the active one all the same, the keyboard goes straight back to where it was.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && keyboardOwner_ &&
        keyboardOwner_->isVisible()) {
        keyboardOwner_->activateWindow();
    }
}

void TWarningForm::CloseWarning() {
    timer_.stop();
    hide();
}

QString TWarningForm::Text() const {
    return text_->text();
}

void TWarningForm::keyPressEvent(QKeyEvent* event) {
    event->accept();
    CloseWarning();
}

void TWarningForm::hideEvent(QHideEvent* event) {
    timer_.stop();
    QDialog::hideEvent(event);
}

}  // namespace kv
