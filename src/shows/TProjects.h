#pragma once

#include <array>

#include "shows/TProjectList.h"

namespace kv {

// The eight project slots the console switches between; never resized.
class TProjects {
public:
    static constexpr int kSlots = 8;

    // Slot 0..7; anything else is a programming error.
    TProjectList& Project(int slot);
    const TProjectList& Project(int slot) const;
    int Count() const { return kSlots; }

private:
    std::array<TProjectList, kSlots> slots_;
};

}  // namespace kv
