#include "console/windows/TShape.h"

#include <QPainter>

namespace kv {

TShape::TShape(QWidget* parent, Form form) : QWidget(parent), form_(form) {
    setMinimumSize(12, 12);
}

void TShape::SetLook(Look look) {
    if (look_ != look) {
        look_ = look;
        update();
    }
}

QColor TShape::FillColor() const {
    switch (look_) {
        case Look::On:
            return QColor(0, 255, 0);
        case Look::Alarm:
            return QColor(255, 0, 0);
        case Look::Off:
            break;
    }
    return palette().color(QPalette::Button);
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.setBrush(FillColor());
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (form_ == Form::Circle) {
        const double side = std::min(box.width(), box.height());
        painter.drawEllipse(
            QRectF(box.center().x() - side / 2, box.center().y() - side / 2, side, side));
    } else {
        painter.drawRect(box);
    }
}

}  // namespace kv
