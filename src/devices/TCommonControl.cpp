#include "devices/TCommonControl.h"

#include <algorithm>

#include "bus/TPortProto.h"
#include "core/Clock.h"
#include "util/SystemUtils.h"

namespace kv {

namespace {

// A measurement takes the module longer than a plain answer.
constexpr int kMeasureTimeoutMs = 200;
// Modules need this long after a mode change before the next command.
constexpr uint32_t kModeSettleMs = 100;

// Restores the answer window when the exchange that raised it is done.
class AnswerTimeoutGuard {
public:
    AnswerTimeoutGuard(TPortProto& bus, int ms) : bus_(bus), previous_(bus.AnswerTimeout()) {
        bus_.SetAnswerTimeout(ms);
    }
    ~AnswerTimeoutGuard() { bus_.SetAnswerTimeout(previous_); }
    AnswerTimeoutGuard(const AnswerTimeoutGuard&) = delete;
    AnswerTimeoutGuard& operator=(const AnswerTimeoutGuard&) = delete;

private:
    TPortProto& bus_;
    int previous_;
};

}  // namespace

TCommonControl::TCommonControl(TPortProto& bus, int32_t address) : TCommonDevice(bus, address) {
    Kind = KindCommonControl;
    ClearChannels();
    ClearScriptMarks();
}

int32_t TCommonControl::GetVersion() {
    int version = 0;
    LastResult = Bus().ReadVersion(Address, RelayId, PortIndex, version);
    if (LastResult != 0) {
        version = 0;
    }
    int clock = 0;
    char type = 0;
    LastResult = Bus().ReadClock(Address, RelayId, PortIndex, clock, type);
    if (LastResult == 0) {
        TypeLetter = static_cast<uint8_t>(type);
    }
    UpdateLinkQuality();
    return version;
}

void TCommonControl::Identify() {
    TCommonDevice::Identify();
    Ping();
}

int32_t TCommonControl::Ping() {
    int channels = 0;
    LastResult = Bus().QueryChannels(Address, RelayId, PortIndex, channels);
    if (LastResult == 0) {
        SetChannelCount(channels);
    }
    UpdateLinkQuality();
    return LastResult;
}

int32_t TCommonControl::ReadStatusFrame(double& output, uint8_t& flag, double& supply) {
    int f = ModeUnknown;
    const int result = Bus().ReadStatus(Address, RelayId, PortIndex, output, f, supply);
    flag = static_cast<uint8_t>(f);
    return result;
}

void TCommonControl::PollStatus() {
    double output = 0;
    double supply = 0;
    uint8_t flag = ModeUnknown;
    LastResult = ReadStatusFrame(output, flag, supply);
    if (LastResult != 0) {
        output = 0;
        supply = 0;
        flag = ModeUnknown;
    }
    OutputVoltage = output;
    SupplyVoltage = supply;
    if (Version >= fw::ModeFlag) {
        Mode = flag;
    }
    if (Version >= fw::Temperature) {
        int degrees = 0;
        if (Bus().ReadTemperature(Address, RelayId, PortIndex, degrees) != 0) {
            degrees = 0;
        }
        Temperature = degrees;
    }
    UpdateLinkQuality();
}

void TCommonControl::ClearChannels() {
    ChannelState.fill(ChannelUnknown);
    ChannelResistance.fill(0);
    ChannelFired.fill(0);
}

int32_t TCommonControl::MeasureChannel(int channel, double& value) {
    value = 0;
    AnswerTimeoutGuard window(Bus(), kMeasureTimeoutMs);
    LastResult = Bus().MeasureChannel(Address, channel, RelayId, PortIndex, value);
    if (LastResult != 0) {
        value = 0;
    }
    return LastResult;
}

int32_t TCommonControl::FireChannel(int channel) {
    double unused = 0;
    return Bus().FireChannel(Address, channel, RelayId, PortIndex, false, unused);
}

int TCommonControl::LinkQuality() const {
    if (LinkRequests <= 0) {
        return 0;
    }
    return static_cast<int>(RoundHalfAway(100.0 * LinkSuccesses / LinkRequests));
}

void TCommonControl::UpdateLinkQuality() {
    // A window of at most ten exchanges; a new window remembers one success only if the old
    // one was not hopeless, so a recovering module climbs back quickly.
    if (LinkRequests > 10) {
        LinkSuccesses = LinkQuality() >= 15 ? 1 : 0;
        LinkRequests = 1;
    }
    ++LinkRequests;
    if (LastResult == 0) {
        ++LinkSuccesses;
    }
}

int TCommonControl::CountState(uint8_t state) const {
    const int n = std::clamp(ChannelCount, 0, kMaxChannels);
    return static_cast<int>(std::count(ChannelState.begin(), ChannelState.begin() + n, state));
}

void TCommonControl::ClearScriptMarks() {
    ChannelInScript.fill(0);
}

void TCommonControl::SetChannelCount(int32_t count) {
    ChannelCount = std::clamp(count, 0, kMaxChannels);
}

int32_t TCommonControl::SendModeCode(bool launchMode, bool forcingOff) {
    // SetMode takes "test mode" and the forcing byte: bit 1 of the code is launch mode,
    // bit 0 forcing off.
    LastResult = Bus().SetMode(Address, !launchMode, forcingOff ? ForcingOff : ForcingOn, RelayId,
                               PortIndex);
    SleepMs(kModeSettleMs);
    return LastResult;
}

int32_t TCommonControl::SetMode(uint8_t mode) {
    // Mode itself changes with the next status poll, when the module reports it.
    SendModeCode(mode == ModeLaunch, Forcing != ForcingOn);
    UpdateLinkQuality();
    return LastResult;
}

int32_t TCommonControl::SetForcing(uint8_t value) {
    // An unknown mode counts as test mode: never switch a module to launch by accident.
    SendModeCode(Mode == ModeLaunch, value != ForcingOn);
    if (LastResult == 0) {
        Forcing = value;
    }
    UpdateLinkQuality();
    return LastResult;
}

}  // namespace kv
