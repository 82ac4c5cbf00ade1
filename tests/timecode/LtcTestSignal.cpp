#include "timecode/LtcTestSignal.h"

#include <ltc.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <random>

namespace kv::test {

LtcTestSignal::LtcTestSignal(int sampleRate, TimecodeRate rate)
    : sampleRate_(sampleRate), rate_(rate) {}

void LtcTestSignal::AppendTimecode(const Timecode& start, int frames, double speed) {
    const LTC_TV_STANDARD standard =
        rate_ == TimecodeRate::Fps25
            ? LTC_TV_625_50
            : (rate_ == TimecodeRate::Fps24 ? LTC_TV_FILM_24 : LTC_TV_525_60);
    LTCEncoder* encoder = ltc_encoder_create(sampleRate_, RealFps(rate_), standard, 0);
    // Room for a slowed frame: each byte is copied out as soon as it is encoded anyway.
    ltc_encoder_set_buffersize(encoder, sampleRate_, RealFps(rate_) / 2);
    std::vector<ltcsnd_sample_t> buffer(ltc_encoder_get_buffersize(encoder));
    long long n = TimecodeFrameNumber(start, rate_);
    for (int i = 0; i < frames; ++i, ++n) {
        const Timecode tc = TimecodeOfFrame(n, rate_);
        SMPTETimecode st{};
        st.hours = static_cast<unsigned char>(tc.hours);
        st.mins = static_cast<unsigned char>(tc.minutes);
        st.secs = static_cast<unsigned char>(tc.seconds);
        st.frame = static_cast<unsigned char>(tc.frames);
        ltc_encoder_set_timecode(encoder, &st);
        frames_.push_back({tc, Size()});
        speeds_.push_back(speed);
        for (int byte = 0; byte < 10; ++byte) {
            ltc_encoder_encode_byte(encoder, byte, 1.0 / speed);
            const int got = ltc_encoder_copy_buffer(encoder, buffer.data());
            for (int k = 0; k < got; ++k) {
                samples_.push_back((static_cast<float>(buffer[k]) - 128.0f) / 128.0f);
            }
        }
    }
    ltc_encoder_free(encoder);
}

void LtcTestSignal::AppendTimecodeAt(double startMs, double lengthMs, double speed) {
    const long long first = std::llround(startMs * RealFps(rate_) / 1000.0);
    const int count = static_cast<int>(std::llround(lengthMs * RealFps(rate_) / 1000.0));
    AppendTimecode(TimecodeOfFrame(first, rate_), count, speed);
}

void LtcTestSignal::AppendSilence(double ms) {
    samples_.resize(samples_.size() + static_cast<size_t>(std::llround(ms * sampleRate_ / 1000.0)),
                    0.0f);
}

void LtcTestSignal::AddNoise(double peak, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(static_cast<float>(-peak), static_cast<float>(peak));
    for (float& s : samples_) {
        s = std::clamp(s + dist(gen), -1.0f, 1.0f);
    }
}

int64_t LtcTestSignal::SampleOfTimecodeMs(double tcMs) const {
    for (size_t i = 0; i < frames_.size(); ++i) {
        const double start = TimecodeMs(frames_[i].timecode, rate_);
        const double frameMs = 1000.0 / RealFps(rate_) / speeds_[i];
        if (tcMs >= start && tcMs < start + 1000.0 / RealFps(rate_)) {
            return frames_[i].startSample +
                   static_cast<int64_t>(std::llround((tcMs - start) / (1000.0 / RealFps(rate_)) *
                                                     frameMs * sampleRate_ / 1000.0));
        }
    }
    return -1;
}

bool LtcTestSignal::WriteWav(const QString& path, int channels, int channel) const {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        return false;
    }
    const auto u32 = [&f](uint32_t v) {
        const char b[4] = {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF),
                           char(v >> 24)};
        f.write(b, 4);
    };
    const auto u16 = [&f](uint16_t v) {
        const char b[2] = {char(v & 0xFF), char(v >> 8)};
        f.write(b, 2);
    };
    const uint32_t dataBytes =
        static_cast<uint32_t>(samples_.size() * 2 * static_cast<size_t>(channels));
    f.write("RIFF", 4);
    u32(36 + dataBytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(static_cast<uint16_t>(channels));
    u32(static_cast<uint32_t>(sampleRate_));
    u32(static_cast<uint32_t>(sampleRate_ * channels * 2));
    u16(static_cast<uint16_t>(channels * 2));
    u16(16);
    f.write("data", 4);
    u32(dataBytes);
    for (float s : samples_) {
        for (int c = 0; c < channels; ++c) {
            u16(static_cast<uint16_t>(c == channel ? static_cast<int16_t>(std::lround(s * 32767.0f))
                                                   : 0));
        }
    }
    return f.error() == QFile::NoError;
}

}  // namespace kv::test
