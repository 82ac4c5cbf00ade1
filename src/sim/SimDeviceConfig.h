#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "sim/SimFaultPattern.h"

namespace kv {

enum class SimDeviceKind { FiringModule, HvModule, MotorModule, RadioUnit, RemoteControl, Console };

// Resistance of an open (or burnt) igniter.
constexpr double kSimOpenOhms = std::numeric_limits<double>::infinity();

// Everything a virtual device can be set up with. Fields that a kind does not use are ignored.
struct SimDeviceConfig {
    SimDeviceKind kind = SimDeviceKind::FiringModule;
    int address = 1;
    int version = 0x46B;  // firmware, as the three hex digits of the version answer
    int channels = 16;
    char typeLetter = 'A';
    double defaultOhms = 2.0;  // resistance of every channel not listed in ohms
    std::vector<double> ohms;  // per channel (index 0 = channel 1); missing = defaultOhms
    double supplyVolts = 12.40;
    double outputVolts = 24.00;  // firing line; HV modules report their capacitor instead
    int temperature = 21;        // whole degrees Celsius
    int mode = 0;                // 0 launch, 1 test
    int forcing = 1;             // 0 on, 1 off (the byte the console shows)
    int relayTag = -1;           // -1: answers directly; else the trailer byte after 0x8F
    bool announce = false;       // sends 0x70 "Ok" when switched on
    bool powered = true;
    uint32_t eraseMs = 1500;        // 0x8A: the console waits up to 5000 ms
    uint32_t fastEraseMs = 600;     // 0x95: the console waits up to 3000 ms
    uint32_t remoteEraseMs = 4000;  // remote control 0x8A: the console waits up to 30000 ms
    uint32_t measureMs = 15;        // extra time a channel measurement takes
    uint32_t blackBoxLength = 0x0123;
    uint32_t blackBoxSeed = 0;      // the image is a pattern of this seed unless given
    std::vector<uint8_t> blackBox;  // explicit image from memory address 0x0400 on
    int slotCapacity = 1024;        // script memory slots (slot layout)
    int energy = 15;                // HV parameter 0xFD, millijoules
    double chargeVoltsPerSecond = 300.0;
    int consoleId = 77;           // other console: its ID on the bus
    int consoleMajor = 3;         // other console: its program major version
    uint8_t consoleState = 0;     // other console: the state byte of its status answer
    uint8_t consolePlayKind = 0;  // other console: the play kind byte
    bool recording = false;       // remote control: stores cue writes
    SimFaults faults;

    double Ohms(int channel) const {
        return channel >= 0 && static_cast<std::size_t>(channel) < ohms.size()
                   ? ohms[static_cast<std::size_t>(channel)]
                   : defaultOhms;
    }
};

const char* SimDeviceKindName(SimDeviceKind kind);

}  // namespace kv
