#include "shows/TBassPlayer.h"

#include "shows/AudioSystem.h"

namespace kv {

TBassPlayer::~TBassPlayer() {
    if (Loaded()) {
        TBassPlayer::CloseStream();
    }
}

void TBassPlayer::OpenStream() {
    TBassFile::OpenStream();
    if (!Loaded()) {
        return;
    }
    sink_ = MakeAudioSink();
    if (!sink_ || !sink_->Open(SampleRate(), Channels(), this)) {
        sink_.reset();
        TBassFile::CloseStream();
    }
}

void TBassPlayer::CloseStream() {
    // The output goes first: it must not pull from a closed decoder.
    if (sink_) {
        sink_->Close();
        sink_.reset();
    }
    {
        std::lock_guard lock(mutex_);
        playing_ = false;
    }
    TBassFile::CloseStream();
}

void TBassPlayer::PlayFrom(int32_t ms) {
    if (!sink_) {
        return;
    }
    sink_->SetRunning(false);
    {
        std::lock_guard lock(mutex_);
        SetPositionBytesLocked(BytesOfMs(ms));
        playing_ = true;
    }
    sink_->SetRunning(true);
}

void TBassPlayer::StopSound() {
    if (sink_) {
        sink_->SetRunning(false);
    }
    std::lock_guard lock(mutex_);
    playing_ = false;
}

bool TBassPlayer::IsSoundPlaying() const {
    std::lock_guard lock(mutex_);
    return playing_;
}

void TBassPlayer::SeekTo(int32_t ms) {
    if (!Loaded()) {
        return;
    }
    std::lock_guard lock(mutex_);
    SetPositionBytesLocked(BytesOfMs(ms));
}

int32_t TBassPlayer::SoundPosition() const {
    if (!Loaded()) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    return MsOfBytes(PositionBytesLocked());
}

size_t TBassPlayer::PullFrames(int16_t* out, size_t frames) {
    std::lock_guard lock(mutex_);
    if (!playing_) {
        return 0;
    }
    const size_t got = decoder_.Read(out, frames);
    if (got < frames) {
        playing_ = false;
    }
    return got;
}

}  // namespace kv
