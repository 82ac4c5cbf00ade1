#include "console/windows/KeyEventCode.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include "console/VirtualKeys.h"

namespace kv {

int KeyEventCode(const QKeyEvent& event) {
    static const bool scanCodesAreKeycodes = [] {
        const QString platform = QGuiApplication::platformName();
        return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
    }();
    if (scanCodesAreKeycodes && event.nativeScanCode() != 0) {
        const int code = VirtualKeyFromX11Keycode(event.nativeScanCode());
        if (code != 0) {
            return code;
        }
    }
    return VirtualKeyFromQtKey(event.key(), event.modifiers().testFlag(Qt::KeypadModifier));
}

std::optional<KeyStroke> KeyStrokeReader::Read(const QEvent& event) {
    if (event.type() != QEvent::KeyPress && event.type() != QEvent::KeyRelease) {
        return std::nullopt;
    }
    const auto& key = static_cast<const QKeyEvent&>(event);
    // The physical key where the platform names it; X11 does not flag every repeat, so a key
    // that goes down again before it came up is the keyboard's repeat as well.
    const int physical =
        key.nativeScanCode() != 0 ? static_cast<int>(key.nativeScanCode()) : key.key();
    if (event.type() == QEvent::KeyRelease) {
        if (!key.isAutoRepeat()) {
            held_[physical] = {key.timestamp(), true};
        }
        return std::nullopt;
    }
    // The X server repeats a held key as a release and a key-down at the same moment, or as
    // key-downs alone. A key-down within the repeat delay of the key's previous key-down with
    // no release between, or in the millisecond of its release, is such a repeat; a later one
    // is a new press even if its release was lost.
    constexpr quint64 kRepeatGapMs = 2000;
    bool repeat = key.isAutoRepeat();
    if (const auto last = held_.find(physical); last != held_.end()) {
        const quint64 gap = key.timestamp() - last->second.time;
        repeat = repeat || (last->second.released ? gap <= 1 : gap <= kRepeatGapMs);
    }
    held_[physical] = {key.timestamp(), false};
    const Qt::KeyboardModifiers mods = key.modifiers();
    KeyStroke stroke;
    stroke.Code = KeyEventCode(key);
    stroke.AutoRepeat = repeat;
    stroke.Shift = mods.testFlag(Qt::ShiftModifier);
    stroke.Command = (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
    return stroke;
}

}  // namespace kv
