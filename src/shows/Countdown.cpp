#include "shows/Countdown.h"

#include "i18n/Localizer.h"

namespace kv {

QString CountdownText(int64_t ms) {
    if (ms < 0) {
        ms = 0;
    }
    const int64_t seconds = ms / 1000;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(seconds / 3600)
        .arg((seconds / 60) % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'))
        .arg((ms / 100) % 10);
}

CountdownStep Countdown(uint32_t startTick, uint32_t targetTick, uint32_t now, bool playing) {
    CountdownStep step;
    if (targetTick != 0) {
        const auto remaining = static_cast<int32_t>(targetTick - now);
        step.text = CountdownText(remaining);
        step.close = remaining <= 0;
    } else {
        step.text = CountdownText(static_cast<int64_t>(now - startTick));
        step.close = playing;
    }
    return step;
}

CountdownPlan PlanClockStart(uint32_t now, int32_t pickedMsOfDay, int32_t currentMsOfDay) {
    CountdownPlan plan;
    plan.remainingMs = pickedMsOfDay - currentMsOfDay;
    if (plan.remainingMs <= 0) {
        plan.passed = true;
        return plan;
    }
    plan.targetTick = now + static_cast<uint32_t>(plan.remainingMs);
    if (plan.targetTick == 0) {
        plan.targetTick = 1;  // 0 is the waiting window's mark; one millisecond later is harmless
    }
    return plan;
}

QString CountdownPassedMessage() {
    return Message(Msg::CountdownPassed);
}

}  // namespace kv
