#pragma once

#include <cstdint>

#include "devices/TExtDevice.h"

namespace kv {

// Another operator console on the bus. All share address 255 and are told apart by ConsoleId.
class TSoftControl : public TExtDevice {
public:
    TSoftControl(TPortProto& bus, int32_t consoleId);

    // The targeted console probe: returns the other program's major version and takes the
    // answering console's ID.
    int32_t GetVersion() override;
    // Nothing to poll; a console that answered the search counts as reachable.
    void PollStatus() override { LastResult = 0; }

    int32_t ConsoleId;
    uint8_t Stale = 0;
};

}  // namespace kv
