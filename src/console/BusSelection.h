#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace kv {

class ConverterBackend;

// Which converters a program talks through, from its command line: --simulate [RIG] gives the
// simulated bus with that rig (the demo rig when none is named), --port PATH (repeatable) the
// serial devices named, and otherwise the converters listed under [bus] Ports of the settings
// file or, without that, the converters found on the USB bus.
struct BusOptions {
    QStringList ports;
    bool simulate = false;
    QString rig;           // empty: the demo rig
    QString settingsPath;  // empty: the settings file beside the program
};

struct BusSelection {
    std::shared_ptr<ConverterBackend> backend;  // nullptr when none could be made
    QString simulatedRig;  // the rig's name on a simulated bus, empty on real converters
    QString error;         // why there is no back end
};

// Builds the simulated bus of a rig file. Installed by the programs that link the simulator,
// so that the console layer does not depend on it.
using SimulatedBusFactory =
    std::function<std::shared_ptr<ConverterBackend>(const QString& rigPath, QString& error)>;
void SetSimulatedBusFactory(SimulatedBusFactory factory);

// "rigs/demo.rig": beside the program, in the folders above it (a build tree), in the data
// folder of an installed program (/usr/share/kelvane), or in the source tree the program was
// built from. Empty when none exists.
QString DemoRigPath();

BusSelection SelectBus(const BusOptions& options);

}  // namespace kv
