#pragma once

#include <functional>

namespace kv {

// The device list or a device's identity changed; the address concerned (255 for a console).
using ChangeEvent = std::function<void(int address)>;
// One scan tick done: percent of the address space, the address just handled.
using SearchProgressEvent = std::function<void(int percent, int address)>;
// Progress of a transfer into device memory; the receiver may set cancel to stop it.
using TransferProgressEvent =
    std::function<void(int percent, int deviceIndex, bool& cancel, int item, int address)>;

}  // namespace kv
