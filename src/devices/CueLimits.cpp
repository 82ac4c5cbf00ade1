#include "devices/CueLimits.h"

#include <map>
#include <set>
#include <utility>

#include "bus/TPortProto.h"
#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"

namespace kv {

bool BusCarries(const TScriptCue& cue, CueTarget target) {
    if (cue.Time < 0 || cue.Time > TPortProto::kLastCueTime) {
        return false;
    }
    // Motor cues carry their parameters in place of the channel.
    if (!IsMotorCue(cue.Kind) && (cue.Channel < 0 || cue.Channel > TPortProto::kLastCueChannel)) {
        return false;
    }
    if (target == CueTarget::RemoteControl && (cue.Module < 0 || cue.Module > 255)) {
        return false;
    }
    // A module's memory takes only its own cues: a cue for the remote control's address 0, a
    // radio unit's or a console's reaches no module. The search would "find" the device there
    // and the cue would be dropped while the write reports success.
    if (target == CueTarget::Modules && !IsModuleAddress(cue.Module)) {
        return false;
    }
    return true;
}

std::vector<UncarriedCue> CuesTheBusCannotCarry(const std::vector<TScriptCue>& cues,
                                                CueTarget target) {
    std::vector<UncarriedCue> out;
    for (size_t i = 0; i < cues.size(); ++i) {
        const TScriptCue& c = cues[i];
        if (!BusCarries(c, target)) {
            out.push_back({static_cast<int>(i), c.Module, c.Channel, c.Time, c.TimeText});
        }
    }
    return out;
}

QStringList UncarriedCueLines(const std::vector<UncarriedCue>& cues) {
    QStringList lines;
    for (const UncarriedCue& c : cues) {
        const QString time = c.timeText.isEmpty() ? QString::number(c.time) : c.timeText;
        // The channel as the operator counts it, the time as the script wrote it: what is
        // needed to find the line.
        lines << Message(Msg::ModuleLabel) + QLatin1Char(' ') + QString::number(c.module) +
                     Message(Msg::ModuleChannelSuffix) + QLatin1Char(' ') +
                     QString::number(static_cast<int64_t>(c.channel) + 1) +
                     Message(Msg::TimeSuffix) + QLatin1Char(' ') + time;
    }
    return lines;
}

QString UncarriedCuesMessage() {
    return Message(Msg::ScriptHasUnsendableCues);
}

std::vector<ModuleMemoryShape> ModuleMemoryShapes(const TControls& controls) {
    std::vector<ModuleMemoryShape> shapes;
    for (int i = 0; i < controls.Count(); ++i) {
        if (const TCommonControl* m = controls.ModuleAt(i)) {
            shapes.push_back({m->Address, m->Kind, m->Version, m->ChannelCount});
        }
    }
    return shapes;
}

std::vector<UnheldCue> CuesTheModulesCannotHold(const std::vector<TScriptCue>& cues,
                                                const std::vector<ModuleMemoryShape>& modules) {
    std::map<int32_t, ModuleMemoryShape> byAddress;
    for (const ModuleMemoryShape& m : modules) {
        byAddress.emplace(m.address, m);
    }
    std::vector<UnheldCue> out;
    std::set<std::pair<int32_t, int32_t>> used;  // (module, channel) on per-channel memories
    for (size_t i = 0; i < cues.size(); ++i) {
        const TScriptCue& c = cues[i];
        const auto it = byAddress.find(c.Module);
        if (it == byAddress.end()) {
            continue;
        }
        const ModuleMemoryShape& m = it->second;
        UnheldCue unheld{static_cast<int>(i), c.Module, c.Channel,
                         c.TimeText,          c.Time,   UnheldCue::Reason::NoSuchChannel,
                         m.channelCount};
        const bool motorModule = m.kind == KindMotorControl;
        if (IsMotorCue(c.Kind) != motorModule) {
            unheld.reason =
                motorModule ? UnheldCue::Reason::NotAFiring : UnheldCue::Reason::NotAMotor;
            out.push_back(unheld);
            continue;
        }
        if (motorModule) {
            continue;  // motor cues carry their parameters in place of the channel
        }
        if (m.channelCount > 0 && c.Channel >= m.channelCount) {
            out.push_back(unheld);
            continue;
        }
        if (m.version < fw::SlotMemory && !used.insert({c.Module, c.Channel}).second) {
            unheld.reason = UnheldCue::Reason::ChannelTwice;
            out.push_back(unheld);
        }
    }
    return out;
}

QStringList UnheldCueLines(const std::vector<UnheldCue>& cues) {
    QStringList lines;
    for (const UnheldCue& c : cues) {
        QString why;
        switch (c.reason) {
            case UnheldCue::Reason::NoSuchChannel:
                why = QStringLiteral("у пульта %1 каналов").arg(c.channelCount);
                break;
            case UnheldCue::Reason::ChannelTwice:
                why = QStringLiteral("канал уже занят: прошивка пульта хранит одно время на канал");
                break;
            case UnheldCue::Reason::NotAMotor:
                why = QStringLiteral("команда мотора для пульта без мотора");
                break;
            case UnheldCue::Reason::NotAFiring:
                why = QStringLiteral("запуск канала для блока моторов");
                break;
        }
        const QString time = c.timeText.isEmpty() ? QString::number(c.time) : c.timeText;
        lines << Message(Msg::ModuleLabel) + QLatin1Char(' ') + QString::number(c.module) +
                     Message(Msg::ModuleChannelSuffix) + QLatin1Char(' ') +
                     QString::number(static_cast<int64_t>(c.channel) + 1) +
                     Message(Msg::TimeSuffix) + QLatin1Char(' ') + time + QStringLiteral(" - ") +
                     why;
    }
    return lines;
}

QString UnheldCuesMessage() {
    return QStringLiteral("Пульты не могут хранить эти команды сценария; ничего не записано:");
}

}  // namespace kv
