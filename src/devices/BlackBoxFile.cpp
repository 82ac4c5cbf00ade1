#include "devices/BlackBoxFile.h"

#include <QLocale>
#include <QSaveFile>
#include <QtEndian>

#include "util/SystemUtils.h"

namespace kv {

QString DefaultBlackBoxFileName(const QDate& date) {
    return QLocale::c().toString(date, QStringLiteral("dd.MM.yyyy")) + QStringLiteral(".dat");
}

QString BlackBoxFileName(const QString& chosen) {
    return EnsureExtension(chosen, QStringLiteral(".DAT"));
}

bool SaveBlackBoxFile(const QString& chosen, const QByteArray& records, QString& error,
                      QString* writtenPath) {
    const QString path = BlackBoxFileName(chosen);
    if (writtenPath)
        *writtenPath = path;
    QSaveFile file(path);
    char format[4];
    qToLittleEndian<qint32>(kBlackBoxFormat, format);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(format, 4) == 4 &&
                    file.write(records) == records.size() && file.commit();
    if (!ok) {
        error = file.errorString();
        file.cancelWriting();
    }
    return ok;
}

}  // namespace kv
