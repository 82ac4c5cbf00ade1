#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace kv {

struct TScriptCue;

// Clock time of the whole seconds of ms ("0:03:25"), the milliseconds dropped.
QString ClockTime(int32_t ms);
// Show time with tenths ("0:01:05.3"); a negative time counts as 0.
QString ShowTimeText(int32_t ms);
// "До конца сценария:": lastTime - ms with tenths, 0 when lastTime is 0 or below ms.
QString RemainingScriptText(int32_t lastTime, int32_t ms);
// What a show position puts on screen: the show time, the time left to the last cue, and the
// cue list's rows: ScrollTo (NextCue plus half the visible rows, if that row exists) is brought
// into view first, then Select (NextCue) is selected and brought into view, so the next cue
// sits in the middle of the list while the show runs. -1: leave the list alone.
struct PositionView {
    QString Time;
    QString Remaining;
    int ScrollTo = -1;
    int Select = -1;
};
PositionView PositionViewFor(int32_t ms, int32_t lastTime, int cueCount, int nextCue,
                             int visibleRows);
// "Фонограмма:" and "До конца фонограммы:" values; both "0:00:00.0" without a soundtrack.
struct SoundTimeTexts {
    QString Position;
    QString Remaining;
};
SoundTimeTexts SoundTimes(bool loaded, int32_t soundPosition, int32_t lengthMs);

// Tempo label: "100%" at exactly 1000, otherwise "-0.5%" or "+2.0%" (the deviation).
QString TempoLabel(int32_t tempo);
// Offset label "150 мс" and distance label "~50 м" (sound at 330 m/s, magnitude only).
QString OffsetLabel(int32_t offset);
QString DistanceLabel(int32_t offset);
// Battery gauge label "85 %".
QString BatteryLabel(int percent);

// Log lines of the show control.
QString TempoLogLine(int32_t tempo);          // "Изменение темпа: 120.0%"
QString OffsetLogLine(int32_t offset);        // "Изменение смещения: -150 ms"
QString StartPointLogLine(int32_t position);  // "Установка точки начала: 12500 ms"
QString ManualFireLogLine(int32_t address, int32_t channel);  // channel 0-based
QString StepFireLogLine(int32_t address, int32_t channel);
QString ForcingLogLine(bool on, int32_t address);
// "Тест канала, пульт: 12, канал: 5, состояние: подключен" for state 0..3 of a channel
// (0-based); other states read as unknown.
QString ChannelStateLogLine(int32_t address, int32_t channel, int state);

// What the start block logs, line by line.
struct StartBlockInputs {
    uint8_t WorkMode = 0;
    uint8_t ControlMode = 0;
    int32_t Tempo = 1000;
    int32_t Offset = 0;
    int32_t ScriptLastTime = 0;
    bool SoundLoaded = false;
    QString SoundFileName;  // without the directory
    int32_t SoundLength = 0;
};
// "Запуск проекта", "Проект: ..." (automatic work modes only), "Фонограмма: name [0:03:25]"
// (with a soundtrack), "Режимы: ...", "Темп: 100.0%, смещение: 0 ms". The start point line
// follows the start itself (StartFromSoundLine / StartPointLine).
QStringList StartBlockLines(const StartBlockInputs& in);
QString StartFromSoundLine(int32_t soundPosition);  // "Точка запуска: по фонограмме 0:00:12"
QString StartPointLine(int32_t position);  // "Точка запуска: 0:00:12"
// The mode words: "автомат, прямое управление".
QString ModeWords(uint8_t workMode, uint8_t controlMode);

// The four cells of a cue list row: time as written, module, channel (1-based) or the motor
// move's name for kinds 50..54, description.
std::array<QString, 4> CueRowTexts(const TScriptCue& cue);

// Pointer gauges: the x of the needle inside the 128-pixel box.
int OffsetNeedleX(int32_t offset);  // offset clamped to -5000..5000 ms: 4..124
int TempoNeedleX(int32_t tempo);    // tempo - 1000 clamped to -100..100: 4..124
int BatteryNeedleX(int percent);    // 0..100: 4..124

}  // namespace kv
