#pragma once

#include <QString>
#include <span>

namespace kv {

// Every message number the program uses, with its Russian default text. The numbers are
// positions in the language file's "strings" section, so they never change; 17 and 26 are
// unused but still count. Two numbers have a second default used by another caller.
struct MessageDefault {
    int number;
    const char* text;         // UTF-8
    const char* alternative;  // UTF-8, or nullptr
};

// Number of positions, unused ones included (0..127).
inline constexpr int kMessageCount = 128;

// The table, ordered by number, unused numbers left out.
std::span<const MessageDefault> MessageDefaults();

// The default text of a message (variant 1 picks the alternative where there is one); an
// empty text for an unused or unknown number.
QString DefaultMessage(int number, int variant = 0);

}  // namespace kv
