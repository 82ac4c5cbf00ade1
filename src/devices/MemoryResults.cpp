#include "devices/MemoryResults.h"

#include "i18n/Localizer.h"

namespace kv {

QString MemoryOperationTitle(MemoryOperation operation) {
    switch (operation) {
        case MemoryOperation::WriteModules:
            return Message(73);
        case MemoryOperation::VerifyModules:
            return Message(77);
        case MemoryOperation::EraseModules:
            return Message(80);
        case MemoryOperation::ReadBlackBox:
            return Message(81);
        case MemoryOperation::WriteRemote:
            return Message(72);
        case MemoryOperation::VerifyRemote:
            return Message(76);
        case MemoryOperation::EraseRemote:
            return Message(109);
    }
    return QString();
}

QString MemoryResultText(int32_t code) {
    switch (code) {
        case -1:
            return Message(82);
        case -2:
            return Message(83);
        case -3:
            return Message(84);
        case -10:
            return Message(97);
        case -11:
            return Message(102);
        case -100:
            return Message(85);
        case -101:
            return Message(86);
        default:
            return Message(87);
    }
}

QString MemoryResultLogLine(MemoryOperation operation, int32_t code) {
    return MemoryOperationTitle(operation) + QLatin1Char(' ') + MemoryResultText(code);
}

QString MemoryResultMessage(int32_t code) {
    return code < 0 ? MemoryResultText(code) : Message(89);
}

}  // namespace kv
