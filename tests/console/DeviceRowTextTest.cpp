#include "console/DeviceRowText.h"

#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "devices/DeviceKinds.h"

namespace kv {
namespace {

DeviceRowFields Module() {
    DeviceRowFields f;
    f.address = 12;
    f.kind = KindCommonControl;
    f.version = 0x46B;
    f.channelCount = 40;
    f.supplyVoltage = 12.4;
    f.forcing = ForcingOn;
    f.mode = ModeLaunch;
    f.temperature = 23.4;
    f.linkQuality = 100;
    return f;
}

TEST(DeviceRowText, FieldsSitInTheirColumns) {
    EXPECT_EQ(DeviceRowText(Module()), QStringLiteral(" 12. 40  12.40v + 100% +23°C"));

    DeviceRowFields f = Module();
    f.address = 3;
    f.channelCount = 8;
    f.supplyVoltage = 9.996;  // rounds to two decimals
    f.forcing = ForcingOff;
    f.linkQuality = 7;
    f.temperature = -2.5;  // half away from zero
    EXPECT_EQ(DeviceRowText(f), QStringLiteral("  3. 8   10.00v     7%  -3°C"));
    EXPECT_EQ(DeviceRowText(f).size(), 28);
}

TEST(DeviceRowText, LastFieldByKindAndFirmware) {
    DeviceRowFields hv = Module();
    hv.kind = KindHVControl;
    hv.outputVoltage = 299.5;
    EXPECT_TRUE(DeviceRowText(hv).endsWith(QStringLiteral("  300v")));

    // Firmware before the temperature reading keeps the template's blanks.
    DeviceRowFields old = Module();
    old.version = 874;
    EXPECT_TRUE(DeviceRowText(old).endsWith(QStringLiteral("100%      ")));
    old.version = 875;
    EXPECT_TRUE(DeviceRowText(old).endsWith(QStringLiteral("+23°C")));
}

TEST(DeviceRowText, ColoursFollowResultThenMode) {
    DeviceRowFields f = Module();
    EXPECT_EQ(DeviceRowColorsFor(f).background, UiColor::Rgb(0x00FF00));
    f.mode = ModeTest;
    EXPECT_EQ(DeviceRowColorsFor(f).background, UiColor::Rgb(0xFFFFFF));
    f.mode = ModeUnknown;
    EXPECT_EQ(DeviceRowColorsFor(f).background, UiColor::Rgb(0xFFFF00));
    EXPECT_EQ(DeviceRowColorsFor(f).text, UiColor::Rgb(0x000000));
    f.lastResult = ResultTimeout;
    EXPECT_EQ(DeviceRowColorsFor(f).background, UiColor::Rgb(0xFF0000));
    EXPECT_EQ(DeviceRowColorsFor(f).text, UiColor::Rgb(0xFFFFFF));
}

}  // namespace
}  // namespace kv
