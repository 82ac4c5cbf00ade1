#include "console/windows/TIndicator.h"

#include <QHBoxLayout>
#include <QLabel>

namespace kv {

TIndicator::TIndicator(const QString& ledName, const QString& labelName, const QString& text,
                       QWidget* parent)
    : QWidget(parent), led_(new TShape(this)), label_(new QLabel(text, this)) {
    led_->setObjectName(ledName);
    label_->setObjectName(labelName);
    led_->setFixedSize(18, 18);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addWidget(led_);
    layout->addWidget(label_);
    layout->addStretch(1);
    SetLook(TShape::Look::Off);
}

void TIndicator::SetLook(TShape::Look look) {
    led_->SetLook(look);
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, look == TShape::Look::On
                                               ? QColor(Qt::black)
                                               : this->palette().color(QPalette::WindowText));
    label_->setPalette(palette);
}

}  // namespace kv
