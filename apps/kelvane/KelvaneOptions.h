#pragma once

#include <QString>
#include <QStringList>

namespace kv {

// The console's command line:
//   --simulate [RIG]   run on the simulated bus (the demo rig when no rig file is named)
//   --port PATH        use this serial device as a converter (repeatable) instead of the search
//   --config-dir DIR   read kelvanex.ini and kelvanex.lng from DIR
//   --log-dir DIR      write the event logs to DIR
//   --timecode-file FILE.wav [--timecode-start HH:MM:SS:FF]
//                      a rehearsal on the simulated bus: every slot follows the file's timecode
//   --help, --version
struct KelvaneOptions {
    bool simulate = false;
    QString rig;
    QStringList ports;
    QString configDir;
    QString logDir;
    // The file whose timecode stands in for the capture device, and the show's zero in it
    // (empty: the slot's own, 01:00:00:00).
    QString timecodeFile;
    QString timecodeStart;
    bool help = false;
    bool version = false;
    // Empty when the command line was understood.
    QString error;

    static KelvaneOptions Parse(const QStringList& arguments);
    // The program's own arguments (argv[0] included) before any application object exists.
    static QStringList Arguments(int argc, char** argv);

    // locations: where this run's files are, appended when not empty.
    static QString Usage(const QString& locations = QString());
};

}  // namespace kv
