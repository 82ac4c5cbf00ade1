#pragma once

#include <QString>
#include <cstdint>

namespace kv {

// Cue kinds of a script line. Anything outside 50..54 is played as a firing cue.
enum TCueKind : int32_t {
    ckFire = 0,
    ckCentre = 50,
    ckLeft = 51,
    ckRight = 52,
    ckRotateLeft = 53,
    ckRotateRight = 54,
};

inline bool IsMotorCue(int32_t kind) {
    return kind >= ckCentre && kind <= ckRotateRight;
}

// One parsed script line. It lives in the device layer because the script transfer writes these
// records into the modules' memory; the script loader and the show player above use the same
// record.
struct TScriptCue {
    QString TimeText;     // the time token as written, cut to 32 characters (display only)
    int32_t Time = 0;     // ms from the show's zero
    int32_t Module = 0;   // bus address of the module, HV or motor control
    int32_t Channel = 0;  // 0-based; 0 for motor cues
    int32_t Kind = ckFire;
    int32_t Param1 = 0;   // motor: speed, or the rotation's duration in tenths of a second
    int32_t Param2 = 0;   // motor rotation: speed
    QString Description;  // up to 255 characters
};

}  // namespace kv
