#include "console/ShowRecord.h"

#include "devices/DeviceKinds.h"
#include "devices/TScriptCue.h"
#include "shows/TProjectList.h"

namespace kv {

void ShowRecord::Begin(const ShowRecordHeader& header, const TProjectList& script) {
    std::vector<ShowRecordCue> cues;
    cues.reserve(static_cast<size_t>(script.Count()));
    for (int i = 0; i < script.Count(); ++i) {
        const TScriptCue& c = script.Cue(i);
        ShowRecordCue r;
        r.Time = c.Time;
        r.Module = c.Module;
        r.Channel = c.Channel;
        r.Kind = c.Kind;
        cues.push_back(r);
    }
    Begin(header, std::move(cues));
}

void ShowRecord::Begin(const ShowRecordHeader& header, std::vector<ShowRecordCue> cues) {
    header_ = header;
    header_.End = ShowEnd::Running;
    cues_ = std::move(cues);
    for (ShowRecordCue& c : cues_) {
        c.Result = c.Time < header_.StartPoint ? CueResult::Skipped : CueResult::Pending;
        c.SentMs.reset();
        c.Reason.clear();
        c.Check = CheckAfter::None;
    }
    active_ = true;
}

ShowRecordCue* ShowRecord::At(int index) {
    if (!active_ || index < 0 || index >= static_cast<int>(cues_.size())) {
        return nullptr;
    }
    ShowRecordCue& c = cues_[static_cast<size_t>(index)];
    // A resumed start may pass over cues before its point; what the player did with a cue is
    // the truth, except that one outcome never replaces another.
    if (c.Result != CueResult::Pending && c.Result != CueResult::Skipped) {
        return nullptr;
    }
    return &c;
}

void ShowRecord::CueSent(int index, int32_t showMs) {
    if (ShowRecordCue* c = At(index)) {
        c->Result = CueResult::Sent;
        c->SentMs = showMs;
    }
}

void ShowRecord::CueNotSent(int index, const QString& reason) {
    if (ShowRecordCue* c = At(index)) {
        c->Result = CueResult::NotSent;
        c->Reason = reason;
    }
}

void ShowRecord::CueAutonomous(int index) {
    if (ShowRecordCue* c = At(index)) {
        c->Result = CueResult::Autonomous;
    }
}

void ShowRecord::Checked(int32_t module, int32_t channel, CheckAfter state) {
    if (!active_) {
        return;
    }
    for (ShowRecordCue& c : cues_) {
        if (c.Module == module && c.Channel == channel && !IsMotorCue(c.Kind) &&
            (c.Result == CueResult::Sent || c.Result == CueResult::Autonomous)) {
            c.Check = state;
        }
    }
}

void ShowRecord::End(ShowEnd how, int32_t position) {
    if (!active_ || Ended()) {
        return;
    }
    header_.End = how;
    header_.EndPosition = position;
    for (ShowRecordCue& c : cues_) {
        if (c.Result == CueResult::Pending) {
            c.Result = CueResult::Skipped;
        }
    }
}

ShowCounts ShowRecord::Counts() const {
    ShowCounts n;
    n.Cues = static_cast<int>(cues_.size());
    for (const ShowRecordCue& c : cues_) {
        switch (c.Result) {
            case CueResult::Sent:
                ++n.Sent;
                break;
            case CueResult::NotSent:
                ++n.NotSent;
                break;
            case CueResult::Skipped:
            case CueResult::Pending:
                ++n.Skipped;
                break;
            case CueResult::Autonomous:
                ++n.Autonomous;
                break;
        }
        if (c.Check == CheckAfter::Fired) {
            ++n.CheckedFired;
        } else if (c.Check != CheckAfter::None) {
            ++n.ChecksFailed;
        }
    }
    return n;
}

QString CueResultWord(CueResult result) {
    switch (result) {
        case CueResult::Sent:
            return QStringLiteral("sent");
        case CueResult::NotSent:
            return QStringLiteral("not_sent");
        case CueResult::Autonomous:
            return QStringLiteral("autonomous");
        case CueResult::Skipped:
        case CueResult::Pending:
            break;
    }
    return QStringLiteral("skipped");
}

QString CheckAfterWord(CheckAfter check) {
    switch (check) {
        case CheckAfter::Fired:
            return QStringLiteral("fired");
        case CheckAfter::Intact:
            return QStringLiteral("intact");
        case CheckAfter::NoAnswer:
            return QStringLiteral("no_answer");
        case CheckAfter::Error:
            return QStringLiteral("error");
        case CheckAfter::None:
            break;
    }
    return QString();
}

QString ContinuityWord(Continuity c) {
    switch (c) {
        case Continuity::Connected:
            return QStringLiteral("connected");
        case Continuity::Unconnected:
            return QStringLiteral("unconnected");
        case Continuity::Error:
            return QStringLiteral("error");
        case Continuity::None:
            break;
    }
    return QString();
}

QString ShowEndWord(ShowEnd how) {
    switch (how) {
        case ShowEnd::ScriptEnd:
            return QStringLiteral("end of the script");
        case ShowEnd::StopKey:
            return QStringLiteral("stop key");
        case ShowEnd::ExternalStop:
            return QStringLiteral("external stop");
        case ShowEnd::LostConverter:
            return QStringLiteral("lost converter");
        case ShowEnd::Interrupted:
            return QStringLiteral("interrupted");
        case ShowEnd::Running:
            break;
    }
    return QStringLiteral("running");
}

QString CueKindWord(int32_t kind) {
    switch (kind) {
        case ckCentre:
            return QStringLiteral("centre");
        case ckLeft:
            return QStringLiteral("left");
        case ckRight:
            return QStringLiteral("right");
        case ckRotateLeft:
            return QStringLiteral("rotate_left");
        case ckRotateRight:
            return QStringLiteral("rotate_right");
        default:
            return QStringLiteral("fire");
    }
}

Continuity ContinuityOf(uint8_t channelState) {
    switch (channelState) {
        case ChannelConnected:
            return Continuity::Connected;
        case ChannelNotConnected:
            return Continuity::Unconnected;
        case ChannelError:
            return Continuity::Error;
        default:
            return Continuity::None;
    }
}

CheckAfter CheckAfterOf(uint8_t channelState, bool answered) {
    if (!answered) {
        return CheckAfter::NoAnswer;
    }
    switch (channelState) {
        case ChannelNotConnected:
            return CheckAfter::Fired;
        case ChannelConnected:
            return CheckAfter::Intact;
        case ChannelError:
            return CheckAfter::Error;
        default:
            return CheckAfter::NoAnswer;
    }
}

}  // namespace kv
