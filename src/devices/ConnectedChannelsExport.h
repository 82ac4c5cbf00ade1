#pragma once

#include <QString>
#include <QStringList>

namespace kv {

class TControls;

// The connected-channels file: per module in list order its address, the number of connected
// channels, each connected channel (1-based) and two empty lines; then, with a script loaded,
// its summary (ScriptChannelSummaryLines). Written as UTF-8 with CR LF.
class ConnectedChannelsExport {
public:
    // The lines of the file, without line ends.
    static QStringList Lines(const TControls& controls);
    // The name actually written: ".txt" is appended unless the name already ends in it (any case).
    static QString FileName(const QString& chosen);
    // The name the save dialog proposes.
    static QString ProposedName();
    // Creates (or replaces) the file. On an error the lines written so far stay and error
    // holds the system's message.
    static bool Write(const TControls& controls, const QString& chosen, QString* error = nullptr);
};

}  // namespace kv
