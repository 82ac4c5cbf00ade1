#include "console/ConsoleEnabling.h"

#include "console/ConsoleState.h"
#include "shows/TCommonPlayer.h"

namespace kv {

ButtonEnabling ButtonStates(const EnablingInputs& in) {
    const bool t = in.TestMode;
    const bool s = in.Searching;
    const bool x = in.Testing;
    const bool p = in.Playing;
    const uint8_t l = in.LaunchState;
    const int n = in.CueCount;
    const int m = in.ModuleCount;
    // A manual show needs no script: the operator fires from the keyboard.
    // A script that has run to its end has nothing left to fire from there (a manual show
    // passes over the script).
    const bool startable = (n > 0 && !in.ShowEnded) || in.WorkMode == TCommonPlayer::WorkManual;
    const bool idle = !t && !s && !x && !p;

    ButtonEnabling b;
    // A stop always stops; everything else waits while another operation has the bus.
    b.Stop = !t && !s && !x && (p || in.SoundPlaying);
    if (in.BusHeld) {
        return b;
    }
    b.Test = !x && !p && l == ConsoleState::Waiting;
    b.Search = b.Test;
    b.Project = idle && l == ConsoleState::Waiting;
    b.Sound = b.Project;
    b.Begin = idle && l != ConsoleState::Running && n > 0;
    b.Start = idle && startable && l == ConsoleState::Armed;
    b.Save = idle && n > 0 && l != ConsoleState::Running && m > 0;
    b.Check = b.Save;
    b.Up = t && !x && !s && m > 1;
    b.Down = b.Up;
    b.TestCheck = t && !x && !s && m > 0;
    b.TestAll = b.TestCheck;
    b.TestStop = t && x && !s && m > 0;
    b.TestSound = t && !x && !s;
    b.TestMixer = b.TestSound;
    return b;
}

ActionEnabling ActionStates(const EnablingInputs& in) {
    const bool idle = !in.TestMode && !in.Searching && !in.Testing && !in.Playing;
    const uint8_t l = in.LaunchState;
    const bool startable =
        (in.CueCount >= 1 && !in.ShowEnded) || in.WorkMode == TCommonPlayer::WorkManual;

    ActionEnabling a;
    if (in.BusHeld) {
        return a;
    }
    a.Control = !in.TestMode && !in.Testing && !in.Searching && l == ConsoleState::Waiting;
    a.Mode = a.Control;
    a.Color = a.Control;
    a.Exit = !in.Testing && !in.Searching && l == ConsoleState::Waiting;
    a.PowerUp = in.ModuleCount > 0;
    a.PowerDown = a.PowerUp;
    // The clock test starts the show clock of every device on the bus: only while the console
    // waits and nothing plays (the test itself also asks the modules' mode).
    a.Debug = !in.Searching && !in.Testing && !in.Playing && l == ConsoleState::Waiting;
    a.ExtStart = idle && startable && l == ConsoleState::Armed;
    a.ClearMem = idle && l != ConsoleState::Running && in.ModuleCount >= 1;
    a.ReadMemLog = a.ClearMem;
    // As F8: an empty slot has nothing to write, and a newer remote would be erased for it.
    a.SavePDU = idle && l != ConsoleState::Running && in.RemoteCount >= 1 && in.CueCount >= 1;
    a.CheckPDU = a.SavePDU;
    return a;
}

}  // namespace kv
