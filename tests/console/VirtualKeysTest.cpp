#include <gtest/gtest.h>

#include <Qt>

#include "console/KeyHook.h"
#include "console/VirtualKeys.h"

using namespace kv;

TEST(VirtualKeys, PhysicalKeysGiveTheirUsLayoutCodes) {
    const std::pair<quint32, int> cases[] = {
        {24, 'Q'},           {59, vk::Comma},   {60, vk::Period},   {61, vk::Slash},
        {47, vk::Semicolon}, {20, vk::Minus},   {21, vk::Equals},   {10, '1'},
        {19, '0'},           {38, 'A'},         {52, 'Z'},          {58, 'M'},
        {67, vk::F1},        {76, vk::F10},     {95, vk::F11},      {96, vk::F12},
        {23, vk::Tab},       {9, vk::Escape},   {36, vk::Enter},    {65, vk::Space},
        {63, vk::Multiply},  {86, vk::Add},     {82, vk::Subtract}, {106, vk::Divide},
        {104, vk::Enter},    {111, vk::Up},     {113, vk::Left},    {114, vk::Right},
        {116, vk::Down},     {118, vk::Insert}, {119, vk::Delete},  {112, vk::PageUp},
        {117, vk::PageDown},
    };
    for (const auto& [code, key] : cases) {
        EXPECT_EQ(VirtualKeyFromX11Keycode(code), key) << code;
    }
    EXPECT_EQ(VirtualKeyFromX11Keycode(0), 0);
    EXPECT_EQ(VirtualKeyFromX11Keycode(255), 0);
    // Every manual firing key has its physical key.
    int found = 0;
    for (quint32 code = 0; code < 256; ++code) {
        found += ManualKeyPosition(VirtualKeyFromX11Keycode(code)) >= 0 ? 1 : 0;
    }
    EXPECT_EQ(found, kManualKeys);
}

TEST(VirtualKeys, QtKeysGiveTheSameCodesAndTheKeypadIsToldApart) {
    const std::tuple<int, bool, int> cases[] = {
        {Qt::Key_Q, false, 'Q'},
        {Qt::Key_7, false, '7'},
        {Qt::Key_7, true, 103},
        {Qt::Key_Comma, false, vk::Comma},
        {Qt::Key_Less, false, vk::Comma},
        {Qt::Key_Semicolon, false, vk::Semicolon},
        {Qt::Key_Slash, false, vk::Slash},
        {Qt::Key_Slash, true, vk::Divide},
        {Qt::Key_Asterisk, true, vk::Multiply},
        {Qt::Key_Plus, true, vk::Add},
        {Qt::Key_Plus, false, vk::Equals},
        {Qt::Key_Equal, false, vk::Equals},
        {Qt::Key_Minus, true, vk::Subtract},
        {Qt::Key_Minus, false, vk::Minus},
        {Qt::Key_Enter, true, vk::Enter},
        {Qt::Key_Return, false, vk::Enter},
        {Qt::Key_F2, false, vk::F2},
        {Qt::Key_F12, false, vk::F12},
        {Qt::Key_Backtab, false, vk::Tab},  // Shift+Tab is Tab to the hook
        {Qt::Key_Escape, false, vk::Escape},
        {Qt::Key_Space, false, vk::Space},
        {Qt::Key_Insert, false, vk::Insert},
        {Qt::Key_Delete, false, vk::Delete},
        {Qt::Key_PageUp, false, vk::PageUp},
        {Qt::Key_Up, true, vk::Up},  // keypad arrows with NumLock off
        {0x0415, false, 0},          // a Cyrillic letter: no code of its own
    };
    for (const auto& [qtKey, keypad, key] : cases) {
        EXPECT_EQ(VirtualKeyFromQtKey(qtKey, keypad), key) << qtKey << ' ' << keypad;
    }
}
