#include "sim/SimScriptMemory.h"

#include <algorithm>

namespace kv {

SimScriptMemory::SimScriptMemory(Layout layout, int channels, int slotCapacity, bool finePart)
    : layout_(layout), channels_(std::max(0, channels)), finePart_(finePart) {
    const int size = layout == Layout::PerChannel ? channels_ : std::max(0, slotCapacity);
    entries_.assign(static_cast<std::size_t>(size), kEmpty);
}

bool SimScriptMemory::Write(const Entry& data) {
    Entry e = data;
    if (!finePart_) {
        e[3] &= 0xF1;  // this generation keeps only the tens of milliseconds
    }
    if (layout_ == Layout::PerChannel) {
        const int number = data[2] + 256 * (data[3] & 0x0F);
        if (number < 1 || number > channels_) {
            return false;
        }
        entries_[static_cast<std::size_t>(number - 1)] = e;
        return true;
    }
    if (writeSlot_ >= static_cast<int>(entries_.size())) {
        return false;
    }
    entries_[static_cast<std::size_t>(writeSlot_++)] = e;
    return true;
}

SimScriptMemory::Entry SimScriptMemory::Read(int number) const {
    if (number < 1 || number > static_cast<int>(entries_.size())) {
        return kEmpty;
    }
    Entry e = entries_[static_cast<std::size_t>(number - 1)];
    if (layout_ == Layout::PerChannel) {
        // A channel read names its channel; the answer carries it back with the tens nibble.
        e[2] = static_cast<uint8_t>(number & 0xFF);
        e[3] = static_cast<uint8_t>((e[3] & 0xF0) | ((number >> 8) & 0x0F));
    }
    return e;
}

void SimScriptMemory::Erase() {
    std::fill(entries_.begin(), entries_.end(), kEmpty);
    writeSlot_ = 0;
}

int SimScriptMemory::EntryTimeMs(const Entry& e, bool finePart) {
    int t = (e[0] * 256 + e[1]) * 100 + (e[3] >> 4) * 10;
    if (finePart) {
        t += e[3] & 0x0E;
    }
    return t;
}

std::vector<SimScriptMemory::Cue> SimScriptMemory::Cues() const {
    std::vector<Cue> cues;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (EntryEmpty(e)) {
            continue;
        }
        Cue c;
        c.timeMs = EntryTimeMs(e, finePart_);
        c.slot = static_cast<int>(i);
        c.channel =
            layout_ == Layout::PerChannel ? static_cast<int>(i) : e[2] + 256 * (e[3] & 1) - 1;
        if (c.channel >= 0 && c.channel < channels_) {
            cues.push_back(c);
        }
    }
    return cues;
}

}  // namespace kv
