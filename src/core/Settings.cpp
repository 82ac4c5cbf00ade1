#include "core/Settings.h"

#include <QDir>
#include <mutex>

#include "core/EventLog.h"
#include "core/LogName.h"
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

bool& UnreadableLogged() {
    static bool logged = false;
    return logged;
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
    const QString startBtn = QStringLiteral("StartBtn");
    if (ini.HasKey(keys, startBtn) && !IniFile::ParseInt(ini.Value(keys, startBtn), s.StartKey)) {
        s.Unreadable << QStringLiteral("[keys] StartBtn");
    }
    const auto threshold = [&](const char* key, const char* defaultText) {
        const QString name = QString::fromLatin1(key);
        const QString text = ini.Value(settings, name, QString::fromLatin1(defaultText));
        if (!LenientRealReadable(text)) {
            s.Unreadable << QStringLiteral("[settings] ") + name;
        }
        return LenientReal(text);
    };
    s.ConnectResistLo = threshold("ConnectResistLo", "1");
    s.ConnectResist = threshold("ConnectResist", "20");
    s.ConnectResistHi = threshold("ConnectResistHi", "200");
    return s;
}

ConsoleSettings CurrentSettings() {
    std::lock_guard guard(SettingsLock());
    return Stored();
}

void SetCurrentSettings(const ConsoleSettings& settings) {
    std::lock_guard guard(SettingsLock());
    Stored() = settings;
    UnreadableLogged() = false;
}

void LogUnreadableSettings() {
    QStringList keys;
    {
        std::lock_guard guard(SettingsLock());
        if (UnreadableLogged()) {
            return;
        }
        UnreadableLogged() = true;
        keys = Stored().Unreadable;
    }
    for (const QString& key : keys) {
        WriteLog(QStringLiteral("kelvanex.ini: ") + key + QStringLiteral(" не читается как число"),
                 1);
    }
}

}  // namespace kv
