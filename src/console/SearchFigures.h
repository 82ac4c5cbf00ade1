#pragma once

#include <QString>
#include <array>

namespace kv {

class TControls;

// The six figures of the search panel after one scan tick: cycle percent, the address just
// handled, converters, firing modules, radio units and the remote control (0 or 1).
struct SearchFigures {
    static constexpr int kCount = 6;
    // Every value empty: how the panel starts a search.
    static std::array<QString, kCount> Empty() { return {}; }
    static std::array<QString, kCount> Values(int percent, int address, int converters,
                                              const TControls& controls);
};

}  // namespace kv
