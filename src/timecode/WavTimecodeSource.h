#pragma once

#include <memory>

#include "core/Clock.h"
#include "timecode/LtcDecoder.h"
#include "timecode/TimecodeSource.h"

namespace kv {

class AudioDecoder;

// Plays the timecode of an audio file in real time, as if the capture device heard it: each
// poll decodes the samples the millisecond clock says have gone by since Start. After the end
// of the file the samples keep counting, as silence does on a capture device.
class WavTimecodeSource final : public TimecodeSource {
public:
    WavTimecodeSource();
    ~WavTimecodeSource() override;

    // The file and the channel (0-based) that carries the timecode.
    bool Open(const QString& path, int channel);
    int SampleRate() const override;
    bool Start() override;
    void Stop() override;
    std::vector<LtcFrame> Poll(int64_t& nowSample) override;
    QString Error() const override { return error_; }
    bool AtEnd() const { return atEnd_; }

private:
    std::unique_ptr<AudioDecoder> file_;
    std::unique_ptr<LtcDecoder> decoder_;
    int channel_ = 0;
    bool running_ = false;
    bool atEnd_ = false;
    uint32_t startTick_ = 0;
    int64_t read_ = 0;  // samples given to the decoder
    QString error_;
};

}  // namespace kv
