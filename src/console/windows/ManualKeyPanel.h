#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <array>

#include "console/ManualKeyLooks.h"

class QLabel;

namespace kv {

class ConsoleSession;

class TShape;

// The manual firing keyboard: 40 keys in two panels of two rows (1..0 and Q..P on the first,
// A..; and Z../ on the second), each key a big letter (`BKey`i), a coloured shape (`Key`i) and
// the channel number it fires (`LKey`i); above them the module and page captions.
class ManualKeyPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kKeys = 40;

    explicit ManualKeyPanel(QWidget* parent = nullptr);

    struct KeyLook {
        QColor letter;
        QColor shape;
        QColor number;
        QString numberText;
    };
    void SetKey(int index, const KeyLook& look);
    KeyLook Key(int index) const;

    // Empty module text hides the "Пульт:" and "Страница:" captions.
    void SetCaptions(const QString& module, const QString& page);

    // The letters printed on the keys, in the order of the key map.
    static const std::array<const char*, kKeys>& Letters();

    // Draws the manual keyboard of the session's module and page, all keys or one.
    void Bind(ConsoleSession& session);
    void Refresh();

private:
    struct KeyWidgets {
        QLabel* letter;
        TShape* shape;
        QLabel* number;
        KeyLook look;
    };
    std::array<KeyWidgets, kKeys> keys_{};
    QLabel* moduleCaption_;
    QLabel* moduleText_;
    QLabel* pageCaption_;
    QLabel* pageText_;
    void Draw(int index, const ManualKeyLook& look);
    ConsoleSession* session_ = nullptr;
};

}  // namespace kv
