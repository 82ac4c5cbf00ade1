#include "sim/SimRig.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <set>
#include <sstream>

#include "util/SystemUtils.h"

namespace kv {

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Splits "word key=value key="quoted value"" into its word and pairs.
bool splitLine(const std::string& line, std::string& word, Pairs& pairs, std::string& error) {
    std::size_t i = 0;
    auto skip = [&] {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
        }
    };
    skip();
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
        word += line[i++];
    }
    for (skip(); i < line.size(); skip()) {
        std::string key;
        while (i < line.size() && line[i] != '=' &&
               !std::isspace(static_cast<unsigned char>(line[i]))) {
            key += line[i++];
        }
        if (i >= line.size() || line[i] != '=' || key.empty()) {
            error = "expected key=value at '" + line.substr(i - key.size()) + "'";
            return false;
        }
        ++i;
        std::string value;
        if (i < line.size() && line[i] == '"') {
            const std::size_t end = line.find('"', i + 1);
            if (end == std::string::npos) {
                error = "unterminated quote after " + key;
                return false;
            }
            value = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
                value += line[i++];
            }
        }
        pairs.emplace_back(key, value);
    }
    return true;
}

// A '#' starts a comment unless it is inside a quoted value ("bank #2").
std::string withoutComment(const std::string& line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == '#' && !quoted) {
            return line.substr(0, i);
        }
    }
    return line;
}

bool toInt(const std::string& s, long long& v, int base = 10) {
    std::string t = s;
    if (base == 10 && t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        t = t.substr(2);
        base = 16;
    }
    // One sign at most, and none inside a hexadecimal number ("0x-5", a negative version).
    if (base == 16 && !t.empty() && (t[0] == '-' || t[0] == '+')) {
        return false;
    }
    const auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v, base);
    return !t.empty() && ec == std::errc() && p == t.data() + t.size();
}

bool toDouble(const std::string& s, double& v) {
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && ec == std::errc() && p == s.data() + s.size() && std::isfinite(v);
}

bool toBool(const std::string& s, bool& v) {
    if (s == "yes" || s == "on" || s == "true" || s == "1") {
        v = true;
        return true;
    }
    if (s == "no" || s == "off" || s == "false" || s == "0") {
        v = false;
        return true;
    }
    return false;
}

// Faults keys shared by converter and device lines; true when the key was one of them.
bool faultKey(const std::string& k, const std::string& v, SimFaults& f, std::string& error,
              bool& ok) {
    SimFaultPattern* p = nullptr;
    if (k == "lose") {
        p = &f.loseAnswer;
    }
    if (k == "drop") {
        p = &f.dropRequest;
    }
    if (k == "corrupt") {
        p = &f.corrupt;
    }
    if (k == "late") {
        p = &f.late;
    }
    if (k == "noise") {
        p = &f.noise;
    }
    if (p) {
        ok = SimFaultPattern::Parse(v, *p, error);
        return true;
    }
    long long n = 0;
    if (k == "late-ms" || k == "noise-bytes") {
        ok = toInt(v, n) && n >= 0 && n <= 60000;
        if (!ok) {
            error = k + " must be a whole number from 0 to 60000";
        } else if (k == "late-ms") {
            f.lateMs = static_cast<uint32_t>(n);
        } else {
            f.noiseBytes = static_cast<uint32_t>(n);
        }
        return true;
    }
    return false;
}

struct KindInfo {
    SimDeviceKind kind;
    int channels;
    char type;
};

const std::map<std::string, KindInfo>& kinds() {
    static const std::map<std::string, KindInfo> m = {
        {"module", {SimDeviceKind::FiringModule, 16, 'A'}},
        {"hv", {SimDeviceKind::HvModule, 4, 'Q'}},
        {"motor", {SimDeviceKind::MotorModule, 1, 'P'}},
        {"radio", {SimDeviceKind::RadioUnit, 0, 0}},
        {"remote", {SimDeviceKind::RemoteControl, 0, 0}},
        {"console", {SimDeviceKind::Console, 0, 0}},
    };
    return m;
}

bool deviceKey(const std::string& k, const std::string& v, SimDeviceConfig& c, std::string& error) {
    long long n = 0;
    double d = 0;
    bool b = false;
    auto intIn = [&](long long lo, long long hi, int& field) {
        if (!toInt(v, n) || n < lo || n > hi) {
            error = k + " must be a whole number from " + std::to_string(lo) + " to " +
                    std::to_string(hi);
            return false;
        }
        field = static_cast<int>(n);
        return true;
    };
    auto u32In = [&](long long lo, long long hi, uint32_t& field) {
        int tmp = 0;
        if (!intIn(lo, hi, tmp)) {
            return false;
        }
        field = static_cast<uint32_t>(tmp);
        return true;
    };
    auto real = [&](double lo, double hi, double& field) {
        if (!toDouble(v, d) || d < lo || d > hi) {
            error =
                k + " must be a number from " + std::to_string(lo) + " to " + std::to_string(hi);
            return false;
        }
        field = d;
        return true;
    };
    auto flag = [&](bool& field) {
        if (!toBool(v, b)) {
            error = k + " must be yes or no";
            return false;
        }
        field = b;
        return true;
    };
    auto ohmsValue = [&](double& field) {
        if (v == "open") {
            field = kSimOpenOhms;
            return true;
        }
        return real(0.0, 1e6, field);
    };
    if (k == "address") {
        return intIn(0, 255, c.address);
    }
    if (k == "version") {
        if (v.size() != 3 || !toInt(v, n, 16)) {
            error = "version must be three hex digits such as 46B";
            return false;
        }
        c.version = static_cast<int>(n);
        return true;
    }
    if (k == "channels") {
        return intIn(0, 512, c.channels);
    }
    if (k == "type") {
        if (v.size() != 1) {
            error = "type must be one letter";
            return false;
        }
        c.typeLetter = v[0];
        return true;
    }
    if (k == "ohms") {
        return ohmsValue(c.defaultOhms);
    }
    if (k.rfind("ohm.", 0) == 0) {
        long long ch = 0;
        if (!toInt(k.substr(4), ch) || ch < 1 || ch > 512) {
            error = "ohm.N takes a channel number from 1 to 512";
            return false;
        }
        double r = 0;
        if (!ohmsValue(r)) {
            return false;
        }
        if (c.ohms.size() < static_cast<std::size_t>(ch)) {
            c.ohms.resize(static_cast<std::size_t>(ch), -1.0);
        }
        c.ohms[static_cast<std::size_t>(ch - 1)] = r;
        return true;
    }
    if (k == "supply") {
        return real(0, 65.5, c.supplyVolts);
    }
    if (k == "output") {
        return real(0, 32.7, c.outputVolts);
    }
    if (k == "temp") {
        return intIn(-99, 99, c.temperature);
    }
    if (k == "mode") {
        if (v != "launch" && v != "test") {
            error = "mode must be launch or test";
            return false;
        }
        c.mode = v == "launch" ? 0 : 1;
        return true;
    }
    if (k == "forcing") {
        if (v != "on" && v != "off") {
            error = "forcing must be on or off";
            return false;
        }
        c.forcing = v == "on" ? 0 : 1;
        return true;
    }
    if (k == "relay") {
        return intIn(-1, 255, c.relayTag);
    }
    if (k == "announce") {
        return flag(c.announce);
    }
    if (k == "powered") {
        return flag(c.powered);
    }
    if (k == "recording") {
        return flag(c.recording);
    }
    if (k == "erase-ms") {
        return u32In(0, 600000, c.eraseMs);
    }
    if (k == "fast-erase-ms") {
        return u32In(0, 600000, c.fastEraseMs);
    }
    if (k == "remote-erase-ms") {
        return u32In(0, 600000, c.remoteEraseMs);
    }
    if (k == "measure-ms") {
        return u32In(0, 60000, c.measureMs);
    }
    if (k == "blackbox-length") {
        return u32In(0, 0xFFFF, c.blackBoxLength);
    }
    if (k == "blackbox-seed") {
        return u32In(0, 0x7FFFFFFF, c.blackBoxSeed);
    }
    if (k == "slots") {
        return intIn(0, 65535, c.slotCapacity);
    }
    if (k == "energy") {
        return intIn(0, 255, c.energy);
    }
    if (k == "charge-rate") {
        return real(1, 1e6, c.chargeVoltsPerSecond);
    }
    if (k == "id") {
        return intIn(1, 255, c.consoleId);
    }
    if (k == "major") {
        return intIn(0, 255, c.consoleMajor);
    }
    if (k == "state") {
        int s = 0;
        if (!intIn(0, 255, s)) {
            return false;
        }
        c.consoleState = static_cast<uint8_t>(s);
        return true;
    }
    if (k == "play") {
        int s = 0;
        if (!intIn(0, 255, s)) {
            return false;
        }
        c.consolePlayKind = static_cast<uint8_t>(s);
        return true;
    }
    error = "unknown setting '" + k + "'";
    return false;
}

bool addressFits(const SimDeviceConfig& c) {
    switch (c.kind) {
        case SimDeviceKind::FiringModule:
        case SimDeviceKind::HvModule:
        case SimDeviceKind::MotorModule:
            return c.address >= 1 && c.address <= 239;
        case SimDeviceKind::RadioUnit:
            return c.address >= 240 && c.address <= 254;
        case SimDeviceKind::RemoteControl:
            return c.address == 0;
        case SimDeviceKind::Console:
            return c.address == 255;
    }
    return false;
}

}  // namespace

bool SimRig::Parse(const std::string& text, SimRig& rig, std::string& error) {
    SimRig out;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(lineNo) + ": " + what;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        line = withoutComment(line);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::string word;
        Pairs pairs;
        std::string why;
        if (!splitLine(line, word, pairs, why)) {
            return fail(why);
        }
        if (word.empty()) {
            continue;
        }
        if (word == "bus") {
            for (const auto& [k, v] : pairs) {
                long long n = 0;
                bool b = false;
                if (k == "pacing" && toBool(v, b)) {
                    out.options.pacing = b;
                } else if (k == "turnaround-us" && toInt(v, n) && n >= 0 && n <= 1000000) {
                    out.options.turnaroundUs = static_cast<uint32_t>(n);
                } else if (k == "seed" && toInt(v, n) && n >= 0 && n <= 0xFFFFFFFFll) {
                    out.options.seed = static_cast<uint32_t>(n);
                } else {
                    return fail("bad bus setting " + k + "=" + v);
                }
            }
            continue;
        }
        if (word == "converter") {
            // The console lists no more converters than this; the rest would vanish unseen.
            if (out.converters.size() >= static_cast<std::size_t>(kMaxConverters)) {
                return fail("a rig has at most " + std::to_string(kMaxConverters) + " converters");
            }
            Converter c;
            c.serial = "KVSIM" + std::to_string(out.converters.size() + 1);
            for (const auto& [k, v] : pairs) {
                bool ok = true;
                if (k == "serial") {
                    c.serial = v;
                } else if (k == "description") {
                    c.description = v;
                } else if (!faultKey(k, v, c.faults, why, ok)) {
                    return fail("unknown converter setting '" + k + "'");
                }
                if (!ok) {
                    return fail(why);
                }
            }
            out.converters.push_back(std::move(c));
            continue;
        }
        const auto kind = kinds().find(word);
        if (kind == kinds().end()) {
            return fail("unknown line kind '" + word + "'");
        }
        if (out.converters.empty()) {
            return fail("a device needs a converter line above it");
        }
        SimDeviceConfig c;
        c.kind = kind->second.kind;
        c.channels = kind->second.channels;
        c.typeLetter = kind->second.type;
        c.address = c.kind == SimDeviceKind::RemoteControl ? 0
                    : c.kind == SimDeviceKind::Console     ? 255
                                                           : -1;
        if (c.kind == SimDeviceKind::RadioUnit || c.kind == SimDeviceKind::RemoteControl) {
            c.version = 0x146;
        }
        for (const auto& [k, v] : pairs) {
            bool ok = true;
            if (!faultKey(k, v, c.faults, why, ok)) {
                ok = deviceKey(k, v, c, why);
            }
            if (!ok) {
                return fail(why);
            }
        }
        if (c.address < 0) {
            return fail("a " + word + " needs an address");
        }
        if (!addressFits(c)) {
            return fail("address " + std::to_string(c.address) + " does not suit a " + word);
        }
        // Channels listed beyond the count are a typing error worth reporting.
        for (std::size_t i = 0; i < c.ohms.size(); ++i) {
            if (c.ohms[i] >= 0.0 && static_cast<int>(i) >= c.channels) {
                return fail("ohm." + std::to_string(i + 1) + " is beyond the channel count");
            }
            if (c.ohms[i] < 0.0) {
                c.ohms[i] = c.defaultOhms;
            }
        }
        auto& devs = out.converters.back().devices;
        for (const auto& other : devs) {
            const bool bothConsoles =
                c.kind == SimDeviceKind::Console && other.kind == SimDeviceKind::Console;
            if (bothConsoles ? other.consoleId == c.consoleId : other.address == c.address) {
                return fail("two devices answer at the same address on one converter");
            }
        }
        devs.push_back(std::move(c));
    }
    if (out.converters.empty()) {
        error = "a rig needs at least one converter";
        return false;
    }
    rig = std::move(out);
    return true;
}

bool SimRig::Load(const std::string& path, SimRig& rig, std::string& error) {
    // A rig is a few lines: a FIFO, a device or a huge file is refused before it is read.
    constexpr qint64 kMaxRigBytes = 1024 * 1024;
    QByteArray bytes;
    QString why;
    if (!ReadInputFile(QString::fromStdString(path), kMaxRigBytes, bytes, why)) {
        error = "cannot read " + path + ": " + why.toStdString();
        return false;
    }
    // Editors that write a byte-order mark in front of UTF-8 text: the text is the same.
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    }
    if (!Parse(bytes.toStdString(), rig, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

SimRig SimRig::Demo() {
    SimRig rig;
    std::string error;
    Parse(DemoText(), rig, error);  // the built-in text is checked by the tests
    return rig;
}

std::unique_ptr<SimBus> SimRig::Build() const {
    auto bus = std::make_unique<SimBus>(options);
    Populate(*bus);
    return bus;
}

void SimRig::Populate(SimBus& bus) const {
    auto lock = bus.Lock();
    for (const auto& c : converters) {
        const int index = bus.AddConverter(c.serial, c.description);
        bus.Segment(index).Faults() = c.faults;
        for (const auto& d : c.devices) {
            bus.AddDevice(index, d);
        }
    }
}

}  // namespace kv
