#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>
#include <memory>

#include "CtlCommand.h"
#include "SimulatedBusSetup.h"
#include "core/EventLog.h"

int main(int argc, char** argv) {
    kv::IgnoreFileSizeSignal();
    // The printable show report draws text, which needs the GUI part of Qt (on no screen);
    // everything else runs on the core alone.
    std::unique_ptr<QCoreApplication> app;
    if (kv::WantsPrintableReport(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    kv::InstallSimulatedBus();
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return kv::RunKelvanectl(arguments, out, err);
}
