#include "sim/SimFiringModule.h"

#include <algorithm>
#include <cmath>

#include "sim/SimVersionText.h"

namespace kv {

namespace {

int channelNumber(const SimFrame& f) {
    return f[1] | (f[2] << 8);
}

uint16_t clampReading(double v) {
    if (!(v >= 0.0)) {
        return 0;
    }
    return static_cast<uint16_t>(std::min(65535.0, std::round(v)));
}

}  // namespace

SimFiringModule::SimFiringModule(const SimDeviceConfig& config)
    : SimDevice(config),
      mode_(config.mode),
      forcing_(config.forcing),
      memory_(config.version >= simfw::kSlotMemory ? SimScriptMemory::Layout::Slots
                                                   : SimScriptMemory::Layout::PerChannel,
              config.channels, config.slotCapacity, config.version >= simfw::kAnsweredWrites) {
    ohms_.resize(static_cast<std::size_t>(std::max(0, config.channels)));
    for (int i = 0; i < config.channels; ++i) {
        ohms_[static_cast<std::size_t>(i)] = config.Ohms(i);
    }
    cueDone_.assign(memory_.Entries().size(), 0);
}

double SimFiringModule::Ohms(int channel) const {
    return channel >= 0 && channel < static_cast<int>(ohms_.size())
               ? ohms_[static_cast<std::size_t>(channel)]
               : kSimOpenOhms;
}

void SimFiringModule::SetOhms(int channel, double ohms) {
    if (channel >= 0 && channel < static_cast<int>(ohms_.size())) {
        ohms_[static_cast<std::size_t>(channel)] = ohms;
    }
}

uint16_t SimFiringModule::MeasurementReading(double ohms) const {
    if (Version() >= simfw::kOhmReading) {
        return clampReading(std::isinf(ohms) ? 65535.0 : ohms * 10.0);
    }
    // Older firmware reports a continuity level that falls as the resistance rises; the
    // console takes 4000 and above as connected, which this curve reaches up to 5 ohms.
    return clampReading(std::isinf(ohms) ? 0.0 : 60000.0 / (10.0 + std::max(0.0, ohms)));
}

int SimFiringModule::ClockMs(SimTimeUs now) const {
    if (!clockRunning_ || now < clockBaseAt_) {
        return clockBaseMs_;
    }
    return clockBaseMs_ + static_cast<int>((now - clockBaseAt_) / 1000);
}

SimTimeUs SimFiringModule::TimeOfClock(int ms) const {
    if (ms <= clockBaseMs_) {
        return clockBaseAt_;
    }
    return clockBaseAt_ + static_cast<SimTimeUs>(ms - clockBaseMs_) * 1000;
}

bool SimFiringModule::FiringAllowed() const {
    // Test mode exists from the generation that reports it; there it keeps the outputs safe.
    return Version() < simfw::kModeReport || mode_ == 0;
}

void SimFiringModule::FireOutput(int channel, SimTimeUs now, bool autonomous, int volts) {
    if (!FiringAllowed()) {
        ++refusedFires_;
        return;
    }
    firings_.push_back({channel, now, autonomous, volts});
    SetOhms(channel, kSimOpenOhms);  // a fired igniter is burnt through
}

void SimFiringModule::OnSwitchOn(SimTimeUs now, SimOutput& out) {
    if (Config().announce) {
        const int ch = Channels();
        Reply(out, now, 0x70, 'O', 'k', static_cast<uint8_t>(ch >> 8),
              static_cast<uint8_t>(ch & 0xFF));
    }
}

SimTimeUs SimFiringModule::NextDeadline() const {
    return std::min(eraseDoneAt_, clockRunning_ ? NextCueDeadline() : kSimNever);
}

SimTimeUs SimFiringModule::NextCueDeadline() const {
    int best = -1;
    for (const auto& c : memory_.Cues()) {
        if (!cueDone_[static_cast<std::size_t>(c.slot)] && c.timeMs >= clockStartMs_ &&
            (best < 0 || c.timeMs < best)) {
            best = c.timeMs;
        }
    }
    if (best < 0) {
        return kSimNever;
    }
    return std::max(TimeOfClock(best), clockBaseAt_);
}

void SimFiringModule::Advance(SimTimeUs now, SimOutput& out) {
    if (eraseDoneAt_ != kSimNever && now >= eraseDoneAt_) {
        const SimTimeUs done = eraseDoneAt_;
        eraseDoneAt_ = kSimNever;
        memory_.Erase();
        std::fill(cueDone_.begin(), cueDone_.end(), 0);
        Reply(out, done, 0x7F, 'C', 'l', 'E', 'e');
    }
    if (clockRunning_) {
        const int pos = ClockMs(now);
        RunCues(clockDoneMs_, pos, now);
        clockDoneMs_ = std::max(clockDoneMs_, pos);
    }
}

void SimFiringModule::RunCues(int /*fromMs*/, int toMs, SimTimeUs now) {
    for (const auto& c : memory_.Cues()) {
        char& done = cueDone_[static_cast<std::size_t>(c.slot)];
        if (!done && c.timeMs >= clockStartMs_ && c.timeMs <= toMs) {
            done = 1;
            FireOutput(c.channel, now, true);
        }
    }
}

void SimFiringModule::HandleShowClock(const SimFrame& f, SimTimeUs now) {
    const int ms = (f[1] * 256 + f[2]) * 100;
    if (f[3] & 0x80) {
        if (!clockRunning_) {
            // A fresh start: every stored cue from this position on is due again.
            std::fill(cueDone_.begin(), cueDone_.end(), 0);
            clockStartMs_ = ms;
            clockDoneMs_ = ms - 1;
        }
        clockRunning_ = true;
        clockBaseMs_ = ms;
        clockBaseAt_ = now;
    } else {
        clockRunning_ = false;
        clockBaseMs_ = ms;
        clockBaseAt_ = now;
    }
}

void SimFiringModule::OnFrame(const SimFrame& f, SimTimeUs now, SimOutput& out) {
    if (f[0] == 0x90 && f[5] != 0xFF) {
        if (!Erasing()) {
            HandleShowClock(f, now);
        }
        return;
    }
    if (f[5] != Address() || Erasing()) {
        return;
    }
    const int ch = Channels();
    switch (f[0]) {
        case 0x80: {
            const auto v = SimVersionText(Version());
            Reply(out, now, 0x7F, 'V', v[0], v[1], v[2]);
            return;
        }
        case 0x8F: {
            memory_.Rewind();
            std::vector<uint8_t> trailer;
            if (Config().relayTag >= 0) {
                const auto tag = static_cast<uint8_t>(Config().relayTag);
                trailer = {tag, static_cast<uint8_t>(~tag)};
            }
            Reply(out, now, 0x70, 'O', 'k', static_cast<uint8_t>(ch >> 8),
                  static_cast<uint8_t>(ch & 0xFF), 0, trailer);
            if (pendingNumber_ && numberReadBack_) {
                // Confirmed: from now on the module listens at its new number.
                SetAddress(*pendingNumber_);
                pendingNumber_.reset();
                numberReadBack_ = false;
            }
            return;
        }
        case 0x89: {
            const int steps = std::clamp(ClockMs(now) / 100, 0, 0xFFFF);
            Reply(out, now, 0x76, static_cast<uint8_t>(steps >> 8),
                  static_cast<uint8_t>(steps & 0xFF), static_cast<uint8_t>(Config().typeLetter), 0);
            return;
        }
        case 0x85:
            AnswerStatus(f, now, out);
            return;
        case 0x8D: {
            if (Version() < simfw::kTemperature) {
                return;
            }
            const int t = std::clamp(Config().temperature, -99, 99);
            const int a = std::abs(t);
            Reply(out, now, 0x7F, t < 0 ? '-' : '+', static_cast<uint8_t>('0' + a / 10),
                  static_cast<uint8_t>('0' + a % 10), 0);
            return;
        }
        case 0x83: {
            const int number = channelNumber(f);
            if (number < 1 || number > ch) {
                return;
            }
            const uint16_t r = MeasurementReading(Ohms(number - 1));
            Reply(out, now, 0x7C, 0, 0, static_cast<uint8_t>(r >> 8),
                  static_cast<uint8_t>(r & 0xFF),
                  static_cast<SimTimeUs>(Config().measureMs) * 1000);
            return;
        }
        case 0x84:
            HandleFire(f, now, out);
            return;
        case 0x88:
            if (f[2] == 0 && f[3] == 0 && f[4] == 0) {
                forcing_ = f[1] & 1;
                if (Version() >= simfw::kModeReport) {
                    mode_ = (f[1] & 2) ? 0 : 1;
                }
            } else {
                HandleSpecial(f, now, out);
            }
            return;
        case 0x91: {
            const SimScriptMemory::Entry e{f[1], f[2], f[3], f[4]};
            const bool stored = memory_.Write(e);
            if (stored && Version() >= simfw::kAnsweredWrites) {
                Reply(out, now, 0x6E, f[1], f[2], f[3], f[4]);
            }
            return;
        }
        case 0x92: {
            const auto e = memory_.Read(f[3] | (f[4] << 8));
            Reply(out, now, 0x6D, e[0], e[1], e[2], e[3]);
            return;
        }
        case 0x8A:
            if (Version() >= simfw::kSlotMemory) {
                HandleErase(f, now, static_cast<SimTimeUs>(Config().eraseMs) * 1000);
            }
            return;
        case 0x95:
            if (Version() >= simfw::kFastErase) {
                HandleErase(f, now, static_cast<SimTimeUs>(Config().fastEraseMs) * 1000);
            }
            return;
        case 0x8E: {
            const uint32_t len = Config().blackBoxLength;
            Reply(out, now, 0x71, static_cast<uint8_t>((len >> 8) & 0xFF),
                  static_cast<uint8_t>(len & 0xFF), 0, 0);
            return;
        }
        case 0x94:
            AnswerBlackBox(f, now, out);
            return;
        case 0x81:
        case 0x82:
            if (f[1] == 0x01 && f[2] == 0xFE) {
                HandleNumber(f, now, out);
            } else {
                HandleParameter(f, now, out);
            }
            return;
        default:
            HandleSpecial(f, now, out);
            return;
    }
}

void SimFiringModule::AnswerStatus(const SimFrame&, SimTimeUs now, SimOutput& out) {
    const int output =
        std::clamp(static_cast<int>(std::lround(Config().outputVolts * 1000)), 0, 0x7FFF);
    const int supply =
        std::clamp(static_cast<int>(std::lround(Config().supplyVolts * 1000)), 0, 0xFFFF);
    const bool flag = Version() >= simfw::kModeReport && mode_ == 1;
    Reply(out, now, 0x7A, static_cast<uint8_t>((output >> 8) | (flag ? 0x80 : 0)),
          static_cast<uint8_t>(output & 0xFF), static_cast<uint8_t>(supply >> 8),
          static_cast<uint8_t>(supply & 0xFF));
}

void SimFiringModule::HandleFire(const SimFrame& f, SimTimeUs now, SimOutput& out) {
    const int number = channelNumber(f);
    if (number < 1 || number > Channels() || !(f[3] & 0x80)) {
        return;
    }
    FireOutput(number - 1, now, false);
    if (f[4] & 0x80) {
        const uint16_t r = std::min<uint16_t>(MeasurementReading(Ohms(number - 1)), 0x7FFF);
        Reply(out, now, 0x7B, 0, 0, static_cast<uint8_t>(r >> 8), static_cast<uint8_t>(r & 0xFF));
    }
}

bool SimFiringModule::HandleSpecial(const SimFrame&, SimTimeUs, SimOutput&) {
    return false;
}

bool SimFiringModule::HandleParameter(const SimFrame&, SimTimeUs, SimOutput&) {
    return false;
}

void SimFiringModule::HandleErase(const SimFrame&, SimTimeUs now, SimTimeUs workUs) {
    clockRunning_ = false;
    eraseDoneAt_ = now + workUs;
}

void SimFiringModule::HandleNumber(const SimFrame& f, SimTimeUs now, SimOutput& out) {
    if (Version() < simfw::kNumberChange) {
        return;
    }
    if (f[0] == 0x81) {
        const int n = f[3];
        // The check byte guards against a corrupted number; 0 and the ranges of other device
        // kinds are refused.
        if (f[4] == 0xFF - n && n >= 1 && n <= 239) {
            pendingNumber_ = n;
            numberReadBack_ = false;
        }
        return;
    }
    const int n = pendingNumber_ ? *pendingNumber_ : Address();
    numberReadBack_ = pendingNumber_.has_value();
    Reply(out, now, 0x7D, 0x01, 0xFE, static_cast<uint8_t>(n), static_cast<uint8_t>(255 - n));
}

uint8_t SimFiringModule::blackBoxByte(uint32_t address) const {
    const auto& image = Config().blackBox;
    if (address < 0x0400) {
        return 0;
    }
    const uint32_t offset = address - 0x0400;
    if (!image.empty()) {
        return offset < image.size() ? image[offset] : 0xFF;
    }
    // A reproducible pattern, different per module and seed, so that records can be told apart.
    const uint32_t x = (offset + 1) * 2654435761u + Config().blackBoxSeed * 40503u +
                       static_cast<uint32_t>(Config().address);
    return static_cast<uint8_t>(x >> 24);
}

void SimFiringModule::AnswerBlackBox(const SimFrame& f, SimTimeUs now, SimOutput& out) {
    const uint32_t a = static_cast<uint32_t>(f[1] << 8 | f[2]);
    Reply(out, now, 0x6B, blackBoxByte(a), blackBoxByte(a + 1), blackBoxByte(a + 2),
          blackBoxByte(a + 3));
}

}  // namespace kv
