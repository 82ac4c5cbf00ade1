#include "console/windows/DevicePanel.h"

#include <QFontDatabase>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "console/ConsoleSession.h"
#include "console/ConsoleWiring.h"
#include "console/DeviceFreshness.h"
#include "console/DeviceRowText.h"
#include "console/windows/UiLooks.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"

namespace kv {

DevicePanel::DevicePanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("DeviceListPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    total_ = new QLabel(this);
    total_->setObjectName(QStringLiteral("DevicesLabel"));
    QFont bold = font();
    bold.setBold(true);
    total_->setFont(bold);
    layout->addWidget(total_);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("DevicePanel"));
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(fixed.pointSizeF() * 1.15);
    setFont(fixed);
    const int width = QFontMetrics(fixed).horizontalAdvance(QString(28, QLatin1Char('0'))) + 36;
    scroll->setFixedWidth(width);
    auto* host = new QWidget(scroll);
    host->setStyleSheet(QStringLiteral("background: white;"));
    rowsLayout_ = new QVBoxLayout(host);
    rowsLayout_->setContentsMargins(2, 2, 2, 2);
    rowsLayout_->setSpacing(1);
    rowsLayout_->addStretch(1);
    scroll->setWidget(host);
    layout->addWidget(scroll, 1);
    total_->setFont(bold);
}

void DevicePanel::SetRows(const std::vector<int>& deviceIndices) {
    for (const Row& row : rows_) {
        delete row.label;
    }
    rows_.clear();
    const QFont fixed = font();
    for (int index : deviceIndices) {
        auto* label = new QLabel(rowsLayout_->parentWidget());
        label->setFont(fixed);
        label->setFixedHeight(QFontMetrics(fixed).height() + 4);
        label->setFrameShape(QFrame::Box);
        rowsLayout_->insertWidget(static_cast<int>(rows_.size()), label);
        rows_.push_back({index, label});
    }
}

void DevicePanel::SetRow(int deviceIndex, const DeviceRowFields& fields) {
    for (const Row& row : rows_) {
        if (row.deviceIndex != deviceIndex) {
            continue;
        }
        const DeviceRowColors colors = DeviceRowColorsFor(fields);
        row.label->setText(DeviceRowText(fields));
        row.label->setStyleSheet(QStringLiteral("QLabel { background: %1; color: %2; }")
                                     .arg(ToQColor(colors.background, palette()).name(),
                                          ToQColor(colors.text, palette()).name()));
    }
}

void DevicePanel::SetStaleRow(int deviceIndex, const QString& text) {
    for (const Row& row : rows_) {
        if (row.deviceIndex == deviceIndex) {
            row.label->setText(text);
            row.label->setStyleSheet(
                QStringLiteral("QLabel { background: #b0b0b0; color: #202020; }"));
        }
    }
}

void DevicePanel::SetTotal(const QString& text) {
    total_->setText(text);
}

QString DevicePanel::RowText(int row) const {
    return row >= 0 && row < RowCount() ? rows_[static_cast<size_t>(row)].label->text() : QString();
}

QString DevicePanel::RowStyle(int row) const {
    return row >= 0 && row < RowCount() ? rows_[static_cast<size_t>(row)].label->styleSheet()
                                        : QString();
}

}  // namespace kv

namespace kv {

void DevicePanel::Bind(ConsoleSession& session) {
    session_ = &session;
    ConsoleWiring& wiring = session.Wiring();
    connect(&wiring, &ConsoleWiring::DeviceListChanged, this, &DevicePanel::Rebuild);
    connect(&wiring, &ConsoleWiring::DevicePolled, this, &DevicePanel::ShowDevice);
    connect(&session, &ConsoleSession::DeviceFreshnessChanged, this, &DevicePanel::ShowDevice);
    connect(&session, &ConsoleSession::StaleCountChanged, this, &DevicePanel::ShowTotal);
}

void DevicePanel::Rebuild() {
    const TControls& controls = session_->Wiring().Controls();
    std::vector<int> rows;
    for (int i = 0; i < controls.Count(); ++i) {
        if (controls.ModuleAt(i) != nullptr) {
            rows.push_back(i);
        }
    }
    SetRows(rows);
    for (int index : rows) {
        ShowDevice(index);
    }
    ShowTotal();
}

void DevicePanel::ShowDevice(int deviceIndex) {
    const TCommonControl* module = session_->Wiring().Controls().ModuleAt(deviceIndex);
    if (module == nullptr) {
        return;
    }
    const DeviceRowFields fields = DeviceRowFields::FromControl(*module);
    const DeviceFreshness& freshness = session_->Freshness();
    if (freshness.Stale(module->Address)) {
        SetStaleRow(deviceIndex,
                    StaleRowText(kv::DeviceRowText(fields), freshness.Misses(module->Address),
                                 session_->Wiring().ConverterFault()));
    } else {
        SetRow(deviceIndex, fields);
    }
}

void DevicePanel::ShowTotal() {
    SetTotal(Message(Msg::ConnectedDeviceTotal) + QLatin1Char(' ') +
             QString::number(session_->Wiring().Controls().Count()) +
             StaleCountSuffix(session_->Freshness().StaleCount()));
}

}  // namespace kv
