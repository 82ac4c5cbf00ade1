#include "shows/TProjects.h"

#include <stdexcept>

namespace kv {

TProjectList& TProjects::Project(int slot) {
    if (slot < 0 || slot >= kSlots) {
        throw std::out_of_range("project slot out of range");
    }
    return slots_[static_cast<size_t>(slot)];
}

const TProjectList& TProjects::Project(int slot) const {
    return const_cast<TProjects*>(this)->Project(slot);
}

}  // namespace kv
