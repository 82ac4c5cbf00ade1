#include "sim/SimRadioUnit.h"

#include "sim/SimVersionText.h"

namespace kv {

void SimRadioUnit::OnFrame(const SimFrame& f, SimTimeUs now, SimOutput& out) {
    if (f[5] != Address()) {
        return;
    }
    if (f[0] == 0x80) {
        const auto v = SimVersionText(Version());
        Reply(out, now, 0x7F, 'V', v[0], v[1], v[2]);
    } else if (f[0] == 0x8F) {
        Reply(out, now, 0x70, 'O', 'k', 0, 0);
    }
}

}  // namespace kv
