#include "i18n/Localizer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
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
    // The last parse of the language file and what the file looked like then.
    std::shared_ptr<const IniFile> file;
    QString filePath;
    qint64 fileSize = -1;
    QDateTime fileTime;
    int parses = 0;
};

// The caller holds s.lock.
std::shared_ptr<const IniFile> LanguageFileLocked(LocalizerState& s) {
    if (s.path.isEmpty()) {
        return nullptr;
    }
    const QFileInfo info(s.path);
    if (!info.isFile()) {
        return nullptr;
    }
    if (s.file && s.filePath == s.path && s.fileSize == info.size() &&
        s.fileTime == info.lastModified()) {
        return s.file;
    }
    auto ini = std::make_shared<IniFile>();
    if (!ini->Load(s.path)) {
        return nullptr;
    }
    ++s.parses;
    s.file = std::move(ini);
    s.filePath = s.path;
    s.fileSize = info.size();
    s.fileTime = info.lastModified();
    return s.file;
}

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
    if (!s.messages.isEmpty()) {
        return true;
    }
    const std::shared_ptr<const IniFile> ini = LanguageFileLocked(s);
    if (!ini) {
        return false;
    }
    // Only the order of the entries counts, never their names: a repeated name is a message of
    // its own, or every later text would move up by one.
    const QStringList messages = ini->AllValues(QStringLiteral("strings"));
    s.messages = messages;
    return !s.messages.isEmpty();
}

int LoadedMessageCount() {
    LocalizerState& s = State();
    std::lock_guard guard(s.lock);
    return static_cast<int>(s.messages.size());
}

namespace {

QString LookUp(int index, const QString& defaultText) {
    LocalizerState& s = State();
    std::lock_guard guard(s.lock);
    if (index >= 0 && index < s.messages.size()) {
        return s.messages.at(index);
    }
    return defaultText;
}

}  // namespace

QString Message(Msg msg, MsgVariant variant) {
    return LookUp(static_cast<int>(msg), DefaultMessage(msg, variant));
}

std::shared_ptr<const IniFile> LanguageFile() {
    LocalizerState& s = State();
    std::lock_guard guard(s.lock);
    return LanguageFileLocked(s);
}

int LanguageFileParseCount() {
    LocalizerState& s = State();
    std::lock_guard guard(s.lock);
    return s.parses;
}

void ResetLocalizerForTesting() {
    LocalizerState& s = State();
    std::lock_guard guard(s.lock);
    s.path.clear();
    s.messages.clear();
    s.file.reset();
    s.filePath.clear();
    s.fileSize = -1;
    s.fileTime = QDateTime();
}

}  // namespace kv
