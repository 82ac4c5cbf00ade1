#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kv {

// Which events of a kind a fault hits: none, every one, a random share, or exact ordinals
// (1-based: "seq:1,3" hits the first and the third event and nothing else). Exact sequences
// make a test's fault deterministic; rates model a noisy link.
class SimFaultPattern {
public:
    SimFaultPattern() = default;
    static SimFaultPattern Never() { return {}; }
    static SimFaultPattern Always() { return Rate(1.0); }
    static SimFaultPattern Rate(double share);
    static SimFaultPattern Sequence(std::vector<uint32_t> ordinals);

    // Parses "off", "all", "rate:0.25" or "seq:1,2,5". False (pattern untouched) when invalid.
    static bool Parse(const std::string& text, SimFaultPattern& out, std::string& error);

    // Counts one event and tells whether the fault hits it.
    bool Hit(std::mt19937& rng);
    bool Active() const { return rate_ > 0.0 || !ordinals_.empty(); }
    uint32_t Events() const { return events_; }
    // Starts counting ordinals afresh (the sequence applies again from its first entry).
    void Restart() { events_ = 0; }

private:
    double rate_ = 0.0;
    std::vector<uint32_t> ordinals_;
    uint32_t events_ = 0;
};

// Faults of one device, or of every device on a segment.
struct SimFaults {
    SimFaultPattern loseAnswer;   // the answer never reaches the wire
    SimFaultPattern dropRequest;  // the request never reaches the device (a relay that drops)
    SimFaultPattern corrupt;      // the answer's check byte is wrong
    SimFaultPattern late;         // the answer comes lateMs after its turnaround
    uint32_t lateMs = 150;
    SimFaultPattern noise;  // random bytes follow the answer on the wire
    uint32_t noiseBytes = 3;
};

}  // namespace kv
