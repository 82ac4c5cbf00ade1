#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace kv {

// The event log: one line per operator action or device event, so that a show can be
// reconstructed afterwards. The file is opened, written and closed for every message, so each
// line is on disk when WriteLog returns. A run of identical messages occupies one line that is
// rewritten with " ( X n )". A line is written whole or not at all: a write that fails half way
// (full disk, file size limit) is taken back. Any failure disables the file log for the rest of
// the run; the caller is not told, because the show must go on whatever happens to the disk, but
// the first failure is reported once to the failure handler below so that the operator learns
// the log is no longer written. Callable from any thread.
void WriteLog(const QString& text, int level = 1);

// The failure that disabled the file log.
struct LogFailure {
    QString path;   // the log file
    int error = 0;  // errno of the call that failed
};
// "журнал не записывается: PATH: REASON", the words the operator sees.
QString LogFailureText(const LogFailure& failure);

// Told of the first failure, once per run. It runs on the thread whose write failed (a window
// queues the news to its own thread), after the log lock is released, so it may call WriteLog
// (which then does nothing); it must not block on another thread or set the handler. When the log
// has already failed, setting a handler calls it at once. An empty handler removes it; a window
// removes its handler before it goes away.
using LogFailureHandler = std::function<void(const LogFailure& failure)>;
void SetLogFailureHandler(LogFailureHandler handler);
// The failure that disabled the log, if any.
std::optional<LogFailure> FirstLogFailure();

// A file size limit must not kill the program in the middle of a show: the signal it raises is
// ignored, so that the write fails and the log reports it. Both programs call this first thing.
void IgnoreFileSizeSignal();

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

// Back to the initial state (level 3, no file name, enabled, no last message, no failure and no
// failure handler); tests only.
void ResetEventLogForTesting();

}  // namespace kv
