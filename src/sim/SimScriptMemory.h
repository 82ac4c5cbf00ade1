#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kv {

// The script memory of a module, in either layout of its firmware generation:
//  - per channel (below 0x148): one firing time per channel, written and read by channel;
//  - slots (0x148 on): a list of entries filled in the order they are written, read by number.
// Entries keep the four data bytes of the cue write as they came (time steps, channel, finer
// part), which is also what a read answers; generations before 0x165 drop the 2 ms part.
class SimScriptMemory {
public:
    enum class Layout { PerChannel, Slots };
    using Entry = std::array<uint8_t, 4>;
    static constexpr Entry kEmpty{0xFF, 0xFF, 0x00, 0x00};

    struct Cue {
        int timeMs = 0;
        int channel = 0;  // 0-based
        int slot = 0;     // entry index it came from
    };

    SimScriptMemory(Layout layout, int channels, int slotCapacity, bool finePart);

    Layout GetLayout() const { return layout_; }
    // Stores one cue write; false when it does not fit (unknown channel, memory full).
    bool Write(const Entry& data);
    // Answers a read of entry or channel `number` (1-based, as sent); empty when never written.
    Entry Read(int number) const;
    void Erase();
    // Cue writes go to the first slot again (a new transfer begins).
    void Rewind() { writeSlot_ = 0; }
    int WriteSlot() const { return writeSlot_; }

    const std::vector<Entry>& Entries() const { return entries_; }
    // The firing cues held, decoded; empty entries left out.
    std::vector<Cue> Cues() const;
    static int EntryTimeMs(const Entry& e, bool finePart);
    static bool EntryEmpty(const Entry& e) { return e[0] == 0xFF && e[1] == 0xFF; }

private:
    Layout layout_;
    int channels_;
    bool finePart_;
    std::vector<Entry> entries_;
    int writeSlot_ = 0;
};

}  // namespace kv
