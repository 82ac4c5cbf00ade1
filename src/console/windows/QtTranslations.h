#pragma once

#include <QString>

class QCoreApplication;

namespace kv {

// The interface's own language: the texts of the windows and messages are Russian (a language
// file may replace them), and so must be the buttons and dialogs Qt draws itself ("Отмена", not
// "Cancel", in the questions that guard the devices).
inline constexpr const char* kInterfaceLanguage = "ru";

// Loads Qt's translations of its own texts for language ("ru") from folder (empty: Qt's
// translations folder) and installs them on app, owned by it. Returns false when the
// translation is not installed there; Qt's English texts then stay.
bool InstallQtTranslations(QCoreApplication& app, const QString& language,
                           const QString& folder = QString());

}  // namespace kv
