#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace kv {

// Simulated time in microseconds. It is derived from the millisecond clock of core/Clock.h
// (so a FakeClock drives the simulation too); microseconds keep byte pacing (0.521 ms a byte
// at 19200 baud) exact over a whole frame.
using SimTimeUs = uint64_t;
constexpr SimTimeUs kSimNever = std::numeric_limits<SimTimeUs>::max();

// A whole bus frame as it goes on the wire: code, d1..d4, address, check byte.
using SimFrame = std::array<uint8_t, 7>;

// Builds a frame from its first six bytes and appends the check byte.
SimFrame MakeSimFrame(uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4,
                      uint8_t address);
// True when the check byte matches and the code is not one of the never-valid 0x00 / 0xFF.
bool SimFrameValid(const uint8_t* bytes);

// Show times on the bus travel in steps of 100 ms (h) with the tens of milliseconds in the high
// nibble of a data byte; 65535 steps is the empty time that marks an unused slot.
constexpr uint16_t kSimEmptySteps = 0xFFFF;

}  // namespace kv
