#include "console/windows/TMainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <array>

#include "console/AutonomousArmCheck.h"
#include "console/ConsoleWiring.h"
#include "console/DebugSyncTest.h"
#include "console/DeviceMaintenance.h"
#include "console/MainFormTexts.h"
#include "console/MemoryOperations.h"
#include "console/PowerLamps.h"
#include "console/ShowControl.h"
#include "console/ShowRecorder.h"
#include "console/windows/CommandButtons.h"
#include "console/windows/CueListView.h"
#include "console/windows/DevicePanel.h"
#include "console/windows/ManualKeyPanel.h"
#include "console/windows/SearchPanel.h"
#include "console/windows/ShowSummaryForm.h"
#include "console/windows/SlotStrip.h"
#include "console/windows/StatusPanel.h"
#include "console/windows/TDebugForm.h"
#include "console/windows/TExtStartForm.h"
#include "console/windows/TLocalizer.h"
#include "console/windows/TPresentWarningForm.h"
#include "console/windows/TTimerForm.h"
#include "console/windows/TWarningForm.h"
#include "console/windows/TestModePanel.h"
#include "console/windows/TimePanel.h"
#include "console/windows/WidgetParts.h"
#include "console/windows/WindowTranslator.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/LogName.h"
#include "devices/ChannelClassifier.h"
#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "shows/AudioSystem.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjects.h"
#include "timecode/TimecodeSlotSettings.h"
#include "util/IniFile.h"
#include "util/SystemUtils.h"

namespace kv {

namespace {

QString SettingsFileOf(const TMainForm::Options& options) {
    return !options.settingsFile.isEmpty()
               ? options.settingsFile
               : QDir(options.programDir).filePath(QStringLiteral("kelvanex.ini"));
}

}  // namespace

namespace {

// The window system's idle-time action update, done on a short timer instead: the enabling
// rules read state that several objects change.
constexpr int kActionUpdateMs = 100;

}  // namespace

TMainForm::TMainForm(Options options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(QStringLiteral("Управление запуском"));
    localizer_ = new TLocalizer(this);

    // A fresh installation has no "logs" folder; without it every line of every run would be
    // lost, so it is made here. If it still cannot be written the log disables itself.
    const QString logsDir = !options_.logDir.isEmpty()
                                ? options_.logDir
                                : QDir(options_.programDir).filePath(QStringLiteral("logs"));
    EnsureLogsDirectory(logsDir);
    logFile_ = NextLogFileName(logsDir);

    settings_ = ReadConsoleSettings(SettingsFileOf(options_));
    SetCurrentSettings(settings_);
    state_.StartKey = settings_.StartKey;

    SetLogLevel(1);
    SetLogFileName(logFile_);
    version_ = OwnVersion();
    // The handler may run on the bus worker's thread; the window hears of it on its own.
    SetLogFailureHandler([this](const LogFailure& failure) {
        const QString text = LogFailureText(failure);
        QMetaObject::invokeMethod(
            this, [this, text] { LogWriteFailed(text); }, Qt::QueuedConnection);
    });
    WriteLogHeader(version_);

    BuildWidgets();

    // The bus objects, then the show objects plugged in behind the bus manager before any frame
    // can arrive.
    wiring_ = options_.makeWiring();
    maintenance_ = std::make_unique<DeviceMaintenance>(*wiring_);
    maintenance_->AskText = [this](const QString& caption, const QString& prompt, QString& text) {
        bool ok = false;
        const QString typed =
            QInputDialog::getText(this, caption, prompt, QLineEdit::Normal, text, &ok);
        if (ok) {
            text = typed;
        }
        return ok;
    };
    maintenance_->ShowMessage = [this](const QString& caption, const QString& text) {
        QMessageBox::information(this, caption, text);
    };
    pcPower_ = options_.powerSupplyRoot.isEmpty()
                   ? std::make_unique<SysfsPowerSupply>()
                   : std::make_unique<SysfsPowerSupply>(options_.powerSupplyRoot);
    pcPowerTimer_.setInterval(kPcPowerTimerMs);
    connect(&pcPowerTimer_, &QTimer::timeout, this, [this] { PCPowerTimerTick(); });
    CreateShowObjects();
    ConnectMemoryOperations();
    ConnectWiring();
    BuildActions();
    wiring_->Open();
    RebuildDeviceRows();

    // The key hook sees every key-down of the program after the action shortcuts (which the
    // window system matches before it delivers a key) and before the focused control.
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm() {
    SetLogFailureHandler(nullptr);
    qApp->removeEventFilter(this);
    actionUpdateTimer_.stop();
    soundTimer_.stop();
    errFlashTimer_.stop();
    pcPowerTimer_.stop();
    if (debugForm_) {
        debugForm_->Detach();
    }
    maintenance_.reset();
    // The bus goes before the widgets its hooks draw on; it stops handing frames and idle
    // steps to the player first, so the show control and the player go after it.
    memory_.reset();
    recorder_.reset();
    armCheck_.reset();
    wiring_.reset();
    show_.reset();
    player_.reset();
    projects_.reset();
}

void TMainForm::SetWarningWindows(TWarningForm* warning, TPresentWarningForm* present) {
    warningForm_ = warning;
    presentWarningForm_ = present;
}

TWarningForm& TMainForm::WarningForm() {
    if (warningForm_ == nullptr) {
        warningForm_ = new TWarningForm(this);
    }
    return *warningForm_;
}

TPresentWarningForm& TMainForm::PresentWarningForm() {
    if (presentWarningForm_ == nullptr) {
        presentWarningForm_ = new TPresentWarningForm(this);
    }
    return *presentWarningForm_;
}

void TMainForm::SetStartWindows(TExtStartForm* extStart, TTimerForm* timer) {
    extStartForm_ = extStart;
    timerForm_ = timer;
}

TExtStartForm& TMainForm::ExtStartForm() {
    if (extStartForm_ == nullptr) {
        extStartForm_ = new TExtStartForm(this);
    }
    return *extStartForm_;
}

TTimerForm& TMainForm::TimerForm() {
    if (timerForm_ == nullptr) {
        timerForm_ = new TTimerForm(this);
    }
    return *timerForm_;
}

void TMainForm::ExtStartActionExecute() {
    TExtStartForm& dialog = ExtStartForm();
    const TExtStartForm::Choice choice = dialog.Ask();
    if (choice == TExtStartForm::Choice::Cancelled) {
        return;
    }
    TTimerForm& timer = TimerForm();
    const auto playing = [this] { return player_->IsPlaying(); };
    if (choice == TExtStartForm::Choice::Clock) {
        // A stop or a disarm while it counts (from the bus, or the player's own) cancels it,
        // and at zero the start rule is asked again.
        show_->BeginCountdown();
        if (timer.Run(GetLocalizedText(70, QStringLiteral("Время до запуска:")), TickCount(),
                      dialog.Plan().targetTick, playing,
                      [this] { return show_->CountdownGoesOn(); })) {
            show_->CountdownStart();
        } else {
            show_->EndCountdown();
        }
    } else {
        // The player starts the show itself when the command arrives (on this thread, inside
        // the window's modal loop); any stop of the player clears the wait and closes the
        // window.
        show_->LogStartBlock();
        player_->WaitingExtStart = true;
        timer.Run(GetLocalizedText(71, QStringLiteral("Ожидание команды запуска...")), TickCount(),
                  0, playing, [this] { return player_->WaitingExtStart; });
        player_->WaitingExtStart = false;
    }
    // The keys act only while the main window is active: the stop key must work at once.
    RefreshButtons();
    activateWindow();
}

void TMainForm::SetDebugForm(TDebugForm* form) {
    if (debugForm_) {
        debugForm_->Detach();
    }
    debugForm_ = form;
    if (form != nullptr) {
        form->Attach(*wiring_);
        form->Test()->Allowed = [this] { return show_->ClockTestAllowed(); };
        form->Test()->RefusedMessage = [this](const QString& text) {
            QMessageBox::warning(debugForm_, QStringLiteral("Ошибка"), text);
        };
    }
}

TDebugForm& TMainForm::DebugForm() {
    if (!debugForm_) {
        SetDebugForm(new TDebugForm(this));
    }
    return *debugForm_;
}

void TMainForm::CreateShowObjects() {
    // A demonstration needs no sound device: the simulated bus plays its soundtrack to the null
    // output. On real hardware the sound card is used, and a card that fails to open is
    // reported (by the show control) rather than replaced.
    SelectAudioOutput(wiring_->Simulated() ? AudioOutput::Null : AudioOutput::Device);
    projects_ = std::make_unique<TProjects>();
    // A script is loaded against the modules found on the bus: a motor cue for a firing module
    // (or the other way round) is a load error of its line, not a cue that silently does nothing.
    for (int k = 0; k < ConsoleState::kSlots; ++k) {
        projects_->Project(k).ModuleKindAt = [this](int32_t address) {
            const TCommonDevice* d = wiring_->Controls().FindByAddress(address);
            return d != nullptr && d->IsModule() ? static_cast<int>(d->Kind) : -1;
        };
    }
    player_ = std::make_unique<TExtPlayer>(wiring_->Controls());
    player_->Thresholds = ResistanceThresholds::FromSettings();
    show_ = std::make_unique<ShowControl>(*wiring_, *player_, *projects_, state_);
    // Each slot's timecode source from the settings file; a refused one stays off, and says why.
    IniFile ini;
    ini.Load(SettingsFileOf(options_));
    std::array<bool, ConsoleState::kSlots> refused{};
    for (int slot = 0; slot < ConsoleState::kSlots; ++slot) {
        const TimecodeSlotReading reading = ReadTimecodeSlot(ini, slot + 1);
        projects_->Project(slot).Timecode = reading.slot;
        refused[static_cast<size_t>(slot)] = !reading.refused.isEmpty();
        for (const QString& line : reading.refused) {
            WriteLog(QStringLiteral("kelvanex.ini: ") + line, 1);
        }
    }
    // A rehearsal: the file replaces the capture device of every slot but a refused one, with
    // the slot's own settings where the file gives them.
    if (!options_.timecodeFile.isEmpty()) {
        show_->TimecodeFile = options_.timecodeFile;
        for (int slot = 0; slot < ConsoleState::kSlots; ++slot) {
            if (refused[static_cast<size_t>(slot)]) {
                continue;
            }
            TimecodeSlot& timecode = projects_->Project(slot).Timecode;
            timecode.Enabled = true;
            if (!options_.timecodeStart.isEmpty()) {
                timecode.ShowZero = options_.timecodeStart;
            }
        }
    }
    ShowPlaying = [this] { return player_->IsPlaying(); };
    ConnectShowControl();
    playerConns_ += player_->OnCueDone.Connect([this](int cue, int32_t result, int32_t) {
        if (player_->ControlMode == TCommonPlayer::ControlAutonomous) {
            MarkCue(cue, CueOutcomes::Outcome::Passed);
        } else {
            MarkCue(cue,
                    result == BusOk ? CueOutcomes::Outcome::Sent : CueOutcomes::Outcome::NotSent);
        }
    });
    // After the window's own hooks: the recorder follows behind them.
    recorder_ = std::make_unique<ShowRecorder>(*show_);
    recorder_->ReportsDir = ReportsDirForLog(logFile_);
    recorder_->OnReportWritten = [this](const ShowRecord& record, const QStringList& files) {
        if (!summaryForm_) {
            summaryForm_ = new ShowSummaryForm(this);
        }
        summaryForm_->ShowReport(record, files);
    };
    ConnectArmCheck();
}

void TMainForm::ConnectShowControl() {
    ShowControl& s = *show_;
    s.AskScriptFile = [this] {
        return AskFile(GetText(120, QStringLiteral("Текстовые файлы|*.txt")));
    };
    s.AskSoundFile = [this] {
        return AskFile(GetText(121, QStringLiteral("Аудиофайлы|*.wav; *.mp3; *.wma; *.ogg")));
    };
    s.AskPresentWarning = [this](const QString& message, const QString& list) {
        return PresentWarningForm().Ask(message, list);
    };
    s.ShowError = [this](const QString& text) {
        QMessageBox::critical(this, QStringLiteral("Ошибка"), text);
    };
    s.OnButtonsChanged = [this] { RefreshButtons(); };
    s.OnShowViewChanged = [this] { RefreshShowView(); };
    s.OnSoundChanged = [this] { RefreshSound(); };
    s.OnShowPosition = [this](int32_t ms) { ShowPosition(ms); };
    s.OnManualKeysChanged = [this] { RefreshManualKeys(); };
    s.OnManualKeyChanged = [this](int32_t address, int32_t channel) {
        RefreshManualKey(address, channel);
    };
    s.OnSelectCue = [this](int cue) { cues_->SelectCue(cue); };
    s.OnWarning = [this](const QString& text) { WarningForm().ShowWarning(text); };
    s.OnModesChanged = [this] { RefreshModeIndicators(); };
    s.OnTempoChanged = [this] { RefreshTempo(); };
    s.OnTimecodeLampChanged = [this] { times_->SetTimecodeLamp(show_->TimecodeLamp()); };
    s.OnOffsetChanged = [this] { RefreshOffset(); };
    s.OnPlayStateChanged = [this] {
        if (player_->IsPlaying() && player_->WorkMode != TCommonPlayer::WorkManual) {
            // The cues from the start point on are sent again: their old marks go.
            for (int i = std::max(player_->NextCue, 0); i < cueOutcomes_.Count(); ++i) {
                if (cueOutcomes_.At(i) != CueOutcomes::Outcome::None) {
                    cues_->SetOutcome(i, CueRowLook{});
                }
            }
            cueOutcomes_.RunStarts(player_->NextCue);
            RefreshNotSent();
        }
        RefreshButtons();
        SoundTimerTick();
        times_->SetTimecodeLamp(show_->TimecodeLamp());
    };
}

QString TMainForm::AskFile(const QString& filter) {
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("OpenDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The desktop's own dialog may not come up under a bare X server; ours always does.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters(WindowTranslator::QtNameFilters(filter));
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    // The keys act only while the main window is active: take the focus back from the dialog
    // also where no window manager returns it.
    activateWindow();
    return chosen ? dialog.selectedFiles().first() : QString();
}

void TMainForm::BuildWidgets() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("MainPanel"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setSpacing(4);

    // Nobody may mistake a demonstration for a live bus: a red band across the whole window.
    simBanner_ = NamedLabel(QStringLiteral("SimulatedBusLabel"), QString(), central);
    simBanner_->setAlignment(Qt::AlignCenter);
    simBanner_->setStyleSheet(QStringLiteral(
        "QLabel { background: rgb(255,0,0); color: white; font-weight: bold; padding: 6px; }"));
    simBanner_->hide();
    layout->addWidget(simBanner_);

    status_ = new StatusPanel(central);
    layout->addWidget(status_);

    auto* body = new QHBoxLayout();
    auto* left = new QVBoxLayout();
    devices_ = new DevicePanel(central);
    left->addWidget(devices_, 1);
    auto* deviceButtons = new QHBoxLayout();
    left->addLayout(deviceButtons);
    versionLabel_ = NamedLabel(QStringLiteral("VersionLabel"), QString(), central);
    versionLabel_->setWordWrap(true);
    left->addWidget(versionLabel_);
    body->addLayout(left);

    centre_ = new QStackedWidget(central);
    auto* launch = new QWidget(centre_);
    launch->setObjectName(QStringLiteral("LaunchPanel"));
    auto* launchLayout = new QVBoxLayout(launch);
    launchLayout->setContentsMargins(0, 0, 0, 0);
    slots_ = new SlotStrip(launch);
    launchLayout->addWidget(slots_);
    projectName_ = NamedLabel(QStringLiteral("ProjectNameLabel"), QString(), launch);
    QFont big = projectName_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    projectName_->setFont(big);
    // A long project name is cut, not given the width it asks for.
    projectName_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    launchLayout->addWidget(projectName_);
    cues_ = new CueListView(launch);
    launchLayout->addWidget(cues_, 1);
    centre_->addWidget(launch);

    // A translated caption or a module panel wider or taller than the screen scrolls inside
    // the page instead of pushing the clock and the command keys off the screen.
    auto* testScroll = new QScrollArea(centre_);
    testScroll->setObjectName(QStringLiteral("TestPageScroll"));
    testScroll->setFrameShape(QFrame::NoFrame);
    testScroll->setWidgetResizable(true);
    // The keys belong to the key hook; the arrows must not scroll the page.
    testScroll->setFocusPolicy(Qt::NoFocus);
    testPanel_ = new TestModePanel(testScroll);
    testScroll->setWidget(testPanel_);
    centre_->addWidget(testScroll);
    testScroll->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    body->addWidget(centre_, 1);

    auto* right = new QVBoxLayout();
    times_ = new TimePanel(central);
    times_->setFixedWidth(310);
    right->addWidget(times_, 1);
    // While "<F10> Поиск" is down the search figures take the clocks' place.
    searchPanel_ = new SearchPanel(central);
    searchPanel_->setFixedWidth(310);
    searchPanel_->hide();
    right->addWidget(searchPanel_, 1);
    body->addLayout(right);
    layout->addLayout(body, 1);

    manualKeys_ = new ManualKeyPanel(central);
    manualKeys_->hide();
    layout->addWidget(manualKeys_);
    buttons_ = new CommandButtons(central);
    layout->addWidget(buttons_);
    deviceButtons->addWidget(buttons_->TestBtn);
    deviceButtons->addWidget(buttons_->SearchBtn);
    setCentralWidget(central);

    connect(buttons_->ProjectBtn, &QPushButton::clicked, this,
            [this] { show_->ProjectBtnClick(); });
    connect(buttons_->SoundBtn, &QPushButton::clicked, this, [this] { show_->SoundBtnClick(); });
    connect(buttons_->BeginBtn, &QPushButton::clicked, this, [this] { show_->BeginBtnClick(); });
    connect(buttons_->StartBtn, &QPushButton::clicked, this, [this] { show_->StartBtnClick(); });
    connect(buttons_->StopBtn, &QPushButton::clicked, this, [this] { show_->StopBtnClick(); });
    connect(buttons_->SaveBtn, &QPushButton::clicked, this,
            [this] { RunMemoryOperation(MemoryCommand::Write); });
    connect(buttons_->CheckBtn, &QPushButton::clicked, this,
            [this] { RunMemoryOperation(MemoryCommand::Verify); });
    connect(buttons_->TestBtn, &QPushButton::clicked, this, [this] { TestBtnClick(); });
    connect(buttons_->SearchBtn, &QPushButton::clicked, this, [this] { SearchBtnClick(); });

    actionUpdateTimer_.setInterval(kActionUpdateMs);
    connect(&actionUpdateTimer_, &QTimer::timeout, this, [this] { ActionListUpdate(); });
    actionUpdateTimer_.start();
    soundTimer_.setInterval(kSoundTimerMs);
    connect(&soundTimer_, &QTimer::timeout, this, [this] { SoundTimerTick(); });
    errFlashTimer_.setInterval(kErrFlashTimerMs);
    connect(&errFlashTimer_, &QTimer::timeout, this, [this] { ErrFlashTimerTick(); });
    errFlashTimer_.start();
}

void TMainForm::ConnectWiring() {
    ConsoleWiring& w = *wiring_;
    w.OnDeviceListChanged = [this] { RebuildDeviceRows(); };
    w.OnDevicePolled = [this](int index) {
        if (const TCommonControl* module = wiring_->Controls().ModuleAt(index)) {
            const bool wasStale = freshness_.Stale(module->Address);
            freshness_.Polled(module->Address, module->LastResult == 0);
            if (wasStale != freshness_.Stale(module->Address)) {
                RefreshDeviceTotal();
            }
        }
        RefreshDeviceRow(index);
    };
    w.OnRefreshSummary = [this] { RefreshSummaryLeds(); };
    w.OnConverterState = [this](const QString& label, bool fault) {
        ConverterStateChanged(label, fault);
    };
    w.OnConverterRestored = [this] {
        if (warningForm_ != nullptr) {
            warningForm_->CloseWarning();
        }
    };
    w.OnSearchStateChanged = [this](bool searching) {
        buttons_->SearchBtn->setChecked(searching);
        if (searching) {
            searchPanel_->Clear();
        }
        ShowRightColumn();
        RefreshButtons();
    };
    w.OnSearchProgress = [this](int percent, int address) {
        searchPanel_->ShowProgress(*wiring_, percent, address);
    };
    testPanel_->Attach(w);
    w.OnRefreshTestPanel = [this] { testPanel_->RefreshTestPanel(); };
    connect(testPanel_, &TestModePanel::SelectionChanged, this, [this] { RefreshButtons(); });
    connect(testPanel_->TestModeBtn, &QPushButton::clicked, this,
            [this] { maintenance_->SetModeAll(ModeTest); });
    connect(testPanel_->LaunchModeBtn, &QPushButton::clicked, this,
            [this] { maintenance_->SetModeAll(ModeLaunch); });
    connect(testPanel_->ChangeIdBtn, &QPushButton::clicked, this, [this] {
        maintenance_->ChangeSelectedNumber();
        testPanel_->RefreshTestPanel();
    });
    connect(testPanel_->SoundTestBtn, &QPushButton::clicked, this, [this] {
        show_->SoundPlayStop();
        RefreshButtons();
    });
    connect(testPanel_->SoundVolBtn, &QPushButton::clicked, this, [this] { OpenMixer(); });
    w.OnSearchEnded = [this] {
        // The devices may have changed: the script's channel marks again, the test page, the
        // manual keyboard on the first module (or none) and the remote-control lamp.
        RefreshShowView();
        if (wiring_->TestMode) {
            testPanel_->RefreshTestPanel();
        }
        state_.ManualDevice = wiring_->Controls().FirstModuleIndex();
        state_.ManualPage = 0;
        RefreshManualKeys();
        status_->SetLook(QStringLiteral("PDURLed"), wiring_->Controls().HasRemoteControl() != 0
                                                        ? TShape::Look::On
                                                        : TShape::Look::Off);
    };
    w.OnTestStateChanged = [this] { RefreshButtons(); };
    w.ShowPlaying = [this] { return ShowPlaying && ShowPlaying(); };
    if (w.Simulated()) {
        simBanner_->setText(QStringLiteral("ИМИТАЦИЯ ШИНЫ: устройства не настоящие "
                                           "(SIMULATED BUS, rig: ") +
                            w.SimulatedRig() + QLatin1Char(')'));
        simBanner_->show();
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FitToScreen();
    if (windowHandle() != nullptr && !screenWatched_) {
        screenWatched_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { FitToScreen(); });
    }
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TMainForm::FitToScreen() {
    const QScreen* const screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    // Whatever a panel or a translated text asks for, the window never grows past the screen:
    // the clock and the command keys below must stay in sight. The frame is the window
    // manager's and comes off the available area.
    const QSize frame = isVisible() ? frameGeometry().size() - geometry().size() : QSize();
    setMaximumSize(screen->availableGeometry().size() - frame);
}

void TMainForm::FormShow() {
    TLocalizer::Translate();
    setWindowTitle(MainCaption(version_) + wiring_->CaptionSuffix());
    ShowVersion();
    if (!wiring_->Searching) {
        wiring_->StartPolling();
    }
    status_->SetLook(QStringLiteral("SoundReadyLed"),
                     state_.SoundReady ? TShape::Look::On : TShape::Look::Alarm);
    if (state_.SoundReady) {
        soundTimer_.start();
    }
    RefreshButtons();
    RefreshShowView();
    ShowPosition(0);
    RefreshManualKeys();
    RefreshSound();
    RefreshTempo();
    RefreshOffset();
    RefreshBattery();
    const QString startCaption = StartButtonCaptionFor(state_.StartKey);
    if (!startCaption.isEmpty()) {
        buttons_->StartBtn->setText(startCaption);
    }
    PCPowerTimerTick();
    pcPowerTimer_.start();
}

void TMainForm::PCPowerTimerTick() {
    const PowerLamps lamps = ReadPowerLamps(*pcPower_);
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
    status_->SetLook(QStringLiteral("MainsLed"), look(lamps.mains));
    status_->SetLook(QStringLiteral("BatteryLed"), look(lamps.battery));
    status_->SetLook(QStringLiteral("ChargeLed"), look(lamps.charging));
    state_.PcBatteryPercent = lamps.percent;
    RefreshBattery();
}

bool TMainForm::CloseQuery() const {
    // A memory operation writing the devices is not cut off halfway either; a termination
    // signal waits for its end.
    return !(ShowPlaying && ShowPlaying()) && !(memory_ && memory_->Running());
}

bool TMainForm::ExitActionAllowed() const {
    return show_->Actions().Exit;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    if (!closed_) {
        closed_ = true;
        wiring_->StopPolling();
        WriteLogClosing();
    }
    event->accept();
    emit Closed();
}

void TMainForm::SearchBtnClick() {
    if (buttons_->SearchBtn->isChecked()) {
        wiring_->StartSearch();
    } else {
        wiring_->StopSearch();
    }
    buttons_->SearchBtn->setChecked(wiring_->Searching);
    RefreshButtons();
}

void TMainForm::TestBtnClick() {
    if (buttons_->TestBtn->isChecked()) {
        wiring_->EnterTestMode();
    } else {
        show_->LeaveTestMode();
    }
    buttons_->TestBtn->setChecked(wiring_->TestMode);
    centre_->setCurrentIndex(wiring_->TestMode ? 1 : 0);
    ShowRightColumn();
    if (wiring_->TestMode) {
        testPanel_->RefreshTestPanel();
    }
    RefreshManualKeys();
    RefreshButtons();
}

void TMainForm::OpenMixer() {
    // The desktop's own volume mixer, the first one installed of those we know.
    for (const char* program :
         {"pavucontrol", "pavucontrol-qt", "mate-volume-control", "xfce4-mixer"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(program));
        if (!path.isEmpty() && QProcess::startDetached(path, {})) {
            return;
        }
    }
    QMessageBox::information(this, QStringLiteral("Сообщение"),
                             QStringLiteral("Микшер громкости не найден."));
}

void TMainForm::ShowRightColumn() {
    // A stack is as wide as its widest page: the page not shown must not widen the window.
    for (int i = 0; i < centre_->count(); ++i) {
        const bool current = i == centre_->currentIndex();
        centre_->widget(i)->setSizePolicy(current ? QSizePolicy::Preferred : QSizePolicy::Ignored,
                                          current ? QSizePolicy::Preferred : QSizePolicy::Ignored);
    }
    // The page just hidden tells no layout of its new policy; without this the next layout
    // (the clocks shown below) would still count its width and widen the window.
    centre_->updateGeometry();
    // The test page needs the whole width at 1280 pixels; the clocks and the search figures
    // belong to the launch panel. While searching the figures take the clocks' place.
    const bool launch = !wiring_->TestMode;
    times_->setVisible(launch && !wiring_->Searching);
    searchPanel_->setVisible(launch && wiring_->Searching);
}

void TMainForm::ConverterStateChanged(const QString& label, bool fault) {
    status_->Rs485Label()->setText(label);
    status_->Rs485()->SetLook(fault ? TShape::Look::Alarm : TShape::Look::On);
    if (fault) {
        // Nothing the modules last said can be renewed now: their rows say so at once, even
        // while a show leaves no time to poll them.
        freshness_.LinkLost();
        for (int i = 0; i < wiring_->Controls().Count(); ++i) {
            if (wiring_->Controls().ModuleAt(i) != nullptr) {
                RefreshDeviceRow(i);
            }
        }
        RefreshDeviceTotal();
    }
}

void TMainForm::LogWriteFailed(const QString& text) {
    logFailed_ = true;
    ShowVersion();
    WarningForm().ShowWarning(text);
}

void TMainForm::ShowVersion() {
    if (!logFailed_) {
        versionLabel_->setText(VersionLabelText(version_));
        return;
    }
    versionLabel_->setText(
        VersionLabelText(version_) +
        QStringLiteral("  <b style=\"color:#ff0000\">журнал не записывается</b>"));
}

QPushButton* TMainForm::StartBtn() const {
    return buttons_->StartBtn;
}

int TMainForm::DeviceRowCount() const {
    return devices_->RowCount();
}

QString TMainForm::DeviceRowText(int row) const {
    return devices_->RowText(row);
}

}  // namespace kv
