#pragma once

#include "ScriptedConverter.h"
#include "bus/TPortProto.h"
#include "core/Clock.h"

#include <QCoreApplication>
#include <functional>
#include <memory>

namespace kvtest {

// Runs the GUI thread's events until the condition holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, uint32_t ms = 2000) {
    const uint32_t start = kv::TickCount();
    while (!done()) {
        if (kv::ElapsedSince(start) > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        kv::SleepMs(1);
    }
    return true;
}

inline std::vector<uint8_t> Answer(uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4,
                                   uint8_t address = 5) {
    return kv::ScriptedConverter::Frame(code, d1, d2, d3, d4, address);
}

// A protocol object opened over scripted converters, worker running.
struct ScriptedBus {
    explicit ScriptedBus(int converters = 1)
        : conv(std::make_shared<kv::ScriptedConverter>(converters)), proto(16, conv) {
        proto.OpenPort();
    }
    // The six bytes of the n-th write from the end (check byte dropped).
    kv::BusFrame Sent(int fromEnd = 1) const {
        const auto writes = conv->Writes();
        const auto& w = writes.at(writes.size() - static_cast<std::size_t>(fromEnd)).bytes;
        kv::BusFrame f{};
        std::copy_n(w.begin(), 6, f.begin());
        return f;
    }
    std::shared_ptr<kv::ScriptedConverter> conv;
    kv::TPortProto proto;
};

}  // namespace kvtest
