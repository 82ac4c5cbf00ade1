#pragma once

#include "bus/ConverterBackend.h"
#include "bus/TCommonPort.h"

#include <atomic>
#include <memory>

namespace kv {

class TUSBPortFT;

// The port over the converters of a back end. Not itself thread-safe: the frame layer's exchange
// lock serialises its use. Connected() and ConverterCount() may be read from any thread.
class TUSBPort final : public TCommonPort {
public:
    static constexpr int kEchoBufferSize = 128;
    static constexpr uint32_t kEchoWaitMs = 50;
    static constexpr uint32_t kPreWriteWaitMs = 2;
    static constexpr uint32_t kLineTimeoutMs = 20;

    TUSBPort(int maxConverters, std::shared_ptr<ConverterBackend> backend);
    ~TUSBPort() override;

    bool Open(int unused) override;
    void Close() override;
    bool Reopen() override;
    int ConverterCount() const override { return count_.load(); }
    int BytesWaiting() override;
    int BytesWaitingOn(int converterIndex) override;
    int Read(uint8_t* buffer, int count, int converterIndex) override;
    int ReadAny(uint8_t* buffer, int count, int& converterIndex) override;
    int WriteChecked(const uint8_t* buffer, int count, int converterIndex) override;

    int MaxConverters() const { return maxConverters_; }

private:
    int writeOne(const uint8_t* buffer, int count, int converterIndex);

    int maxConverters_;
    std::shared_ptr<ConverterBackend> backend_;
    std::unique_ptr<TUSBPortFT> ft_;
    std::atomic<int> count_{0};
};

}  // namespace kv
