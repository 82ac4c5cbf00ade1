#pragma once

#include <cstdint>
#include <vector>

#include "bus/ConverterBackend.h"
#include "bus/Crc8.h"
#include "core/Clock.h"
#include "sim/SimBus.h"

namespace kv::simtest {

inline std::vector<uint8_t> Frame(uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4,
                                  uint8_t address) {
    std::vector<uint8_t> f{code, d1, d2, d3, d4, address, 0};
    f[6] = Crc8(f.data(), 6);
    return f;
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Drives one converter of a SimBus through the converter interface, byte by byte, as the tty
// or vendor back end would: open, 8N1 at 19200, write a frame, read echo and answer.
class RawLink {
public:
    explicit RawLink(SimBus& bus, uint32_t index = 0) : bus_(bus) {
        ok_ = bus_.Open(index, handle_) == ConvOk && bus_.SetBaudRate(handle_, 19200) == ConvOk &&
              bus_.SetDataCharacteristics(handle_, 8, 0, 0) == ConvOk &&
              bus_.SetTimeouts(handle_, 20, 20) == ConvOk;
    }
    ~RawLink() { bus_.Close(handle_); }
    bool Ok() const { return ok_; }
    ConverterHandle Handle() const { return handle_; }

    ConverterStatus Write(const std::vector<uint8_t>& bytes) {
        uint32_t written = 0;
        return bus_.Write(handle_, bytes.data(), static_cast<uint32_t>(bytes.size()), written);
    }
    // Reads up to `count` bytes, waiting at most `ms` in total.
    std::vector<uint8_t> Read(uint32_t count, uint32_t ms = 100) {
        std::vector<uint8_t> out;
        const uint32_t start = TickCount();
        while (out.size() < count && ElapsedSince(start) <= ms) {
            uint8_t buf[256];
            uint32_t got = 0;
            bus_.Read(handle_, buf,
                      std::min<uint32_t>(count - static_cast<uint32_t>(out.size()), 256), got);
            out.insert(out.end(), buf, buf + got);
        }
        return out;
    }
    // Writes a request and returns what followed its echo (the answer, if any), or an empty
    // vector when the echo itself did not come back right.
    std::vector<uint8_t> Exchange(const std::vector<uint8_t>& request, uint32_t count = 7,
                                  uint32_t ms = 100) {
        if (Write(request) != ConvOk) {
            return {};
        }
        const auto echo = Read(static_cast<uint32_t>(request.size()), 60);
        if (echo != request) {
            return {};
        }
        return Read(count, ms);
    }

private:
    SimBus& bus_;
    ConverterHandle handle_ = kNoConverterHandle;
    bool ok_ = false;
};

}  // namespace kv::simtest
