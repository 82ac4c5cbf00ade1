// The worker's frame scan over a byte stream cut into reads of any size from several converters.
// The frames it finds must be exactly those a plain left-to-right scan of the whole stream finds:
// no frame lost at a read boundary, none made up, each with the converter its first byte came
// through.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "bus/Crc8.h"
#include "bus/RxFrameBuffer.h"

namespace {

struct Found {
    kv::BusFrame frame;
    int converter;
    bool operator==(const Found&) const = default;
};

bool IsFrameAt(const uint8_t* f) {
    return f[0] != 0x00 && f[0] != 0xFF && kv::Crc8(f, 6) == f[6];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Each read: a header byte (converter in the low two bits, length - 1 in the rest), then
    // up to that many bytes of the stream.
    std::vector<uint8_t> stream;
    std::vector<int> from;
    // A fresh buffer per input, made in place: it holds 320 kB, too much to allocate each time.
    alignas(kv::RxFrameBuffer) static unsigned char storage[sizeof(kv::RxFrameBuffer)];
    auto* buffer = new (storage) kv::RxFrameBuffer;
    std::array<uint8_t, 256> identity{};
    for (int i = 0; i < 256; ++i) {
        identity[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
    }
    std::vector<Found> scanned;
    kv::RxFrameBuffer::Entry out[4];
    std::size_t i = 0;
    while (i < size) {
        const uint8_t header = data[i++];
        const int converter = header & 3;
        const std::size_t length = std::min<std::size_t>((header >> 2) + 1u, size - i);
        const int taken = buffer->Append(data + i, static_cast<int>(length), converter);
        if (taken != static_cast<int>(length)) {
            std::abort();  // inputs are far below the buffer's capacity
        }
        for (std::size_t k = 0; k < length; ++k) {
            stream.push_back(data[i + k]);
            from.push_back(converter);
        }
        i += length;
        // As many frames as the caller has room for; the rest waits for the next call.
        const int room = 1 + (header >> 6);
        const int n = buffer->Parse(out, room, identity);
        if (n < 0 || n > room || buffer->Length() < 0 ||
            buffer->Length() > kv::RxFrameBuffer::kCapacity) {
            std::abort();
        }
        for (int k = 0; k < n; ++k) {
            scanned.push_back({out[k].frame, out[k].converter});
        }
    }
    for (;;) {
        const int n = buffer->Parse(out, 4, identity);
        if (n == 0) {
            break;
        }
        for (int k = 0; k < n; ++k) {
            scanned.push_back({out[k].frame, out[k].converter});
        }
    }
    if (buffer->Length() >= kv::RxFrameBuffer::kFrameBytes) {
        std::abort();  // bytes without a frame shrink to what may start one
    }

    std::vector<Found> expected;
    for (std::size_t p = 0; p + 7 <= stream.size();) {
        if (IsFrameAt(stream.data() + p)) {
            Found f{};
            std::copy_n(stream.data() + p, 6, f.frame.begin());
            f.converter = from[p];
            expected.push_back(f);
            p += 7;
        } else {
            ++p;
        }
    }
    if (scanned != expected) {
        std::abort();
    }
    return 0;
}
