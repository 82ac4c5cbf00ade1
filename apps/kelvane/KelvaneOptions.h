#pragma once

#include <QString>
#include <QStringList>

namespace kv {

// The console's command line:
//   --simulate [RIG]   run on the simulated bus (the demo rig when no rig file is named)
//   --port PATH        use this serial device as a converter (repeatable) instead of the search
//   --help
struct KelvaneOptions {
    bool simulate = false;
    QString rig;
    QStringList ports;
    bool help = false;
    // Empty when the command line was understood.
    QString error;

    static KelvaneOptions Parse(const QStringList& arguments);
    static QString Usage();
};

}  // namespace kv
