#include "sim/SimDevice.h"

namespace kv {

const char* SimDeviceKindName(SimDeviceKind kind) {
    switch (kind) {
        case SimDeviceKind::FiringModule:
            return "module";
        case SimDeviceKind::HvModule:
            return "hv";
        case SimDeviceKind::MotorModule:
            return "motor";
        case SimDeviceKind::RadioUnit:
            return "radio";
        case SimDeviceKind::RemoteControl:
            return "remote";
        case SimDeviceKind::Console:
            return "console";
    }
    return "?";
}

SimDevice::SimDevice(const SimDeviceConfig& config)
    : config_(config),
      address_(config.address),
      powered_(config.powered),
      rng_(static_cast<uint32_t>(config.address * 7919 + config.consoleId)),
      faultRng_(static_cast<uint32_t>(config.address * 104729 + 17)) {}

void SimDevice::Hear(const SimFrame& frame, const SimDevice* fromDevice, SimTimeUs now,
                     SimOutput& out) {
    if (!powered_ || fromDevice == this) {
        return;
    }
    if (frame[5] == address_ && config_.faults.dropRequest.Hit(faultRng_)) {
        ++droppedRequests_;
        return;
    }
    OnFrame(frame, now, out);
}

void SimDevice::SwitchOn(SimTimeUs now, SimOutput& out) {
    if (powered_) {
        return;
    }
    powered_ = true;
    OnSwitchOn(now, out);
}

void SimDevice::Reply(SimOutput& out, SimTimeUs heardAt, uint8_t code, uint8_t d1, uint8_t d2,
                      uint8_t d3, uint8_t d4, SimTimeUs extraUs,
                      const std::vector<uint8_t>& trailer) {
    out.Emit(*this, MakeSimFrame(code, d1, d2, d3, d4, static_cast<uint8_t>(address_)),
             heardAt + out.TurnaroundUs() + extraUs, trailer);
}

}  // namespace kv
