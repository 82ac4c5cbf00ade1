#include "devices/ConnectedChannelsExport.h"

#include <QFile>

#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "util/SystemUtils.h"

namespace kv {

QStringList ConnectedChannelsExport::Lines(const TControls& controls) {
    const QString moduleLabel = GetText(55, QStringLiteral("Пульт, ID="));
    const QString countLabel = GetText(56, QStringLiteral("Подключенных каналов:"));
    const QString channelLabel = GetText(57, QStringLiteral("Канал №"));
    QStringList lines;
    for (int i = 0; i < controls.Count(); ++i) {
        const TCommonControl* module = controls.ModuleAt(i);
        if (module == nullptr) {
            continue;
        }
        lines << moduleLabel + QString::number(module->Address);
        lines << countLabel + QLatin1Char(' ') +
                     QString::number(module->CountState(ChannelConnected));
        for (int ch = 0; ch < module->ChannelCount; ++ch) {
            if (module->ChannelState[ch] == ChannelConnected) {
                lines << channelLabel + QLatin1Char(' ') + QString::number(ch + 1);
            }
        }
        lines << QString() << QString();
    }
    return lines;
}

QString ConnectedChannelsExport::FileName(const QString& chosen) {
    return EnsureExtension(chosen, QStringLiteral(".txt"));
}

QString ConnectedChannelsExport::ProposedName() {
    return GetText(54, QStringLiteral("подключенные каналы"));
}

bool ConnectedChannelsExport::Write(const TControls& controls, const QString& chosen,
                                    QString* error) {
    QFile file(FileName(chosen));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error != nullptr) {
            *error = file.errorString();
        }
        return false;
    }
    for (const QString& line : Lines(controls)) {
        const QByteArray bytes = line.toUtf8() + "\r\n";
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            if (error != nullptr) {
                *error = file.errorString();
            }
            return false;
        }
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        if (error != nullptr) {
            *error = file.errorString();
        }
        return false;
    }
    return true;
}

}  // namespace kv
