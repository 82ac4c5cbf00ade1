#pragma once

#include <cstdint>

namespace kv {

// Kind codes stored in every device object; callers test these, never the class.
enum DeviceKind : uint8_t {
    KindCommonDevice = 0,
    KindCommonControl = 1,
    KindAutoControl = 2,
    KindHVControl = 3,
    KindMotorControl = 4,
    KindRadioModule = 5,
    KindRemoteControl = 6,
    KindSoftControl = 7,
};

// Channel test states (ChannelState values).
enum ChannelStateCode : uint8_t {
    ChannelUnknown = 0,
    ChannelConnected = 1,
    ChannelNotConnected = 2,
    ChannelError = 3,
};

// Forcing and Mode values of a module.
enum : uint8_t { ForcingOn = 0, ForcingOff = 1, ForcingUnknown = 2 };
enum : uint8_t { ModeLaunch = 0, ModeTest = 1, ModeUnknown = 2 };

// The channel arrays of a module hold this many entries; a module reporting more is clamped.
constexpr int kMaxChannels = 512;

// Bus address ranges.
constexpr int kRemoteAddress = 0;
constexpr int kFirstModuleAddress = 1;
constexpr int kLastModuleAddress = 199;
constexpr int kFirstRadioAddress = 240;
constexpr int kLastRadioAddress = 254;
constexpr int kConsoleAddress = 255;

inline bool IsModuleAddress(int address) {
    return address >= kFirstModuleAddress && address <= kLastModuleAddress;
}
inline bool IsRadioAddress(int address) {
    return address >= kFirstRadioAddress && address <= kLastRadioAddress;
}

// Firmware generations. A module's behaviour changes at these versions (inclusive).
namespace fw {
constexpr int32_t RemoteErase = 0x146;      // remote: ping before verify, erase allowed
constexpr int32_t SlotMemory = 0x148;       // module: slot list with its own erase command
constexpr int32_t ModeFlag = 0x151;         // module: status answer carries the mode flag
constexpr int32_t CheckedCueWrite = 0x165;  // module: cue writes answered, motor cues
constexpr int32_t NumberChange = 0x167;     // module: module number can be changed
constexpr int32_t Resistance = 0x268;       // module: measurement is a resistance in ohms
constexpr int32_t Temperature = 0x36B;      // module: temperature read with each status poll
constexpr int32_t FastErase = 0x46B;        // module: fast erase command
}  // namespace fw

// Exchange results of the bus layer (0 is success).
enum : int32_t {
    ResultOk = 0,
    ResultPortError = -1,
    ResultTransferError = -2,
    ResultTimeout = -3,
};

}  // namespace kv
