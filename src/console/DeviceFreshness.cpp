#include "console/DeviceFreshness.h"

#include <algorithm>

namespace kv {

void DeviceFreshness::SetDevices(const std::vector<int>& addresses) {
    std::map<int, int> kept;
    for (int address : addresses) {
        const auto it = misses_.find(address);
        kept[address] = it == misses_.end() ? 0 : it->second;
    }
    misses_.swap(kept);
}

void DeviceFreshness::Polled(int address, bool answered) {
    int& misses = misses_[address];
    misses = answered ? 0 : misses + 1;
}

void DeviceFreshness::LinkLost() {
    for (auto& [address, misses] : misses_) {
        misses = std::max(misses, kStaleAfter);
    }
}

int DeviceFreshness::Misses(int address) const {
    const auto it = misses_.find(address);
    return it == misses_.end() ? 0 : it->second;
}

bool DeviceFreshness::Stale(int address) const {
    return Misses(address) >= kStaleAfter;
}

int DeviceFreshness::StaleCount() const {
    return static_cast<int>(std::count_if(misses_.begin(), misses_.end(), [](const auto& entry) {
        return entry.second >= kStaleAfter;
    }));
}

QString StaleRowText(const QString& freshRow, int misses, bool linkLost) {
    // Columns 1..7 hold the address and the channel count; the figures after them are old.
    QString row = freshRow.left(7);
    row += linkLost ? QStringLiteral(" нет связи")
                    : QStringLiteral(" нет ответа: ") + QString::number(misses) +
                          QStringLiteral(" опр.");
    return row.leftJustified(28, QLatin1Char(' '), true);
}

QString StaleCountSuffix(int stale) {
    return stale > 0 ? QStringLiteral("\nбез ответа: ") + QString::number(stale) : QString();
}

}  // namespace kv
