#include "core/EventLog.h"

#include <fcntl.h>
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

bool StderrRequested() {
    const char* v = std::getenv(kLogStderrVariable);
    return v && *v && !(v[0] == '0' && v[1] == '\0');
}

QString DefaultFileName() {
    QString program =
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    if (program.isEmpty())
        program = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const QFileInfo info(program);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".log");
}

bool WriteAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Steps 5 to 7 of a write, with the lock held. False on any failure.
bool WriteLine(LogState& s, const QString& path, const QString& text) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0;  // another writer holds it: fail
    const QString stamp = LogTimeStamp(QDateTime::currentDateTime());
    if (ok) {
        const off_t end = ::lseek(fd, 0, SEEK_END);
        ok = end >= 0;
        if (ok && text != s.lastMessage) {
            s.lastMessage = text;
            s.lineStart = end;
            s.repeatCount = 1;
            ok = WriteAll(fd,
                          (stamp + QStringLiteral(": ") + text + QStringLiteral("\r\n")).toUtf8());
        } else if (ok && !text.isEmpty()) {
            off_t at = end;
            if (s.lineStart >= 0) {
                at = ::lseek(fd, static_cast<off_t>(s.lineStart), SEEK_SET);
                ok = at >= 0;
            }
            ok = ok && ::ftruncate(fd, at) == 0;
            if (ok) {
                ++s.repeatCount;
                ok = WriteAll(fd, (stamp + QStringLiteral(": ") + text + QStringLiteral(" ( X ") +
                                   QString::number(s.repeatCount) + QStringLiteral(" )\r\n"))
                                      .toUtf8());
            }
        }
    }
    if (::close(fd) != 0)
        ok = false;
    return ok;
}

}  // namespace

void WriteLog(const QString& text, int level) {
    LogState& s = State();
    if (level <= 0 || level > s.level.load())
        return;
    if (StderrRequested()) {
        const QByteArray line = text.toUtf8() + '\n';
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    }
    if (s.disabled.load())
        return;
    std::lock_guard guard(s.lock);
    if (s.disabled.load())
        return;
    const QString path = s.fileName.isEmpty() ? DefaultFileName() : s.fileName;
    if (!WriteLine(s, path, text))
        s.disabled.store(true);
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
    if (when.time() == QTime(0, 0))
        return date;
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
}

}  // namespace kv
