#include "util/SystemUtils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "util/TDivStrings.h"

#ifndef KV_VERSION_TEXT
#define KV_VERSION_TEXT "0.0.0.0"
#endif

namespace kv {

QString DecimalText(int64_t value, int width) {
    QString s = QString::number(value);
    if (width >= 1 && width <= 15 && s.size() < width) {
        s = QString(width - s.size(), QChar('0')) + s;
    }
    return s;
}

QString TimeText(int32_t ms, int decimals) {
    // Work in 64 bits so that the most negative time has an absolute value.
    int64_t t = ms;
    QString sign;
    if (t < 0) {
        sign = QStringLiteral("-");
        t = -t;
    }
    const int64_t secs = t / 1000;
    const int64_t frac = t % 1000;
    QString s = QStringLiteral("%1%2:%3:%4")
                    .arg(sign)
                    .arg(secs / 3600)
                    .arg((secs / 60) % 60, 2, 10, QChar('0'))
                    .arg(secs % 60, 2, 10, QChar('0'));
    switch (decimals) {
        case 1:
            s += QStringLiteral(".%1").arg(frac / 100);
            break;
        case 2:
            s += QStringLiteral(".%1").arg(frac / 10, 2, 10, QChar('0'));
            break;
        case 3:
            s += QStringLiteral(".%1").arg(frac, 3, 10, QChar('0'));
            break;
        default:
            break;
    }
    return s;
}

int64_t TruncWithMargin(double x) {
    // Out-of-range and NaN inputs would make the conversion undefined: saturate instead.
    if (std::isnan(x)) {
        return 0;
    }
    const double t = std::trunc(x >= 0 ? x + 0.00001 : x - 0.00001);
    if (t >= 9223372036854775807.0) {
        return INT64_MAX;
    }
    if (t <= -9223372036854775808.0) {
        return INT64_MIN;
    }
    return static_cast<int64_t>(t);
}

int64_t RoundHalfAway(double x) {
    if (!std::isfinite(x) || std::fabs(x) >= 9.2e14) {
        return TruncWithMargin(x);  // no fraction left to round at this size
    }
    const double c = std::nearbyint(x * 10000.0) / 10000.0;  // default mode: ties to even
    const int64_t whole = TruncWithMargin(c);
    const double frac = std::fabs(c - std::trunc(c));
    if (c >= 0) {
        return frac >= 0.5 ? whole + 1 : whole;
    }
    return frac >= 0.5 ? whole - 1 : whole;
}

QString EnsureExtension(const QString& fileName, const QString& ext) {
    if (fileName.endsWith(ext, Qt::CaseInsensitive)) {
        return fileName;
    }
    return fileName + ext;
}

int32_t IntOrZero(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    return ok ? v : 0;
}

namespace {
bool ReadLenient(const QString& text, double& value) {
    QString t = text.trimmed();
    t.replace(QChar(','), QChar('.'));
    bool ok = false;
    value = t.toDouble(&ok);  // QString::toDouble always reads the C locale
    return ok && std::isfinite(value);
}
}  // namespace

double LenientReal(const QString& text) {
    double v = 0;
    return ReadLenient(text, v) ? v : 0.0;
}

bool LenientRealReadable(const QString& text) {
    double v = 0;
    return ReadLenient(text, v);
}

int64_t HexValue(const QString& text) {
    static const QString digits = QStringLiteral("0123456789ABCDEF");
    // Unsigned arithmetic: a text longer than 15 characters wraps instead of overflowing.
    uint64_t sum = 0;
    uint64_t weight = 1;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const int64_t v = digits.indexOf(text.at(i).toUpper());  // -1 when absent
        sum += static_cast<uint64_t>(v) * weight;
        weight *= 16;
    }
    return static_cast<int64_t>(sum);
}

bool ReadInputFile(const QString& path, qint64 maxBytes, QByteArray& bytes, QString& error) {
    bytes.clear();
    // Opened without waiting (a FIFO's open would block until a writer comes), then looked at.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) {
        error = QString::fromLocal8Bit(std::strerror(errno));
    } else if (!S_ISREG(st.st_mode)) {
        error = QStringLiteral("not a regular file");
        ok = false;
    } else if (st.st_size > maxBytes) {
        error = QStringLiteral("larger than %1 bytes").arg(maxBytes);
        ok = false;
    }
    if (ok) {
        QFile file;
        // The limit holds while reading too: the file may grow after the look.
        if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
            error = file.errorString();
            ok = false;
        } else {
            bytes = file.read(maxBytes + 1);
            if (file.error() != QFileDevice::NoError) {
                error = file.errorString();
                ok = false;
            } else if (bytes.size() > maxBytes) {
                error = QStringLiteral("larger than %1 bytes").arg(maxBytes);
                ok = false;
            }
        }
    }
    ::close(fd);
    if (!ok) {
        bytes.clear();
    }
    return ok;
}

QString FileVersion(const QString& path) {
    const QString own =
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    if (!own.isEmpty() &&
        QFileInfo(path).canonicalFilePath() == QFileInfo(own).canonicalFilePath()) {
        return OwnVersion();
    }
    return QStringLiteral("0.0.0.0");
}

QString OwnVersion() {
    const QString v = QStringLiteral(KV_VERSION_TEXT);
    return v.isEmpty() ? QStringLiteral("0.0.0.0") : v;
}

int OwnMajorVersion() {
    return IntOrZero(TDivStrings(OwnVersion(), QChar('.')).at(0));
}

}  // namespace kv
