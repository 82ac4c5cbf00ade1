#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "shows/AudioDecoder.h"
#include "shows/TFileAbstract.h"

namespace kv {

// An audio file decoded to 16-bit PCM at its own rate and channel count. Byte positions count
// that PCM; milliseconds convert through BytesPerSecond. Creating one counts towards the
// audio initialisation (see AudioSystem).
class TBassFile : public TFileAbstract {
public:
    TBassFile();
    ~TBassFile() override;
    TBassFile(const TBassFile&) = delete;
    TBassFile& operator=(const TBassFile&) = delete;

    void OpenStream() override;
    void CloseStream() override;
    int64_t LengthBytes() const override { return lengthBytes_; }
    int64_t PositionBytes() const override;
    void SetPositionBytes(int64_t position) override;
    int64_t ReadData(void* buffer, int64_t count) override;
    int ReadByte() override;

    bool Loaded() const { return loaded_; }
    int Channels() const { return channels_; }
    int SampleRate() const { return sampleRate_; }
    uint32_t BytesPerSecond() const { return bytesPerSecond_; }
    int BytesPerFrame() const { return bytesPerFrame_; }
    int BitsPerSample() const { return bitsPerSample_; }
    int32_t LengthMs() const { return lengthMs_; }

    // round(ms / 1000 * BytesPerSecond), ties to even; 0 when nothing is loaded.
    int64_t BytesOfMs(int32_t ms) const;
    // round(bytes / BytesPerSecond * 1000), ties to even; 0 when nothing is loaded.
    int32_t MsOfBytes(int64_t bytes) const;

protected:
    // Guards the decoder: the output pulls from another thread.
    mutable std::mutex mutex_;
    AudioDecoder decoder_;

    int64_t PositionBytesLocked() const;
    void SetPositionBytesLocked(int64_t position);

private:
    int channels_ = 0;
    int sampleRate_ = 0;
    uint32_t bytesPerSecond_ = 0;
    int bytesPerFrame_ = 0;
    int bitsPerSample_ = 16;
    int32_t lengthMs_ = 0;
    int64_t lengthBytes_ = 0;
    bool loaded_ = false;
    // The rest of a frame of which the byte reader has handed out only the start.
    std::vector<uint8_t> carry_;
    size_t carryOffset_ = 0;
};

}  // namespace kv
