#include "bus/Crc8.h"
#include "sim/SimTypes.h"

namespace kv {

SimFrame MakeSimFrame(uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4,
                      uint8_t address) {
    SimFrame f{code, d1, d2, d3, d4, address, 0};
    f[6] = Crc8(f.data(), 6);
    return f;
}

bool SimFrameValid(const uint8_t* bytes) {
    return bytes[0] != 0x00 && bytes[0] != 0xFF && Crc8(bytes, 6) == bytes[6];
}

}  // namespace kv
