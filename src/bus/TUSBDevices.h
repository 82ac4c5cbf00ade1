#pragma once

#include "bus/ConverterInfo.h"

#include <memory>
#include <string>
#include <vector>

namespace kv {

class TUSBPortFT;

// The converters present, in the back end's numbering, at most the owner's maximum. Uses the
// owner's lock and maximum.
class TUSBDevices {
public:
    explicit TUSBDevices(TUSBPortFT& owner) : owner_(owner) {}

    // Rebuilds the list from the converters present. A converter whose serial or description
    // cannot be read is left out and the following ones move up.
    void Refresh();
    // The converters present now, as Refresh would list them, leaving the list alone.
    std::vector<ConverterInfo> Scan();
    // Puts the listed converters at their places: `identities` holds, by converter number, the
    // identity of every converter listed since the port was made. A converter keeps the number
    // it had; one seen for the first time takes the next free number (none beyond the owner's
    // maximum); the place of one that is gone stays, not present.
    void Arrange(std::vector<std::string>& identities);
    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    int PresentCount() const;
    ConverterInfo& Item(int index) { return items_.at(static_cast<std::size_t>(index)); }
    const ConverterInfo& Item(int index) const {
        return items_.at(static_cast<std::size_t>(index));
    }

private:
    TUSBPortFT& owner_;
    std::vector<ConverterInfo> items_;
};

}  // namespace kv
