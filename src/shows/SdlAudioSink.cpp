#include "shows/SdlAudioSink.h"

#include <cstring>

namespace kv {

namespace {
// About 23 ms at 44.1 kHz: below the show tick, so the position moves smoothly.
constexpr Uint16 kPeriodFrames = 1024;
}  // namespace

SdlAudioSink::~SdlAudioSink() {
    Close();
}

bool SdlAudioSink::Open(int sampleRate, int channels, AudioSource* source) {
    Close();
    if (sampleRate <= 0 || channels <= 0 || channels > 255 || !source) {
        return false;
    }
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = sampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = kPeriodFrames;
    want.callback = &SdlAudioSink::Callback;
    want.userdata = this;
    source_ = source;
    channels_ = channels;
    // No allowed changes: SDL converts to what the device takes, so our frames stay ours.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device_ == 0) {
        source_ = nullptr;
        return false;
    }
    return true;
}

void SdlAudioSink::Close() {
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    source_ = nullptr;
}

void SdlAudioSink::SetRunning(bool running) {
    if (device_ != 0) {
        // Takes the device lock: no callback runs across this call.
        SDL_PauseAudioDevice(device_, running ? 0 : 1);
    }
}

void SdlAudioSink::Callback(void* self, Uint8* stream, int len) {
    auto* sink = static_cast<SdlAudioSink*>(self);
    const size_t frameBytes = sizeof(int16_t) * static_cast<size_t>(sink->channels_);
    const size_t frames = static_cast<size_t>(len) / frameBytes;
    const size_t got = sink->source_->PullFrames(reinterpret_cast<int16_t*>(stream), frames);
    if (got < frames) {
        std::memset(stream + got * frameBytes, 0, (frames - got) * frameBytes);
    }
}

bool SdlAudioSink::ProbeDevice() {
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kPeriodFrames;
    want.callback = nullptr;  // queued mode; nothing is queued, so nothing plays
    const SDL_AudioDeviceID dev = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (dev == 0) {
        return false;
    }
    SDL_CloseAudioDevice(dev);
    return true;
}

}  // namespace kv
