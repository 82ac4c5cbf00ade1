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
    bool Seek(int64_t frame);

private:
    // Decodes the next audio frame into pending_. False at the end of the stream.
    bool DecodeNext(int64_t* frameStart);
    int64_t FrameOfTimestamp(int64_t ts) const;
    int64_t TimestampOfFrame(int64_t frame) const;
    int64_t MeasureLength();
    bool RewindDemuxer(int64_t ts);

    AVFormatContext* fmt_ = nullptr;
    AVCodecContext* ctx_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int stream_ = -1;
    int rate_ = 0;
    int channels_ = 0;
    int64_t startTime_ = 0;
    int64_t lengthFrames_ = 0;
    int64_t position_ = 0;
    bool drained_ = false;
    bool flushSent_ = false;
    std::vector<int16_t> pending_;
    size_t pendingFrames_ = 0;
    size_t pendingOffset_ = 0;
};

}  // namespace kv
