#pragma once

#include <QCoreApplication>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "../LogCapture.h"
#include "FakeClock.h"
#include "bus/TPortProto.h"
#include "console/ConsoleWiring.h"
#include "core/Clock.h"
#include "devices/TControls.h"
#include "sim/SimBus.h"
#include "sim/SimRig.h"

// The console's wiring over a simulated bus, on a fake clock: every answer window, pause and
// device turnaround is simulated time, so a full search costs no wall time. The bus worker
// runs as in the console; its notifications (unsolicited frames, lost converters) are handed
// over whenever the test pumps, as the main window's event loop would.
class ConsoleOnSim {
public:
    // An empty bus (the test adds converters and devices), or the bus of a rig. The bus is made
    // after the fake clock is installed: its simulated time counts from the clock it starts on.
    ConsoleOnSim() : bus_(std::make_shared<kv::SimBus>()) {}
    explicit ConsoleOnSim(const kv::SimRig& rig) : bus_(rig.Build()) {}
    ~ConsoleOnSim() { wiring_.reset(); }
    ConsoleOnSim(const ConsoleOnSim&) = delete;
    ConsoleOnSim& operator=(const ConsoleOnSim&) = delete;

    // Builds the wiring and opens the bus; false when the converters did not open.
    bool Open() {
        kv::InitBusGlobals();
        kv::OwnConsoleId = 200;  // drawn at random otherwise: it could be a rig console's
        return OpenAsStarted();
    }
    // As a program starts it: the console ID is whatever the start-up draws.
    bool OpenAsStarted() {
        wiring_ = std::make_unique<kv::ConsoleWiring>(bus_, QStringLiteral("test rig"));
        const bool opened = wiring_->Open();
        Pump();
        return opened;
    }

    kv::SimBus& Bus() { return *bus_; }
    kv::ConsoleWiring& Wiring() { return *wiring_; }
    kv::TControls& Controls() { return wiring_->Controls(); }
    const LogCapture& Log() const { return log_; }

    // Hands over what the worker waits to deliver; waits `ms` of simulated time first.
    void Pump(uint32_t ms = 0) {
        const uint32_t start = kv::TickCount();
        do {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            while (wiring_ && wiring_->Proto().DispatchPending()) {
            }
            if (ms > 0) {
                kv::SleepMs(2);
            }
        } while (kv::ElapsedSince(start) < ms);
    }

    // Pumps until done() holds, giving the worker real time to run; false after `realMs` of
    // wall time without it.
    bool PumpUntil(const std::function<bool()>& done, int realMs = 5000) {
        for (int i = 0; i < realMs; ++i) {
            Pump();
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    // The operator's search for `cycles` full passes of the 256 addresses, one scan step at a
    // time, ended as the operator ends it (summary lines included).
    void Search(int cycles = 1) {
        wiring_->StartSearch();
        wiring_->Controls().ScanTimer.stop();
        for (int i = 0; i < cycles * 256; ++i) {
            wiring_->Controls().ScanStep();
            Pump();
        }
        // Console replies come after a random pause of up to 149 ms.
        Pump(200);
        wiring_->StopSearch();
    }

    // Frames the console wrote on a converter (-1: all), in wire order.
    std::vector<std::vector<uint8_t>> Sent(int converter = -1, int code = -1) const {
        std::vector<std::vector<uint8_t>> out;
        for (const kv::SimRecord& r : bus_->Records(converter)) {
            if (r.direction == kv::SimDirection::FromConsole && r.bytes.size() >= 6 &&
                (code < 0 || r.bytes[0] == code)) {
                out.push_back(r.bytes);
            }
        }
        return out;
    }

private:
    kv::FakeClock clock_{5000};
    kv::ScopedClock scopedClock_{clock_};
    LogCapture log_;
    std::shared_ptr<kv::SimBus> bus_;
    std::unique_ptr<kv::ConsoleWiring> wiring_;
};

// A firing module's config for the tests.
inline kv::SimDeviceConfig SimModule(int address, int version, int channels,
                                     std::vector<double> ohms = {}) {
    kv::SimDeviceConfig c;
    c.kind = kv::SimDeviceKind::FiringModule;
    c.address = address;
    c.version = version;
    c.channels = channels;
    c.ohms = std::move(ohms);
    return c;
}

inline kv::SimDeviceConfig SimOf(kv::SimDeviceKind kind, int address, int version = 0x46B) {
    kv::SimDeviceConfig c;
    c.kind = kind;
    c.address = address;
    c.version = version;
    if (kind == kv::SimDeviceKind::HvModule) {
        c.channels = 4;
        c.typeLetter = 'Q';
    } else if (kind == kv::SimDeviceKind::MotorModule) {
        c.channels = 1;
        c.typeLetter = 'P';
    }
    return c;
}
