#include "AudioFixtures.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace kvtest {

bool RunTool(const QString& program, const QStringList& args, QString* reason) {
    if (QStandardPaths::findExecutable(program).isEmpty()) {
        *reason = program + " is not installed";
        return false;
    }
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *reason = program + " failed: " + QString::fromLocal8Bit(p.readAllStandardError());
        return false;
    }
    return true;
}

namespace {

// The WAV made by sox with the given synth arguments, then encoded to ext.
QString MakeSound(const QString& base, const QStringList& synth, const QString& ext, double seconds,
                  int rate, int channels, const QString& oggQuality, QString* reason) {
    const QString wav = base + ".wav";
    if (!QFile::exists(wav) &&
        !RunTool("sox",
                 QStringList{"-n", "-r", QString::number(rate), "-c", QString::number(channels),
                             "-b", "16", wav, "synth", QString::number(seconds)} +
                     synth,
                 reason)) {
        return {};
    }
    if (ext == "wav") {
        return wav;
    }
    const QString out = base + "." + ext;
    bool ok = false;
    if (ext == "mp3") {
        ok = RunTool("lame", {"--quiet", "-b", "192", wav, out}, reason);
    } else if (ext == "ogg") {
        ok = RunTool("oggenc", {"-Q", "-q", oggQuality, wav, "-o", out}, reason);
    } else if (ext == "wma") {
        ok = RunTool("ffmpeg",
                     {"-nostdin", "-loglevel", "error", "-y", "-i", wav, "-c:a", "wmav2", "-b:a",
                      "192k", out},
                     reason);
    } else {
        *reason = "no recipe for " + ext;
    }
    return ok ? out : QString();
}

}  // namespace

QString MakeSweep(const QString& dir, const QString& ext, double seconds, int rate, int channels,
                  QString* reason) {
    const QString base = dir + "/sweep_" + QString::number(rate) + "_" + QString::number(channels);
    return MakeSound(base, {"sine", "300-3000", "gain", "-6"}, ext, seconds, rate, channels, "6",
                     reason);
}

QString MakeNoise(const QString& dir, const QString& ext, double seconds, int rate, int channels,
                  QString* reason) {
    const QString base = dir + "/noise_" + QString::number(rate) + "_" + QString::number(channels);
    // A low Ogg quality: its pages last longer, the last one up to half a second and more.
    return MakeSound(base, {"whitenoise", "lowpass", "4000", "gain", "-6"}, ext, seconds, rate,
                     channels, "0", reason);
}

QString WriteRampWav(const QString& path, int rate, int frames) {
    QByteArray data;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            data.append(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
    };
    auto put16 = [&](uint16_t v) {
        data.append(static_cast<char>(v & 0xFF));
        data.append(static_cast<char>(v >> 8));
    };
    const uint32_t bytes = static_cast<uint32_t>(frames) * 4;
    data.append("RIFF");
    put32(36 + bytes);
    data.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(2);
    put32(static_cast<uint32_t>(rate));
    put32(static_cast<uint32_t>(rate) * 4);
    put16(4);
    put16(16);
    data.append("data");
    put32(bytes);
    for (int n = 0; n < frames; ++n) {
        const int16_t left = static_cast<int16_t>(n % 32768);
        put16(static_cast<uint16_t>(left));
        put16(static_cast<uint16_t>(static_cast<int16_t>(-left)));
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) {
        return {};
    }
    return path;
}

}  // namespace kvtest
