#include "core/PcPower.h"

#include <QDir>
#include <QFile>
#include <utility>

namespace kv {

namespace {

QString ReadValue(const QDir& dir, const char* name) {
    QFile f(dir.filePath(QString::fromLatin1(name)));
    if (!f.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(f.readAll()).trimmed();
}

}  // namespace

SysfsPowerSupply::SysfsPowerSupply(QString root) : root_(std::move(root)) {}

bool SysfsPowerSupply::Read(PcPowerStatus& status) {
    status = PcPowerStatus{};
    const QDir root(root_);
    if (!root.exists()) {
        return false;
    }
    bool anyMains = false;
    bool batteryOnMains = false;
    int batteries = 0;
    int percentSum = 0;
    int percentCount = 0;
    const QStringList entries =
        root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& name : entries) {
        const QDir dir(root.filePath(name));
        const QString type = ReadValue(dir, "type");
        if (ReadValue(dir, "scope").compare(QLatin1String("Device"), Qt::CaseInsensitive) == 0) {
            continue;
        }
        if (type == QLatin1String("Mains") || type.startsWith(QLatin1String("USB"))) {
            anyMains = true;
            if (ReadValue(dir, "online") == QLatin1String("1")) {
                status.mainsOnline = true;
            }
        } else if (type == QLatin1String("Battery")) {
            const QString present = ReadValue(dir, "present");
            if (present == QLatin1String("0")) {
                continue;
            }
            ++batteries;
            const QString state = ReadValue(dir, "status");
            if (state == QLatin1String("Charging")) {
                status.charging = true;
            }
            if (state == QLatin1String("Charging") || state == QLatin1String("Full") ||
                state == QLatin1String("Not charging")) {
                batteryOnMains = true;
            }
            bool ok = false;
            const int capacity = ReadValue(dir, "capacity").toInt(&ok);
            if (ok && capacity >= 0 && capacity <= 100) {
                percentSum += capacity;
                ++percentCount;
            }
        }
    }
    status.batteryPresent = batteries > 0;
    if (percentCount > 0) {
        status.batteryPercent = (percentSum + percentCount / 2) / percentCount;
    }
    if (!anyMains) {
        status.mainsOnline = batteries == 0 || batteryOnMains;
    }
    return true;
}

}  // namespace kv
