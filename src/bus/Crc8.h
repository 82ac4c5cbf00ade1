#pragma once

#include <cstddef>
#include <cstdint>

namespace kv {

// CRC-8 of the bus frames: polynomial x^8 + x^5 + x^4 + 1, processed least significant bit
// first (reflected 0x8C), initial value 0, no final xor. "123456789" gives 0xA1.
uint8_t Crc8(const uint8_t* data, std::size_t length);

}  // namespace kv
