#pragma once

#include "bus/TPort.h"

#include <array>
#include <cstdint>

namespace kv {

// A receive buffer: raw bytes with the converter each came through and the tick it arrived at,
// and the scan that finds frames in them. The worker keeps one per converter, so that bytes of
// two converters never mix into one frame. Not locked itself; the owner guards it.
class RxFrameBuffer {
public:
    static constexpr int kCapacity = TPort::kRxBufferSize;
    static constexpr int kFrameBytes = 7;

    struct Entry {
        BusFrame frame{};
        int converter = -1;
        uint32_t tick = 0;  // arrival of the frame's last byte
    };

    int Length() const { return length_; }
    int Space() const { return kCapacity - length_; }
    // Appends what fits and returns how many bytes were taken.
    int Append(const uint8_t* bytes, int count, int converter, uint32_t tick = 0);

    // Scans for frames (valid check byte, code neither 0x00 nor 0xFF). The bytes before a frame
    // are dropped with it; bytes without a frame shrink to the last 6, which may be the start of
    // one still arriving. Stops after maxFrames frames; the rest stays for the next call.
    // Byte 5 of each frame goes through inTable. Returns the count put into out.
    int Parse(Entry* out, int maxFrames, const std::array<uint8_t, 256>& inTable);

    const uint8_t* Bytes() const { return bytes_.data(); }
    const int32_t* Converters() const { return converters_.data(); }

private:
    std::array<uint8_t, kCapacity> bytes_{};
    std::array<int32_t, kCapacity> converters_{};
    std::array<uint32_t, kCapacity> ticks_{};
    int length_ = 0;
};

}  // namespace kv
