#include "bus/TPort.h"

#include "bus/Crc8.h"
#include "bus/RxFrameBuffer.h"
#include "bus/TUSBPort.h"
#include "core/Clock.h"
#include "core/ThreadPriority.h"

#include <sys/eventfd.h>
#include <unistd.h>
#include <QSocketNotifier>

#include <algorithm>
#include <array>
#include <chrono>
#include <random>
#include <vector>

namespace kv {

std::array<uint8_t, 256> OutAddressTable = [] {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        t[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
    }
    return t;
}();
std::array<uint8_t, 256> InAddressTable = OutAddressTable;
uint8_t OwnConsoleId = 1;

namespace {
std::atomic<bool> busGlobalsDrawn{false};
}  // namespace

void EnsureBusGlobals() {
    if (!busGlobalsDrawn.load()) {
        InitBusGlobals();
    }
}

void InitBusGlobals() {
    busGlobalsDrawn.store(true);
    std::random_device seed;
    std::mt19937 gen(seed() ^ static_cast<unsigned>(
                                  std::chrono::steady_clock::now().time_since_epoch().count()));
    OwnConsoleId = static_cast<uint8_t>(std::uniform_int_distribution<int>(1, 255)(gen));
    for (int i = 0; i < 256; ++i) {
        OutAddressTable[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
        InAddressTable[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
    }
}

// One hand-over from the worker to the owner thread at a time.
struct TPort::Dispatch {
    std::mutex mutex;
    std::condition_variable cv;
    std::function<void()> job;
    bool pending = false;
    bool done = false;
};

TPort::TPort(int maxConverters, std::shared_ptr<ConverterBackend> backend)
    : backend_(std::move(backend)),
      port_(std::make_unique<TUSBPort>(maxConverters, backend_)),
      rx_(static_cast<std::size_t>(std::max(maxConverters, 0)) + 1),
      wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      dispatch_(std::make_shared<Dispatch>()) {
    port_->SetForeignSink([this](const uint8_t* bytes, int count, int converterIndex) {
        AppendForeign(bytes, count, converterIndex);
    });
    port_->SetLineWanted([this] { return writersWaiting_.load() > 0; });
    if (wakeFd_ >= 0) {
        wake_ = std::make_unique<QSocketNotifier>(wakeFd_, QSocketNotifier::Read);
        QObject::connect(wake_.get(), &QSocketNotifier::activated, [this] {
            uint64_t count = 0;
            (void)!::read(wakeFd_, &count, sizeof count);
            DispatchPending();
        });
    }
}

TPort::~TPort() {
    StopWorker();
    {
        std::lock_guard lock(exchangeLock_);
        port_->Close();
    }
    // Drops a wake-up still pending for the owner thread.
    wake_.reset();
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
    }
}

void TPort::StopWorker() {
    stopping_.store(true);
    { std::lock_guard lock(dispatch_->mutex); }
    dispatch_->cv.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

bool TPort::OpenPort() {
    bool opened = false;
    {
        std::lock_guard lock(exchangeLock_);
        opened = port_->Connected() || port_->Open(0);
    }
    if (!worker_.joinable() && !stopping_.load()) {
        worker_ = std::thread([this] { WorkerLoop(); });
    }
    return opened;
}

void TPort::ClosePort() {
    std::lock_guard lock(exchangeLock_);
    if (port_->Connected()) {
        port_->Close();
    }
}

bool TPort::ReopenPort() {
    std::lock_guard lock(exchangeLock_);
    return port_->Reopen();
}

bool TPort::IsOpen() const {
    return port_->Connected();
}

int TPort::ConverterCount() const {
    return port_->ConverterCount();
}

int TPort::WriteFrame(const BusFrame& request, int converterIndex) {
    std::array<uint8_t, 7> frame{};
    std::copy(request.begin(), request.end(), frame.begin());
    frame[5] = OutAddressTable[frame[5]];
    frame[6] = Crc8(frame.data(), 6);
    // A write purges the converter's receive queue: what came in since the worker last looked
    // (another console's reply, a module's announcement) goes to the unsolicited frames first.
    // Through all converters one after the other, each converter's waiting bytes taken right
    // before its own write: they cannot be an answer to this frame yet, while the converters
    // already written to may hold one and are left alone.
    int n = -1;
    if (converterIndex == -1 && port_->ConverterCount() > 0) {
        for (int k = 0; k < port_->SlotCount(); ++k) {
            if (!port_->Present(k)) {
                continue;  // gone: its number stays its own, nothing to write to
            }
            TakeWaiting(k);
            n = port_->WriteChecked(frame.data(), 7, k);
        }
    } else {
        TakeWaiting(converterIndex);
        n = port_->WriteChecked(frame.data(), 7, converterIndex);
    }
    if (OnSend) {
        OnSend(request);
    }
    return n;
}

namespace {
// A write that did not put the whole frame out. 0 bytes is "nothing written", never success.
int writeFailure(int n) {
    return n > 0 ? BusTransferError : (n == 0 ? BusPortError : n);
}
}  // namespace

class TPort::LineLock {
public:
    explicit LineLock(TPort& port) : lock_(port.exchangeLock_, std::defer_lock) {
        port.writersWaiting_.fetch_add(1);
        lock_.lock();
        port.writersWaiting_.fetch_sub(1);
    }

private:
    std::unique_lock<std::recursive_mutex> lock_;
};

int TPort::Send(const BusFrame& request, int converterIndex) {
    LineLock lock(*this);
    const int n = WriteFrame(request, converterIndex);
    if (n == 7) {
        return BusOk;
    }
    return n == TUSBPort::kEchoLate ? BusEchoLate : writeFailure(n);
}

RxFrameBuffer& TPort::RxOf(int converterIndex) {
    const std::size_t unknown = rx_.size() - 1;
    const std::size_t k = converterIndex >= 0 && static_cast<std::size_t>(converterIndex) < unknown
                              ? static_cast<std::size_t>(converterIndex)
                              : unknown;
    if (!rx_[k]) {
        rx_[k] = std::make_unique<RxFrameBuffer>();
    }
    return *rx_[k];
}

int TPort::RxSpace(int converterIndex) {
    std::lock_guard lock(bufferLock_);
    return RxOf(converterIndex).Space();
}

void TPort::AppendForeign(const uint8_t* bytes, int count, int converterIndex) {
    std::lock_guard lock(bufferLock_);
    const int taken = RxOf(converterIndex).Append(bytes, count, converterIndex, TickCount());
    if (taken < count) {
        droppedBytes_.fetch_add(static_cast<uint64_t>(count - taken));
    }
}

int TPort::AwaitAnswer(uint8_t expectedCode, int& converterIndex, bool restFromDeliverer,
                       BusFrame& answer) {
    const uint32_t t0 = TickCount();
    const auto timeout = static_cast<uint32_t>(answerTimeout_.load());
    const int asked = converterIndex;
    std::array<uint8_t, 7> frame{};
    bool seen = false;
    for (;;) {
        uint8_t b = 0;
        int from = asked;
        const int got = asked == -1 ? port_->ReadAny(&b, 1, from) : port_->Read(&b, 1, asked);
        if (got < 0) {
            return BusPortError;  // the port was closed under us
        }
        if (got == 1) {
            if (b == expectedCode) {
                seen = true;
                converterIndex = from;
                break;
            }
            // Not ours: the worker parses it as unsolicited traffic.
            AppendForeign(&b, 1, from);
        }
        if (ElapsedSince(t0) > timeout) {
            break;
        }
    }
    if (!seen) {
        return BusNoAnswer;
    }
    frame[0] = expectedCode;
    int have = 1;
    const int restIndex = restFromDeliverer ? converterIndex : asked;
    do {
        const int got = port_->Read(frame.data() + have, 7 - have, restIndex);
        if (got < 0) {
            break;
        }
        have += got;
    } while (have < 7 && ElapsedSince(t0) <= timeout);
    if (have < 7 || Crc8(frame.data(), 6) != frame[6]) {
        return BusTransferError;
    }
    frame[5] = InAddressTable[frame[5]];
    std::copy_n(frame.begin(), 6, answer.begin());
    if (OnReceive) {
        OnReceive(answer);
    }
    return BusOk;
}

int TPort::Request(const BusFrame& request, uint8_t expectedCode, int relayId, int converterIndex,
                   BusFrame& answer) {
    LineLock lock(*this);
    const int n = WriteFrame(request, converterIndex);
    // A late echo is no failure yet: the answer, which comes behind it, tells.
    if (n != 7 && n != TUSBPort::kEchoLate) {
        return writeFailure(n);
    }
    int result = BusNoAnswer;
    int attempts = 3;
    for (;;) {
        int from = converterIndex;
        result = AwaitAnswer(expectedCode, from, false, answer);
        // Without a relay tag: one transmission, one window. With one: send, wait, send, wait,
        // wait (the relay may forward the first copy late).
        if (result == BusOk || relayId == -1) {
            break;
        }
        --attempts;
        if (attempts > 1) {
            WriteFrame(request, converterIndex);
        }
        if (attempts == 0) {
            break;
        }
    }
    return result;
}

int TPort::Probe(const BusFrame& request, uint8_t expectedCode, int& converterIndex,
                 BusFrame& answer) {
    LineLock lock(*this);
    converterIndex = -1;
    const int n = WriteFrame(request, -1);
    if (n != 7 && n != TUSBPort::kEchoLate) {
        return writeFailure(n);
    }
    int from = -1;
    const int result = AwaitAnswer(expectedCode, from, true, answer);
    converterIndex = from;
    return result;
}

int TPort::ReadRawLocked(uint8_t* buffer, int count, int converterIndex) {
    std::lock_guard lock(exchangeLock_);
    int have = 0;
    while (have < count) {
        int from = -1;
        const int got = converterIndex == -1
                            ? port_->ReadAny(buffer + have, count - have, from)
                            : port_->Read(buffer + have, count - have, converterIndex);
        if (got <= 0) {
            break;
        }
        have += got;
    }
    return have;
}

bool TPort::PollOnce() {
    // The open state is read under the lock only: a search reopens the converters under it,
    // and a port seen closed in the middle of that reopen is no lost port.
    std::lock_guard lock(exchangeLock_);
    if (!port_->Connected()) {
        return false;
    }
    // An identification clears the flag and then owns the line between its exchanges (the
    // trailing relay bytes must not be taken here).
    if (!listening_.load()) {
        return true;
    }
    return TakeWaiting(-1) && port_->Connected();
}

bool TPort::TakeWaiting(int converterIndex) {
    // The total first: a converter that cannot be asked means the port is lost.
    if (port_->BytesWaiting() < 0) {
        return false;
    }
    // Each converter is read for no more than it holds, so no read waits for bytes that sit in
    // another converter (a read that comes up short waits out the line's read time-out).
    const int first = converterIndex == -1 ? 0 : converterIndex;
    const int last = converterIndex == -1 ? port_->SlotCount() - 1 : converterIndex;
    std::vector<uint8_t> bytes;
    for (int k = first; k <= last; ++k) {
        const int waiting = port_->BytesWaitingOn(k);
        if (waiting <= 0) {
            continue;
        }
        // Bytes the buffer cannot take stay in the converter for a later cycle.
        const int want = std::min(waiting, RxSpace(k));
        if (want <= 0) {
            return true;
        }
        bytes.resize(static_cast<std::size_t>(want));
        const int got = port_->Read(bytes.data(), want, k);
        if (got > 0) {
            // exchangeLock_ is held, so the order is the same as an exchange's.
            AppendForeign(bytes.data(), got, k);
        }
    }
    return true;
}

void TPort::ParseAndDispatch() {
    std::vector<RxFrameBuffer::Entry> frames;
    {
        std::lock_guard lock(bufferLock_);
        std::array<RxFrameBuffer::Entry, kMaxFrames> found{};
        for (auto& rx : rx_) {
            const int room = kMaxFrames - static_cast<int>(frames.size());
            if (!rx || rx->Length() < RxFrameBuffer::kFrameBytes || room <= 0) {
                continue;
            }
            const int n = rx->Parse(found.data(), room, InAddressTable);
            frames.insert(frames.end(), found.begin(), found.begin() + n);
        }
    }
    if (frames.empty()) {
        return;
    }
    // In the order they arrived across the converters (ticks wrap, so by their difference).
    std::stable_sort(frames.begin(), frames.end(),
                     [](const RxFrameBuffer::Entry& a, const RxFrameBuffer::Entry& b) {
                         return static_cast<int32_t>(a.tick - b.tick) < 0;
                     });
    std::erase_if(frames, [this](const RxFrameBuffer::Entry& e) {
        return HeardBefore(e.frame, e.converter, e.tick);
    });
    if (frames.empty()) {
        return;
    }
    RunOnOwnerThread([this, frames = std::move(frames)] {
        for (const auto& e : frames) {
            if (OnReceive) {
                OnReceive(e.frame);
            }
            if (OnFrame) {
                OnFrame(e.frame, e.converter);
            }
        }
    });
}

bool TPort::HeardBefore(const BusFrame& frame, int converterIndex, uint32_t tick) {
    std::erase_if(recent_, [tick](const Heard& h) {
        return static_cast<int32_t>(tick - h.tick) > static_cast<int32_t>(kDuplicateWindowMs);
    });
    for (Heard& h : recent_) {
        if (h.frame != frame) {
            continue;
        }
        if (h.converter != converterIndex) {
            return true;
        }
        // The same frame again on the same converter is a new frame (a repeat, the next
        // poll): it is handed over and starts its own window.
        h.tick = tick;
        return false;
    }
    recent_.push_back(Heard{frame, converterIndex, tick});
    return false;
}

void TPort::RunOnOwnerThread(std::function<void()> job) {
    Dispatch& d = *dispatch_;
    {
        std::lock_guard lock(d.mutex);
        d.job = std::move(job);
        d.pending = true;
        d.done = false;
    }
    if (wakeFd_ >= 0) {
        const uint64_t one = 1;
        (void)!::write(wakeFd_, &one, sizeof one);
    }
    std::unique_lock lock(d.mutex);
    d.cv.wait(lock, [&] { return d.done || stopping_.load(); });
    if (!d.done) {
        // Shutting down: the job will not run.
        d.pending = false;
        d.job = nullptr;
    }
}

bool TPort::DispatchPending() {
    Dispatch& d = *dispatch_;
    std::function<void()> job;
    {
        std::lock_guard lock(d.mutex);
        if (!d.pending) {
            return false;
        }
        job = std::move(d.job);
        d.job = nullptr;
        d.pending = false;
    }
    job();
    {
        std::lock_guard lock(d.mutex);
        d.done = true;
    }
    d.cv.notify_all();
    return true;
}

void TPort::WorkerLoop() {
    // Unsolicited frames pass through here (another console's stop, an external start): the
    // worker is on the firing path.
    RequestFiringPriority("kv-bus-worker");
    uint32_t lastReturnCheck = TickCount();
    while (!stopping_.load()) {
        if (!PollOnce()) {
            RunOnOwnerThread([this] {
                if (OnPortLost) {
                    OnPortLost();
                }
            });
            bool restored = false;
            while (!stopping_.load() && !restored) {
                SleepMs(kReopenIntervalMs);
                if (stopping_.load()) {
                    break;
                }
                std::lock_guard lock(exchangeLock_);
                restored = port_->Reopen();
            }
            if (restored) {
                RunOnOwnerThread([this] {
                    if (OnPortRestored) {
                        OnPortRestored();
                    }
                });
            }
            lastReturnCheck = TickCount();
            continue;
        }
        // A converter that went away while others stayed comes back at its own number.
        if (ElapsedSince(lastReturnCheck) >= static_cast<uint32_t>(kReopenIntervalMs)) {
            lastReturnCheck = TickCount();
            bool returned = false;
            {
                std::lock_guard lock(exchangeLock_);
                returned = port_->OpenReturned();
            }
            if (returned) {
                RunOnOwnerThread([this] {
                    if (OnPortRestored) {
                        OnPortRestored();
                    }
                });
            }
        }
        SleepMs(kWorkerSleepMs);
        ParseAndDispatch();
        SleepMs(kWorkerSleepMs);
    }
}

}  // namespace kv
