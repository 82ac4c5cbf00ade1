#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace kv {

// What the console remembers of one project slot while the operator is elsewhere.
struct SlotMemory {
    QString SoundPath;        // soundtrack file of the slot; empty for none
    int32_t SoundLength = 0;  // its length in ms; 0 means the slot has no soundtrack
    // Modes saved when the operator leaves the slot, restored when he comes back.
    uint8_t SavedLaunchState = 0;
    uint8_t SavedWorkMode = 0;
    uint8_t SavedControlMode = 0;
};

// The console's own state, a plain object the main window owns and the show control, the key
// decision and the status display read. The flags the bus wiring keeps (Searching, Testing,
// test mode, TestSelection, ConverterFault, PollCursor) stay in ConsoleWiring: one owner each.
struct ConsoleState {
    enum : uint8_t { Waiting = 0, Armed = 1, Running = 2 };
    static constexpr int kSlots = 8;
    static constexpr int kDefaultStartKey = 116;  // F5

    uint8_t LaunchState = Waiting;
    int CurrentSlot = 0;
    std::array<SlotMemory, kSlots> Slots{};
    int ManualDevice = -1;  // list index of the module on the manual keyboard; -1 none
    int ManualPage = 0;     // page of 40 channels shown on the manual keyboard
    int StartKey = kDefaultStartKey;
    int BlinkPhase = 0;  // 0 or 1, flipped by each blink tick
    int PcBatteryPercent = 100;
    bool SoundReady = false;  // the audio output initialised; without it no soundtracks

    SlotMemory& Slot() { return Slots[static_cast<size_t>(CurrentSlot)]; }
    const SlotMemory& Slot() const { return Slots[static_cast<size_t>(CurrentSlot)]; }
};

}  // namespace kv
