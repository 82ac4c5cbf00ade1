#pragma once

#include <QString>

namespace kv {

// The lines and captions the main window writes at start and at the end, looked up through
// the message list (the header is written before any language file is read, so it always
// carries the built-in texts).

// "-" x 45, message 0 followed at once by the version, "-" x 45.
void WriteLogHeader(const QString& version);
// "-" x 44, message 60, "-" x 44: one dash fewer than the header, so the two can be told apart
// when a log is searched.
void WriteLogClosing();

// "Управление запуском (версия: X)".
QString MainCaption(const QString& version);
// "версия: X (расширенная)".
QString VersionLabelText(const QString& version);

// Virtual-key code of the space bar; the only start key that changes the button's caption.
inline constexpr int kSpaceKey = 32;
// The start button's caption for the start key, or an empty text when the caption stays as
// the window (or its translation) has it.
QString StartButtonCaptionFor(int startKey);

}  // namespace kv
