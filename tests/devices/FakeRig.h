#pragma once

#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "FakeClock.h"
#include "ScriptedConverter.h"
#include "bus/TPortProto.h"
#include "core/Clock.h"

// A handful of devices behind in-memory converters: just enough of the device side of the
// protocol for the device model and the bus manager (version, clock/type, identification with
// an optional relay trailer, status, temperature, measurement, HV parameter, motor). A device
// can be made silent to stand for one that was switched off or lost an answer.
class FakeRig {
public:
    struct Device {
        int address = 0;
        int converter = 0;
        int version = 0x46B;
        char type = 'A';
        bool clockAnswers = true;
        int channels = 16;
        int relay = -1;  // the trailer byte after the identification answer; -1: none
        bool silent = false;
        double output = 12.5;
        double supply = 11.25;
        bool testMode = true;
        int temperature = 23;
        int energy = 15;
        std::map<int, int> readings = {};  // channel (0-based) -> raw reading; absent: no answer
    };

    explicit FakeRig(int converters = 1)
        : converters_(std::make_shared<kv::ScriptedConverter>(converters)) {
        converters_->SetResponder([this](int converter, const std::vector<uint8_t>& written) {
            return Answer(converter, written);
        });
    }

    std::shared_ptr<kv::ScriptedConverter> Converters() const { return converters_; }

    Device& Add(Device d) {
        std::lock_guard lock(mutex_);
        devices_[d.address] = d;
        return devices_[d.address];
    }
    void Remove(int address) {
        std::lock_guard lock(mutex_);
        devices_.erase(address);
    }
    void SetSilent(int address, bool silent) {
        std::lock_guard lock(mutex_);
        devices_[address].silent = silent;
    }
    void SetReading(int address, int channel, int raw) {
        std::lock_guard lock(mutex_);
        devices_[address].readings[channel] = raw;
    }
    // Requests of this code seen, any device.
    int Seen(uint8_t code) const {
        std::lock_guard lock(mutex_);
        auto it = seen_.find(code);
        return it == seen_.end() ? 0 : it->second;
    }
    // Data bytes of the last request of this code.
    std::vector<uint8_t> LastOf(uint8_t code) const {
        std::lock_guard lock(mutex_);
        auto it = last_.find(code);
        return it == last_.end() ? std::vector<uint8_t>{} : it->second;
    }

private:
    using Reply = kv::ScriptedConverter::Reply;

    static Reply Frame(uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4,
                       uint8_t address, uint32_t delayMs = 2) {
        return Reply{kv::ScriptedConverter::Frame(code, d1, d2, d3, d4, address), delayMs};
    }
    static uint8_t HexDigit(int v) { return static_cast<uint8_t>("0123456789ABCDEF"[v & 15]); }

    std::vector<Reply> Answer(int converter, const std::vector<uint8_t>& w) {
        if (w.size() != 7) {
            return {};
        }
        std::lock_guard lock(mutex_);
        const uint8_t code = w[0];
        const uint8_t address = w[5];
        ++seen_[code];
        last_[code] = {w[1], w[2], w[3], w[4]};
        auto it = devices_.find(address);
        if (it == devices_.end()) {
            return {};
        }
        Device& d = it->second;
        if (d.silent || d.converter != converter) {
            return {};
        }
        switch (code) {
            case 0x80:
                return {Frame(0x7F, 0, HexDigit(d.version >> 8), HexDigit(d.version >> 4),
                              HexDigit(d.version), address)};
            case 0x89:
                if (!d.clockAnswers) {
                    return {};
                }
                return {Frame(0x76, 0, 0, static_cast<uint8_t>(d.type), 0, address)};
            case 0x8F: {
                std::vector<Reply> r{Frame(0x70, 'O', 'k', static_cast<uint8_t>(d.channels >> 8),
                                           static_cast<uint8_t>(d.channels), address)};
                if (d.relay >= 0) {
                    r.push_back(
                        Reply{{static_cast<uint8_t>(d.relay), static_cast<uint8_t>(~d.relay)}, 10});
                }
                return r;
            }
            case 0x85: {
                const int out = static_cast<int>(d.output * 1000 + 0.5);
                const int sup = static_cast<int>(d.supply * 1000 + 0.5);
                return {Frame(0x7A,
                              static_cast<uint8_t>(((out >> 8) & 0x7F) | (d.testMode ? 0x80 : 0)),
                              static_cast<uint8_t>(out), static_cast<uint8_t>(sup >> 8),
                              static_cast<uint8_t>(sup), address)};
            }
            case 0x8D: {
                const int t = d.temperature < 0 ? -d.temperature : d.temperature;
                return {Frame(0x7F, d.temperature < 0 ? '-' : '+',
                              static_cast<uint8_t>('0' + t / 10),
                              static_cast<uint8_t>('0' + t % 10), 0, address)};
            }
            case 0x83: {
                const int channel = w[1] + 256 * w[2] - 1;
                auto r = d.readings.find(channel);
                if (r == d.readings.end()) {
                    return {};
                }
                return {Frame(0x7C, 0, 0, static_cast<uint8_t>(r->second >> 8),
                              static_cast<uint8_t>(r->second), address)};
            }
            case 0x82:
                return {Frame(0x7D, 1, w[2], static_cast<uint8_t>(d.energy),
                              static_cast<uint8_t>(255 - d.energy), address)};
            case 0x81:
                if (w[2] == 0xFD) {
                    d.energy = w[3];
                }
                return {Frame(0x7E, w[1], w[2], w[3], w[4], address)};
            case 0x84:
                // Answered only when asked for (a charge).
                if ((w[4] & 0x80) != 0) {
                    return {Frame(0x7B, w[1], w[2], w[3], w[4], address)};
                }
                return {};
            case 0x88:
                d.testMode = (w[1] & 2) == 0;
                return {};
            case 0x8C:
                return {Frame(0x73, w[1], w[2], w[3], 0, address)};
            default:
                return {};
        }
    }

    std::shared_ptr<kv::ScriptedConverter> converters_;
    mutable std::mutex mutex_;
    std::map<int, Device> devices_;
    std::map<uint8_t, int> seen_;
    std::map<uint8_t, std::vector<uint8_t>> last_;
};

// A protocol object over a FakeRig, opened, with the fake clock in force so that pauses and
// time-outs cost no wall time.
struct RigBus {
    kv::FakeClock clock;
    kv::ScopedClock useClock{clock};
    FakeRig rig;
    kv::TPortProto proto;

    explicit RigBus(int converters = 1) : rig(converters), proto(16, rig.Converters()) {
        proto.OpenPort();
    }
    ~RigBus() { proto.ClosePort(); }
};
