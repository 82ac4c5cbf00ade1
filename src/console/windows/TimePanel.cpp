#include "console/windows/TimePanel.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "console/ConsoleSession.h"
#include "console/CueOutcomes.h"
#include "console/ShowControl.h"
#include "console/ShowTexts.h"
#include "console/SoundDeviceNotice.h"
#include "console/windows/PointerGauge.h"
#include "console/windows/TIndicator.h"
#include "console/windows/WidgetParts.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"

namespace kv {

TimePanel::TimePanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TimePanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto* showBox = new QGroupBox(QStringLiteral(" Сценарий "), this);
    showBox->setObjectName(QStringLiteral("ShowGroup"));
    auto* showGrid = new QGridLayout(showBox);
    time_ = NamedLabel(QStringLiteral("TimeLabel"), QStringLiteral("0:00:00.0"), showBox);
    time_->setFont(ScaledFont(fixed, 2.6, true));
    time_->setAlignment(Qt::AlignCenter);
    showGrid->addWidget(time_, 0, 0, 1, 2);
    showGrid->addWidget(
        NamedLabel(QStringLiteral("RestCaption"), QStringLiteral("До конца сценария:"), showBox), 1,
        0);
    rest_ = NamedLabel(QStringLiteral("RestLabel"), QStringLiteral("0:00:00.0"), showBox);
    rest_->setFont(ScaledFont(fixed, 1.3, true));
    showGrid->addWidget(rest_, 1, 1, Qt::AlignRight);
    timecode_ = new TIndicator(QStringLiteral("TimecodeLed"), QStringLiteral("TimecodeLabel"),
                               QStringLiteral("LTC"), showBox);
    showGrid->addWidget(timecode_, 2, 0);
    timecodeTime_ = NamedLabel(QStringLiteral("TimecodeTimeLabel"), QString(), showBox);
    timecodeTime_->setFont(ScaledFont(fixed, 1.3, true));
    showGrid->addWidget(timecodeTime_, 2, 1, Qt::AlignRight);
    timecode_->hide();
    timecodeTime_->hide();
    // Right under the clock: a show losing cues must be seen there, not only in the log.
    notSent_ = NamedLabel(QStringLiteral("NotSentLabel"), QString(), showBox);
    notSent_->setFont(ScaledFont(font(), 1.3, true));
    notSent_->setAlignment(Qt::AlignCenter);
    showGrid->addWidget(notSent_, 3, 0, 1, 2);
    SetNotSent(QStringLiteral("Не отправлено: 0"), false);
    layout->addWidget(showBox);

    auto* soundBox = new QGroupBox(QStringLiteral(" Фонограмма "), this);
    soundBox->setObjectName(QStringLiteral("SoundGroup"));
    auto* soundGrid = new QGridLayout(soundBox);
    soundName_ = NamedLabel(QStringLiteral("SoundNameLabel"), QString(), soundBox);
    soundName_->setFont(ScaledFont(font(), 1.1, true));
    soundName_->setMinimumWidth(1);
    soundGrid->addWidget(soundName_, 0, 0, 1, 2);
    soundGrid->addWidget(
        NamedLabel(QStringLiteral("SoundTimeCaption"), QStringLiteral("Фонограмма:"), soundBox), 1,
        0);
    soundTime_ =
        NamedLabel(QStringLiteral("SoundTimeLabel"), QStringLiteral("0:00:00.0"), soundBox);
    soundTime_->setFont(ScaledFont(fixed, 1.3, true));
    soundGrid->addWidget(soundTime_, 1, 1, Qt::AlignRight);
    soundGrid->addWidget(NamedLabel(QStringLiteral("SoundRestCaption"),
                                    QStringLiteral("До конца фонограммы:"), soundBox),
                         2, 0);
    soundRest_ =
        NamedLabel(QStringLiteral("SoundRestLabel"), QStringLiteral("0:00:00.0"), soundBox);
    soundRest_->setFont(ScaledFont(fixed, 1.3, true));
    soundGrid->addWidget(soundRest_, 2, 1, Qt::AlignRight);
    layout->addWidget(soundBox);

    auto* correctionBox = new QGroupBox(QStringLiteral(" Коррекция "), this);
    correctionBox->setObjectName(QStringLiteral("CorrectionGroup"));
    auto* grid = new QGridLayout(correctionBox);
    const QFont big = ScaledFont(font(), 1.3, true);
    grid->addWidget(
        NamedLabel(QStringLiteral("TempoCaption"), QStringLiteral("Темп:"), correctionBox), 0, 0);
    tempo_ = NamedLabel(QStringLiteral("TempoLabel"), QStringLiteral("100%"), correctionBox);
    tempo_->setFont(big);
    grid->addWidget(tempo_, 0, 1);
    tempoGauge_ = new PointerGauge(PointerGauge::Scale::Centred, correctionBox);
    tempoGauge_->setObjectName(QStringLiteral("TempoGauge"));
    grid->addWidget(tempoGauge_, 0, 2, 1, 2);
    grid->addWidget(
        NamedLabel(QStringLiteral("OffsetCaption"), QStringLiteral("Смещение:"), correctionBox), 1,
        0);
    offset_ = NamedLabel(QStringLiteral("OffsetLabel"), QStringLiteral("0 мс"), correctionBox);
    offset_->setFont(big);
    grid->addWidget(offset_, 1, 1);
    offsetGauge_ = new PointerGauge(PointerGauge::Scale::Centred, correctionBox);
    offsetGauge_->setObjectName(QStringLiteral("OffsetGauge"));
    grid->addWidget(offsetGauge_, 1, 2, 1, 2);
    distance_ = NamedLabel(QStringLiteral("DistanceLabel"), QStringLiteral("~0 м"), correctionBox);
    distance_->setFont(big);
    grid->addWidget(distance_, 2, 1);
    grid->setColumnStretch(1, 1);
    layout->addWidget(correctionBox);
    layout->addStretch(1);
}

void TimePanel::SetShowTimes(const QString& show, const QString& remaining) {
    time_->setText(show);
    rest_->setText(remaining);
}

void TimePanel::SetNotSent(const QString& text, bool alarm) {
    notSent_->setText(text);
    notSent_->setStyleSheet(alarm ? QStringLiteral("QLabel { background: #d00000; color: white; "
                                                   "padding: 2px; }")
                                  : QStringLiteral("QLabel { color: #606060; padding: 2px; }"));
}

void TimePanel::SetSoundTimes(const QString& position, const QString& remaining) {
    soundTime_->setText(position);
    soundRest_->setText(remaining);
}

void TimePanel::SetSoundName(const QString& name, bool alarm) {
    soundName_->setText(name);
    soundName_->setWordWrap(alarm);
    soundName_->setStyleSheet(alarm ? QStringLiteral("QLabel { color: #d00000; }") : QString());
}

void TimePanel::SetTempo(const QString& label, int needleX) {
    tempo_->setText(label);
    tempoGauge_->SetNeedleX(needleX);
}

void TimePanel::SetOffset(const QString& label, const QString& distance, int needleX) {
    offset_->setText(label);
    distance_->setText(distance);
    offsetGauge_->SetNeedleX(needleX);
}

void TimePanel::SetTimecodeLamp(const TimecodeLampState& lamp) {
    timecode_->setVisible(lamp.Shown);
    timecodeTime_->setVisible(lamp.Shown);
    TShape::Look look = TShape::Look::Off;
    if (lamp.Listening) {
        switch (lamp.Signal) {
            case TimecodeSignal::Locked:
                look = TShape::Look::On;
                break;
            case TimecodeSignal::Locking:
                look = TShape::Look::Off;
                break;
            case TimecodeSignal::NoSignal:
            case TimecodeSignal::Freewheeling:
            case TimecodeSignal::OwnClock:
                look = TShape::Look::Alarm;
                break;
        }
    }
    timecode_->SetLook(look);
    timecode_->Label()->setText(lamp.Caption);
    timecodeTime_->setText(lamp.Time);
}

}  // namespace kv

namespace kv {

namespace {

constexpr int kSoundTickMs = 200;

}  // namespace

void TimePanel::Bind(ConsoleSession& session) {
    session_ = &session;
    ShowControl& show = session.Show();
    connect(&show, &ShowControl::PositionChanged, this, &TimePanel::ShowPosition);
    connect(&show, &ShowControl::TempoChanged, this, &TimePanel::ShowTempo);
    connect(&show, &ShowControl::OffsetChanged, this, &TimePanel::ShowOffset);
    connect(&show, &ShowControl::SoundChanged, this, &TimePanel::ShowSound);
    const auto lamp = [this] { SetTimecodeLamp(session_->Show().TimecodeLamp()); };
    connect(&show, &ShowControl::TimecodeLampChanged, this, lamp);
    connect(&show, &ShowControl::ShowViewChanged, this, lamp);
    connect(&show, &ShowControl::PlayStateChanged, this, [this, lamp] {
        SoundTick();
        lamp();
    });
    const auto notSent = [this] {
        const NotSentLook look = NotSentLookFor(session_->Outcomes().NotSentCount());
        SetNotSent(look.Text, look.Alarm);
    };
    connect(&session, &ConsoleSession::CueOutcomeChanged, this, notSent);
    connect(&session, &ConsoleSession::OutcomesCleared, this, notSent);
    soundTimer_.setInterval(kSoundTickMs);
    connect(&soundTimer_, &QTimer::timeout, this, &TimePanel::SoundTick);
}

void TimePanel::Start() {
    if (session_->State().SoundReady) {
        soundTimer_.start();
    }
    ShowPosition(0);
    ShowSound();
    ShowTempo();
    ShowOffset();
}

void TimePanel::ShowPosition(int32_t ms) {
    const TProjectList& project = session_->Show().CurrentProject();
    SetShowTimes(ShowTimeText(ms), RemainingScriptText(project.LastTime(), ms < 0 ? 0 : ms));
    SetTimecodeLamp(session_->Show().TimecodeLamp());
}

void TimePanel::ShowTempo() {
    const int32_t tempo = session_->Player().Tempo();
    SetTempo(kv::TempoLabel(tempo), TempoNeedleX(tempo));
}

void TimePanel::ShowOffset() {
    const int32_t offset = session_->Player().Offset;
    SetOffset(kv::OffsetLabel(offset), kv::DistanceLabel(offset), OffsetNeedleX(offset));
}

void TimePanel::ShowSound() {
    const SoundDeviceNotice notice = SoundDeviceNoticeFor(session_->State().SoundReady);
    if (notice.Status.isEmpty()) {
        SetSoundName(session_->Show().SoundName());
    } else {
        SetSoundName(notice.Status, true);
        soundName_->setToolTip(notice.ToolTip);
    }
    SoundTick();
}

void TimePanel::SoundTick() {
    TBassPlayer& sound = session_->Player().Sound();
    const SoundTimeTexts texts =
        SoundTimes(sound.Loaded(), sound.SoundPosition(), sound.LengthMs());
    SetSoundTimes(texts.Position, texts.Remaining);
}

}  // namespace kv
