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

}  // namespace kv
