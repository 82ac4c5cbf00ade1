#pragma once

#include <QString>
#include <memory>

#include "i18n/Msg.h"

namespace kv {

// The message list of the language file: the n-th entry of its "strings" section (in file order,
// whatever the key names) is message n. Until a load finds entries every lookup gives its
// default, so texts written while the main window is still being created are always the
// built-in Russian ones. Safe to call from any thread.

// The language file ("kelvanex.lng" beside the executable), set once before any window exists.
void SetLanguageFilePath(const QString& path);
QString LanguageFilePath();
// "kelvanex.lng" in the directory of the running program.
QString DefaultLanguageFilePath();

// Fills the message list from the language file unless it already holds entries. A missing file
// or an empty section leaves the list empty, and the next call tries again. Returns whether the
// list holds entries afterwards. The window translation calls this first.
bool EnsureMessagesLoaded();
// Number of messages loaded from the file (0 until a load succeeds).
int LoadedMessageCount();

// Message `msg` from the language file when the file had that many entries (an empty entry gives
// an empty text), otherwise its built-in default from the message table.
QString Message(Msg msg, MsgVariant variant = MsgVariant::Main);

class IniFile;

// The language file, parsed once and kept while the file on disk stays the same (by size and
// modification time), so the message list and every window's translation share one parse.
// nullptr when there is no path or the file cannot be read.
std::shared_ptr<const IniFile> LanguageFile();
// How many times the language file was parsed in this process.
int LanguageFileParseCount();

// Forgets the loaded messages and the path; for tests only.
void ResetLocalizerForTesting();

}  // namespace kv
