#include "console/ConsoleWiring.h"

#include "bus/ConverterBackend.h"
#include "bus/TPortProto.h"
#include "console/ConverterAccess.h"
#include "console/TestPanelModel.h"
#include "core/EventLog.h"
#include "core/Settings.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "shows/TCommonPlayer.h"

namespace kv {

ConsoleWiring::ConsoleWiring(std::shared_ptr<ConverterBackend> backend, QString simulatedRig)
    : simulatedRig_(std::move(simulatedRig)),
      backend_(std::move(backend)),
      proto_(std::make_unique<TPortProto>(kMaxConverters, backend_)),
      controls_(std::make_unique<TControls>(*proto_)),
      tester_(*controls_) {
    // Drawn here, the start-up both the console and the tool go through: without it every
    // console on a bus would be ID 1 and answer the others' queries as one.
    EnsureBusGlobals();
    // The run's log is open by now; a threshold the settings file gave as no number is 0,
    // which the operator must be able to find out.
    LogUnreadableSettings();
    // The one protocol object of the program: the show player and the memory operations reach
    // the bus through it.
    if (ProtoOrNull() == nullptr) {
        InstallProto(proto_.get());
    }
    controls_->OnChange = [this](int) { ListChanged(); };
    controls_->OnSearchProgress = [this](int percent, int address) {
        emit SearchProgress(percent, address);
    };
    proto_->OnFrame = [this](const BusFrame& frame, int converter) {
        HandleFrame(frame, converter);
    };
    proto_->OnPortLost = [this] { ConverterLost(); };
    proto_->OnPortRestored = [this] { ConverterBack(); };

    idleTimer_.setInterval(kIdleIntervalMs);
    QObject::connect(&idleTimer_, &QTimer::timeout, &idleTimer_, [this] { PollStep(); });
}

ConsoleWiring::~ConsoleWiring() {
    idleTimer_.stop();
    controls_->SetSearch(0);
    // Nothing may reach the console while the bus objects go away.
    proto_->OnFrame = nullptr;
    proto_->OnPortLost = nullptr;
    proto_->OnPortRestored = nullptr;
    if (ProtoOrNull() == proto_.get()) {
        InstallProto(nullptr);
    }
    controls_.reset();
    proto_.reset();
}

bool ConsoleWiring::Open() {
    if (Simulated()) {
        // Nobody may mistake a demonstration for a live bus.
        WriteLog(
            QStringLiteral("*** ИМИТАЦИЯ ШИНЫ: устройства не настоящие (SIMULATED BUS, rig: ") +
                simulatedRig_ + QStringLiteral(") ***"),
            1);
    }
    proto_->SetAnswerTimeout(kAnswerTimeoutMs);
    const bool opened = proto_->OpenPort();
    emit ConverterStateChanged(ConverterLabel(), !opened);
    ReportAccessDenied();
    return opened;
}

void ConsoleWiring::ReportAccessDenied() {
    // Asked on the main thread only: at opening and when the worker reports a converter lost
    // or back (it reopens the converters in between, which refreshes the list asked here).
    for (const ConverterAccessDenied& denied : backend_->AccessDenied()) {
        if (!accessReported_.insert(denied.path).second) {
            continue;
        }
        const QString text = ConverterAccessDeniedText(denied);
        WriteLog(text, 1);
        emit ConverterAccessRefused(text);
    }
}

void ConsoleWiring::SetBusHeld(bool held) {
    if (busHeld_ != held) {
        busHeld_ = held;
        emit BusHeldChanged();
    }
}

void ConsoleWiring::SetTestSelection(int index) {
    testSelection_ = index;
    emit TestPanelChanged();
}

void ConsoleWiring::SetTesting(bool testing) {
    testing_ = testing;
    emit TestStateChanged();
}

void ConsoleWiring::SetSearching(bool searching) {
    searching_ = searching;
    emit SearchStateChanged(searching);
}

void ConsoleWiring::SetTestMode(bool on) {
    testMode_ = on;
    emit TestPanelChanged();
}

void ConsoleWiring::SetConverterFault(bool fault) {
    converterFault_ = fault;
    emit ConverterStateChanged(ConverterLabel(), fault);
}

bool ConsoleWiring::ShowPlaying() const {
    return player_ != nullptr && player_->IsPlaying();
}

QString ConsoleWiring::CaptionSuffix() const {
    if (!Simulated()) {
        return QString();
    }
    return QStringLiteral(" [ИМИТАЦИЯ ШИНЫ / SIMULATED BUS: ") + simulatedRig_ +
           QStringLiteral("]");
}

QString ConsoleWiring::ConverterLabel() const {
    return QStringLiteral("RS485: ") +
           QString::number(converterFault_ ? 0 : proto_->ConverterCount());
}

void ConsoleWiring::StartPolling() {
    pollingWanted_ = true;
    if (!searching_ && !busHeld_) {
        idleTimer_.start();
    }
}

void ConsoleWiring::StopPolling() {
    pollingWanted_ = false;
    idleTimer_.stop();
}

void ConsoleWiring::ResumePolling() {
    RestartPollingAfter();
}

void ConsoleWiring::RestartPollingAfter() {
    if (pollingWanted_ && !searching_ && !testing_ && !busHeld_) {
        idleTimer_.start();
    }
}

void ConsoleWiring::AddFrameHandler(FrameHandler handler) {
    frameHandlers_.push_back(std::move(handler));
}

void ConsoleWiring::HandleFrame(const BusFrame& frame, int converter) {
    controls_->HandleUnsolicited(frame.data(), converter);
    for (const FrameHandler& handler : frameHandlers_) {
        if (handler) {
            handler(frame, converter);
        }
    }
}

void ConsoleWiring::ConverterLost() {
    // The worker reports each loss once; a second report without a restore says nothing new.
    if (converterFault_) {
        return;
    }
    converterFault_ = true;
    emit ConverterStateChanged(QStringLiteral("RS485: 0"), true);
    WriteLog(Message(Msg::ConverterError), 1);
    ReportAccessDenied();
}

void ConsoleWiring::ConverterBack() {
    WriteLog(Message(Msg::ConverterConnected), 1);
    converterFault_ = false;
    emit ConverterStateChanged(ConverterLabel(), false);
    ReportAccessDenied();
    emit ConverterRestored();
}

void ConsoleWiring::ListChanged() {
    controls_->SortByAddress();
    // Every rebuild of the device rows resets the test selection.
    testSelection_ = controls_->Count() == 0 ? -1 : 0;
    emit DeviceListChanged();
}

void ConsoleWiring::PollStep() {
    const int count = controls_->Count();
    if (pollCursor_ >= 0 && pollCursor_ < count) {
        controls_->Items(pollCursor_)->PollStatus();
        emit DevicePolled(pollCursor_);
    }
    // The list may have shrunk below the cursor since the last step.
    ++pollCursor_;
    if (pollCursor_ >= controls_->Count() || pollCursor_ < 0) {
        pollCursor_ = 0;
    }
    emit SummaryChanged();
    if (testMode_ && controls_->ModuleCount() > 0 && !testing_) {
        emit TestPanelChanged();
    }
    if (!ShowPlaying() && !testing_ && !searching_) {
        emit FiredChannelCheckDue();
    }
}

void ConsoleWiring::StartSearch() {
    if (searching_ || testing_ || busHeld_) {
        return;
    }
    idleTimer_.stop();
    // The fault state stays with the worker's lost/restored reports; the label shows what the
    // reopening found.
    proto_->ReopenPort();
    const int converters = proto_->ConverterCount();
    emit ConverterStateChanged(QStringLiteral("RS485: ") + QString::number(converters),
                               converters == 0);
    searching_ = true;
    controls_->SetSearch(TControls::SearchOn);
    emit SearchStateChanged(true);
}

void ConsoleWiring::StopSearch() {
    if (!searching_) {
        return;
    }
    controls_->SetSearch(0);
    searching_ = false;
    RestartPollingAfter();
    LogSearchSummary();
    emit SearchStateChanged(false);
    if (testMode_) {
        emit TestPanelChanged();
    }
    emit SearchEnded();
}

QStringList ConsoleWiring::SearchSummaryLines() const {
    const auto line = [](Msg msg, int value) {
        return Message(msg) + QLatin1Char(' ') + QString::number(value);
    };
    return {line(Msg::ConnectedDeviceTotal, controls_->Count()),
            line(Msg::ConverterCount, proto_->ConverterCount()),
            line(Msg::ModuleCount, controls_->ModuleCount()),
            line(Msg::RadioUnitCount, controls_->RadioUnitCount()),
            line(Msg::RemoteControlCount, controls_->HasRemoteControl())};
}

void ConsoleWiring::LogSearchSummary() {
    for (const QString& line : SearchSummaryLines()) {
        WriteLog(line, 1);
    }
}

TCommonControl* ConsoleWiring::SelectedModule() const {
    return controls_->ModuleAt(testSelection_);
}

bool ConsoleWiring::CheckSelected() {
    TCommonControl* module = SelectedModule();
    if (module == nullptr || testing_ || searching_ || busHeld_) {
        return false;
    }
    idleTimer_.stop();
    testing_ = true;
    emit TestStateChanged();
    const bool complete = tester_.TestModule(*module);
    testing_ = false;
    emit TestStateChanged();
    RestartPollingAfter();
    return complete;
}

void ConsoleWiring::TestAll() {
    if (testing_ || searching_ || busHeld_) {
        return;
    }
    idleTimer_.stop();
    testing_ = true;
    emit TestStateChanged();
    {
        const ScopedConnection select = tester_.OnSelect.Connect([this](int index) {
            testSelection_ = index;
            emit TestPanelChanged();
        });
        tester_.TestAllModules();
    }
    testing_ = false;
    emit TestStateChanged();
    RestartPollingAfter();
}

void ConsoleWiring::EnterTestMode() {
    testMode_ = true;
    testSelection_ = controls_->FirstModuleIndex();
    emit TestPanelChanged();
}

void ConsoleWiring::LeaveTestMode() {
    testMode_ = false;
}

void ConsoleWiring::SelectUp() {
    testSelection_ = TestPanelModel::StepUp(*controls_, testSelection_);
    emit TestPanelChanged();
}

void ConsoleWiring::SelectDown() {
    testSelection_ = TestPanelModel::StepDown(*controls_, testSelection_);
    emit TestPanelChanged();
}

void ConsoleWiring::SetModeAll(uint8_t mode) {
    for (int i = 0; i < controls_->Count(); ++i) {
        if (TCommonControl* module = controls_->ModuleAt(i)) {
            module->SetMode(mode);
        }
    }
}

}  // namespace kv
