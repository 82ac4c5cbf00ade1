#include "console/windows/TLocalizer.h"

#include <QWidget>
#include <algorithm>

#include "console/windows/WindowTranslator.h"
#include "i18n/Localizer.h"
#include "util/IniFile.h"

namespace kv {

namespace {

std::vector<TLocalizer*>& Registry() {
    static std::vector<TLocalizer*> registry;
    return registry;
}

}  // namespace

TLocalizer::TLocalizer(QWidget* owner) : QObject(owner), owner_(owner) {
    Registry().push_back(this);
}

TLocalizer::~TLocalizer() {
    auto& registry = Registry();
    registry.erase(std::remove(registry.begin(), registry.end(), this), registry.end());
}

std::vector<QWidget*> TLocalizer::RegisteredWindows() {
    std::vector<QWidget*> windows;
    for (const TLocalizer* localizer : Registry()) {
        windows.push_back(localizer->owner_);
    }
    return windows;
}

void TLocalizer::Translate(QWidget* window) {
    EnsureMessagesLoaded();
    // One parse for the messages and every window (a big file took seconds per parse).
    const std::shared_ptr<const IniFile> file = LanguageFile();
    if (window != nullptr) {
        TranslateOne(window, file.get());
        return;
    }
    // A copy: translating a window must not be disturbed by windows coming or going.
    for (QWidget* registered : RegisteredWindows()) {
        TranslateOne(registered, file.get());
    }
}

void TLocalizer::TranslateOne(QWidget* window, const IniFile* file) {
    if (file == nullptr) {
        return;
    }
    WindowTranslator(*file).TranslateWindow(window);
}

}  // namespace kv
