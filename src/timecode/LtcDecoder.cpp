#include "timecode/LtcDecoder.h"

#include <ltc.h>

#include <cmath>
#include <new>
#include <numeric>

namespace kv {

namespace {
// Enough frames to smooth the sample jitter of the edge detector (a few samples per frame)
// while following a change of rate within a third of a second.
constexpr size_t kRateWindow = 8;
// A measured frame length further than this from every nominal one is no known rate. The
// nominal rates lie 4 % and 17 % apart; vari-speed decks stay within a few tenths of a percent.
constexpr double kRateTolerance = 0.02;
// libltc's queue; the caller takes frames after every feed, so a few frames suffice.
constexpr int kQueueFrames = 64;
}  // namespace

LtcDecoder::LtcDecoder(int sampleRate) : sampleRate_(sampleRate > 0 ? sampleRate : 48000) {
    // The first guess of samples per frame only helps the first frame decode; the decoder
    // tracks the speed from then on.
    decoder_ = ltc_decoder_create(sampleRate_ / 25, kQueueFrames);
    if (!decoder_) {
        throw std::bad_alloc();
    }
}

LtcDecoder::~LtcDecoder() {
    ltc_decoder_free(decoder_);
}

void LtcDecoder::Feed(const float* samples, size_t count, int64_t position) {
    // libltc takes a mutable buffer but does not write to it.
    ltc_decoder_write_float(decoder_, const_cast<float*>(samples), count, position);
    Drain();
}

void LtcDecoder::Feed(const int16_t* samples, size_t count, int64_t position) {
    ltc_decoder_write_s16(decoder_, const_cast<short*>(reinterpret_cast<const short*>(samples)),
                          count, position);
    Drain();
}

std::vector<LtcFrame> LtcDecoder::TakeFrames() {
    std::vector<LtcFrame> out;
    out.swap(frames_);
    return out;
}

void LtcDecoder::Drain() {
    LTCFrameExt ext;
    while (ltc_decoder_read(decoder_, &ext)) {
        SMPTETimecode stime;
        ltc_frame_to_time(&stime, &ext.ltc, 0);
        LtcFrame frame;
        frame.timecode =
            Timecode{stime.hours, stime.mins, stime.secs, stime.frame, ext.ltc.dfbit != 0};
        frame.reverse = ext.reverse != 0;
        frame.startSample = frame.reverse ? ext.off_end : ext.off_start;
        frame.endSample = frame.reverse ? ext.off_start : ext.off_end;
        if (frame.startSample > frame.endSample) {
            std::swap(frame.startSample, frame.endSample);
        }
        if (!PlausibleLength(frame.endSample - frame.startSample + 1)) {
            // The last frame before a silence ends only on the first edge after it: its length
            // says nothing of the rate and its end is not where it ended. Not to be followed.
            frames_.push_back(frame);
            continue;
        }
        MeasureRate(frame);
        frame.rate = rate_;
        if (rate_ && !IsValidTimecode(frame.timecode, *rate_)) {
            // Bit errors that got past the sync word: a frame no rate could carry.
            frame.rate.reset();
        }
        frames_.push_back(frame);
    }
}

bool LtcDecoder::PlausibleLength(int64_t samples) const {
    const double fps = sampleRate_ / static_cast<double>(samples);
    return fps >= 24.0 * (1.0 - kRateTolerance) && fps <= 30.0 * (1.0 + kRateTolerance);
}

void LtcDecoder::MeasureRate(const LtcFrame& frame) {
    lengths_.push_back(frame.endSample - frame.startSample + 1);
    if (lengths_.size() > kRateWindow) {
        lengths_.pop_front();
    }
    if (frame.timecode.dropFrame) {
        // Only 29.97 drops frame numbers.
        rate_ = TimecodeRate::Fps2997Df;
        return;
    }
    const double mean =
        static_cast<double>(std::accumulate(lengths_.begin(), lengths_.end(), int64_t{0})) /
        static_cast<double>(lengths_.size());
    const double fps = sampleRate_ / mean;
    std::optional<TimecodeRate> found;
    for (TimecodeRate r : {TimecodeRate::Fps24, TimecodeRate::Fps25, TimecodeRate::Fps30}) {
        if (std::abs(fps / NominalFps(r) - 1.0) <= kRateTolerance) {
            found = r;
        }
    }
    rate_ = found;
}

}  // namespace kv
