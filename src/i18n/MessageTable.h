#pragma once

#include <QString>
#include <span>

#include "i18n/Msg.h"

namespace kv {

// A message with its Russian default text.
struct MessageDefault {
    Msg id;
    const char* text;         // UTF-8
    const char* alternative;  // UTF-8, or nullptr
};

// The table, ordered by number, unused numbers left out.
std::span<const MessageDefault> MessageDefaults();

// The default text of a message (the alternative where asked for and there is one); an empty
// text for a number the table does not hold.
QString DefaultMessage(Msg msg, MsgVariant variant = MsgVariant::Main);

}  // namespace kv
