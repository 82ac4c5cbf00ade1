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

}  // namespace kv
