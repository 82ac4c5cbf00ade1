#include "shows/NullAudioSink.h"

#include <algorithm>
#include <chrono>

#include "core/Clock.h"

namespace kv {

namespace {
// How often the sink looks at the clock. Short against the 25 ms show tick.
constexpr auto kPollPeriod = std::chrono::milliseconds(2);
// The most one pull hands over, as a sound card's period would.
constexpr uint64_t kMaxPullFrames = 4096;
}  // namespace

NullAudioSink::~NullAudioSink() {
    Close();
}

bool NullAudioSink::Open(int sampleRate, int channels, AudioSource* source) {
    Close();
    if (sampleRate <= 0 || channels <= 0 || !source) {
        return false;
    }
    rate_ = sampleRate;
    channels_ = channels;
    source_ = source;
    quit_ = false;
    running_ = false;
    scratch_.assign(kMaxPullFrames * static_cast<size_t>(channels), 0);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void NullAudioSink::Close() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
    source_ = nullptr;
}

void NullAudioSink::SetRunning(bool running) {
    // The pull happens under the mutex, so once this returns no pull of the old state runs.
    std::lock_guard lock(mutex_);
    if (running && !running_) {
        runStartTick_ = TickCount();
        framesPulled_ = 0;
    }
    running_ = running;
    wake_.notify_all();
}

void NullAudioSink::Run() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (!running_) {
            wake_.wait(lock, [this] { return quit_ || running_; });
            continue;
        }
        const uint64_t elapsed = ElapsedSince(runStartTick_);
        const uint64_t due = elapsed * static_cast<uint64_t>(rate_) / 1000;
        while (running_ && framesPulled_ < due) {
            const uint64_t n = std::min(due - framesPulled_, kMaxPullFrames);
            const size_t got = source_->PullFrames(scratch_.data(), static_cast<size_t>(n));
            framesPulled_ += n;
            if (got < n) {
                // The source ran dry; it knows that it has stopped.
                running_ = false;
            }
        }
        wake_.wait_for(lock, kPollPeriod);
    }
}

}  // namespace kv
