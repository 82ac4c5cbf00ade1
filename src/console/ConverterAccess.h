#pragma once

#include <QString>

namespace kv {

struct ConverterAccessDenied;

// The operator's message for a converter that is present but that this user may not open:
// which device, which group to join, and the command that does it. A device node left to the
// root group gets "dialout", the group the package's udev rule gives USB-RS485 converters.
QString ConverterAccessDeniedText(const QString& path, const QString& group, const QString& user);
QString ConverterAccessDeniedText(const ConverterAccessDenied& denied);

// The user this program runs as (for the message above).
QString CurrentUserName();

}  // namespace kv
