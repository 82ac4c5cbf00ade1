#include "bus/TUSBPort.h"

#include "bus/TUSBPortFT.h"
#include "core/Clock.h"

#include <array>
#include <stdexcept>

namespace kv {

TUSBPort::TUSBPort(int maxConverters, std::shared_ptr<ConverterBackend> backend)
    : maxConverters_(maxConverters), backend_(std::move(backend)) {
    if (!backend_) {
        throw std::invalid_argument("TUSBPort needs a converter back end");
    }
}

TUSBPort::~TUSBPort() {
    Close();
}

bool TUSBPort::Open(int /*unused*/) {
    if (ft_) {
        Close();
    }
    ft_ = std::make_unique<TUSBPortFT>(backend_);
    ft_->maxConverters = maxConverters_;
    ft_->Devices().Refresh();
    ft_->dataBits = 8;
    ft_->stopBits = 1;
    ft_->parity = 0;
    ft_->readTimeout = kLineTimeoutMs;
    ft_->writeTimeout = kLineTimeoutMs;
    ft_->OpenAll();
    ft_->PurgeRx();
    ft_->PurgeTx();
    ft_->SetDtr();
    ft_->ClearRts();
    const int count = ft_->Devices().Count();
    // A listed converter that did not open (busy, no permission yet after a replug, a chip
    // still being set up) would answer every exchange with an error while the link looked
    // fine: the port counts as open only when every listed converter opened, and the worker
    // keeps reopening until they do.
    bool allOpened = true;
    for (int k = 0; k < count; ++k) {
        allOpened = allOpened && ft_->Devices().Item(k).handle != kNoConverterHandle;
    }
    if (count == 0 || !allOpened) {
        ft_->CloseAll();
        ft_.reset();
        connected.store(false);
        count_.store(0);
        return false;
    }
    count_.store(count);
    connected.store(true);
    return true;
}

void TUSBPort::Close() {
    // The converters are closed whenever a list exists, also after a failed open of a single
    // one, so that no handle outlives the port.
    if (ft_) {
        ft_->CloseAll();
        ft_.reset();
    }
    connected.store(false);
    count_.store(0);
}

bool TUSBPort::Reopen() {
    Close();
    Open(0);
    return connected.load();
}

int TUSBPort::BytesWaiting() {
    if (!connected.load() || !ft_) {
        return 0;
    }
    int total = 0;
    if (ft_->QueueStatus(total) != ConvOk) {
        return -1;
    }
    return total;
}

int TUSBPort::BytesWaitingOn(int converterIndex) {
    if (!connected.load() || !ft_) {
        return 0;
    }
    int count = 0;
    if (ft_->QueueStatusOf(converterIndex, count) != ConvOk) {
        return -1;
    }
    return count;
}

int TUSBPort::Read(uint8_t* buffer, int count, int converterIndex) {
    if (!connected.load() || !ft_) {
        return -1;
    }
    if (converterIndex != -1) {
        return ft_->ReadFrom(converterIndex, buffer, count);
    }
    for (int k = 0; k < ft_->Devices().Count(); ++k) {
        const int got = ft_->ReadFrom(k, buffer, count);
        if (got != 0) {
            return got;
        }
    }
    return 0;
}

int TUSBPort::ReadAny(uint8_t* buffer, int count, int& converterIndex) {
    if (!connected.load() || !ft_) {
        return -1;
    }
    converterIndex = -1;
    for (int k = 0; k < ft_->Devices().Count(); ++k) {
        const int got = ft_->ReadFrom(k, buffer, count);
        if (got != 0) {
            if (got > 0) {
                converterIndex = k;
            }
            return got;
        }
    }
    return 0;
}

int TUSBPort::writeOne(const uint8_t* buffer, int count, int converterIndex) {
    const uint32_t start = TickCount();
    const int written = ft_->WriteTo(converterIndex, buffer, count);
    if (written != count) {
        return -2;
    }
    std::array<uint8_t, kEchoBufferSize> echo{};
    int got = 0;
    while (got < count && ElapsedSince(start) < kEchoWaitMs) {
        const int n = ft_->ReadFrom(converterIndex, echo.data() + got, count - got);
        if (n > 0) {
            got += n;
        }
    }
    if (got == count && echo[0] == buffer[0]) {
        return count;
    }
    return -2;
}

int TUSBPort::WriteChecked(const uint8_t* buffer, int count, int converterIndex) {
    if (!connected.load() || !ft_) {
        return -1;
    }
    // The echo must fit its buffer; frames are 7 bytes, so a longer write is a caller's fault.
    if (count <= 0 || count > kEchoBufferSize) {
        return -2;
    }
    SleepMs(kPreWriteWaitMs);
    if (converterIndex != -1) {
        if (converterIndex < 0 || converterIndex >= ft_->Devices().Count()) {
            return -2;
        }
        return writeOne(buffer, count, converterIndex);
    }
    int result = -2;
    for (int k = 0; k < ft_->Devices().Count(); ++k) {
        result = writeOne(buffer, count, k);
    }
    return result;
}

}  // namespace kv
