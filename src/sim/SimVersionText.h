#pragma once

#include <array>
#include <cstdint>

namespace kv {

// The three upper-case hex digit characters of a firmware version, as a version answer
// carries them (0x46B gives '4', '6', 'B').
inline std::array<uint8_t, 3> SimVersionText(int version) {
    constexpr const char* kDigits = "0123456789ABCDEF";
    return {static_cast<uint8_t>(kDigits[(version >> 8) & 0xF]),
            static_cast<uint8_t>(kDigits[(version >> 4) & 0xF]),
            static_cast<uint8_t>(kDigits[version & 0xF])};
}

}  // namespace kv
