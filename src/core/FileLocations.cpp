#include "core/FileLocations.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <mutex>
#include <optional>

#include "core/LogName.h"
#include "i18n/Localizer.h"

namespace kv {

namespace {

QString Name(const char* name) {
    return QString::fromLatin1(name);
}

// An XDG base folder: the variable when it is an absolute path (relative ones are invalid and
// ignored), otherwise the fallback below the home folder.
QString XdgBase(const QString& variable, const QString& home, const QString& fallback) {
    if (!variable.isEmpty() && QDir::isAbsolutePath(variable)) {
        return QDir::cleanPath(variable);
    }
    return QDir::cleanPath(QDir(home).filePath(fallback));
}

bool IsPortableFolder(const QString& dir) {
    const QDir d(dir);
    if (QFileInfo::exists(d.filePath(Name(kSettingsFileName))) ||
        QFileInfo::exists(d.filePath(Name(kLanguageFileName))) ||
        QFileInfo(d.filePath(Name(kLogsFolderName))).isDir()) {
        return true;
    }
    return QFileInfo(dir).isWritable() && QFileInfo::exists(d.filePath(Name(kPortableMarkerName)));
}

// The user's copy when there is one, else the system's when there is one, else the user's
// (missing: the defaults apply, and that is where the operator is told to put it).
QString FirstExisting(const QString& userDir, const QString& systemDir, const char* name) {
    const QString user = QDir(userDir).filePath(Name(name));
    if (QFileInfo::exists(user)) {
        return user;
    }
    if (!systemDir.isEmpty()) {
        const QString system = QDir(systemDir).filePath(Name(name));
        if (QFileInfo::exists(system)) {
            return system;
        }
    }
    return user;
}

struct Current {
    std::mutex lock;
    std::optional<FileLocations> locations;
};

Current& Stored() {
    static Current current;
    return current;
}

}  // namespace

FileLocationInputs FileLocationInputs::FromEnvironment(const QString& programDir,
                                                       const QString& configDirOption,
                                                       const QString& logDirOption) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    FileLocationInputs in;
    in.programDir = programDir;
    in.configDirOption = configDirOption;
    in.logDirOption = logDirOption;
    in.xdgConfigHome = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    in.xdgStateHome = env.value(QStringLiteral("XDG_STATE_HOME"));
    in.home = QDir::homePath();
    return in;
}

FileLocations ResolveFileLocations(const FileLocationInputs& in) {
    FileLocations out;
    out.portable = IsPortableFolder(in.programDir);
    if (out.portable) {
        out.configDir = in.programDir;
        out.settingsFile = QDir(in.programDir).filePath(Name(kSettingsFileName));
        out.languageFile = QDir(in.programDir).filePath(Name(kLanguageFileName));
        out.logDir = QDir(in.programDir).filePath(Name(kLogsFolderName));
    } else {
        const QString program = QStringLiteral("kelvane");
        out.configDir =
            QDir(XdgBase(in.xdgConfigHome, in.home, QStringLiteral(".config"))).filePath(program);
        out.settingsFile = FirstExisting(out.configDir, in.systemConfigDir, kSettingsFileName);
        out.languageFile = FirstExisting(out.configDir, in.systemConfigDir, kLanguageFileName);
        out.logDir = QDir(XdgBase(in.xdgStateHome, in.home, QStringLiteral(".local/state")))
                         .filePath(program + QLatin1Char('/') + Name(kLogsFolderName));
    }
    if (!in.configDirOption.isEmpty()) {
        out.configDir = in.configDirOption;
        out.settingsFile = QDir(in.configDirOption).filePath(Name(kSettingsFileName));
        out.languageFile = QDir(in.configDirOption).filePath(Name(kLanguageFileName));
    }
    if (!in.logDirOption.isEmpty()) {
        out.logDir = in.logDirOption;
    }
    return out;
}

QString DescribeFileLocations(const FileLocations& l) {
    return QStringLiteral("settings: %1\nlanguage file: %2\nlogs: %3\n")
        .arg(QDir::toNativeSeparators(l.settingsFile), QDir::toNativeSeparators(l.languageFile),
             QDir::toNativeSeparators(l.logDir));
}

QString FileLocationsLogLine(const FileLocations& l) {
    return Message(Msg::ProgramFiles) + QLatin1Char(' ') +
           QDir::toNativeSeparators(l.settingsFile) + QStringLiteral(", ") +
           QDir::toNativeSeparators(l.languageFile) + QStringLiteral(", ") +
           QDir::toNativeSeparators(l.logDir);
}

void SetFileLocations(const FileLocations& locations) {
    Current& c = Stored();
    std::lock_guard guard(c.lock);
    c.locations = locations;
}

void ResetFileLocationsForTesting() {
    Current& c = Stored();
    std::lock_guard guard(c.lock);
    c.locations.reset();
}

FileLocations CurrentFileLocations() {
    {
        Current& c = Stored();
        std::lock_guard guard(c.lock);
        if (c.locations) {
            return *c.locations;
        }
    }
    const QString dir = ProgramDirectory();
    FileLocations portable;
    portable.portable = true;
    portable.configDir = dir;
    portable.settingsFile = QDir(dir).filePath(Name(kSettingsFileName));
    portable.languageFile = QDir(dir).filePath(Name(kLanguageFileName));
    portable.logDir = QDir(dir).filePath(Name(kLogsFolderName));
    return portable;
}

}  // namespace kv
