// The key hook as a decision: every row of the key tables with its condition met and not met,
// and the cases where rows meet each other.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "console/ConsoleState.h"
#include "console/KeyHook.h"
#include "devices/DeviceKinds.h"
#include "shows/TCommonPlayer.h"

using namespace kv;

namespace {

using Setup = std::function<void(KeySnapshot&)>;

// Remote control, module 3 (40 channels), module 7 (41 channels, the kind without forcing is
// the HV control 12), radio unit 241: the list as the bus manager sorts it.
KeySnapshot Base() {
    KeySnapshot s;
    s.Devices = {{0, KindRemoteControl, 0},
                 {3, KindCommonControl, 40},
                 {7, KindAutoControl, 41},
                 {12, KindHVControl, 8},
                 {241, KindRadioModule, 0}};
    s.CueCount = 5;
    s.SelectedCue = 2;
    s.TestSelection = 1;
    s.ManualDevice = 1;
    return s;
}

// A manual show is playing with module 3 on the keyboard.
void ManualShow(KeySnapshot& s) {
    s.Playing = true;
    s.LaunchState = ConsoleState::Running;
    s.WorkMode = TCommonPlayer::WorkManual;
}

bool Has(const KeyDecision& d, KeyCommand c) {
    for (const KeyAction& a : d.Actions) {
        if (a.Command == c) {
            return true;
        }
    }
    return false;
}

std::optional<KeyAction> Find(const KeyDecision& d, KeyCommand c) {
    for (const KeyAction& a : d.Actions) {
        if (a.Command == c) {
            return a;
        }
    }
    return std::nullopt;
}

struct Row {
    std::string name;
    int key;
    Setup met;
    Setup notMet;
    KeyCommand command;
    bool consumed;
    KeyAction expected;  // the whole action where it carries values (Command set), else unused
};

Setup TestModeWith(Setup more) {
    return [more](KeySnapshot& s) {
        s.TestMode = true;
        if (more) {
            more(s);
        }
    };
}

void Nothing(KeySnapshot&) {}

std::vector<Row> Rows() {
    using C = KeyCommand;
    auto btn = [](bool ButtonEnabling::*b) { return [b](KeySnapshot& s) { s.Buttons.*b = true; }; };
    const Setup waiting = Nothing;
    std::vector<Row> rows = {
        // Table A, in both modes.
        {"Tab", vk::Tab, btn(&ButtonEnabling::Test), Nothing, C::ToggleTest, true, {}},
        {"PageUp",
         vk::PageUp,
         Nothing,
         [](KeySnapshot& s) { s.SelectedCue = 0; },
         C::SelectPrevCue,
         true,
         {.Command = C::SelectPrevCue, .Cue = 1}},
        {"PageDown",
         vk::PageDown,
         Nothing,
         [](KeySnapshot& s) { s.SelectedCue = 4; },
         C::SelectNextCue,
         true,
         {.Command = C::SelectNextCue, .Cue = 3}},
        {"PageDown without a selection",
         vk::PageDown,
         Nothing,
         [](KeySnapshot& s) { s.SelectedCue = -1; },
         C::SelectNextCue,
         true,
         {}},
        {"F10", vk::F10, btn(&ButtonEnabling::Search), Nothing, C::ToggleSearch, true, {}},
        {"F11",
         vk::F11,
         [](KeySnapshot& s) { s.TestModeAllEnabled = true; },
         Nothing,
         C::ClickTestModeAll,
         false,
         {}},
        {"F12",
         vk::F12,
         [](KeySnapshot& s) { s.LaunchModeAllEnabled = true; },
         Nothing,
         C::ClickLaunchModeAll,
         false,
         {}},
        // Table B, test mode.
        {"test Up",
         vk::Up,
         TestModeWith(btn(&ButtonEnabling::Up)),
         TestModeWith(nullptr),
         C::TestDeviceUp,
         true,
         {}},
        {"test Down",
         vk::Down,
         TestModeWith(btn(&ButtonEnabling::Down)),
         TestModeWith(nullptr),
         C::TestDeviceDown,
         true,
         {}},
        {"test Insert",
         vk::Insert,
         TestModeWith(nullptr),
         TestModeWith([](KeySnapshot& s) { s.TestSelection = 3; }),  // HV control: no forcing
         C::ForcingOn,
         true,
         {.Command = C::ForcingOn, .Device = 1, .Address = 3}},
        {"test Delete",
         vk::Delete,
         TestModeWith([](KeySnapshot& s) { s.TestSelection = 2; }),
         TestModeWith([](KeySnapshot& s) { s.TestSelection = -1; }),
         C::ForcingOff,
         true,
         {.Command = C::ForcingOff, .Device = 2, .Address = 7}},
        {"test Insert while testing logs only",
         vk::Insert,
         TestModeWith([](KeySnapshot& s) { s.Testing = true; }),
         TestModeWith([](KeySnapshot& s) { s.TestSelection = 0; }),
         C::ForcingOn,
         true,
         {.Command = C::ForcingOn, .Device = 1, .Address = 3, .Send = false}},
        {"test F1",
         vk::F1,
         TestModeWith(btn(&ButtonEnabling::TestCheck)),
         TestModeWith(nullptr),
         C::TestSelected,
         true,
         {}},
        {"test F2",
         vk::F2,
         TestModeWith(btn(&ButtonEnabling::TestAll)),
         TestModeWith(nullptr),
         C::TestAll,
         true,
         {}},
        {"test F3",
         vk::F3,
         TestModeWith(btn(&ButtonEnabling::TestStop)),
         TestModeWith(nullptr),
         C::TestStop,
         true,
         {}},
        {"test F4",
         vk::F4,
         TestModeWith(nullptr),
         TestModeWith([](KeySnapshot& s) { s.Testing = true; }),
         C::ExportChannels,
         true,
         {}},
        {"test F4 without modules",
         vk::F4,
         TestModeWith(nullptr),
         TestModeWith([](KeySnapshot& s) { s.Devices.resize(1); }),
         C::ExportChannels,
         true,
         {}},
        {"test F5",
         vk::F5,
         TestModeWith([](KeySnapshot& s) {
             s.Buttons.TestSound = true;
             s.SoundLoaded = true;
         }),
         TestModeWith([](KeySnapshot& s) { s.Buttons.TestSound = true; }),
         C::SoundPlayStop,
         true,
         {}},
        {"test F6",
         vk::F6,
         TestModeWith(btn(&ButtonEnabling::TestMixer)),
         TestModeWith(nullptr),
         C::OpenMixer,
         true,
         {}},
        // Manual and step firing.
        {"manual fire",
         'Q',
         ManualShow,
         [](KeySnapshot& s) {
             ManualShow(s);
             s.WorkMode = TCommonPlayer::WorkAutomatic;
         },
         C::ManualFire,
         true,
         {.Command = C::ManualFire, .Address = 3, .Channel = 10}},
        {"manual fire, page 2, automatic and manual",
         vk::Slash,
         [](KeySnapshot& s) {
             ManualShow(s);
             s.WorkMode = TCommonPlayer::WorkAutomaticManual;
             s.ManualDevice = 2;
             s.ManualPage = 1;
         },
         [](KeySnapshot& s) {
             ManualShow(s);
             s.ManualDevice = 4;  // the radio unit is no firing module
         },
         C::ManualFire,
         true,
         {.Command = C::ManualFire, .Address = 7, .Channel = 79}},
        {"manual fire needs a playing show",
         'A',
         ManualShow,
         [](KeySnapshot& s) {
             ManualShow(s);
             s.Playing = false;
         },
         C::ManualFire,
         true,
         {.Command = C::ManualFire, .Address = 3, .Channel = 20}},
        {"F7",
         vk::F7,
         ManualShow,
         [](KeySnapshot& s) {
             ManualShow(s);
             s.NextCue = 5;
         },
         C::StepFire,
         true,
         {}},
        // Table C, launch mode.
        {"Enter",
         vk::Enter,
         waiting,
         [](KeySnapshot& s) { s.LaunchState = ConsoleState::Running; },
         C::SetStartPoint,
         true,
         {.Command = C::SetStartPoint, .Cue = 2}},
        {"Esc armed",
         vk::Escape,
         [](KeySnapshot& s) { s.LaunchState = ConsoleState::Armed; },
         waiting,
         C::Disarm,
         true,
         {}},
        {"Esc running",
         vk::Escape,
         [](KeySnapshot& s) { s.LaunchState = ConsoleState::Running; },
         waiting,
         C::Stop,
         true,
         {}},
        {"Esc searching",
         vk::Escape,
         [](KeySnapshot& s) { s.Searching = true; },
         waiting,
         C::ToggleSearch,
         true,
         {}},
        {"Left",
         vk::Left,
         [](KeySnapshot& s) {
             s.WorkMode = TCommonPlayer::WorkManual;
             s.ManualPage = 1;
         },
         [](KeySnapshot& s) { s.ManualPage = 1; },
         C::ManualSelect,
         true,
         {.Command = C::ManualSelect, .Device = 1, .Page = 0}},
        {"Right",
         vk::Right,
         [](KeySnapshot& s) {
             s.WorkMode = TCommonPlayer::WorkAutomaticManual;
             s.ManualDevice = 2;
         },
         [](KeySnapshot& s) { s.ManualDevice = 2; },
         C::ManualSelect,
         true,
         {.Command = C::ManualSelect, .Device = 2, .Page = 1}},
        {"Up",
         vk::Up,
         [](KeySnapshot& s) {
             s.WorkMode = TCommonPlayer::WorkManual;
             s.ManualDevice = 3;
             s.ManualPage = 1;
         },
         [](KeySnapshot& s) { s.ManualDevice = 3; },
         C::ManualSelect,
         true,
         {.Command = C::ManualSelect, .Device = 2, .Page = 0}},
        {"Down",
         vk::Down,
         [](KeySnapshot& s) {
             s.WorkMode = TCommonPlayer::WorkManual;
             s.ManualPage = 1;
         },
         Nothing,
         C::ManualSelect,
         true,
         {.Command = C::ManualSelect, .Device = 2, .Page = 0}},
        {"Insert",
         vk::Insert,
         [](KeySnapshot& s) { s.WorkMode = TCommonPlayer::WorkManual; },
         [](KeySnapshot& s) {
             s.WorkMode = TCommonPlayer::WorkManual;
             s.ManualDevice = 3;  // HV control
         },
         C::ForcingOn,
         true,
         {.Command = C::ForcingOn, .Device = 1, .Address = 3}},
        {"Delete",
         vk::Delete,
         [](KeySnapshot& s) { s.WorkMode = TCommonPlayer::WorkManual; },
         [](KeySnapshot& s) {
             s.WorkMode = TCommonPlayer::WorkManual;
             s.ManualDevice = -1;
         },
         C::ForcingOff,
         true,
         {.Command = C::ForcingOff, .Device = 1, .Address = 3}},
        {"key 3",
         '3',
         waiting,
         [](KeySnapshot& s) { s.LaunchState = ConsoleState::Armed; },
         C::ChangeSlot,
         true,
         {.Command = C::ChangeSlot, .Slot = 2}},
        {"key 8",
         '8',
         waiting,
         [](KeySnapshot& s) { s.Searching = true; },
         C::ChangeSlot,
         true,
         {.Command = C::ChangeSlot, .Slot = 7}},
        {"key 1 testing",
         '1',
         waiting,
         [](KeySnapshot& s) { s.Testing = true; },
         C::ChangeSlot,
         true,
         {.Command = C::ChangeSlot, .Slot = 0}},
        {"numeric *",
         vk::Multiply,
         waiting,
         TestModeWith(nullptr),
         C::TempoStep,
         true,
         {.Command = C::TempoStep, .Step = 1}},
        {"numeric /",
         vk::Divide,
         ManualShow,
         TestModeWith(nullptr),
         C::TempoStep,
         true,
         {.Command = C::TempoStep, .Step = -1}},
        {"numeric +",
         vk::Add,
         waiting,
         TestModeWith(nullptr),
         C::OffsetStep,
         true,
         {.Command = C::OffsetStep, .Step = 50}},
        {"= key",
         vk::Equals,
         ManualShow,
         TestModeWith(nullptr),
         C::OffsetStep,
         true,
         {.Command = C::OffsetStep, .Step = 50}},
        {"numeric -",
         vk::Subtract,
         waiting,
         TestModeWith(nullptr),
         C::OffsetStep,
         true,
         {.Command = C::OffsetStep, .Step = -50}},
        {"- key",
         vk::Minus,
         waiting,
         TestModeWith(nullptr),
         C::OffsetStep,
         true,
         {.Command = C::OffsetStep, .Step = -50}},
        {"F1 waiting",
         vk::F1,
         waiting,
         [](KeySnapshot& s) { s.Testing = true; },
         C::ArmToggle,
         true,
         {}},
        {"F1 armed",
         vk::F1,
         [](KeySnapshot& s) { s.LaunchState = ConsoleState::Armed; },
         [](KeySnapshot& s) { s.LaunchState = ConsoleState::Running; },
         C::ArmToggle,
         true,
         {}},
        {"F2", vk::F2, btn(&ButtonEnabling::Project), Nothing, C::ProjectBtn, true, {}},
        {"F3", vk::F3, btn(&ButtonEnabling::Sound), Nothing, C::SoundBtn, true, {}},
        {"F4", vk::F4, btn(&ButtonEnabling::Begin), Nothing, C::BeginBtn, true, {}},
        {"F6", vk::F6, btn(&ButtonEnabling::Stop), Nothing, C::Stop, true, {}},
        {"F8", vk::F8, btn(&ButtonEnabling::Save), Nothing, C::SaveScript, true, {}},
        {"F9", vk::F9, btn(&ButtonEnabling::Check), Nothing, C::CheckScript, true, {}},
        {"start key", vk::F5, btn(&ButtonEnabling::Start), Nothing, C::Start, true, {}},
    };
    return rows;
}

}  // namespace

TEST(KeyHook, EveryRowActsWhenItsConditionHoldsAndOnlyThen) {
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        KeySnapshot met = Base();
        row.met(met);
        const KeyDecision yes = DecideKey(row.key, met);
        ASSERT_EQ(yes.Actions.size(), 1u);
        EXPECT_EQ(yes.Actions[0].Command, row.command);
        EXPECT_EQ(yes.Consumed, row.consumed);
        if (row.expected.Command == row.command) {
            EXPECT_EQ(yes.Actions[0], row.expected);
        }

        KeySnapshot notMet = Base();
        row.notMet(notMet);
        const KeyDecision no = DecideKey(row.key, notMet);
        EXPECT_FALSE(Has(no, row.command));
        EXPECT_FALSE(no.Consumed);
    }
}

TEST(KeyHook, KeysWithoutARowAreLeftAlone) {
    // Esc while waiting without a search; 9 and 0 are no slots; F5 is no start key in waiting.
    for (int key : {vk::Escape, int('9'), int('0'), vk::F5, vk::F7, int('Q')}) {
        const KeyDecision d = DecideKey(key, Base());
        EXPECT_TRUE(d.Actions.empty()) << key;
        EXPECT_FALSE(d.Consumed) << key;
    }
}

TEST(KeyHook, EnterIsConsumedWithoutASelectedCueButNotWhileRunning) {
    KeySnapshot s = Base();
    s.SelectedCue = -1;
    KeyDecision d = DecideKey(vk::Enter, s);
    EXPECT_TRUE(d.Actions.empty());
    EXPECT_TRUE(d.Consumed);
    s.LaunchState = ConsoleState::Running;
    EXPECT_FALSE(DecideKey(vk::Enter, s).Consumed);
}

TEST(KeyHook, WarningWindowClosesFirstAndOtherWindowsKeepTheirKeys) {
    KeySnapshot s = Base();
    s.WarningVisible = true;
    s.Buttons.Project = true;
    KeyDecision d = DecideKey(vk::F2, s);
    ASSERT_EQ(d.Actions.size(), 2u);
    EXPECT_EQ(d.Actions[0].Command, KeyCommand::CloseWarning);
    EXPECT_EQ(d.Actions[1].Command, KeyCommand::ProjectBtn);

    s.MainWindowActive = false;
    d = DecideKey(vk::F2, s);
    ASSERT_EQ(d.Actions.size(), 1u);
    EXPECT_EQ(d.Actions[0].Command, KeyCommand::CloseWarning);
    EXPECT_FALSE(d.Consumed);
}

TEST(KeyHook, StartKeyActsOnlyWhenNoRowOfTheLaunchTableHasItsCode) {
    KeySnapshot s = Base();
    s.LaunchState = ConsoleState::Armed;
    s.Buttons.Start = true;
    s.StartKey = vk::Enter;
    KeyDecision d = DecideKey(vk::Enter, s);
    EXPECT_FALSE(Has(d, KeyCommand::Start));
    EXPECT_TRUE(Has(d, KeyCommand::SetStartPoint));

    s.StartKey = vk::Space;
    d = DecideKey(vk::Space, s);
    ASSERT_EQ(d.Actions.size(), 1u);
    EXPECT_EQ(d.Actions[0].Command, KeyCommand::Start);
    EXPECT_FALSE(Has(DecideKey(vk::F5, s), KeyCommand::Start));  // F5 is not the start key now

    s.StartKey = vk::F1;  // a row of the table: arms and disarms, never starts
    d = DecideKey(vk::F1, s);
    EXPECT_FALSE(Has(d, KeyCommand::Start));
    EXPECT_TRUE(Has(d, KeyCommand::ArmToggle));

    s.StartKey = vk::F5;
    s.TestMode = true;  // test mode has no start key
    EXPECT_FALSE(Has(DecideKey(vk::F5, s), KeyCommand::Start));
}

TEST(KeyHook, StepFiringNeedsManualWorkModeExactly) {
    KeySnapshot s = Base();
    ManualShow(s);
    EXPECT_TRUE(Has(DecideKey(vk::F7, s), KeyCommand::StepFire));
    s.WorkMode = TCommonPlayer::WorkAutomaticManual;
    const KeyDecision d = DecideKey(vk::F7, s);
    EXPECT_TRUE(d.Actions.empty());
    EXPECT_FALSE(d.Consumed);
    // The manual firing keys work in both manual modes.
    EXPECT_TRUE(Has(DecideKey('5', s), KeyCommand::ManualFire));
}

TEST(KeyHook, DigitKeysChangeSlotsWhileWaitingAndFireWhileAManualShowPlays) {
    KeySnapshot s = Base();
    s.LaunchState = ConsoleState::Armed;
    for (int key = '1'; key <= '8'; ++key) {
        const KeyDecision d = DecideKey(key, s);
        EXPECT_TRUE(d.Actions.empty()) << key;
        EXPECT_FALSE(d.Consumed);
    }
    ManualShow(s);
    for (int key = '1'; key <= '8'; ++key) {
        const KeyDecision d = DecideKey(key, s);
        ASSERT_EQ(d.Actions.size(), 1u) << key;
        EXPECT_EQ(
            d.Actions[0],
            (KeyAction{.Command = KeyCommand::ManualFire, .Address = 3, .Channel = key - '1'}));
        EXPECT_TRUE(d.Consumed);
    }
}

TEST(KeyHook, PagesStopAtTheLastChannelOfTheModule) {
    KeySnapshot s = Base();
    s.WorkMode = TCommonPlayer::WorkManual;
    // 40 channels: one page.
    std::optional<KeyAction> a = Find(DecideKey(vk::Right, s), KeyCommand::ManualSelect);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->Page, 0);
    // 41 channels: two pages, not three.
    s.ManualDevice = 2;
    a = Find(DecideKey(vk::Right, s), KeyCommand::ManualSelect);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->Page, 1);
    s.ManualPage = 1;
    a = Find(DecideKey(vk::Right, s), KeyCommand::ManualSelect);
    EXPECT_EQ(a->Page, 1);
    // A module reporting no channels has one page.
    s.Devices[2].ChannelCount = 0;
    s.ManualPage = 0;
    EXPECT_EQ(Find(DecideKey(vk::Right, s), KeyCommand::ManualSelect)->Page, 0);
    // No module selected: nothing moves.
    s.ManualDevice = -1;
    a = Find(DecideKey(vk::Right, s), KeyCommand::ManualSelect);
    EXPECT_EQ(a->Device, -1);
    EXPECT_EQ(a->Page, 0);
}

TEST(KeyHook, UpAndDownSkipDevicesThatAreNoFiringModules) {
    KeySnapshot s = Base();
    s.WorkMode = TCommonPlayer::WorkManual;
    // A list not yet sorted again: radio units and a console between the modules.
    s.Devices = {{0, KindRemoteControl, 0}, {3, KindCommonControl, 40}, {241, KindRadioModule, 0},
                 {255, KindSoftControl, 0}, {7, KindAutoControl, 41},   {250, KindRadioModule, 0}};
    s.ManualDevice = 1;
    s.ManualPage = 0;
    std::optional<KeyAction> a = Find(DecideKey(vk::Down, s), KeyCommand::ManualSelect);
    EXPECT_EQ(a->Device, 4);
    s.ManualDevice = 4;
    s.ManualPage = 1;
    a = Find(DecideKey(vk::Up, s), KeyCommand::ManualSelect);
    EXPECT_EQ(a->Device, 1);
    EXPECT_EQ(a->Page, 0);
    // At the ends nothing moves and the page stays.
    a = Find(DecideKey(vk::Down, s), KeyCommand::ManualSelect);
    EXPECT_EQ(a->Device, 4);
    EXPECT_EQ(a->Page, 1);
    s.ManualDevice = 1;
    EXPECT_EQ(Find(DecideKey(vk::Up, s), KeyCommand::ManualSelect)->Device, 1);
    // From no selection Down lands on the first firing module; Up stays at none.
    s.ManualDevice = -1;
    EXPECT_EQ(Find(DecideKey(vk::Down, s), KeyCommand::ManualSelect)->Device, 1);
    EXPECT_EQ(Find(DecideKey(vk::Up, s), KeyCommand::ManualSelect)->Device, -1);
    // Without any firing module the arrows clear the selection.
    s.Devices = {{0, KindRemoteControl, 0}, {241, KindRadioModule, 0}};
    s.ManualDevice = 1;
    s.ManualPage = 2;
    for (int key : {vk::Left, vk::Right, vk::Up, vk::Down}) {
        EXPECT_EQ(*Find(DecideKey(key, s), KeyCommand::ManualSelect),
                  (KeyAction{.Command = KeyCommand::ManualSelect, .Device = -1, .Page = 0}));
    }
}

TEST(KeyHook, ArrowsGoToTheCueListInAutomaticWorkMode) {
    for (int key : {vk::Left, vk::Right, vk::Up, vk::Down}) {
        const KeyDecision d = DecideKey(key, Base());
        EXPECT_TRUE(d.Actions.empty());
        EXPECT_FALSE(d.Consumed);
    }
}

TEST(KeyHook, ShowCommandsAreTheOnesTheShowControlPerforms) {
    EXPECT_FALSE(IsShowCommand(KeyCommand::CloseWarning));
    EXPECT_FALSE(IsShowCommand(KeyCommand::CheckScript));
    EXPECT_FALSE(IsShowCommand(KeyCommand::ToggleSearch));
    EXPECT_TRUE(IsShowCommand(KeyCommand::ForcingOn));
    EXPECT_TRUE(IsShowCommand(KeyCommand::Start));
    EXPECT_EQ(ManualKeyPosition(vk::Semicolon), 29);
    EXPECT_EQ(ManualKeyPosition('0'), 9);
    EXPECT_EQ(ManualKeyPosition(vk::Slash), 39);
    EXPECT_EQ(ManualKeyPosition(vk::Minus), -1);
}

// What each row does when its key is the keyboard's repeat, or comes with modifiers.
TEST(KeyHook, ARepeatedKeyOnlyMovesOrStepsAndIsConsumedAsThePressWas) {
    using C = KeyCommand;
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        KeySnapshot s = Base();
        row.met(s);
        const KeyDecision plain = DecideKey(row.key, s);
        const KeyDecision held = DecideKey(KeyStroke{.Code = row.key, .AutoRepeat = true}, s);
        EXPECT_EQ(held.Consumed, plain.Consumed);
        const bool moves = row.command == C::SelectPrevCue || row.command == C::SelectNextCue ||
                           row.command == C::TestDeviceUp || row.command == C::TestDeviceDown ||
                           row.command == C::ManualSelect || row.command == C::TempoStep ||
                           row.command == C::OffsetStep;
        EXPECT_EQ(Has(held, row.command), moves);
    }
    // A held key does not close the red window it may not even have seen.
    KeySnapshot s = Base();
    s.WarningVisible = true;
    EXPECT_FALSE(Has(DecideKey(KeyStroke{.Code = 'Q', .AutoRepeat = true}, s), C::CloseWarning));
    EXPECT_TRUE(Has(DecideKey(KeyStroke{.Code = 'Q'}, s), C::CloseWarning));
}

TEST(KeyHook, CtrlAltOrSuperLeaveEveryKeyToTheShortcuts) {
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        KeySnapshot s = Base();
        row.met(s);
        const KeyDecision d = DecideKey(KeyStroke{.Code = row.key, .Command = true}, s);
        EXPECT_TRUE(d.Actions.empty());
        EXPECT_FALSE(d.Consumed);
        s.WarningVisible = true;
        const KeyDecision w = DecideKey(KeyStroke{.Code = row.key, .Command = true}, s);
        ASSERT_EQ(w.Actions.size(), 1u);
        EXPECT_EQ(w.Actions[0].Command, KeyCommand::CloseWarning);
    }
}

TEST(KeyHook, ShiftActsAsThePlainKeyButNeverFiresArmsOrStarts) {
    using C = KeyCommand;
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        KeySnapshot s = Base();
        row.met(s);
        const KeyDecision plain = DecideKey(row.key, s);
        const KeyDecision shifted = DecideKey(KeyStroke{.Code = row.key, .Shift = true}, s);
        EXPECT_EQ(shifted.Consumed, plain.Consumed);
        const bool launches = row.command == C::ManualFire || row.command == C::StepFire ||
                              row.command == C::ArmToggle || row.command == C::Start;
        EXPECT_EQ(Has(shifted, row.command), !launches);
    }
}
