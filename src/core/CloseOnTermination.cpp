#include "core/CloseOnTermination.h"

#include "core/EventLog.h"

namespace kv {

CloseOnTermination::CloseOnTermination(Closable& window, QObject* parent)
    : QObject(parent), window_(window) {
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, [this] { TryClose(); });
}

void CloseOnTermination::Request(const QString& signalName) {
    WriteLog(QStringLiteral("Получен сигнал завершения ") + signalName, 1);
    if (pending_) {
        return;
    }
    pending_ = true;
    if (!window_.CanClose()) {
        WriteLog(QStringLiteral("Проект воспроизводится: выход после его остановки"), 1);
    }
    TryClose();
}

void CloseOnTermination::TryClose() {
    if (window_.CanClose() && window_.Close()) {
        retry_.stop();
        pending_ = false;
        return;
    }
    if (!retry_.isActive()) {
        retry_.start();
    }
}

}  // namespace kv
