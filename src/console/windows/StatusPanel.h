#pragma once

#include <QHash>
#include <QString>
#include <QWidget>
#include <array>

#include "console/windows/TShape.h"

class QLabel;

namespace kv {

class PointerGauge;
class TIndicator;

// The indicators of the main window in three groups: the console's modes (Ожидание, Работа,
// Автомат, Ручной запуск, Прямое упр., Автономный), the bus (RS485, ПДУ(Р), Радио with one lamp
// per radio unit R240..R254, Питание, Связь, Форсир.) and the sound (Аудио, Загружена, Воспр.,
// Синхр.), with the PC's power lamps (От сети, Батарея, Зарядка) and battery gauge.
class StatusPanel : public QWidget {
    Q_OBJECT
public:
    explicit StatusPanel(QWidget* parent = nullptr);

    // The indicator whose lamp has this object name ("WaitLed", "PowerLed", ...); nullptr if
    // there is none.
    TIndicator* Indicator(const QString& ledName) const;
    void SetLook(const QString& ledName, TShape::Look look);
    TShape::Look LookOf(const QString& ledName) const;

    // The lamp of radio unit address 240..254.
    TShape* RadioUnit(int address) const;
    TShape* Rs485() const { return rs485_; }
    QLabel* Rs485Label() const { return rs485Label_; }
    QLabel* WaitLabel() const;
    PointerGauge* BatteryGauge() const { return batteryGauge_; }
    QLabel* BatteryLabel() const { return batteryLabel_; }

private:
    TIndicator* Add(QWidget* box, const QString& led, const QString& label, const QString& text);

    QHash<QString, TIndicator*> indicators_;
    std::array<TShape*, 15> radioUnits_{};
    TShape* rs485_ = nullptr;
    QLabel* rs485Label_ = nullptr;
    PointerGauge* batteryGauge_ = nullptr;
    QLabel* batteryLabel_ = nullptr;
};

}  // namespace kv
