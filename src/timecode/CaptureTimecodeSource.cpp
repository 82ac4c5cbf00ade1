#include "timecode/CaptureTimecodeSource.h"

#include <algorithm>

#include "core/Clock.h"

namespace kv {

namespace {
// About 10 ms at 48 kHz: a frame edge is known soon after it arrives.
constexpr Uint16 kPeriodFrames = 512;

bool InitSdlAudio() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}
}  // namespace

CaptureTimecodeSource::CaptureTimecodeSource(QString device, int channel, int sampleRate)
    : device_(std::move(device)),
      channel_(std::max(0, channel)),
      sampleRate_(sampleRate > 0 ? sampleRate : 48000) {}

CaptureTimecodeSource::~CaptureTimecodeSource() {
    Stop();
}

QStringList CaptureTimecodeSource::Devices() {
    QStringList names;
    if (!InitSdlAudio()) {
        return names;
    }
    const int n = SDL_GetNumAudioDevices(1);
    for (int i = 0; i < n; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, 1);
        names << QString::fromUtf8(name ? name : "");
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return names;
}

bool CaptureTimecodeSource::Start() {
    Stop();
    sdlUp_ = InitSdlAudio();
    if (!sdlUp_) {
        error_ =
            QStringLiteral("audio capture unavailable: %1").arg(QString::fromUtf8(SDL_GetError()));
        return false;
    }
    QByteArray name;
    if (!device_.isEmpty()) {
        bool isNumber = false;
        const int index = device_.toInt(&isNumber);
        if (isNumber) {
            const char* found = SDL_GetAudioDeviceName(index, 1);
            if (!found) {
                error_ = QStringLiteral("no capture device %1").arg(index);
                Stop();
                return false;
            }
            name = found;
        } else {
            name = device_.toUtf8();
        }
    }
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = sampleRate_;
    want.format = AUDIO_F32SYS;
    want.channels = static_cast<Uint8>(std::min(channel_ + 1, 8));
    want.samples = kPeriodFrames;
    want.callback = &CaptureTimecodeSource::Callback;
    want.userdata = this;
    SDL_AudioSpec have;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        decoder_ = std::make_unique<LtcDecoder>(sampleRate_);
        captured_ = 0;
        lastNow_ = 0;
        capturedTick_ = TickCount();
        channels_ = want.channels;
    }
    // The device may offer more channels than asked: SDL gives ours, but the channel wanted
    // must exist, so the count is not left to the device.
    id_ = SDL_OpenAudioDevice(name.isEmpty() ? nullptr : name.constData(), 1, &want, &have, 0);
    if (id_ == 0) {
        error_ = QStringLiteral("cannot open capture device %1: %2")
                     .arg(device_.isEmpty() ? QStringLiteral("(default)") : device_,
                          QString::fromUtf8(SDL_GetError()));
        Stop();
        return false;
    }
    SDL_PauseAudioDevice(id_, 0);
    error_.clear();
    return true;
}

void CaptureTimecodeSource::Stop() {
    if (id_ != 0) {
        SDL_CloseAudioDevice(id_);
        id_ = 0;
    }
    if (sdlUp_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdlUp_ = false;
    }
}

void CaptureTimecodeSource::Callback(void* self, Uint8* stream, int len) {
    auto* source = static_cast<CaptureTimecodeSource*>(self);
    std::lock_guard<std::mutex> lock(source->mutex_);
    const size_t channels = static_cast<size_t>(source->channels_);
    const size_t frames = static_cast<size_t>(len) / (sizeof(float) * channels);
    const auto* in = reinterpret_cast<const float*>(stream);
    source->mono_.resize(frames);
    for (size_t i = 0; i < frames; ++i) {
        source->mono_[i] = in[i * channels + static_cast<size_t>(source->channel_)];
    }
    source->decoder_->Feed(source->mono_.data(), frames, source->captured_);
    source->captured_ += static_cast<int64_t>(frames);
    source->capturedTick_ = TickCount();
}

std::vector<LtcFrame> CaptureTimecodeSource::Poll(int64_t& nowSample) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!decoder_) {
        nowSample = 0;
        return {};
    }
    // The capture arrives a period at a time; between periods the clock carries on, and keeps
    // counting when the device stops delivering so that the follower sees a loss.
    const int64_t extra = static_cast<int64_t>(ElapsedSince(capturedTick_)) * sampleRate_ / 1000;
    lastNow_ = std::max(lastNow_, captured_ + extra);
    nowSample = lastNow_;
    return decoder_->TakeFrames();
}

}  // namespace kv
