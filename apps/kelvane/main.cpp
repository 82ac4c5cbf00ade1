#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTextStream>
#include <cstdio>
#include <memory>

#include "KelvaneOptions.h"
#include "SimulatedBusSetup.h"
#include "console/BusSelection.h"
#include "console/ConsoleWiring.h"
#include "console/windows/TDebugForm.h"
#include "console/windows/TExtStartForm.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TMemoryForm.h"
#include "console/windows/TPresentWarningForm.h"
#include "console/windows/TTimerForm.h"
#include "console/windows/TWarningForm.h"
#include "core/EventLog.h"
#include "core/LogName.h"
#include "i18n/Localizer.h"

int main(int argc, char** argv) {
    kv::IgnoreFileSizeSignal();
    QApplication app(argc, argv);
    // The language file lives beside the executable; its path is fixed before any window exists.
    kv::SetLanguageFilePath(kv::DefaultLanguageFilePath());
    QApplication::setApplicationName(QStringLiteral("Kelvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kelvane"));

    const kv::KelvaneOptions options = kv::KelvaneOptions::Parse(QApplication::arguments());
    QTextStream err(stderr);
    if (options.help) {
        QTextStream(stdout) << kv::KelvaneOptions::Usage();
        return 0;
    }
    if (!options.error.isEmpty()) {
        err << "kelvane: " << options.error << "\n" << kv::KelvaneOptions::Usage();
        return 2;
    }

    kv::InstallSimulatedBus();
    kv::BusOptions bus;
    bus.ports = options.ports;
    bus.simulate = options.simulate;
    bus.rig = options.rig;
    const kv::BusSelection selection = kv::SelectBus(bus);
    if (!selection.backend) {
        // Without a bus there is nothing to operate; say why instead of showing an empty console.
        err << "kelvane: " << selection.error << "\n";
        QMessageBox::critical(nullptr, QStringLiteral("Ошибка"), selection.error);
        return 1;
    }

    kv::TMainForm::Options mainOptions;
    mainOptions.programDir = kv::ProgramDirectory();
    mainOptions.makeWiring = [&selection] {
        return std::make_unique<kv::ConsoleWiring>(selection.backend, selection.simulatedRig);
    };

    // Every window lives for the whole run, created in this order (translation follows it).
    kv::TMainForm mainForm(mainOptions);
    kv::TWarningForm warningForm(&mainForm);
    kv::TMemoryForm memoryForm(&mainForm);
    kv::TPresentWarningForm presentWarningForm(&mainForm);
    kv::TExtStartForm extStartForm(&mainForm);
    kv::TTimerForm timerForm(&mainForm);
    kv::TDebugForm debugForm(&mainForm);

    // The whole screen also where no window manager maximises (a kiosk session, Xvfb).
    if (const QScreen* screen = mainForm.screen()) {
        mainForm.setGeometry(screen->availableGeometry());
    }
    QObject::connect(&mainForm, &kv::TMainForm::Closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    mainForm.showMaximized();
    return app.exec();
}
