#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

#include "devices/TScriptCue.h"

namespace kv {

class TControls;
class TRemoteControl;

// Result codes the memory operations add to the exchange results of the bus.
enum : int32_t {
    ResultUnsupported = -10,      // the device's firmware is too old for the operation
    ResultCueNotCarried = -11,    // a cue the bus cannot carry: nothing was sent
    ResultScriptMismatch = -100,  // a module's memory differs from the script
    ResultCancelled = -101,       // cancelled through the progress event
};

// The script in the devices' memory: what each firmware generation is written, verified and
// erased with, and the black-box read. Each operation visits the modules (addresses 1..199) of
// the bus manager in list order, reports through the bus manager's OnTransferProgress (the
// remote's own event for the remote operations), stops at the first failure or cancel and
// returns the failing exchange's code, -10, -100 or -101. A clean run ends with the report
// (100, -1, cancel, -1, -1). Main thread; blocks for the whole transfer.
namespace transfer {

// Sizes of the black-box record of one module.
constexpr int kBlackBoxWords = 7936;
constexpr int kBlackBoxHeaderSize = 157;
constexpr int kBlackBoxRecordSize = kBlackBoxHeaderSize + 4 * kBlackBoxWords;  // 31901

// What a memory slot reads back after the cue was written, decoded from the very record the
// write sends: the time in 100 ms steps plus tens of ms, from firmware 0x165 also 2 ms steps,
// motor cues only 100 ms.
int32_t StoredFireTime(int32_t t, bool fineTime);
int32_t StoredMotorTime(int32_t t);

// Stable sort of the cues by time (the project's own list is reordered).
void SortCuesByTime(std::vector<TScriptCue>& cues);

// Write and verify, of the modules and of the remote control, refuse a script holding a cue the
// bus cannot carry (devices/CueLimits.h) with ResultCueNotCarried before anything is sent.
int32_t WriteScript(TControls& controls, std::vector<TScriptCue>& cues);
int32_t VerifyScript(TControls& controls, std::vector<TScriptCue>& cues);
int32_t EraseScripts(TControls& controls);
// A memory word is asked up to kBlackBoxTries times; a module whose word stays unanswered is
// given up and left out, and the read goes on with the next module. A converter being reopened
// is waited for up to kBlackBoxReopenWaitMs without using up the tries.
constexpr int kBlackBoxTries = 3;
constexpr uint32_t kBlackBoxReopenWaitMs = 3000;
constexpr uint32_t kBlackBoxReopenPollMs = 100;
constexpr uint32_t kBlackBoxBackOffMs = 20;  // after a failed write, before the next try

struct BlackBoxReadSummary {
    int read = 0;              // records in the buffer
    std::vector<int> skipped;  // addresses of the modules given up
    int retries = 0;           // words asked again
};

// buffer: one record of kBlackBoxRecordSize bytes per module read whole. Returns 0 when at least
// one module was read (the modules given up are logged and in the summary), the last failure
// when none was, ResultCancelled on a cancel.
int32_t ReadBlackBox(TControls& controls, QByteArray& buffer,
                     BlackBoxReadSummary* summary = nullptr);

int32_t WriteRemoteScript(TRemoteControl& remote, const std::vector<TScriptCue>& cues);
int32_t VerifyRemoteScript(TRemoteControl& remote, const std::vector<TScriptCue>& cues);
int32_t EraseRemote(TRemoteControl& remote);

}  // namespace transfer
}  // namespace kv
