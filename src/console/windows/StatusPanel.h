#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <optional>

#include "console/IndicatorLooks.h"

#include "console/windows/TShape.h"

class QLabel;

namespace kv {

class ConsoleSession;
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

    // The lamps by what they show; their object names are "WaitLed", "PowerLed", ...
    enum class Lamp {
        Wait,
        Work,
        WorkAuto,
        WorkManual,
        Direct,
        Autonomous,  // the console's modes
        Remote,
        Power,
        Link,
        Forcing,
        Radio,  // the bus
        SoundReady,
        SoundLoaded,
        SoundPlay,
        Sync,  // the sound
        Mains,
        Battery,
        Charging,  // the PC's power
        Count
    };
    TIndicator* Indicator(Lamp lamp) const;
    void SetLook(Lamp lamp, TShape::Look look);
    TShape::Look LookOf(Lamp lamp) const;

    // The lamp of radio unit address 240..254.
    TShape* RadioUnit(int address) const;
    TShape* Rs485() const { return rs485_; }
    QLabel* Rs485Label() const { return rs485Label_; }
    QLabel* WaitLabel() const;
    PointerGauge* BatteryGauge() const { return batteryGauge_; }
    QLabel* BatteryLabel() const { return batteryLabel_; }

    // Draws the session: the modes, the bus summary and presence, the sound and the PC's power,
    // each on its signal; the blinking lamps and the sound lamps on timers of their own.
    void Bind(ConsoleSession& session);
    // The first drawing, once the window is shown.
    void Start();
    void ShowModes();
    void ShowSummary();
    void ShowSound();
    void ShowPower();
    QTimer& BlinkTimer() { return blinkTimer_; }

private:
    void ShowPresence();
    void SoundTick();
    void Blink();
    void SetLookIf(Lamp lamp, const std::optional<kv::Look>& look);
    TIndicator* Add(QWidget* box, Lamp lamp, const char* led, const char* label,
                    const QString& text);

    std::array<TIndicator*, static_cast<size_t>(Lamp::Count)> lamps_{};
    std::array<TShape*, 15> radioUnits_{};
    TShape* rs485_ = nullptr;
    QLabel* rs485Label_ = nullptr;
    PointerGauge* batteryGauge_ = nullptr;
    QLabel* batteryLabel_ = nullptr;
    ConsoleSession* session_ = nullptr;
    PresenceLeds presence_;
    QTimer blinkTimer_;
    QTimer soundTimer_;
};

}  // namespace kv
