#include "bus/TUSBDevices.h"

#include "bus/TUSBPortFT.h"

namespace kv {

void TUSBDevices::Refresh() {
    Clear();
    std::lock_guard lock(owner_.Lock());
    ConverterBackend& backend = owner_.Backend();
    uint32_t number = 0;
    if (backend.CountDevices(number) != ConvOk) {
        return;
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
        items_.push_back(std::move(info));
    }
}

}  // namespace kv
