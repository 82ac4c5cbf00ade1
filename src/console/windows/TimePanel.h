#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>

class QLabel;

namespace kv {

class ConsoleSession;

class PointerGauge;
class TIndicator;
struct TimecodeLampState;

// The show's clocks and corrections: the show time in large figures, the time to the end of the
// script, the soundtrack's name, position and remaining time, and the tempo and offset with
// their gauges and the sound distance of the offset.
class TimePanel : public QWidget {
    Q_OBJECT
public:
    explicit TimePanel(QWidget* parent = nullptr);

    void SetShowTimes(const QString& show, const QString& remaining);
    void SetSoundTimes(const QString& position, const QString& remaining);
    // alarm: a notice in red instead of a name (no sound device).
    void SetSoundName(const QString& name, bool alarm = false);
    // The count of cues not sent in the show, under the show clock.
    void SetNotSent(const QString& text, bool alarm);
    void SetTempo(const QString& label, int needleX);
    void SetOffset(const QString& label, const QString& distance, int needleX);
    // The timecode lamp and time under the show time: locked lime, locking and not listening
    // grey, no signal and freewheeling red; hidden unless the slot follows timecode.
    void SetTimecodeLamp(const TimecodeLampState& lamp);

    QLabel* TimeLabel() const { return time_; }
    QLabel* RestLabel() const { return rest_; }
    QLabel* NotSentLabel() const { return notSent_; }
    QLabel* SoundTimeLabel() const { return soundTime_; }
    QLabel* SoundRestLabel() const { return soundRest_; }
    QLabel* SoundNameLabel() const { return soundName_; }
    QLabel* TempoLabel() const { return tempo_; }
    QLabel* OffsetLabel() const { return offset_; }
    QLabel* DistanceLabel() const { return distance_; }
    PointerGauge* TempoGauge() const { return tempoGauge_; }
    PointerGauge* OffsetGauge() const { return offsetGauge_; }
    TIndicator* TimecodeIndicator() const { return timecode_; }
    QLabel* TimecodeTimeLabel() const { return timecodeTime_; }

    // Draws the session's clocks, tempo, offset, soundtrack, not-sent count and timecode lamp,
    // each on its signal, and the soundtrack's times on a timer of its own.
    void Bind(ConsoleSession& session);
    // The first drawing, once the window is shown.
    void Start();
    void ShowPosition(int32_t ms);
    void ShowTempo();
    void ShowOffset();
    void ShowSound();

private:
    QLabel* time_;
    QLabel* rest_;
    QLabel* notSent_;
    QLabel* soundTime_;
    QLabel* soundRest_;
    QLabel* soundName_;
    QLabel* tempo_;
    QLabel* offset_;
    QLabel* distance_;
    PointerGauge* tempoGauge_;
    PointerGauge* offsetGauge_;
    TIndicator* timecode_;
    QLabel* timecodeTime_;
    void SoundTick();
    ConsoleSession* session_ = nullptr;
    QTimer soundTimer_;
};

}  // namespace kv
