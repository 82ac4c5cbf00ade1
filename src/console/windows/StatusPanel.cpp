#include "console/windows/StatusPanel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "console/windows/PointerGauge.h"
#include "console/windows/TIndicator.h"

namespace kv {

StatusPanel::StatusPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StatusPanel"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QFont bold = font();
    bold.setBold(true);

    auto* modes = new QGroupBox(QStringLiteral(" Режим "), this);
    modes->setObjectName(QStringLiteral("ModeGroup"));
    auto* modeGrid = new QGridLayout(modes);
    modeGrid->addWidget(Add(modes, "WaitLed", "WaitLabel", QStringLiteral("Ожидание")), 0, 0);
    modeGrid->addWidget(Add(modes, "WorkLed", "WorkLabel", QStringLiteral("Работа")), 1, 0);
    modeGrid->addWidget(Add(modes, "WorkAutoLed", "WorkAutoLabel", QStringLiteral("Автомат")), 0,
                        1);
    modeGrid->addWidget(
        Add(modes, "WorkManualLed", "WorkManualLabel", QStringLiteral("Ручной запуск")), 1, 1);
    modeGrid->addWidget(Add(modes, "DirectLed", "DirectLabel", QStringLiteral("Прямое упр.")), 0,
                        2);
    modeGrid->addWidget(Add(modes, "AutoLed", "AutoLabel", QStringLiteral("Автономный")), 1, 2);
    layout->addWidget(modes);

    auto* bus = new QGroupBox(QStringLiteral(" Шина "), this);
    bus->setObjectName(QStringLiteral("BusGroup"));
    auto* busGrid = new QGridLayout(bus);
    auto* rs485Box = new QWidget(bus);
    auto* rs485Layout = new QHBoxLayout(rs485Box);
    rs485Layout->setContentsMargins(0, 0, 0, 0);
    rs485Layout->setSpacing(5);
    rs485_ = new TShape(rs485Box);
    rs485_->setObjectName(QStringLiteral("RS485"));
    rs485_->setFixedSize(18, 18);
    rs485Label_ = new QLabel(QStringLiteral("RS485"), rs485Box);
    rs485Label_->setObjectName(QStringLiteral("RS485Label"));
    rs485Layout->addWidget(rs485_);
    rs485Layout->addWidget(rs485Label_);
    rs485Layout->addStretch(1);
    busGrid->addWidget(rs485Box, 0, 0);
    busGrid->addWidget(Add(bus, "PDURLed", "PDURLabel", QStringLiteral("ПДУ(Р)")), 1, 0);
    busGrid->addWidget(Add(bus, "PowerLed", "PowerLabel", QStringLiteral("Питание")), 0, 1);
    busGrid->addWidget(Add(bus, "LinkLed", "LinkLabel", QStringLiteral("Связь")), 1, 1);
    busGrid->addWidget(Add(bus, "ForceLed", "ForceLabel", QStringLiteral("Форсир.")), 0, 2);
    busGrid->addWidget(Add(bus, "RadioLed", "RadioLabel", QStringLiteral("Радио")), 1, 2);
    auto* radios = new QWidget(bus);
    auto* radioGrid = new QGridLayout(radios);
    radioGrid->setContentsMargins(0, 0, 0, 0);
    radioGrid->setSpacing(1);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    for (int i = 0; i < 15; ++i) {
        auto* shape = new TShape(radios, TShape::Form::Rectangle);
        shape->setObjectName(QStringLiteral("R%1").arg(240 + i));
        shape->setToolTip(QStringLiteral("R%1").arg(240 + i));
        shape->setFixedSize(12, 12);
        radioUnits_[static_cast<size_t>(i)] = shape;
        radioGrid->addWidget(shape, i / 8, i % 8);
    }
    busGrid->addWidget(radios, 0, 3, 2, 1);
    layout->addWidget(bus);

    auto* sound = new QGroupBox(QStringLiteral(" Звук "), this);
    sound->setObjectName(QStringLiteral("SoundLedGroup"));
    auto* soundGrid = new QGridLayout(sound);
    soundGrid->addWidget(Add(sound, "SoundReadyLed", "SoundReadyLabel", QStringLiteral("Аудио")), 0,
                         0);
    soundGrid->addWidget(
        Add(sound, "SoundLoadedLed", "SoundLoadedLabel", QStringLiteral("Загружена")), 1, 0);
    soundGrid->addWidget(Add(sound, "SoundPlayLed", "SoundPlayLabel", QStringLiteral("Воспр.")), 0,
                         1);
    soundGrid->addWidget(Add(sound, "SyncLed", "SyncLabel", QStringLiteral("Синхр.")), 1, 1);
    layout->addWidget(sound);

    auto* power = new QGroupBox(QStringLiteral(" Питание ПК "), this);
    power->setObjectName(QStringLiteral("PcPowerGroup"));
    auto* powerGrid = new QGridLayout(power);
    batteryGauge_ = new PointerGauge(PointerGauge::Scale::Percent, power);
    batteryGauge_->setObjectName(QStringLiteral("BatteryGauge"));
    batteryLabel_ = new QLabel(QStringLiteral("100 %"), power);
    batteryLabel_->setObjectName(QStringLiteral("BatteryLabel"));
    batteryLabel_->setFont(bold);
    powerGrid->addWidget(Add(power, "MainsLed", "MainsLabel", QStringLiteral("От сети")), 0, 0);
    powerGrid->addWidget(Add(power, "BatteryLed", "BatteryLedLabel", QStringLiteral("Батарея")), 1,
                         0);
    powerGrid->addWidget(Add(power, "ChargeLed", "ChargeLabel", QStringLiteral("Зарядка")), 2, 0);
    powerGrid->addWidget(batteryGauge_, 0, 1, 3, 1);
    powerGrid->addWidget(batteryLabel_, 0, 2, 3, 1);
    layout->addWidget(power);
    layout->addStretch(1);

    for (TIndicator* indicator : indicators_) {
        indicator->Label()->setFont(bold);
    }
}

TIndicator* StatusPanel::Add(QWidget* box, const QString& led, const QString& label,
                             const QString& text) {
    auto* indicator = new TIndicator(led, label, text, box);
    indicators_.insert(led, indicator);
    return indicator;
}

TIndicator* StatusPanel::Indicator(const QString& ledName) const {
    return indicators_.value(ledName, nullptr);
}

void StatusPanel::SetLook(const QString& ledName, TShape::Look look) {
    if (TIndicator* indicator = Indicator(ledName)) {
        indicator->SetLook(look);
    }
}

TShape::Look StatusPanel::LookOf(const QString& ledName) const {
    const TIndicator* indicator = Indicator(ledName);
    return indicator != nullptr ? indicator->Look() : TShape::Look::Off;
}

TShape* StatusPanel::RadioUnit(int address) const {
    return address >= 240 && address <= 254 ? radioUnits_[static_cast<size_t>(address - 240)]
                                            : nullptr;
}

QLabel* StatusPanel::WaitLabel() const {
    return Indicator(QStringLiteral("WaitLed"))->Label();
}

}  // namespace kv
