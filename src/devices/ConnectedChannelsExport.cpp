#include "devices/ConnectedChannelsExport.h"

#include <QSaveFile>

#include "devices/ScriptChannelSummary.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "util/SystemUtils.h"

namespace kv {

QStringList ConnectedChannelsExport::Lines(const TControls& controls) {
    const QString moduleLabel = Message(Msg::ModuleIdLabel);
    const QString countLabel = Message(Msg::ConnectedChannelCount);
    const QString channelLabel = Message(Msg::ChannelNumberLabel);
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
    return Message(Msg::ConnectedChannelsTitle);
}

bool ConnectedChannelsExport::Write(const TControls& controls, const QString& chosen,
                                    QString* error) {
    // Written beside the target and put in its place only once complete: a write that fails
    // (a full disk) leaves the previous file as it was instead of empty.
    QByteArray bytes;
    // The script's summary follows the module lists, so what reads those stays as it was.
    for (const QString& line : Lines(controls) + ScriptChannelSummaryLines(controls)) {
        bytes += line.toUtf8() + "\r\n";
    }
    QSaveFile file(FileName(chosen));
    // Unbuffered: a short write (the disk filled up) shows in write()'s count; through the
    // buffer it can get lost and the commit would put a cut file in place.
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                    file.write(bytes) == bytes.size() && file.commit();
    if (!ok) {
        if (error != nullptr) {
            *error = file.errorString();
        }
        file.cancelWriting();
    }
    return ok;
}

}  // namespace kv
