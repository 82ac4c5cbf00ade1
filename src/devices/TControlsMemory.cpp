// The memory operations of the bus manager and the remote control; the work is in
// ScriptTransfer.cpp, shared with the headless tool.
#include "devices/ScriptTransfer.h"
#include "devices/TControls.h"
#include "devices/TRemoteControl.h"

namespace kv {

int32_t TControls::WriteScript(std::vector<TScriptCue>& cues) {
    return transfer::WriteScript(*this, cues);
}

int32_t TControls::VerifyScript(std::vector<TScriptCue>& cues) {
    return transfer::VerifyScript(*this, cues);
}

int32_t TControls::EraseScripts() {
    return transfer::EraseScripts(*this);
}

int32_t TControls::ReadBlackBox(QByteArray& buffer, int& size) {
    const int32_t result = transfer::ReadBlackBox(*this, buffer);
    size = static_cast<int>(buffer.size());
    return result;
}

int32_t TRemoteControl::WriteRemoteScript(const std::vector<TScriptCue>& cues) {
    return transfer::WriteRemoteScript(*this, cues);
}

int32_t TRemoteControl::VerifyRemoteScript(const std::vector<TScriptCue>& cues) {
    return transfer::VerifyRemoteScript(*this, cues);
}

int32_t TRemoteControl::EraseRemote() {
    return transfer::EraseRemote(*this);
}

}  // namespace kv
