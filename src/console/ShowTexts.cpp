#include "console/ShowTexts.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "devices/TScriptCue.h"
#include "i18n/Localizer.h"
#include "shows/TCommonPlayer.h"
#include "util/SystemUtils.h"

namespace kv {

namespace {

// The channel states of the test page (0..3), the work modes and the motor cues, in the order
// of their values.
constexpr std::array kChannelStates{Msg::ChannelStateUnknown, Msg::ChannelStateConnected,
                                    Msg::ChannelStateNotConnected, Msg::ChannelStateError};
constexpr std::array kWorkModes{Msg::ModeAutomatic, Msg::ModeManual, Msg::ModeAutomaticManual};
constexpr std::array kMotorMoves{Msg::MotorCentre, Msg::MotorLeft, Msg::MotorRight,
                                 Msg::MotorRotateLeft, Msg::MotorRotateRight};

// A value in tenths with one decimal: 1200 -> "120.0", -5 -> "-0.5". Exact, so a tempo of
// 100.1 % never reads as 100.0 %.
QString Tenths(int64_t tenths) {
    const int64_t magnitude = tenths < 0 ? -tenths : tenths;
    return QStringLiteral("%1%2.%3")
        .arg(tenths < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 10)
        .arg(magnitude % 10);
}

QString TenthsOfSeconds(int32_t ms) {
    return ClockTime(ms) + QLatin1Char('.') + QString::number((ms / 100) % 10);
}

int NeedleX(double value, double scale, int zero) {
    return static_cast<int>(RoundHalfAway(value * scale)) + zero;
}

}  // namespace

QString ClockTime(int32_t ms) {
    return TimeText(ms);
}

QString ShowTimeText(int32_t ms) {
    return TenthsOfSeconds(std::max<int32_t>(ms, 0));
}

QString RemainingScriptText(int32_t lastTime, int32_t ms) {
    ms = std::max<int32_t>(ms, 0);
    const int32_t left = lastTime <= 0 || lastTime < ms ? 0 : lastTime - ms;
    return TenthsOfSeconds(left);
}

PositionView PositionViewFor(int32_t ms, int32_t lastTime, int cueCount, int nextCue,
                             int visibleRows) {
    PositionView v;
    v.Time = ShowTimeText(ms);
    v.Remaining = RemainingScriptText(lastTime, ms);
    if (cueCount > 0 && nextCue >= 0 && nextCue < cueCount) {
        const int64_t ahead = static_cast<int64_t>(nextCue) + std::max(visibleRows, 0) / 2;
        if (ahead < cueCount) {
            v.ScrollTo = static_cast<int>(ahead);
        }
        v.Select = nextCue;
    }
    return v;
}

SoundTimeTexts SoundTimes(bool loaded, int32_t soundPosition, int32_t lengthMs) {
    if (!loaded) {
        return {ShowTimeText(0), ShowTimeText(0)};
    }
    return {ShowTimeText(soundPosition), ShowTimeText(static_cast<int32_t>(std::max<int64_t>(
                                             static_cast<int64_t>(lengthMs) - soundPosition, 0)))};
}

QString TempoLabel(int32_t tempo) {
    if (tempo == 1000) {
        return QStringLiteral("100%");
    }
    const int64_t deviation = static_cast<int64_t>(tempo) - 1000;
    return (deviation < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
           Tenths(std::llabs(deviation)) + QLatin1Char('%');
}

QString OffsetLabel(int32_t offset) {
    return QString::number(offset) + QStringLiteral(" мс");
}

QString DistanceLabel(int32_t offset) {
    // Sound covers 330 m in a second: how far from the stage the offset puts the listener.
    const double metres = std::abs(static_cast<double>(offset)) / 1000.0 * 330.0;
    return QLatin1Char('~') + QString::number(RoundHalfAway(metres)) + QStringLiteral(" м");
}

QString BatteryLabel(int percent) {
    return QString::number(percent) + QStringLiteral(" %");
}

QString TempoLogLine(int32_t tempo) {
    return Message(Msg::TempoChanged) + QLatin1Char(' ') + Tenths(tempo) + QLatin1Char('%');
}

QString OffsetLogLine(int32_t offset) {
    return Message(Msg::OffsetChanged) + QLatin1Char(' ') + QString::number(offset) +
           QStringLiteral(" ms");
}

QString StartPointLogLine(int32_t position) {
    return Message(Msg::StartPointSet) + QLatin1Char(' ') + QString::number(position) +
           QStringLiteral(" ms");
}

QString ManualFireLogLine(int32_t address, int32_t channel) {
    return Message(Msg::ManualFireModule) + QLatin1Char(' ') + QString::number(address) +
           Message(Msg::ChannelSuffix) + QLatin1Char(' ') +
           QString::number(static_cast<int64_t>(channel) + 1);
}

QString StepFireLogLine(int32_t address, int32_t channel) {
    return Message(Msg::StepFireModule) + QLatin1Char(' ') + QString::number(address) +
           Message(Msg::ChannelSuffix) + QLatin1Char(' ') +
           QString::number(static_cast<int64_t>(channel) + 1);
}

QString ForcingLogLine(bool on, int32_t address) {
    return Message(on ? Msg::ForcingOnModule : Msg::ForcingOffModule) + QLatin1Char(' ') +
           QString::number(address);
}

QString ChannelStateLogLine(int32_t address, int32_t channel, int state) {
    // States outside the four known ones read as unknown rather than as some other message.
    if (state < 0 || state > 3) {
        state = 0;
    }
    return Message(Msg::ChannelTestModule) + QLatin1Char(' ') + QString::number(address) +
           Message(Msg::ChannelSuffix) + QLatin1Char(' ') +
           QString::number(static_cast<int64_t>(channel) + 1) + Message(Msg::StateSuffix) +
           QLatin1Char(' ') + Message(kChannelStates[state]);
}

QString ModeWords(uint8_t workMode, uint8_t controlMode) {
    const int work = std::min<int>(workMode, TCommonPlayer::WorkAutomaticManual);
    const QString control = controlMode == TCommonPlayer::ControlAutonomous
                                ? Message(Msg::ControlAutonomous)
                                : Message(Msg::ControlDirect);
    return Message(kWorkModes[work]) + QStringLiteral(", ") + control;
}

QStringList StartBlockLines(const StartBlockInputs& in) {
    QStringList lines;
    lines << Message(Msg::ProjectStart);
    if (in.WorkMode != TCommonPlayer::WorkManual) {
        lines << Message(Msg::ProjectLabel) + QLatin1Char(' ') + ClockTime(in.ScriptLastTime);
    }
    if (in.SoundLoaded) {
        lines << Message(Msg::SoundtrackLabel) + QLatin1Char(' ') + in.SoundFileName +
                     QStringLiteral(" [") + ClockTime(in.SoundLength) + QLatin1Char(']');
    }
    lines << Message(Msg::ModesLabel) + QLatin1Char(' ') + ModeWords(in.WorkMode, in.ControlMode);
    lines << Message(Msg::TempoLabel) + QLatin1Char(' ') + Tenths(in.Tempo) +
                 QStringLiteral("%, ") + Message(Msg::OffsetLabel) + QLatin1Char(' ') +
                 QString::number(in.Offset) + QStringLiteral(" ms");
    return lines;
}

QString StartFromSoundLine(int32_t soundPosition) {
    return Message(Msg::StartPointBySoundtrack) + QLatin1Char(' ') + ClockTime(soundPosition);
}

QString StartPointLine(int32_t position) {
    return Message(Msg::StartPointLabel) + QLatin1Char(' ') + ClockTime(position);
}

std::array<QString, 4> CueRowTexts(const TScriptCue& cue) {
    const QString channel = IsMotorCue(cue.Kind)
                                ? Message(kMotorMoves[cue.Kind - ckCentre])
                                : QString::number(static_cast<int64_t>(cue.Channel) + 1);
    return {cue.TimeText, QString::number(cue.Module), channel, cue.Description};
}

int OffsetNeedleX(int32_t offset) {
    return NeedleX(std::clamp(offset, -5000, 5000), 0.012, 64);
}

int TempoNeedleX(int32_t tempo) {
    const int64_t deviation = std::clamp<int64_t>(static_cast<int64_t>(tempo) - 1000, -100, 100);
    return NeedleX(static_cast<double>(deviation), 0.6, 64);
}

int BatteryNeedleX(int percent) {
    return NeedleX(std::clamp(percent, 0, 100), 1.2, 4);
}

}  // namespace kv
