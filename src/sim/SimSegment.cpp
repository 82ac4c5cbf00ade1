#include "sim/SimSegment.h"

#include <algorithm>

namespace kv {

SimTimeUs SimSegment::ByteOffsetUs(std::size_t byteCount) {
    // Exact per byte count, so rounding never accumulates over a long burst.
    return static_cast<SimTimeUs>(byteCount) * 10u * 1000000u / 19200u;
}

SimSegment::SimSegment(int index, SimWireTiming timing, uint32_t seed, std::size_t maxRecords)
    : index_(index), timing_(timing), rng_(seed), maxRecords_(maxRecords) {
    taps_.emplace_back(index);
}

int SimSegment::AddTap(int converter) {
    taps_.emplace_back(converter);
    return static_cast<int>(taps_.size()) - 1;
}

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

void SimSegment::Schedule(SimTimeUs at, Event event) {
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
        Process(next, node.mapped());
    }
    lastRun_ = std::max(lastRun_, now);
}

void SimSegment::Process(SimTimeUs at, Event& event) {
    switch (event.kind) {
        case EventKind::Transmit: {
            const SimTimeUs end = Send(at, event);
            if (event.direction == SimDirection::FromDevice && event.bytes.size() >= 7) {
                Event hear;
                hear.kind = EventKind::HearDevice;
                hear.from = event.from;
                hear.bytes.assign(event.bytes.begin(), event.bytes.begin() + 7);
                Schedule(end, std::move(hear));
            }
            break;
        }
        case EventKind::HearConsole:
            HearConsoleBytes(event.tap, event.bytes, at);
            break;
        case EventKind::HearDevice: {
            SimFrame frame{};
            std::copy_n(event.bytes.begin(), 7, frame.begin());
            if (SimFrameValid(frame.data())) {
                Deliver(frame, event.from, at);
            }
            break;
        }
    }
}

SimTimeUs SimSegment::Send(SimTimeUs at, const Event& event) {
    const SimTimeUs start = std::max(at, wireFreeAt_);
    SimTimeUs last = start;
    for (std::size_t i = 0; i < event.bytes.size(); ++i) {
        last = timing_.pacing ? start + ByteOffsetUs(i + 1) : start;
        for (SimTap& tap : taps_) {
            tap.Receive(last, event.bytes[i]);
        }
    }
    wireFreeAt_ = last;
    SimRecord rec;
    rec.timeUs = start;
    rec.endUs = last;
    rec.converter =
        event.direction == SimDirection::FromConsole ? TapAt(event.tap).Converter() : index_;
    rec.direction = event.direction;
    rec.device = event.fromAddress;
    rec.bytes = event.bytes;
    Record(std::move(rec));
    return last;
}

void SimSegment::Record(SimRecord rec) {
    if (maxRecords_ == 0) {
        return;
    }
    if (records_.size() >= maxRecords_) {
        records_.pop_front();
    }
    records_.push_back(std::move(rec));
}

void SimSegment::Deliver(const SimFrame& frame, const SimDevice* from, SimTimeUs at) {
    for (const auto& d : devices_) {
        d->Hear(frame, from, at, *this);
    }
}

void SimSegment::HearConsoleBytes(int tap, const std::vector<uint8_t>& bytes, SimTimeUs at) {
    for (const SimFrame& frame : TapAt(tap).Frames(bytes)) {
        if (faults_.dropRequest.Hit(rng_)) {
            ++droppedRequests_;
            continue;
        }
        Deliver(frame, nullptr, at);
    }
}

void SimSegment::ConsoleWrite(int tap, const uint8_t* bytes, std::size_t count, SimTimeUs now) {
    RunUntil(now);
    Event ev;
    ev.kind = EventKind::Transmit;
    ev.direction = SimDirection::FromConsole;
    ev.tap = tap;
    ev.bytes.assign(bytes, bytes + count);
    const SimTimeUs end = Send(now, ev);
    if (TapAt(tap).LineUsable()) {
        Event hear;
        hear.kind = EventKind::HearConsole;
        hear.tap = tap;
        hear.bytes = std::move(ev.bytes);
        Schedule(end, std::move(hear));
    }
    RunUntil(now);
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
    Schedule(at, std::move(ev));
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
        Schedule(at, std::move(noise));
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
    Schedule(now, std::move(ev));
    RunUntil(now);
}

void SimSegment::InjectNoise(const std::vector<uint8_t>& bytes, SimTimeUs now) {
    RunUntil(now);
    Event ev;
    ev.kind = EventKind::Transmit;
    ev.direction = SimDirection::Noise;
    ev.bytes = bytes;
    Schedule(now, std::move(ev));
    RunUntil(now);
}

void SimSegment::SwitchOn(SimDevice& device, SimTimeUs now) {
    RunUntil(now);
    device.SwitchOn(now, *this);
    RunUntil(now);
}

}  // namespace kv
