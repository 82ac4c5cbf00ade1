#pragma once

#include <QString>

namespace kv {

// Where a program keeps its own files: the settings file, the language file and the event logs.
//
// A program that runs from a folder of its own (the build folder, an unpacked copy) keeps them
// beside the executable, as it always has: "portable". An installed program cannot write beside
// /usr/bin, so it reads its settings and language file from the user's configuration folder
// (then the system's) and writes its logs to the user's state folder.
struct FileLocations {
    bool portable = false;
    // The folder the operator puts kelvanex.ini and kelvanex.lng into.
    QString configDir;
    // The files read; each may be missing (then the defaults apply).
    QString settingsFile;
    QString languageFile;
    // The folder of the event logs (created on first use).
    QString logDir;
};

// What the choice depends on; FromEnvironment fills it from the process.
struct FileLocationInputs {
    QString programDir;       // the executable's folder
    QString configDirOption;  // --config-dir DIR, empty when not given
    QString logDirOption;     // --log-dir DIR, empty when not given
    QString xdgConfigHome;    // $XDG_CONFIG_HOME as set (possibly empty)
    QString xdgStateHome;     // $XDG_STATE_HOME as set (possibly empty)
    QString home;             // the user's home folder
    QString systemConfigDir = QStringLiteral("/etc/kelvane");

    static FileLocationInputs FromEnvironment(const QString& programDir,
                                              const QString& configDirOption = QString(),
                                              const QString& logDirOption = QString());
};

// The file names the programs share.
inline constexpr const char* kSettingsFileName = "kelvanex.ini";
inline constexpr const char* kLanguageFileName = "kelvanex.lng";
inline constexpr const char* kLogsFolderName = "logs";
// An empty file beside the executable that makes a writable folder portable without a settings
// file or a logs folder yet; the build puts one beside every program it links.
inline constexpr const char* kPortableMarkerName = "kelvane.portable";

// The rule, in this order:
//  - portable when the executable's folder holds kelvanex.ini, kelvanex.lng or a "logs"
//    folder, or is writable and holds the portable marker: every file stays there;
//  - otherwise each of kelvanex.ini and kelvanex.lng is read from $XDG_CONFIG_HOME/kelvane/
//    (~/.config when unset or not absolute) when it is there, else from /etc/kelvane/ when it
//    is there, else it is missing in the user's folder; logs go to $XDG_STATE_HOME/kelvane/logs
//    (~/.local/state when unset or not absolute);
//  - --config-dir DIR reads both files from DIR only, --log-dir DIR writes the logs to DIR,
//    whichever way the rest was chosen.
FileLocations ResolveFileLocations(const FileLocationInputs& in);

// "settings: ...\nlanguage file: ...\nlogs: ..." for --help and the first start's log.
QString DescribeFileLocations(const FileLocations& locations);

// The line the first start writes to its event log (message 101 and the three places).
QString FileLocationsLogLine(const FileLocations& locations);

// The locations of this run, set once at start-up by the program; until then the portable
// locations of the executable's folder. DefaultSettingsFilePath and LogsDirectory follow it.
void SetFileLocations(const FileLocations& locations);
FileLocations CurrentFileLocations();
// Back to the executable's folder; tests only.
void ResetFileLocationsForTesting();

}  // namespace kv
