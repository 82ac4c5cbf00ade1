#include "console/ConsoleLooks.h"

namespace kv {

UiColor LookShapeColor(Look look) {
    switch (look) {
        case Look::On:
            return UiColor::Rgb(colors::kLime);
        case Look::Alarm:
            return UiColor::Rgb(colors::kRed);
        case Look::Off:
            break;
    }
    return UiColor::ButtonFace();
}

UiColor LookLabelColor(Look look) {
    return look == Look::On ? UiColor::Rgb(colors::kBlack) : UiColor::WindowText();
}

}  // namespace kv
