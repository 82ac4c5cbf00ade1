#include "core/EventLog.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace kv {

namespace {

// A text no real message equals, so that the first message is never taken for a repeat.
const QString kNoMessage = QString(QChar(1));

struct LogState {
    std::mutex lock;  // held while the file is open
    std::atomic<std::uint8_t> level{3};
    std::atomic<bool> disabled{false};
    QString fileName;
    QString lastMessage = kNoMessage;
    qint64 lineStart = 0;
    int repeatCount = 0;
};

LogState& State() {
    static LogState state;
    return state;
}

// Who is told of the first failure, apart from the log lock so that the handler runs without it.
struct FailureNotice {
    std::mutex lock;
    std::optional<LogFailure> failure;
    LogFailureHandler handler;
};

FailureNotice& Notice() {
    static FailureNotice notice;
    return notice;
}

void ReportFailure(const LogFailure& failure) {
    FailureNotice& n = Notice();
    std::lock_guard guard(n.lock);
    if (n.failure) {
        return;
    }
    n.failure = failure;
    if (n.handler) {
        n.handler(failure);
    }
}

bool StderrRequested() {
    const char* v = std::getenv(kLogStderrVariable);
    return v && *v && !(v[0] == '0' && v[1] == '\0');
}

QString DefaultFileName() {
    QString program =
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    if (program.isEmpty()) {
        program = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    }
    const QFileInfo info(program);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".log");
}

// Writes bytes at offset; false with errno set when not all of them could be written.
bool WriteAllAt(int fd, const QByteArray& bytes, off_t offset) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::pwrite(fd, p, static_cast<size_t>(left), offset);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        left -= n;
        offset += n;
    }
    return true;
}

// The bytes of the file from offset to its end (the line a repeat rewrites).
QByteArray ReadTail(int fd, off_t offset, off_t end) {
    QByteArray bytes;
    if (end <= offset) {
        return bytes;
    }
    bytes.resize(static_cast<qsizetype>(end - offset));
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n =
            ::pread(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got), offset + got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

// Cuts the file back to size after a failed write. When even that fails there is nothing more
// to do: the log is disabled from here on.
void CutBack(int fd, off_t size) {
    if (::ftruncate(fd, size) != 0) {
        return;
    }
}

// Steps 5 to 7 of a write, with the lock held. False on any failure, with its errno in error.
// The file is left as it was before the call when the new line could not be written whole.
bool WriteLine(LogState& s, const QString& path, const QString& text, int& error) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = errno;
        return false;
    }
    bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0;  // another writer holds it: fail
    if (!ok) {
        error = errno;
    }
    const QString stamp = LogTimeStamp(QDateTime::currentDateTime());
    off_t end = -1;
    if (ok) {
        end = ::lseek(fd, 0, SEEK_END);
        ok = end >= 0;
        if (!ok) {
            error = errno;
        }
    }
    if (ok && text != s.lastMessage) {
        const QByteArray line =
            (stamp + QStringLiteral(": ") + text + QStringLiteral("\r\n")).toUtf8();
        if (WriteAllAt(fd, line, end)) {
            s.lastMessage = text;
            s.lineStart = end;
            s.repeatCount = 1;
        } else {
            error = errno;
            ok = false;
            // No half line: what was written of it goes again.
            CutBack(fd, end);
        }
    } else if (ok && !text.isEmpty()) {
        const off_t at =
            s.lineStart >= 0 && s.lineStart <= end ? static_cast<off_t>(s.lineStart) : end;
        const QByteArray line = (stamp + QStringLiteral(": ") + text + QStringLiteral(" ( X ") +
                                 QString::number(s.repeatCount + 1) + QStringLiteral(" )\r\n"))
                                    .toUtf8();
        // The line is overwritten in place rather than cut first, and the old one is put back
        // when the new one does not fit, so a full disk loses no line already written.
        const QByteArray old = ReadTail(fd, at, end);
        if (WriteAllAt(fd, line, at)) {
            const off_t newEnd = at + static_cast<off_t>(line.size());
            if (newEnd < end && ::ftruncate(fd, newEnd) != 0) {
                error = errno;
                ok = false;
            } else {
                ++s.repeatCount;
            }
        } else {
            error = errno;
            ok = false;
            (void)WriteAllAt(fd, old, at);
            CutBack(fd, end);
        }
    }
    if (::close(fd) != 0 && ok) {
        error = errno;
        ok = false;
    }
    return ok;
}

}  // namespace

void WriteLog(const QString& text, int level) {
    LogState& s = State();
    if (level <= 0 || level > s.level.load()) {
        return;
    }
    if (StderrRequested()) {
        const QByteArray line = text.toUtf8() + '\n';
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    }
    if (s.disabled.load()) {
        return;
    }
    std::optional<LogFailure> failure;
    {
        std::lock_guard guard(s.lock);
        if (s.disabled.load()) {
            return;
        }
        const QString path = s.fileName.isEmpty() ? DefaultFileName() : s.fileName;
        int error = 0;
        if (!WriteLine(s, path, text, error)) {
            s.disabled.store(true);
            failure = LogFailure{path, error};
        }
    }
    if (failure) {
        ReportFailure(*failure);
    }
}

QString LogFailureText(const LogFailure& failure) {
    return QStringLiteral("журнал не записывается: ") + failure.path + QStringLiteral(": ") +
           QString::fromLocal8Bit(std::strerror(failure.error));
}

void SetLogFailureHandler(LogFailureHandler handler) {
    FailureNotice& n = Notice();
    std::lock_guard guard(n.lock);
    n.handler = std::move(handler);
    if (n.failure && n.handler) {
        n.handler(*n.failure);
    }
}

std::optional<LogFailure> FirstLogFailure() {
    FailureNotice& n = Notice();
    std::lock_guard guard(n.lock);
    return n.failure;
}

void IgnoreFileSizeSignal() {
    ::signal(SIGXFSZ, SIG_IGN);
}

void SetLogLevel(std::uint8_t level) {
    State().level.store(level);
}

std::uint8_t LogLevel() {
    return State().level.load();
}

void SetLogFileName(const QString& path) {
    LogState& s = State();
    std::lock_guard guard(s.lock);
    s.fileName = path;
}

QString LogFileName() {
    LogState& s = State();
    std::lock_guard guard(s.lock);
    return s.fileName;
}

bool LogDisabled() {
    return State().disabled.load();
}

QString LogTimeStamp(const QDateTime& when) {
    const QLocale c = QLocale::c();
    const QString date = c.toString(when.date(), QStringLiteral("dd.MM.yyyy"));
    if (when.time() == QTime(0, 0)) {
        return date;
    }
    return date + QLatin1Char(' ') + c.toString(when.time(), QStringLiteral("H:mm:ss"));
}

void ResetEventLogForTesting() {
    LogState& s = State();
    std::lock_guard guard(s.lock);
    s.level.store(3);
    s.disabled.store(false);
    s.fileName.clear();
    s.lastMessage = kNoMessage;
    s.lineStart = 0;
    s.repeatCount = 0;
    FailureNotice& n = Notice();
    std::lock_guard noticeGuard(n.lock);
    n.failure.reset();
    n.handler = nullptr;
}

}  // namespace kv
