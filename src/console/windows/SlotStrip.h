#pragma once

#include <QString>
#include <QWidget>
#include <array>

class QLabel;

namespace kv {

class ConsoleSession;

class TShape;

// The eight project slots side by side: the slot's number, its lamp `PLed`k (on for the current
// slot), the script's length `PLabel`k and the soundtrack's length `SLabel`k.
class SlotStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSlots = 8;

    explicit SlotStrip(QWidget* parent = nullptr);

    void SetSlot(int slot, bool current, const QString& scriptTime, const QString& soundTime);
    QString ScriptText(int slot) const;
    QString SoundText(int slot) const;
    bool IsCurrent(int slot) const;

    // Draws each slot's script and soundtrack lengths and the current slot.
    void Bind(ConsoleSession& session);

private:
    struct Slot {
        TShape* led;
        QLabel* script;
        QLabel* sound;
    };
    std::array<Slot, kSlots> slots_{};
};

}  // namespace kv
