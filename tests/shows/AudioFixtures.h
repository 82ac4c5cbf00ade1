#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// Test sound files, made with the command-line tools Debian ships.
namespace kvtest {

// Runs a program; false (with the reason) when it is missing or fails.
bool RunTool(const QString& program, const QStringList& args, QString* reason);

// A sine sweep of the given length: WAV by sox, then MP3 (lame), OGG (oggenc), WMA (ffmpeg).
// Returns the path, or an empty string with the reason.
QString MakeSweep(const QString& dir, const QString& ext, double seconds, int rate, int channels,
                  QString* reason);

// Noise below 4 kHz, the same recipes (Ogg at a low quality, for long pages): every stretch of it
// is unlike every other, so where a piece of decoded sound came from is found by comparing it with
// the WAV.
QString MakeNoise(const QString& dir, const QString& ext, double seconds, int rate, int channels,
                  QString* reason);

// A 16-bit PCM WAV whose left sample of frame n is n mod 32768 and right sample is -left.
QString WriteRampWav(const QString& path, int rate, int frames);

}  // namespace kvtest
