#include "devices/TSoftControl.h"

#include "bus/TPortProto.h"

namespace kv {

TSoftControl::TSoftControl(TPortProto& bus, int32_t consoleId)
    : TExtDevice(bus, kConsoleAddress), ConsoleId(consoleId) {
    Kind = KindSoftControl;
}

int32_t TSoftControl::GetVersion() {
    int version = 0;
    int answeringId = 0;
    // QueryConsole raises the answer window to 300 ms itself: a console answers from software.
    LastResult = Bus().QueryConsole(ConsoleId, PortIndex, version, answeringId);
    if (LastResult != 0) {
        return 0;
    }
    ConsoleId = answeringId;
    return version;
}

}  // namespace kv
