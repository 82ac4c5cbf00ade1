#pragma once

#include <QtGlobal>

namespace kv {

// The key hook works on US-layout virtual-key codes: the manual keyboard is a map of physical
// keys, so a Cyrillic layout must give the same codes as a Latin one.

// From the X11/evdev keycode of the physical key (QKeyEvent::nativeScanCode() under xcb);
// 0 for a key the console has no code for. The keypad keys are told apart from the main ones.
int VirtualKeyFromX11Keycode(quint32 nativeScanCode);

// Fallback where no scan code is known: from the Qt key (Qt::Key) and whether the key is on
// the keypad. Letters and punctuation of another layout give 0.
int VirtualKeyFromQtKey(int qtKey, bool keypad);

}  // namespace kv
