#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace kv {

// The event log: one line per operator action or device event, so that a show can be
// reconstructed afterwards. The file is opened, written and closed for every message, so each
// line is on disk when WriteLog returns. A run of identical messages occupies one line that is
// cut and rewritten with " ( X n )". Any failure disables the file log for the rest of the run,
// silently: the show must go on whatever happens to the disk. Callable from any thread.
void WriteLog(const QString& text, int level = 1);

// Highest level written (initially 3; the console sets 1 at start-up).
void SetLogLevel(std::uint8_t level);
std::uint8_t LogLevel();
// Full path of the log file; empty means the program's own path with ".log".
void SetLogFileName(const QString& path);
QString LogFileName();
bool LogDisabled();

// "dd.MM.yyyy H:mm:ss", the time left out at exactly midnight.
QString LogTimeStamp(const QDateTime& when);

// Name of the environment variable that, when set to anything but "" or "0", copies every
// accepted message to standard error (the debugger output of the console).
inline constexpr const char* kLogStderrVariable = "KELVANE_LOG_STDERR";

// Back to the initial state (level 3, no file name, enabled, no last message); tests only.
void ResetEventLogForTesting();

}  // namespace kv
