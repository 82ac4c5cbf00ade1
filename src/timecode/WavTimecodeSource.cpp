#include "timecode/WavTimecodeSource.h"

#include "shows/AudioDecoder.h"

namespace kv {

namespace {
constexpr size_t kChunkFrames = 1024;
}  // namespace

WavTimecodeSource::WavTimecodeSource() : file_(std::make_unique<AudioDecoder>()) {}

WavTimecodeSource::~WavTimecodeSource() = default;

bool WavTimecodeSource::Open(const QString& path, int channel) {
    running_ = false;
    atEnd_ = false;
    read_ = 0;
    if (!file_->Open(path)) {
        error_ = QStringLiteral("cannot decode %1").arg(path);
        return false;
    }
    if (channel < 0 || channel >= file_->Channels()) {
        error_ = QStringLiteral("%1 has %2 channel(s), no channel %3")
                     .arg(path)
                     .arg(file_->Channels())
                     .arg(channel + 1);
        file_->Close();
        return false;
    }
    channel_ = channel;
    decoder_ = std::make_unique<LtcDecoder>(file_->SampleRate());
    error_.clear();
    return true;
}

int WavTimecodeSource::SampleRate() const {
    return file_->IsOpen() ? file_->SampleRate() : 48000;
}

bool WavTimecodeSource::Start() {
    if (!file_->IsOpen()) {
        if (error_.isEmpty()) {
            error_ = QStringLiteral("no timecode file open");
        }
        return false;
    }
    startTick_ = TickCount();
    running_ = true;
    return true;
}

void WavTimecodeSource::Stop() {
    running_ = false;
}

std::vector<LtcFrame> WavTimecodeSource::Poll(int64_t& nowSample) {
    if (!running_) {
        nowSample = read_;
        return {};
    }
    const int rate = file_->SampleRate();
    const int64_t target = static_cast<int64_t>(ElapsedSince(startTick_)) * rate / 1000;
    const size_t channels = static_cast<size_t>(file_->Channels());
    std::vector<int16_t> frames(kChunkFrames * channels);
    std::vector<int16_t> mono(kChunkFrames);
    while (!atEnd_ && read_ < target) {
        const size_t want = static_cast<size_t>(
            std::min<int64_t>(static_cast<int64_t>(kChunkFrames), target - read_));
        const size_t got = file_->Read(frames.data(), want);
        for (size_t i = 0; i < got; ++i) {
            mono[i] = frames[i * channels + static_cast<size_t>(channel_)];
        }
        decoder_->Feed(mono.data(), got, read_);
        read_ += static_cast<int64_t>(got);
        if (got < want) {
            atEnd_ = true;
        }
    }
    // Past the end the time still runs: the follower sees the signal stop, not time stand still.
    nowSample = std::max(read_, target);
    return decoder_->TakeFrames();
}

}  // namespace kv
