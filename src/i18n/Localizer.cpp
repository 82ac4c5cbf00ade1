#include "i18n/Localizer.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <mutex>

#include "i18n/MessageTable.h"
#include "util/IniFile.h"

namespace kv {

namespace {

struct LocalizerState {
    std::mutex lock;
    QString path;
    QStringList messages;
};

LocalizerState& State() {
    static LocalizerState state;
    return state;
}

}  // namespace

void SetLanguageFilePath(const QString& path) {
    LocalizerState& s = State();
    std::lock_guard guard(s.lock);
    s.path = path;
}

QString LanguageFilePath() {
    LocalizerState& s = State();
    std::lock_guard guard(s.lock);
    return s.path;
}

QString DefaultLanguageFilePath() {
    const QString dir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return QDir(dir).filePath(QStringLiteral("kelvanex.lng"));
}

bool EnsureMessagesLoaded() {
    LocalizerState& s = State();
    std::lock_guard guard(s.lock);
    if (!s.messages.isEmpty())
        return true;
    if (s.path.isEmpty())
        return false;
    IniFile ini;
    if (!ini.Load(s.path))
        return false;
    const QString section = QStringLiteral("strings");
    // Only the order of the keys counts, never their names.
    const QStringList keys = ini.Keys(section);
    QStringList messages;
    messages.reserve(keys.size());
    for (const QString& key : keys)
        messages.append(ini.Value(section, key));
    s.messages = messages;
    return !s.messages.isEmpty();
}

int LoadedMessageCount() {
    LocalizerState& s = State();
    std::lock_guard guard(s.lock);
    return static_cast<int>(s.messages.size());
}

QString GetText(int index, const QString& defaultText) {
    LocalizerState& s = State();
    std::lock_guard guard(s.lock);
    if (index >= 0 && index < s.messages.size())
        return s.messages.at(index);
    return defaultText;
}

QString GetLocalizedText(int index, const QString& defaultText) {
    return GetText(index, defaultText);
}

QString Message(int index, int variant) {
    return GetText(index, DefaultMessage(index, variant));
}

void ResetLocalizerForTesting() {
    LocalizerState& s = State();
    std::lock_guard guard(s.lock);
    s.path.clear();
    s.messages.clear();
}

}  // namespace kv
