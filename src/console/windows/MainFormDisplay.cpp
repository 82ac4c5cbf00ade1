// The main window's refreshes: what each panel shows, computed by the console's display rules
// and drawn here.

#include <QAction>
#include <QLabel>
#include <QPushButton>

#include "console/ConsoleWiring.h"
#include "console/DeviceRowText.h"
#include "console/IndicatorLooks.h"
#include "console/ManualKeyLooks.h"
#include "console/MemoryOperations.h"
#include "console/ShowControl.h"
#include "console/ShowTexts.h"
#include "console/SoundDeviceNotice.h"
#include "console/windows/CommandButtons.h"
#include "console/windows/CueListView.h"
#include "console/windows/DevicePanel.h"
#include "console/windows/ManualKeyPanel.h"
#include "console/windows/PointerGauge.h"
#include "console/windows/SlotStrip.h"
#include "console/windows/StatusPanel.h"
#include "console/windows/TIndicator.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TestModePanel.h"
#include "console/windows/TimePanel.h"
#include "console/windows/UiLooks.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"
#include "shows/TProjects.h"

namespace kv {

namespace {

void SetLed(StatusPanel& status, const char* name, Look look) {
    status.SetLook(QString::fromLatin1(name), ShapeLook(look));
}

void SetLedIf(StatusPanel& status, const char* name, const std::optional<Look>& look) {
    if (look) {
        SetLed(status, name, *look);
    }
}

}  // namespace

void TMainForm::RefreshButtons() {
    // While a memory operation has the bus nothing but the stop is enabled (the rules say so).
    const ButtonEnabling b = show_->Buttons();
    buttons_->TestBtn->setEnabled(b.Test);
    buttons_->SearchBtn->setEnabled(b.Search || wiring_->Searching);
    buttons_->ProjectBtn->setEnabled(b.Project);
    buttons_->SoundBtn->setEnabled(b.Sound && state_.SoundReady);
    // A greyed soundtrack key says why when the device is missing.
    const QString soundWhy = SoundDeviceNoticeFor(state_.SoundReady).ToolTip;
    buttons_->SoundBtn->setToolTip(soundWhy);
    testPanel_->SoundTestBtn->setToolTip(soundWhy);
    buttons_->BeginBtn->setEnabled(b.Begin);
    buttons_->StartBtn->setEnabled(b.Start);
    buttons_->StopBtn->setEnabled(b.Stop);
    buttons_->SaveBtn->setEnabled(b.Save);
    buttons_->CheckBtn->setEnabled(b.Check);
    int modules = 0;
    for (int i = 0; i < wiring_->Controls().Count(); ++i) {
        modules += wiring_->Controls().ModuleAt(i) != nullptr ? 1 : 0;
    }
    testPanel_->SetEnabled(TestModePanel::FromButtons(
        b, !wiring_->Testing && !wiring_->Searching && modules > 0 && !wiring_->BusHeld));
    // In launch mode the cue list holds the keyboard: the arrow keys move its selection.
    if (!wiring_->TestMode && isVisible()) {
        cues_->setFocus();
    }
    RefreshModeIndicators();
    ActionListUpdate();
}

void TMainForm::ActionListUpdate() {
    const ActionEnabling a = show_->Actions();
    const std::pair<const char*, bool> rules[] = {
        {"ControlAction", a.Control},   {"ModeAction", a.Mode},
        {"ColorAction", a.Color},       {"ExitAction", a.Exit},
        {"PowerUpGlobal", a.PowerUp},   {"PowerDownGlobal", a.PowerDown},
        {"DebugAction", a.Debug},       {"ExtStartAction", a.ExtStart},
        {"ClearMemAction", a.ClearMem}, {"ReadMemLogAction", a.ReadMemLog},
        {"SavePDUAction", a.SavePDU},   {"CheckPDUAction", a.CheckPDU},
    };
    for (const auto& [name, enabled] : rules) {
        if (QAction* action = FindAction(QString::fromLatin1(name))) {
            action->setEnabled(enabled);
        }
    }
}

void TMainForm::RefreshModeIndicators() {
    const ModeIndicators m = show_->ModeLooks();
    status_->WaitLabel()->setText(m.WaitLabel);
    SetLed(*status_, "WaitLed", m.Wait);
    SetLed(*status_, "WorkLed", m.Work);
    SetLed(*status_, "WorkAutoLed", m.WorkAuto);
    SetLed(*status_, "WorkManualLed", m.WorkManual);
    SetLed(*status_, "DirectLed", m.Direct);
    SetLed(*status_, "AutoLed", m.Autonomous);
    SetLedIf(*status_, "SoundPlayLed", m.SoundPlay);
}

void TMainForm::RebuildDeviceRows() {
    TControls& controls = wiring_->Controls();
    std::vector<int> rows;
    for (int i = 0; i < controls.Count(); ++i) {
        if (controls.ModuleAt(i) != nullptr) {
            rows.push_back(i);
        }
    }
    devices_->SetRows(rows);
    std::vector<int> addresses;
    for (int index : rows) {
        addresses.push_back(controls.ModuleAt(index)->Address);
    }
    freshness_.SetDevices(addresses);
    for (int index : rows) {
        RefreshDeviceRow(index);
    }
    RefreshDeviceTotal();
    presence_ = PresenceAfterRebuild(controls);
    SetLed(*status_, "PDURLed", presence_.Remote);
    SetLed(*status_, "RadioLed", presence_.Radio);
    for (int i = 0; i < PresenceLeds::kRadioUnits; ++i) {
        status_->RadioUnit(240 + i)->SetLook(
            ShapeLook(presence_.RadioUnits[static_cast<size_t>(i)]));
    }
    RefreshSummaryLeds();
    RefreshManualKeys();
    RefreshButtons();
}

void TMainForm::RefreshDeviceRow(int deviceIndex) {
    TControls& controls = wiring_->Controls();
    if (const TCommonControl* module = controls.ModuleAt(deviceIndex)) {
        const DeviceRowFields fields = DeviceRowFields::FromControl(*module);
        if (freshness_.Stale(module->Address)) {
            devices_->SetStaleRow(deviceIndex, StaleRowText(kv::DeviceRowText(fields),
                                                            freshness_.Misses(module->Address),
                                                            wiring_->ConverterFault));
        } else {
            devices_->SetRow(deviceIndex, fields);
        }
        return;
    }
    PresenceAfterPoll(presence_, controls, deviceIndex);
    SetLed(*status_, "PDURLed", presence_.Remote);
    SetLed(*status_, "RadioLed", presence_.Radio);
    for (int i = 0; i < PresenceLeds::kRadioUnits; ++i) {
        status_->RadioUnit(240 + i)->SetLook(
            ShapeLook(presence_.RadioUnits[static_cast<size_t>(i)]));
    }
}

void TMainForm::RefreshDeviceTotal() {
    devices_->SetTotal(GetText(2, QStringLiteral("Всего подключенных устройств:")) +
                       QLatin1Char(' ') + QString::number(wiring_->Controls().Count()) +
                       StaleCountSuffix(freshness_.StaleCount()));
}

void TMainForm::MarkCue(int cue, CueOutcomes::Outcome outcome) {
    cueOutcomes_.CueDone(cue, outcome);
    cues_->SetOutcome(cue, CueRowLookFor(cueOutcomes_.At(cue)));
    RefreshNotSent();
}

void TMainForm::RefreshNotSent() {
    const NotSentLook look = NotSentLookFor(cueOutcomes_.NotSentCount());
    times_->SetNotSent(look.Text, look.Alarm);
}

void TMainForm::RefreshSummaryLeds() {
    const SummaryLeds leds = SummaryLedLooks(wiring_->Controls());
    SetLed(*status_, "PowerLed", leds.Power);
    SetLed(*status_, "LinkLed", leds.Link);
    SetLed(*status_, "ForceLed", leds.Forcing);
}

void TMainForm::RefreshShowView() {
    for (int k = 0; k < ConsoleState::kSlots; ++k) {
        const TProjectList& project = projects_->Project(k);
        const SlotView view =
            SlotViewFor(k == state_.CurrentSlot, project.Count(), project.LastTime(),
                        state_.Slots[static_cast<size_t>(k)].SoundLength);
        slots_->SetSlot(k, view.Led == Look::On, view.ProjectText, view.SoundText);
    }
    const TProjectList& project = show_->CurrentProject();
    projectName_->setText(project.Name);
    times_->SetTimecodeLamp(show_->TimecodeLamp());
    std::vector<CueListView::Row> rows;
    rows.reserve(static_cast<size_t>(project.Count()));
    for (int i = 0; i < project.Count(); ++i) {
        const auto cells = CueRowTexts(project.Cue(i));
        rows.push_back({cells[0], cells[1], cells[2], cells[3]});
    }
    cues_->SetRows(rows);
    cueOutcomes_.Reset(project.Count());
    RefreshNotSent();
    project.MarkUsedChannels(wiring_->Controls());
}

void TMainForm::ShowPosition(int32_t ms) {
    const TProjectList& project = show_->CurrentProject();
    times_->SetShowTimes(ShowTimeText(ms),
                         RemainingScriptText(project.LastTime(), ms < 0 ? 0 : ms));
    times_->SetTimecodeLamp(show_->TimecodeLamp());
    if (project.Count() > 0 && player_->NextCue < project.Count()) {
        cues_->CentreOn(player_->NextCue);
    }
}

void TMainForm::RefreshManualKeys() {
    const ManualKeyboardView view = ManualKeyboard(wiring_->Controls(), player_->WorkMode,
                                                   state_.ManualDevice, state_.ManualPage);
    manualKeys_->setVisible(view.PanelsVisible && !wiring_->TestMode);
    manualKeys_->SetCaptions(view.CaptionsVisible ? view.ModuleText : QString(), view.PageText);
    const QPalette palette = manualKeys_->palette();
    for (int i = 0; i < ManualKeyPanel::kKeys; ++i) {
        const ManualKeyLook& look = view.Keys[static_cast<size_t>(i)];
        manualKeys_->SetKey(i, {ToQColor(look.Letter, palette), ToQColor(look.Shape, palette),
                                ToQColor(look.Number, palette), look.NumberText});
    }
}

void TMainForm::RefreshManualKey(int32_t address, int32_t channel) {
    const auto update = ManualKeyAfterChange(wiring_->Controls(), state_.ManualDevice,
                                             state_.ManualPage, address, channel);
    if (!update) {
        return;
    }
    const QPalette palette = manualKeys_->palette();
    const ManualKeyLook& look = update->Look;
    manualKeys_->SetKey(update->Index,
                        {ToQColor(look.Letter, palette), ToQColor(look.Shape, palette),
                         ToQColor(look.Number, palette), look.NumberText});
}

void TMainForm::RefreshSound() {
    const bool loaded = show_->SoundLoaded();
    SetLed(*status_, "SoundLoadedLed", loaded ? Look::On : Look::Off);
    const SoundDeviceNotice notice = SoundDeviceNoticeFor(state_.SoundReady);
    if (notice.Status.isEmpty()) {
        times_->SetSoundName(show_->SoundName());
    } else {
        times_->SetSoundName(notice.Status, true);
        times_->SoundNameLabel()->setToolTip(notice.ToolTip);
    }
    SoundTimerTick();
}

void TMainForm::RefreshTempo() {
    times_->SetTempo(TempoLabel(player_->Tempo()), TempoNeedleX(player_->Tempo()));
}

void TMainForm::RefreshOffset() {
    times_->SetOffset(OffsetLabel(player_->Offset), DistanceLabel(player_->Offset),
                      OffsetNeedleX(player_->Offset));
}

void TMainForm::RefreshBattery() {
    status_->BatteryGauge()->SetNeedleX(BatteryNeedleX(state_.PcBatteryPercent));
    status_->BatteryLabel()->setText(BatteryLabel(state_.PcBatteryPercent));
}

void TMainForm::SoundTimerTick() {
    TBassPlayer& sound = player_->Sound();
    const bool loaded = sound.Loaded();
    const bool playing = loaded && sound.IsSoundPlaying();
    SetLed(*status_, "SyncLed",
           SyncLook(loaded, playing, sound.SoundPosition(), player_->Position));
    const SoundTimeTexts texts = SoundTimes(loaded, sound.SoundPosition(), sound.LengthMs());
    times_->SetSoundTimes(texts.Position, texts.Remaining);
    SetLedIf(*status_, "SoundPlayLed", SoundPlayLookAtSoundTick(playing, state_.LaunchState));
}

void TMainForm::ErrFlashTimerTick() {
    BlinkInputs in;
    in.Searching = wiring_->Searching;
    in.LaunchState = state_.LaunchState;
    in.SoundLoaded = player_->Sound().Loaded();
    in.SoundPlaying = in.SoundLoaded && player_->Sound().IsSoundPlaying();
    in.ConverterFault = wiring_->ConverterFault;
    const BlinkEffects effects = BlinkTick(state_.BlinkPhase, in);
    state_.BlinkPhase = effects.Phase;
    SetLedIf(*status_, "WaitLed", effects.Wait);
    SetLedIf(*status_, "WorkLed", effects.Work);
    SetLedIf(*status_, "SoundPlayLed", effects.SoundPlay);
    if (effects.Rs485) {
        status_->Rs485()->SetLook(ShapeLook(*effects.Rs485));
    }
}

}  // namespace kv
