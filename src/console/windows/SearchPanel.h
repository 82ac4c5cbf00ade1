#pragma once

#include <QWidget>
#include <array>

#include "console/SearchFigures.h"

class QLabel;

namespace kv {

class ConsoleWiring;

// What a running bus search has found so far, shown in place of the time panel while
// "<F10> Поиск" is down: cycle percent, the address just probed, converters, modules, radio
// channels and the remote control.
class SearchPanel : public QWidget {
    Q_OBJECT
public:
    explicit SearchPanel(QWidget* parent = nullptr);

    // Every figure empty: a search starts.
    void Clear();
    // The figures after one scan tick (the wiring's OnSearchProgress).
    void ShowProgress(const ConsoleWiring& wiring, int percent, int address);
    void SetFigures(const std::array<QString, SearchFigures::kCount>& values);

    QLabel* Figure(int index) const { return values_[static_cast<size_t>(index)]; }
    QString FigureText(int index) const;

private:
    std::array<QLabel*, SearchFigures::kCount> values_{};
};

}  // namespace kv
