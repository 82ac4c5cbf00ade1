#include "shows/ScriptParser.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "util/TDivStrings.h"

namespace kv {

namespace {

// The longest rotation a motor cue carries: 255 steps of 100 ms.
constexpr int32_t kLongestRotationMs = 255 * 100 + 99;

// A percentage 0..100 scaled to 0..255, truncated. Values outside are load errors: held at the
// ends they would move the motor otherwise than the script says, without a word.
bool PercentToByte(const QString& text, int32_t& byte) {
    int32_t percent = 0;
    if (!ParseScriptInt(text, percent) || percent < 0 || percent > 100) {
        return false;
    }
    byte = static_cast<int32_t>(std::trunc(percent / 100.0 * 255.0));
    return true;
}

bool AllDigits(QStringView s) {
    if (s.isEmpty()) {
        return false;
    }
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c >= '0' && c <= '9'; });
}

// One part of a time of day: digits only, at most 0..limit.
bool TimePart(QStringView s, int limit, int64_t& value) {
    if (!AllDigits(s) || s.size() > 9) {
        return false;
    }
    value = s.toLongLong();
    return value <= limit;
}

}  // namespace

QString NextToken(QString& line) {
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && IsScriptBlank(line[i])) {
        ++i;
    }
    qsizetype end = i;
    while (end < n && !IsScriptBlank(line[end])) {
        ++end;
    }
    const QString token = line.mid(i, end - i);
    line.remove(0, std::min(n, end + 1));
    return token;
}

bool ParseScriptInt(const QString& text, int32_t& value) {
    QStringView s(text);
    bool negative = false;
    if (!s.isEmpty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s = s.mid(1);
    }
    if (!AllDigits(s) || s.size() > 10) {
        return false;
    }
    const int64_t v = negative ? -s.toLongLong() : s.toLongLong();
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        return false;
    }
    value = static_cast<int32_t>(v);
    return true;
}

int32_t ParseClockTime(const QString& text, bool* ok) {
    if (ok) {
        *ok = false;
    }
    const qsizetype colons = text.count(QChar(':'));
    int64_t ms = 0;
    if (colons == 0) {
        int32_t seconds = 0;
        if (!ParseScriptInt(text, seconds)) {
            return 0;
        }
        ms = static_cast<int64_t>(seconds) * 1000;
        // Seconds beyond what a 32-bit millisecond time holds are unreadable, not wrapped.
        if (ms < std::numeric_limits<int32_t>::min() || ms > std::numeric_limits<int32_t>::max()) {
            return 0;
        }
    } else if (colons <= 2) {
        const QStringList parts = (colons == 1 ? QStringLiteral("00:") + text : text).split(':');
        int64_t h = 0, m = 0, s = 0;
        if (!TimePart(parts[0], 23, h) || !TimePart(parts[1], 59, m) ||
            !TimePart(parts[2], 59, s)) {
            return 0;
        }
        ms = (h * 3600 + m * 60 + s) * 1000;
    } else {
        return 0;
    }
    if (ok) {
        *ok = true;
    }
    return static_cast<int32_t>(ms);
}

int32_t ParseCueTime(const QString& token, bool* ok) {
    const qsizetype dot = token.indexOf(QChar('.'));
    if (dot < 0) {
        return ParseClockTime(token, ok);
    }
    if (ok) {
        *ok = false;
    }
    bool wholeOk = false;
    const QString whole = token.left(dot);
    const int64_t base = ParseClockTime(whole, &wholeOk);
    if (!wholeOk) {
        return 0;
    }
    // The fraction is digits only ("1.x", "1..5", "1.2.3", "2.5s" are typos, not times); the
    // digits past the third are ignored, as a millisecond is the finest step.
    const QStringView digits = QStringView(token).mid(dot + 1);
    if (!digits.isEmpty() && !AllDigits(digits)) {
        return 0;
    }
    int64_t fraction = 0;
    static constexpr int kWeights[3] = {100, 10, 1};
    for (qsizetype k = 0; k < 3 && k < digits.size(); ++k) {
        fraction += (digits[k].unicode() - '0') * kWeights[k];
    }
    // "-2.5" is two and a half seconds before zero, not one and a half.
    const int64_t ms = whole.startsWith(QChar('-')) ? base - fraction : base + fraction;
    if (ms < std::numeric_limits<int32_t>::min() || ms > std::numeric_limits<int32_t>::max()) {
        return 0;
    }
    if (ok) {
        *ok = true;
    }
    return static_cast<int32_t>(ms);
}

bool ParseMotorToken(const QString& afterHash, TScriptCue& cue) {
    const TDivStrings parts(afterHash, QChar('#'));
    const QString word = parts[0].toUpper();
    if (word == QLatin1String("LT") || word == QLatin1String("RT")) {
        cue.Kind = word == QLatin1String("LT") ? ckRotateLeft : ckRotateRight;
        cue.Param1 = 255;
        cue.Param2 = 255;
        if (parts.size() > 1) {
            // Duration in tenths of a second; an unreadable one would rotate for 0 s, one
            // outside 0..25.5 s for another time than written.
            bool ok = false;
            const int32_t ms = ParseCueTime(parts[1], &ok);
            if (!ok || ms < 0 || ms > kLongestRotationMs) {
                return false;
            }
            cue.Param1 = ms / 100;
        }
        if (parts.size() > 2 && !PercentToByte(parts[2], cue.Param2)) {
            return false;
        }
        return true;
    }
    if (word == QLatin1String("C") || word == QLatin1String("L") || word == QLatin1String("R")) {
        cue.Kind = word == QLatin1String("C")   ? ckCentre
                   : word == QLatin1String("L") ? ckLeft
                                                : ckRight;
        cue.Param2 = 0;
        cue.Param1 = 255;
        if (parts.size() > 1 && !PercentToByte(parts[1], cue.Param1)) {
            return false;
        }
        return true;
    }
    // A motor move the units do not know: the line would otherwise become a fire cue on a
    // channel nobody wrote.
    return false;
}

namespace {

bool Refuse(QString* reason, const QString& text) {
    if (reason) {
        *reason = text;
    }
    return false;
}

QString Quoted(const QString& token) {
    return QStringLiteral("«") + token.left(40) + QStringLiteral("»");
}

}  // namespace

bool ParseScriptLine(const QString& text, TScriptCue& cue, QString* reason) {
    QString line = text;
    const QString timeToken = NextToken(line);
    cue.TimeText = timeToken.left(kTimeTextLength);
    bool timeOk = false;
    cue.Time = ParseCueTime(timeToken, &timeOk);
    if (!timeOk) {
        return Refuse(reason, QStringLiteral("время ") + Quoted(timeToken) +
                                  QStringLiteral(" не читается (пример: 5, 1:05.25, 0:01:05.250)"));
    }

    const QString moduleToken = NextToken(line);
    if (!ParseScriptInt(moduleToken, cue.Module)) {
        return Refuse(reason, moduleToken.isEmpty()
                                  ? QStringLiteral("нет номера пульта после времени")
                                  : QStringLiteral("номер пульта ") + Quoted(moduleToken) +
                                        QStringLiteral(" не число"));
    }
    const QString third = NextToken(line);
    if (third.startsWith(QChar('#'))) {
        cue.Channel = 0;
        if (!ParseMotorToken(third.mid(1), cue)) {
            return Refuse(reason, QStringLiteral("команда мотора ") + Quoted(third) +
                                      QStringLiteral(" не читается (#C, #L#50, #R#50, #LT#2.5#50, "
                                                     "#RT#2.5#50: скорость 0..100 %, время "
                                                     "0..25.5 с)"));
        }
    } else {
        int32_t channel = 0;
        if (!ParseScriptInt(third, channel)) {
            return Refuse(reason, third.isEmpty()
                                      ? QStringLiteral("нет номера канала после номера пульта")
                                      : QStringLiteral("канал ") + Quoted(third) +
                                            QStringLiteral(" не число"));
        }
        cue.Channel = static_cast<int32_t>(std::max<int64_t>(std::numeric_limits<int32_t>::min(),
                                                             static_cast<int64_t>(channel) - 1));
        cue.Kind = ckFire;
    }

    qsizetype i = 0;
    while (i < line.size() && IsScriptBlank(line[i])) {
        ++i;
    }
    qsizetype end = line.indexOf(QChar('\t'), i);
    if (end < 0) {
        end = line.size();
    }
    cue.Description = line.mid(i, end - i).left(kDescriptionLength);
    return true;
}

}  // namespace kv
