#include "console/SoundDeviceNotice.h"

namespace kv {

SoundDeviceNotice SoundDeviceNoticeFor(bool soundReady) {
    if (soundReady) {
        return {};
    }
    // The device is opened once, when the program starts: saying so tells the crew what helps.
    return {QStringLiteral("Нет звукового устройства: фонограмма недоступна"),
            QStringLiteral("Звуковое устройство не открылось при запуске программы, поэтому "
                           "фонограмму нельзя загрузить и воспроизвести. Подключите звуковое "
                           "устройство и перезапустите программу; подробности в журнале.")};
}

}  // namespace kv
