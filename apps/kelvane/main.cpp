#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "KelvaneOptions.h"
#include "SimulatedBusSetup.h"
#include "console/BusSelection.h"
#include "console/ConsoleSession.h"
#include "console/ConsoleWiring.h"
#include "console/windows/QtTranslations.h"
#include "console/windows/ShowSummaryForm.h"
#include "console/windows/TDebugForm.h"
#include "console/windows/TExtStartForm.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TMemoryForm.h"
#include "console/windows/TPresentWarningForm.h"
#include "console/windows/TTimerForm.h"
#include "console/windows/TWarningForm.h"
#include "console/windows/WindowDialogs.h"
#include "core/CloseOnTermination.h"
#include "core/EventLog.h"
#include "core/FileLocations.h"
#include "core/LogName.h"
#include "core/TerminationSignals.h"
#include "i18n/Localizer.h"
#include "util/SystemUtils.h"

namespace {

// Help and version need no window: answered before the window system is asked for (which
// aborts where there is no display), with a plain application object for the program's folder.
int AnswerWithoutWindow(int argc, char** argv, const kv::KelvaneOptions& options) {
    QCoreApplication core(argc, argv);
    QTextStream out(stdout);
    if (options.version) {
        out << "kelvane " << kv::OwnVersion() << "\n";
        return 0;
    }
    const kv::FileLocations locations =
        kv::ResolveFileLocations(kv::FileLocationInputs::FromEnvironment(
            kv::ProgramDirectory(), options.configDir, options.logDir));
    out << kv::KelvaneOptions::Usage(kv::DescribeFileLocations(locations));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    kv::IgnoreFileSizeSignal();
    // Read before the window system's own options (-platform ...) are taken out, which only
    // the application object below does; an error here may be such an option.
    if (const kv::KelvaneOptions early =
            kv::KelvaneOptions::Parse(kv::KelvaneOptions::Arguments(argc, argv));
        early.help || early.version) {
        return AnswerWithoutWindow(argc, argv, early);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kelvane"));

    const kv::KelvaneOptions options = kv::KelvaneOptions::Parse(QApplication::arguments());

    // Settings, language file and logs: beside the executable when it runs from its own folder,
    // the user's folders when installed. The language file's path is fixed before any window
    // exists.
    const kv::FileLocations locations =
        kv::ResolveFileLocations(kv::FileLocationInputs::FromEnvironment(
            kv::ProgramDirectory(), options.configDir, options.logDir));
    kv::SetFileLocations(locations);
    kv::SetLanguageFilePath(locations.languageFile);
    QTextStream err(stderr);
    if (!kv::InstallQtTranslations(app, QString::fromLatin1(kv::kInterfaceLanguage))) {
        // The console still works; only Qt's own buttons read in English.
        err << "kelvane: Qt's translations (qtbase_" << kv::kInterfaceLanguage
            << ".qm) not found; install qt6-translations-l10n\n";
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

    // A new log folder means the first start with these locations: the log says where the
    // files are (the operator learns it from --help too).
    const bool firstStart = !QFileInfo(locations.logDir).isDir();
    kv::ConsoleSession::Options sessionOptions;
    sessionOptions.backend = selection.backend;
    sessionOptions.simulatedRig = selection.simulatedRig;
    sessionOptions.settingsFile = locations.settingsFile;
    sessionOptions.logDir = locations.logDir;
    sessionOptions.timecodeFile = options.timecodeFile;
    sessionOptions.timecodeStart = options.timecodeStart;
    kv::ConsoleSession session(sessionOptions);
    // The wiring has logged it; the operator also gets it on screen once the window is up,
    // without stopping the event loop.
    QObject::connect(&session.Wiring(), &kv::ConsoleWiring::ConverterAccessRefused, &app,
                     [](const QString& message) {
                         QTimer::singleShot(0, [message] {
                             auto* box = new QMessageBox(
                                 QMessageBox::Warning, kv::Message(kv::Msg::ErrorCaption), message,
                                 QMessageBox::Ok, QApplication::activeWindow());
                             box->setAttribute(Qt::WA_DeleteOnClose);
                             box->open();
                         });
                     });
    // Every window lives for the whole run, created in this order (translation follows it).
    kv::TMainForm mainForm(session);
    kv::TWarningForm warningForm(&mainForm);
    kv::TMemoryForm memoryForm(&mainForm);
    kv::TPresentWarningForm presentWarningForm(&mainForm);
    kv::TExtStartForm extStartForm(&mainForm);
    kv::TTimerForm timerForm(&mainForm);
    kv::TDebugForm debugForm(&mainForm);
    kv::ShowSummaryForm summaryForm(&mainForm);
    mainForm.SetWindows({&warningForm, &extStartForm, &timerForm, &debugForm, &summaryForm});
    kv::WindowDialogs dialogs(session, mainForm, presentWarningForm, memoryForm);
    session.SetDialogs(dialogs);
    if (firstStart) {
        kv::WriteLog(kv::FileLocationsLogLine(locations), 1);
    }

    // The whole screen also where no window manager maximises (a kiosk session, Xvfb).
    if (const QScreen* screen = mainForm.screen()) {
        mainForm.setGeometry(screen->availableGeometry());
    }
    QObject::connect(&mainForm, &kv::TMainForm::Closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    // A logout, `systemctl stop` or Ctrl+C ends the run through the window's own close.
    kv::TerminationSignals terminationSignals;
    struct MainWindowClose : kv::Closable {
        explicit MainWindowClose(kv::TMainForm& f) : form(f) {}
        bool CanClose() const override { return form.CloseQuery(); }
        bool Close() override { return form.close(); }
        kv::TMainForm& form;
    } windowClose(mainForm);
    kv::CloseOnTermination closeOnSignal(windowClose);
    QObject::connect(&terminationSignals, &kv::TerminationSignals::Received, &closeOnSignal,
                     [&closeOnSignal](int signalNumber) {
                         closeOnSignal.Request(kv::TerminationSignals::Name(signalNumber));
                     });
    mainForm.showMaximized();
    const int status = app.exec();
    // The dialogs go before the session: nothing may ask them anything from here on.
    session.SetDialogs(kv::NoDialogs());
    return status;
}
