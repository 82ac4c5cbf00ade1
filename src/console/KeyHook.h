#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "console/ConsoleEnabling.h"

namespace kv {

// Virtual-key codes the console's keys are given in (US layout, whatever the keyboard).
namespace vk {
inline constexpr int Tab = 9, Enter = 13, Escape = 27, Space = 32;
inline constexpr int PageUp = 33, PageDown = 34, Left = 37, Up = 38, Right = 39, Down = 40;
inline constexpr int Insert = 45, Delete = 46;
inline constexpr int Multiply = 106, Add = 107, Subtract = 109, Divide = 111;
inline constexpr int F1 = 112, F2 = 113, F3 = 114, F4 = 115, F5 = 116, F6 = 117, F7 = 118, F8 = 119,
                     F9 = 120, F10 = 121, F11 = 122, F12 = 123;
inline constexpr int Semicolon = 186, Equals = 187, Comma = 188, Minus = 189, Period = 190,
                     Slash = 191;
}  // namespace vk

// Key codes of the 40 manual firing keys; position i fires channel ManualPage * 40 + i.
inline constexpr int kManualKeys = 40;
extern const std::array<int, kManualKeys> kManualKeyMap;
// Position of a key code in the map (the first match), -1 for none.
int ManualKeyPosition(int keyCode);

// What one key press does. The show control performs the show commands itself (see
// IsShowCommand); the window performs the others (its buttons, panels and dialogs).
enum class KeyCommand : uint8_t {
    // Window commands.
    CloseWarning,        // close the red warning window
    ToggleTest,          // Tab: toggle TestBtn and run its handler
    SelectPrevCue,       // Page Up: select Cue (previous) in the cue list
    SelectNextCue,       // Page Down: select Cue (next)
    ToggleSearch,        // F10, or Esc ending a search: toggle SearchBtn, SearchBtnClick
    ClickTestModeAll,    // F11: "Режим теста" button
    ClickLaunchModeAll,  // F12: "Режим пуска" button
    TestDeviceUp,        // test mode Up: UpBtn
    TestDeviceDown,      // test mode Down: DownBtn
    TestSelected,        // test mode F1: "<F1> Проверка"
    TestAll,             // test mode F2: "<F2> Все"
    TestStop,            // test mode F3: "<F3> Стоп"
    ExportChannels,      // test mode F4: save the connected channels to a file
    OpenMixer,           // test mode F6: the volume mixer
    SaveScript,          // F8: write the script into the modules
    CheckScript,         // F9: verify the script in the modules
    // Show commands.
    ForcingOn,      // Insert: Device, Address; Send false = only the log line
    ForcingOff,     // Delete: as ForcingOn
    SoundPlayStop,  // test mode F5: stop the soundtrack or play it from 0
    ManualFire,     // Address, Channel (0-based)
    StepFire,       // F7: every cue sharing the time of NextCue
    SetStartPoint,  // Enter: Cue (the selected cue, -1 for none)
    Disarm,         // Esc while armed
    Stop,           // Esc while running, F6: Stop
    ManualSelect,   // Left/Right/Up/Down: ManualDevice := Device, ManualPage := Page
    ChangeSlot,     // 1..8: Slot
    TempoStep,      // numeric * and /: Step +1 / -1
    OffsetStep,     // numeric +, =, numeric -, -: Step +50 / -50
    ArmToggle,      // F1
    ProjectBtn,     // F2
    SoundBtn,       // F3
    BeginBtn,       // F4
    Start,          // the start key
};
bool IsShowCommand(KeyCommand command);

struct KeyAction {
    KeyCommand Command = KeyCommand::CloseWarning;
    int Device = -1;   // list index: forcing, manual selection
    int Address = 0;   // module address: forcing, manual fire
    int Channel = 0;   // 0-based channel: manual fire
    int Page = 0;      // manual selection
    int Slot = 0;      // slot change
    int Step = 0;      // tempo or offset step
    int Cue = -1;      // cue index: start point, cue selection
    bool Send = true;  // forcing: false while a test runs or no module is present (log only)
    friend bool operator==(const KeyAction&, const KeyAction&) = default;
};

struct KeyDecision {
    std::vector<KeyAction> Actions;  // in the order they are to be performed
    bool Consumed = false;           // the key goes no further (not to the focused control)
};

// A device of the bus manager's list as the keys see it.
struct KeyDevice {
    int Address = 0;
    int Kind = 0;
    int ChannelCount = 0;
};

// Everything the key decision looks at.
struct KeySnapshot {
    bool WarningVisible = false;  // the red warning window is on screen
    // An operation on the devices' memory runs (it lets window events in while it runs).
    bool MemoryRunning = false;
    bool MainWindowActive = true;  // keys in other windows are left to them
    bool TestMode = false;
    bool Searching = false;
    bool Testing = false;
    bool Playing = false;
    bool SoundLoaded = false;
    bool SoundPlaying = false;
    uint8_t LaunchState = 0;
    uint8_t WorkMode = 0;
    ButtonEnabling Buttons;             // as ButtonStates gives them
    bool TestModeAllEnabled = false;    // "Режим теста" button
    bool LaunchModeAllEnabled = false;  // "Режим пуска" button
    int CueCount = 0;
    int SelectedCue = -1;  // selection of the cue list, -1 for none
    int NextCue = 0;
    int ManualDevice = -1;
    int ManualPage = 0;
    int TestSelection = -1;
    int StartKey = vk::F5;
    std::vector<KeyDevice> Devices;  // the bus manager's list, in its order
};

// One key-down as the window received it.
struct KeyStroke {
    int Code = 0;             // US-layout virtual-key code
    bool AutoRepeat = false;  // the keyboard's own repeat of a held key, not a new press
    bool Shift = false;
    bool Command = false;  // Ctrl, Alt or Super held
};

// Whether a repeated key-down may perform the command: only moves of a selection and the tempo
// and offset steps, which an operator holds a key for. Anything that fires, steps, arms, starts,
// stops, toggles or opens a window acts once per press.
bool RepeatAllowed(KeyCommand command);
// Whether the command may act with Shift held: Shift+F2 is F2, but a shifted key never fires,
// steps, arms or starts (a slip on Shift must not launch anything).
bool ShiftAllowed(KeyCommand command);

// The key hook as a decision: what a key-down does in this state. A key-down with Ctrl, Alt or
// Super held is left to the action shortcuts (which had their chance before the hook): the hook
// then does nothing but close the red window, so a disabled shortcut never falls through to a
// firing key. A repeat or a shifted key performs only what RepeatAllowed / ShiftAllowed let
// through, and is consumed as the plain press would be, so it reaches no other control either.
KeyDecision DecideKey(const KeyStroke& key, const KeySnapshot& state);
// A plain press of the key.
KeyDecision DecideKey(int keyCode, const KeySnapshot& state);

}  // namespace kv
