#pragma once

#include <QString>

namespace kv {

// Why the soundtrack commands are greyed out when the sound device did not open at start-up:
// a line for the soundtrack's place in the window and a tooltip for the greyed buttons. Both
// empty while the device is ready.
struct SoundDeviceNotice {
    QString Status;
    QString ToolTip;
};
SoundDeviceNotice SoundDeviceNoticeFor(bool soundReady);

}  // namespace kv
