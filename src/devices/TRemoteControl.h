#pragma once

#include "devices/DeviceEvents.h"
#include "devices/TExtDevice.h"
#include "devices/TScriptCue.h"

#include <vector>

namespace kv {

// The radio remote control, always at address 0.
class TRemoteControl : public TExtDevice {
public:
    explicit TRemoteControl(TPortProto& bus) : TExtDevice(bus, kRemoteAddress) {
        Kind = KindRemoteControl;
    }

    // Reports of the remote's memory operations; empty means no reports.
    TransferProgressEvent OnTransferProgress;

    // The whole script in the remote's memory, in list order (see devices/ScriptTransfer.h).
    int32_t WriteRemoteScript(const std::vector<TScriptCue>& cues);
    int32_t VerifyRemoteScript(const std::vector<TScriptCue>& cues);
    int32_t EraseRemote();
};

}  // namespace kv
