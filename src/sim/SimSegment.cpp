#include "sim/SimSegment.h"

#include <algorithm>

namespace kv {

SimTimeUs SimSegment::ByteOffsetUs(std::size_t byteCount) {
    // Exact per byte count, so rounding never accumulates over a long burst.
    return static_cast<SimTimeUs>(byteCount) * 10u * 1000000u / 19200u;
}

SimSegment::SimSegment(int index, SimWireTiming timing, uint32_t seed, std::size_t maxRecords)
    : index_(index), timing_(timing), rng_(seed), maxRecords_(maxRecords) {}

SimDevice& SimSegment::AddDevice(std::unique_ptr<SimDevice> device) {
    devices_.push_back(std::move(device));
    return *devices_.back();
}

SimDevice* SimSegment::Find(int address) const {
    for (const auto& d : devices_) {
        if (d->Address() == address) {
            return d.get();
        }
    }
    return nullptr;
}

void SimSegment::schedule(SimTimeUs at, Event event) {
    events_.emplace(std::make_pair(at, nextSeq_++), std::move(event));
}

void SimSegment::RunUntil(SimTimeUs now) {
    // Bounded so that a device that keeps asking for the same instant cannot hang the bus.
    for (int guard = 0; guard < 100000; ++guard) {
        const SimTimeUs nextEvent = events_.empty() ? kSimNever : events_.begin()->first.first;
        SimDevice* dueDevice = nullptr;
        SimTimeUs nextDevice = kSimNever;
        for (const auto& d : devices_) {
            const SimTimeUs t = d->NextDeadline();
            if (t < nextDevice) {
                nextDevice = t;
                dueDevice = d.get();
            }
        }
        const SimTimeUs next = std::min(nextEvent, nextDevice);
        if (next == kSimNever || next > now) {
            break;
        }
        if (dueDevice != nullptr && nextDevice <= nextEvent) {
            lastRun_ = std::max(lastRun_, nextDevice);
            dueDevice->Advance(nextDevice, *this);
            continue;
        }
        auto node = events_.extract(events_.begin());
        lastRun_ = std::max(lastRun_, next);
        process(next, node.mapped());
    }
    lastRun_ = std::max(lastRun_, now);
}

void SimSegment::process(SimTimeUs at, Event& event) {
    switch (event.kind) {
        case EventKind::Transmit: {
            const SimTimeUs end = transmit(at, event);
            if (event.direction == SimDirection::FromDevice && event.bytes.size() >= 7) {
                Event hear;
                hear.kind = EventKind::HearDevice;
                hear.from = event.from;
                hear.bytes.assign(event.bytes.begin(), event.bytes.begin() + 7);
                schedule(end, std::move(hear));
            }
            break;
        }
        case EventKind::HearConsole:
            hearConsoleBytes(event.bytes, at);
            break;
        case EventKind::HearDevice: {
            SimFrame frame{};
            std::copy_n(event.bytes.begin(), 7, frame.begin());
            if (SimFrameValid(frame.data())) {
                deliver(frame, event.from, at);
            }
            break;
        }
    }
}

SimTimeUs SimSegment::transmit(SimTimeUs at, const Event& event) {
    const SimTimeUs start = std::max(at, wireFreeAt_);
    SimTimeUs last = start;
    for (std::size_t i = 0; i < event.bytes.size(); ++i) {
        last = timing_.pacing ? start + ByteOffsetUs(i + 1) : start;
        if (receiving_ && rx_.size() < kRxCapacity) {
            rx_.emplace_back(last, event.bytes[i]);
        }
    }
    wireFreeAt_ = last;
    SimRecord rec;
    rec.timeUs = start;
    rec.endUs = last;
    rec.converter = index_;
    rec.direction = event.direction;
    rec.device = event.fromAddress;
    rec.bytes = event.bytes;
    record(std::move(rec));
    return last;
}

void SimSegment::record(SimRecord rec) {
    if (maxRecords_ == 0) {
        return;
    }
    if (records_.size() >= maxRecords_) {
        records_.pop_front();
    }
    records_.push_back(std::move(rec));
}

void SimSegment::deliver(const SimFrame& frame, const SimDevice* from, SimTimeUs at) {
    for (const auto& d : devices_) {
        d->Hear(frame, from, at, *this);
    }
}

void SimSegment::hearConsoleBytes(const std::vector<uint8_t>& bytes, SimTimeUs at) {
    assembler_.insert(assembler_.end(), bytes.begin(), bytes.end());
    // Devices resynchronise like the console does: slide byte by byte to the next valid frame.
    std::size_t p = 0;
    while (assembler_.size() - p >= 7) {
        if (!SimFrameValid(assembler_.data() + p)) {
            ++p;
            continue;
        }
        SimFrame frame{};
        std::copy_n(assembler_.begin() + static_cast<std::ptrdiff_t>(p), 7, frame.begin());
        p += 7;
        if (faults_.dropRequest.Hit(rng_)) {
            ++droppedRequests_;
            continue;
        }
        deliver(frame, nullptr, at);
    }
    assembler_.erase(assembler_.begin(), assembler_.begin() + static_cast<std::ptrdiff_t>(p));
    if (assembler_.size() > 6) {
        assembler_.erase(assembler_.begin(), assembler_.end() - 6);
    }
}

void SimSegment::SetReceiving(bool on) {
    receiving_ = on;
    if (!on) {
        rx_.clear();
    }
}

void SimSegment::ConsoleWrite(const uint8_t* bytes, std::size_t count, SimTimeUs now) {
    RunUntil(now);
    Event ev;
    ev.kind = EventKind::Transmit;
    ev.direction = SimDirection::FromConsole;
    ev.bytes.assign(bytes, bytes + count);
    const SimTimeUs end = transmit(now, ev);
    if (lineUsable_) {
        Event hear;
        hear.kind = EventKind::HearConsole;
        hear.bytes = std::move(ev.bytes);
        schedule(end, std::move(hear));
    }
    RunUntil(now);
}

std::size_t SimSegment::Available(SimTimeUs now) const {
    std::size_t n = 0;
    for (const auto& [t, b] : rx_) {
        if (t > now) {
            break;
        }
        ++n;
    }
    return n;
}

std::size_t SimSegment::Take(uint8_t* buffer, std::size_t max, SimTimeUs now) {
    std::size_t n = 0;
    while (n < max && !rx_.empty() && rx_.front().first <= now) {
        buffer[n++] = rx_.front().second;
        rx_.pop_front();
    }
    return n;
}

void SimSegment::PurgeRx(SimTimeUs now) {
    // Only what has arrived; bytes still on the wire arrive after the purge, as on a real line.
    while (!rx_.empty() && rx_.front().first <= now) {
        rx_.pop_front();
    }
}

void SimSegment::Emit(SimDevice& from, const SimFrame& frame, SimTimeUs at,
                      const std::vector<uint8_t>& trailer) {
    SimFrame out = frame;
    SimFaults& df = from.Faults();
    std::mt19937& drng = from.FaultRng();
    if (df.loseAnswer.Hit(drng) || faults_.loseAnswer.Hit(rng_)) {
        from.CountLostAnswer();
        return;
    }
    if (df.late.Hit(drng)) {
        at += static_cast<SimTimeUs>(df.lateMs) * 1000;
    } else if (faults_.late.Hit(rng_)) {
        at += static_cast<SimTimeUs>(faults_.lateMs) * 1000;
    }
    if (df.corrupt.Hit(drng) || faults_.corrupt.Hit(rng_)) {
        out[6] ^= 0x5A;
    }
    Event ev;
    ev.kind = EventKind::Transmit;
    ev.direction = SimDirection::FromDevice;
    ev.from = &from;
    ev.fromAddress = from.Address();
    ev.bytes.assign(out.begin(), out.end());
    ev.bytes.insert(ev.bytes.end(), trailer.begin(), trailer.end());
    schedule(at, std::move(ev));
    uint32_t noiseBytes = 0;
    if (df.noise.Hit(drng)) {
        noiseBytes = df.noiseBytes;
    } else if (faults_.noise.Hit(rng_)) {
        noiseBytes = faults_.noiseBytes;
    }
    if (noiseBytes > 0) {
        Event noise;
        noise.kind = EventKind::Transmit;
        noise.direction = SimDirection::Noise;
        for (uint32_t i = 0; i < noiseBytes; ++i) {
            noise.bytes.push_back(static_cast<uint8_t>(rng_()));
        }
        schedule(at, std::move(noise));
    }
}

void SimSegment::InjectFrame(const SimFrame& frame, SimDevice* from, SimTimeUs now) {
    RunUntil(now);
    Event ev;
    ev.kind = EventKind::Transmit;
    ev.direction = SimDirection::FromDevice;
    ev.from = from;
    ev.fromAddress = from ? from->Address() : frame[5];
    ev.bytes.assign(frame.begin(), frame.end());
    schedule(now, std::move(ev));
    RunUntil(now);
}

void SimSegment::InjectNoise(const std::vector<uint8_t>& bytes, SimTimeUs now) {
    RunUntil(now);
    Event ev;
    ev.kind = EventKind::Transmit;
    ev.direction = SimDirection::Noise;
    ev.bytes = bytes;
    schedule(now, std::move(ev));
    RunUntil(now);
}

void SimSegment::SwitchOn(SimDevice& device, SimTimeUs now) {
    RunUntil(now);
    device.SwitchOn(now, *this);
    RunUntil(now);
}

}  // namespace kv
