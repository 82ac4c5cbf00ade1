#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

#include "devices/TScriptCue.h"

namespace kv {

// The pieces of a script line. Free functions, so that the loader, the checks of kelvanectl and
// the tests share one reading of the format.

// Blanks between tokens: TAB and space.
inline bool IsScriptBlank(QChar c) {
    return c == QChar('\t') || c == QChar(' ');
}

// Takes the next token off the front of line: leading blanks skipped, the run of non-blanks
// returned, and that run plus the one character after it (the blank that ended it) removed.
QString NextToken(QString& line);

// A time token in milliseconds: clock time, optionally followed by "." and a fraction of digits
// only ("12.345" is 12345; digits past the third are ignored). ok false (and 0) when the clock
// time or the fraction cannot be read or the result does not fit in 32 bits: a typo must not
// turn into a cue at the show's zero.
int32_t ParseCueTime(const QString& token, bool* ok = nullptr);
// Seconds ("75"), minutes and seconds ("1:15") or hours, minutes and seconds ("0:01:15") in
// milliseconds; ok false (and 0) when unreadable.
int32_t ParseClockTime(const QString& text, bool* ok = nullptr);

// A plain decimal integer with an optional sign; nothing else around it.
bool ParseScriptInt(const QString& text, int32_t& value);

// A motor token after its "#": "LT#2.5#50", "C", "R#50". Sets Kind, Param1 and Param2 of cue;
// false when the first part names no motor move, a number part is not a number, a speed is
// outside 0..100 % or a rotation time outside 0..25.5 s.
bool ParseMotorToken(const QString& afterHash, TScriptCue& cue);

// One non-empty line into cue (which the caller passes zero-filled). False on a load error,
// with what is wrong in reason when one is given ("время «1.x» не читается ...").
bool ParseScriptLine(const QString& line, TScriptCue& cue, QString* reason = nullptr);

// Field limits of a cue (the stored records keep short strings of these lengths).
constexpr int kTimeTextLength = 32;
constexpr int kDescriptionLength = 255;

}  // namespace kv
