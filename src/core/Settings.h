#pragma once

#include <QString>
#include <QStringList>

namespace kv {

// What the console reads from its settings file "kelvanex.ini" at start-up. The file is only
// read, never written; a missing file, section or key gives the defaults below.
struct ConsoleSettings {
    // Virtual-key code of the key that starts the show ([keys] StartBtn); 116 is F5.
    int StartKey = 116;
    // Igniter resistance thresholds of the channel tests, in ohms ([settings]). Read with the
    // lenient number reader: "25,5" and "25.5" alike; text that is no number (or infinite, or
    // not a number) keeps the default.
    double ConnectResistLo = 1;
    double ConnectResist = 20;
    double ConnectResistHi = 200;
    // Keys present in the file whose text is no number ("[section] key"): they read as their
    // default, and the console logs them once, as the operator could not tell otherwise why a
    // threshold is not the one written.
    QStringList Unreadable;
    // Thresholds that make no bands ("[settings] KEY=VALUE: why"): negative, not ascending
    // (Lo < Mid < Hi), or above the highest reading. Then all three are the defaults, and the
    // programs refuse to test with them.
    QStringList Invalid;
};

// The highest resistance a module reports (ohms): an open channel reads this.
constexpr double kHighestResistanceReading = 6553.5;

// The settings file of this run (see FileLocations.h).
QString DefaultSettingsFilePath();

ConsoleSettings ReadConsoleSettings(const QString& iniPath);

// The process-wide copy that the channel tests and the post-fire check read; set once at
// start-up by the console (defaults until then).
ConsoleSettings CurrentSettings();
void SetCurrentSettings(const ConsoleSettings& settings);

// Writes one event log line per unreadable key and per refused threshold of the settings set last,
// the first time it is called after they were set; later calls write nothing. Called once the run's
// log is open.
void LogUnreadableSettings();

}  // namespace kv
