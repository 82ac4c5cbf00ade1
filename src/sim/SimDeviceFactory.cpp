#include "sim/SimDeviceFactory.h"

#include "sim/SimConsole.h"
#include "sim/SimFiringModule.h"
#include "sim/SimHvModule.h"
#include "sim/SimMotorModule.h"
#include "sim/SimRadioUnit.h"
#include "sim/SimRemoteControl.h"

namespace kv {

std::unique_ptr<SimDevice> MakeSimDevice(const SimDeviceConfig& config) {
    switch (config.kind) {
        case SimDeviceKind::FiringModule:
            return std::make_unique<SimFiringModule>(config);
        case SimDeviceKind::HvModule:
            return std::make_unique<SimHvModule>(config);
        case SimDeviceKind::MotorModule:
            return std::make_unique<SimMotorModule>(config);
        case SimDeviceKind::RadioUnit:
            return std::make_unique<SimRadioUnit>(config);
        case SimDeviceKind::RemoteControl:
            return std::make_unique<SimRemoteControl>(config);
        case SimDeviceKind::Console:
            return std::make_unique<SimConsole>(config);
    }
    return std::make_unique<SimFiringModule>(config);
}

}  // namespace kv
