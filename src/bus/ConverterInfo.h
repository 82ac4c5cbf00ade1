#pragma once

#include "bus/ConverterBackend.h"

#include <string>

namespace kv {

// One converter of the list: what the back end reports about it, and its handle once opened.
struct ConverterInfo {
    static constexpr std::size_t kMaxText = 255;
    std::string serial;
    std::string description;
    ConverterHandle handle = kNoConverterHandle;
    // The back end's number of the converter: differs from the list position once a converter
    // before it was left out, and the converter must be opened by this number.
    uint32_t deviceIndex = 0;
    // False for the place of a converter that was listed once and is gone now: its number stays
    // its own, so the devices behind it are never reached through another converter.
    bool present = true;

    // What tells this converter from the others across an unplug: the serial number with the
    // description (the device path for converters given by path).
    std::string Identity() const { return serial + '\x1f' + description; }
};

}  // namespace kv
