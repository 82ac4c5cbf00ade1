#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace kv {

class TCommonControl;
class TControls;

// What the test panel shows and allows, as plain data: selection stepping, button availability,
// the module data labels and the cells of the channel graph. The window only draws this.
class TestPanelModel {
public:
    // Enabled states of the test-mode buttons.
    struct Buttons {
        bool Up = false;
        bool Down = false;
        bool Check = false;     // "<F1> Проверка"
        bool All = false;       // "<F2> Все"
        bool Stop = false;      // "<F3> Стоп"
        bool Export = false;    // F4
        bool TestMode = false;  // "<TAB> Тест"
        bool Search = false;    // "<F10> Поиск"
    };
    struct Inputs {
        bool TestMode = false;
        bool Busy = false;
        bool Searching = false;
        int ModuleCount = 0;
        bool ShowRunning = false;  // the player is playing
        bool ShowIdle = true;      // launch state Waiting
    };
    static Buttons ButtonStates(const Inputs& in);

    // Up: back to the previous module; Down: on to the next one. A selection outside the list
    // lands on the first (Up) or last (Down) module, -1 when there is none.
    static int StepUp(const TControls& controls, int selection);
    static int StepDown(const TControls& controls, int selection);

    // The module data labels; every value is "?" until known.
    struct Labels {
        QString Number = QStringLiteral("?");
        QString Channels = QStringLiteral("?");
        QString Version = QStringLiteral("?");
        QString Supply = QStringLiteral("?");
        QString Output = QStringLiteral("?");
        QString Forcing = QStringLiteral("?");
        QString Temperature = QStringLiteral("?");
    };
    static Labels ModuleLabels(const TCommonControl* module);
    // Three upper-case hexadecimal digits.
    static QString VersionText(int32_t version);
    static QString ForcingText(uint8_t forcing);

    // Which panel the test area shows for the selected entry.
    enum class Panel { None, Channels, HighVoltage, Motor };
    static Panel PanelFor(const TCommonControl* module);

    // One cell of the channel graph. Colours are 0xRRGGBB.
    struct Cell {
        int Channel = 0;                               // 0-based
        int Left = 0, Top = 0, Right = 0, Bottom = 0;  // right and bottom exclusive
        uint32_t Fill = 0xFFFFFF;
        uint32_t TextColor = 0x000000;
        uint32_t CrossColor = 0x000000;
        bool Cross = false;            // the script fires this channel (a flag in the top corner)
        bool RedOutline = false;       // the script fires a channel that is not connected
        QString Number;                // 1-based
        QString Resistance;            // ResistanceText; empty below the resistance firmware
        int NumberX = 0, NumberY = 0;  // centre (old firmware) or top centre (new)
        int ResistanceX = 0, ResistanceY = 0;  // top centre
    };
    static std::vector<Cell> ChannelCells(const TCommonControl* module);
    // A measured resistance as a crew reads it: "12.3", "450", "1.2к", and "обрыв" for the
    // module's open-circuit reading (its largest value, 6553.5).
    static QString ResistanceText(double ohms);
    static uint32_t StateFill(uint8_t state);
    static uint32_t StateTextColor(uint8_t state);
    static uint32_t StateCrossColor(uint8_t state);

    static constexpr int kColumns = 16;
    // Large enough for two lines of 13-pixel figures at 1280 pixels across.
    static constexpr int kCellWidth = 46;
    static constexpr int kCellHeight = 40;
};

}  // namespace kv
