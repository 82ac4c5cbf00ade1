#include "console/KeyHook.h"

#include "console/ConsoleState.h"
#include "devices/DeviceKinds.h"
#include "shows/TCommonPlayer.h"

namespace kv {

const std::array<int, kManualKeys> kManualKeyMap = {
    '1', '2', '3', '4', '5', '6', '7', '8',       '9',        '0',            //
    'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I',       'O',        'P',            //
    'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K',       'L',        vk::Semicolon,  //
    'Z', 'X', 'C', 'V', 'B', 'N', 'M', vk::Comma, vk::Period, vk::Slash,      //
};

int ManualKeyPosition(int keyCode) {
    for (int i = 0; i < kManualKeys; ++i) {
        if (kManualKeyMap[static_cast<size_t>(i)] == keyCode) {
            return i;
        }
    }
    return -1;
}

bool IsShowCommand(KeyCommand command) {
    return command >= KeyCommand::ForcingOn;
}

namespace {

constexpr int kPageSize = 40;

// The firing modules of the list: how many, and the indices of the first and the last.
struct ModuleRange {
    int count = 0;
    int first = -1;
    int last = -1;
    bool Contains(int index) const { return index != -1 && index >= first && index <= last; }
};

ModuleRange ModulesOf(const std::vector<KeyDevice>& devices) {
    ModuleRange r;
    for (int i = 0; i < static_cast<int>(devices.size()); ++i) {
        if (IsModuleAddress(devices[static_cast<size_t>(i)].Address)) {
            ++r.count;
            if (r.first < 0) {
                r.first = i;
            }
            r.last = i;
        }
    }
    return r;
}

bool ManualWorkMode(uint8_t workMode) {
    return workMode == TCommonPlayer::WorkManual || workMode == TCommonPlayer::WorkAutomaticManual;
}

bool ForcingKind(int kind) {
    return kind == KindCommonControl || kind == KindAutoControl;
}

const KeyDevice* DeviceAt(const KeySnapshot& s, int index) {
    if (index < 0 || index >= static_cast<int>(s.Devices.size())) {
        return nullptr;
    }
    return &s.Devices[static_cast<size_t>(index)];
}

class Decider {
public:
    Decider(int key, const KeySnapshot& s) : key_(key), s_(s), modules_(ModulesOf(s.Devices)) {}

    KeyDecision Run() {
        if (s_.WarningVisible) {
            // Closing it does not use the key up: it still acts as usual below.
            Add({.Command = KeyCommand::CloseWarning}, false);
        }
        if (!s_.MainWindowActive) {
            return out_;
        }
        GlobalKeys();
        if (s_.TestMode) {
            TestPageKeys();
        } else {
            ManualFiring();
            StepFiring();
            LaunchPageKeys();
        }
        return out_;
    }

private:
    void Add(KeyAction a, bool consume = true) {
        out_.Actions.push_back(a);
        out_.Consumed = out_.Consumed || consume;
    }

    void GlobalKeys() {
        const int sel = s_.SelectedCue;
        switch (key_) {
            case vk::Tab:
                if (s_.Buttons.Test) {
                    Add({.Command = KeyCommand::ToggleTest});
                }
                break;
            case vk::PageUp:
                if (s_.CueCount > 0 && sel > 0 && sel < s_.CueCount) {
                    Add({.Command = KeyCommand::SelectPrevCue, .Cue = sel - 1});
                }
                break;
            case vk::PageDown:
                if (s_.CueCount > 0 && sel >= 0 && sel < s_.CueCount - 1) {
                    Add({.Command = KeyCommand::SelectNextCue, .Cue = sel + 1});
                }
                break;
            case vk::F10:
                if (s_.Buttons.Search) {
                    Add({.Command = KeyCommand::ToggleSearch});
                }
                break;
            // The mode buttons let their key go on to the focused control.
            case vk::F11:
                if (s_.TestModeAllEnabled) {
                    Add({.Command = KeyCommand::ClickTestModeAll}, false);
                }
                break;
            case vk::F12:
                if (s_.LaunchModeAllEnabled) {
                    Add({.Command = KeyCommand::ClickLaunchModeAll}, false);
                }
                break;
            default:
                break;
        }
    }

    void TestPageKeys() {
        const ButtonEnabling& b = s_.Buttons;
        switch (key_) {
            case vk::Up:
                if (b.Up) {
                    Add({.Command = KeyCommand::TestDeviceUp});
                }
                break;
            case vk::Down:
                if (b.Down) {
                    Add({.Command = KeyCommand::TestDeviceDown});
                }
                break;
            case vk::Insert:
            case vk::Delete:
                if (const KeyDevice* d = DeviceAt(s_, s_.TestSelection);
                    d && ForcingKind(d->Kind)) {
                    // The log line is written even when a running test keeps the command back.
                    Add({.Command =
                             key_ == vk::Insert ? KeyCommand::ForcingOn : KeyCommand::ForcingOff,
                         .Device = s_.TestSelection,
                         .Address = d->Address,
                         .Send = !s_.Testing && modules_.count > 0});
                }
                break;
            case vk::F1:
                if (b.TestCheck) {
                    Add({.Command = KeyCommand::TestSelected});
                }
                break;
            case vk::F2:
                if (b.TestAll) {
                    Add({.Command = KeyCommand::TestAll});
                }
                break;
            case vk::F3:
                if (b.TestStop) {
                    Add({.Command = KeyCommand::TestStop});
                }
                break;
            case vk::F4:
                if (!s_.Testing && !s_.Searching && modules_.count > 0) {
                    Add({.Command = KeyCommand::ExportChannels});
                }
                break;
            case vk::F5:
                if (b.TestSound && s_.SoundLoaded) {
                    Add({.Command = KeyCommand::SoundPlayStop});
                }
                break;
            case vk::F6:
                if (b.TestMixer) {
                    Add({.Command = KeyCommand::OpenMixer});
                }
                break;
            default:
                break;
        }
    }

    void ManualFiring() {
        if (!s_.Playing || !ManualWorkMode(s_.WorkMode)) {
            return;
        }
        const int position = ManualKeyPosition(key_);
        const KeyDevice* d = DeviceAt(s_, s_.ManualDevice);
        if (position < 0 || !d || !modules_.Contains(s_.ManualDevice)) {
            return;
        }
        // The module's channel count is not checked: the player and the module deal with it.
        Add({.Command = KeyCommand::ManualFire,
             .Address = d->Address,
             .Channel = s_.ManualPage * kPageSize + position});
    }

    void StepFiring() {
        if (s_.Playing && s_.WorkMode == TCommonPlayer::WorkManual && key_ == vk::F7 &&
            s_.CueCount > 0 && s_.NextCue < s_.CueCount) {
            Add({.Command = KeyCommand::StepFire});
        }
    }

    void Select(int device, int page) {
        Add({.Command = KeyCommand::ManualSelect, .Device = device, .Page = page});
    }

    // Left, Right, Up and Down on the manual keyboard.
    void ManualMove() {
        if (modules_.count == 0) {
            Select(-1, 0);
            return;
        }
        int device = s_.ManualDevice;
        int page = s_.ManualPage;
        switch (key_) {
            case vk::Left:
                if (page > 0) {
                    --page;
                }
                break;
            case vk::Right:
                if (const KeyDevice* d = DeviceAt(s_, device); d && modules_.Contains(device)) {
                    // Integer division as the channel count gives it: 0 channels, one page.
                    if (page < (d->ChannelCount - 1) / kPageSize) {
                        ++page;
                    }
                }
                break;
            case vk::Up:
                if (device > modules_.first) {
                    // Back to the previous firing module, over radio units and the like.
                    do {
                        --device;
                    } while (
                        device > modules_.first &&
                        !(DeviceAt(s_, device) && IsModuleAddress(DeviceAt(s_, device)->Address)));
                    page = 0;
                }
                break;
            case vk::Down:
                if (device < modules_.last) {
                    do {
                        ++device;
                    } while (
                        device < modules_.last &&
                        !(DeviceAt(s_, device) && IsModuleAddress(DeviceAt(s_, device)->Address)));
                    page = 0;
                }
                break;
            default:
                break;
        }
        Select(device, page);
    }

    void LaunchPageKeys() {
        const ButtonEnabling& b = s_.Buttons;
        const bool manualMode = ManualWorkMode(s_.WorkMode);
        const uint8_t l = s_.LaunchState;
        switch (key_) {
            case vk::Enter:
                if (l != ConsoleState::Running) {
                    if (s_.SelectedCue >= 0 && s_.SelectedCue < s_.CueCount) {
                        Add({.Command = KeyCommand::SetStartPoint, .Cue = s_.SelectedCue});
                    }
                    out_.Consumed = true;
                }
                return;
            case vk::Escape:
                if (l == ConsoleState::Armed) {
                    Add({.Command = KeyCommand::Disarm});
                } else if (l == ConsoleState::Running) {
                    Add({.Command = KeyCommand::Stop});
                } else if (s_.Searching) {
                    Add({.Command = KeyCommand::ToggleSearch});
                }
                return;
            case vk::Left:
            case vk::Right:
            case vk::Up:
            case vk::Down:
                // In automatic work mode the arrows go on to the cue list.
                if (manualMode) {
                    ManualMove();
                }
                return;
            case vk::Insert:
            case vk::Delete: {
                const KeyDevice* d = DeviceAt(s_, s_.ManualDevice);
                if (manualMode && d && modules_.count > 0 && ForcingKind(d->Kind)) {
                    Add({.Command =
                             key_ == vk::Insert ? KeyCommand::ForcingOn : KeyCommand::ForcingOff,
                         .Device = s_.ManualDevice,
                         .Address = d->Address});
                }
                return;
            }
            case '1':
            case '2':
            case '3':
            case '4':
            case '5':
            case '6':
            case '7':
            case '8':
                if (!s_.Searching && !s_.Testing && !s_.Playing && l == ConsoleState::Waiting) {
                    Add({.Command = KeyCommand::ChangeSlot, .Slot = key_ - '1'});
                }
                return;
            case vk::Multiply:
                Add({.Command = KeyCommand::TempoStep, .Step = 1});
                return;
            case vk::Divide:
                Add({.Command = KeyCommand::TempoStep, .Step = -1});
                return;
            case vk::Add:
            case vk::Equals:
                Add({.Command = KeyCommand::OffsetStep, .Step = 50});
                return;
            case vk::Subtract:
            case vk::Minus:
                Add({.Command = KeyCommand::OffsetStep, .Step = -50});
                return;
            case vk::F1:
                // Running: nothing, and the key goes on.
                if (!s_.Testing && !s_.Searching && !s_.Playing && l != ConsoleState::Running) {
                    Add({.Command = KeyCommand::ArmToggle});
                }
                return;
            case vk::F2:
                AddIf(b.Project, KeyCommand::ProjectBtn);
                return;
            case vk::F3:
                AddIf(b.Sound, KeyCommand::SoundBtn);
                return;
            case vk::F4:
                AddIf(b.Begin, KeyCommand::BeginBtn);
                return;
            case vk::F6:
                AddIf(b.Stop, KeyCommand::Stop);
                return;
            case vk::F8:
                AddIf(b.Save, KeyCommand::SaveScript);
                return;
            case vk::F9:
                AddIf(b.Check, KeyCommand::CheckScript);
                return;
            default:
                break;
        }
        // Compared after every row above: a start key equal to one of their codes never starts.
        if (key_ == s_.StartKey) {
            AddIf(b.Start, KeyCommand::Start);
        }
    }

    void AddIf(bool enabled, KeyCommand command) {
        if (enabled) {
            Add({.Command = command});
        }
    }

    int key_;
    const KeySnapshot& s_;
    ModuleRange modules_;
    KeyDecision out_;
};

}  // namespace

bool RepeatAllowed(KeyCommand command) {
    switch (command) {
        case KeyCommand::SelectPrevCue:
        case KeyCommand::SelectNextCue:
        case KeyCommand::TestDeviceUp:
        case KeyCommand::TestDeviceDown:
        case KeyCommand::ManualSelect:
        case KeyCommand::TempoStep:
        case KeyCommand::OffsetStep:
            return true;
        default:
            return false;
    }
}

bool ShiftAllowed(KeyCommand command) {
    switch (command) {
        case KeyCommand::ManualFire:
        case KeyCommand::StepFire:
        case KeyCommand::ArmToggle:
        case KeyCommand::Start:
            return false;
        default:
            return true;
    }
}

KeyDecision DecideKey(const KeyStroke& key, const KeySnapshot& state) {
    if (state.MemoryRunning) {
        // No key starts anything on the bus meanwhile; the operation's own cancel button
        // still works, and any key closes the red window.
        KeyDecision out;
        if (state.WarningVisible) {
            out.Actions.push_back({.Command = KeyCommand::CloseWarning});
        }
        out.Consumed = state.MainWindowActive;
        return out;
    }
    if (key.Command) {
        KeyDecision out;
        if (state.WarningVisible && !key.AutoRepeat) {
            out.Actions.push_back({.Command = KeyCommand::CloseWarning});
        }
        return out;
    }
    KeyDecision out = Decider(key.Code, state).Run();
    std::erase_if(out.Actions, [&key](const KeyAction& a) {
        return (key.AutoRepeat && !RepeatAllowed(a.Command)) ||
               (key.Shift && !ShiftAllowed(a.Command));
    });
    return out;
}

KeyDecision DecideKey(int keyCode, const KeySnapshot& state) {
    return Decider(keyCode, state).Run();
}

}  // namespace kv
