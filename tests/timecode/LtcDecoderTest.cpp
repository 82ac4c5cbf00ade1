#include "timecode/LtcDecoder.h"

#include <gtest/gtest.h>

#include <cmath>

#include "timecode/LtcTestSignal.h"

namespace kv {
namespace {

using test::LtcTestSignal;

constexpr int kRate = 48000;

std::vector<LtcFrame> DecodeAll(const LtcTestSignal& signal, size_t chunk) {
    LtcDecoder decoder(signal.SampleRate());
    std::vector<LtcFrame> out;
    const std::vector<float>& s = signal.Samples();
    for (size_t at = 0; at < s.size(); at += chunk) {
        const size_t n = std::min(chunk, s.size() - at);
        decoder.Feed(s.data() + at, n, static_cast<int64_t>(at));
        for (const LtcFrame& f : decoder.TakeFrames()) {
            out.push_back(f);
        }
    }
    return out;
}

// Every sent frame after the first few is decoded with its timecode, the rate, and a start
// sample close to the true one (the interpolation of the show clock stands on it).
void ExpectDecodes(const LtcTestSignal& signal, const std::vector<LtcFrame>& got,
                   double toleranceMs) {
    ASSERT_GT(got.size(), signal.Frames().size() - 3);
    int matched = 0;
    for (const LtcFrame& f : got) {
        ASSERT_TRUE(f.rate) << FormatTimecode(f.timecode).toStdString();
        EXPECT_EQ(*f.rate, signal.Rate());
        for (const auto& sent : signal.Frames()) {
            if (sent.timecode == f.timecode) {
                EXPECT_NEAR(static_cast<double>(f.startSample - sent.startSample) * 1000.0 / kRate,
                            0.0, toleranceMs)
                    << FormatTimecode(f.timecode).toStdString();
                ++matched;
            }
        }
    }
    EXPECT_EQ(matched, static_cast<int>(got.size()));
}

TEST(LtcDecoderTest, DecodesEveryRateWithItsFramesAndTheirPlaceInTheAudio) {
    for (TimecodeRate rate :
         {TimecodeRate::Fps24, TimecodeRate::Fps25, TimecodeRate::Fps2997Df, TimecodeRate::Fps30}) {
        SCOPED_TRACE(RateText(rate).toStdString());
        LtcTestSignal signal(kRate, rate);
        signal.AppendTimecode(Timecode{0, 59, 58, 0, rate == TimecodeRate::Fps2997Df}, 100);
        ExpectDecodes(signal, DecodeAll(signal, 480), 0.5);
    }
}

TEST(LtcDecoderTest, KeepsTheRateAtPlusMinusATenthOfAPercentAndInNoise) {
    for (double speed : {1.001, 0.999}) {
        LtcTestSignal signal(kRate, TimecodeRate::Fps30);
        signal.AppendTimecode(Timecode{10, 0, 0, 0}, 90, speed);
        ExpectDecodes(signal, DecodeAll(signal, 512), 0.5);
    }
    LtcTestSignal noisy(kRate, TimecodeRate::Fps25);
    noisy.AppendTimecode(Timecode{1, 0, 0, 0}, 75);
    noisy.AddNoise(0.25, 7);
    ExpectDecodes(noisy, DecodeAll(noisy, 333), 0.5);
}

TEST(LtcDecoderTest, AFrameStretchedOverASilenceIsNotFollowedNorSpoilsTheRate) {
    LtcTestSignal signal(kRate, TimecodeRate::Fps25);
    signal.AppendTimecode(Timecode{1, 0, 0, 0}, 25);
    signal.AppendSilence(1000);
    signal.AppendTimecode(Timecode{1, 0, 2, 0}, 25);
    const std::vector<LtcFrame> got = DecodeAll(signal, 480);
    int after = 0;
    for (const LtcFrame& f : got) {
        if (f.rate) {
            // Every frame with a rate ends where a frame of that rate ends.
            EXPECT_NEAR(static_cast<double>(f.endSample - f.startSample), kRate / 25.0, 20.0)
                << FormatTimecode(f.timecode).toStdString();
        }
        if (f.startSample > signal.Frames()[25].startSample) {
            EXPECT_TRUE(f.rate) << FormatTimecode(f.timecode).toStdString();
            ++after;
        }
    }
    EXPECT_GE(after, 23);
}

TEST(LtcDecoderTest, SixteenBitSamplesDecodeLikeFloats) {
    LtcTestSignal signal(44100, TimecodeRate::Fps24);
    signal.AppendTimecode(Timecode{2, 0, 0, 0}, 30);
    std::vector<int16_t> pcm;
    for (float s : signal.Samples()) {
        pcm.push_back(static_cast<int16_t>(std::lround(s * 32767.0f)));
    }
    LtcDecoder decoder(44100);
    decoder.Feed(pcm.data(), pcm.size(), 1000);
    const std::vector<LtcFrame> got = decoder.TakeFrames();
    // The last frame ends on the next one's first edge, which never comes.
    ASSERT_EQ(got.size(), 29u);
    EXPECT_EQ(got.back().timecode, (Timecode{2, 0, 1, 4, false}));
    EXPECT_EQ(decoder.Rate(), TimecodeRate::Fps24);
    // The position given with the samples carries into the frames.
    EXPECT_NEAR(
        static_cast<double>(got.back().startSample - 1000 - signal.Frames()[28].startSample), 0.0,
        22.0);
}

}  // namespace
}  // namespace kv
