#include "devices/BlackBoxFile.h"

#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStorageInfo>
#include <QtEndian>
#include <cerrno>
#include <cstring>

#include "devices/ScriptTransfer.h"

#include "util/SystemUtils.h"

namespace kv {

QString DefaultBlackBoxFileName(const QDate& date) {
    return QLocale::c().toString(date, QStringLiteral("dd.MM.yyyy")) + QStringLiteral(".dat");
}

QString BlackBoxFileName(const QString& chosen) {
    return EnsureExtension(chosen, QStringLiteral(".DAT"));
}

namespace {

// "No space left on device" when the file's folder has less room than the write needs; an
// empty text when there is room (or the room cannot be told).
QString SpaceShortage(const QString& path, qint64 bytes) {
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    const qint64 free = storage.isValid() ? storage.bytesAvailable() : -1;
    if (free < 0 || free >= bytes) {
        return QString();
    }
    return QStringLiteral("%1 (%2 bytes needed, %3 free)")
        .arg(QString::fromLocal8Bit(std::strerror(ENOSPC)))
        .arg(bytes)
        .arg(free);
}

}  // namespace

qint64 BlackBoxFileSize(int modules) {
    return 4 + static_cast<qint64>(modules) * transfer::kBlackBoxRecordSize;
}

bool CanSaveBlackBoxFile(const QString& chosen, QString& error, qint64 bytes) {
    // The same save file the real write uses, opened and given up: it is made beside the
    // target, so a missing folder, a read-only one or a full disk shows up the same way.
    QSaveFile file(BlackBoxFileName(chosen));
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    file.cancelWriting();  // the temporary file goes with the object
    // An empty file fits where the reading may not: the room is asked for too.
    error = SpaceShortage(BlackBoxFileName(chosen), bytes);
    return error.isEmpty();
}

bool SaveBlackBoxFile(const QString& chosen, const QByteArray& records, QString& error,
                      QString* writtenPath) {
    const QString path = BlackBoxFileName(chosen);
    if (writtenPath) {
        *writtenPath = path;
    }
    QSaveFile file(path);
    char format[4];
    qToLittleEndian<qint32>(kBlackBoxFormat, format);
    // Unbuffered: a short write (the disk filled up) shows in write()'s count; through the
    // buffer it can get lost and the commit would put a cut file in place.
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                    file.write(format, 4) == 4 && file.write(records) == records.size() &&
                    file.commit();
    if (!ok) {
        // A full disk shows at the commit, where the text is often only "Unknown error".
        const QString shortage = SpaceShortage(path, records.size() + 4);
        error = shortage.isEmpty() ? file.errorString() : shortage;
        file.cancelWriting();
    }
    return ok;
}

}  // namespace kv
