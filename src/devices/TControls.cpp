#include "devices/TControls.h"

#include <QRandomGenerator>
#include <algorithm>

#include "bus/TPortProto.h"
#include "core/Clock.h"
#include "devices/TAutoControl.h"
#include "devices/THVControl.h"
#include "devices/TMotorControl.h"
#include "devices/TRadioModule.h"
#include "devices/TRemoteControl.h"
#include "devices/TSoftControl.h"
#include "util/SystemUtils.h"

namespace kv {

namespace {

// Frame codes the manager looks at in unsolicited traffic.
constexpr uint8_t kModuleAnnouncement = 0x70;
constexpr uint8_t kConsoleProbe = 0x01;
constexpr uint8_t kConsoleReply = 0x02;
// Replies to a console probe are spread over this many ms so that consoles do not collide.
constexpr uint32_t kReplySpreadMs = 150;

// A module reporting four channels is an HV module even when its type letter does not say so.
constexpr int kHvChannelCount = 4;

bool IsConsole(const TCommonDevice* d) {
    return d != nullptr && d->Kind == KindSoftControl;
}

}  // namespace

TControls::TControls(TPortProto& bus) : bus_(bus) {
    ScanTimer.setSingleShot(false);
    QObject::connect(&ScanTimer, &QTimer::timeout, &ScanTimer, [this] { ScanStep(); });
}

TControls::~TControls() {
    ScanTimer.stop();
}

void TControls::Changed(int address) {
    if (OnChange) {
        OnChange(address);
    }
}

void TControls::SetSearch(uint8_t flags) {
    SearchFlags = flags;
    if ((flags & SearchScanning) != 0) {
        for (auto& d : items_) {
            if (IsConsole(d.get())) {
                static_cast<TSoftControl*>(d.get())->Stale = 1;
            }
        }
        ScanCursor = kFirstRadioAddress;
        ScanTimer.setInterval(bus_.AnswerTimeout());
        ScanTimer.start();
    } else {
        ScanTimer.stop();
    }
}

void TControls::ScanStep() {
    // A progress handler that pumps events must not start a second step inside this one.
    if (scanning_) {
        return;
    }
    scanning_ = true;
    const int address = ScanCursor;
    if (address == kConsoleAddress) {
        DiscoverConsoles();
    } else {
        ProbeAddress(address);
    }
    if (OnSearchProgress) {
        OnSearchProgress(static_cast<int>(RoundHalfAway(address / 255.0 * 100)), address);
    }
    ScanCursor = address >= 255 ? 0 : address + 1;
    scanning_ = false;
}

void TControls::DiscoverConsoles() {
    // Consoles whose reply has not come in since the last discovery are dropped; the rest must
    // answer this round to stay.
    const auto before = items_.size();
    std::erase_if(items_, [](const std::unique_ptr<TCommonDevice>& d) {
        return IsConsole(d.get()) && static_cast<TSoftControl*>(d.get())->Stale != 0;
    });
    for (auto& d : items_) {
        if (IsConsole(d.get())) {
            static_cast<TSoftControl*>(d.get())->Stale = 1;
        }
    }
    if (items_.size() != before) {
        Changed(kConsoleAddress);
    }
    bus_.BroadcastConsoleQuery();
}

void TControls::ProbeAddress(int address) {
    int converter = -1;
    int version = 0;
    const int result = bus_.ProbeVersion(address, converter, version);
    if (result != 0) {
        // One lost answer is enough: the search shows what answers now.
        bool removed = false;
        std::erase_if(items_, [&](const std::unique_ptr<TCommonDevice>& d) {
            const bool hit = d->Address == address;
            removed = removed || hit;
            return hit;
        });
        if (removed) {
            Changed(address);
        }
        return;
    }
    RegisterDevice(address, converter);
}

std::unique_ptr<TCommonDevice> TControls::CreateModule(int address, int port) {
    int clock = 0;
    char type = 0;
    if (bus_.ReadClock(address, -1, port, clock, type) != 0) {
        // Firmware without the clock/type answer: a plain module, relay unknown.
        return std::make_unique<TAutoControl>(bus_, address);
    }
    int channels = 0;
    int relay = -1;
    if (bus_.IdentifyModule(address, port, channels, relay) != 0) {
        return nullptr;
    }
    std::unique_ptr<TCommonDevice> device;
    if (type == 'P') {
        device = std::make_unique<TMotorControl>(bus_, address);
    } else if (type == 'Q' || type == 'R' || channels == kHvChannelCount) {
        device = std::make_unique<THVControl>(bus_, address);
    } else {
        device = std::make_unique<TAutoControl>(bus_, address);
    }
    device->RelayId = relay;
    return device;
}

TCommonDevice* TControls::RegisterDevice(int address, int port) {
    TCommonDevice* device = FindByAddress(address);
    if (device == nullptr) {
        std::unique_ptr<TCommonDevice> created;
        if (address == kRemoteAddress) {
            created = std::make_unique<TRemoteControl>(bus_);
        } else if (IsModuleAddress(address)) {
            created = CreateModule(address, port);
        } else if (IsRadioAddress(address)) {
            created = std::make_unique<TRadioModule>(bus_, address);
        }
        if (!created) {
            return nullptr;
        }
        device = created.get();
        items_.push_back(std::move(created));
        SleepMs(kRegisterPauseMs);
    }
    device->PortIndex = port;
    SleepMs(kRegisterPauseMs);
    device->Identify();
    SleepMs(kRegisterPauseMs);
    device->PollStatus();
    SleepMs(kRegisterPauseMs);
    Changed(address);
    return device;
}

TSoftControl* TControls::RegisterSoftControl(int consoleId, int port) {
    TSoftControl* console = FindSoftControl(consoleId);
    if (console == nullptr) {
        auto created = std::make_unique<TSoftControl>(bus_, consoleId);
        console = created.get();
        items_.push_back(std::move(created));
    }
    console->Stale = 0;
    console->PortIndex = port;
    SleepMs(kConsolePauseMs);
    console->Identify();
    SleepMs(kConsolePauseMs);
    console->PollStatus();
    SleepMs(kConsolePauseMs);
    Changed(kConsoleAddress);
    return console;
}

TSoftControl* TControls::FindSoftControl(int consoleId) const {
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
        if (IsConsole(it->get()) && static_cast<TSoftControl*>(it->get())->ConsoleId == consoleId) {
            return static_cast<TSoftControl*>(it->get());
        }
    }
    return nullptr;
}

void TControls::ReplyToConsoleProbe(const uint8_t* frame) {
    // The pause runs as a timer: another console may probe every 70 ms, and a show playing
    // meanwhile must not wait for our replies.
    const uint8_t prober = frame[3];
    QTimer::singleShot(static_cast<int>(QRandomGenerator::global()->bounded(kReplySpreadMs)),
                       Qt::PreciseTimer, &ScanTimer,
                       [this, prober] { bus_.ReplyConsoleQuery(prober, OwnMajorVersion()); });
}

void TControls::HandleUnsolicited(const uint8_t* frame, int port) {
    const int address = frame[5];
    if (IsModuleAddress(address)) {
        if (frame[0] == kModuleAnnouncement && Searching()) {
            RegisterDevice(address, port);
        }
        return;
    }
    if (address != kConsoleAddress) {
        return;
    }
    if (frame[0] == kConsoleProbe) {
        if (frame[4] == 0 || frame[4] == OwnConsoleId) {
            ReplyToConsoleProbe(frame);
        }
    } else if (frame[0] == kConsoleReply && Searching()) {
        RegisterSoftControl(frame[3], port);
    }
}

TCommonDevice* TControls::FindByAddress(int address) const {
    for (const auto& d : items_) {
        if (d->Address == address) {
            return d.get();
        }
    }
    return nullptr;
}

TCommonDevice* TControls::Items(int index) const {
    if (index < 0 || index >= Count()) {
        return nullptr;
    }
    return items_[static_cast<size_t>(index)].get();
}

TCommonControl* TControls::ModuleAt(int index) const {
    TCommonDevice* d = Items(index);
    if (d == nullptr || !d->IsModule()) {
        return nullptr;
    }
    return static_cast<TCommonControl*>(d);
}

int TControls::IndexOf(const TCommonDevice* device) const {
    for (int i = 0; i < Count(); ++i) {
        if (items_[static_cast<size_t>(i)].get() == device) {
            return i;
        }
    }
    return -1;
}

std::unique_ptr<TCommonDevice> TControls::SetItem(int index,
                                                  std::unique_ptr<TCommonDevice> device) {
    if (index < 0 || index >= Count() || !device) {
        return device;
    }
    std::swap(items_[static_cast<size_t>(index)], device);
    return device;
}

void TControls::Delete(int index) {
    if (index >= 0 && index < Count()) {
        items_.erase(items_.begin() + index);
    }
}

TCommonDevice* TControls::Add(std::unique_ptr<TCommonDevice> device) {
    if (!device) {
        return nullptr;
    }
    items_.push_back(std::move(device));
    return items_.back().get();
}

int TControls::ModuleCount() const {
    return static_cast<int>(
        std::count_if(items_.begin(), items_.end(), [](const auto& d) { return d->IsModule(); }));
}

int TControls::FirstModuleIndex() const {
    for (int i = 0; i < Count(); ++i) {
        if (items_[static_cast<size_t>(i)]->IsModule()) {
            return i;
        }
    }
    return -1;
}

int TControls::LastModuleIndex() const {
    for (int i = Count() - 1; i >= 0; --i) {
        if (items_[static_cast<size_t>(i)]->IsModule()) {
            return i;
        }
    }
    return -1;
}

int TControls::RadioUnitCount() const {
    return static_cast<int>(std::count_if(
        items_.begin(), items_.end(), [](const auto& d) { return IsRadioAddress(d->Address); }));
}

int TControls::RadioUnitsInError() const {
    return static_cast<int>(std::count_if(items_.begin(), items_.end(), [](const auto& d) {
        return IsRadioAddress(d->Address) && d->LastResult != 0;
    }));
}

int TControls::HasRemoteControl() const {
    return FindByAddress(kRemoteAddress) != nullptr ? 1 : 0;
}

int TControls::SoftControlCount() const {
    return static_cast<int>(std::count_if(
        items_.begin(), items_.end(), [](const auto& d) { return d->Address == kConsoleAddress; }));
}

void TControls::SortByAddress() {
    // stable_sort keeps equal addresses (the consoles) in registration order.
    std::stable_sort(items_.begin(), items_.end(),
                     [](const auto& a, const auto& b) { return a->Address < b->Address; });
}

}  // namespace kv
