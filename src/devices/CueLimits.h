#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "devices/TScriptCue.h"

namespace kv {

// Where a script is written: the modules' memories or the radio remote control's, which also
// stores each cue's module in one byte.
enum class CueTarget { Modules, RemoteControl };

// A cue of the script that a cue record cannot carry. Written anyway it would be stored as
// something else (a time at or past the empty time makes the slot empty, channel 512 spills
// into the finer time bits, a module above 255 names another module) while the write reports
// success, so such a script is refused before anything is sent.
struct UncarriedCue {
    int index = 0;  // position in the script
    int32_t module = 0;
    int32_t channel = 0;  // 0-based
    int32_t time = 0;     // ms
    QString timeText;     // as the script wrote it
};

bool BusCarries(const TScriptCue& cue, CueTarget target);
std::vector<UncarriedCue> CuesTheBusCannotCarry(const std::vector<TScriptCue>& cues,
                                                CueTarget target);
// One line per cue for the warning window and the log: "Пульт: 5, канал: 512, время: 7:00:00".
QStringList UncarriedCueLines(const std::vector<UncarriedCue>& cues);
// "В сценарии есть команды, которые невозможно передать по шине (пульт, канал, время)."
QString UncarriedCuesMessage();

class TControls;

// What the script memory of a module on the bus can take: its kind, firmware and channels.
struct ModuleMemoryShape {
    int32_t address = 0;
    int kind = 0;
    int32_t version = 0;
    int32_t channelCount = 0;  // 0: not known, channels are then not checked
};
std::vector<ModuleMemoryShape> ModuleMemoryShapes(const TControls& controls);

// A cue a module on the bus would not hold as the script says: written anyway, the write would
// report success and the verify a mismatch (or the show a silent channel).
struct UnheldCue {
    enum class Reason {
        NoSuchChannel,  // the channel is past the module's own count
        ChannelTwice,   // firmware with one time per channel: a later cue overwrites it
        NotAMotor,      // a motor cue for a firing module
        NotAFiring,     // a firing cue for a motor module
    };
    int index = 0;
    int32_t module = 0;
    int32_t channel = 0;  // 0-based
    QString timeText;
    int32_t time = 0;
    Reason reason = Reason::NoSuchChannel;
    int32_t channelCount = 0;
};
// Cues for modules that are not on the bus are left to the check of absent modules.
std::vector<UnheldCue> CuesTheModulesCannotHold(const std::vector<TScriptCue>& cues,
                                                const std::vector<ModuleMemoryShape>& modules);
// One line per cue: "Пульт: 5, канал: 40, время: 2 - у пульта 16 каналов".
QStringList UnheldCueLines(const std::vector<UnheldCue>& cues);
// "Пульты не могут хранить эти команды сценария; ничего не записано:"
QString UnheldCuesMessage();

}  // namespace kv
