#pragma once

#include "bus/ConverterInfo.h"

#include <memory>
#include <vector>

namespace kv {

class TUSBPortFT;

// The converters present, in the back end's numbering, at most the owner's maximum. Uses the
// owner's lock and maximum.
class TUSBDevices {
public:
    explicit TUSBDevices(TUSBPortFT& owner) : owner_(owner) {}

    // Rebuilds the list. A converter whose serial or description cannot be read is left out and
    // the following ones move up.
    void Refresh();
    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    ConverterInfo& Item(int index) { return items_.at(static_cast<std::size_t>(index)); }
    const ConverterInfo& Item(int index) const {
        return items_.at(static_cast<std::size_t>(index));
    }

private:
    TUSBPortFT& owner_;
    std::vector<ConverterInfo> items_;
};

}  // namespace kv
