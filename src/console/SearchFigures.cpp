#include "console/SearchFigures.h"

#include "devices/TControls.h"

namespace kv {

std::array<QString, SearchFigures::kCount> SearchFigures::Values(int percent, int address,
                                                                 int converters,
                                                                 const TControls& controls) {
    return {QString::number(percent) + QLatin1Char('%'),
            QString::number(address),
            QString::number(converters),
            QString::number(controls.ModuleCount()),
            QString::number(controls.RadioUnitCount()),
            QString::number(controls.HasRemoteControl())};
}

}  // namespace kv
