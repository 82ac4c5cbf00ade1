#pragma once

#include <SDL.h>

#include <QStringList>
#include <memory>
#include <mutex>

#include "timecode/LtcDecoder.h"
#include "timecode/TimecodeSource.h"

namespace kv {

// Timecode from an audio capture device through SDL2. SDL's capture thread decodes as the
// samples arrive (the decoder is cheap and keeps the frames' sample positions exact); the
// caller's Poll takes the frames and places "now" between two capture periods by the
// millisecond clock.
class CaptureTimecodeSource final : public TimecodeSource {
public:
    // device: a capture device's name or its number in Devices(); empty for the default one.
    // channel: 0-based.
    CaptureTimecodeSource(QString device, int channel, int sampleRate = 48000);
    ~CaptureTimecodeSource() override;
    CaptureTimecodeSource(const CaptureTimecodeSource&) = delete;
    CaptureTimecodeSource& operator=(const CaptureTimecodeSource&) = delete;

    // The capture devices SDL knows, in its order.
    static QStringList Devices();

    int SampleRate() const override { return sampleRate_; }
    bool Start() override;
    void Stop() override;
    std::vector<LtcFrame> Poll(int64_t& nowSample) override;
    QString Error() const override { return error_; }

private:
    static void Callback(void* self, Uint8* stream, int len);

    QString device_;
    int channel_;
    int sampleRate_;
    int channels_ = 0;
    SDL_AudioDeviceID id_ = 0;
    bool sdlUp_ = false;
    QString error_;

    std::mutex mutex_;  // between SDL's capture thread and Poll
    std::unique_ptr<LtcDecoder> decoder_;
    std::vector<float> mono_;
    int64_t captured_ = 0;
    uint32_t capturedTick_ = 0;
    int64_t lastNow_ = 0;
};

}  // namespace kv
