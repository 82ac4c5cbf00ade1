#pragma once

#include "bus/ConverterBackend.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QSocketNotifier;

namespace kv {

class TUSBPort;
class RxFrameBuffer;

// Bytes 0 to 5 of a bus frame: code, four data bytes, address. The check byte is added on
// sending and dropped after it was verified on receiving.
using BusFrame = std::array<uint8_t, 6>;

// Exchange results.
enum : int {
    BusOk = 0,
    BusPortError = -1,      // port not open, nothing written, or the device refused
    BusTransferError = -2,  // short write, bad echo, short or corrupt answer
    BusNoAnswer = -3,       // no answer code within the answer time-out
    // Send only: every byte went to the converter, but the echo that proves it reached the
    // line was not back in time (the receive path lags on a busy machine, or the line is
    // dead). The frame was not held back and is not sent again; callers that must know it
    // left treat it as sent but unconfirmed. A request in this case waits for its answer as
    // usual, and the answer settles it.
    BusEchoLate = -4,
};

// Address translation on the wire: byte 5 of every outgoing frame goes through OutAddressTable
// before the check byte is computed, byte 5 of every incoming frame through InAddressTable after
// its check byte was verified. Both hold the identity unless someone maps addresses; fill them
// before the port is opened (the worker reads InAddressTable).
extern std::array<uint8_t, 256> OutAddressTable;
extern std::array<uint8_t, 256> InAddressTable;

// This console's ID among the consoles on the bus (1..255). Drawn by InitBusGlobals().
extern uint8_t OwnConsoleId;

// Start-up of the protocol globals: seeds the random generator, draws OwnConsoleId from 1..255
// and fills both address tables with the identity.
void InitBusGlobals();
// InitBusGlobals() unless it already ran in this process: every program that brings up a
// console calls it, and an ID set on purpose afterwards (a test's) stays.
void EnsureBusGlobals();

// The frame link over the converters: request/answer exchanges made by the GUI thread and one
// worker thread that collects unsolicited frames, watches the converters and reopens them.
//
// Notifications run on the thread that constructed the object (the GUI thread). The worker hands
// each one over and waits until it ran. They run whenever that thread processes its Qt events;
// a thread without a running event loop (a headless tool, a test) must pump
// QCoreApplication::processEvents() or call DispatchPending() for unsolicited frames and port
// events to be delivered. The worker holds no lock while it waits, so handlers may make
// exchanges of their own.
class TPort {
public:
    using FrameHandler = std::function<void(const BusFrame& frame)>;
    using FrameFromHandler = std::function<void(const BusFrame& frame, int converterIndex)>;
    using LinkHandler = std::function<void()>;

    static constexpr int kRxBufferSize = 65536;
    static constexpr int kMaxFrames = 128;
    static constexpr int kDefaultAnswerTimeoutMs = 70;
    static constexpr int kReopenIntervalMs = 100;
    static constexpr int kWorkerSleepMs = 3;
    // A frame heard on a second converter within this time of the same frame on another is one
    // frame heard twice (a broadcast sent through every converter of a console whose segments
    // this console also hears): it is handed over once. Covers the sender's echo wait between
    // its converters (up to 50 ms each) with room to spare.
    static constexpr uint32_t kDuplicateWindowMs = 120;

    TPort(int maxConverters, std::shared_ptr<ConverterBackend> backend);
    virtual ~TPort();
    TPort(const TPort&) = delete;
    TPort& operator=(const TPort&) = delete;

    // One frame, no answer. 0, -1 (port not open), -2 (write failed, garbled echo) or -4
    // (written, echo late).
    int Send(const BusFrame& request, int converterIndex);
    // One frame and its answer, whose byte 0 is expectedCode. relayId != -1 repeats: send, wait,
    // send, wait, wait. On success the answer's six bytes are copied to answer (untouched
    // otherwise).
    int Request(const BusFrame& request, uint8_t expectedCode, int relayId, int converterIndex,
                BusFrame& answer);
    // As Request without repetition, sent through all converters; converterIndex becomes the
    // converter that answered (-1 when none did).
    int Probe(const BusFrame& request, uint8_t expectedCode, int& converterIndex, BusFrame& answer);

    // Opens the converters when not yet open and starts the worker (also when opening failed:
    // the worker then reports the loss and keeps reopening). Returns the result of the opening.
    bool OpenPort();
    void ClosePort();
    // Closes and reopens all converters under the exchange lock (the operator's search).
    bool ReopenPort();
    bool IsOpen() const;
    int ConverterCount() const;

    int AnswerTimeout() const { return answerTimeout_.load(); }
    void SetAnswerTimeout(int ms) { answerTimeout_.store(ms); }
    // While false the worker leaves the converters alone (it does not read them).
    bool Listening() const { return listening_.load(); }
    void SetListening(bool on) { listening_.store(on); }

    // Runs a notification the worker is waiting to hand over, on the calling thread. Returns
    // true when one ran. For threads that do not run a Qt event loop.
    bool DispatchPending();

    // Bytes the receive buffer could not take (it was full); they are lost.
    uint64_t DroppedBytes() const { return droppedBytes_.load(); }

    // Notifications; an empty one is not called. Set them before OpenPort().
    FrameHandler OnReceive;  // every valid frame received, answer or unsolicited
    FrameHandler OnSend;     // every frame sent, before address translation
    FrameFromHandler OnFrame;
    LinkHandler OnPortLost;
    LinkHandler OnPortRestored;

protected:
    // Reads up to count raw bytes under the exchange lock (one read of the converter, or of any
    // converter when converterIndex is -1). Used for the trailer after an identification answer.
    int ReadRawLocked(uint8_t* buffer, int count, int converterIndex);

private:
    struct Dispatch;

    int WriteFrame(const BusFrame& request, int converterIndex);
    // Holds the exchange lock for a frame to be written; while a writer waits for it, the
    // frame in front of it waits for its echo no longer than its wire time.
    class LineLock;
    int AwaitAnswer(uint8_t expectedCode, int& converterIndex, bool readAny, BusFrame& answer);
    void AppendForeign(const uint8_t* bytes, int count, int converterIndex);
    // The receive buffer of a converter (-1: bytes of no known converter); bufferLock_ held.
    RxFrameBuffer& RxOf(int converterIndex);
    int RxSpace(int converterIndex);
    // Drops the second hearing of a frame another converter already delivered. Worker only.
    bool HeardBefore(const BusFrame& frame, int converterIndex, uint32_t tick);
    void WorkerLoop();
    bool PollOnce();  // false when the port counts as lost
    // Moves the bytes waiting in one converter (-1: all) to the unsolicited parser. Exchange
    // lock held; false when the converters cannot be read.
    bool TakeWaiting(int converterIndex);
    void ParseAndDispatch();
    // Hands a job to the constructing thread and waits until it ran or the worker is stopped.
    void RunOnOwnerThread(std::function<void()> job);
    void StopWorker();

    std::shared_ptr<ConverterBackend> backend_;
    std::unique_ptr<TUSBPort> port_;

    // Lock order: exchangeLock_ before bufferLock_. Recursive because a handler called inside
    // an exchange (OnSend, OnReceive) may start an exchange of its own.
    mutable std::recursive_mutex exchangeLock_;
    std::mutex bufferLock_;
    // One receive buffer per converter, the last for bytes of no known converter; made on
    // first use. Guarded by bufferLock_.
    std::vector<std::unique_ptr<RxFrameBuffer>> rx_;
    struct Heard {
        BusFrame frame{};
        int converter = -1;
        uint32_t tick = 0;
    };
    std::vector<Heard> recent_;  // frames handed over lately, worker only

    std::atomic<bool> listening_{true};
    std::atomic<int> answerTimeout_{kDefaultAnswerTimeoutMs};
    std::atomic<int> writersWaiting_{0};
    std::atomic<uint64_t> droppedBytes_{0};

    std::thread worker_;
    std::atomic<bool> stopping_{false};

    // The worker wakes the constructing thread through an event counter the thread's event
    // loop watches; the hand-over itself stays behind the dispatch mutex.
    int wakeFd_ = -1;
    std::unique_ptr<QSocketNotifier> wake_;  // lives in the constructing thread
    std::shared_ptr<Dispatch> dispatch_;
};

}  // namespace kv
