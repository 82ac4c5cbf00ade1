#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct SwrContext;
struct AVPacket;
struct AVFrame;

namespace kv {

// Decodes an audio file to interleaved 16-bit PCM at the stream's own sample rate, with
// frame-exact positions. Not thread-safe: the owner serialises calls.
class AudioDecoder {
public:
    AudioDecoder();
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // False unless the file opens and its first audio actually decodes.
    bool Open(const QString& path);
    void Close();
    bool IsOpen() const { return fmt_ != nullptr; }

    int SampleRate() const { return rate_; }
    int Channels() const { return channels_; }
    int64_t LengthFrames() const { return lengthFrames_; }
    // The frame the next Read delivers.
    int64_t Position() const { return position_; }

    // Up to frames frames from the current position; fewer at the end of the stream.
    size_t Read(int16_t* out, size_t frames);
    // Moves to the frame; past the end it lands at the end. False if the stream cannot seek.
    // The first sample Read delivers afterwards is the one at that frame of the file.
    bool Seek(int64_t frame);

private:
    // Decodes the next audio frame into pending_. False at the end of the stream. frameStart:
    // the frame's place on the file's time line by its timestamp (-1 without one).
    bool DecodeNext(int64_t* frameStart);
    int64_t FrameOfTimestamp(int64_t ts) const;
    int64_t TimestampOfFrame(int64_t frame) const;
    int64_t MeasureLength();
    bool RewindDemuxer(int64_t ts);
    // Decodes from the stream's first packet, or from `from` when it is past the start, and
    // discards up to `frame`. decoded: whether any audio came out.
    bool Reposition(int64_t frame, bool& decoded);
    // Places the time line on the first frame decoded after a demuxer seek, then counts
    // samples up to `frame`. False when that first frame's timestamp cannot be trusted.
    bool AnchorAndSkip(int64_t frame, bool fromStart, bool& decoded);

    AVFormatContext* fmt_ = nullptr;
    AVCodecContext* ctx_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int stream_ = -1;
    int rate_ = 0;
    int channels_ = 0;
    int64_t startTime_ = 0;
    // Timestamp of the stream's first packet (before startTime_ where the encoder's delay is
    // trimmed, as in MP3 and Vorbis).
    int64_t firstPts_ = 0;
    // Byte position of the stream's last packet (an Ogg page holds many): timestamps there are
    // not to be trusted after a seek.
    int64_t lastPacketPos_ = -1;
    int64_t sentPacketPos_ = -1;  // of the packet last given to the decoder
    // How many samples the decoder's output lags its packets' timestamps (one frame for WMA).
    int64_t codecDelay_ = 0;
    // Silence to deliver before pending_: the file's first samples that no frame carries.
    int64_t silence_ = 0;
    int64_t lengthFrames_ = 0;
    int64_t position_ = 0;
    bool drained_ = false;
    bool flushSent_ = false;
    std::vector<int16_t> pending_;
    size_t pendingFrames_ = 0;
    size_t pendingOffset_ = 0;
};

}  // namespace kv
