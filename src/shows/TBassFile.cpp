#include "shows/TBassFile.h"

#include <cmath>
#include <cstring>

#include "shows/AudioSystem.h"

namespace kv {

TBassFile::TBassFile() {
    AcquireAudio();
}

TBassFile::~TBassFile() {
    if (loaded_) {
        TBassFile::CloseStream();
    }
    ReleaseAudio();
}

void TBassFile::OpenStream() {
    std::lock_guard lock(mutex_);
    loaded_ = false;
    if (fileName_.isEmpty() || !decoder_.Open(fileName_)) {
        return;
    }
    channels_ = decoder_.Channels();
    sampleRate_ = decoder_.SampleRate();
    bitsPerSample_ = 16;
    bytesPerFrame_ = bitsPerSample_ * channels_ / 8;
    bytesPerSecond_ = static_cast<uint32_t>(bytesPerFrame_) * static_cast<uint32_t>(sampleRate_);
    lengthBytes_ = decoder_.LengthFrames() * bytesPerFrame_;
    lengthMs_ = static_cast<int32_t>(
        std::trunc(static_cast<double>(lengthBytes_) / bytesPerSecond_ * 1000.0));
    carry_.clear();
    carryOffset_ = 0;
    loaded_ = true;
}

void TBassFile::CloseStream() {
    std::lock_guard lock(mutex_);
    decoder_.Close();
    carry_.clear();
    carryOffset_ = 0;
    loaded_ = false;
}

int64_t TBassFile::PositionBytes() const {
    std::lock_guard lock(mutex_);
    return PositionBytesLocked();
}

int64_t TBassFile::PositionBytesLocked() const {
    if (!loaded_) {
        return 0;
    }
    return decoder_.Position() * bytesPerFrame_ -
           static_cast<int64_t>(carry_.size() - carryOffset_);
}

void TBassFile::SetPositionBytes(int64_t position) {
    std::lock_guard lock(mutex_);
    SetPositionBytesLocked(position);
}

void TBassFile::SetPositionBytesLocked(int64_t position) {
    if (!loaded_) {
        return;
    }
    // The stream moves in whole frames; a byte inside one lands on its start.
    decoder_.Seek(std::max<int64_t>(0, position) / bytesPerFrame_);
    carry_.clear();
    carryOffset_ = 0;
}

int64_t TBassFile::ReadData(void* buffer, int64_t count) {
    std::lock_guard lock(mutex_);
    if (!loaded_ || count <= 0) {
        return 0;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count && carryOffset_ < carry_.size()) {
        out[done++] = carry_[carryOffset_++];
    }
    const int64_t frames = (count - done) / bytesPerFrame_;
    if (frames > 0) {
        std::vector<int16_t> pcm(static_cast<size_t>(frames * channels_));
        const size_t got = decoder_.Read(pcm.data(), static_cast<size_t>(frames));
        const int64_t bytes = static_cast<int64_t>(got) * bytesPerFrame_;
        std::memcpy(out + done, pcm.data(), static_cast<size_t>(bytes));
        done += bytes;
        if (static_cast<int64_t>(got) < frames) {
            return done;
        }
    }
    // A tail shorter than a frame: decode one more frame and keep what is left of it.
    if (done < count) {
        std::vector<int16_t> one(static_cast<size_t>(channels_));
        if (decoder_.Read(one.data(), 1) == 1) {
            carry_.assign(reinterpret_cast<const uint8_t*>(one.data()),
                          reinterpret_cast<const uint8_t*>(one.data()) + bytesPerFrame_);
            carryOffset_ = 0;
            while (done < count && carryOffset_ < carry_.size()) {
                out[done++] = carry_[carryOffset_++];
            }
        }
    }
    return done;
}

int TBassFile::ReadByte() {
    uint8_t b = 0;
    return ReadData(&b, 1) == 1 ? b : -1;
}

int64_t TBassFile::BytesOfMs(int32_t ms) const {
    if (!loaded_) {
        return 0;
    }
    return static_cast<int64_t>(std::nearbyint(ms / 1000.0 * bytesPerSecond_));
}

int32_t TBassFile::MsOfBytes(int64_t bytes) const {
    if (!loaded_ || bytesPerSecond_ == 0) {
        return 0;
    }
    return static_cast<int32_t>(
        std::nearbyint(static_cast<double>(bytes) / bytesPerSecond_ * 1000.0));
}

}  // namespace kv
