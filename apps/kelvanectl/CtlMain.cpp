#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <string>
#include <system_error>

#include "CtlCommand.h"
#include "CtlContext.h"
#include "bus/TPort.h"
#include "core/EventLog.h"
#include "core/FileLocations.h"
#include "core/LogName.h"
#include "core/Settings.h"
#include "i18n/Localizer.h"

namespace kv {

namespace {

QString HelpText(const FileLocations& locations) {
    QString text = QStringLiteral(
        "usage: kelvanectl [--port PATH]... [--simulate [RIG]] [--config-dir DIR] "
        "[--log-dir DIR] [--json] COMMAND [ARGS]\n\ncommands:\n");
    for (const CtlCommand& c : CtlCommands()) {
        text += QStringLiteral("  %1 %2\n      %3\n").arg(c.name, c.usage, c.summary);
    }
    return text + QStringLiteral("\nfiles of this run:\n") + DescribeFileLocations(locations);
}

// The event log of this run: a new file in the folder, named as the console names its own.
// Returns whether the folder is new (the first run with these locations). A folder that cannot
// be made is reported with its own reason: the failed writes later only see a missing file.
bool OpenLog(const QString& dir, QTextStream& err) {
    const bool fresh = !QFileInfo(dir).isDir();
    if (!EnsureLogsDirectory(dir)) {
        std::error_code error;
        std::filesystem::create_directories(QFile::encodeName(dir).toStdString(), error);
        err << "kelvanectl: the log folder cannot be created: " << dir << ": "
            << QString::fromLocal8Bit(error ? error.message() : std::string("unknown reason"))
            << Qt::endl;
    }
    SetLogLevel(1);
    SetLogFileName(NextLogFileName(dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/')));
    return fresh;
}

}  // namespace

int RunKelvanectl(const QStringList& arguments, QTextStream& out, QTextStream& err,
                  std::shared_ptr<ConverterBackend> backend, const QString& simulatedRig) {
    CtlContext::Options options;
    options.backend = std::move(backend);
    options.simulatedRig = simulatedRig;
    QStringList words;
    QString logDir;
    QString configDir;
    bool help = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--port")) {
            if (i + 1 >= arguments.size()) {
                err << "kelvanectl: --port needs a device path" << Qt::endl;
                return 2;
            }
            options.ports << arguments[++i];
        } else if (a == QLatin1String("--simulate")) {
            options.simulate = true;
            // The rig is optional: the next word is one unless it is an option or a command.
            if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1String("--")) &&
                FindCtlCommand(arguments[i + 1]) == nullptr) {
                options.rig = arguments[++i];
            }
        } else if (a.startsWith(QLatin1String("--simulate="))) {
            options.simulate = true;
            options.rig = a.mid(11);
        } else if (a == QLatin1String("--log-dir")) {
            if (i + 1 >= arguments.size()) {
                err << "kelvanectl: --log-dir needs a folder" << Qt::endl;
                return 2;
            }
            logDir = arguments[++i];
        } else if (a == QLatin1String("--config-dir")) {
            if (i + 1 >= arguments.size()) {
                err << "kelvanectl: --config-dir needs a folder" << Qt::endl;
                return 2;
            }
            configDir = arguments[++i];
        } else if (a == QLatin1String("--json")) {
            options.json = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            help = true;
        } else {
            words << a;
        }
    }
    // Settings, language file and logs: beside the program when it runs from its own folder,
    // the user's folders when installed; the options override either.
    const FileLocations locations = ResolveFileLocations(
        FileLocationInputs::FromEnvironment(ProgramDirectory(), configDir, logDir));
    SetFileLocations(locations);
    if (help) {
        out << HelpText(locations);
        return 0;
    }
    if (options.simulate && !options.ports.isEmpty()) {
        err << "kelvanectl: --simulate and --port exclude each other" << Qt::endl;
        return 2;
    }
    if (words.isEmpty()) {
        err << HelpText(locations);
        return 2;
    }
    const CtlCommand* command = FindCtlCommand(words.front());
    if (command == nullptr) {
        err << "kelvanectl: unknown command " << words.front() << "\n" << HelpText(locations);
        return 2;
    }
    SetLanguageFilePath(locations.languageFile);
    // The console's texts in the operator's language, as the console prints and logs them.
    EnsureMessagesLoaded();
    if (OpenLog(locations.logDir, err)) {
        WriteLog(FileLocationsLogLine(locations), 1);
    }
    const ConsoleSettings settings = ReadConsoleSettings(locations.settingsFile);
    SetCurrentSettings(settings);
    LogUnreadableSettings();
    if (!settings.Invalid.isEmpty()) {
        // A channel test with such bands would call an open or shorted channel good.
        for (const QString& text : settings.Invalid) {
            err << "kelvanectl: " << locations.settingsFile << ": " << text << Qt::endl;
        }
        err << "kelvanectl: refused: correct the resistance thresholds" << Qt::endl;
        return 2;
    }
    InitBusGlobals();
    CtlContext ctx(std::move(options), out, err);
    return ctx.Finish(command->run(ctx, words.mid(1)));
}

}  // namespace kv
