#pragma once

#include "bus/ConverterBackend.h"
#include "bus/TCommonPort.h"

#include <atomic>
#include <deque>
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
    // WriteChecked: every byte went to the converter, but its echo was not back when the wait
    // ended (the receive path lags: the tty layer's flush work waits for a core on a busy
    // machine). The frame is on its way; the rest of its echo is taken out of later reads.
    static constexpr int kEchoLate = -4;
    // An echo still owed this long after its write is given up: the line is dead or the bytes
    // were lost, and what comes later is no echo of ours.
    static constexpr uint32_t kEchoOwedMs = 1000;
    static constexpr std::size_t kMaxOwedEchoes = 16;
    // While another frame is due, the echo is still awaited this long past the wire time: an
    // unloaded line brings it back within a millisecond or two of its last byte, and a frame
    // whose echo is merely on its way is not reported late.
    static constexpr uint32_t kEchoGraceMs = 6;

    // Wire time of count bytes at 19200 baud, 8N1 (10 bits a byte), rounded up: a frame of 7
    // takes 4 ms.
    static constexpr uint32_t WireTimeMs(int count) {
        return (static_cast<uint32_t>(count) * 10u * 1000u + 19199u) / 19200u;
    }

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
    // Asked while an echo is awaited: true when another frame is waiting for the line (a cue is
    // due). The wait then ends as soon as this frame's wire time has passed, and the echo is
    // owed instead of awaited.
    void SetLineWanted(std::function<bool()> wanted) { lineWanted_ = std::move(wanted); }
    // Echoes not yet back on a converter, and late echoes that came back in the end.
    int OwedEchoes(int converterIndex) const;
    uint64_t LateEchoesReturned() const { return lateEchoesReturned_.load(); }

private:
    struct OwedEcho {
        std::vector<uint8_t> bytes;
        int matched = 0;
        uint32_t written = 0;  // tick of the write
    };

    int WriteOne(const uint8_t* buffer, int count, int converterIndex);
    void HandOver(const uint8_t* bytes, int count, int converterIndex);
    // Takes the owed echoes of a converter out of bytes read from it; the count left.
    int StripOwed(int converterIndex, uint8_t* buffer, int count);
    // Reads up to count bytes from a converter, owed echoes taken out.
    int ReadFiltered(int converterIndex, uint8_t* buffer, int count);
    std::deque<OwedEcho>& OwedOf(int converterIndex);
    void ExpireOwed(int converterIndex);

    int maxConverters_;
    std::shared_ptr<ConverterBackend> backend_;
    std::unique_ptr<TUSBPortFT> ft_;
    std::atomic<int> count_{0};
    std::atomic<int> slots_{0};
    // By converter number, every converter listed since the port was made; kept across
    // closing and reopening, so that a converter's number is its own for the whole run.
    std::vector<std::string> identities_;
    ForeignBytes foreign_;
    std::function<bool()> lineWanted_;
    // By converter; used under the frame layer's exchange lock like the rest of the port.
    std::vector<std::deque<OwedEcho>> owed_;
    std::atomic<uint64_t> lateEchoesReturned_{0};
};

}  // namespace kv
