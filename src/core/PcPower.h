#pragma once

#include <QString>

namespace kv {

// The PC's own power supply as the console shows it: on mains or not, whether a system battery
// is fitted, how full it is and whether it charges.
struct PcPowerStatus {
    bool mainsOnline = false;
    bool batteryPresent = false;
    int batteryPercent = -1;  // -1 when the system does not know
    bool charging = false;
};

// Where the status comes from; Read returns false when the system cannot tell.
class PcPowerSource {
public:
    virtual ~PcPowerSource() = default;
    virtual bool Read(PcPowerStatus& status) = 0;
};

// The kernel's power-supply class: one folder per supply under root, each with a "type" file
// ("Mains", "USB...", "Battery", ...) and "online" for supplies, "present", "capacity" and
// "status" for batteries. Batteries of peripherals (scope "Device": mice, headsets) are not the
// PC's. Without any mains entry the PC counts as on mains when it has no battery (a desktop) or
// when a battery reports that it charges or is full.
class SysfsPowerSupply : public PcPowerSource {
public:
    explicit SysfsPowerSupply(QString root = QStringLiteral("/sys/class/power_supply"));
    bool Read(PcPowerStatus& status) override;

private:
    QString root_;
};

}  // namespace kv
