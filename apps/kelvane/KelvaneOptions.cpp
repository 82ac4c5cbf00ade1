#include "KelvaneOptions.h"

namespace kv {

KelvaneOptions KelvaneOptions::Parse(const QStringList& arguments) {
    KelvaneOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (arg == QLatin1String("--simulate")) {
            options.simulate = true;
            // The rig is optional: the next argument is it unless it is another option.
            if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1String("--"))) {
                options.rig = arguments[++i];
            }
        } else if (arg == QLatin1String("--port")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--"))) {
                options.error = QStringLiteral("--port needs a device path");
                return options;
            }
            options.ports << arguments[++i];
        } else if (arg == QLatin1String("--config-dir") || arg == QLatin1String("--log-dir")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--"))) {
                options.error = arg + QStringLiteral(" needs a folder");
                return options;
            }
            (arg == QLatin1String("--log-dir") ? options.logDir : options.configDir) =
                arguments[++i];
        } else {
            options.error = QStringLiteral("unknown argument: ") + arg;
            return options;
        }
    }
    if (options.simulate && !options.ports.isEmpty()) {
        // A simulated bus and real converters at once would make it unclear which is live.
        options.error = QStringLiteral("--simulate and --port cannot be combined");
    }
    return options;
}

QStringList KelvaneOptions::Arguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

QString KelvaneOptions::Usage(const QString& locations) {
    QString text = QStringLiteral(
        "usage: kelvane [--simulate [RIG]] [--port PATH]... [--config-dir DIR] [--log-dir DIR]\n"
        "  --simulate [RIG]  run on the simulated bus (demo rig unless a rig file is given)\n"
        "  --port PATH       use this serial device as a converter (repeatable)\n"
        "  --config-dir DIR  read the settings (kelvanex.ini) and language file (kelvanex.lng)\n"
        "                    from DIR\n"
        "  --log-dir DIR     write the event logs to DIR\n"
        "  --version         print the version\n"
        "Without options the USB-RS485 converters are searched for.\n");
    if (!locations.isEmpty()) {
        text += QStringLiteral("\nFiles of this run:\n") + locations;
    }
    return text;
}

}  // namespace kv
