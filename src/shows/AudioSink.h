#pragma once

#include <cstddef>
#include <cstdint>

namespace kv {

// Where a sink pulls its samples from: interleaved 16-bit frames. Called on the sink's own
// thread. Returning fewer frames than asked means the source has run out.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual size_t PullFrames(int16_t* out, size_t frames) = 0;
};

// An audio output. It pulls from its source only while running, so the frames a source has
// handed out are the frames the output has consumed: that count is the play position.
class AudioSink {
public:
    virtual ~AudioSink() = default;
    // Opens the output for one stream format, paused. False when the device cannot be opened.
    virtual bool Open(int sampleRate, int channels, AudioSource* source) = 0;
    virtual void Close() = 0;
    // Starts or pauses pulling. Returns once the sink has taken the new state, so that no pull
    // of the old state overlaps a caller's following seek.
    virtual void SetRunning(bool running) = 0;
    virtual bool IsOpen() const = 0;
};

}  // namespace kv
