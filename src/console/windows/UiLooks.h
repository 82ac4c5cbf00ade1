#pragma once

#include <QColor>
#include <QPalette>

#include "console/ConsoleLooks.h"
#include "console/windows/TShape.h"

namespace kv {

// The console's looks and colours as the widgets draw them; the system colours come from the
// palette of the widget that draws them.
inline TShape::Look ShapeLook(Look look) {
    switch (look) {
        case Look::On:
            return TShape::Look::On;
        case Look::Alarm:
            return TShape::Look::Alarm;
        case Look::Off:
            break;
    }
    return TShape::Look::Off;
}

inline QColor ToQColor(const UiColor& color, const QPalette& palette) {
    switch (color.role) {
        case UiColor::Role::ButtonFace:
            return palette.color(QPalette::Button);
        case UiColor::Role::WindowText:
            return palette.color(QPalette::WindowText);
        case UiColor::Role::Rgb:
            break;
    }
    return QColor::fromRgb(static_cast<QRgb>(color.rgb));
}

}  // namespace kv
