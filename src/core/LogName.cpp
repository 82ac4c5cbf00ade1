#include "core/LogName.h"

#include "core/FileLocations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace kv {

QString ProgramDirectory() {
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                        : QDir::currentPath();
}

QString LogsDirectory() {
    return CurrentFileLocations().logDir;
}

QString NextLogFileName(const QString& logsDir, const QDate& date) {
    const QDir dir(logsDir);
    const QString stem =
        QLocale::c().toString(date, QStringLiteral("dd.MM.yyyy")) + QLatin1Char('_');
    for (qint64 n = 0;; ++n) {
        const QString path = dir.filePath(stem + QString::number(n) + QStringLiteral(".log"));
        if (!QFileInfo::exists(path))
            return path;
    }
}

bool EnsureLogsDirectory(const QString& logsDir) {
    return QDir().mkpath(logsDir);
}

}  // namespace kv
