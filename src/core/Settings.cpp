#include "core/Settings.h"

#include <QDir>
#include <mutex>
#include <utility>

#include "core/EventLog.h"
#include "core/FileLocations.h"
#include "core/LogName.h"
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
    if (!ini.Load(iniPath)) {
        return s;
    }
    const QString keys = QStringLiteral("keys");
    const QString settings = QStringLiteral("settings");
    const QString startBtn = QStringLiteral("StartBtn");
    if (ini.HasKey(keys, startBtn) && !IniFile::ParseInt(ini.Value(keys, startBtn), s.StartKey)) {
        s.Unreadable << QStringLiteral("[keys] StartBtn");
    }
    // A threshold that does not read as a number keeps its default: as 0 it would turn every
    // good igniter into a fault.
    const auto threshold = [&](const char* key, double fallback) {
        const QString name = QString::fromLatin1(key);
        const QString text = ini.Value(settings, name, QString::number(fallback));
        if (!LenientRealReadable(text)) {
            s.Unreadable << QStringLiteral("[settings] ") + name;
            return fallback;
        }
        return LenientReal(text);
    };
    const ConsoleSettings defaults;
    s.ConnectResistLo = threshold("ConnectResistLo", defaults.ConnectResistLo);
    s.ConnectResist = threshold("ConnectResist", defaults.ConnectResist);
    s.ConnectResistHi = threshold("ConnectResistHi", defaults.ConnectResistHi);
    // Bands that cannot tell a good igniter from an open or shorted channel are refused with
    // the key that breaks them; the tests then use the defaults.
    const auto refuse = [&](const char* key, double value, const char* why) {
        s.Invalid << QStringLiteral("[settings] %1=%2: %3")
                         .arg(QString::fromLatin1(key))
                         .arg(value)
                         .arg(QString::fromLatin1(why));
    };
    if (s.ConnectResistLo < 0) {
        refuse("ConnectResistLo", s.ConnectResistLo, "below 0");
    }
    if (s.ConnectResist <= s.ConnectResistLo) {
        refuse("ConnectResist", s.ConnectResist, "not above ConnectResistLo");
    }
    if (s.ConnectResistHi <= s.ConnectResist) {
        refuse("ConnectResistHi", s.ConnectResistHi, "not above ConnectResist");
    }
    for (const auto& [key, value] : {std::pair{"ConnectResistLo", s.ConnectResistLo},
                                     std::pair{"ConnectResist", s.ConnectResist},
                                     std::pair{"ConnectResistHi", s.ConnectResistHi}}) {
        if (value > kHighestResistanceReading) {
            refuse(key, value, "above the highest reading of a module (6553.5)");
        }
    }
    if (!s.Invalid.isEmpty()) {
        s.ConnectResistLo = defaults.ConnectResistLo;
        s.ConnectResist = defaults.ConnectResist;
        s.ConnectResistHi = defaults.ConnectResistHi;
    }
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
    QStringList invalid;
    {
        std::lock_guard guard(SettingsLock());
        if (UnreadableLogged()) {
            return;
        }
        UnreadableLogged() = true;
        keys = Stored().Unreadable;
        invalid = Stored().Invalid;
    }
    for (const QString& key : keys) {
        WriteLog(QStringLiteral("kelvanex.ini: ") + key + QStringLiteral(" не читается как число"),
                 1);
    }
    for (const QString& text : invalid) {
        WriteLog(QStringLiteral("kelvanex.ini: ") + text, 1);
    }
}

}  // namespace kv
