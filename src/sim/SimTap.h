#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "sim/SimTypes.h"

namespace kv {

// One converter's connection to a segment's wire. Several consoles can sit on one wire, each
// through its own converter: each has its own receive queue, open state and line settings, and
// the bytes it wrote are framed apart from the others', as each converter's writes reach the
// wire whole.
class SimTap {
public:
    static constexpr std::size_t kRxCapacity = 65536;  // the converter's receive buffer

    explicit SimTap(int converter) : converter_(converter) {}

    int Converter() const { return converter_; }

    // Bytes reach the receive queue only while the converter is open; closing empties it.
    void SetReceiving(bool on);
    bool Receiving() const { return receiving_; }
    // The converter's line settings decide whether devices can make sense of what it sends.
    void SetLineUsable(bool usable) { lineUsable_ = usable; }
    bool LineUsable() const { return lineUsable_; }

    // A byte that is off the wire at `at`; a full queue drops it, as the converter's would.
    void Receive(SimTimeUs at, uint8_t byte);
    std::size_t Available(SimTimeUs now) const;
    std::size_t Take(uint8_t* buffer, std::size_t max, SimTimeUs now);
    // Only what has arrived; bytes still on the wire arrive after the purge, as on a real line.
    void Purge(SimTimeUs now);

    // The frames devices make of the bytes this converter wrote, with what came before. They
    // resynchronise as the console does: slide byte by byte to the next valid frame.
    std::vector<SimFrame> Frames(const std::vector<uint8_t>& written);

private:
    int converter_;
    bool receiving_ = false;
    bool lineUsable_ = true;
    std::deque<std::pair<SimTimeUs, uint8_t>> rx_;
    std::vector<uint8_t> assembler_;  // written bytes not yet recognised as a frame
};

}  // namespace kv
