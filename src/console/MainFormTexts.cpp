#include "console/MainFormTexts.h"

#include "core/EventLog.h"
#include "i18n/Localizer.h"

namespace kv {

void WriteLogHeader(const QString& version) {
    const QString rule(45, QLatin1Char('-'));
    WriteLog(rule, 1);
    WriteLog(Message(Msg::Blank) + version, 1);
    WriteLog(rule, 1);
}

void WriteLogClosing() {
    const QString rule(44, QLatin1Char('-'));
    WriteLog(rule, 1);
    WriteLog(Message(Msg::ProgramExit), 1);
    WriteLog(rule, 1);
}

QString MainCaption(const QString& version) {
    return Message(Msg::LaunchControlVersion) + QLatin1Char(' ') + version + QLatin1Char(')');
}

QString VersionLabelText(const QString& version) {
    return Message(Msg::VersionLabel) + QLatin1Char(' ') + version + QLatin1Char(' ') +
           Message(Msg::ExtendedEdition);
}

QString StartButtonCaptionFor(int startKey) {
    return startKey == kSpaceKey ? QStringLiteral("<SPACE> Старт") : QString();
}

}  // namespace kv
