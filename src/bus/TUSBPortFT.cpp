#include "bus/TUSBPortFT.h"

namespace kv {

TUSBPortFT::TUSBPortFT(std::shared_ptr<ConverterBackend> backend)
    : backend_(std::move(backend)), devices_(*this) {}

TUSBPortFT::~TUSBPortFT() {
    devices_.Clear();
}

uint8_t TUSBPortFT::StopBitsCode() const {
    return stopBits == 2 ? 2 : 0;
}

uint16_t TUSBPortFT::FlowControlCode() const {
    if (flowControl == 0 || flowControl > 3) {
        return 0;
    }
    return static_cast<uint16_t>(((1u << flowControl) >> 1) << 8);
}

template <typename F>
ConverterStatus TUSBPortFT::ForEachOpen(F&& call) {
    ConverterStatus status = ConvOk;
    for (int k = 0; k < devices_.Count(); ++k) {
        if (devices_.Item(k).present) {
            status |= call(devices_.Item(k).handle);
        }
    }
    return status;
}

ConverterStatus TUSBPortFT::ConfigureOne(ConverterHandle handle) {
    ConverterStatus status = backend_->SetBaudRate(handle, kBaudRate);
    status |= backend_->SetDataCharacteristics(handle, dataBits, StopBitsCode(), parity);
    status |= backend_->SetFlowControl(handle, FlowControlCode(), xonChar, xoffChar);
    status |= backend_->SetTimeouts(handle, readTimeout, writeTimeout);
    return status;
}

ConverterStatus TUSBPortFT::OpenAll() {
    // Never reported as success; the caller decides by the converter count alone.
    ConverterStatus status = ConvOtherError;
    for (int k = 0; k < devices_.Count(); ++k) {
        ConverterInfo& info = devices_.Item(k);
        if (!info.present) {
            continue;
        }
        const ConverterStatus opened = backend_->Open(info.deviceIndex, info.handle);
        status |= opened;
        if (opened == ConvOk) {
            status |= ConfigureOne(info.handle);
        } else {
            info.handle = kNoConverterHandle;
        }
    }
    return status;
}

bool TUSBPortFT::OpenReturned(int converterIndex, const ConverterInfo& found) {
    ConverterInfo& info = devices_.Item(converterIndex);
    ConverterHandle h = kNoConverterHandle;
    if (info.present || backend_->Open(found.deviceIndex, h) != ConvOk) {
        return false;
    }
    ConfigureOne(h);
    backend_->Purge(h, ConvPurgeRx);
    backend_->Purge(h, ConvPurgeTx);
    backend_->SetDtr(h);
    backend_->ClrRts(h);
    info = found;
    info.handle = h;
    info.present = true;
    return true;
}

ConverterStatus TUSBPortFT::Configure() {
    return ForEachOpen([this](ConverterHandle h) { return ConfigureOne(h); });
}

ConverterStatus TUSBPortFT::PurgeRx() {
    return ForEachOpen([this](ConverterHandle h) { return backend_->Purge(h, ConvPurgeRx); });
}

ConverterStatus TUSBPortFT::PurgeTx() {
    return ForEachOpen([this](ConverterHandle h) { return backend_->Purge(h, ConvPurgeTx); });
}

ConverterStatus TUSBPortFT::SetDtr() {
    return ForEachOpen([this](ConverterHandle h) { return backend_->SetDtr(h); });
}

ConverterStatus TUSBPortFT::ClearRts() {
    return ForEachOpen([this](ConverterHandle h) { return backend_->ClrRts(h); });
}

ConverterStatus TUSBPortFT::CloseAll() {
    ConverterStatus status = ConvOk;
    for (int k = 0; k < devices_.Count(); ++k) {
        ConverterInfo& info = devices_.Item(k);
        if (info.present) {
            status |= backend_->Close(info.handle);
        }
        info.handle = kNoConverterHandle;
    }
    return status;
}

ConverterStatus TUSBPortFT::QueueStatus(int& total) {
    total = 0;
    ConverterStatus status = ConvOk;
    for (int k = 0; k < devices_.Count(); ++k) {
        const ConverterHandle h = devices_.Item(k).handle;
        // A listed converter that failed to open has nothing to lose: asking it would report
        // the port lost, the reopen would list it again and the link would flap every 100 ms.
        if (h == kNoConverterHandle) {
            continue;
        }
        uint32_t count = 0;
        const ConverterStatus s = backend_->GetQueueStatus(h, count);
        status |= s;
        if (s == ConvOk) {
            total += static_cast<int>(count);
        }
    }
    return status;
}

ConverterStatus TUSBPortFT::QueueStatusOf(int converterIndex, int& count) {
    count = 0;
    if (converterIndex < 0 || converterIndex >= devices_.Count()) {
        return ConvOk;
    }
    const ConverterHandle h = devices_.Item(converterIndex).handle;
    if (h == kNoConverterHandle) {
        return ConvOk;
    }
    uint32_t waiting = 0;
    const ConverterStatus status = backend_->GetQueueStatus(h, waiting);
    if (status == ConvOk) {
        count = static_cast<int>(waiting);
    }
    return status;
}

int TUSBPortFT::ReadFrom(int converterIndex, uint8_t* buffer, int count) {
    if (converterIndex < 0 || converterIndex >= devices_.Count() || count <= 0) {
        return 0;
    }
    std::lock_guard lock(lock_);
    const ConverterHandle h = devices_.Item(converterIndex).handle;
    if (h == kNoConverterHandle) {
        return 0;
    }
    uint32_t got = 0;
    backend_->Read(h, buffer, static_cast<uint32_t>(count), got);
    return static_cast<int>(got > static_cast<uint32_t>(count) ? count : got);
}

int TUSBPortFT::WriteTo(int converterIndex, const uint8_t* buffer, int count, bool purgeTx) {
    if (converterIndex < 0 || converterIndex >= devices_.Count() || count <= 0) {
        return 0;
    }
    std::lock_guard lock(lock_);
    const ConverterHandle h = devices_.Item(converterIndex).handle;
    if (h == kNoConverterHandle) {
        return 0;  // a converter that is gone: nothing goes out on another's wire
    }
    // Only the transmit queue: what was received may be another station's frame, which the
    // checked write hands to the scanner instead of throwing it away.
    if (purgeTx) {
        backend_->Purge(h, ConvPurgeTx);
    }
    uint32_t written = 0;
    backend_->Write(h, buffer, static_cast<uint32_t>(count), written);
    return static_cast<int>(written);
}

}  // namespace kv
