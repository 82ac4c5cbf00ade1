#pragma once

#include <QtGlobal>
#include <map>
#include <optional>

#include "console/KeyHook.h"

class QEvent;
class QKeyEvent;

namespace kv {

// The US-layout virtual-key code of a key press, from the physical key where the platform
// gives its scan code (X11 and Wayland), so the keys act the same whatever layout is active;
// from the Qt key elsewhere (offscreen). 0 for a key the console has no code for.
int KeyEventCode(const QKeyEvent& event);

// Turns the window system's key events into key strokes: the US-layout code, the modifiers and
// whether the key-down is the keyboard's repeat of a held key.
class KeyStrokeReader {
public:
    // A key-down's stroke; nothing for a release (remembered) or another event.
    std::optional<KeyStroke> Read(const QEvent& event);
    // A key let go while another window had the keyboard may never be seen released.
    void Forget() { held_.clear(); }

private:
    // The last key-down or release of each physical key.
    struct KeyEdge {
        quint64 time = 0;
        bool released = false;
    };
    std::map<int, KeyEdge> held_;
};

}  // namespace kv
