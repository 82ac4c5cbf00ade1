#include "sim/SimTap.h"

#include <algorithm>

namespace kv {

void SimTap::SetReceiving(bool on) {
    receiving_ = on;
    if (!on) {
        rx_.clear();
    }
}

void SimTap::Receive(SimTimeUs at, uint8_t byte) {
    if (receiving_ && rx_.size() < kRxCapacity) {
        rx_.emplace_back(at, byte);
    }
}

std::size_t SimTap::Available(SimTimeUs now) const {
    std::size_t n = 0;
    for (const auto& [t, b] : rx_) {
        if (t > now) {
            break;
        }
        ++n;
    }
    return n;
}

std::size_t SimTap::Take(uint8_t* buffer, std::size_t max, SimTimeUs now) {
    std::size_t n = 0;
    while (n < max && !rx_.empty() && rx_.front().first <= now) {
        buffer[n++] = rx_.front().second;
        rx_.pop_front();
    }
    return n;
}

void SimTap::Purge(SimTimeUs now) {
    while (!rx_.empty() && rx_.front().first <= now) {
        rx_.pop_front();
    }
}

std::vector<SimFrame> SimTap::Frames(const std::vector<uint8_t>& written) {
    assembler_.insert(assembler_.end(), written.begin(), written.end());
    std::vector<SimFrame> frames;
    std::size_t p = 0;
    while (assembler_.size() - p >= 7) {
        if (!SimFrameValid(assembler_.data() + p)) {
            ++p;
            continue;
        }
        SimFrame frame{};
        std::copy_n(assembler_.begin() + static_cast<std::ptrdiff_t>(p), 7, frame.begin());
        frames.push_back(frame);
        p += 7;
    }
    assembler_.erase(assembler_.begin(), assembler_.begin() + static_cast<std::ptrdiff_t>(p));
    if (assembler_.size() > 6) {
        assembler_.erase(assembler_.begin(), assembler_.end() - 6);
    }
    return frames;
}

}  // namespace kv
