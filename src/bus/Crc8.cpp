#include "bus/Crc8.h"

#include <array>

namespace kv {

namespace {

constexpr std::array<uint8_t, 256> makeTable() {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        uint8_t c = static_cast<uint8_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1) ? static_cast<uint8_t>((c >> 1) ^ 0x8C) : static_cast<uint8_t>(c >> 1);
        }
        t[static_cast<std::size_t>(i)] = c;
    }
    return t;
}

constexpr std::array<uint8_t, 256> kTable = makeTable();

}  // namespace

uint8_t Crc8(const uint8_t* data, std::size_t length) {
    uint8_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc = kTable[crc ^ data[i]];
    }
    return crc;
}

}  // namespace kv
