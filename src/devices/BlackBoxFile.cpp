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

bool CanSaveBlackBoxFile(const QString& chosen, QString& error) {
    // The same save file the real write uses, opened and given up: it is made beside the
    // target, so a missing folder, a read-only one or a full disk shows up the same way.
    QSaveFile file(BlackBoxFileName(chosen));
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    file.cancelWriting();  // the temporary file goes with the object
    return true;
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
