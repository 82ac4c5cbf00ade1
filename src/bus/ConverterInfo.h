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
};

}  // namespace kv
