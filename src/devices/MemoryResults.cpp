#include "devices/MemoryResults.h"

#include "i18n/Localizer.h"

namespace kv {

QString MemoryOperationTitle(MemoryOperation operation) {
    switch (operation) {
        case MemoryOperation::WriteModules:
            return Message(Msg::WritingModuleScripts);
        case MemoryOperation::VerifyModules:
            return Message(Msg::VerifyingModuleScripts);
        case MemoryOperation::EraseModules:
            return Message(Msg::ErasingModuleScripts);
        case MemoryOperation::ReadBlackBox:
            return Message(Msg::ReadingBlackBox);
        case MemoryOperation::WriteRemote:
            return Message(Msg::WritingRemoteScript);
        case MemoryOperation::VerifyRemote:
            return Message(Msg::VerifyingRemoteScript);
        case MemoryOperation::EraseRemote:
            return Message(Msg::ErasingRemoteScript);
    }
    return QString();
}

QString MemoryResultText(int32_t code) {
    switch (code) {
        case -1:
            return Message(Msg::DeviceError);
        case -2:
            return Message(Msg::TransferError);
        case -3:
            return Message(Msg::TransferTimedOut);
        case -10:
            return Message(Msg::FirmwareUnsupported);
        case -11:
            return Message(Msg::ScriptHasUnsendableCues);
        case -100:
            return Message(Msg::ScriptMismatch);
        case -101:
            return Message(Msg::OperationAborted);
        default:
            return Message(Msg::Success);
    }
}

QString MemoryResultLogLine(MemoryOperation operation, int32_t code) {
    return MemoryOperationTitle(operation) + QLatin1Char(' ') + MemoryResultText(code);
}

QString MemoryResultMessage(int32_t code) {
    return code < 0 ? MemoryResultText(code) : Message(Msg::OperationSucceeded);
}

}  // namespace kv
