#include "timecode/Timecode.h"

#include <QRegularExpression>
#include <cmath>

namespace kv {

int NominalFps(TimecodeRate rate) {
    switch (rate) {
        case TimecodeRate::Fps24:
            return 24;
        case TimecodeRate::Fps25:
            return 25;
        case TimecodeRate::Fps2997Df:
        case TimecodeRate::Fps30:
            return 30;
    }
    return 25;
}

double RealFps(TimecodeRate rate) {
    return rate == TimecodeRate::Fps2997Df ? 30000.0 / 1001.0 : NominalFps(rate);
}

QString RateText(TimecodeRate rate) {
    switch (rate) {
        case TimecodeRate::Fps24:
            return QStringLiteral("24");
        case TimecodeRate::Fps25:
            return QStringLiteral("25");
        case TimecodeRate::Fps2997Df:
            return QStringLiteral("29.97df");
        case TimecodeRate::Fps30:
            return QStringLiteral("30");
    }
    return QString();
}

bool IsValidTimecode(const Timecode& tc, TimecodeRate rate) {
    if (tc.hours < 0 || tc.hours > 23 || tc.minutes < 0 || tc.minutes > 59 || tc.seconds < 0 ||
        tc.seconds > 59 || tc.frames < 0 || tc.frames >= NominalFps(rate)) {
        return false;
    }
    if (rate == TimecodeRate::Fps2997Df && tc.seconds == 0 && tc.frames < 2 &&
        tc.minutes % 10 != 0) {
        return false;
    }
    return true;
}

long long TimecodeFrameNumber(const Timecode& tc, TimecodeRate rate) {
    const long long fps = NominalFps(rate);
    const long long totalMinutes = 60LL * tc.hours + tc.minutes;
    long long n = (totalMinutes * 60 + tc.seconds) * fps + tc.frames;
    if (rate == TimecodeRate::Fps2997Df) {
        // Two frame numbers dropped every minute except every tenth.
        n -= 2 * (totalMinutes - totalMinutes / 10);
    }
    return n;
}

double TimecodeMs(const Timecode& tc, TimecodeRate rate) {
    return static_cast<double>(TimecodeFrameNumber(tc, rate)) * 1000.0 / RealFps(rate);
}

Timecode TimecodeOfFrame(long long frameNumber, TimecodeRate rate) {
    const bool df = rate == TimecodeRate::Fps2997Df;
    const long long fps = NominalFps(rate);
    const long long perDay = TimecodeFrameNumber(Timecode{24, 0, 0, 0, df}, rate);
    long long n = ((frameNumber % perDay) + perDay) % perDay;
    if (df) {
        // Put the dropped numbers back: 17982 frames per ten minutes, 1798 per dropping minute.
        const long long tens = n / 17982;
        const long long rest = n % 17982;
        n += 18 * tens + (rest > 1 ? 2 * ((rest - 2) / 1798) : 0);
    }
    Timecode tc;
    tc.frames = static_cast<int>(n % fps);
    tc.seconds = static_cast<int>(n / fps % 60);
    tc.minutes = static_cast<int>(n / (fps * 60) % 60);
    tc.hours = static_cast<int>(n / (fps * 3600) % 24);
    tc.dropFrame = df;
    return tc;
}

Timecode TimecodeOfMs(double ms, TimecodeRate rate) {
    return TimecodeOfFrame(static_cast<long long>(std::floor(ms * RealFps(rate) / 1000.0 + 1e-6)),
                           rate);
}

double TimecodeDayMs(TimecodeRate rate) {
    return TimecodeMs(Timecode{24, 0, 0, 0, rate == TimecodeRate::Fps2997Df}, rate);
}

double TimecodeDistanceMs(double fromMs, double toMs, TimecodeRate rate) {
    const double day = TimecodeDayMs(rate);
    double d = std::fmod(toMs - fromMs, day);
    if (d > day / 2) {
        d -= day;
    } else if (d < -day / 2) {
        d += day;
    }
    return d;
}

QString FormatTimecode(const Timecode& tc) {
    return QStringLiteral("%1:%2:%3%4%5")
        .arg(tc.hours, 2, 10, QLatin1Char('0'))
        .arg(tc.minutes, 2, 10, QLatin1Char('0'))
        .arg(tc.seconds, 2, 10, QLatin1Char('0'))
        .arg(tc.dropFrame ? QLatin1Char(';') : QLatin1Char(':'))
        .arg(tc.frames, 2, 10, QLatin1Char('0'));
}

std::optional<Timecode> ParseTimecode(const QString& text) {
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2}):(\\d{2}):(\\d{2})([:;.])(\\d{2})$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    Timecode tc{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                m.captured(5).toInt(), m.captured(4) == QLatin1String(";")};
    // Checked against the widest rate; the follower checks again once the signal's is known.
    if (!IsValidTimecode(tc, TimecodeRate::Fps30)) {
        return std::nullopt;
    }
    return tc;
}

}  // namespace kv
