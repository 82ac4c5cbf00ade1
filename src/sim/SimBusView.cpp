#include "sim/SimBusView.h"

#include "sim/SimBus.h"

namespace kv {

SimBusView::SimBusView(std::shared_ptr<SimBus> bus, std::vector<int> converters)
    : bus_(std::move(bus)), converters_(std::move(converters)) {}

int SimBusView::BusIndex(uint32_t index) const {
    uint32_t n = 0;
    for (int c : converters_) {
        const int listed = bus_->ListedIndexOf(c);
        if (listed < 0) {
            continue;
        }
        if (n == index) {
            return listed;
        }
        ++n;
    }
    return -1;
}

ConverterStatus SimBusView::CountDevices(uint32_t& count) {
    count = 0;
    for (int c : converters_) {
        if (bus_->ListedIndexOf(c) >= 0) {
            ++count;
        }
    }
    return ConvOk;
}

ConverterStatus SimBusView::SerialNumber(uint32_t index, std::string& serial) {
    const int listed = BusIndex(index);
    return listed < 0 ? ConvDeviceNotFound
                      : bus_->SerialNumber(static_cast<uint32_t>(listed), serial);
}

ConverterStatus SimBusView::Description(uint32_t index, std::string& description) {
    const int listed = BusIndex(index);
    return listed < 0 ? ConvDeviceNotFound
                      : bus_->Description(static_cast<uint32_t>(listed), description);
}

ConverterStatus SimBusView::Open(uint32_t index, ConverterHandle& handle) {
    handle = kNoConverterHandle;
    const int listed = BusIndex(index);
    return listed < 0 ? ConvDeviceNotFound : bus_->Open(static_cast<uint32_t>(listed), handle);
}

ConverterStatus SimBusView::Close(ConverterHandle handle) {
    return bus_->Close(handle);
}

ConverterStatus SimBusView::SetBaudRate(ConverterHandle handle, uint32_t baud) {
    return bus_->SetBaudRate(handle, baud);
}

ConverterStatus SimBusView::SetDataCharacteristics(ConverterHandle handle, uint8_t wordLength,
                                                   uint8_t stopBits, uint8_t parity) {
    return bus_->SetDataCharacteristics(handle, wordLength, stopBits, parity);
}

ConverterStatus SimBusView::SetFlowControl(ConverterHandle handle, uint16_t flow, uint8_t xon,
                                           uint8_t xoff) {
    return bus_->SetFlowControl(handle, flow, xon, xoff);
}

ConverterStatus SimBusView::SetTimeouts(ConverterHandle handle, uint32_t readMs, uint32_t writeMs) {
    return bus_->SetTimeouts(handle, readMs, writeMs);
}

ConverterStatus SimBusView::Purge(ConverterHandle handle, uint32_t mask) {
    return bus_->Purge(handle, mask);
}

ConverterStatus SimBusView::SetDtr(ConverterHandle handle) {
    return bus_->SetDtr(handle);
}

ConverterStatus SimBusView::ClrRts(ConverterHandle handle) {
    return bus_->ClrRts(handle);
}

ConverterStatus SimBusView::Read(ConverterHandle handle, uint8_t* buffer, uint32_t count,
                                 uint32_t& got) {
    return bus_->Read(handle, buffer, count, got);
}

ConverterStatus SimBusView::Write(ConverterHandle handle, const uint8_t* buffer, uint32_t count,
                                  uint32_t& written) {
    return bus_->Write(handle, buffer, count, written);
}

ConverterStatus SimBusView::GetQueueStatus(ConverterHandle handle, uint32_t& rxBytes) {
    return bus_->GetQueueStatus(handle, rxBytes);
}

}  // namespace kv
