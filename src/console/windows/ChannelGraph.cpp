#include "console/windows/ChannelGraph.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "console/TestPanelModel.h"
#include "devices/TCommonControl.h"

namespace kv {

namespace {

constexpr int kWidth = TestPanelModel::kColumns * TestPanelModel::kCellWidth + 2;
constexpr int kMinRows = 3;

QColor Rgb(uint32_t rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

// Point sizes at the 96 dots per inch the grid's pixel layout is made for, whatever the screen.
QFont CellFont(bool bold, double points) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(static_cast<int>(points * 96.0 / 72.0 + 0.5));
    font.setBold(bold);
    return font;
}

// Text centred horizontally at x, its top at y.
void TextTopCentred(QPainter& p, const QString& text, int x, int y) {
    const QFontMetrics m(p.font());
    const int w = m.horizontalAdvance(text);
    p.drawText(QRect(x - w / 2 - 1, y, w + 2, m.height()), Qt::AlignHCenter | Qt::AlignTop, text);
}

// Text centred on (x, y).
void TextCentred(QPainter& p, const QString& text, int x, int y) {
    const QFontMetrics m(p.font());
    const int w = m.horizontalAdvance(text) + 2;
    const int h = m.height();
    p.drawText(QRect(x - w / 2, y - h / 2, w, h), Qt::AlignCenter, text);
}

}  // namespace

ChannelGraph::ChannelGraph(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ChannelGraph"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChannelGraph::SetModuleSource(std::function<const TCommonControl*()> source) {
    source_ = std::move(source);
    updateGeometry();
    update();
}

void ChannelGraph::Redraw() {
    updateGeometry();
    repaint();
}

int ChannelGraph::HeightFor(const TCommonControl* module) {
    const auto cells = TestPanelModel::ChannelCells(module);
    const int rows = cells.empty() ? 0 : cells.back().Channel / TestPanelModel::kColumns + 1;
    return std::max(rows, kMinRows) * TestPanelModel::kCellHeight + 2;
}

QSize ChannelGraph::sizeHint() const {
    return {kWidth, HeightFor(source_ ? source_() : nullptr)};
}

QSize ChannelGraph::minimumSizeHint() const {
    return sizeHint();
}

QImage ChannelGraph::Render(const TCommonControl* module, QSize size) {
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBackgroundMode(Qt::TransparentMode);
    const QFont number = CellFont(true, 8);
    const QFont ohms = CellFont(false, 7);
    for (const TestPanelModel::Cell& c : TestPanelModel::ChannelCells(module)) {
        const int w = c.Right - c.Left;
        const int h = c.Bottom - c.Top;
        p.fillRect(c.Left, c.Top, w, h, Rgb(c.Fill));
        // The outline lies on the cell's outermost pixels; a scripted channel that is not
        // connected gets a second, inner ring in red as well.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(c.RedOutline ? Qt::red : Qt::black, 1));
        p.drawRect(c.Left, c.Top, w - 1, h - 1);
        if (c.RedOutline) {
            p.drawRect(c.Left + 1, c.Top + 1, w - 3, h - 3);
        }
        if (c.Cross) {
            p.setPen(QPen(Rgb(c.CrossColor), 1));
            p.drawLine(c.Left, c.Top, c.Right - 1, c.Bottom - 1);
            p.drawLine(c.Right - 1, c.Top, c.Left, c.Bottom - 1);
        }
        p.setPen(Rgb(c.TextColor));
        p.setFont(number);
        if (c.Resistance.isEmpty()) {
            TextCentred(p, c.Number, c.NumberX, c.NumberY);
        } else {
            TextTopCentred(p, c.Number, c.NumberX, c.NumberY);
            p.setFont(ohms);
            TextTopCentred(p, c.Resistance, c.ResistanceX, c.ResistanceY);
        }
    }
    return image;
}

void ChannelGraph::paintEvent(QPaintEvent*) {
    const QImage image = Render(source_ ? source_() : nullptr, size());
    QPainter(this).drawImage(0, 0, image);
}

}  // namespace kv
