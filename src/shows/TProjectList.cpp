#include "shows/TProjectList.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <algorithm>

#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "shows/ScriptParser.h"
#include "util/SystemUtils.h"
#include "util/TextEncoding.h"

namespace kv {

ScriptLoadError TProjectList::LoadFromFile(const QString& path) {
    Clear();
    QByteArray bytes;
    QString error;
    if (!ReadInputFile(path, kMaxScriptBytes, bytes, error)) {
        ScriptLoadError e;
        e.kind = ScriptLoadError::Io;
        e.message = error + ": " + path;
        return Fail(e);
    }
    const ScriptLoadError e = LoadFromBytes(bytes, QFileInfo(path).fileName());
    if (!e) {
        Path = QFileInfo(path).absoluteFilePath();
    }
    return e;
}

ScriptLoadError TProjectList::LoadFromBytes(const QByteArray& bytes, const QString& name) {
    Clear();
    const QString text = TextEncoding::Decode(bytes);
    int lineNumber = 0;
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        // A line ends at CR LF, LF or a lone CR, as the line reader of the old consoles did.
        qsizetype end = pos;
        while (end < n && text[end] != QChar('\n') && text[end] != QChar('\r')) {
            ++end;
        }
        const QString line = text.mid(pos, end - pos);
        pos = end;
        if (pos < n) {
            pos +=
                (text[pos] == QChar('\r') && pos + 1 < n && text[pos + 1] == QChar('\n')) ? 2 : 1;
        }
        ++lineNumber;
        if (line.isEmpty()) {
            continue;
        }
        TScriptCue cue;
        QString reason;
        if (!ParseScriptLine(line, cue, &reason) || !KindFits(cue, reason)) {
            cues_.clear();
            ScriptLoadError e;
            e.kind = ScriptLoadError::Line;
            e.line = lineNumber;
            // The line number's text stays as it always was (logs and scripts read it); what
            // is wrong follows it.
            e.message = Message(Msg::ScriptLoadFailedLine) + ' ' + QString::number(lineNumber) +
                        QStringLiteral(").");
            if (!reason.isEmpty()) {
                e.message += QLatin1Char(' ') + reason;
            }
            return Fail(e);
        }
        cues_.push_back(std::move(cue));
    }
    // Equal times keep their file order: that is the firing order of simultaneous cues.
    std::stable_sort(cues_.begin(), cues_.end(),
                     [](const TScriptCue& a, const TScriptCue& b) { return a.Time < b.Time; });
    Name = name;
    Sha256 =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    lastError_ = ScriptLoadError();
    return lastError_;
}

bool TProjectList::KindFits(const TScriptCue& cue, QString& reason) const {
    const int kind = ModuleKindAt ? ModuleKindAt(cue.Module) : -1;
    if (kind < 0 || IsMotorCue(cue.Kind) == (kind == KindMotorControl)) {
        return true;
    }
    reason =
        IsMotorCue(cue.Kind)
            ? QStringLiteral("команда мотора для пульта %1, а у него нет мотора").arg(cue.Module)
            : QStringLiteral("запуск канала для блока моторов %1").arg(cue.Module);
    return false;
}

ScriptLoadError TProjectList::Fail(ScriptLoadError error) {
    Clear();
    lastError_ = error;
    return error;
}

void TProjectList::Clear() {
    cues_.clear();
    Name.clear();
    Path.clear();
    Sha256.clear();
}

int TProjectList::FirstCueAtOrAfter(int32_t time) const {
    const auto it = std::partition_point(cues_.begin(), cues_.end(),
                                         [time](const TScriptCue& c) { return c.Time < time; });
    return static_cast<int>(it - cues_.begin());
}

void TProjectList::MarkUsedChannels(TControls& controls) const {
    for (int i = 0; i < controls.Count(); ++i) {
        if (TCommonControl* module = controls.ModuleAt(i)) {
            module->ClearScriptMarks();
        }
    }
    for (const TScriptCue& cue : cues_) {
        if (IsMotorCue(cue.Kind) || cue.Channel < 0 || cue.Channel >= kMaxChannels) {
            continue;
        }
        TCommonDevice* device = controls.FindByAddress(cue.Module);
        if (auto* module = dynamic_cast<TCommonControl*>(device); module && device->IsModule()) {
            module->ChannelInScript[static_cast<size_t>(cue.Channel)] = 1;
        }
    }
}

}  // namespace kv
