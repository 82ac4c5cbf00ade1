#include "devices/CueLimits.h"

#include "bus/TPortProto.h"
#include "devices/DeviceKinds.h"
#include "i18n/Localizer.h"

namespace kv {

bool BusCarries(const TScriptCue& cue, CueTarget target) {
    if (cue.Time < 0 || cue.Time > TPortProto::kLastCueTime)
        return false;
    // Motor cues carry their parameters in place of the channel.
    if (!IsMotorCue(cue.Kind) && (cue.Channel < 0 || cue.Channel > TPortProto::kLastCueChannel))
        return false;
    if (target == CueTarget::RemoteControl && (cue.Module < 0 || cue.Module > 255))
        return false;
    // A module's memory takes only its own cues: a cue for the remote control's address 0, a
    // radio unit's or a console's reaches no module. The search would "find" the device there
    // and the cue would be dropped while the write reports success.
    if (target == CueTarget::Modules && !IsModuleAddress(cue.Module))
        return false;
    return true;
}

std::vector<UncarriedCue> CuesTheBusCannotCarry(const std::vector<TScriptCue>& cues,
                                                CueTarget target) {
    std::vector<UncarriedCue> out;
    for (size_t i = 0; i < cues.size(); ++i) {
        const TScriptCue& c = cues[i];
        if (!BusCarries(c, target))
            out.push_back({static_cast<int>(i), c.Module, c.Channel, c.Time, c.TimeText});
    }
    return out;
}

QStringList UncarriedCueLines(const std::vector<UncarriedCue>& cues) {
    QStringList lines;
    for (const UncarriedCue& c : cues) {
        const QString time = c.timeText.isEmpty() ? QString::number(c.time) : c.timeText;
        // The channel as the operator counts it, the time as the script wrote it: what is
        // needed to find the line.
        lines << Message(78) + QLatin1Char(' ') + QString::number(c.module) + Message(79) +
                     QLatin1Char(' ') + QString::number(static_cast<int64_t>(c.channel) + 1) +
                     Message(103) + QLatin1Char(' ') + time;
    }
    return lines;
}

QString UncarriedCuesMessage() {
    return Message(102);
}

}  // namespace kv
