#pragma once

#include <QElapsedTimer>
#include <QThread>
#include <cstdint>
#include <memory>
#include <vector>

#include "../devices/LogCapture.h"
#include "SimBusPump.h"
#include "TestThreadClock.h"
#include "bus/TPortProto.h"
#include "console/ConsoleWiring.h"
#include "console/ShowWiring.h"
#include "devices/TControls.h"
#include "shows/AudioSystem.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"
#include "sim/SimBus.h"
#include "sim/SimConsole.h"
#include "sim/SimRig.h"

// The console's bus wiring with the show player plugged in, over the simulated demo rig
// (firing modules 3, 7 and 12, HV module 20 on converter 0; motor 30 and another console on
// converter 1). Only the test thread moves the clock; soundtracks go to the null output.
struct SimShowRig {
    LogCapture log;
    TestThreadClock clock{100000};
    kv::ScopedClock useClock{clock};
    std::shared_ptr<kv::SimBus> bus;
    std::unique_ptr<kv::ConsoleWiring> wiring;
    std::unique_ptr<kv::TExtPlayer> player;
    std::unique_ptr<kv::ShowWiring> show;
    kv::TProjectList script;

    explicit SimShowRig(bool pacing = false) {
        kv::SelectAudioOutput(kv::AudioOutput::Null);
        kv::SimRig rig = kv::SimRig::Demo();
        rig.options.pacing = pacing;
        bus = std::shared_ptr<kv::SimBus>(rig.Build());
        wiring = std::make_unique<kv::ConsoleWiring>(bus, QStringLiteral("demo"));
        wiring->Open();
        player = std::make_unique<kv::TExtPlayer>(wiring->Controls());
        show = std::make_unique<kv::ShowWiring>(*wiring, *player);
        player->SetScript(&script);
    }
    ~SimShowRig() {
        wiring.reset();
        show.reset();
        player.reset();
        kv::SelectAudioOutput(kv::AudioOutput::Device);
    }

    kv::TControls& Controls() const { return wiring->Controls(); }
    kv::TCommonDevice* Register(int address, int converter = 0) {
        return Controls().RegisterDevice(address, converter);
    }
    void Load(const char* text) { script.LoadFromBytes(QByteArray(text), "show.txt"); }

    // Lets simulated time run on by 1 ms a step, with the worker's frames handed to the
    // wiring, until done() holds or two seconds of wall time passed.
    template <class Done>
    bool PumpUntil(Done done) {
        return PumpSimUntil(clock, *bus, *wiring, done);
    }
    // Hands over whatever the worker has read within about 30 ms of simulated time.
    void Settle() {
        int rounds = 0;
        PumpUntil([&] { return ++rounds > 30; });
    }
    // Another console on converter 1 acts as its operator would.
    template <class Action>
    void OtherConsole(Action action) {
        ActOnOtherConsoles(*bus, action);
    }

    // Frames the console wrote on the wire since the records were last cleared, optionally of
    // one code only and on one converter (broadcasts go out on each).
    std::vector<kv::SimRecord> Sent(int code = -1, int converter = -1) const {
        std::vector<kv::SimRecord> out;
        for (const auto& r : bus->Records(converter)) {
            if (r.direction == kv::SimDirection::FromConsole && r.bytes.size() >= 7 &&
                (code < 0 || r.bytes[0] == code)) {
                out.push_back(r);
            }
        }
        return out;
    }
    // One tick of the show clock at show-clock time t (ms after the start tick).
    void TickAt(uint32_t startTick, uint32_t t) {
        clock.Set(startTick + t);
        player->Tick();
    }
};
