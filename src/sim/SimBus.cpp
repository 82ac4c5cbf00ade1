#include "sim/SimBus.h"

#include <algorithm>

#include "core/Clock.h"
#include "sim/SimDeviceFactory.h"

namespace kv {

SimBus::SimBus(SimBusOptions options) : options_(options), lastTick_(TickCount()) {}

SimBus::~SimBus() = default;

std::unique_lock<std::recursive_mutex> SimBus::Lock() const {
    return std::unique_lock<std::recursive_mutex>(mutex_);
}

SimTimeUs SimBus::NowUs() {
    auto lock = Lock();
    const uint32_t t = TickCount();
    const uint32_t diff = t - lastTick_;
    // A test clock set backwards must not read as a jump of 49 days forward.
    if (diff < 0x80000000u) {
        elapsedMs_ += diff;
        lastTick_ = t;
    }
    return elapsedMs_ * 1000;
}

int SimBus::AddConverter(const std::string& serial, const std::string& description,
                         int shareSegmentOf) {
    auto lock = Lock();
    const int index = static_cast<int>(converters_.size());
    Converter c;
    c.serial = serial.empty() ? "KVSIM" + std::to_string(index + 1) : serial;
    c.description = description;
    if (shareSegmentOf >= 0) {
        c.segment = &Segment(shareSegmentOf);
        c.tap = c.segment->AddTap(index);
    } else {
        SimWireTiming timing{options_.pacing, options_.turnaroundUs};
        segments_.push_back(std::make_unique<SimSegment>(
            index, timing, options_.seed * 2654435761u + static_cast<uint32_t>(index),
            options_.maxRecords));
        c.segment = segments_.back().get();
    }
    converters_.push_back(std::move(c));
    return index;
}

int SimBus::ConverterTotal() const {
    auto lock = Lock();
    return static_cast<int>(converters_.size());
}

SimDevice& SimBus::AddDevice(int converter, const SimDeviceConfig& config) {
    auto lock = Lock();
    return Segment(converter).AddDevice(MakeSimDevice(config));
}

SimSegment& SimBus::Segment(int converter) {
    return *converters_.at(static_cast<std::size_t>(converter)).segment;
}

SimDevice* SimBus::Find(int address, int converter) {
    auto lock = Lock();
    if (converter >= 0) {
        return Segment(converter).Find(address);
    }
    for (const auto& s : segments_) {
        if (SimDevice* d = s->Find(address)) {
            return d;
        }
    }
    return nullptr;
}

void SimBus::Unplug(int converter) {
    auto lock = Lock();
    Converter& c = converters_.at(static_cast<std::size_t>(converter));
    if (!c.plugged) {
        return;
    }
    c.plugged = false;
    ++c.generation;
    c.open = kNoConverterHandle;
    c.segment->SetReceiving(c.tap, false);
}

void SimBus::Replug(int converter) {
    auto lock = Lock();
    converters_.at(static_cast<std::size_t>(converter)).plugged = true;
}

bool SimBus::Plugged(int converter) const {
    auto lock = Lock();
    return converters_.at(static_cast<std::size_t>(converter)).plugged;
}

bool SimBus::IsOpen(int converter) const {
    auto lock = Lock();
    return converters_.at(static_cast<std::size_t>(converter)).open != kNoConverterHandle;
}

int SimBus::ListedIndexOf(int converter) const {
    auto lock = Lock();
    if (converter < 0 || static_cast<std::size_t>(converter) >= converters_.size() ||
        !converters_[static_cast<std::size_t>(converter)].plugged) {
        return -1;
    }
    int n = 0;
    for (int i = 0; i < converter; ++i) {
        n += converters_[static_cast<std::size_t>(i)].plugged ? 1 : 0;
    }
    return n;
}

void SimBus::PumpAll(SimTimeUs now) {
    for (auto& s : segments_) {
        s->RunUntil(now);
    }
}

void SimBus::Pump() {
    auto lock = Lock();
    PumpAll(NowUs());
}

void SimBus::InjectFrame(int converter, const SimFrame& frame) {
    auto lock = Lock();
    const SimTimeUs now = NowUs();
    PumpAll(now);
    SimSegment& s = Segment(converter);
    s.InjectFrame(frame, s.Find(frame[5]), now);
}

void SimBus::InjectNoise(int converter, const std::vector<uint8_t>& bytes) {
    auto lock = Lock();
    const SimTimeUs now = NowUs();
    PumpAll(now);
    Segment(converter).InjectNoise(bytes, now);
}

void SimBus::Act(int converter, const std::function<void(SimSegment&, SimTimeUs)>& action) {
    auto lock = Lock();
    const SimTimeUs now = NowUs();
    PumpAll(now);
    action(Segment(converter), now);
    Segment(converter).RunUntil(now);
}

void SimBus::SwitchOn(int converter, int address) {
    auto lock = Lock();
    const SimTimeUs now = NowUs();
    PumpAll(now);
    if (SimDevice* d = Segment(converter).Find(address)) {
        Segment(converter).SwitchOn(*d, now);
    }
}

void SimBus::SwitchOff(int converter, int address) {
    auto lock = Lock();
    if (SimDevice* d = Segment(converter).Find(address)) {
        d->SwitchOff();
    }
}

std::vector<SimRecord> SimBus::Records(int converter) const {
    auto lock = Lock();
    std::vector<SimRecord> out;
    for (const auto& s : segments_) {
        if (converter < 0 ||
            s.get() == converters_.at(static_cast<std::size_t>(converter)).segment) {
            const auto& r = s->Records();
            out.insert(out.end(), r.begin(), r.end());
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const SimRecord& a, const SimRecord& b) { return a.timeUs < b.timeUs; });
    return out;
}

std::vector<SimRecord> SimBus::TakeRecords() {
    auto lock = Lock();
    auto out = Records(-1);
    ClearRecords();
    return out;
}

void SimBus::ClearRecords() {
    auto lock = Lock();
    for (auto& s : segments_) {
        s->ClearRecords();
    }
}

void SimBus::SetPacing(bool on) {
    auto lock = Lock();
    options_.pacing = on;
    for (auto& s : segments_) {
        s->Timing().pacing = on;
    }
}

int SimBus::ListedToConverter(uint32_t index) const {
    uint32_t n = 0;
    for (std::size_t i = 0; i < converters_.size(); ++i) {
        if (converters_[i].plugged) {
            if (n == index) {
                return static_cast<int>(i);
            }
            ++n;
        }
    }
    return -1;
}

ConverterStatus SimBus::CountDevices(uint32_t& count) {
    auto lock = Lock();
    count = static_cast<uint32_t>(std::count_if(converters_.begin(), converters_.end(),
                                                [](const Converter& c) { return c.plugged; }));
    return ConvOk;
}

ConverterStatus SimBus::SerialNumber(uint32_t index, std::string& serial) {
    auto lock = Lock();
    const int c = ListedToConverter(index);
    if (c < 0) {
        return ConvDeviceNotFound;
    }
    serial = converters_[static_cast<std::size_t>(c)].serial;
    return ConvOk;
}

ConverterStatus SimBus::Description(uint32_t index, std::string& description) {
    auto lock = Lock();
    const int c = ListedToConverter(index);
    if (c < 0) {
        return ConvDeviceNotFound;
    }
    description = converters_[static_cast<std::size_t>(c)].description;
    return ConvOk;
}

ConverterStatus SimBus::Open(uint32_t index, ConverterHandle& handle) {
    auto lock = Lock();
    handle = kNoConverterHandle;
    const int ci = ListedToConverter(index);
    if (ci < 0) {
        return ConvDeviceNotFound;
    }
    Converter& c = converters_[static_cast<std::size_t>(ci)];
    if (c.open != kNoConverterHandle) {
        return ConvDeviceNotOpened;  // in use, as a second open of a real converter is
    }
    const ConverterHandle h = nextHandle_++;
    Handle st;
    st.converter = ci;
    st.generation = c.generation;
    handles_[h] = st;
    c.open = h;
    UpdateLine(st);
    const SimTimeUs now = NowUs();
    c.segment->RunUntil(now);
    c.segment->SetReceiving(c.tap, true);
    handle = h;
    return ConvOk;
}

SimBus::Handle* SimBus::HandleOf(ConverterHandle h, ConverterStatus& status) {
    const auto it = handles_.find(h);
    if (it == handles_.end()) {
        status = ConvInvalidHandle;
        return nullptr;
    }
    const Converter& c = converters_[static_cast<std::size_t>(it->second.converter)];
    if (!c.plugged || c.generation != it->second.generation || c.open != h) {
        status = ConvIoError;  // the converter went away under its handle
        return nullptr;
    }
    status = ConvOk;
    return &it->second;
}

ConverterStatus SimBus::Close(ConverterHandle handle) {
    auto lock = Lock();
    const auto it = handles_.find(handle);
    if (it == handles_.end()) {
        return ConvInvalidHandle;
    }
    Converter& c = converters_[static_cast<std::size_t>(it->second.converter)];
    const bool live = c.open == handle && c.generation == it->second.generation;
    if (live) {
        c.open = kNoConverterHandle;
        c.segment->SetReceiving(c.tap, false);
    }
    handles_.erase(it);
    return live ? ConvOk : ConvIoError;
}

void SimBus::UpdateLine(const Handle& h) {
    // Devices speak 19200 8N1 only; anything else reaches them as garbage.
    const bool usable = h.baud == 19200 && h.wordLength == 8 && h.stopBits == 0 && h.parity == 0;
    const Converter& c = converters_[static_cast<std::size_t>(h.converter)];
    c.segment->SetLineUsable(c.tap, usable);
}

ConverterStatus SimBus::SetBaudRate(ConverterHandle handle, uint32_t baud) {
    auto lock = Lock();
    ConverterStatus st;
    Handle* h = HandleOf(handle, st);
    if (!h) {
        return st;
    }
    if (baud == 0) {
        return ConvInvalidBaudRate;
    }
    h->baud = baud;
    UpdateLine(*h);
    return ConvOk;
}

ConverterStatus SimBus::SetDataCharacteristics(ConverterHandle handle, uint8_t wordLength,
                                               uint8_t stopBits, uint8_t parity) {
    auto lock = Lock();
    ConverterStatus st;
    Handle* h = HandleOf(handle, st);
    if (!h) {
        return st;
    }
    if ((wordLength != 7 && wordLength != 8) || (stopBits != 0 && stopBits != 2) || parity > 4) {
        return ConvInvalidParameter;
    }
    h->wordLength = wordLength;
    h->stopBits = stopBits;
    h->parity = parity;
    UpdateLine(*h);
    return ConvOk;
}

ConverterStatus SimBus::SetFlowControl(ConverterHandle handle, uint16_t, uint8_t, uint8_t) {
    auto lock = Lock();
    ConverterStatus st;
    HandleOf(handle, st);
    return st;
}

ConverterStatus SimBus::SetTimeouts(ConverterHandle handle, uint32_t readMs, uint32_t) {
    auto lock = Lock();
    ConverterStatus st;
    Handle* h = HandleOf(handle, st);
    if (h) {
        h->readMs = readMs;
    }
    return st;
}

ConverterStatus SimBus::Purge(ConverterHandle handle, uint32_t mask) {
    auto lock = Lock();
    ConverterStatus st;
    Handle* h = HandleOf(handle, st);
    if (h && (mask & ConvPurgeRx)) {
        const SimTimeUs now = NowUs();
        const Converter& c = converters_[static_cast<std::size_t>(h->converter)];
        c.segment->RunUntil(now);
        c.segment->PurgeRx(c.tap, now);
    }
    return st;
}

ConverterStatus SimBus::SetDtr(ConverterHandle handle) {
    auto lock = Lock();
    ConverterStatus st;
    HandleOf(handle, st);
    return st;
}

ConverterStatus SimBus::ClrRts(ConverterHandle handle) {
    auto lock = Lock();
    ConverterStatus st;
    HandleOf(handle, st);
    return st;
}

ConverterStatus SimBus::Read(ConverterHandle handle, uint8_t* buffer, uint32_t count,
                             uint32_t& got) {
    got = 0;
    auto lock = Lock();
    ConverterStatus st;
    Handle* h = HandleOf(handle, st);
    if (!h) {
        return st;
    }
    const uint32_t start = TickCount();
    const uint32_t timeout = h->readMs;
    // The segment outlives the converter list's storage, which may grow while this read waits.
    SimSegment& segment = *converters_[static_cast<std::size_t>(h->converter)].segment;
    const int tap = converters_[static_cast<std::size_t>(h->converter)].tap;
    for (;;) {
        const SimTimeUs now = NowUs();
        PumpAll(now);
        got += static_cast<uint32_t>(segment.Take(tap, buffer + got, count - got, now));
        if (got >= count || ElapsedSince(start) >= timeout) {
            return ConvOk;
        }
        // Let other callers in while this read waits, as the converter driver would.
        lock.unlock();
        SleepMs(1);
        lock.lock();
        if (!HandleOf(handle, st)) {
            return st;
        }
    }
}

ConverterStatus SimBus::Write(ConverterHandle handle, const uint8_t* buffer, uint32_t count,
                              uint32_t& written) {
    written = 0;
    auto lock = Lock();
    ConverterStatus st;
    Handle* h = HandleOf(handle, st);
    if (!h) {
        return st;
    }
    const SimTimeUs now = NowUs();
    PumpAll(now);
    const Converter& c = converters_[static_cast<std::size_t>(h->converter)];
    c.segment->ConsoleWrite(c.tap, buffer, count, now);
    written = count;
    return ConvOk;
}

ConverterStatus SimBus::GetQueueStatus(ConverterHandle handle, uint32_t& rxBytes) {
    rxBytes = 0;
    auto lock = Lock();
    ConverterStatus st;
    Handle* h = HandleOf(handle, st);
    if (!h) {
        return st;
    }
    const SimTimeUs now = NowUs();
    PumpAll(now);
    const Converter& c = converters_[static_cast<std::size_t>(h->converter)];
    rxBytes = static_cast<uint32_t>(c.segment->Available(c.tap, now));
    return ConvOk;
}

}  // namespace kv
