#include "KelvaneOptions.h"

#include <QFileInfo>

#include "timecode/Timecode.h"

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
        } else if (arg == QLatin1String("--timecode-file") ||
                   arg == QLatin1String("--timecode-start")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--"))) {
                options.error = arg + (arg == QLatin1String("--timecode-file")
                                           ? QStringLiteral(" needs a WAV file")
                                           : QStringLiteral(" needs HH:MM:SS:FF"));
                return options;
            }
            (arg == QLatin1String("--timecode-file") ? options.timecodeFile
                                                     : options.timecodeStart) = arguments[++i];
        } else {
            options.error = QStringLiteral("unknown argument: ") + arg;
            return options;
        }
    }
    if (options.simulate && !options.ports.isEmpty()) {
        // A simulated bus and real converters at once would make it unclear which is live.
        options.error = QStringLiteral("--simulate and --port cannot be combined");
    } else if (!options.timecodeFile.isEmpty() && !options.simulate) {
        // A recording stands in for the sound desk only in a rehearsal: with real modules a
        // file that ends or was cut wrongly would decide when they fire.
        options.error = QStringLiteral("--timecode-file goes with --simulate only");
    } else if (!options.timecodeStart.isEmpty() && options.timecodeFile.isEmpty()) {
        options.error = QStringLiteral("--timecode-start goes with --timecode-file");
    } else if (!options.timecodeStart.isEmpty() && !ParseTimecode(options.timecodeStart)) {
        options.error = QStringLiteral("--timecode-start needs HH:MM:SS:FF");
    } else if (!options.timecodeFile.isEmpty() && !QFileInfo(options.timecodeFile).isFile()) {
        options.error = QStringLiteral("no such timecode file: ") + options.timecodeFile;
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
        "  --timecode-file FILE.wav [--timecode-start HH:MM:SS:FF]\n"
        "                    rehearsal (with --simulate): every slot follows the timecode (LTC)\n"
        "                    of the file, played in real time as if the capture device heard\n"
        "                    it; the show's zero is 01:00:00:00 unless given here or in the\n"
        "                    slot's [timecodeN] section of kelvanex.ini\n"
        "Without options the USB-RS485 converters are searched for.\n");
    if (!locations.isEmpty()) {
        text += QStringLiteral("\nFiles of this run:\n") + locations;
    }
    return text;
}

}  // namespace kv
