#pragma once

#include <memory>
#include <vector>

#include "bus/ConverterBackend.h"

namespace kv {

class SimBus;

// One console's converters on a simulated bus that several consoles share: the converter list
// holds only the converters given here (in that order, skipping the unplugged ones), each
// console its own, while the wires behind them may be shared. Everything else passes through to
// the bus, whose handles are valid across views.
class SimBusView final : public ConverterBackend {
public:
    SimBusView(std::shared_ptr<SimBus> bus, std::vector<int> converters);

    SimBus& Bus() { return *bus_; }

    ConverterStatus CountDevices(uint32_t& count) override;
    ConverterStatus SerialNumber(uint32_t index, std::string& serial) override;
    ConverterStatus Description(uint32_t index, std::string& description) override;
    ConverterStatus Open(uint32_t index, ConverterHandle& handle) override;
    ConverterStatus Close(ConverterHandle handle) override;
    ConverterStatus SetBaudRate(ConverterHandle handle, uint32_t baud) override;
    ConverterStatus SetDataCharacteristics(ConverterHandle handle, uint8_t wordLength,
                                           uint8_t stopBits, uint8_t parity) override;
    ConverterStatus SetFlowControl(ConverterHandle handle, uint16_t flow, uint8_t xon,
                                   uint8_t xoff) override;
    ConverterStatus SetTimeouts(ConverterHandle handle, uint32_t readMs, uint32_t writeMs) override;
    ConverterStatus Purge(ConverterHandle handle, uint32_t mask) override;
    ConverterStatus SetDtr(ConverterHandle handle) override;
    ConverterStatus ClrRts(ConverterHandle handle) override;
    ConverterStatus Read(ConverterHandle handle, uint8_t* buffer, uint32_t count,
                         uint32_t& got) override;
    ConverterStatus Write(ConverterHandle handle, const uint8_t* buffer, uint32_t count,
                          uint32_t& written) override;
    ConverterStatus GetQueueStatus(ConverterHandle handle, uint32_t& rxBytes) override;

private:
    // The bus's list position of this view's index-th plugged converter, or -1.
    int BusIndex(uint32_t index) const;

    std::shared_ptr<SimBus> bus_;
    std::vector<int> converters_;
};

}  // namespace kv
