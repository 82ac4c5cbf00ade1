#include "devices/ScriptChannelSummary.h"

#include <algorithm>

#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"

namespace kv {

QStringList ScriptChannelSummaryLines(const TControls& controls) {
    QStringList problems;
    QStringList unused;
    bool anyScripted = false;
    for (int i = 0; i < controls.Count(); ++i) {
        const TCommonControl* m = controls.ModuleAt(i);
        if (m == nullptr) {
            continue;
        }
        const int channels = std::min(m->ChannelCount, kMaxChannels);
        for (int ch = 0; ch < channels; ++ch) {
            const auto c = static_cast<size_t>(ch);
            const bool scripted = m->ChannelInScript[c] != 0;
            const uint8_t state = m->ChannelState[c];
            anyScripted = anyScripted || scripted;
            const QString where =
                QStringLiteral("Пульт %1, канал %2: ").arg(m->Address).arg(ch + 1);
            if (scripted && state == ChannelNotConnected) {
                problems << where + QStringLiteral("в сценарии, воспламенитель не подключен");
            } else if (scripted && state == ChannelError) {
                problems << where + QStringLiteral("в сценарии, ошибка");
            } else if (scripted && state == ChannelUnknown) {
                problems << where + QStringLiteral("в сценарии, не проверен");
            } else if (!scripted && state == ChannelConnected) {
                unused << where + QStringLiteral(
                                      "воспламенитель подключен, в сценарии не используется");
            }
        }
    }
    if (!anyScripted) {
        return {};
    }
    QStringList lines{QStringLiteral("Сводка по сценарию:")};
    lines << problems << unused;
    if (problems.isEmpty() && unused.isEmpty()) {
        lines << QStringLiteral("Все каналы сценария подключены, лишних воспламенителей нет");
    }
    lines << QString() << QString();
    return lines;
}

}  // namespace kv
