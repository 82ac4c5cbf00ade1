#include "console/DebugSyncTest.h"

#include "console/ConsoleDialogs.h"

#include <QStringList>
#include <QTime>

#include "bus/TPortProto.h"
#include "console/ConsoleWiring.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "shows/OtherConsoleShows.h"
#include "shows/TCommonPlayer.h"

namespace kv {

DebugSyncTest::DebugSyncTest(ConsoleWiring& wiring) : wiring_(wiring), dialogs_(&NoDialogs()) {
    timer_.setInterval(kIntervalMs);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Tick(); });
    Reset();
}

DebugSyncTest::~DebugSyncTest() {
    Stop();
}

void DebugSyncTest::Reset() {
    rows_.clear();
    const TControls& controls = wiring_.Controls();
    for (int i = 0; i < controls.Count(); ++i) {
        if (const TCommonControl* m = controls.ModuleAt(i)) {
            Row row;
            row.address = m->Address;
            row.channels = m->ChannelCount;
            row.version = m->Version;
            rows_.push_back(row);
        }
    }
    clock_ = QStringLiteral("00:00:00");
    emit Changed();
}

void DebugSyncTest::AnnounceTest(bool start) {
    wiring_.Proto().Send(OtherConsoleShows::ClockTestFrame(start, OwnConsoleId), -1);
}

void DebugSyncTest::Refuse(const QString& text) {
    WriteLog(text, 1);
    dialogs_->ShowError(text);
}

void DebugSyncTest::ReleaseBus() {
    wiring_.SetBusHeld(false);
    wiring_.ResumePolling();
}

std::vector<int> DebugSyncTest::ModulesNotInTestMode() {
    std::vector<int> out;
    TControls& controls = wiring_.Controls();
    for (int i = 0; i < controls.Count(); ++i) {
        TCommonControl* m = controls.ModuleAt(i);
        if (m == nullptr) {
            continue;
        }
        // Asked now: a mode seen by an earlier poll may have changed since.
        m->PollStatus();
        if (m->LastResult != 0 || m->Mode != ModeTest) {
            out.push_back(m->Address);
        }
    }
    return out;
}

bool DebugSyncTest::Start() {
    if (running_ || wiring_.BusHeld() || wiring_.Searching() || wiring_.Testing()) {
        return false;
    }
    if (permission_ == nullptr || !permission_->ClockTestAllowed()) {
        Refuse(Message(Msg::SyncTestRefusedNotIdle));
        return false;
    }
    // Held from the mode check on: no poll between the cue writes and the clock start.
    wiring_.SetBusHeld(true);
    wiring_.IdleTimer().stop();
    const std::vector<int> notInTest = ModulesNotInTestMode();
    if (!notInTest.empty()) {
        QStringList addresses;
        for (int a : notInTest) {
            addresses << QString::number(a);
        }
        ReleaseBus();
        Refuse(Message(Msg::SyncTestRefusedNotInTestMode) + QLatin1Char(' ') +
               addresses.join(QStringLiteral(", ")));
        return false;
    }
    if (!dialogs_->Confirm(Message(Msg::Confirmation), Message(Msg::ConfirmSyncTest))) {
        ReleaseBus();
        return false;
    }
    TControls& controls = wiring_.Controls();
    TPortProto& bus = wiring_.Proto();
    for (int i = 0; i < controls.Count(); ++i) {
        if (const TCommonControl* m = controls.ModuleAt(i)) {
            bus.WriteCue(m->Address, 0, m->RelayId, m->PortIndex, kFireTimeMs);
        }
    }
    // Announced as a clock test first (twice, so that one lost copy does no harm): another
    // console would otherwise take the clock frame for a start command, hold it or start its
    // show from it, and take the stop for the stop of its own show.
    AnnounceTest(true);
    AnnounceTest(true);
    bus.StartShowClock(0);
    startTick_ = lastAnnounce_ = TickCount();
    running_ = true;
    WriteLog(Message(Msg::SyncTestStarted), 1);
    timer_.start();
    emit Changed();
    return true;
}

void DebugSyncTest::Tick() {
    if (!running_) {
        return;
    }
    const uint32_t elapsed = ElapsedSince(startTick_);
    if (elapsed >= kAutoStopMs) {
        Stop();
        return;
    }
    // Again every second, for consoles that joined since or lost the first.
    if (ElapsedSince(lastAnnounce_) >= TCommonPlayer::kReannounceMs) {
        AnnounceTest(true);
        lastAnnounce_ = TickCount();
    }
    clock_ = QTime(0, 0).addMSecs(static_cast<int>(elapsed)).toString(QStringLiteral("hh:mm:ss"));
    TControls& controls = wiring_.Controls();
    for (Row& row : rows_) {
        const int noted = static_cast<int>(ElapsedSince(startTick_));
        const TCommonDevice* d = controls.FindByAddress(row.address);
        const auto* m =
            d != nullptr && d->IsModule() ? static_cast<const TCommonControl*>(d) : nullptr;
        int clock = 0;
        char type = 0;
        if (m == nullptr ||
            wiring_.Proto().ReadClock(m->Address, m->RelayId, m->PortIndex, clock, type) != 0) {
            row.sync = QStringLiteral("?");
            continue;
        }
        row.voltage = QString::number(m->SupplyVoltage, 'f', 2);
        row.link = QString::number(m->LinkQuality());
        row.sync = QString::number(clock - noted);
    }
    emit Changed();
}

void DebugSyncTest::Stop() {
    if (!running_) {
        return;
    }
    timer_.stop();
    running_ = false;
    wiring_.Proto().StopShowClock(0);
    AnnounceTest(false);
    // Channel 1 of every module now holds the test's cue instead of the script's.
    WriteLog(Message(Msg::SyncTestStopped), 1);
    ReleaseBus();
    emit Changed();
}

}  // namespace kv
