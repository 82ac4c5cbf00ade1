#pragma once

namespace kv {

class ConsoleDialogs;
class TControls;

// F4 in test mode: the connected channels of every module into a text file the operator names
// (AskExportFile), asked before an existing file is replaced; a failed write is shown. Returns
// whether a file was written.
bool ExportConnectedChannels(const TControls& controls, ConsoleDialogs& dialogs);

}  // namespace kv
