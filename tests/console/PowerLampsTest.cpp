// The PC power lamps read from a power-supply folder laid out as the kernel's sysfs class.
#include <gtest/gtest.h>

#include <QDir>

#include "TempDir.h"
#include "console/PowerLamps.h"
#include "core/PcPower.h"

using namespace kv;

namespace {

// One supply folder with its attribute files.
void Supply(const TempDir& root, const QString& name,
            const std::vector<std::pair<const char*, const char*>>& files) {
    QDir().mkpath(root.file(name));
    for (const auto& [file, value] : files) {
        root.write(name + QLatin1Char('/') + QString::fromLatin1(file), QByteArray(value) + '\n');
    }
}

PowerLamps Lamps(const TempDir& root) {
    SysfsPowerSupply source(root.path());
    return ReadPowerLamps(source);
}

TEST(PcPowerLamps, LaptopOnBatteryGreenThenRedBelowThirtyPercent) {
    TempDir root;
    Supply(root, "AC", {{"type", "Mains"}, {"online", "0"}});
    Supply(root, "BAT0",
           {{"type", "Battery"}, {"present", "1"}, {"capacity", "30"}, {"status", "Discharging"}});
    PowerLamps lamps = Lamps(root);
    EXPECT_EQ(lamps.mains, PowerLamp::Off);
    EXPECT_EQ(lamps.battery, PowerLamp::On);
    EXPECT_EQ(lamps.charging, PowerLamp::Off);
    EXPECT_EQ(lamps.percent, 30);

    root.write("BAT0/capacity", "29\n");
    lamps = Lamps(root);
    EXPECT_EQ(lamps.battery, PowerLamp::Alarm);
    EXPECT_EQ(lamps.percent, 29);
}

TEST(PcPowerLamps, LaptopOnMainsChargingKeepsTheBatteryLampDark) {
    TempDir root;
    Supply(root, "ADP1", {{"type", "Mains"}, {"online", "1"}});
    Supply(root, "BAT1",
           {{"type", "Battery"}, {"present", "1"}, {"capacity", "12"}, {"status", "Charging"}});
    // A wireless mouse's battery is not the PC's.
    Supply(root, "hidpp_battery_0",
           {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "5"}, {"status", "Charging"}});
    const PowerLamps lamps = Lamps(root);
    EXPECT_EQ(lamps.mains, PowerLamp::On);
    EXPECT_EQ(lamps.battery, PowerLamp::Off);
    EXPECT_EQ(lamps.charging, PowerLamp::On);
    EXPECT_EQ(lamps.percent, 12);
}

TEST(PcPowerLamps, DesktopWithoutBatteryIsOnMainsAndKeepsTheBatteryDark) {
    TempDir root;  // an empty class folder: no supply reported at all
    PowerLamps lamps = Lamps(root);
    EXPECT_EQ(lamps.mains, PowerLamp::On);
    EXPECT_EQ(lamps.battery, PowerLamp::Off);
    EXPECT_EQ(lamps.percent, 100) << "an unknown charge reads as full";

    // Only a peripheral's battery, discharging: still a desktop on mains.
    Supply(root, "hid-mouse",
           {{"type", "Battery"}, {"scope", "Device"}, {"status", "Discharging"}});
    lamps = Lamps(root);
    EXPECT_EQ(lamps.mains, PowerLamp::On);
    EXPECT_EQ(lamps.battery, PowerLamp::Off);
}

TEST(PcPowerLamps, BatteryWithoutMainsEntryOrCapacity) {
    TempDir root;
    Supply(root, "BAT0", {{"type", "Battery"}, {"status", "Discharging"}});
    PowerLamps lamps = Lamps(root);
    EXPECT_EQ(lamps.mains, PowerLamp::Off);
    EXPECT_EQ(lamps.battery, PowerLamp::On) << "unknown charge counts as 100 %";
    EXPECT_EQ(lamps.percent, 100);
    root.write("BAT0/status", "Full\n");
    EXPECT_EQ(Lamps(root).mains, PowerLamp::On) << "a full battery without discharge is on mains";
    root.write("BAT0/present", "0\n");
    EXPECT_EQ(Lamps(root).battery, PowerLamp::Off) << "an empty battery bay";
}

TEST(PcPowerLamps, UnreadableStatusDarkensEverything) {
    SysfsPowerSupply source(QStringLiteral("/nonexistent/power_supply"));
    const PowerLamps lamps = ReadPowerLamps(source);
    EXPECT_EQ(lamps.mains, PowerLamp::Off);
    EXPECT_EQ(lamps.battery, PowerLamp::Off);
    EXPECT_EQ(lamps.charging, PowerLamp::Off);
    EXPECT_EQ(lamps.percent, 0);
}

}  // namespace
