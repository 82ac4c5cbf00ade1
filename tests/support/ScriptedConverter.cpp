#include "ScriptedConverter.h"

#include <chrono>
#include <thread>

#include "bus/Crc8.h"
#include "core/Clock.h"

#include <algorithm>

namespace kv {

namespace {

// Arrival times wrap with the 32-bit tick; a byte has arrived once now is not before it.
bool hasArrived(uint32_t at, uint32_t now) {
    return static_cast<int32_t>(now - at) >= 0;
}

std::string slotText(int slot) {
    return std::to_string(slot);
}

}  // namespace

ScriptedConverter::ScriptedConverter(int converters) {
    SetConverterCount(converters);
}

std::vector<uint8_t> ScriptedConverter::Frame(uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3,
                                              uint8_t d4, uint8_t address) {
    std::vector<uint8_t> f{code, d1, d2, d3, d4, address, 0};
    f[6] = Crc8(f.data(), 6);
    return f;
}

void ScriptedConverter::SetConverterCount(int count) {
    std::lock_guard lock(mutex_);
    const auto old = slots_.size();
    slots_.resize(static_cast<std::size_t>(std::max(count, 0)));
    for (std::size_t i = old; i < slots_.size(); ++i) {
        slots_[i].serial = "SC" + std::to_string(i);
        slots_[i].description = "Scripted RS485 " + std::to_string(i);
    }
}

void ScriptedConverter::SetInfo(int converter, std::string serial, std::string description) {
    std::lock_guard lock(mutex_);
    Slot& s = slots_.at(static_cast<std::size_t>(converter));
    s.serial = std::move(serial);
    s.description = std::move(description);
}

void ScriptedConverter::SetInfoFails(int converter, bool fails) {
    std::lock_guard lock(mutex_);
    slots_.at(static_cast<std::size_t>(converter)).infoFails = fails;
}

void ScriptedConverter::SetOpenFails(int converter, bool fails) {
    std::lock_guard lock(mutex_);
    slots_.at(static_cast<std::size_t>(converter)).openFails = fails;
}

void ScriptedConverter::SetListFails(bool fails) {
    std::lock_guard lock(mutex_);
    listFails_ = fails;
}

void ScriptedConverter::SetEcho(int converter, EchoMode mode) {
    std::lock_guard lock(mutex_);
    slots_.at(static_cast<std::size_t>(converter)).echo = mode;
}

void ScriptedConverter::SetEchoDelay(int converter, uint32_t ms) {
    std::lock_guard lock(mutex_);
    slots_.at(static_cast<std::size_t>(converter)).echoDelayMs = ms;
}

void ScriptedConverter::QueueBeforeEcho(int converter, std::vector<uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    auto& before = slots_.at(static_cast<std::size_t>(converter)).beforeEcho;
    before.insert(before.end(), bytes.begin(), bytes.end());
}

void ScriptedConverter::SetWriteFails(int converter, bool fails) {
    std::lock_guard lock(mutex_);
    slots_.at(static_cast<std::size_t>(converter)).writeFails = fails;
}

void ScriptedConverter::Unplug(int converter) {
    std::lock_guard lock(mutex_);
    for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
        if (converter != -1 && converter != i) {
            continue;
        }
        Slot& s = slots_[static_cast<std::size_t>(i)];
        s.present = false;
        s.rx.clear();
        if (s.handle != kNoConverterHandle) {
            // The handle stays known, so that calls on it fail as on a vanished device.
            s.handle = kNoConverterHandle;
        }
    }
}

void ScriptedConverter::Replug(int converter) {
    std::lock_guard lock(mutex_);
    for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
        if (converter == -1 || converter == i) {
            slots_[static_cast<std::size_t>(i)].present = true;
        }
    }
}

void ScriptedConverter::QueueAnswer(std::vector<uint8_t> bytes, uint32_t delayMs, int converter) {
    std::lock_guard lock(mutex_);
    queue_.push_back(Queued{converter, false, Reply{std::move(bytes), delayMs}});
}

void ScriptedConverter::QueueSilence(int converter) {
    std::lock_guard lock(mutex_);
    queue_.push_back(Queued{converter, true, Reply{}});
}

void ScriptedConverter::SetResponder(Responder responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

void ScriptedConverter::Inject(int converter, std::vector<uint8_t> bytes, uint32_t delayMs) {
    const uint32_t at = TickCount() + delayMs;
    std::lock_guard lock(mutex_);
    Slot& s = slots_.at(static_cast<std::size_t>(converter));
    if (s.present) {
        deliver(s, bytes, at);
    }
}

std::vector<ScriptedConverter::Written> ScriptedConverter::Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

int ScriptedConverter::WriteCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(writes_.size());
}

void ScriptedConverter::ClearWrites() {
    std::lock_guard lock(mutex_);
    writes_.clear();
}

int ScriptedConverter::PendingBytes(int converter) const {
    const uint32_t now = TickCount();
    std::lock_guard lock(mutex_);
    return arrived(slots_.at(static_cast<std::size_t>(converter)), now);
}

std::vector<std::string> ScriptedConverter::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

void ScriptedConverter::ClearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

bool ScriptedConverter::Dtr(int converter) const {
    std::lock_guard lock(mutex_);
    return slots_.at(static_cast<std::size_t>(converter)).dtr;
}

bool ScriptedConverter::Rts(int converter) const {
    std::lock_guard lock(mutex_);
    return slots_.at(static_cast<std::size_t>(converter)).rts;
}

bool ScriptedConverter::IsOpen(int converter) const {
    std::lock_guard lock(mutex_);
    return slots_.at(static_cast<std::size_t>(converter)).handle != kNoConverterHandle;
}

uint32_t ScriptedConverter::ReadTimeoutOf(int converter) const {
    std::lock_guard lock(mutex_);
    return slots_.at(static_cast<std::size_t>(converter)).readTimeout;
}

int ScriptedConverter::slotOf(ConverterHandle handle) const {
    const auto it = handles_.find(handle);
    if (it == handles_.end()) {
        return -1;
    }
    const Slot& s = slots_[static_cast<std::size_t>(it->second)];
    return s.present && s.handle == handle ? it->second : -1;
}

int ScriptedConverter::listedSlot(uint32_t index) const {
    uint32_t position = 0;
    for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
        if (!slots_[static_cast<std::size_t>(i)].present) {
            continue;
        }
        if (position == index) {
            return i;
        }
        ++position;
    }
    return -1;
}

void ScriptedConverter::deliver(Slot& slot, const std::vector<uint8_t>& bytes, uint32_t at) {
    // Kept in arrival order: a later-scheduled byte never overtakes an earlier one.
    for (uint8_t b : bytes) {
        auto pos = slot.rx.end();
        while (pos != slot.rx.begin() && static_cast<int32_t>(std::prev(pos)->at - at) > 0) {
            --pos;
        }
        slot.rx.insert(pos, Timed{at, b});
    }
}

int ScriptedConverter::arrived(const Slot& slot, uint32_t now) const {
    int n = 0;
    for (const Timed& t : slot.rx) {
        if (!hasArrived(t.at, now)) {
            break;
        }
        ++n;
    }
    return n;
}

void ScriptedConverter::log(std::string entry) {
    calls_.push_back(std::move(entry));
}

ConverterStatus ScriptedConverter::CountDevices(uint32_t& count) {
    std::lock_guard lock(mutex_);
    log("CountDevices");
    count = 0;
    if (listFails_) {
        return ConvIoError;
    }
    for (const Slot& s : slots_) {
        count += s.present ? 1 : 0;
    }
    return ConvOk;
}

ConverterStatus ScriptedConverter::SerialNumber(uint32_t index, std::string& serial) {
    std::lock_guard lock(mutex_);
    log("SerialNumber " + std::to_string(index));
    const int slot = listedSlot(index);
    if (slot < 0 || slots_[static_cast<std::size_t>(slot)].infoFails) {
        return ConvDeviceNotFound;
    }
    serial = slots_[static_cast<std::size_t>(slot)].serial;
    return ConvOk;
}

ConverterStatus ScriptedConverter::Description(uint32_t index, std::string& description) {
    std::lock_guard lock(mutex_);
    log("Description " + std::to_string(index));
    const int slot = listedSlot(index);
    if (slot < 0 || slots_[static_cast<std::size_t>(slot)].infoFails) {
        return ConvDeviceNotFound;
    }
    description = slots_[static_cast<std::size_t>(slot)].description;
    return ConvOk;
}

void ScriptedConverter::SetOpenDelayMs(uint32_t ms) {
    openDelayMs_.store(ms);
}

ConverterStatus ScriptedConverter::Open(uint32_t index, ConverterHandle& handle) {
    if (const uint32_t delay = openDelayMs_.load(); delay > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    }
    std::lock_guard lock(mutex_);
    log("Open " + std::to_string(index));
    handle = kNoConverterHandle;
    const int slot = listedSlot(index);
    if (slot < 0) {
        return ConvDeviceNotFound;
    }
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    if (s.openFails || s.handle != kNoConverterHandle) {
        return ConvDeviceNotOpened;
    }
    s.handle = nextHandle_++;
    s.readTimeout = 0;
    handles_[s.handle] = slot;
    handle = s.handle;
    return ConvOk;
}

ConverterStatus ScriptedConverter::Close(ConverterHandle handle) {
    std::lock_guard lock(mutex_);
    const auto it = handles_.find(handle);
    if (it == handles_.end()) {
        log("Close -");
        return ConvInvalidHandle;
    }
    const int slot = it->second;
    log("Close " + slotText(slot));
    handles_.erase(it);
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    if (s.handle == handle) {
        s.handle = kNoConverterHandle;
        return ConvOk;
    }
    return ConvIoError;  // unplugged while open
}

ConverterStatus ScriptedConverter::SetBaudRate(ConverterHandle handle, uint32_t baud) {
    std::lock_guard lock(mutex_);
    const int slot = slotOf(handle);
    log("SetBaudRate " + (slot < 0 ? std::string("-") : slotText(slot)) + " " +
        std::to_string(baud));
    return slot < 0 ? ConvInvalidHandle : ConvOk;
}

ConverterStatus ScriptedConverter::SetDataCharacteristics(ConverterHandle handle,
                                                          uint8_t wordLength, uint8_t stopBits,
                                                          uint8_t parity) {
    std::lock_guard lock(mutex_);
    const int slot = slotOf(handle);
    log("SetDataCharacteristics " + (slot < 0 ? std::string("-") : slotText(slot)) + " " +
        std::to_string(wordLength) + " " + std::to_string(stopBits) + " " + std::to_string(parity));
    return slot < 0 ? ConvInvalidHandle : ConvOk;
}

ConverterStatus ScriptedConverter::SetFlowControl(ConverterHandle handle, uint16_t flow,
                                                  uint8_t xon, uint8_t xoff) {
    std::lock_guard lock(mutex_);
    const int slot = slotOf(handle);
    log("SetFlowControl " + (slot < 0 ? std::string("-") : slotText(slot)) + " " +
        std::to_string(flow) + " " + std::to_string(xon) + " " + std::to_string(xoff));
    return slot < 0 ? ConvInvalidHandle : ConvOk;
}

ConverterStatus ScriptedConverter::SetTimeouts(ConverterHandle handle, uint32_t readMs,
                                               uint32_t writeMs) {
    std::lock_guard lock(mutex_);
    const int slot = slotOf(handle);
    log("SetTimeouts " + (slot < 0 ? std::string("-") : slotText(slot)) + " " +
        std::to_string(readMs) + " " + std::to_string(writeMs));
    if (slot < 0) {
        return ConvInvalidHandle;
    }
    slots_[static_cast<std::size_t>(slot)].readTimeout = readMs;
    return ConvOk;
}

ConverterStatus ScriptedConverter::Purge(ConverterHandle handle, uint32_t mask) {
    const uint32_t now = TickCount();
    std::lock_guard lock(mutex_);
    const int slot = slotOf(handle);
    log("Purge " + (slot < 0 ? std::string("-") : slotText(slot)) + " " + std::to_string(mask));
    if (slot < 0) {
        return ConvInvalidHandle;
    }
    if ((mask & ConvPurgeRx) != 0) {
        // Only what has arrived; bytes still on their way come in afterwards.
        Slot& s = slots_[static_cast<std::size_t>(slot)];
        s.rx.erase(s.rx.begin(), s.rx.begin() + arrived(s, now));
    }
    return ConvOk;
}

ConverterStatus ScriptedConverter::SetDtr(ConverterHandle handle) {
    std::lock_guard lock(mutex_);
    const int slot = slotOf(handle);
    log("SetDtr " + (slot < 0 ? std::string("-") : slotText(slot)));
    if (slot < 0) {
        return ConvInvalidHandle;
    }
    slots_[static_cast<std::size_t>(slot)].dtr = true;
    return ConvOk;
}

ConverterStatus ScriptedConverter::ClrRts(ConverterHandle handle) {
    std::lock_guard lock(mutex_);
    const int slot = slotOf(handle);
    log("ClrRts " + (slot < 0 ? std::string("-") : slotText(slot)));
    if (slot < 0) {
        return ConvInvalidHandle;
    }
    slots_[static_cast<std::size_t>(slot)].rts = false;
    return ConvOk;
}

ConverterStatus ScriptedConverter::Read(ConverterHandle handle, uint8_t* buffer, uint32_t count,
                                        uint32_t& got) {
    got = 0;
    const uint32_t start = TickCount();
    for (;;) {
        uint32_t timeout = 0;
        {
            std::lock_guard lock(mutex_);
            const int slot = slotOf(handle);
            if (slot < 0) {
                return handles_.count(handle) != 0 ? ConvIoError : ConvInvalidHandle;
            }
            Slot& s = slots_[static_cast<std::size_t>(slot)];
            const uint32_t now = TickCount();
            while (got < count && !s.rx.empty() && hasArrived(s.rx.front().at, now)) {
                buffer[got++] = s.rx.front().byte;
                s.rx.pop_front();
            }
            timeout = s.readTimeout;
        }
        if (got >= count || ElapsedSince(start) >= timeout) {
            return ConvOk;
        }
        // 1 ms steps of the kv clock: cheap enough for tests, and free under a FakeClock.
        SleepMs(1);
    }
}

ConverterStatus ScriptedConverter::Write(ConverterHandle handle, const uint8_t* buffer,
                                         uint32_t count, uint32_t& written) {
    written = 0;
    const uint32_t now = TickCount();
    std::vector<uint8_t> bytes(buffer, buffer + count);
    int slot = -1;
    Responder responder;
    bool answered = false;
    {
        std::lock_guard lock(mutex_);
        slot = slotOf(handle);
        if (slot < 0) {
            return handles_.count(handle) != 0 ? ConvIoError : ConvInvalidHandle;
        }
        Slot& s = slots_[static_cast<std::size_t>(slot)];
        if (s.writeFails) {
            return ConvIoError;
        }
        written = count;
        writes_.push_back(Written{slot, bytes, now});
        std::vector<uint8_t> echo = bytes;
        switch (s.echo) {
            case EchoMode::Full:
                break;
            case EchoMode::None:
                echo.clear();
                break;
            case EchoMode::Short:
                if (!echo.empty()) {
                    echo.pop_back();
                }
                break;
            case EchoMode::WrongFirstByte:
                if (!echo.empty()) {
                    echo[0] = static_cast<uint8_t>(echo[0] ^ 0x5A);
                }
                break;
            case EchoMode::WrongLastByte:
                if (!echo.empty()) {
                    echo.back() = static_cast<uint8_t>(echo.back() ^ 0x5A);
                }
                break;
        }
        deliver(s, s.beforeEcho, now);
        s.beforeEcho.clear();
        deliver(s, echo, now + s.echoDelayMs);
        for (auto it = queue_.begin(); it != queue_.end(); ++it) {
            if (it->converter == -1 || it->converter == slot) {
                if (!it->silent) {
                    deliver(s, it->reply.bytes, now + it->reply.delayMs);
                }
                queue_.erase(it);
                answered = true;
                break;
            }
        }
        if (!answered) {
            responder = responder_;
        }
    }
    if (responder) {
        const std::vector<Reply> replies = responder(slot, bytes);
        std::lock_guard lock(mutex_);
        Slot& s = slots_[static_cast<std::size_t>(slot)];
        if (s.present) {
            for (const Reply& r : replies) {
                deliver(s, r.bytes, now + r.delayMs);
            }
        }
    }
    return ConvOk;
}

ConverterStatus ScriptedConverter::GetQueueStatus(ConverterHandle handle, uint32_t& rxBytes) {
    const uint32_t now = TickCount();
    std::lock_guard lock(mutex_);
    rxBytes = 0;
    const int slot = slotOf(handle);
    if (slot < 0) {
        return handles_.count(handle) != 0 ? ConvIoError : ConvInvalidHandle;
    }
    rxBytes = static_cast<uint32_t>(arrived(slots_[static_cast<std::size_t>(slot)], now));
    return ConvOk;
}

}  // namespace kv
