#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "devices/TScriptCue.h"
#include "shows/TimecodeSlot.h"

namespace kv {

class TControls;

// Why a script did not load. The console shows Message in its error box; headless callers
// print the same text.
struct ScriptLoadError {
    enum Kind { None, Io, Line };
    Kind kind = None;
    int line = 0;  // the line that failed (1-based, empty lines counted), for Line
    QString message;  // "Ошибка загрузки сценария (строка: 12)." or the I/O failure
    explicit operator bool() const { return kind != None; }
};

// One project: the cues of a script file in time order, and the file's name.
class TProjectList {
public:
    // The largest script file read: some hundred thousand cues, far beyond any show, while a
    // wrong file (a disk image, a video) is refused at once instead of filling the memory.
    static constexpr qint64 kMaxScriptBytes = 16 * 1024 * 1024;

    // Clears, then reads the file. On any failure the list is left empty with no Name; the
    // failure is returned and kept in LastError(). Only a regular file of at most
    // kMaxScriptBytes is read (a FIFO or a device is refused without waiting on it).
    ScriptLoadError LoadFromFile(const QString& path);
    // The same from text already read (the file's bytes, UTF-8 or Windows-1251). name becomes
    // Name on success.
    ScriptLoadError LoadFromBytes(const QByteArray& bytes, const QString& name);
    void Clear();

    const TScriptCue& Cue(int index) const { return cues_[static_cast<size_t>(index)]; }
    int Count() const { return static_cast<int>(cues_.size()); }
    // Time of the last cue, 0 when empty.
    int32_t LastTime() const { return cues_.empty() ? 0 : cues_.back().Time; }
    // First cue at or after time, Count() when none.
    int FirstCueAtOrAfter(int32_t time) const;

    // The slot's timecode source; loading another script keeps it.
    TimecodeSlot Timecode;

    // Clears the script marks of every module on the bus, then marks the channels the fire
    // cues use. Channels outside a module's channel arrays are left unmarked.
    void MarkUsedChannels(TControls& controls) const;

    const ScriptLoadError& LastError() const { return lastError_; }

    QString Name;
    // The kind of the module that answers at an address now (-1: none), where the console knows
    // its bus when a script is loaded. A motor cue for a firing module, or a firing cue for a
    // motor module, would load and then do nothing at its time: with this set it is a load
    // error of its line. Modules not on the bus are left to the check before the start.
    std::function<int(int32_t address)> ModuleKindAt;
    // The file it was read from (absolute; empty for text given directly) and the SHA-256 of
    // the bytes read, in hex: what a show report names, even if the file changes afterwards.
    QString Path;
    QString Sha256;

private:
    ScriptLoadError Fail(ScriptLoadError error);
    bool KindFits(const TScriptCue& cue, QString& reason) const;

    std::vector<TScriptCue> cues_;
    ScriptLoadError lastError_;
};

}  // namespace kv
