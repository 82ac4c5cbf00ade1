#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace kv {

class TProjectList;

// What became of one cue of the script in one show.
enum class CueResult : uint8_t {
    Pending,     // not yet due (only while the show runs)
    Sent,        // its frame left the console
    NotSent,     // its frame did not leave; the reason is the log line's
    Skipped,     // the show stopped before its time, or it lies before the start point
    Autonomous,  // the module fired it from its own script
};

// The channel's state in the check after the show. Error is a measurement outside the bands
// (a short, or a reading between connected and not connected): neither fired nor intact.
enum class CheckAfter : uint8_t { None, Fired, Intact, NoAnswer, Error };

// The channel's last test result before the show, in the test page's classes.
enum class Continuity : uint8_t { None, Connected, Unconnected, Error };

// How the show ended.
enum class ShowEnd : uint8_t {
    Running,        // not ended yet
    ScriptEnd,      // it ran through its last cue
    StopKey,        // the operator stopped it
    ExternalStop,   // another console or device stopped its clock
    LostConverter,  // the converter went away under it
    Interrupted,    // the headless tool was told to stop
};

struct ShowRecordCue {
    int32_t Time = 0;     // the script's time, ms
    int32_t Module = 0;   // bus address
    int32_t Channel = 0;  // 0-based
    int32_t Kind = 0;     // TCueKind
    CueResult Result = CueResult::Pending;
    std::optional<int32_t> SentMs;  // show time at which its frame left
    QString Reason;                 // why it was not sent
    CheckAfter Check = CheckAfter::None;
    Continuity Before = Continuity::None;

    std::optional<int32_t> LatenessMs() const {
        return SentMs ? std::optional<int32_t>(*SentMs - Time) : std::nullopt;
    }
};

// A tempo or offset change made while the show ran.
struct ShowChange {
    enum class What : uint8_t { Tempo, Offset };
    int32_t ShowMs = 0;
    What Kind = What::Tempo;
    int32_t Value = 0;  // per mille for the tempo, ms for the offset
};

struct ShowRecordHeader {
    QDateTime Started;
    int ConsoleId = 0;
    int Slot = 0;  // 0-based
    QString ScriptFile;
    QString ScriptSha256;  // hex; empty when the file could not be read
    QString Soundtrack;    // empty without one
    bool Autonomous = false;
    uint8_t WorkMode = 0;  // TCommonPlayer's work mode
    int32_t StartPoint = 0;
    int32_t Tempo = 1000;
    int32_t Offset = 0;
    std::vector<ShowChange> Changes;
    ShowEnd End = ShowEnd::Running;
    int32_t EndPosition = 0;
};

struct ShowCounts {
    int Cues = 0;
    int Sent = 0;
    int NotSent = 0;
    int Skipped = 0;
    int Autonomous = 0;
    int CheckedFired = 0;  // checks that found the igniter fired
    int ChecksFailed = 0;  // checks that ran and did not find it fired
};

// The record of one show: its header and one entry per cue of the script, filled from the
// player's per-cue outcomes and the checks after it. Plain data; the recorder feeds it.
class ShowRecord {
public:
    // Starts a record for the script; the cues before the start point are skipped at once.
    void Begin(const ShowRecordHeader& header, const TProjectList& script);
    void Begin(const ShowRecordHeader& header, std::vector<ShowRecordCue> cues);

    // The player's outcome of the cue at index (out of range: ignored). A second outcome of
    // the same cue does not overwrite the first: what left the console stays sent.
    void CueSent(int index, int32_t showMs);
    void CueNotSent(int index, const QString& reason);
    void CueAutonomous(int index);
    void Changed(ShowChange change) { header_.Changes.push_back(change); }
    // The check after the show of a fired channel: applies to the cues on that channel that
    // went out (sent or autonomous), which is what the measurement speaks about.
    void Checked(int32_t module, int32_t channel, CheckAfter state);
    // The show ended: what never came is skipped.
    void End(ShowEnd how, int32_t position);
    // What ended it, learnt after the stop (another device's stop is told after the stop ran).
    void SetEndCause(ShowEnd how) {
        if (Ended() && how != ShowEnd::Running) {
            header_.End = how;
        }
    }

    bool Active() const { return active_; }
    bool Ended() const { return header_.End != ShowEnd::Running; }
    const ShowRecordHeader& Header() const { return header_; }
    const std::vector<ShowRecordCue>& Cues() const { return cues_; }
    std::vector<ShowRecordCue>& MutableCues() { return cues_; }
    ShowCounts Counts() const;

private:
    ShowRecordCue* At(int index);

    ShowRecordHeader header_;
    std::vector<ShowRecordCue> cues_;
    bool active_ = false;
};

// The words of the report files ("sent", "fired", "connected", "stop key"...).
QString CueResultWord(CueResult result);
QString CheckAfterWord(CheckAfter check);
QString ContinuityWord(Continuity c);
QString ShowEndWord(ShowEnd how);
QString CueKindWord(int32_t kind);
// The channel state of the device model (ChannelStateCode) in the test page's classes.
Continuity ContinuityOf(uint8_t channelState);
// The check after the show from the channel's state once measured; a check whose module never
// answered is NoAnswer whatever the state says.
CheckAfter CheckAfterOf(uint8_t channelState, bool answered);

}  // namespace kv
