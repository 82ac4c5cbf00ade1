#include "core/Settings.h"

#include <QDir>
#include <mutex>

#include "core/FileLocations.h"
#include "util/IniFile.h"
#include "util/SystemUtils.h"

namespace kv {

namespace {

std::mutex& SettingsLock() {
    static std::mutex lock;
    return lock;
}

ConsoleSettings& Stored() {
    static ConsoleSettings settings;
    return settings;
}

}  // namespace

QString DefaultSettingsFilePath() {
    return CurrentFileLocations().settingsFile;
}

ConsoleSettings ReadConsoleSettings(const QString& iniPath) {
    ConsoleSettings s;
    IniFile ini;
    if (!ini.Load(iniPath))
        return s;
    const QString keys = QStringLiteral("keys");
    const QString settings = QStringLiteral("settings");
    s.StartKey = ini.IntValue(keys, QStringLiteral("StartBtn"), s.StartKey);
    s.ConnectResistLo =
        LenientReal(ini.Value(settings, QStringLiteral("ConnectResistLo"), QStringLiteral("1")));
    s.ConnectResist =
        LenientReal(ini.Value(settings, QStringLiteral("ConnectResist"), QStringLiteral("20")));
    s.ConnectResistHi =
        LenientReal(ini.Value(settings, QStringLiteral("ConnectResistHi"), QStringLiteral("200")));
    return s;
}

ConsoleSettings CurrentSettings() {
    std::lock_guard guard(SettingsLock());
    return Stored();
}

void SetCurrentSettings(const ConsoleSettings& settings) {
    std::lock_guard guard(SettingsLock());
    Stored() = settings;
}

}  // namespace kv
