#include "SimulatedBusSetup.h"

#include <string>

#include "console/BusSelection.h"
#include "sim/SimRig.h"

namespace kv {

void InstallSimulatedBus() {
    SetSimulatedBusFactory(
        [](const QString& rigPath, QString& error) -> std::shared_ptr<ConverterBackend> {
            // No rig file found beside the program: the demo rig compiled into the simulator.
            if (rigPath.isEmpty()) {
                return std::shared_ptr<ConverterBackend>(SimRig::Demo().Build());
            }
            SimRig rig;
            std::string why;
            if (!SimRig::Load(rigPath.toStdString(), rig, why)) {
                error = QString::fromStdString(why);
                return nullptr;
            }
            return std::shared_ptr<ConverterBackend>(rig.Build());
        });
}

}  // namespace kv
