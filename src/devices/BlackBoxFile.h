#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

namespace kv {

// The black-box file: the format number 1 (32-bit, little-endian), then the module records
// exactly as the read filled them.
constexpr int kBlackBoxFormat = 1;

// The name the save dialog offers: today's date as dd.MM.yyyy, then ".dat".
QString DefaultBlackBoxFileName(const QDate& date = QDate::currentDate());

// The name actually written: ".DAT" appended unless the name already ends in it (any case).
QString BlackBoxFileName(const QString& chosen);

// Writes the file under BlackBoxFileName(chosen). The file appears complete or not at all, so a
// half-written file is never left behind as if it were the reading. On failure returns false
// with the system's error text in error.
// Whether the file SaveBlackBoxFile would write can be created there, with room for bytes,
// asked before a read that takes a minute; false with the system's error text ("No space left
// on device" with the figures when the room is short). Leaves nothing behind.
bool CanSaveBlackBoxFile(const QString& chosen, QString& error, qint64 bytes = 0);
// The size of the file of a reading of that many modules.
qint64 BlackBoxFileSize(int modules);

bool SaveBlackBoxFile(const QString& chosen, const QByteArray& records, QString& error,
                      QString* writtenPath = nullptr);

}  // namespace kv
