#pragma once

#include <QString>
#include <cstdint>

namespace kv {

// The six memory operations the operator can start, each with its title.
enum class MemoryOperation {
    WriteModules,
    VerifyModules,
    EraseModules,
    ReadBlackBox,
    WriteRemote,
    VerifyRemote,
    EraseRemote,
};

// "Запись сценария в пульты..." and the other titles, from the language file.
QString MemoryOperationTitle(MemoryOperation operation);

// The operator's text for a result code; any code without a text of its own reads as success
// ("Успешно"), as the console always did.
QString MemoryResultText(int32_t code);

// What the event log gets for a finished operation: the title, a blank, the result text.
QString MemoryResultLogLine(MemoryOperation operation, int32_t code);

// The message box text: the result text for a failure, "Операция успешно завершена" otherwise.
QString MemoryResultMessage(int32_t code);

}  // namespace kv
