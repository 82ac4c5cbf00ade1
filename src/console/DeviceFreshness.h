#pragma once

#include <QString>
#include <map>
#include <vector>

namespace kv {

// Whether the values shown for each module are still current. A module whose last kStaleAfter
// status polls went unanswered, or one not heard since the converters were lost, shows values
// that may be long out of date: its row is greyed and says so instead of keeping its last
// figures in the colours of a module that answers.
class DeviceFreshness {
public:
    static constexpr int kStaleAfter = 3;

    // The modules on the bus now (addresses); the others are forgotten.
    void SetDevices(const std::vector<int>& addresses);
    // A status poll of a module ended: answered or not.
    void Polled(int address, bool answered);
    // The converters went away: no module can answer until they are back and it has.
    void LinkLost();

    bool Stale(int address) const;
    // Polls unanswered in a row (kStaleAfter at least after a lost link).
    int Misses(int address) const;
    int StaleCount() const;

private:
    std::map<int, int> misses_;
};

// The row of a stale module: its address and channel count as before, then why its values
// are gone ("нет ответа: 4 опроса" / "нет связи" after a lost link) in the row's 28 columns.
QString StaleRowText(const QString& freshRow, int misses, bool linkLost);
// The count line's second line: "без ответа: 2" (empty when every module answers); a line of
// its own, so the count does not widen the device list.
QString StaleCountSuffix(int stale);

}  // namespace kv
