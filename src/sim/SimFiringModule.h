#pragma once

#include <optional>
#include <vector>

#include "sim/SimDevice.h"
#include "sim/SimScriptMemory.h"

namespace kv {

// Firmware generations the module side tells apart.
namespace simfw {
constexpr int kSlotMemory = 0x148;      // slot list and a dedicated erase command
constexpr int kModeReport = 0x151;      // status carries the test-mode flag; modes exist
constexpr int kAnsweredWrites = 0x165;  // cue writes answered with their echo; 2 ms part
constexpr int kNumberChange = 0x167;    // module number can be changed
constexpr int kOhmReading = 0x268;      // measurement is a resistance in tenths of an ohm
constexpr int kTemperature = 0x36B;     // temperature request
constexpr int kFastErase = 0x46B;       // fast erase command
}  // namespace simfw

// A firing module: channels with igniters, its show clock and script memory, the black box.
// HV and motor modules derive from it and change what differs.
class SimFiringModule : public SimDevice {
public:
    struct Firing {
        int channel = 0;  // 0-based
        SimTimeUs atUs = 0;
        bool autonomous = false;  // fired by the module's own show clock
        int volts = 0;            // HV modules: capacitor voltage at the shot
    };

    explicit SimFiringModule(const SimDeviceConfig& config);

    int Channels() const { return Config().channels; }
    double Ohms(int channel) const;
    void SetOhms(int channel, double ohms);
    int Mode() const { return mode_; }
    int Forcing() const { return forcing_; }
    const std::vector<Firing>& Firings() const { return firings_; }
    // Fire commands refused because the module was in test mode.
    uint32_t RefusedFires() const { return refusedFires_; }
    bool ClockRunning() const { return clockRunning_; }
    int ClockMs(SimTimeUs now) const;
    const SimScriptMemory& Memory() const { return memory_; }
    SimScriptMemory& Memory() { return memory_; }
    bool Erasing() const { return eraseDoneAt_ != kSimNever; }

    // The 16-bit reading a measurement answers for a resistance, per firmware generation.
    virtual uint16_t MeasurementReading(double ohms) const;

    SimTimeUs NextDeadline() const override;
    void Advance(SimTimeUs now, SimOutput& out) override;

protected:
    void OnFrame(const SimFrame& frame, SimTimeUs now, SimOutput& out) override;
    void OnSwitchOn(SimTimeUs now, SimOutput& out) override;

    // Hooks of the kinds that differ; each returns false when it does not handle the frame.
    virtual void AnswerStatus(const SimFrame& f, SimTimeUs now, SimOutput& out);
    virtual void HandleFire(const SimFrame& f, SimTimeUs now, SimOutput& out);
    virtual bool HandleSpecial(const SimFrame& f, SimTimeUs now, SimOutput& out);
    virtual bool HandleParameter(const SimFrame& f, SimTimeUs now, SimOutput& out);
    // Runs the stored script between two show-clock positions (autonomous control).
    virtual void RunCues(int fromMs, int toMs, SimTimeUs now);
    virtual SimTimeUs NextCueDeadline() const;

    bool FiringAllowed() const;
    void FireOutput(int channel, SimTimeUs now, bool autonomous, int volts = 0);
    SimTimeUs TimeOfClock(int ms) const;  // when the running clock reaches ms
    bool FinePart() const { return Version() >= simfw::kAnsweredWrites; }

    std::vector<double> ohms_;
    int mode_;
    int forcing_;
    std::vector<Firing> firings_;
    uint32_t refusedFires_ = 0;
    SimScriptMemory memory_;
    std::vector<char> cueDone_;  // per memory entry: ran since the clock started
    bool clockRunning_ = false;
    int clockBaseMs_ = 0;
    SimTimeUs clockBaseAt_ = 0;
    int clockStartMs_ = 0;  // position the clock was started from
    int clockDoneMs_ = -1;  // cues up to this position have been run

private:
    void HandleShowClock(const SimFrame& f, SimTimeUs now);
    void HandleErase(const SimFrame& f, SimTimeUs now, SimTimeUs workUs);
    void HandleNumber(const SimFrame& f, SimTimeUs now, SimOutput& out);
    void AnswerBlackBox(const SimFrame& f, SimTimeUs now, SimOutput& out);
    uint8_t blackBoxByte(uint32_t address) const;

    SimTimeUs eraseDoneAt_ = kSimNever;
    std::optional<int> pendingNumber_;
    bool numberReadBack_ = false;
};

}  // namespace kv
