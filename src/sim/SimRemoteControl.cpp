#include "sim/SimRemoteControl.h"

#include "sim/SimVersionText.h"

namespace kv {

namespace {
constexpr std::size_t kCapacity = 4096;  // cues the remote can hold
}

SimRemoteControl::SimRemoteControl(const SimDeviceConfig& config)
    : SimDevice(config), recording_(config.recording) {}

void SimRemoteControl::Advance(SimTimeUs now, SimOutput& out) {
    if (eraseDoneAt_ == kSimNever || now < eraseDoneAt_) {
        return;
    }
    const SimTimeUs done = eraseDoneAt_;
    eraseDoneAt_ = kSimNever;
    memory_.clear();
    recording_ = true;
    out.Emit(*this, MakeSimFrame(0x7F, 'C', 'l', 'E', 'e', 0x00), done + out.TurnaroundUs());
}

void SimRemoteControl::OnFrame(const SimFrame& f, SimTimeUs now, SimOutput& out) {
    if (Erasing()) {
        return;
    }
    if (f[0] == 0x91) {
        // A cue write carries the cue's module in its address byte, so it is taken from any.
        if (!recording_ || memory_.size() >= kCapacity) {
            return;
        }
        Stored s;
        s.module = f[5];
        for (int i = 0; i < 4; ++i) {
            s.d[i] = f[static_cast<std::size_t>(i + 1)];
        }
        memory_.push_back(s);
        out.Emit(*this, MakeSimFrame(0x6E, f[1], f[2], f[3], f[4], f[5]), now + out.TurnaroundUs());
        return;
    }
    if (f[5] != Address()) {
        return;
    }
    switch (f[0]) {
        case 0x80: {
            const auto v = SimVersionText(Version());
            Reply(out, now, 0x7F, 'V', v[0], v[1], v[2]);
            return;
        }
        case 0x8F:
            if (Version() >= kEraseCommandVersion) {
                recording_ = false;
            }
            Reply(out, now, 0x70, 'O', 'k', 0, 0);
            return;
        case 0x92: {
            const int n = f[3] | (f[4] << 8);
            Stored s;
            if (n >= 1 && n <= static_cast<int>(memory_.size())) {
                s = memory_[static_cast<std::size_t>(n - 1)];
            }
            out.Emit(*this, MakeSimFrame(0x91, s.d[0], s.d[1], s.d[2], s.d[3], s.module),
                     now + out.TurnaroundUs());
            return;
        }
        case 0x8A:
            if (Version() >= kEraseCommandVersion) {
                eraseDoneAt_ = now + static_cast<SimTimeUs>(Config().remoteEraseMs) * 1000;
            }
            return;
        default:
            return;
    }
}

}  // namespace kv
