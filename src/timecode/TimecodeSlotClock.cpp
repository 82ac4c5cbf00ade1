#include "timecode/TimecodeSlotClock.h"

#include "timecode/CaptureTimecodeSource.h"
#include "timecode/TimecodeShowClock.h"
#include "timecode/WavTimecodeSource.h"

namespace kv {

std::optional<TimecodeFollowerSettings> TimecodeSettingsOf(const TimecodeSlot& slot,
                                                           QString& error) {
    const std::optional<Timecode> zero = ParseTimecode(slot.ShowZero);
    if (!zero) {
        error = QStringLiteral("show zero %1 is no timecode (HH:MM:SS:FF)").arg(slot.ShowZero);
        return std::nullopt;
    }
    if (slot.Channel < 1) {
        error = QStringLiteral("timecode channel %1: channels count from 1").arg(slot.Channel);
        return std::nullopt;
    }
    TimecodeFollowerSettings settings;
    settings.showZero = *zero;
    settings.onLoss = slot.StopOnLoss ? TimecodeLossAction::Stop : TimecodeLossAction::GoOn;
    settings.freewheelMs = slot.FreewheelMs;
    settings.lockFrames = slot.LockFrames;
    return settings;
}

std::unique_ptr<TimecodeShowClock> MakeTimecodeShowClock(const TimecodeSlot& slot,
                                                         const QString& file, QString& error) {
    const std::optional<TimecodeFollowerSettings> settings = TimecodeSettingsOf(slot, error);
    if (!settings) {
        return nullptr;
    }
    std::unique_ptr<TimecodeSource> source;
    if (file.isEmpty()) {
        source = std::make_unique<CaptureTimecodeSource>(slot.Device, slot.Channel - 1);
    } else {
        auto wav = std::make_unique<WavTimecodeSource>();
        if (!wav->Open(file, slot.Channel - 1)) {
            error = wav->Error();
            return nullptr;
        }
        source = std::move(wav);
    }
    return std::make_unique<TimecodeShowClock>(std::move(source), *settings);
}

}  // namespace kv
