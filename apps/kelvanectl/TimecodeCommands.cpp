// "timecode FILE|DEVICE": what a timecode recording or a capture device carries (rate, first and
// last frame, dropouts, jumps). "timecode devices": the capture devices.
#include <QFileInfo>

#include "CtlCommand.h"
#include "CtlContext.h"
#include "CtlInterrupt.h"
#include "core/Clock.h"
#include "timecode/CaptureTimecodeSource.h"
#include "timecode/TimecodeScan.h"

namespace kv {

namespace {

const QString kUsage =
    QStringLiteral("timecode FILE|DEVICE [--channel N] [--seconds S] | timecode devices");

int ListDevices(CtlContext& ctx) {
    const QStringList devices = CaptureTimecodeSource::Devices();
    for (int i = 0; i < devices.size(); ++i) {
        ctx.Line(QStringLiteral("%1\t%2").arg(i).arg(devices[i]));
    }
    if (devices.isEmpty()) {
        ctx.Info(QStringLiteral("no capture devices"));
    }
    return 0;
}

int ListenToDevice(CtlContext& ctx, const QString& device, int channel, int seconds,
                   TimecodeScan& scan) {
    CaptureTimecodeSource source(device == QLatin1String("default") ? QString() : device, channel);
    if (!source.Start()) {
        return ctx.FailPlain(source.Error());
    }
    scan = TimecodeScan(source.SampleRate());
    CtlInterrupt interrupt;
    const uint32_t start = TickCount();
    int64_t now = 0;
    while (ElapsedSince(start) < static_cast<uint32_t>(seconds) * 1000 &&
           !CtlInterrupt::Requested()) {
        SleepMs(10);
        for (const LtcFrame& f : source.Poll(now)) {
            scan.Add(f);
        }
    }
    source.Stop();
    scan.Finish(now);
    return 0;
}

int RunTimecode(CtlContext& ctx, const QStringList& args) {
    if (args.size() == 1 && args[0] == QLatin1String("devices")) {
        return ListDevices(ctx);
    }
    QString what;
    int channel = 1;
    int seconds = 10;
    for (int i = 0; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == QLatin1String("--channel") && i + 1 < args.size()) {
            channel = args[++i].toInt(&ok);
            ok = ok && channel >= 1;
        } else if (args[i] == QLatin1String("--seconds") && i + 1 < args.size()) {
            seconds = args[++i].toInt(&ok);
            ok = ok && seconds >= 1 && seconds <= 86400;
        } else if (what.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            what = args[i];
        } else {
            ok = false;
        }
        if (!ok) {
            return ctx.Usage(kUsage);
        }
    }
    if (what.isEmpty()) {
        return ctx.Usage(kUsage);
    }
    TimecodeScan scan(48000);
    const QFileInfo file(what);
    if (file.exists()) {
        QString error;
        if (!file.isFile()) {
            return ctx.Usage(QStringLiteral("%1 is not a regular file").arg(what));
        }
        if (!TimecodeScan::ScanFile(what, channel - 1, scan, error)) {
            return ctx.FailPlain(error);
        }
    } else if (const int status = ListenToDevice(ctx, what, channel - 1, seconds, scan)) {
        return status;
    }
    for (const QString& line : scan.Report()) {
        ctx.Line(line);
    }
    // Nothing decoded is a failure: the recording or the input carries no timecode.
    return scan.Frames() > 0 ? 0 : 1;
}

const CtlRegistrar kTimecodeCommands{
    {QStringLiteral("timecode"),
     QStringLiteral("FILE|DEVICE [--channel N] [--seconds S] | devices"),
     QStringLiteral("decode the timecode (LTC) of an audio file, or listen S seconds (default "
                    "10) to a capture device (\"default\" or a name or number from \"timecode "
                    "devices\"): rate, first and last frame, dropouts and jumps"),
     RunTimecode},
};

}  // namespace

}  // namespace kv
