#pragma once

#include <array>
#include <cstdint>

#include "devices/TCommonDevice.h"

namespace kv {

// Everything a module (address 1..199) carries: voltages, forcing and mode, temperature, the
// link-quality counters and the per-channel test results and show marks.
class TCommonControl : public TCommonDevice {
public:
    TCommonControl(TPortProto& bus, int32_t address);

    // Version request, then the clock/type request for TypeLetter.
    int32_t GetVersion() override;
    void Identify() override;
    // Identification request; takes ChannelCount from an "Ok" answer (0 otherwise).
    int32_t Ping() override;
    void PollStatus() override;

    virtual void ClearChannels();
    // Measures channel (0-based) with the 200 ms measurement window; value is the reading / 1000.
    virtual int32_t MeasureChannel(int channel, double& value);
    // Unanswered fire request; LastResult is left alone.
    virtual int32_t FireChannel(int channel);

    // Successes over requests in percent, halves away from zero.
    int LinkQuality() const;
    void UpdateLinkQuality();
    int ConnectedCount() const { return CountState(ChannelConnected); }
    int CountState(uint8_t state) const;
    void ClearScriptMarks();
    // Both send the combined mode/forcing request, unanswered.
    int32_t SetMode(uint8_t mode);
    int32_t SetForcing(uint8_t value);

    // Stores a reported channel count, clamped to what the channel arrays hold.
    void SetChannelCount(int32_t count);

    int32_t ChannelCount = 0;
    double OutputVoltage = 0;
    double SupplyVoltage = 0;
    uint8_t Forcing = ForcingUnknown;
    uint8_t Mode = ModeUnknown;
    double Temperature = 0;
    int32_t LinkRequests = 1;
    int32_t LinkSuccesses = 1;
    std::array<uint8_t, kMaxChannels> ChannelState{};
    std::array<double, kMaxChannels> ChannelResistance{};
    std::array<uint8_t, kMaxChannels> ChannelInScript{};
    std::array<uint8_t, kMaxChannels> ChannelFired{};

protected:
    // The status request in the form this module answers; HV modules decode it differently.
    virtual int32_t ReadStatusFrame(double& output, uint8_t& flag, double& supply);

private:
    int32_t SendModeCode(bool launchMode, bool forcingOff);
};

}  // namespace kv
