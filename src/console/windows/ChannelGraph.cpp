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
constexpr int kRedFrame = 3;  // pixels of the red frame
constexpr int kFlag = 10;     // side of the script's corner flag

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

void ChannelGraph::SetModuleSource(const ModuleSelection* source) {
    source_ = source;
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
    return {kWidth, HeightFor(source_ != nullptr ? source_->SelectedModule() : nullptr)};
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
    const QFont number = CellFont(true, 10);
    const QFont ohms = CellFont(true, 10);
    for (const TestPanelModel::Cell& c : TestPanelModel::ChannelCells(module)) {
        const int w = c.Right - c.Left;
        const int h = c.Bottom - c.Top;
        p.fillRect(c.Left, c.Top, w, h, Rgb(c.Fill));
        // A scripted channel without an igniter must stand out at a glance: a thick red frame
        // instead of the thin black one.
        p.setBrush(Qt::NoBrush);
        if (c.RedOutline) {
            p.setPen(QPen(Qt::red, 1));
            for (int k = 0; k < kRedFrame; ++k) {
                p.drawRect(c.Left + k, c.Top + k, w - 1 - 2 * k, h - 1 - 2 * k);
            }
        } else {
            p.setPen(QPen(Qt::black, 1));
            p.drawRect(c.Left, c.Top, w - 1, h - 1);
        }
        if (c.Cross) {
            // The script's mark: a flag in the top right corner, clear of the figures.
            const int inset = c.RedOutline ? kRedFrame : 1;
            const int x = c.Right - 1 - inset;
            const int y = c.Top + inset;
            const QPoint flag[3] = {{x - kFlag, y}, {x, y}, {x, y + kFlag}};
            p.setPen(Qt::NoPen);
            p.setBrush(Rgb(c.CrossColor));
            p.drawPolygon(flag, 3);
            p.setBrush(Qt::NoBrush);
        }
        p.setPen(Rgb(c.TextColor));
        p.setFont(number);
        if (c.Resistance.isEmpty()) {
            TextCentred(p, c.Number, c.NumberX, c.NumberY);
        } else {
            TextTopCentred(p, c.Number, c.NumberX, c.NumberY);
            // A word ("обрыв") is narrowed until it fits inside the frame.
            QFont fitted = ohms;
            const int room = w - 2 * (c.RedOutline ? kRedFrame : 1) - 2;
            while (fitted.pixelSize() > 9 &&
                   QFontMetrics(fitted).horizontalAdvance(c.Resistance) > room) {
                fitted.setPixelSize(fitted.pixelSize() - 1);
            }
            p.setFont(fitted);
            TextTopCentred(p, c.Resistance, c.ResistanceX, c.ResistanceY);
        }
    }
    return image;
}

void ChannelGraph::paintEvent(QPaintEvent*) {
    const QImage image = Render(source_ != nullptr ? source_->SelectedModule() : nullptr, size());
    QPainter(this).drawImage(0, 0, image);
}

}  // namespace kv
