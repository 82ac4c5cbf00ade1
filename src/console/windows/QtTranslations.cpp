#include "console/windows/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace kv {

bool InstallQtTranslations(QCoreApplication& app, const QString& language, const QString& folder) {
    const QString from =
        folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    auto* translator = new QTranslator(&app);
    // qtbase holds the dialog buttons and the file dialog; the "qt" catalogue would pull in
    // every module's file, which a minimal installation may lack.
    if (!translator->load(QStringLiteral("qtbase_") + language, from)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

}  // namespace kv
