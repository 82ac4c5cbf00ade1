#include "console/TestPanelModel.h"

#include <algorithm>
#include <cmath>

#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "util/SystemUtils.h"

namespace kv {

TestPanelModel::Buttons TestPanelModel::ButtonStates(const Inputs& in) {
    Buttons b;
    const bool free = in.TestMode && !in.Busy && !in.Searching;
    b.Up = b.Down = free && in.ModuleCount >= 2;
    b.Check = b.All = b.Export = free && in.ModuleCount >= 1;
    b.Stop = in.TestMode && in.Busy && !in.Searching && in.ModuleCount >= 1;
    b.TestMode = b.Search = !in.Busy && !in.ShowRunning && in.ShowIdle;
    return b;
}

int TestPanelModel::StepUp(const TControls& controls, int selection) {
    const int first = controls.FirstModuleIndex();
    if (first >= 0 && selection > first) {
        do {
            --selection;
        } while (selection > first && controls.ModuleAt(selection) == nullptr);
    }
    if (selection < 0 || selection >= controls.Count()) {
        return first;
    }
    return selection;
}

int TestPanelModel::StepDown(const TControls& controls, int selection) {
    const int last = controls.LastModuleIndex();
    if (last >= 0 && selection < last) {
        do {
            ++selection;
        } while (selection < last && controls.ModuleAt(selection) == nullptr);
    }
    if (selection < 0 || selection >= controls.Count()) {
        return last;
    }
    return selection;
}

QString TestPanelModel::VersionText(int32_t version) {
    return QStringLiteral("%1").arg(version & 0xFFF, 3, 16, QLatin1Char('0')).toUpper();
}

QString TestPanelModel::ForcingText(uint8_t forcing) {
    switch (forcing) {
        case ForcingOn:
            return Message(Msg::SwitchedOn);
        case ForcingOff:
            return Message(Msg::SwitchedOff);
        default:
            return QStringLiteral("?");
    }
}

TestPanelModel::Labels TestPanelModel::ModuleLabels(const TCommonControl* module) {
    Labels l;
    if (module == nullptr) {
        return l;
    }
    l.Number = QString::number(module->Address);
    l.Channels = QString::number(module->ChannelCount);
    l.Version = VersionText(module->Version);
    l.Supply = QString::number(module->SupplyVoltage, 'f', 2);
    l.Output = QString::number(module->OutputVoltage, 'f', 2);
    l.Forcing = ForcingText(module->Forcing);
    if (module->Version >= fw::Temperature) {
        l.Temperature = QString::number(RoundHalfAway(module->Temperature));
    }
    return l;
}

TestPanelModel::Panel TestPanelModel::PanelFor(const TCommonControl* module) {
    if (module == nullptr) {
        return Panel::None;
    }
    switch (module->Kind) {
        case KindCommonControl:
        case KindAutoControl:
            return Panel::Channels;
        case KindHVControl:
            return Panel::HighVoltage;
        case KindMotorControl:
            return Panel::Motor;
        default:
            return Panel::None;
    }
}

QString TestPanelModel::ResistanceText(double ohms) {
    // The module's reading for an open circuit is its largest value; as a figure it says
    // nothing to a crew and does not fit the cell.
    if (!(ohms < 6553.0)) {
        return QStringLiteral("обрыв");
    }
    if (ohms >= 1000.0) {
        return QString::number(ohms / 1000.0, 'f', 1) + QStringLiteral("к");
    }
    if (ohms >= 100.0) {
        return QString::number(ohms, 'f', 0);
    }
    return QString::number(ohms, 'f', 1);
}

uint32_t TestPanelModel::StateFill(uint8_t state) {
    switch (state) {
        case ChannelConnected:
            return 0x00FF00;
        case ChannelNotConnected:
            return 0x0000FF;
        case ChannelError:
            return 0xFF0000;
        default:
            return 0xFFFFFF;
    }
}

uint32_t TestPanelModel::StateTextColor(uint8_t state) {
    return state == ChannelNotConnected || state == ChannelError ? 0xFFFFFF : 0x000000;
}

uint32_t TestPanelModel::StateCrossColor(uint8_t state) {
    switch (state) {
        case ChannelNotConnected:
            return 0xFF0000;
        case ChannelError:
            return 0xFFFFFF;
        default:
            return 0x000000;
    }
}

std::vector<TestPanelModel::Cell> TestPanelModel::ChannelCells(const TCommonControl* module) {
    std::vector<Cell> cells;
    if (PanelFor(module) != Panel::Channels) {
        return cells;
    }
    const int n = std::clamp(module->ChannelCount, 0, kMaxChannels);
    const bool ohms = module->Version >= fw::Resistance;
    cells.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const int col = i % kColumns;
        const int row = i / kColumns;
        const uint8_t state = module->ChannelState[i];
        Cell c;
        c.Channel = i;
        c.Left = kCellWidth * col + 2;
        c.Top = kCellHeight * row + 2;
        c.Right = kCellWidth * (col + 1);
        c.Bottom = kCellHeight * (row + 1);
        c.Fill = StateFill(state);
        c.TextColor = StateTextColor(state);
        c.CrossColor = StateCrossColor(state);
        c.Cross = module->ChannelInScript[i] != 0;
        c.RedOutline = c.Cross && state == ChannelNotConnected;
        c.Number = QString::number(i + 1);
        c.NumberX = (c.Left + c.Right) / 2;
        // A channel not measured yet has no figure to show: its 0.0 would read as a short.
        if (ohms && state != ChannelUnknown) {
            c.NumberY = c.Top + 3;
            c.Resistance = ResistanceText(module->ChannelResistance[i]);
            c.ResistanceX = c.NumberX;
            c.ResistanceY = c.Top + 19;
        } else {
            c.NumberY = (c.Top + c.Bottom) / 2;
        }
        cells.push_back(c);
    }
    return cells;
}

}  // namespace kv
