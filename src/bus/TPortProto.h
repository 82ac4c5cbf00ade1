#pragma once

#include "bus/TPort.h"

#include <cstdint>
#include <memory>

namespace kv {

// The command set of the devices on the bus and of the other consoles. Each operation builds
// its request, runs it through the frame link and decodes the answer. Every operation takes the
// device's bus address, relay tag and converter index (the device's Address, RelayId and
// PortIndex) and returns the exchange result (BusOk, BusPortError, BusTransferError,
// BusNoAnswer) unless its comment says otherwise. Out-values get the stated default first and
// keep it when the exchange fails.
//
// Times t are milliseconds; channels are 0-based (sent as ch + 1).
class TPortProto : public TPort {
public:
    static constexpr int kEmptyTime = 6553500;  // a memory slot without a cue
    // What a cue record carries: 65535 steps of 100 ms is the empty time, so the last time is
    // just below it; the channel number (index + 1) has nine bits, the bit above them is the
    // finer time part.
    static constexpr int kLastCueTime = kEmptyTime - 1;
    static constexpr int kLastCueChannel = 510;

    // The cue record of a channel as the cue writes send it, and the time a read of that record
    // gives back: verification compares with exactly what was written.
    static BusFrame CueFrame(int address, int channel, int t, bool withUnits);
    static int CueFrameTime(const BusFrame& frame, bool withUnits);

    TPortProto(int maxConverters, std::shared_ptr<ConverterBackend> backend);
    ~TPortProto() override;

    // Firmware version from three hexadecimal characters (each outside 0-9A-F counts as -1).
    static int ParseVersion(uint8_t c1, uint8_t c2, uint8_t c3);

    // --- Identification and search ---
    // version: 0 on failure.
    int ReadVersion(int address, int relayId, int converter, int& version);
    // The search probe: 0x80 through all converters; converter becomes the one that answered
    // (-1 when none did), version 0 on failure.
    int ProbeVersion(int address, int& converter, int& version);
    // channels: 0 on failure or when the answer is not "Ok". Pauses 200 ms after success.
    int QueryChannels(int address, int relayId, int converter, int& channels);
    // Identification of devices other than firing modules; pauses 200 ms afterwards in any case.
    int QueryOk(int address, int converter);
    // As QueryChannels without repetition, with the worker kept off the line, followed by the
    // read of the two trailing relay bytes. channels: 0, relayId: -1 on failure or when the
    // trailer is absent or not a byte and its complement.
    int IdentifyModule(int address, int converter, int& channels, int& relayId);
    // clock: the device's show clock in ms; typeLetter: 'P' motor, 'Q'/'R' high voltage.
    // Both 0 on failure.
    int ReadClock(int address, int relayId, int converter, int& clock, char& typeLetter);

    // --- Measurements ---
    // output, supply in volts (0 on failure); flag 1 in test mode, 0 otherwise, 2 on failure.
    int ReadStatus(int address, int relayId, int converter, double& output, int& flag,
                   double& supply);
    // Same request decoded for high-voltage controls (output in volts, d1 not masked).
    int ReadHVStatus(int address, int relayId, int converter, double& output, int& flag,
                     double& supply);
    // value: reading / 1000 (0 on failure). Callers raise the answer time-out to 200 ms.
    int MeasureChannel(int address, int channel, int relayId, int converter, double& value);
    // value in degrees (0 on failure or when the answer is not a number).
    int ReadTemperature(int address, int relayId, int converter, int& value);

    // --- Firing and channel values ---
    // Without answer: the firing of one channel (sent three times with a relay tag).
    // With answer: value = reading / 1000, -1.0 on failure.
    int FireChannel(int address, int channel, int relayId, int converter, bool wantAnswer,
                    double& value);
    int SetChannelValue(int address, int channel, int relayId, int converter, int v,
                        bool wantAnswer);
    int ChargeHV(int address, int v, int relayId, int converter);

    // --- Mode ---
    // forcing: the device's forcing state byte (0 on, 1 off). Pauses 20 ms afterwards.
    int SetMode(int address, bool testMode, int forcing, int relayId, int converter);
    int ResetHV(int address, int relayId, int converter);

    // --- Show clock and console messages (through all converters) ---
    int StartShowClock(int t);
    int StopShowClock(int t);
    int AnnounceStart(int t);
    int AnnounceStop(int t);
    // version: the other console's major version, answeringId its console ID (0 on failure).
    int QueryConsole(int consoleId, int converter, int& version, int& answeringId);
    // The search pass's query to all consoles (0x01 with addressed ID 0).
    int BroadcastConsoleQuery();
    // Answer to another console's 0x01 query (0x02) and status query (0x03 -> 0x04).
    int ReplyConsoleQuery(int askingId, int majorVersion);
    int ReplyConsoleStatus(int askingId, uint8_t stateAndMode, uint8_t playKind);

    // --- Cue memory of the modules ---
    // No answer; tens of ms in the finer part; pauses 70 ms afterwards.
    int WriteCue(int address, int channel, int relayId, int converter, int t);
    // Answered (newest firmware), 2 ms resolution; -1 unless the answer echoes d1..d4.
    int WriteCueChecked(int address, int channel, int relayId, int converter, int t);
    // t: 0 on failure.
    int ReadChannelTime(int address, int channel, int relayId, int converter, int& t);
    // t: 0, channel: -1 on failure. ReadCueFine adds the 2 ms part.
    int ReadCue(int address, int index, int relayId, int converter, int& t, int& channel);
    int ReadCueFine(int address, int index, int relayId, int converter, int& t, int& channel);
    // kind 50..54 (centre, left, right, turn left, turn right); three records.
    int WriteMotorCue(int address, int t, int relayId, int converter, int p1, int p2, int kind);
    // t, p1, p2: 0 and kind: 0 on failure (also when the sub-command is unknown).
    int ReadMotorCue(int address, int index, int relayId, int converter, int& t, int& kind, int& p1,
                     int& p2);
    int EraseScript(int address, int relayId, int converter);
    int EraseScriptFast(int address, int relayId, int converter);

    // --- Radio remote control (address 0) ---
    // Byte 5 carries the cue's module. Pauses 100 ms afterwards.
    int WriteRemoteCue(int cueModule, int channel, int relayId, int converter, int t);
    // module, t: 0 and channel: -1 on failure.
    int ReadRemoteCue(int index, int relayId, int converter, int& module, int& channel, int& t);
    // -10 without sending for remote firmware below 0x146; -2 unless the answer is "ClEe" with
    // byte 5 = 0.
    int EraseRemote(int converter, int firmwareVersion);

    // --- Black box ---
    int ReadLogLength(int address, int relayId, int converter, int& value);
    int ReadLogWord(int address, int word, int relayId, int converter, uint8_t& b1, uint8_t& b2,
                    uint8_t& b3, uint8_t& b4);

    // --- Parameters and number change ---
    int ReadHVParameter(int address, int relayId, int converter, int& value);
    int WriteHVParameter(int address, int value, int relayId, int converter);
    // Up to three attempts of write, read back and QueryOk; 0 at the first that fully succeeds.
    int ChangeNumber(int address, int newNumber, int relayId, int converter);

    // --- Motor commands ---
    int MotorCentre(int address, int p1, int relayId, int converter);
    int MotorLeft(int address, int p1, int relayId, int converter);
    int MotorRight(int address, int p1, int relayId, int converter);
    int MotorTurnLeft(int address, int p1, int p2, int relayId, int converter);
    int MotorTurnRight(int address, int p1, int p2, int relayId, int converter);

private:
    // S3: once without a relay tag, three times with one; the result is the last one's.
    int Send3(const BusFrame& request, int relayId, int converter);
    // R with the answer time-out raised to timeoutMs for this one exchange.
    int RequestWithTimeout(const BusFrame& request, uint8_t expected, int relayId, int converter,
                           BusFrame& answer, int timeoutMs);
    int MotorCommand(int address, uint8_t sub, int x, int y, int relayId, int converter);
};

// The one protocol object of the program, installed by whoever creates it (the console wiring,
// kelvanectl, a test). Proto() throws std::logic_error when none is installed.
TPortProto& Proto();
TPortProto* ProtoOrNull();
void InstallProto(TPortProto* proto);

}  // namespace kv
