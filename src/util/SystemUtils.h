#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace kv {

// Plain decimal text; a width of 1..15 right-aligns it over a run of "0" characters.
QString DecimalText(int64_t value, int width = 0);

// Whole seconds of ms as H:MM:SS (the Russian long time format), then for decimals 1..3 a "."
// and the tenths, hundredths or thousandths. Negative times get a leading "-".
QString TimeText(int32_t ms, int decimals = 0);

// trunc(x + 0.00001) for x >= 0, trunc(x - 0.00001) below: absorbs representation error.
int64_t TruncWithMargin(double x);

// Rounds to 4 decimals first, then halves away from zero: 2.5 -> 3, -2.5 -> -3, 2.49995 -> 3.
int64_t RoundHalfAway(double x);

// Appends ext (with its dot) unless the name already ends in it, ignoring case.
QString EnsureExtension(const QString& fileName, const QString& ext);

// The decimal integer of the text, or 0 when it is not one.
int32_t IntOrZero(const QString& text);

// Reads a real with "," or "." as the decimal point, whatever the process locale;
// an empty or unreadable text gives 0.
double LenientReal(const QString& text);
// Whether LenientReal finds a number in the text (false: it gives 0 for want of one).
bool LenientRealReadable(const QString& text);

// Sum over the characters of (position in "0123456789ABCDEF") * 16^(distance from the end);
// a character outside that set counts as -1, so "1f" is 31 and "1G" is 15.
int64_t HexValue(const QString& text);

// Reads a whole input file of at most maxBytes. A path that is no regular file (a FIFO that
// would wait for a writer for ever, a device such as /dev/zero that never ends, a folder) and
// a file past the limit are refused before anything is read; false with the reason in error.
bool ReadInputFile(const QString& path, qint64 maxBytes, QByteArray& bytes, QString& error);

// Version text of a program file. Only our own executables carry a version; any other file
// reads as "0.0.0.0".
QString FileVersion(const QString& path);

// The version compiled in from the build's project version.
QString OwnVersion();

// The first dot-separated field of the own version as a number (answered to other consoles).
int OwnMajorVersion();

}  // namespace kv
