#pragma once

#include "bus/ConverterBackend.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kv {

// Converters in memory, for tests of everything above the converter interface. Each converter
// echoes what is written to it (as the RS485 line does), answers writes from a queue of scripted
// replies or a responder function, takes injected unsolicited bytes, and can be unplugged and
// plugged back. Bytes carry their arrival time on the kv clock, so a FakeClock makes delays and
// read time-outs cost no wall time.
//
// All calls are thread-safe; the responder runs without the converter's lock held.
class ScriptedConverter : public ConverterBackend {
public:
    // What a converter gives back of its own writes.
    enum class EchoMode {
        Full,            // every byte, at once
        None,            // nothing: the line is dead or the transceiver is off
        Short,           // all but the last byte
        WrongFirstByte,  // all bytes, the first one altered (a collision on the line)
        WrongLastByte,   // all bytes, the check byte altered (a collision late in the frame)
    };

    // Bytes arriving on a converter delayMs after the write they answer.
    struct Reply {
        std::vector<uint8_t> bytes;
        uint32_t delayMs = 0;
    };
    using Responder =
        std::function<std::vector<Reply>(int converter, const std::vector<uint8_t>& written)>;

    struct Written {
        int converter = -1;
        std::vector<uint8_t> bytes;
        uint32_t tick = 0;
    };

    explicit ScriptedConverter(int converters = 1);

    // Seven bytes on the wire: the six given and their check byte.
    static std::vector<uint8_t> Frame(uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4,
                                      uint8_t address);

    // --- The converters present ---
    // Slots beyond the old count are added plugged in with default strings.
    void SetConverterCount(int count);
    void SetInfo(int converter, std::string serial, std::string description);
    // The serial number (and so the converter) cannot be read while listing.
    void SetInfoFails(int converter, bool fails);
    void SetOpenFails(int converter, bool fails);
    // Every open takes this long of wall time (a USB chip being configured), lock not held.
    void SetOpenDelayMs(uint32_t ms);
    void SetListFails(bool fails);
    void SetEcho(int converter, EchoMode mode);
    // The echo arrives this long after the write (the receive path held up on a busy machine)
    // while the bytes went out at once.
    void SetEchoDelay(int converter, uint32_t ms);
    // Bytes another station put on the line just before the next write's echo (they arrive
    // after the write started, so they are no stale bytes a purge could have taken).
    void QueueBeforeEcho(int converter, std::vector<uint8_t> bytes);
    // A write puts no byte out (written 0).
    void SetWriteFails(int converter, bool fails);
    // Gone from the list; its open handle fails every call from now on. -1: all converters.
    void Unplug(int converter);
    // Listed again; it must be opened anew.
    void Replug(int converter);

    // --- Traffic ---
    // The next write on the converter (-1: on any converter) gets this reply. Queued replies
    // are used in order, before the responder is asked.
    void QueueAnswer(std::vector<uint8_t> bytes, uint32_t delayMs = 0, int converter = -1);
    // The next write on the converter gets no reply (keeps its place among queued replies).
    void QueueSilence(int converter = -1);
    void SetResponder(Responder responder);
    // Bytes arriving on their own, delayMs from now.
    void Inject(int converter, std::vector<uint8_t> bytes, uint32_t delayMs = 0);

    // --- What happened ---
    std::vector<Written> Writes() const;
    int WriteCount() const;
    void ClearWrites();
    // Arrived on the converter and not yet read.
    int PendingBytes(int converter) const;
    // Every interface call in order, as "Name slot args", for checks of call sequences.
    std::vector<std::string> Calls() const;
    void ClearCalls();
    bool Dtr(int converter) const;
    bool Rts(int converter) const;
    bool IsOpen(int converter) const;
    uint32_t ReadTimeoutOf(int converter) const;

    // --- ConverterBackend ---
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
    struct Timed {
        uint32_t at;
        uint8_t byte;
    };
    struct Slot {
        bool present = true;
        bool infoFails = false;
        bool openFails = false;
        bool writeFails = false;
        EchoMode echo = EchoMode::Full;
        uint32_t echoDelayMs = 0;
        std::string serial;
        std::string description;
        ConverterHandle handle = kNoConverterHandle;
        uint32_t readTimeout = 0;
        bool dtr = false;
        bool rts = true;
        std::deque<Timed> rx;  // in arrival order
        std::vector<uint8_t> beforeEcho;
    };
    struct Queued {
        int converter;
        bool silent;
        Reply reply;
    };

    // The slot of an open, plugged-in handle; -1 otherwise. Caller holds mutex_.
    int slotOf(ConverterHandle handle) const;
    // The slot listed at a position of the device list; -1 when there is none.
    int listedSlot(uint32_t index) const;
    void deliver(Slot& slot, const std::vector<uint8_t>& bytes, uint32_t at);
    int arrived(const Slot& slot, uint32_t now) const;
    void log(std::string entry);

    mutable std::mutex mutex_;
    std::vector<Slot> slots_;
    std::map<ConverterHandle, int> handles_;
    ConverterHandle nextHandle_ = 1;
    bool listFails_ = false;
    std::atomic<uint32_t> openDelayMs_{0};
    std::deque<Queued> queue_;
    Responder responder_;
    std::vector<Written> writes_;
    std::vector<std::string> calls_;
};

}  // namespace kv
