#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace kv {

// What became of each cue of the current script in the shows run from it: sent, not sent, or
// passed to the modules that fire it themselves. The cue list colours its rows from it and the
// show clock carries the count of cues not sent, so that a failing show is seen as it happens
// and not only in the log.
class CueOutcomes {
public:
    enum class Outcome : uint8_t { None, Sent, NotSent, Passed };

    // A new script (or none): every mark goes.
    void Reset(int cueCount);
    // A run starts at cue `first`: the marks from there on go, since those cues are sent again;
    // what earlier runs did with the cues before it stays on screen.
    void RunStarts(int first);
    // The show reached a cue. Indices outside the script are ignored.
    void CueDone(int cue, Outcome outcome);

    Outcome At(int cue) const;
    int Count() const { return static_cast<int>(marks_.size()); }
    // Cues marked not sent now.
    int NotSentCount() const { return notSent_; }

private:
    std::vector<Outcome> marks_;
    int notSent_ = 0;
};

// How a cue's row shows its outcome: a mark put before the time, the row's colours ("#rrggbb",
// empty: the list's own) and a tooltip.
struct CueRowLook {
    QString Mark;
    QString Background;
    QString Text;
    QString ToolTip;
    bool Bold = false;
};
CueRowLook CueRowLookFor(CueOutcomes::Outcome outcome);

// The count beside the show clock: "Не отправлено: 3", and whether it alarms (any at all).
struct NotSentLook {
    QString Text;
    bool Alarm = false;
};
NotSentLook NotSentLookFor(int notSent);

}  // namespace kv
