#include "console/windows/StatusPanel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "console/ConsoleSession.h"
#include "console/ConsoleWiring.h"
#include "console/ShowControl.h"
#include "console/ShowTexts.h"
#include "console/windows/PointerGauge.h"
#include "console/windows/TIndicator.h"
#include "console/windows/UiLooks.h"
#include "devices/TControls.h"
#include "shows/TExtPlayer.h"

namespace kv {

StatusPanel::StatusPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StatusPanel"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QFont bold = font();
    bold.setBold(true);

    auto* modes = new QGroupBox(QStringLiteral(" Режим "), this);
    modes->setObjectName(QStringLiteral("ModeGroup"));
    auto* modeGrid = new QGridLayout(modes);
    modeGrid->addWidget(Add(modes, Lamp::Wait, "WaitLed", "WaitLabel", QStringLiteral("Ожидание")),
                        0, 0);
    modeGrid->addWidget(Add(modes, Lamp::Work, "WorkLed", "WorkLabel", QStringLiteral("Работа")), 1,
                        0);
    modeGrid->addWidget(
        Add(modes, Lamp::WorkAuto, "WorkAutoLed", "WorkAutoLabel", QStringLiteral("Автомат")), 0,
        1);
    modeGrid->addWidget(Add(modes, Lamp::WorkManual, "WorkManualLed", "WorkManualLabel",
                            QStringLiteral("Ручной запуск")),
                        1, 1);
    modeGrid->addWidget(
        Add(modes, Lamp::Direct, "DirectLed", "DirectLabel", QStringLiteral("Прямое упр.")), 0, 2);
    modeGrid->addWidget(
        Add(modes, Lamp::Autonomous, "AutoLed", "AutoLabel", QStringLiteral("Автономный")), 1, 2);
    layout->addWidget(modes);

    auto* bus = new QGroupBox(QStringLiteral(" Шина "), this);
    bus->setObjectName(QStringLiteral("BusGroup"));
    auto* busGrid = new QGridLayout(bus);
    auto* rs485Box = new QWidget(bus);
    auto* rs485Layout = new QHBoxLayout(rs485Box);
    rs485Layout->setContentsMargins(0, 0, 0, 0);
    rs485Layout->setSpacing(5);
    rs485_ = new TShape(rs485Box);
    rs485_->setObjectName(QStringLiteral("RS485"));
    rs485_->setFixedSize(18, 18);
    rs485Label_ = new QLabel(QStringLiteral("RS485"), rs485Box);
    rs485Label_->setObjectName(QStringLiteral("RS485Label"));
    rs485Layout->addWidget(rs485_);
    rs485Layout->addWidget(rs485Label_);
    rs485Layout->addStretch(1);
    busGrid->addWidget(rs485Box, 0, 0);
    busGrid->addWidget(Add(bus, Lamp::Remote, "PDURLed", "PDURLabel", QStringLiteral("ПДУ(Р)")), 1,
                       0);
    busGrid->addWidget(Add(bus, Lamp::Power, "PowerLed", "PowerLabel", QStringLiteral("Питание")),
                       0, 1);
    busGrid->addWidget(Add(bus, Lamp::Link, "LinkLed", "LinkLabel", QStringLiteral("Связь")), 1, 1);
    busGrid->addWidget(Add(bus, Lamp::Forcing, "ForceLed", "ForceLabel", QStringLiteral("Форсир.")),
                       0, 2);
    busGrid->addWidget(Add(bus, Lamp::Radio, "RadioLed", "RadioLabel", QStringLiteral("Радио")), 1,
                       2);
    auto* radios = new QWidget(bus);
    auto* radioGrid = new QGridLayout(radios);
    radioGrid->setContentsMargins(0, 0, 0, 0);
    radioGrid->setSpacing(1);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    for (int i = 0; i < 15; ++i) {
        auto* shape = new TShape(radios, TShape::Form::Rectangle);
        shape->setObjectName(QStringLiteral("R%1").arg(240 + i));
        shape->setToolTip(QStringLiteral("R%1").arg(240 + i));
        shape->setFixedSize(12, 12);
        radioUnits_[static_cast<size_t>(i)] = shape;
        radioGrid->addWidget(shape, i / 8, i % 8);
    }
    busGrid->addWidget(radios, 0, 3, 2, 1);
    layout->addWidget(bus);

    auto* sound = new QGroupBox(QStringLiteral(" Звук "), this);
    sound->setObjectName(QStringLiteral("SoundLedGroup"));
    auto* soundGrid = new QGridLayout(sound);
    soundGrid->addWidget(
        Add(sound, Lamp::SoundReady, "SoundReadyLed", "SoundReadyLabel", QStringLiteral("Аудио")),
        0, 0);
    soundGrid->addWidget(Add(sound, Lamp::SoundLoaded, "SoundLoadedLed", "SoundLoadedLabel",
                             QStringLiteral("Загружена")),
                         1, 0);
    soundGrid->addWidget(
        Add(sound, Lamp::SoundPlay, "SoundPlayLed", "SoundPlayLabel", QStringLiteral("Воспр.")), 0,
        1);
    soundGrid->addWidget(Add(sound, Lamp::Sync, "SyncLed", "SyncLabel", QStringLiteral("Синхр.")),
                         1, 1);
    layout->addWidget(sound);

    auto* power = new QGroupBox(QStringLiteral(" Питание ПК "), this);
    power->setObjectName(QStringLiteral("PcPowerGroup"));
    auto* powerGrid = new QGridLayout(power);
    batteryGauge_ = new PointerGauge(PointerGauge::Scale::Percent, power);
    batteryGauge_->setObjectName(QStringLiteral("BatteryGauge"));
    batteryLabel_ = new QLabel(QStringLiteral("100 %"), power);
    batteryLabel_->setObjectName(QStringLiteral("BatteryLabel"));
    batteryLabel_->setFont(bold);
    powerGrid->addWidget(
        Add(power, Lamp::Mains, "MainsLed", "MainsLabel", QStringLiteral("От сети")), 0, 0);
    powerGrid->addWidget(
        Add(power, Lamp::Battery, "BatteryLed", "BatteryLedLabel", QStringLiteral("Батарея")), 1,
        0);
    powerGrid->addWidget(
        Add(power, Lamp::Charging, "ChargeLed", "ChargeLabel", QStringLiteral("Зарядка")), 2, 0);
    powerGrid->addWidget(batteryGauge_, 0, 1, 3, 1);
    powerGrid->addWidget(batteryLabel_, 0, 2, 3, 1);
    layout->addWidget(power);
    layout->addStretch(1);

    for (TIndicator* indicator : lamps_) {
        indicator->Label()->setFont(bold);
    }
}

TIndicator* StatusPanel::Add(QWidget* box, Lamp lamp, const char* led, const char* label,
                             const QString& text) {
    auto* indicator =
        new TIndicator(QString::fromLatin1(led), QString::fromLatin1(label), text, box);
    lamps_[static_cast<size_t>(lamp)] = indicator;
    return indicator;
}

TIndicator* StatusPanel::Indicator(Lamp lamp) const {
    return lamps_[static_cast<size_t>(lamp)];
}

void StatusPanel::SetLook(Lamp lamp, TShape::Look look) {
    Indicator(lamp)->SetLook(look);
}

TShape::Look StatusPanel::LookOf(Lamp lamp) const {
    return Indicator(lamp)->Look();
}

TShape* StatusPanel::RadioUnit(int address) const {
    return address >= 240 && address <= 254 ? radioUnits_[static_cast<size_t>(address - 240)]
                                            : nullptr;
}

QLabel* StatusPanel::WaitLabel() const {
    return Indicator(Lamp::Wait)->Label();
}

}  // namespace kv

namespace kv {

namespace {

constexpr int kBlinkMs = 700;
constexpr int kSoundTickMs = 200;

}  // namespace

void StatusPanel::Bind(ConsoleSession& session) {
    session_ = &session;
    ShowControl& show = session.Show();
    ConsoleWiring& wiring = session.Wiring();
    connect(&show, &ShowControl::ButtonsChanged, this, &StatusPanel::ShowModes);
    connect(&show, &ShowControl::ModesChanged, this, &StatusPanel::ShowModes);
    connect(&show, &ShowControl::SoundChanged, this, &StatusPanel::ShowSound);
    connect(&show, &ShowControl::PlayStateChanged, this, &StatusPanel::SoundTick);
    connect(&wiring, &ConsoleWiring::SummaryChanged, this, &StatusPanel::ShowSummary);
    connect(&wiring, &ConsoleWiring::DeviceListChanged, this, [this] {
        presence_ = PresenceAfterRebuild(session_->Wiring().Controls());
        ShowPresence();
        ShowSummary();
    });
    connect(&wiring, &ConsoleWiring::DevicePolled, this, [this](int index) {
        const TControls& controls = session_->Wiring().Controls();
        if (controls.ModuleAt(index) == nullptr) {
            PresenceAfterPoll(presence_, controls, index);
            ShowPresence();
        }
    });
    connect(&wiring, &ConsoleWiring::SearchEnded, this, [this] {
        SetLook(Lamp::Remote, session_->Wiring().Controls().HasRemoteControl() != 0
                                  ? TShape::Look::On
                                  : TShape::Look::Off);
    });
    connect(&wiring, &ConsoleWiring::ConverterStateChanged, this,
            [this](const QString& label, bool fault) {
                rs485Label_->setText(label);
                rs485_->SetLook(fault ? TShape::Look::Alarm : TShape::Look::On);
            });
    connect(&session, &ConsoleSession::PowerChanged, this, &StatusPanel::ShowPower);
    blinkTimer_.setInterval(kBlinkMs);
    connect(&blinkTimer_, &QTimer::timeout, this, &StatusPanel::Blink);
    blinkTimer_.start();
    soundTimer_.setInterval(kSoundTickMs);
    connect(&soundTimer_, &QTimer::timeout, this, &StatusPanel::SoundTick);
}

void StatusPanel::Start() {
    const bool ready = session_->State().SoundReady;
    SetLook(Lamp::SoundReady, ready ? TShape::Look::On : TShape::Look::Alarm);
    if (ready) {
        soundTimer_.start();
    }
    ShowModes();
    ShowSound();
    ShowPower();
}

void StatusPanel::ShowModes() {
    const ModeIndicators m = session_->Show().ModeLooks();
    WaitLabel()->setText(m.WaitLabel);
    SetLook(Lamp::Wait, ShapeLook(m.Wait));
    SetLook(Lamp::Work, ShapeLook(m.Work));
    SetLook(Lamp::WorkAuto, ShapeLook(m.WorkAuto));
    SetLook(Lamp::WorkManual, ShapeLook(m.WorkManual));
    SetLook(Lamp::Direct, ShapeLook(m.Direct));
    SetLook(Lamp::Autonomous, ShapeLook(m.Autonomous));
    SetLookIf(Lamp::SoundPlay, m.SoundPlay);
}

void StatusPanel::ShowSummary() {
    const SummaryLeds leds = SummaryLedLooks(session_->Wiring().Controls());
    SetLook(Lamp::Power, ShapeLook(leds.Power));
    SetLook(Lamp::Link, ShapeLook(leds.Link));
    SetLook(Lamp::Forcing, ShapeLook(leds.Forcing));
}

void StatusPanel::ShowPresence() {
    SetLook(Lamp::Remote, ShapeLook(presence_.Remote));
    SetLook(Lamp::Radio, ShapeLook(presence_.Radio));
    for (int i = 0; i < PresenceLeds::kRadioUnits; ++i) {
        RadioUnit(240 + i)->SetLook(ShapeLook(presence_.RadioUnits[static_cast<size_t>(i)]));
    }
}

void StatusPanel::ShowSound() {
    SetLook(Lamp::SoundLoaded,
            session_->Show().SoundLoaded() ? TShape::Look::On : TShape::Look::Off);
    SoundTick();
}

void StatusPanel::ShowPower() {
    const auto look = [](PowerLamp lamp) {
        switch (lamp) {
            case PowerLamp::On:
                return TShape::Look::On;
            case PowerLamp::Alarm:
                return TShape::Look::Alarm;
            case PowerLamp::Off:
                break;
        }
        return TShape::Look::Off;
    };
    const PowerLamps& lamps = session_->Power();
    SetLook(Lamp::Mains, look(lamps.mains));
    SetLook(Lamp::Battery, look(lamps.battery));
    SetLook(Lamp::Charging, look(lamps.charging));
    const int percent = session_->State().PcBatteryPercent;
    batteryGauge_->SetNeedleX(BatteryNeedleX(percent));
    batteryLabel_->setText(kv::BatteryLabel(percent));
}

void StatusPanel::SoundTick() {
    TExtPlayer& player = session_->Player();
    TBassPlayer& sound = player.Sound();
    const bool loaded = sound.Loaded();
    const bool playing = loaded && sound.IsSoundPlaying();
    SetLook(Lamp::Sync,
            ShapeLook(SyncLook(loaded, playing, sound.SoundPosition(), player.Position)));
    SetLookIf(Lamp::SoundPlay, SoundPlayLookAtSoundTick(playing, session_->State().LaunchState));
}

void StatusPanel::Blink() {
    if (session_ == nullptr) {
        return;
    }
    ConsoleState& state = session_->State();
    TExtPlayer& player = session_->Player();
    BlinkInputs in;
    in.Searching = session_->Wiring().Searching();
    in.LaunchState = state.LaunchState;
    in.SoundLoaded = player.Sound().Loaded();
    in.SoundPlaying = in.SoundLoaded && player.Sound().IsSoundPlaying();
    in.ConverterFault = session_->Wiring().ConverterFault();
    const BlinkEffects effects = BlinkTick(state.BlinkPhase, in);
    state.BlinkPhase = effects.Phase;
    SetLookIf(Lamp::Wait, effects.Wait);
    SetLookIf(Lamp::Work, effects.Work);
    SetLookIf(Lamp::SoundPlay, effects.SoundPlay);
    if (effects.Rs485) {
        rs485_->SetLook(ShapeLook(*effects.Rs485));
    }
}

void StatusPanel::SetLookIf(Lamp lamp, const std::optional<kv::Look>& look) {
    if (look) {
        SetLook(lamp, ShapeLook(*look));
    }
}

}  // namespace kv
