#include "console/MainFormTexts.h"

#include "core/EventLog.h"
#include "i18n/Localizer.h"

namespace kv {

void WriteLogHeader(const QString& version) {
    const QString rule(45, QLatin1Char('-'));
    WriteLog(rule, 1);
    WriteLog(GetText(0, QStringLiteral(" ")) + version, 1);
    WriteLog(rule, 1);
}

void WriteLogClosing() {
    const QString rule(44, QLatin1Char('-'));
    WriteLog(rule, 1);
    WriteLog(GetText(60, QStringLiteral("Выход из программы")), 1);
    WriteLog(rule, 1);
}

QString MainCaption(const QString& version) {
    return GetText(7, QStringLiteral("Управление запуском (версия:")) + QLatin1Char(' ') + version +
           QLatin1Char(')');
}

QString VersionLabelText(const QString& version) {
    return GetText(8, QStringLiteral("версия:")) + QLatin1Char(' ') + version + QLatin1Char(' ') +
           GetText(9, QStringLiteral("(расширенная)"));
}

QString StartButtonCaptionFor(int startKey) {
    return startKey == kSpaceKey ? QStringLiteral("<SPACE> Старт") : QString();
}

}  // namespace kv
