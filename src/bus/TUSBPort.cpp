#include "bus/TUSBPort.h"

#include "bus/Crc8.h"
#include "bus/TUSBPortFT.h"
#include "core/Clock.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <vector>

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
    ft_->Devices().Arrange(identities_);
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
    const int slots = ft_->Devices().Count();
    const int count = ft_->Devices().PresentCount();
    // A listed converter that did not open (busy, no permission yet after a replug, a chip
    // still being set up) would answer every exchange with an error while the link looked
    // fine: the port counts as open only when every listed converter opened, and the worker
    // keeps reopening until they do.
    bool allOpened = true;
    for (int k = 0; k < slots; ++k) {
        const ConverterInfo& c = ft_->Devices().Item(k);
        allOpened = allOpened && (!c.present || c.handle != kNoConverterHandle);
    }
    if (count == 0 || !allOpened) {
        ft_->CloseAll();
        ft_.reset();
        connected.store(false);
        count_.store(0);
        slots_.store(0);
        return false;
    }
    count_.store(count);
    slots_.store(slots);
    connected.store(true);
    return true;
}

void TUSBPort::Close() {
    // A reopened converter starts with an empty receive queue: nothing owed comes back.
    owed_.clear();
    // The converters are closed whenever a list exists, also after a failed open of a single
    // one, so that no handle outlives the port.
    if (ft_) {
        ft_->CloseAll();
        ft_.reset();
    }
    connected.store(false);
    count_.store(0);
    slots_.store(0);
}

bool TUSBPort::Present(int converterIndex) const {
    return ft_ && converterIndex >= 0 && converterIndex < ft_->Devices().Count() &&
           ft_->Devices().Item(converterIndex).present;
}

bool TUSBPort::OpenReturned() {
    if (!connected.load() || !ft_ || ft_->Devices().PresentCount() == ft_->Devices().Count()) {
        return false;
    }
    const std::vector<ConverterInfo> found = ft_->Devices().Scan();
    bool opened = false;
    for (int k = 0; k < ft_->Devices().Count(); ++k) {
        if (ft_->Devices().Item(k).present) {
            continue;
        }
        // Only a converter that is one of a kind now: of two alike, which is the one still
        // open is not known here (a search reopens them all).
        const std::string& id = identities_.at(static_cast<std::size_t>(k));
        const auto alike = std::count_if(
            found.begin(), found.end(), [&](const ConverterInfo& c) { return c.Identity() == id; });
        const auto same = std::count(identities_.begin(), identities_.end(), id);
        if (alike != 1 || same != 1) {
            continue;
        }
        const auto it = std::find_if(found.begin(), found.end(),
                                     [&](const ConverterInfo& c) { return c.Identity() == id; });
        opened = ft_->OpenReturned(k, *it) || opened;
    }
    count_.store(ft_->Devices().PresentCount());
    return opened;
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
        return ReadFiltered(converterIndex, buffer, count);
    }
    for (int k = 0; k < ft_->Devices().Count(); ++k) {
        const int got = ReadFiltered(k, buffer, count);
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
        const int got = ReadFiltered(k, buffer, count);
        if (got != 0) {
            if (got > 0) {
                converterIndex = k;
            }
            return got;
        }
    }
    return 0;
}

namespace {
// Length of the longest end of `seen` that is a beginning of `frame` (whole frame included).
int matchedTail(const std::vector<uint8_t>& seen, const uint8_t* frame, int count) {
    const int n = static_cast<int>(seen.size());
    for (int m = std::min(n, count); m > 0; --m) {
        if (std::equal(frame, frame + m, seen.end() - m)) {
            return m;
        }
    }
    return 0;
}
}  // namespace

void TUSBPort::HandOver(const uint8_t* bytes, int count, int converterIndex) {
    if (count > 0 && foreign_) {
        foreign_(bytes, count, converterIndex);
    }
}

std::deque<TUSBPort::OwedEcho>& TUSBPort::OwedOf(int converterIndex) {
    const auto k = static_cast<std::size_t>(converterIndex);
    if (owed_.size() <= k) {
        owed_.resize(k + 1);
    }
    return owed_[k];
}

int TUSBPort::OwedEchoes(int converterIndex) const {
    const auto k = static_cast<std::size_t>(converterIndex);
    return converterIndex >= 0 && k < owed_.size() ? static_cast<int>(owed_[k].size()) : 0;
}

void TUSBPort::ExpireOwed(int converterIndex) {
    auto& owed = OwedOf(converterIndex);
    while (!owed.empty() &&
           (ElapsedSince(owed.front().written) > kEchoOwedMs || owed.size() > kMaxOwedEchoes)) {
        owed.pop_front();
    }
}

int TUSBPort::StripOwed(int converterIndex, uint8_t* buffer, int count) {
    if (converterIndex < 0 || count <= 0) {
        return count;
    }
    ExpireOwed(converterIndex);
    auto& owed = OwedOf(converterIndex);
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        const uint8_t b = buffer[i];
        bool taken = false;
        while (!owed.empty()) {
            OwedEcho& e = owed.front();
            if (b == e.bytes[static_cast<std::size_t>(e.matched)]) {
                taken = true;
                if (++e.matched == static_cast<int>(e.bytes.size())) {
                    owed.pop_front();
                    lateEchoesReturned_.fetch_add(1);
                }
                break;
            }
            if (e.matched == 0) {
                break;  // another station's byte ahead of our echo
            }
            // The echo broke off: what looked like its start goes to the scanner, and this
            // byte is tried against the next echo owed.
            HandOver(e.bytes.data(), e.matched, converterIndex);
            owed.pop_front();
        }
        if (!taken) {
            buffer[kept++] = b;
        }
    }
    return kept;
}

int TUSBPort::ReadFiltered(int converterIndex, uint8_t* buffer, int count) {
    const int got = ft_->ReadFrom(converterIndex, buffer, count);
    return got > 0 ? StripOwed(converterIndex, buffer, got) : got;
}

int TUSBPort::WriteOne(const uint8_t* buffer, int count, int converterIndex) {
    // What is waiting now came before our frame: it is another station's, not our echo (or
    // the late echo of our previous frame, which is taken out).
    {
        int waiting = 0;
        if (ft_->QueueStatusOf(converterIndex, waiting) == ConvOk && waiting > 0) {
            std::vector<uint8_t> before(static_cast<std::size_t>(waiting));
            const int got = ReadFiltered(converterIndex, before.data(), waiting);
            HandOver(before.data(), got, converterIndex);
        }
    }
    ExpireOwed(converterIndex);
    // The previous frame's echo is still owed: its bytes may still be queued for the line, so
    // the transmit queue is not purged, and this frame follows once that one's wire time is
    // over (from its write, not from an echo that may come much later).
    const auto& owed = OwedOf(converterIndex);
    const bool previousOwed = !owed.empty();
    if (previousOwed) {
        const OwedEcho& last = owed.back();
        const uint32_t clear = WireTimeMs(static_cast<int>(last.bytes.size())) + kPreWriteWaitMs;
        const uint32_t since = ElapsedSince(last.written);
        if (since < clear) {
            SleepMs(clear - since);
        }
    }
    const uint32_t start = TickCount();
    const int written = ft_->WriteTo(converterIndex, buffer, count, !previousOwed);
    if (written != count) {
        return -2;
    }
    // The echo is the whole frame, found in the received stream: another console may have
    // been on the line a moment before us, and a collision may garble any byte. Each read asks
    // only for what is waiting and could complete the frame, so the answer behind the echo
    // stays unread and the wait can end as soon as another frame is due.
    const uint32_t wire = WireTimeMs(count) + kEchoGraceMs;
    std::vector<uint8_t> seen;
    seen.reserve(kEchoBufferSize);
    int matched = 0;
    while (matched < count) {
        const uint32_t elapsed = ElapsedSince(start);
        if (elapsed >= kEchoWaitMs || (elapsed > wire && lineWanted_ && lineWanted_())) {
            break;
        }
        int waiting = 0;
        if (ft_->QueueStatusOf(converterIndex, waiting) != ConvOk) {
            break;
        }
        if (waiting <= 0) {
            SleepMs(1);
            continue;
        }
        std::array<uint8_t, kEchoBufferSize> chunk{};
        const int n =
            ReadFiltered(converterIndex, chunk.data(), std::min(waiting, count - matched));
        if (n <= 0) {
            continue;
        }
        seen.insert(seen.end(), chunk.begin(), chunk.begin() + n);
        matched = matchedTail(seen, buffer, count);
        // Bytes that can no longer be part of the echo go to the scanner as they come, so a
        // long foreign burst never grows the buffer.
        const int settled = static_cast<int>(seen.size()) - matched;
        if (settled >= kEchoBufferSize) {
            HandOver(seen.data(), settled, converterIndex);
            seen.erase(seen.begin(), seen.begin() + settled);
        }
    }
    if (matched == count) {
        HandOver(seen.data(), static_cast<int>(seen.size()) - count, converterIndex);
        return count;
    }
    // What came back so far ends in the start of our echo, or nothing came: the bytes are
    // out and the echo is late. Anything else in the stream is garbled or foreign; a stream
    // that ended in garbled bytes is a collision, a failed write.
    const int before = static_cast<int>(seen.size()) - matched;
    const bool foreignFrame = before >= 7 && Crc8(seen.data() + before - 7, 6) ==
                                                 seen[static_cast<std::size_t>(before - 1)];
    const bool garbled = before > 0 && matched == 0 && !foreignFrame;
    HandOver(seen.data(), before, converterIndex);
    if (garbled) {
        return -2;
    }
    OwedEcho e;
    e.bytes.assign(buffer, buffer + count);
    e.matched = matched;
    e.written = start;
    OwedOf(converterIndex).push_back(std::move(e));
    return kEchoLate;
}

int TUSBPort::WriteChecked(const uint8_t* buffer, int count, int converterIndex) {
    if (!connected.load() || !ft_) {
        return -1;
    }
    // The echo must fit its buffer; frames are 7 bytes, so a longer write is a caller's fault.
    if (count <= 0 || count > kEchoBufferSize) {
        return -2;
    }
    if (converterIndex != -1) {
        if (converterIndex < 0 || converterIndex >= ft_->Devices().Count()) {
            return -2;
        }
        // The converter of this device is gone: nothing goes out, least of all on another
        // converter's wire.
        if (!ft_->Devices().Item(converterIndex).present) {
            return -1;
        }
        SleepMs(kPreWriteWaitMs);
        return WriteOne(buffer, count, converterIndex);
    }
    SleepMs(kPreWriteWaitMs);
    int result = -2;
    for (int k = 0; k < ft_->Devices().Count(); ++k) {
        if (ft_->Devices().Item(k).present) {
            result = WriteOne(buffer, count, k);
        }
    }
    return result;
}

}  // namespace kv
