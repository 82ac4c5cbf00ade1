#include "console/AutonomousScriptCheck.h"

#include <algorithm>
#include <set>

#include "bus/TPortProto.h"
#include "devices/CueLimits.h"
#include "devices/DeviceKinds.h"
#include "devices/ScriptTransfer.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "shows/TProjectList.h"

namespace kv {

namespace {

using What = ScriptCheckDifference::What;

bool EmptyTime(int t) {
    return t >= TPortProto::kEmptyTime;
}

class ModuleReader {
public:
    ModuleReader(TControls& controls, const TProjectList& script, ScriptCheckResult& out)
        : controls_(controls), bus_(controls.Bus()), script_(script), out_(out) {}

    // Reads one module back; false when the operator cancelled.
    bool Check(TCommonControl& m, int index) {
        std::vector<int> cues;
        for (int i = 0; i < script_.Count(); ++i) {
            if (script_.Cue(i).Module == m.Address) {
                cues.push_back(i);
            }
        }
        if (m.Ping() != 0) {
            Add(m.Address, -1, What::NoAnswer);
            return Progress(m, index, 1.0);
        }
        const bool fine = m.Version >= fw::CheckedCueWrite;
        if (m.Kind == KindMotorControl) {
            return CheckMotor(m, index, cues, fine);
        }
        if (m.Version < fw::SlotMemory) {
            return CheckChannelTimes(m, index, cues);
        }
        int slot = 0;
        for (const int i : cues) {
            const TScriptCue& c = script_.Cue(i);
            int t = 0;
            int channel = -1;
            const int r = Read(fine, m, slot, t, channel);
            if (r != 0) {
                Add(m.Address, i, What::NoAnswer);
                return Progress(m, index, 1.0);
            }
            if (t != transfer::StoredFireTime(c.Time, fine) || channel != c.Channel) {
                Add(m.Address, i, What::CueDiffers);
            }
            ++slot;
            if (!Progress(m, index, static_cast<double>(slot) / (cues.size() + 1))) {
                return false;
            }
        }
        // The write empties the slots after the last cue: one that holds a cue is a script
        // this one never wrote.
        if (slot < m.ChannelCount) {
            int t = 0;
            int channel = -1;
            const int r = Read(fine, m, slot, t, channel);
            if (r != 0) {
                Add(m.Address, -1, What::NoAnswer);
            } else if (!EmptyTime(t)) {
                Add(m.Address, -1, What::ExtraCues);
            }
        }
        return Progress(m, index, 1.0);
    }

    bool Cancelled() const { return cancel_; }

private:
    int Read(bool fine, TCommonControl& m, int slot, int& t, int& channel) {
        ++out_.Reads;
        return fine ? bus_.ReadCueFine(m.Address, slot, m.RelayId, m.PortIndex, t, channel)
                    : bus_.ReadCue(m.Address, slot, m.RelayId, m.PortIndex, t, channel);
    }

    bool CheckMotor(TCommonControl& m, int index, const std::vector<int>& cues, bool fine) {
        if (!fine) {
            if (!cues.empty()) {
                Add(m.Address, -1, What::Unsupported);
            }
            return Progress(m, index, 1.0);
        }
        int slot = 0;
        for (const int i : cues) {
            const TScriptCue& c = script_.Cue(i);
            int t = 0, kind = 0, p1 = 0, p2 = 0;
            ++out_.Reads;
            const int r =
                bus_.ReadMotorCue(m.Address, slot, m.RelayId, m.PortIndex, t, kind, p1, p2);
            if (r != 0) {
                Add(m.Address, i, What::NoAnswer);
                return Progress(m, index, 1.0);
            }
            if (t != transfer::StoredMotorTime(c.Time) || kind != c.Kind || p1 != c.Param1 ||
                p2 != c.Param2) {
                Add(m.Address, i, What::CueDiffers);
            }
            ++slot;
            if (!Progress(m, index, static_cast<double>(slot) / (cues.size() + 1))) {
                return false;
            }
        }
        return Progress(m, index, 1.0);
    }

    // Old firmware keeps one time per channel: every channel the script does not use must be
    // empty.
    bool CheckChannelTimes(TCommonControl& m, int index, const std::vector<int>& cues) {
        std::set<int> used;
        for (const int i : cues) {
            const TScriptCue& c = script_.Cue(i);
            used.insert(c.Channel);
            int t = 0;
            ++out_.Reads;
            if (bus_.ReadChannelTime(m.Address, c.Channel, m.RelayId, m.PortIndex, t) != 0) {
                Add(m.Address, i, What::NoAnswer);
                return Progress(m, index, 1.0);
            }
            if (t != transfer::StoredFireTime(c.Time, false)) {
                Add(m.Address, i, What::CueDiffers);
            }
        }
        for (int ch = 0; ch < m.ChannelCount; ++ch) {
            if (used.count(ch) != 0) {
                continue;
            }
            int t = 0;
            ++out_.Reads;
            if (bus_.ReadChannelTime(m.Address, ch, m.RelayId, m.PortIndex, t) != 0) {
                Add(m.Address, -1, What::NoAnswer);
                break;
            }
            if (!EmptyTime(t)) {
                Add(m.Address, -1, What::ExtraCues);
                break;
            }
            if (!Progress(m, index, static_cast<double>(ch) / m.ChannelCount)) {
                return false;
            }
        }
        return Progress(m, index, 1.0);
    }

    void Add(int module, int cue, What what) { out_.Differences.push_back({module, cue, what}); }

    bool Progress(const TCommonControl& m, int index, double part) {
        if (controls_.OnTransferProgress) {
            const int total = std::max(1, controls_.Count());
            const int percent =
                static_cast<int>((index + std::clamp(part, 0.0, 1.0)) * 100 / total);
            controls_.OnTransferProgress(percent, index, cancel_, 0, m.Address);
        }
        return !cancel_;
    }

    TControls& controls_;
    TPortProto& bus_;
    const TProjectList& script_;
    ScriptCheckResult& out_;
    bool cancel_ = false;
};

QString TimeText(int32_t ms) {
    return QStringLiteral("%1:%2.%3")
        .arg(ms / 60000)
        .arg((ms / 1000) % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

}  // namespace

std::vector<int> ScriptCheckResult::Modules() const {
    std::set<int> modules;
    for (const ScriptCheckDifference& d : Differences) {
        modules.insert(d.Module);
    }
    return {modules.begin(), modules.end()};
}

ScriptCheckResult CheckModuleScripts(TControls& controls, const TProjectList& script) {
    ScriptCheckResult out;
    std::vector<TScriptCue> cues;
    for (int i = 0; i < script.Count(); ++i) {
        cues.push_back(script.Cue(i));
    }
    if (!CuesTheBusCannotCarry(cues, CueTarget::Modules).empty()) {
        out.Result = ResultCueNotCarried;
        return out;
    }
    std::set<int> onBus;
    ModuleReader reader(controls, script, out);
    for (int i = 0; i < controls.Count(); ++i) {
        TCommonControl* m = controls.ModuleAt(i);
        if (!m || !m->IsModule()) {
            continue;
        }
        onBus.insert(m->Address);
        if (!reader.Check(*m, i)) {
            out.Result = ResultCancelled;
            return out;
        }
    }
    std::set<int> missing;
    for (int i = 0; i < script.Count(); ++i) {
        const int a = script.Cue(i).Module;
        if (onBus.count(a) == 0 && missing.insert(a).second) {
            out.Differences.push_back({a, -1, What::NotOnBus});
        }
    }
    return out;
}

QStringList ScriptCheckLines(const ScriptCheckResult& result, const TProjectList& script) {
    QStringList lines;
    for (const ScriptCheckDifference& d : result.Differences) {
        QString cue;
        if (d.Cue >= 0 && d.Cue < script.Count()) {
            const TScriptCue& c = script.Cue(d.Cue);
            cue = IsMotorCue(c.Kind)
                      ? QStringLiteral("cue %1 (%2, motor)").arg(d.Cue + 1).arg(TimeText(c.Time))
                      : QStringLiteral("cue %1 (%2, channel %3)")
                            .arg(d.Cue + 1)
                            .arg(TimeText(c.Time))
                            .arg(static_cast<int64_t>(c.Channel) + 1);
        }
        QString what;
        switch (d.Kind) {
            case What::CueDiffers:
                what = cue + QStringLiteral(" differs");
                break;
            case What::NotOnBus:
                what = QStringLiteral("not on the bus");
                break;
            case What::NoAnswer:
                what = cue.isEmpty() ? QStringLiteral("does not answer")
                                     : QStringLiteral("does not answer at ") + cue;
                break;
            case What::ExtraCues:
                what = QStringLiteral("holds cues the script does not have");
                break;
            case What::Unsupported:
                what = QStringLiteral("firmware too old to read its script back");
                break;
        }
        lines << QStringLiteral("module %1: %2").arg(d.Module).arg(what);
    }
    return lines;
}

}  // namespace kv
