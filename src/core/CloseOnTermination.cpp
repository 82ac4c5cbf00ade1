#include "core/CloseOnTermination.h"

#include "core/EventLog.h"

namespace kv {

CloseOnTermination::CloseOnTermination(std::function<bool()> canClose, std::function<bool()> close,
                                       QObject* parent)
    : QObject(parent), canClose_(std::move(canClose)), close_(std::move(close)) {
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, [this] { tryClose(); });
}

void CloseOnTermination::Request(const QString& signalName) {
    WriteLog(QStringLiteral("Получен сигнал завершения ") + signalName, 1);
    if (pending_) {
        return;
    }
    pending_ = true;
    if (canClose_ && !canClose_()) {
        WriteLog(QStringLiteral("Проект воспроизводится: выход после его остановки"), 1);
    }
    tryClose();
}

void CloseOnTermination::tryClose() {
    if ((!canClose_ || canClose_()) && close_ && close_()) {
        retry_.stop();
        pending_ = false;
        return;
    }
    if (!retry_.isActive()) {
        retry_.start();
    }
}

}  // namespace kv
