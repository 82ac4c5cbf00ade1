#pragma once

#include <QStringList>

namespace kv {

class TControls;

// The channel-test export's summary against the loaded script, from the marks the test page
// draws (the script's channels, MarkUsedChannels, and each channel's tested state): scripted
// channels with no igniter, with a fault or not tested, and channels with an igniter that no
// cue uses. Empty when no module carries a script mark (no script loaded).
QStringList ScriptChannelSummaryLines(const TControls& controls);

}  // namespace kv
