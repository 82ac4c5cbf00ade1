#include "bus/TUSBDevices.h"

#include "bus/TUSBPortFT.h"

#include <algorithm>

namespace kv {

void TUSBDevices::Refresh() {
    items_ = Scan();
}

int TUSBDevices::PresentCount() const {
    int n = 0;
    for (const ConverterInfo& c : items_) {
        n += c.present ? 1 : 0;
    }
    return n;
}

void TUSBDevices::Arrange(std::vector<std::string>& identities) {
    std::vector<ConverterInfo> slots(identities.size());
    std::vector<bool> taken(identities.size(), false);
    for (std::size_t k = 0; k < slots.size(); ++k) {
        slots[k].present = false;
    }
    const auto maxCount = static_cast<std::size_t>(std::max(owner_.maxConverters, 0));
    for (ConverterInfo& c : items_) {
        const std::string id = c.Identity();
        std::size_t k = 0;
        while (k < identities.size() && (taken[k] || identities[k] != id)) {
            ++k;
        }
        if (k == identities.size()) {
            if (identities.size() >= maxCount) {
                continue;  // every number is some converter's own
            }
            identities.push_back(id);
            slots.emplace_back();
            taken.push_back(false);
        }
        taken[k] = true;
        slots[k] = std::move(c);
        slots[k].present = true;
    }
    items_ = std::move(slots);
}

std::vector<ConverterInfo> TUSBDevices::Scan() {
    std::vector<ConverterInfo> found;
    std::lock_guard lock(owner_.Lock());
    ConverterBackend& backend = owner_.Backend();
    uint32_t number = 0;
    if (backend.CountDevices(number) != ConvOk) {
        return found;
    }
    const auto maxCount =
        static_cast<uint32_t>(owner_.maxConverters < 0 ? 0 : owner_.maxConverters);
    for (uint32_t i = 0; i < number && i < maxCount; ++i) {
        ConverterInfo info;
        info.deviceIndex = i;
        if (backend.SerialNumber(i, info.serial) != ConvOk) {
            continue;
        }
        if (backend.Description(i, info.description) != ConvOk) {
            continue;
        }
        if (info.serial.size() > ConverterInfo::kMaxText) {
            info.serial.resize(ConverterInfo::kMaxText);
        }
        if (info.description.size() > ConverterInfo::kMaxText) {
            info.description.resize(ConverterInfo::kMaxText);
        }
        found.push_back(std::move(info));
    }
    return found;
}

}  // namespace kv
