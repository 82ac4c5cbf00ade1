#pragma once

// Driving a console's wiring over the simulated bus from the test thread: the rigs of the show
// and the show-control tests share these.

#include <QElapsedTimer>
#include <QThread>

#include "TestThreadClock.h"
#include "bus/TPortProto.h"
#include "console/ConsoleWiring.h"
#include "sim/SimBus.h"
#include "sim/SimConsole.h"

// Lets simulated time run on by 1 ms a step, with the worker's frames handed to the wiring,
// until done() holds or two seconds of wall time passed.
template <class Done>
bool PumpSimUntil(TestThreadClock& clock, kv::SimBus& bus, kv::ConsoleWiring& wiring, Done done) {
    QElapsedTimer wall;
    wall.start();
    while (!done() && wall.elapsed() < 2000) {
        clock.Advance(1);
        bus.Pump();
        while (wiring.Proto().DispatchPending()) {
        }
        QThread::msleep(1);
    }
    return done();
}

// Runs action(console, now, segment) for the other consoles on converter 1 of the rig.
template <class Action>
void ActOnOtherConsoles(kv::SimBus& bus, Action action) {
    bus.Act(1, [&](kv::SimSegment& segment, kv::SimTimeUs now) {
        for (const auto& d : segment.Devices()) {
            if (auto* console = dynamic_cast<kv::SimConsole*>(d.get())) {
                action(*console, now, segment);
            }
        }
    });
}
