#include "console/ConverterAccess.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "bus/ConverterBackend.h"
#include "i18n/Localizer.h"

namespace kv {

QString ConverterAccessDeniedText(const QString& path, const QString& group, const QString& user) {
    // Joining root would be wrong advice; the udev rule makes such a node dialout's on replug.
    const QString join =
        group.isEmpty() || group == QLatin1String("root") ? QStringLiteral("dialout") : group;
    const QString who = user.isEmpty() ? QStringLiteral("$USER") : user;
    return Message(Msg::ConverterAccessDenied) + QLatin1Char(' ') + path + QLatin1Char(' ') +
           Message(Msg::AddUserToGroup) + QLatin1Char(' ') + join + QLatin1Char(' ') +
           Message(Msg::LogInAgain) + QStringLiteral(" (sudo adduser %1 %2)").arg(who, join);
}

QString ConverterAccessDeniedText(const ConverterAccessDenied& denied) {
    return ConverterAccessDeniedText(QString::fromStdString(denied.path),
                                     QString::fromStdString(denied.group), CurrentUserName());
}

QString CurrentUserName() {
    passwd pw{};
    passwd* found = nullptr;
    std::vector<char> buffer(4096);
    if (::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found) {
        return QString::fromLocal8Bit(found->pw_name);
    }
    return QString::fromLocal8Bit(qgetenv("USER"));
}

}  // namespace kv
