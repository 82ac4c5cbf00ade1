#include "shows/AudioDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

namespace kv {

namespace {
// MP3 frames depend on the one before (bit reservoir), so a seek starts this far ahead of
// the target and decodes up to it.
constexpr int64_t kPreRollMs = 100;

// A frame without a timestamp.
constexpr int64_t kNoStart = INT64_MIN;

// The WMA decoders give out each frame one frame after the packet that carries its start (the
// transform overlaps the next frame), while the frame keeps that packet's timestamp: the sound
// runs one frame behind the timestamps. The frame length follows from the sample rate as the
// format defines it.
int64_t WmaDelay(AVCodecID codec, int sampleRate) {
    if (codec != AV_CODEC_ID_WMAV1 && codec != AV_CODEC_ID_WMAV2) {
        return 0;
    }
    if (sampleRate <= 16000) {
        return 512;
    }
    if (sampleRate <= 22050 || (sampleRate <= 32000 && codec == AV_CODEC_ID_WMAV1)) {
        return 1024;
    }
    return 2048;
}

// Channel counts the output takes as they are; others are mixed down to stereo.
int OutputChannels(int in) {
    switch (in) {
        case 1:
        case 2:
        case 4:
        case 6:
        case 8:
            return in;
        default:
            return 2;
    }
}
}  // namespace

AudioDecoder::AudioDecoder() = default;

AudioDecoder::~AudioDecoder() {
    Close();
}

void AudioDecoder::Close() {
    swr_free(&swr_);
    avcodec_free_context(&ctx_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    if (fmt_) {
        avformat_close_input(&fmt_);
    }
    stream_ = -1;
    rate_ = channels_ = 0;
    startTime_ = lengthFrames_ = position_ = 0;
    firstPts_ = codecDelay_ = silence_ = 0;
    lastPacketPos_ = sentPacketPos_ = -1;
    drained_ = flushSent_ = false;
    pending_.clear();
    pendingFrames_ = pendingOffset_ = 0;
}

bool AudioDecoder::Open(const QString& path) {
    Close();
    const QByteArray name = path.toUtf8();
    if (avformat_open_input(&fmt_, name.constData(), nullptr, nullptr) < 0) {
        fmt_ = nullptr;
        return false;
    }
    const AVCodec* codec = nullptr;
    bool ok = avformat_find_stream_info(fmt_, nullptr) >= 0;
    if (ok) {
        stream_ = av_find_best_stream(fmt_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        ok = stream_ >= 0 && codec;
    }
    AVStream* st = ok ? fmt_->streams[stream_] : nullptr;
    if (ok) {
        ctx_ = avcodec_alloc_context3(codec);
        ok = ctx_ && avcodec_parameters_to_context(ctx_, st->codecpar) >= 0;
    }
    if (ok) {
        // Without the packet time base the decoder cannot apply an MP3 encoder-delay tag.
        ctx_->pkt_timebase = st->time_base;
        ok = avcodec_open2(ctx_, codec, nullptr) >= 0 && ctx_->sample_rate > 0 &&
             ctx_->ch_layout.nb_channels > 0;
    }
    if (ok) {
        rate_ = ctx_->sample_rate;
        channels_ = OutputChannels(ctx_->ch_layout.nb_channels);
        // WAV and WMA come without a channel order; the resampler needs one.
        AVChannelLayout in{};
        if (ctx_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_default(&in, ctx_->ch_layout.nb_channels);
        } else {
            ok = av_channel_layout_copy(&in, &ctx_->ch_layout) >= 0;
        }
        AVChannelLayout out{};
        av_channel_layout_default(&out, channels_);
        ok = ok &&
             swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_S16, rate_, &in, ctx_->sample_fmt,
                                 rate_, 0, nullptr) >= 0 &&
             swr_init(swr_) >= 0;
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&out);
    }
    if (ok) {
        packet_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        ok = packet_ && frame_;
    }
    if (ok) {
        startTime_ = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
        codecDelay_ = WmaDelay(ctx_->codec_id, rate_);
        lengthFrames_ = MeasureLength();
        // A file that opens but does not decode is no soundtrack.
        bool decoded = false;
        ok = lengthFrames_ >= 0 && Reposition(0, decoded) && decoded;
    }
    if (!ok) {
        Close();
    }
    return ok;
}

int64_t AudioDecoder::FrameOfTimestamp(int64_t ts) const {
    return av_rescale_q(ts - startTime_, fmt_->streams[stream_]->time_base, AVRational{1, rate_});
}

int64_t AudioDecoder::TimestampOfFrame(int64_t frame) const {
    return av_rescale_q(frame, AVRational{1, rate_}, fmt_->streams[stream_]->time_base) +
           startTime_;
}

// The end of the last packet, read from the demuxer alone (no decoding), so that loading a
// long soundtrack stays quick. Also notes where the stream begins and where its last packet is.
int64_t AudioDecoder::MeasureLength() {
    int64_t end = AV_NOPTS_VALUE;
    int64_t first = AV_NOPTS_VALUE;
    int64_t summed = 0;
    while (av_read_frame(fmt_, packet_) >= 0) {
        if (packet_->stream_index == stream_) {
            summed += packet_->duration;
            if (packet_->pts != AV_NOPTS_VALUE) {
                end = std::max(end == AV_NOPTS_VALUE ? packet_->pts : end,
                               packet_->pts + packet_->duration);
                first = std::min(first == AV_NOPTS_VALUE ? packet_->pts : first, packet_->pts);
            }
            lastPacketPos_ = packet_->pos;
        }
        av_packet_unref(packet_);
    }
    firstPts_ = first != AV_NOPTS_VALUE ? std::min(first, startTime_) : startTime_;
    const int64_t ts = end != AV_NOPTS_VALUE ? end : startTime_ + summed;
    return std::max<int64_t>(0, FrameOfTimestamp(ts));
}

bool AudioDecoder::RewindDemuxer(int64_t ts) {
    if (av_seek_frame(fmt_, stream_, ts, AVSEEK_FLAG_BACKWARD) >= 0) {
        return true;
    }
    return avformat_seek_file(fmt_, stream_, INT64_MIN, ts, ts, 0) >= 0;
}

bool AudioDecoder::DecodeNext(int64_t* frameStart) {
    for (;;) {
        const int r = avcodec_receive_frame(ctx_, frame_);
        if (r == 0) {
            const int64_t ts = frame_->best_effort_timestamp;
            *frameStart = ts != AV_NOPTS_VALUE ? FrameOfTimestamp(ts) - codecDelay_ : kNoStart;
            const int n = frame_->nb_samples;
            pending_.resize(static_cast<size_t>(n) * static_cast<size_t>(channels_));
            uint8_t* out = reinterpret_cast<uint8_t*>(pending_.data());
            const int got =
                swr_convert(swr_, &out, n, const_cast<const uint8_t**>(frame_->extended_data), n);
            av_frame_unref(frame_);
            pendingFrames_ = got > 0 ? static_cast<size_t>(got) : 0;
            pendingOffset_ = 0;
            if (pendingFrames_ > 0) {
                return true;
            }
            continue;
        }
        if (r == AVERROR_EOF) {
            drained_ = true;
            return false;
        }
        if (r != AVERROR(EAGAIN)) {
            drained_ = true;
            return false;
        }
        if (flushSent_) {
            drained_ = true;
            return false;
        }
        // The decoder wants input: the next packet of our stream, or the flush at the end.
        for (;;) {
            if (av_read_frame(fmt_, packet_) < 0) {
                avcodec_send_packet(ctx_, nullptr);
                flushSent_ = true;
                break;
            }
            if (packet_->stream_index != stream_) {
                av_packet_unref(packet_);
                continue;
            }
            sentPacketPos_ = packet_->pos;
            const int s = avcodec_send_packet(ctx_, packet_);
            av_packet_unref(packet_);
            // A damaged packet is skipped; the decoder carries on with the next.
            if (s >= 0 || s == AVERROR(EAGAIN)) {
                break;
            }
        }
    }
}

size_t AudioDecoder::Read(int16_t* out, size_t frames) {
    if (!IsOpen()) {
        return 0;
    }
    const size_t ch = static_cast<size_t>(channels_);
    // What decodes past the container's end is the codec's padding, not the soundtrack (the
    // position never passes the length). A length that could not be measured limits nothing.
    if (lengthFrames_ > 0) {
        frames = static_cast<size_t>(
            std::clamp<int64_t>(lengthFrames_ - position_, 0, static_cast<int64_t>(frames)));
    }
    size_t done = 0;
    while (done < frames) {
        if (silence_ > 0) {
            const size_t n = static_cast<size_t>(
                std::min<int64_t>(silence_, static_cast<int64_t>(frames - done)));
            std::fill_n(out + done * ch, n * ch, int16_t{0});
            silence_ -= static_cast<int64_t>(n);
            done += n;
            continue;
        }
        if (pendingOffset_ >= pendingFrames_) {
            int64_t ignored = 0;
            if (drained_ || !DecodeNext(&ignored)) {
                break;
            }
        }
        const size_t n = std::min(frames - done, pendingFrames_ - pendingOffset_);
        std::memcpy(out + done * ch, pending_.data() + pendingOffset_ * ch,
                    n * ch * sizeof(int16_t));
        pendingOffset_ += n;
        done += n;
    }
    position_ += static_cast<int64_t>(done);
    return done;
}

bool AudioDecoder::Seek(int64_t frame) {
    if (!IsOpen()) {
        return false;
    }
    frame = std::clamp<int64_t>(frame, 0, lengthFrames_);
    bool decoded = false;
    return Reposition(frame, decoded);
}

bool AudioDecoder::Reposition(int64_t frame, bool& decoded) {
    // MP3 frames depend on the one before (bit reservoir), so decoding starts ahead of the
    // target. When the demuxer's landing cannot be trusted it starts further back, and from
    // the first packet in the end, where the time line is sure.
    int64_t back = kPreRollMs * rate_ / 1000;
    for (;;) {
        const int64_t from = frame - back;
        const bool fromStart = from <= 0;
        // From the first packet itself: demuxers attach the encoder delay to skip (MP3's
        // LAME tag) only to it.
        if (!RewindDemuxer(fromStart ? firstPts_ : TimestampOfFrame(from + codecDelay_))) {
            return false;
        }
        avcodec_flush_buffers(ctx_);
        drained_ = flushSent_ = false;
        pendingFrames_ = pendingOffset_ = 0;
        silence_ = 0;
        sentPacketPos_ = -1;
        if (AnchorAndSkip(frame, fromStart, decoded) || fromStart) {
            position_ = frame;
            return true;
        }
        back *= 4;
    }
}

bool AudioDecoder::AnchorAndSkip(int64_t frame, bool fromStart, bool& decoded) {
    int64_t start = 0;
    decoded = DecodeNext(&start);
    if (!decoded) {
        // Nothing decodes past the landing (it is the end): no stale samples may follow.
        pendingFrames_ = pendingOffset_ = 0;
        return fromStart || frame >= lengthFrames_;
    }
    if (start == kNoStart) {
        if (!fromStart) {
            return false;
        }
        start = 0;
    }
    // The timestamps of a stream's last packet are not to be trusted after a seek: the Ogg
    // demuxer dates the whole last page from the target instead of from its granule (the sound
    // came up to a second early), and a landing past the target says the same.
    if (!fromStart &&
        (start > frame || (lastPacketPos_ >= 0 && sentPacketPos_ == lastPacketPos_))) {
        return false;
    }
    if (start > frame) {
        // The file's first samples that no frame carries (the frame WMA's decoder holds back).
        silence_ = start - frame;
        return true;
    }
    // From the anchor on, samples are counted: later timestamps may be off the same way.
    int64_t cursor = start;
    for (;;) {
        const int64_t end = cursor + static_cast<int64_t>(pendingFrames_);
        if (end > frame) {
            pendingOffset_ = static_cast<size_t>(frame - cursor);
            return true;
        }
        cursor = end;
        int64_t ignored = 0;
        if (!DecodeNext(&ignored)) {
            pendingFrames_ = pendingOffset_ = 0;
            return true;
        }
    }
}

}  // namespace kv
