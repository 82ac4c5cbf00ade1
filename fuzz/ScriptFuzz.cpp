// The script loader on any file contents: it loads or refuses with a line number, and what it
// loads keeps the record's limits and the firing order.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "shows/ScriptParser.h"
#include "shows/TProjectList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kv::TProjectList list;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const kv::ScriptLoadError error = list.LoadFromBytes(bytes, QStringLiteral("fuzz.txt"));
    if (error) {
        if (list.Count() != 0 || !list.Name.isEmpty() || error.line < 1) {
            std::abort();
        }
        return 0;
    }
    if (list.Name != QStringLiteral("fuzz.txt")) {
        std::abort();
    }
    for (int i = 0; i < list.Count(); ++i) {
        const kv::TScriptCue& c = list.Cue(i);
        if (i > 0 && list.Cue(i - 1).Time > c.Time) {
            std::abort();
        }
        if (c.TimeText.size() > kv::kTimeTextLength ||
            c.Description.size() > kv::kDescriptionLength) {
            std::abort();
        }
        // The time shown is the time played: a loaded cue's time always reads back.
        bool ok = false;
        if (c.TimeText.size() < kv::kTimeTextLength &&
            (kv::ParseCueTime(c.TimeText, &ok) != c.Time || !ok)) {
            std::abort();
        }
        if (c.Kind != kv::ckFire) {
            if (c.Kind < kv::ckCentre || c.Kind > kv::ckRotateRight || c.Param1 < 0 ||
                c.Param1 > 255 || c.Param2 < 0 || c.Param2 > 255 || c.Channel != 0) {
                std::abort();
            }
        }
    }
    return 0;
}
