#include "core/LogName.h"

#include "core/FileLocations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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
        // Created here, exclusively: two programs started together in one folder would both
        // see the same number free and write one file between them.
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return path;
        }
        // Taken: the next number. A folder that cannot take a file at all: the name anyway,
        // and the log reports its first failed write.
        if (!QFileInfo::exists(path)) {
            return path;
        }
    }
}

bool EnsureLogsDirectory(const QString& logsDir) {
    return QDir().mkpath(logsDir);
}

}  // namespace kv
