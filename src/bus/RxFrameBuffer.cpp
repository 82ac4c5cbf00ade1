#include "bus/RxFrameBuffer.h"

#include "bus/Crc8.h"

#include <algorithm>
#include <cstring>

namespace kv {

int RxFrameBuffer::Append(const uint8_t* bytes, int count, int converter, uint32_t tick) {
    const int take = std::clamp(count, 0, Space());
    if (take > 0) {
        std::memcpy(bytes_.data() + length_, bytes, static_cast<std::size_t>(take));
        std::fill_n(converters_.data() + length_, take, converter);
        std::fill_n(ticks_.data() + length_, take, tick);
        length_ += take;
    }
    return take;
}

int RxFrameBuffer::Parse(Entry* out, int maxFrames, const std::array<uint8_t, 256>& inTable) {
    int found = 0;
    int start = 0;  // bytes before start are dropped; moved down once at the end
    while (length_ - start >= kFrameBytes && found < maxFrames) {
        const int last = length_ - kFrameBytes;
        int p = start;
        for (; p <= last; ++p) {
            const uint8_t* f = bytes_.data() + p;
            if (f[0] != 0x00 && f[0] != 0xFF && Crc8(f, 6) == f[6]) {
                break;
            }
        }
        if (p > last) {
            start = length_ - (kFrameBytes - 1);
            break;
        }
        Entry& e = out[found++];
        std::memcpy(e.frame.data(), bytes_.data() + p, 6);
        e.frame[5] = inTable[e.frame[5]];
        e.converter = converters_[static_cast<std::size_t>(p)];
        e.tick = ticks_[static_cast<std::size_t>(p + kFrameBytes - 1)];
        start = p + kFrameBytes;
    }
    if (start > 0) {
        const int rest = length_ - start;
        std::memmove(bytes_.data(), bytes_.data() + start, static_cast<std::size_t>(rest));
        std::memmove(converters_.data(), converters_.data() + start,
                     static_cast<std::size_t>(rest) * sizeof(int32_t));
        std::memmove(ticks_.data(), ticks_.data() + start,
                     static_cast<std::size_t>(rest) * sizeof(uint32_t));
        length_ = rest;
    }
    return found;
}

}  // namespace kv
