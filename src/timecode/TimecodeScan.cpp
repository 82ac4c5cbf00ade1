#include "timecode/TimecodeScan.h"

#include <algorithm>
#include <cmath>

#include "shows/AudioDecoder.h"
#include "timecode/LtcDecoder.h"

namespace kv {

namespace {
// A silence longer than this many frames is a dropout; a shorter one is the decoder missing a
// frame in noise, which the timecode itself bridges.
constexpr double kDropoutFrames = 3.0;
}  // namespace

TimecodeScan::TimecodeScan(int sampleRate) : sampleRate_(sampleRate > 0 ? sampleRate : 48000) {}

double TimecodeScan::SampleMs(int64_t sample) const {
    return static_cast<double>(sample) * 1000.0 / sampleRate_;
}

void TimecodeScan::Add(const LtcFrame& frame) {
    // The frame before a silence comes without a rate (its length spans the silence); its
    // timecode is still what the recording says there.
    const std::optional<TimecodeRate> frameRate = frame.rate ? frame.rate : rate_;
    if (!frameRate || frame.reverse || !IsValidTimecode(frame.timecode, *frameRate)) {
        return;
    }
    ++frames_;
    rate_ = frameRate;
    if (!first_) {
        first_ = frame;
        last_ = frame;
        return;
    }
    const LtcFrame prev = *last_;
    const TimecodeRate rate = *frameRate;
    const double frameMs = 1000.0 / RealFps(rate);
    // From frame starts: a frame's end is not to be trusted across a silence.
    const double gapMs = SampleMs(frame.startSample - prev.startSample) - frameMs;
    if (gapMs > kDropoutFrames * frameMs) {
        dropouts_.push_back({SampleMs(prev.startSample) + frameMs, gapMs});
    }
    const double predicted =
        TimecodeMs(prev.timecode, rate) + SampleMs(frame.startSample - prev.startSample);
    if (std::abs(TimecodeDistanceMs(predicted, TimecodeMs(frame.timecode, rate), rate)) >
        frameMs / 2) {
        jumps_.push_back({SampleMs(frame.startSample), prev.timecode, frame.timecode});
    }
    last_ = frame;
}

void TimecodeScan::Finish(int64_t endSample) {
    if (!last_ || !rate_) {
        return;
    }
    const double frameMs = 1000.0 / RealFps(*rate_);
    const double gapMs = SampleMs(endSample - last_->startSample) - frameMs;
    if (gapMs > kDropoutFrames * frameMs) {
        dropouts_.push_back({SampleMs(last_->startSample) + frameMs, gapMs});
    }
}

bool TimecodeScan::ScanFile(const QString& path, int channel, TimecodeScan& scan, QString& error) {
    AudioDecoder file;
    if (!file.Open(path)) {
        error = QStringLiteral("%1: cannot be decoded as audio").arg(path);
        return false;
    }
    if (channel < 0 || channel >= file.Channels()) {
        error = QStringLiteral("%1: %2 channel(s), no channel %3")
                    .arg(path)
                    .arg(file.Channels())
                    .arg(channel + 1);
        return false;
    }
    scan = TimecodeScan(file.SampleRate());
    LtcDecoder decoder(file.SampleRate());
    const size_t channels = static_cast<size_t>(file.Channels());
    constexpr size_t kChunk = 4096;
    std::vector<int16_t> frames(kChunk * channels);
    std::vector<int16_t> mono(kChunk);
    int64_t position = 0;
    for (;;) {
        const size_t got = file.Read(frames.data(), kChunk);
        for (size_t i = 0; i < got; ++i) {
            mono[i] = frames[i * channels + static_cast<size_t>(channel)];
        }
        decoder.Feed(mono.data(), got, position);
        position += static_cast<int64_t>(got);
        for (const LtcFrame& f : decoder.TakeFrames()) {
            scan.Add(f);
        }
        if (got < kChunk) {
            break;
        }
    }
    scan.Finish(position);
    return true;
}

QStringList TimecodeScan::Report() const {
    QStringList lines;
    if (!first_ || !rate_) {
        lines << QStringLiteral("no timecode");
        return lines;
    }
    const auto at = [](double ms) {
        return QString::number(std::max(0.0, ms) / 1000.0, 'f', 3) + QLatin1Char('s');
    };
    lines << QStringLiteral("rate %1").arg(RateText(*rate_));
    lines << QStringLiteral("first %1 at %2")
                 .arg(FormatTimecode(first_->timecode), at(SampleMs(first_->startSample)));
    lines << QStringLiteral("last %1 at %2")
                 .arg(FormatTimecode(last_->timecode), at(SampleMs(last_->startSample)));
    lines << QStringLiteral("frames %1").arg(frames_);
    for (const Dropout& d : dropouts_) {
        lines << QStringLiteral("dropout at %1 for %2").arg(at(d.atMs), at(d.lengthMs));
    }
    for (const Jump& j : jumps_) {
        lines << QStringLiteral("jump at %1 from %2 to %3")
                     .arg(at(j.atMs), FormatTimecode(j.from), FormatTimecode(j.to));
    }
    return lines;
}

}  // namespace kv
