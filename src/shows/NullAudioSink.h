#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "shows/AudioSink.h"

namespace kv {

// An output without a sound card: it consumes frames at the stream's rate on deadlines of the
// process clock (kv::TickCount), so a fake clock drives it exactly and the real clock plays in
// real time. Used for tests, CI and the simulated demo, only when asked for.
class NullAudioSink final : public AudioSink {
public:
    NullAudioSink() = default;
    ~NullAudioSink() override;
    NullAudioSink(const NullAudioSink&) = delete;
    NullAudioSink& operator=(const NullAudioSink&) = delete;

    bool Open(int sampleRate, int channels, AudioSource* source) override;
    void Close() override;
    void SetRunning(bool running) override;
    bool IsOpen() const override { return thread_.joinable(); }

private:
    void Run();

    int rate_ = 0;
    int channels_ = 0;
    AudioSource* source_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    bool running_ = false;
    // Frames due since the run started, and the tick it started at.
    uint32_t runStartTick_ = 0;
    uint64_t framesPulled_ = 0;
    std::vector<int16_t> scratch_;
};

}  // namespace kv
