#include "console/DeviceRowText.h"

#include <cmath>

#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "util/SystemUtils.h"

namespace kv {

namespace {

constexpr int kRowWidth = 28;
// Firmware from this version on reports the module temperature with each status poll.
constexpr int32_t kFirstVersionWithTemperature = 875;
constexpr uint32_t kYellow = 0xFFFF00;

// Writes field so that it ends in column lastColumn (1-based); parts before column 1 are cut.
void PutEndingAt(QString& row, int lastColumn, const QString& field) {
    const int start = lastColumn - static_cast<int>(field.size());
    for (int i = 0; i < field.size(); ++i) {
        const int column = start + i;  // 0-based
        if (column >= 0 && column < kRowWidth) {
            row[column] = field[i];
        }
    }
}

void PutStartingAt(QString& row, int firstColumn, const QString& field) {
    for (int i = 0; i < field.size(); ++i) {
        const int column = firstColumn - 1 + i;
        if (column >= 0 && column < kRowWidth) {
            row[column] = field[i];
        }
    }
}

}  // namespace

DeviceRowFields DeviceRowFields::FromControl(const TCommonControl& module) {
    DeviceRowFields row;
    row.address = module.Address;
    row.kind = module.Kind;
    row.version = module.Version;
    row.lastResult = module.LastResult;
    row.channelCount = module.ChannelCount;
    row.supplyVoltage = module.SupplyVoltage;
    row.outputVoltage = module.OutputVoltage;
    row.forcing = module.Forcing;
    row.mode = module.Mode;
    row.temperature = module.Temperature;
    row.linkQuality = module.LinkQuality();
    return row;
}

QString DeviceRowText(const DeviceRowFields& f) {
    QString row = QStringLiteral("   .     ??.??v     0%      ");
    PutEndingAt(row, 3, QString::number(f.address));
    PutStartingAt(row, 6, QString::number(f.channelCount));
    PutEndingAt(row, 14, QLatin1Char(' ') + QString::number(f.supplyVoltage, 'f', 2));
    PutEndingAt(row, 21, QStringLiteral("  ") + QString::number(f.linkQuality));
    row[16] = f.forcing == ForcingOn ? QLatin1Char('+') : QLatin1Char(' ');
    if (f.kind == KindHVControl) {
        PutEndingAt(row, 28,
                    QStringLiteral("  ") + QString::number(RoundHalfAway(f.outputVoltage)) +
                        QLatin1Char('v'));
    } else if (f.version >= kFirstVersionWithTemperature) {
        const QString sign = f.temperature < 0 ? QStringLiteral(" -") : QStringLiteral(" +");
        PutEndingAt(row, 28,
                    sign + QString::number(RoundHalfAway(std::fabs(f.temperature))) +
                        QChar(0x00B0) + QLatin1Char('C'));
    }
    return row;
}

DeviceRowColors DeviceRowColorsFor(const DeviceRowFields& row) {
    const UiColor black = UiColor::Rgb(colors::kBlack);
    if (row.lastResult != 0) {
        return {UiColor::Rgb(colors::kRed), UiColor::Rgb(colors::kWhite)};
    }
    switch (row.mode) {
        case ModeLaunch:
            return {UiColor::Rgb(colors::kLime), black};
        case ModeTest:
            return {UiColor::Rgb(colors::kWhite), black};
        default:
            return {UiColor::Rgb(kYellow), black};
    }
}

}  // namespace kv
