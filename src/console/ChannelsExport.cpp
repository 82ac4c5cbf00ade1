#include "console/ChannelsExport.h"

#include <QFileInfo>

#include "console/ConsoleDialogs.h"
#include "devices/ConnectedChannelsExport.h"

namespace kv {

bool ExportConnectedChannels(const TControls& controls, ConsoleDialogs& dialogs) {
    const QString chosen = dialogs.AskExportFile(ConnectedChannelsExport::ProposedName());
    if (chosen.isEmpty()) {
        return false;
    }
    // ".txt" may still be appended, so the question is about the file actually written.
    const QString file = ConnectedChannelsExport::FileName(chosen);
    if (QFileInfo::exists(file) && !dialogs.ConfirmOverwrite(file)) {
        return false;
    }
    QString error;
    if (!ConnectedChannelsExport::Write(controls, chosen, &error)) {
        dialogs.ShowError(error);
        return false;
    }
    return true;
}

}  // namespace kv
