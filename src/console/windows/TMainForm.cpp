#include "console/windows/TMainForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include "console/ConsoleWiring.h"
#include "console/ShowWiring.h"
#include "console/windows/DeviceRowText.h"
#include "console/windows/MainFormTexts.h"
#include "console/windows/TLocalizer.h"
#include "console/windows/TShape.h"
#include "core/EventLog.h"
#include "core/LogName.h"
#include "devices/ChannelClassifier.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "shows/AudioSystem.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjects.h"
#include "util/SystemUtils.h"

namespace kv {

namespace {

// The window system's idle-time action update, done on a short timer instead: the enabling
// rules read state that several objects change.
constexpr int kActionUpdateMs = 100;

QLabel* NewLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

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

    settings_ = ReadConsoleSettings(
        !options_.settingsFile.isEmpty()
            ? options_.settingsFile
            : QDir(options_.programDir).filePath(QStringLiteral("kelvanex.ini")));
    SetCurrentSettings(settings_);
    StartKey = settings_.StartKey;

    SetLogLevel(1);
    SetLogFileName(logFile_);
    version_ = OwnVersion();
    WriteLogHeader(version_);

    BuildWidgets();

    // The bus objects, then the show player plugged in behind the bus manager before any frame
    // can arrive.
    wiring_ = options_.makeWiring();
    CreateShowObjects();
    ConnectWiring();
    wiring_->Open();
    RebuildDeviceRows();
}

TMainForm::~TMainForm() {
    actionUpdateTimer_->stop();
    // The bus goes before the widgets its hooks draw on; it stops handing frames and idle
    // steps to the player first, so the player goes after it.
    wiring_.reset();
    showWiring_.reset();
    player_.reset();
    projects_.reset();
}

void TMainForm::CreateShowObjects() {
    // A demonstration needs no sound device: the simulated bus plays its soundtrack to the null
    // output. On real hardware the sound card is used, and a card that fails to open is
    // reported below rather than replaced.
    SelectAudioOutput(wiring_->Simulated() ? AudioOutput::Null : AudioOutput::Device);
    projects_ = std::make_unique<TProjects>();
    player_ = std::make_unique<TExtPlayer>(wiring_->Controls());
    showWiring_ = std::make_unique<ShowWiring>(*wiring_, *player_);
    player_->SetScript(&projects_->Project(CurrentSlot));
    player_->Thresholds = ResistanceThresholds::FromSettings();
    player_->LaunchStateSource = [this] { return LaunchState; };
    ShowPlaying = [this] { return player_->IsPlaying(); };
    if (!AudioReady()) {
        WriteLog(GetLocalizedText(1, QStringLiteral("Ошибка инициализации аудио-устройства")), 1);
    }
}

void TMainForm::BuildWidgets() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("MainPanel"));
    auto* layout = new QVBoxLayout(central);

    // Nobody may mistake a demonstration for a live bus: a red band across the whole window.
    simBanner_ = NewLabel(QStringLiteral("SimulatedBusLabel"), QString(), central);
    simBanner_->setAlignment(Qt::AlignCenter);
    simBanner_->setStyleSheet(QStringLiteral(
        "QLabel { background: rgb(255,0,0); color: white; font-weight: bold; padding: 6px; }"));
    simBanner_->hide();
    layout->addWidget(simBanner_);

    auto* top = new QHBoxLayout();
    rs485Led_ = new TShape(central);
    rs485Led_->setObjectName(QStringLiteral("RS485"));
    top->addWidget(rs485Led_);
    rs485Label_ = NewLabel(QStringLiteral("RS485Label"), QStringLiteral("RS485"), central);
    top->addWidget(rs485Label_);
    top->addSpacing(24);
    devicesLabel_ = NewLabel(QStringLiteral("DevicesLabel"), QString(), central);
    top->addWidget(devicesLabel_);
    top->addStretch(1);
    versionLabel_ = NewLabel(QStringLiteral("VersionLabel"), QString(), central);
    top->addWidget(versionLabel_);
    layout->addLayout(top);

    auto* body = new QHBoxLayout();
    auto* scroll = new QScrollArea(central);
    scroll->setObjectName(QStringLiteral("DevicePanel"));
    scroll->setWidgetResizable(true);
    scroll->setFixedWidth(320);
    auto* rowsHost = new QWidget(scroll);
    rowsHost->setStyleSheet(QStringLiteral("background: white;"));
    rowsLayout_ = new QVBoxLayout(rowsHost);
    rowsLayout_->setContentsMargins(2, 2, 2, 2);
    rowsLayout_->setSpacing(1);
    rowsLayout_->addStretch(1);
    scroll->setWidget(rowsHost);
    body->addWidget(scroll);

    auto* buttons = new QVBoxLayout();
    searchBtn_ = new QPushButton(QStringLiteral("<F10> Поиск"), central);
    searchBtn_->setObjectName(QStringLiteral("SearchBtn"));
    searchBtn_->setCheckable(true);
    connect(searchBtn_, &QPushButton::clicked, this, [this] { SearchBtnClick(); });
    buttons->addWidget(searchBtn_);
    startBtn_ = new QPushButton(QStringLiteral("<F5> Старт"), central);
    startBtn_->setObjectName(QStringLiteral("StartBtn"));
    // Enabled by the show control once a script is loaded; nothing can be started before.
    startBtn_->setEnabled(false);
    buttons->addWidget(startBtn_);
    buttons->addStretch(1);
    body->addLayout(buttons);
    body->addStretch(1);
    layout->addLayout(body, 1);
    setCentralWidget(central);

    exitAction_ = new QAction(QStringLiteral("Выход"), this);
    exitAction_->setObjectName(QStringLiteral("ExitAction"));
    exitAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_X));
    exitAction_->setShortcutContext(Qt::ApplicationShortcut);
    connect(exitAction_, &QAction::triggered, this, [this] {
        if (ExitActionAllowed()) {
            close();
        }
    });
    addAction(exitAction_);

    actionUpdateTimer_ = new QTimer(this);
    actionUpdateTimer_->setInterval(kActionUpdateMs);
    connect(actionUpdateTimer_, &QTimer::timeout, this, [this] { ActionListUpdate(); });
    actionUpdateTimer_->start();
}

void TMainForm::ConnectWiring() {
    ConsoleWiring& w = *wiring_;
    w.OnDeviceListChanged = [this] { RebuildDeviceRows(); };
    w.OnDevicePolled = [this](int index) { RefreshDeviceRow(index); };
    w.OnConverterState = [this](const QString& label, bool fault) {
        ConverterStateChanged(label, fault);
    };
    w.OnSearchStateChanged = [this](bool searching) {
        searchBtn_->setChecked(searching);
        RefreshButtons();
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
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TMainForm::FormShow() {
    TLocalizer::Translate();
    setWindowTitle(MainCaption(version_) + wiring_->CaptionSuffix());
    versionLabel_->setText(VersionLabelText(version_));
    if (!wiring_->Searching) {
        wiring_->StartPolling();
    }
    RefreshButtons();
    const QString startCaption = StartButtonCaptionFor(StartKey);
    if (!startCaption.isEmpty()) {
        startBtn_->setText(startCaption);
    }
    // The PC power timer starts here once the power state display is in place.
}

bool TMainForm::CloseQuery() const {
    return !(ShowPlaying && ShowPlaying());
}

bool TMainForm::ExitActionAllowed() const {
    return !wiring_->Testing && !wiring_->Searching && LaunchState == Waiting;
}

void TMainForm::ActionListUpdate() {
    exitAction_->setEnabled(ExitActionAllowed());
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

void TMainForm::RefreshButtons() {
    const bool playing = ShowPlaying && ShowPlaying();
    searchBtn_->setEnabled(!wiring_->Testing && !playing && LaunchState == Waiting);
    ActionListUpdate();
}

void TMainForm::SearchBtnClick() {
    if (searchBtn_->isChecked()) {
        wiring_->StartSearch();
    } else {
        wiring_->StopSearch();
    }
    searchBtn_->setChecked(wiring_->Searching);
}

void TMainForm::ConverterStateChanged(const QString& label, bool fault) {
    rs485Label_->setText(label);
    rs485Led_->SetLook(fault ? TShape::Look::Alarm : TShape::Look::On);
}

QString TMainForm::DeviceRowText(int row) const {
    return row >= 0 && row < DeviceRowCount() ? rows_[row].label->text() : QString();
}

void TMainForm::RebuildDeviceRows() {
    for (const Row& row : rows_) {
        delete row.label;
    }
    rows_.clear();
    const TControls& controls = wiring_->Controls();
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int i = 0; i < controls.Count(); ++i) {
        if (controls.ModuleAt(i) == nullptr) {
            continue;
        }
        auto* label = new QLabel(rowsLayout_->parentWidget());
        label->setFont(fixed);
        label->setFixedHeight(QFontMetrics(fixed).height() + 2);
        label->setFrameShape(QFrame::Box);
        rowsLayout_->insertWidget(static_cast<int>(rows_.size()), label);
        rows_.push_back({i, label});
        RefreshDeviceRow(i);
    }
    devicesLabel_->setText(GetText(2, QStringLiteral("Всего подключенных устройств:")) +
                           QLatin1Char(' ') + QString::number(controls.Count()));
}

void TMainForm::RefreshDeviceRow(int deviceIndex) {
    const TCommonControl* module = wiring_->Controls().ModuleAt(deviceIndex);
    if (module == nullptr) {
        return;
    }
    for (const Row& row : rows_) {
        if (row.deviceIndex != deviceIndex) {
            continue;
        }
        const DeviceRowFields fields = DeviceRowFields::FromControl(*module);
        const DeviceRowColors colors = DeviceRowColorsFor(fields);
        row.label->setText(kv::DeviceRowText(fields));
        row.label->setStyleSheet(QStringLiteral("QLabel { background: %1; color: %2; }")
                                     .arg(colors.background.name(), colors.text.name()));
    }
}

}  // namespace kv
