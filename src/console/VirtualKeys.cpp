#include "console/VirtualKeys.h"

#include <Qt>
#include <array>
#include <utility>

#include "console/KeyHook.h"

namespace kv {

namespace {

// X11 keycodes are the evdev codes + 8; this table covers the main block, the function keys,
// the navigation block and the keypad of a PC keyboard.
constexpr std::pair<quint32, int> kX11Keys[] = {
    {9, vk::Escape},
    // Digit row.
    {10, '1'},
    {11, '2'},
    {12, '3'},
    {13, '4'},
    {14, '5'},
    {15, '6'},
    {16, '7'},
    {17, '8'},
    {18, '9'},
    {19, '0'},
    {20, vk::Minus},
    {21, vk::Equals},
    {22, 8},
    {23, vk::Tab},
    // Upper letter row.
    {24, 'Q'},
    {25, 'W'},
    {26, 'E'},
    {27, 'R'},
    {28, 'T'},
    {29, 'Y'},
    {30, 'U'},
    {31, 'I'},
    {32, 'O'},
    {33, 'P'},
    {34, 219},
    {35, 221},
    {36, vk::Enter},
    {37, 17},
    // Home row.
    {38, 'A'},
    {39, 'S'},
    {40, 'D'},
    {41, 'F'},
    {42, 'G'},
    {43, 'H'},
    {44, 'J'},
    {45, 'K'},
    {46, 'L'},
    {47, vk::Semicolon},
    {48, 222},
    {49, 192},
    {50, 16},
    {51, 220},
    // Lower row.
    {52, 'Z'},
    {53, 'X'},
    {54, 'C'},
    {55, 'V'},
    {56, 'B'},
    {57, 'N'},
    {58, 'M'},
    {59, vk::Comma},
    {60, vk::Period},
    {61, vk::Slash},
    {62, 16},
    {63, vk::Multiply},
    {64, 18},
    {65, vk::Space},
    {66, 20},
    // F1..F10, the locks.
    {67, vk::F1},
    {68, vk::F2},
    {69, vk::F3},
    {70, vk::F4},
    {71, vk::F5},
    {72, vk::F6},
    {73, vk::F7},
    {74, vk::F8},
    {75, vk::F9},
    {76, vk::F10},
    {77, 144},
    {78, 145},
    // Keypad digits as the number pad codes (96..105), its operators and its point.
    {79, 103},
    {80, 104},
    {81, 105},
    {82, vk::Subtract},
    {83, 100},
    {84, 101},
    {85, 102},
    {86, vk::Add},
    {87, 97},
    {88, 98},
    {89, 99},
    {90, 96},
    {91, 110},
    {94, 226},
    {95, vk::F11},
    {96, vk::F12},
    {104, vk::Enter},
    {105, 17},
    {106, vk::Divide},
    {107, 44},
    {108, 18},
    // Navigation block.
    {110, 36},
    {111, vk::Up},
    {112, vk::PageUp},
    {113, vk::Left},
    {114, vk::Right},
    {115, 35},
    {116, vk::Down},
    {117, vk::PageDown},
    {118, vk::Insert},
    {119, vk::Delete},
    {127, 19},
};

// Characters of the US layout (with and without Shift) to the code of their key.
constexpr std::pair<int, int> kUsCharacters[] = {
    {'-', vk::Minus},     {'_', vk::Minus},     {'=', vk::Equals}, {'+', vk::Equals},
    {';', vk::Semicolon}, {':', vk::Semicolon}, {',', vk::Comma},  {'<', vk::Comma},
    {'.', vk::Period},    {'>', vk::Period},    {'/', vk::Slash},  {'?', vk::Slash},
    {'[', 219},           {'{', 219},           {']', 221},        {'}', 221},
    {'\\', 220},          {'|', 220},           {'\'', 222},       {'"', 222},
    {'`', 192},           {'~', 192},           {'!', '1'},        {'@', '2'},
    {'#', '3'},           {'$', '4'},           {'%', '5'},        {'^', '6'},
    {'&', '7'},           {'*', '8'},           {'(', '9'},        {')', '0'},
    {' ', vk::Space},
};

}  // namespace

int VirtualKeyFromX11Keycode(quint32 nativeScanCode) {
    for (const auto& [code, key] : kX11Keys) {
        if (code == nativeScanCode) {
            return key;
        }
    }
    return 0;
}

int VirtualKeyFromQtKey(int qtKey, bool keypad) {
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
            return 96 + (qtKey - Qt::Key_0);
        }
        switch (qtKey) {
            case Qt::Key_Asterisk:
                return vk::Multiply;
            case Qt::Key_Plus:
                return vk::Add;
            case Qt::Key_Minus:
                return vk::Subtract;
            case Qt::Key_Slash:
                return vk::Divide;
            case Qt::Key_Period:
            case Qt::Key_Comma:
                return 110;
            default:
                break;  // keypad navigation keys (NumLock off) act as the navigation block
        }
    }
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)) {
        return qtKey;
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) {
        return vk::F1 + (qtKey - Qt::Key_F1);
    }
    switch (qtKey) {
        case Qt::Key_Escape:
            return vk::Escape;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return vk::Tab;
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return vk::Enter;
        case Qt::Key_Insert:
            return vk::Insert;
        case Qt::Key_Delete:
            return vk::Delete;
        case Qt::Key_Home:
            return 36;
        case Qt::Key_End:
            return 35;
        case Qt::Key_Left:
            return vk::Left;
        case Qt::Key_Up:
            return vk::Up;
        case Qt::Key_Right:
            return vk::Right;
        case Qt::Key_Down:
            return vk::Down;
        case Qt::Key_PageUp:
            return vk::PageUp;
        case Qt::Key_PageDown:
            return vk::PageDown;
        default:
            break;
    }
    for (const auto& [ch, key] : kUsCharacters) {
        if (ch == qtKey) {
            return key;
        }
    }
    return 0;
}

}  // namespace kv
