#include "bus/TPortProto.h"

#include "core/Clock.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <stdexcept>

namespace kv {

namespace {

std::atomic<TPortProto*> installedProto{nullptr};

BusFrame frameOf(uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4, int address) {
    return BusFrame{code, d1, d2, d3, d4, static_cast<uint8_t>(address)};
}

uint8_t lo(int v) {
    return static_cast<uint8_t>(v & 0xFF);
}
uint8_t hi(int v) {
    return static_cast<uint8_t>((v >> 8) & 0xFF);
}

// Show time in 100 ms steps. Times outside 0..65535 steps are held at the ends rather than
// wrapped: a wrapped time would move a cue to the start of the show.
int steps(int t) {
    return std::clamp(t / 100, 0, 0xFFFF);
}
int tens(int t) {
    return t < 0 ? 0 : (t / 10) % 10;
}
int evenUnits(int t) {
    return t < 0 ? 0 : ((t % 10) / 2) * 2;
}

int decodeTime(const BusFrame& a) {
    return a[1] * 25600 + a[2] * 100 + (a[4] >> 4) * 10;
}

int motorKindOf(uint8_t sub) {
    switch (sub) {
        case 0x98:
            return 50;
        case 0x94:
            return 51;
        case 0x92:
            return 52;
        case 0x81:
            return 53;
        case 0x91:
            return 54;
        default:
            return 0;
    }
}

int motorSubOf(int kind) {
    switch (kind) {
        case 50:
            return 0x98;
        case 51:
            return 0x94;
        case 52:
            return 0x92;
        case 53:
            return 0x81;
        case 54:
            return 0x91;
        default:
            return -1;
    }
}

// Puts the answer time-out back however the exchange ends.
class TimeoutGuard {
public:
    TimeoutGuard(TPort& port, int ms) : port_(port), previous_(port.AnswerTimeout()) {
        port_.SetAnswerTimeout(ms);
    }
    ~TimeoutGuard() { port_.SetAnswerTimeout(previous_); }
    TimeoutGuard(const TimeoutGuard&) = delete;
    TimeoutGuard& operator=(const TimeoutGuard&) = delete;

private:
    TPort& port_;
    int previous_;
};

constexpr uint8_t kOk0 = 'O';
constexpr uint8_t kOk1 = 'k';

}  // namespace

TPortProto& Proto() {
    TPortProto* p = installedProto.load();
    if (p == nullptr) {
        throw std::logic_error("no bus protocol object installed");
    }
    return *p;
}

TPortProto* ProtoOrNull() {
    return installedProto.load();
}

void InstallProto(TPortProto* proto) {
    installedProto.store(proto);
}

TPortProto::TPortProto(int maxConverters, std::shared_ptr<ConverterBackend> backend)
    : TPort(maxConverters, std::move(backend)) {}

TPortProto::~TPortProto() {
    TPortProto* self = this;
    installedProto.compare_exchange_strong(self, nullptr);
}

int TPortProto::ParseVersion(uint8_t c1, uint8_t c2, uint8_t c3) {
    auto digit = [](uint8_t c) {
        const int u = std::toupper(static_cast<unsigned char>(c));
        if (u >= '0' && u <= '9') {
            return u - '0';
        }
        if (u >= 'A' && u <= 'F') {
            return u - 'A' + 10;
        }
        return -1;
    };
    return digit(c1) * 256 + digit(c2) * 16 + digit(c3);
}

int TPortProto::Send3(const BusFrame& request, int relayId, int converter) {
    const int times = relayId == -1 ? 1 : 3;
    int result = BusPortError;
    for (int i = 0; i < times; ++i) {
        result = Send(request, converter);
    }
    return result;
}

int TPortProto::RequestWithTimeout(const BusFrame& request, uint8_t expected, int relayId,
                                   int converter, BusFrame& answer, int timeoutMs) {
    TimeoutGuard guard(*this, timeoutMs);
    return Request(request, expected, relayId, converter, answer);
}

// --- Identification and search ---

int TPortProto::ReadVersion(int address, int relayId, int converter, int& version) {
    version = 0;
    BusFrame a{};
    const int r = Request(frameOf(0x80, 0, 1, 2, 3, address), 0x7F, relayId, converter, a);
    if (r == BusOk) {
        version = ParseVersion(a[2], a[3], a[4]);
    }
    return r;
}

int TPortProto::ProbeVersion(int address, int& converter, int& version) {
    version = 0;
    BusFrame a{};
    const int r = Probe(frameOf(0x80, 0, 1, 2, 3, address), 0x7F, converter, a);
    if (r == BusOk) {
        version = ParseVersion(a[2], a[3], a[4]);
    }
    return r;
}

int TPortProto::QueryChannels(int address, int relayId, int converter, int& channels) {
    channels = 0;
    BusFrame a{};
    const int r = Request(frameOf(0x8F, 1, 2, 3, 4, address), 0x70, relayId, converter, a);
    if (r == BusOk) {
        if (a[1] == kOk0 && a[2] == kOk1) {
            channels = a[3] * 256 + a[4];
        }
        SleepMs(200);
    }
    return r;
}

int TPortProto::QueryOk(int address, int converter) {
    BusFrame a{};
    const int r = Request(frameOf(0x8F, 1, 2, 3, 4, address), 0x70, -1, converter, a);
    SleepMs(200);
    return r;
}

int TPortProto::IdentifyModule(int address, int converter, int& channels, int& relayId) {
    channels = 0;
    relayId = -1;
    const bool wasListening = Listening();
    // The module follows its answer with a relay byte and its complement; the worker must not
    // take them as unsolicited traffic.
    SetListening(false);
    BusFrame a{};
    const int r = Request(frameOf(0x8F, 1, 2, 3, 4, address), 0x70, -1, converter, a);
    if (r == BusOk) {
        if (a[1] == kOk0 && a[2] == kOk1) {
            channels = a[3] * 256 + a[4];
        }
        SleepMs(50);
        uint8_t trailer[2] = {0, 0};
        const int n = ReadRawLocked(trailer, 2, converter);
        if (n == 2 && trailer[1] == static_cast<uint8_t>(~trailer[0])) {
            relayId = trailer[0];
        }
        SleepMs(200);
    }
    SetListening(wasListening);
    return r;
}

int TPortProto::ReadClock(int address, int relayId, int converter, int& clock, char& typeLetter) {
    clock = 0;
    typeLetter = 0;
    BusFrame a{};
    const int r = Request(frameOf(0x89, 0, 0, 0, 0, address), 0x76, relayId, converter, a);
    if (r == BusOk) {
        clock = (a[1] * 256 + a[2]) * 100;
        typeLetter = static_cast<char>(a[3]);
    }
    return r;
}

// --- Measurements ---

int TPortProto::ReadStatus(int address, int relayId, int converter, double& output, int& flag,
                           double& supply) {
    output = 0;
    supply = 0;
    flag = 2;
    BusFrame a{};
    const int r = Request(frameOf(0x85, 0, 0, 0, 0, address), 0x7A, relayId, converter, a);
    if (r == BusOk) {
        output = ((a[1] & 0x7F) * 256 + a[2]) / 1000.0;
        flag = a[1] >> 7;
        supply = (a[3] * 256 + a[4]) / 1000.0;
    }
    return r;
}

int TPortProto::ReadHVStatus(int address, int relayId, int converter, double& output, int& flag,
                             double& supply) {
    output = 0;
    supply = 0;
    flag = 2;
    BusFrame a{};
    const int r = Request(frameOf(0x85, 0, 0, 0, 0, address), 0x7A, relayId, converter, a);
    if (r == BusOk) {
        output = (a[1] * 256 + a[2]) / 10.0;
        flag = a[1] >> 7;
        supply = (a[3] * 256 + a[4]) / 1000.0;
    }
    return r;
}

int TPortProto::MeasureChannel(int address, int channel, int relayId, int converter,
                               double& value) {
    value = 0;
    const int n = channel + 1;
    BusFrame a{};
    const int r = Request(frameOf(0x83, lo(n), hi(n), 0, 0, address), 0x7C, relayId, converter, a);
    if (r == BusOk) {
        value = (a[3] * 256 + a[4]) / 1000.0;
    }
    return r;
}

int TPortProto::ReadTemperature(int address, int relayId, int converter, int& value) {
    value = 0;
    BusFrame a{};
    const int r = Request(frameOf(0x8D, 0, 0, 0, 0, address), 0x7F, relayId, converter, a);
    if (r == BusOk) {
        const auto isDigit = [](uint8_t c) { return c >= '0' && c <= '9'; };
        int v = 0;
        if (isDigit(a[2]) && isDigit(a[3])) {
            v = (a[2] - '0') * 10 + (a[3] - '0');
        } else if (a[2] == ' ' && isDigit(a[3])) {
            v = a[3] - '0';
        }
        value = a[1] == '-' ? -v : v;
    }
    return r;
}

// --- Firing and channel values ---

int TPortProto::FireChannel(int address, int channel, int relayId, int converter, bool wantAnswer,
                            double& value) {
    value = -1.0;
    const int n = channel + 1;
    if (!wantAnswer) {
        return Send3(frameOf(0x84, lo(n), hi(n), 0x80, 0x00, address), relayId, converter);
    }
    BusFrame a{};
    const int r =
        Request(frameOf(0x84, lo(n), hi(n), 0x80, 0x80, address), 0x7B, relayId, converter, a);
    if (r == BusOk) {
        value = ((a[3] & 0x7F) * 256 + a[4]) / 1000.0;
    }
    return r;
}

namespace {
// A 14-bit channel value: out-of-range values are held at the ends, never wrapped into the
// high byte's flag bit.
int clamp14(int v) {
    return std::clamp(v, 0, 0x3FFF);
}
}  // namespace

int TPortProto::SetChannelValue(int address, int channel, int relayId, int converter, int v,
                                bool wantAnswer) {
    v = clamp14(v);
    const int n = channel + 1;
    const auto d3 = static_cast<uint8_t>(0x80 + (v >> 7));
    const auto d4 = static_cast<uint8_t>(v & 0x7F);
    if (!wantAnswer) {
        return Send3(frameOf(0x84, lo(n), hi(n), d3, d4, address), relayId, converter);
    }
    BusFrame a{};
    return Request(frameOf(0x84, lo(n), hi(n), d3, static_cast<uint8_t>(d4 + 0x80), address), 0x7B,
                   relayId, converter, a);
}

int TPortProto::ChargeHV(int address, int v, int relayId, int converter) {
    v = clamp14(v);
    BusFrame a{};
    return Request(frameOf(0x84, 0, 0, static_cast<uint8_t>(0x80 + (v >> 7)),
                           static_cast<uint8_t>((v & 0x7F) + 0x80), address),
                   0x7B, relayId, converter, a);
}

// --- Mode ---

int TPortProto::SetMode(int address, bool testMode, int forcing, int relayId, int converter) {
    const auto m = static_cast<uint8_t>((forcing != 0 ? 1 : 0) + (testMode ? 0 : 2));
    const int r = Send3(frameOf(0x88, m, 0, 0, 0, address), relayId, converter);
    SleepMs(20);
    return r;
}

int TPortProto::ResetHV(int address, int relayId, int converter) {
    BusFrame a{};
    return Request(frameOf(0x88, 1, 0, 1, 0, address), 0x77, relayId, converter, a);
}

// --- Show clock and console messages ---

int TPortProto::StartShowClock(int t) {
    const int h = steps(t);
    return Send(frameOf(0x90, hi(h), lo(h), 0x80, 0, 0), -1);
}

int TPortProto::StopShowClock(int t) {
    const int h = steps(t);
    return Send(frameOf(0x90, hi(h), lo(h), 0x00, 0, 0), -1);
}

int TPortProto::AnnounceStart(int t) {
    const int h = steps(t);
    return Send(frameOf(0x10, hi(h), lo(h), OwnConsoleId, 0, 0xFF), -1);
}

int TPortProto::AnnounceStop(int t) {
    const int h = steps(t);
    return Send(frameOf(0x11, hi(h), lo(h), OwnConsoleId, 0, 0xFF), -1);
}

int TPortProto::QueryConsole(int consoleId, int converter, int& version, int& answeringId) {
    version = 0;
    answeringId = 0;
    BusFrame a{};
    const int r = RequestWithTimeout(frameOf(0x01, 0, 0, OwnConsoleId, lo(consoleId), 0xFF), 0x02,
                                     -1, converter, a, 300);
    if (r == BusOk) {
        version = a[1];
        answeringId = a[3];
    }
    return r;
}

int TPortProto::BroadcastConsoleQuery() {
    return Send(frameOf(0x01, 0, 0, OwnConsoleId, 0, 0xFF), -1);
}

int TPortProto::ReplyConsoleQuery(int askingId, int majorVersion) {
    return Send(frameOf(0x02, lo(majorVersion), 0, OwnConsoleId, lo(askingId), 0xFF), -1);
}

int TPortProto::ReplyConsoleStatus(int askingId, uint8_t stateAndMode, uint8_t playKind) {
    return Send(frameOf(0x04, stateAndMode, playKind, OwnConsoleId, lo(askingId), 0xFF), -1);
}

// --- Cue memory of the modules ---

namespace {

bool sameData(const BusFrame& a, const BusFrame& b) {
    return a[1] == b[1] && a[2] == b[2] && a[3] == b[3] && a[4] == b[4];
}

BusFrame readFrame(int address, int n) {
    return frameOf(0x92, 0, 0, lo(n), hi(n), address);
}

}  // namespace

// Cue record of a channel: time in 100 ms steps, channel + 1 split over d3 and bit 0 of d4,
// tens of ms in the high nibble of d4 and, on the newest firmware, the even units in bits 1-3.
BusFrame TPortProto::CueFrame(int address, int channel, int t, bool withUnits) {
    const int h = steps(t);
    const int n = channel + 1;
    int d4 = (n >> 8) + 16 * tens(t);
    if (withUnits) {
        d4 += evenUnits(t);
    }
    return frameOf(0x91, hi(h), lo(h), lo(n), static_cast<uint8_t>(d4), address);
}

int TPortProto::CueFrameTime(const BusFrame& frame, bool withUnits) {
    return decodeTime(frame) + (withUnits ? (frame[4] & 0x0E) : 0);
}

int TPortProto::WriteCue(int address, int channel, int relayId, int converter, int t) {
    const int r = Send(CueFrame(address, channel, t, false), converter);
    // The module writes its flash page before it takes the next record.
    SleepMs(70);
    return r;
}

int TPortProto::WriteCueChecked(int address, int channel, int relayId, int converter, int t) {
    const BusFrame request = CueFrame(address, channel, t, true);
    BusFrame a{};
    const int r = Request(request, 0x6E, relayId, converter, a);
    if (r != BusOk) {
        return r;
    }
    return sameData(a, request) ? BusOk : BusPortError;
}

int TPortProto::ReadChannelTime(int address, int channel, int relayId, int converter, int& t) {
    t = 0;
    BusFrame a{};
    const int r = Request(readFrame(address, channel + 1), 0x6D, relayId, converter, a);
    if (r == BusOk) {
        t = decodeTime(a);
    }
    return r;
}

namespace {

// Cue record n (1-based) of a module: time, channel bit 8 in bit 0 of d4, and on the newest
// firmware the even units of the ms in bits 1-3 of d4.
int readCueRecord(TPortProto& proto, int address, int index, int relayId, int converter, bool fine,
                  int& t, int& channel) {
    t = 0;
    channel = -1;
    BusFrame a{};
    const int r = proto.Request(readFrame(address, index + 1), 0x6D, relayId, converter, a);
    if (r == BusOk) {
        t = decodeTime(a) + (fine ? (a[4] & 0x0E) : 0);
        channel = a[3] + 256 * (a[4] & 1) - 1;
    }
    return r;
}

}  // namespace

int TPortProto::ReadCue(int address, int index, int relayId, int converter, int& t, int& channel) {
    return readCueRecord(*this, address, index, relayId, converter, false, t, channel);
}

int TPortProto::ReadCueFine(int address, int index, int relayId, int converter, int& t,
                            int& channel) {
    return readCueRecord(*this, address, index, relayId, converter, true, t, channel);
}

int TPortProto::WriteMotorCue(int address, int t, int relayId, int converter, int p1, int p2,
                              int kind) {
    const int sub = motorSubOf(kind);
    if (sub < 0) {
        return BusPortError;  // not a motor cue: nothing is written
    }
    const bool turn = kind >= 53;
    const int h = steps(t);
    const int xs[3] = {turn ? p2 : p1, turn ? p1 : 0, sub};
    for (int k = 0; k < 3; ++k) {
        const BusFrame request =
            frameOf(0x91, hi(h), lo(h), lo(xs[k]), static_cast<uint8_t>(k), address);
        BusFrame a{};
        const int r = Request(request, 0x6E, relayId, converter, a);
        if (r != BusOk) {
            return r;
        }
        if (!sameData(a, request)) {
            return BusPortError;
        }
    }
    return BusOk;
}

int TPortProto::ReadMotorCue(int address, int index, int relayId, int converter, int& t, int& kind,
                             int& p1, int& p2) {
    t = 0;
    kind = 0;
    p1 = 0;
    p2 = 0;
    BusFrame rec[3]{};
    for (int k = 0; k < 3; ++k) {
        const int r =
            Request(readFrame(address, 3 * index + k + 1), 0x6D, relayId, converter, rec[k]);
        if (r != BusOk) {
            return r;
        }
    }
    for (int k = 1; k < 3; ++k) {
        if (rec[k][1] != rec[0][1] || rec[k][2] != rec[0][2]) {
            return BusPortError;  // the three records belong to different cues
        }
    }
    kind = motorKindOf(rec[2][3]);
    if (kind == 0) {
        return BusOk;
    }
    t = rec[0][1] * 25600 + rec[0][2] * 100;
    if (kind >= 53) {
        p1 = rec[1][3];
        p2 = rec[0][3];
    } else {
        p1 = rec[0][3];
    }
    return BusOk;
}

int TPortProto::EraseScript(int address, int relayId, int converter) {
    BusFrame a{};
    return RequestWithTimeout(frameOf(0x8A, 0, 0, 0, 0, address), 0x7F, relayId, converter, a,
                              5000);
}

int TPortProto::EraseScriptFast(int address, int relayId, int converter) {
    BusFrame a{};
    return RequestWithTimeout(frameOf(0x95, 0, 0, 0, 0, address), 0x7F, relayId, converter, a,
                              3000);
}

// --- Radio remote control ---

int TPortProto::WriteRemoteCue(int cueModule, int channel, int relayId, int converter, int t) {
    BusFrame a{};
    const int r = Request(CueFrame(cueModule, channel, t, false), 0x6E, relayId, converter, a);
    // The remote stores the record before it listens again.
    SleepMs(100);
    return r;
}

int TPortProto::ReadRemoteCue(int index, int relayId, int converter, int& module, int& channel,
                              int& t) {
    module = 0;
    channel = -1;
    t = 0;
    BusFrame a{};
    const int r = Request(readFrame(0, index + 1), 0x91, relayId, converter, a);
    if (r == BusOk) {
        t = decodeTime(a);
        module = a[5];
        channel = (a[4] & 0x0F) * 256 + a[3] - 1;
    }
    return r;
}

int TPortProto::EraseRemote(int converter, int firmwareVersion) {
    if (firmwareVersion < 0x146) {
        return -10;  // older remotes cannot erase on command
    }
    BusFrame a{};
    const int r = RequestWithTimeout(frameOf(0x8A, 0, 0, 0, 0, 0), 0x7F, -1, converter, a, 30000);
    if (r != BusOk) {
        return r;
    }
    const bool confirmed = a[1] == 'C' && a[2] == 'l' && a[3] == 'E' && a[4] == 'e' && a[5] == 0;
    return confirmed ? BusOk : BusTransferError;
}

// --- Black box ---

int TPortProto::ReadLogLength(int address, int relayId, int converter, int& value) {
    value = 0;
    BusFrame a{};
    const int r = Request(frameOf(0x8E, 0, 0, 0, 0, address), 0x71, relayId, converter, a);
    if (r == BusOk) {
        value = a[1] * 256 + a[2];
    }
    return r;
}

int TPortProto::ReadLogWord(int address, int word, int relayId, int converter, uint8_t& b1,
                            uint8_t& b2, uint8_t& b3, uint8_t& b4) {
    b1 = b2 = b3 = b4 = 0;
    const int a16 = (0x0400 + 4 * word) & 0xFFFF;
    BusFrame a{};
    const int r =
        Request(frameOf(0x94, hi(a16), lo(a16), 0, 0, address), 0x6B, relayId, converter, a);
    if (r == BusOk) {
        b1 = a[1];
        b2 = a[2];
        b3 = a[3];
        b4 = a[4];
    }
    return r;
}

// --- Parameters and number change ---

int TPortProto::ReadHVParameter(int address, int relayId, int converter, int& value) {
    value = 0;
    BusFrame a{};
    const int r = Request(frameOf(0x82, 0x01, 0xFD, 0, 0, address), 0x7D, relayId, converter, a);
    if (r == BusOk) {
        value = a[3];
    }
    return r;
}

int TPortProto::WriteHVParameter(int address, int value, int relayId, int converter) {
    BusFrame a{};
    return Request(frameOf(0x81, 0x01, 0xFD, lo(value), 0xFF, address), 0x7E, relayId, converter,
                   a);
}

int TPortProto::ChangeNumber(int address, int newNumber, int relayId, int converter) {
    const uint8_t n = lo(newNumber);
    int result = BusPortError;
    for (int attempt = 0; attempt < 3; ++attempt) {
        SleepMs(50);
        result =
            Send(frameOf(0x81, 0x01, 0xFE, n, static_cast<uint8_t>(0xFF - n), address), converter);
        // The module stores the number before it answers again.
        SleepMs(100);
        if (result != BusOk) {
            continue;
        }
        BusFrame a{};
        result = Request(frameOf(0x82, 0x01, 0xFE, 0, 0, address), 0x7D, relayId, converter, a);
        if (result != BusOk) {
            continue;
        }
        if (a[3] != n || a[4] != static_cast<uint8_t>(0xFF - n)) {
            result = BusPortError;
            continue;
        }
        result = QueryOk(address, converter);
        if (result == BusOk) {
            return BusOk;
        }
    }
    return result;
}

// --- Motor commands ---

int TPortProto::MotorCommand(int address, uint8_t sub, int x, int y, int relayId, int converter) {
    BusFrame a{};
    return Request(frameOf(0x8C, sub, lo(x), lo(y), 0, address), 0x73, relayId, converter, a);
}

int TPortProto::MotorCentre(int address, int p1, int relayId, int converter) {
    return MotorCommand(address, 0x98, p1, 0, relayId, converter);
}

int TPortProto::MotorLeft(int address, int p1, int relayId, int converter) {
    return MotorCommand(address, 0x94, p1, 0, relayId, converter);
}

int TPortProto::MotorRight(int address, int p1, int relayId, int converter) {
    return MotorCommand(address, 0x92, p1, 0, relayId, converter);
}

int TPortProto::MotorTurnLeft(int address, int p1, int p2, int relayId, int converter) {
    return MotorCommand(address, 0x81, p2, p1, relayId, converter);
}

int TPortProto::MotorTurnRight(int address, int p1, int p2, int relayId, int converter) {
    return MotorCommand(address, 0x91, p2, p1, relayId, converter);
}

}  // namespace kv
