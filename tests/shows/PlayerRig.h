#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "FakeRig.h"
#include "LogCapture.h"
#include "TestThreadClock.h"
#include "bus/TPortProto.h"
#include "core/Clock.h"
#include "devices/TAutoControl.h"
#include "devices/TControls.h"
#include "devices/THVControl.h"
#include "devices/TMotorControl.h"
#include "shows/AudioSystem.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"

// A player over the in-memory rig of the device tests, with modules registered directly.
struct PlayerRig {
    LogCapture log;
    TestThreadClock clock{100000};
    kv::ScopedClock useClock{clock};
    FakeRig rig;
    kv::TPortProto proto{16, rig.Converters()};
    kv::TControls controls{proto};
    std::unique_ptr<kv::TExtPlayer> player;
    kv::TProjectList script;

    PlayerRig() {
        kv::SelectAudioOutput(kv::AudioOutput::Null);
        proto.OpenPort();
        player = std::make_unique<kv::TExtPlayer>(controls);
        player->SetScript(&script);
    }
    ~PlayerRig() {
        player.reset();
        proto.ClosePort();
        kv::SelectAudioOutput(kv::AudioOutput::Device);
    }

    template <class T = kv::TAutoControl>
    T* AddDevice(int address, int version = 0x46B) {
        auto d = std::make_unique<T>(proto, address);
        d->PortIndex = 0;
        d->Version = version;
        return static_cast<T*>(controls.Add(std::move(d)));
    }
    void Load(const char* text) { script.LoadFromBytes(QByteArray(text), "show.txt"); }

    // Frames the console wrote, optionally only those of one code.
    std::vector<std::vector<uint8_t>> Sent(int code = -1) const {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& w : rig.Converters()->Writes()) {
            if (w.bytes.size() == 7 && (code < 0 || w.bytes[0] == code)) {
                out.push_back(w.bytes);
            }
        }
        return out;
    }
    void ClearSent() { rig.Converters()->ClearWrites(); }
    // One tick of the show clock at show-clock time t (ms after the start tick).
    void TickAt(uint32_t startTick, uint32_t t) {
        clock.Set(startTick + t);
        player->Tick();
    }
};

// The value carried in d3/d4 of a fire or charge frame (14 bits).
inline int FrameValue(const std::vector<uint8_t>& f) {
    return ((f[3] & 0x7F) << 7) | (f[4] & 0x7F);
}
inline int FrameChannel(const std::vector<uint8_t>& f) {
    return f[1] + 256 * f[2] - 1;
}
