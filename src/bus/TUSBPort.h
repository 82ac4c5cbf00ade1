#pragma once

#include "bus/ConverterBackend.h"
#include "bus/TCommonPort.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
    int SlotCount() const override { return slots_.load(); }
    bool Present(int converterIndex) const override;
    bool OpenReturned() override;
    int BytesWaiting() override;
    int BytesWaitingOn(int converterIndex) override;
    int Read(uint8_t* buffer, int count, int converterIndex) override;
    int ReadAny(uint8_t* buffer, int count, int& converterIndex) override;
    int WriteChecked(const uint8_t* buffer, int count, int converterIndex) override;

    int MaxConverters() const { return maxConverters_; }

    // Where the bytes go that a checked write reads before its echo (another station's frame
    // that was on the line) or instead of it (a garbled echo): the frame layer's scanner.
    using ForeignBytes = std::function<void(const uint8_t* bytes, int count, int converterIndex)>;
    void SetForeignSink(ForeignBytes sink) { foreign_ = std::move(sink); }

private:
    int writeOne(const uint8_t* buffer, int count, int converterIndex);
    void handOver(const uint8_t* bytes, int count, int converterIndex);

    int maxConverters_;
    std::shared_ptr<ConverterBackend> backend_;
    std::unique_ptr<TUSBPortFT> ft_;
    std::atomic<int> count_{0};
    std::atomic<int> slots_{0};
    // By converter number, every converter listed since the port was made; kept across
    // closing and reopening, so that a converter's number is its own for the whole run.
    std::vector<std::string> identities_;
    ForeignBytes foreign_;
};

}  // namespace kv
