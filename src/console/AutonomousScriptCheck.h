#pragma once

#include <QStringList>
#include <cstdint>
#include <vector>

namespace kv {

class TControls;
class TProjectList;

// In autonomous control the modules fire from the script they hold, not from the console: before
// such a show the console reads back what each module holds and compares it with the slot's
// script, as the verify does, but goes on past the first difference so that the operator sees
// every module and cue that differs. It also reads what the verify does not: the slot after a
// module's last cue and the first slot of a module the script does not name, which must be
// empty (an older, longer script left there would fire in the show), and it names the scripted
// modules that are not on the bus.
struct ScriptCheckDifference {
    enum class What : uint8_t {
        CueDiffers,   // the module holds something else for this cue
        NotOnBus,     // the script names the module, the bus manager does not have it
        NoAnswer,     // the module stopped answering the read-back
        ExtraCues,    // the module holds cues the script does not have
        Unsupported,  // its firmware cannot be read back (old motor modules)
    };
    int Module = 0;
    int Cue = -1;  // index in the script; -1 for the module as a whole
    What Kind = What::CueDiffers;
};

struct ScriptCheckResult {
    // 0 when every module was read (see Differences); ResultCancelled, or ResultCueNotCarried
    // for a script the bus cannot carry (nothing read).
    int32_t Result = 0;
    std::vector<ScriptCheckDifference> Differences;
    int Reads = 0;  // read-back exchanges made

    bool Matches() const { return Result == 0 && Differences.empty(); }
    // The addresses (ascending, each once) of the modules with a difference.
    std::vector<int> Modules() const;
};

// Reads back every module on the bus, reporting through the bus manager's OnTransferProgress
// (whose cancel flag stops it). Main thread; blocks for the whole check.
ScriptCheckResult CheckModuleScripts(TControls& controls, const TProjectList& script);

// One line per difference: "module 7: cue 12 (0:05.000, channel 3) differs".
QStringList ScriptCheckLines(const ScriptCheckResult& result, const TProjectList& script);

}  // namespace kv
