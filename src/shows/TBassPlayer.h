#pragma once

#include <memory>

#include "shows/AudioSink.h"
#include "shows/TBassFile.h"

namespace kv {

// The soundtrack: a decoded file played through the selected audio output. Its position is the
// PCM the output has consumed.
class TBassPlayer : public TBassFile, private AudioSource {
public:
    TBassPlayer() = default;
    ~TBassPlayer() override;

    // Opens the file and an output for it; without a ready audio output it stays not loaded.
    void OpenStream() override;
    void CloseStream() override;

    // Moves to ms and starts playing. The caller checks Loaded() first.
    void PlayFrom(int32_t ms);
    void StopSound();
    // Playing and not yet at the end.
    bool IsSoundPlaying() const;
    // Moves to ms if loaded; playing or not stays as it was.
    void SeekTo(int32_t ms);
    // The position in ms, 0 when nothing is loaded.
    int32_t SoundPosition() const;

private:
    size_t PullFrames(int16_t* out, size_t frames) override;

    std::unique_ptr<AudioSink> sink_;
    bool playing_ = false;  // guarded by mutex_
};

}  // namespace kv
