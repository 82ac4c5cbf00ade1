#pragma once

#include <QDate>
#include <QString>

namespace kv {

// The executable's folder (the program's own files are there when it runs portable).
QString ProgramDirectory();

// The folder of the event logs of this run (see FileLocations.h).
QString LogsDirectory();

// The log file of a new run: dir, the date as dd.MM.yyyy, "_", the lowest n from 0 up for which
// no such file exists yet, ".log". The file is created here (empty, exclusively), so that each
// run of the program has a file of its own even when several start at once.
QString NextLogFileName(const QString& logsDir, const QDate& date = QDate::currentDate());

// Creates the logs directory when it is missing; false when it cannot be created (the log then
// disables itself on its first write, which is all it can do).
bool EnsureLogsDirectory(const QString& logsDir);

}  // namespace kv
