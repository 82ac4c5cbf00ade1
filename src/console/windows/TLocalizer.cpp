#include "console/windows/TLocalizer.h"

#include <QFileInfo>
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

QString TLocalizer::GetText(int index, const QString& defaultText) const {
    return kv::GetText(index, defaultText);
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
    if (window != nullptr) {
        TranslateOne(window);
        return;
    }
    // A copy: translating a window must not be disturbed by windows coming or going.
    for (QWidget* registered : RegisteredWindows()) {
        TranslateOne(registered);
    }
}

void TLocalizer::TranslateOne(QWidget* window) {
    const QString path = LanguageFilePath();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        return;
    }
    IniFile file;
    if (!file.Load(path)) {
        return;
    }
    WindowTranslator(file).TranslateWindow(window);
}

}  // namespace kv
