#include "console/windows/PointerGauge.h"

#include <QPainter>

namespace kv {

namespace {

// The scale spans x = 4..124 of the gauge; the picture is drawn at (4, 4), so its own x runs
// 0..120 and the tick at picture x maps to gauge x + 4.
constexpr int kScaleWidth = 121;
constexpr int kScaleHeight = 20;

}  // namespace

PointerGauge::PointerGauge(Scale scale, QWidget* parent)
    : QWidget(parent), scale_(ScalePicture(scale)) {
    setFixedSize(kWidth, kHeight);
}

void PointerGauge::SetNeedleX(int x) {
    if (needleX_ != x) {
        needleX_ = x;
        update();
    }
}

QPixmap PointerGauge::ScalePicture(Scale scale) {
    QPixmap picture(kScaleWidth, kScaleHeight);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setPen(QColor(64, 64, 64));
    painter.drawLine(0, kScaleHeight / 2, kScaleWidth - 1, kScaleHeight / 2);
    for (int i = 0; i <= 10; ++i) {
        const int x = i * 12;
        const bool major = scale == Scale::Centred ? (i == 5 || i == 0 || i == 10) : i % 5 == 0;
        const int half = major ? 7 : 4;
        painter.drawLine(x, kScaleHeight / 2 - half, x, kScaleHeight / 2 + half);
    }
    if (scale == Scale::Percent) {
        // The low end of a battery is where the operator must look: a red band below 20 %.
        painter.fillRect(QRect(0, kScaleHeight / 2 - 2, 24, 4), QColor(255, 0, 0));
    } else {
        painter.fillRect(QRect(58, kScaleHeight / 2 - 2, 5, 4), QColor(0, 160, 0));
    }
    return picture;
}

QImage PointerGauge::Render() const {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(palette().color(QPalette::Button));
    QPainter painter(&image);
    painter.drawPixmap(4, 4, scale_);
    painter.setPen(QPen(QColor(0, 0, 128), 1));
    const int x = needleX_;
    const QPoint needle[] = {{x, 4},  {x - 4, 0},  {x + 4, 0},  {x, 4},
                             {x, 19}, {x + 4, 23}, {x - 4, 23}, {x, 19}};
    painter.drawPolyline(needle, 8);
    return image;
}

void PointerGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, Render());
}

}  // namespace kv
