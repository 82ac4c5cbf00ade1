#pragma once

class QKeyEvent;

namespace kv {

// The US-layout virtual-key code of a key press, from the physical key where the platform
// gives its scan code (X11 and Wayland), so the keys act the same whatever layout is active;
// from the Qt key elsewhere (offscreen). 0 for a key the console has no code for.
int KeyEventCode(const QKeyEvent& event);

}  // namespace kv
