#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "CtlCommand.h"
#include "SimulatedBusSetup.h"
#include "core/EventLog.h"

int main(int argc, char** argv) {
    kv::IgnoreFileSizeSignal();
    QCoreApplication app(argc, argv);
    kv::InstallSimulatedBus();
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return kv::RunKelvanectl(arguments, out, err);
}
