#include "console/ManualKeyLooks.h"

#include "console/KeyHook.h"
#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "shows/TCommonPlayer.h"

namespace kv {

namespace {

constexpr int kPage = kManualKeys;

// The module on the manual keyboard, or nullptr when the selection is none or outside the
// firing modules of the list.
const TCommonControl* SelectedModule(const TControls& controls, int manualDevice) {
    if (manualDevice == -1 || manualDevice < controls.FirstModuleIndex() ||
        manualDevice > controls.LastModuleIndex()) {
        return nullptr;
    }
    return controls.ModuleAt(manualDevice);
}

// A channel the module has: letter by its fired flag, shape and number by its test state.
ManualKeyLook ChannelKey(const TCommonControl& module, int channel) {
    const auto c = static_cast<size_t>(channel);
    ManualKeyLook k;
    k.Letter = UiColor::Rgb(module.ChannelFired[c] ? colors::kDarkGrey : colors::kBlack);
    k.NumberText = QString::number(channel + 1);
    switch (module.ChannelState[c]) {
        case ChannelConnected:
            k.Shape = UiColor::Rgb(colors::kLime);
            k.Number = UiColor::Rgb(colors::kBlack);
            break;
        case ChannelNotConnected:
            k.Shape = UiColor::Rgb(colors::kBlue);
            k.Number = UiColor::Rgb(colors::kWhite);
            break;
        case ChannelError:
            k.Shape = UiColor::Rgb(colors::kRed);
            k.Number = UiColor::Rgb(colors::kWhite);
            break;
        default:
            k.Shape = UiColor::ButtonFace();
            k.Number = UiColor::Rgb(colors::kBlack);
            break;
    }
    return k;
}

bool HasChannel(const TCommonControl& module, int channel) {
    return channel >= 0 && channel < module.ChannelCount && channel < kMaxChannels;
}

}  // namespace

QString ManualKeyLetter(int index) {
    if (index < 0 || index >= kManualKeys) {
        return QString();
    }
    switch (const int code = kManualKeyMap[static_cast<size_t>(index)]) {
        case vk::Semicolon:
            return QStringLiteral(";");
        case vk::Comma:
            return QStringLiteral(",");
        case vk::Period:
            return QStringLiteral(".");
        case vk::Slash:
            return QStringLiteral("/");
        default:
            return QString(QChar(code));
    }
}

ManualKeyLook IdleManualKey() {
    return ManualKeyLook{};
}

ManualKeyboardView ManualKeyboard(const TControls& controls, uint8_t workMode, int manualDevice,
                                  int manualPage) {
    ManualKeyboardView v;
    v.PanelsVisible =
        workMode == TCommonPlayer::WorkManual || workMode == TCommonPlayer::WorkAutomaticManual;
    if (!v.PanelsVisible) {
        return v;
    }
    const TCommonControl* module = SelectedModule(controls, manualDevice);
    if (module == nullptr) {
        return v;
    }
    v.CaptionsVisible = true;
    v.ModuleText = QString::number(module->Address);
    v.PageText = QString::number(manualPage + 1);
    for (int i = 0; i < kManualKeys; ++i) {
        const int channel = manualPage * kPage + i;
        if (HasChannel(*module, channel)) {
            v.Keys[static_cast<size_t>(i)] = ChannelKey(*module, channel);
        }
    }
    return v;
}

std::optional<ManualKeyUpdate> ManualKeyAfterChange(const TControls& controls, int manualDevice,
                                                    int manualPage, int32_t address,
                                                    int32_t channel) {
    const TCommonControl* module = SelectedModule(controls, manualDevice);
    const int64_t first = static_cast<int64_t>(manualPage) * kPage;
    if (module == nullptr || module->Address != address || channel < first ||
        channel >= first + kPage) {
        return std::nullopt;
    }
    ManualKeyUpdate u;
    u.Index = static_cast<int>(channel - first);
    if (HasChannel(*module, channel)) {
        u.Look = ChannelKey(*module, channel);
    } else {
        // A fire beyond the module's channels: the key shows that something was sent.
        u.Look.Shape = UiColor::Rgb(colors::kGrey);
    }
    return u;
}

}  // namespace kv
