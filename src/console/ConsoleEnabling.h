#pragma once

#include <cstdint>

namespace kv {

// What the enabling rules look at. The window's buttons and actions, the key decision and the
// show control all evaluate the same rules from this, so one rule says what each state allows.
struct EnablingInputs {
    bool TestMode = false;      // "<TAB> Тест" is down
    bool Searching = false;     // a bus search runs
    bool Testing = false;       // a channel test runs
    bool Playing = false;       // the show player plays
    bool SoundPlaying = false;  // the soundtrack plays (with or without the show)
    uint8_t LaunchState = 0;    // ConsoleState::Waiting / Armed / Running
    uint8_t WorkMode = 0;       // TCommonPlayer::WorkAutomatic / WorkManual / WorkAutomaticManual
    int CueCount = 0;           // cues of the current slot's script
    int ModuleCount = 0;        // devices of address 1..199 on the bus
    int RemoteCount = 0;        // radio remote controls on the bus
    // A memory operation, the clock test or a number change has the bus: nothing else may
    // start on it (a stop still stops).
    bool BusHeld = false;
    // The show ran through its script to the end and no start point was set since: no start
    // but in manual work mode.
    bool ShowEnded = false;

    bool operator==(const EnablingInputs&) const = default;
};

// Enabled state of the main window's buttons.
struct ButtonEnabling {
    bool Test = false;     // "<TAB> Тест"
    bool Search = false;   // "<F10> Поиск"
    bool Project = false;  // "<F2> Сценарий"
    bool Sound = false;    // "<F3> Фонограмма"
    bool Begin = false;    // "<F4> В начало"
    bool Start = false;    // "<F5> Старт"
    bool Stop = false;     // "<F6> Стоп"
    bool Save = false;     // "<F8> Запись"
    bool Check = false;    // "<F9> Проверка"
    // The test panel.
    bool Up = false;         // previous device
    bool Down = false;       // next device
    bool TestCheck = false;  // "<F1> Проверка"
    bool TestAll = false;    // "<F2> Все"
    bool TestStop = false;   // "<F3> Стоп"
    bool TestSound = false;  // "<F5> Фонограмма"
    bool TestMixer = false;  // "<F6> Микшер"
};
ButtonEnabling ButtonStates(const EnablingInputs& in);

// Enabled state of the main window's actions (their shortcuts are matched before the key
// hook; a disabled action lets its key through to the hook).
struct ActionEnabling {
    bool Control = false;     // ControlAction, Shift+F1
    bool Mode = false;        // ModeAction, Ctrl+F1
    bool Color = false;       // ColorAction, Ctrl+F10 (does nothing, but takes the key)
    bool Exit = false;        // ExitAction, Ctrl+Alt+X
    bool PowerUp = false;     // PowerUpGlobal, Ctrl+Ins
    bool PowerDown = false;   // PowerDownGlobal, Ctrl+Del
    bool Debug = false;       // DebugAction, Ctrl+Alt+D
    bool ExtStart = false;    // ExtStartAction, Ctrl+F5
    bool ClearMem = false;    // ClearMemAction, Ctrl+F8
    bool ReadMemLog = false;  // ReadMemLogAction, Ctrl+F9
    bool SavePDU = false;     // SavePDUAction, Shift+F8
    bool CheckPDU = false;    // CheckPDUAction, Shift+F9
};
ActionEnabling ActionStates(const EnablingInputs& in);

}  // namespace kv
