#pragma once

#include <QString>

namespace kv {

// What the console reads from its settings file "kelvanex.ini" at start-up. The file is only
// read, never written; a missing file, section or key gives the defaults below.
struct ConsoleSettings {
    // Virtual-key code of the key that starts the show ([keys] StartBtn); 116 is F5.
    int StartKey = 116;
    // Igniter resistance thresholds of the channel tests, in ohms ([settings]). Read with the
    // lenient number reader: "25,5" and "25.5" alike, text that is no number gives 0.
    double ConnectResistLo = 1;
    double ConnectResist = 20;
    double ConnectResistHi = 200;
};

// The settings file of this run (see FileLocations.h).
QString DefaultSettingsFilePath();

ConsoleSettings ReadConsoleSettings(const QString& iniPath);

// The process-wide copy that the channel tests and the post-fire check read; set once at
// start-up by the console (defaults until then).
ConsoleSettings CurrentSettings();
void SetCurrentSettings(const ConsoleSettings& settings);

}  // namespace kv
