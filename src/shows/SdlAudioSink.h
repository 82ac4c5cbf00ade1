#pragma once

#include <SDL.h>

#include "shows/AudioSink.h"

namespace kv {

// The sound card through SDL2. SDL's audio thread pulls from the source; frames it takes are
// gone to the device, which is what the play position counts.
class SdlAudioSink final : public AudioSink {
public:
    SdlAudioSink() = default;
    ~SdlAudioSink() override;
    SdlAudioSink(const SdlAudioSink&) = delete;
    SdlAudioSink& operator=(const SdlAudioSink&) = delete;

    bool Open(int sampleRate, int channels, AudioSource* source) override;
    void Close() override;
    void SetRunning(bool running) override;
    bool IsOpen() const override { return device_ != 0; }

    // Opens and closes the default output once: whether this machine can play at all.
    static bool ProbeDevice();

private:
    static void Callback(void* self, Uint8* stream, int len);

    SDL_AudioDeviceID device_ = 0;
    AudioSource* source_ = nullptr;
    int channels_ = 0;
};

}  // namespace kv
