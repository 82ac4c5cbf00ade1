#pragma once

#include <QString>
#include <QWidget>

#include "console/windows/TShape.h"

class QLabel;

namespace kv {

// An indicator of the main window: a lamp and its label side by side. The lamp and the label
// carry their own object names ("WaitLed", "WaitLabel") so that the language file reaches them.
// On: lime lamp, black label; off: button-face lamp; alarm: red lamp; both the latter with the
// label in the window-text colour.
class TIndicator : public QWidget {
    Q_OBJECT
public:
    TIndicator(const QString& ledName, const QString& labelName, const QString& text,
               QWidget* parent = nullptr);

    void SetLook(TShape::Look look);
    TShape::Look Look() const { return led_->CurrentLook(); }
    TShape* Led() const { return led_; }
    QLabel* Label() const { return label_; }

private:
    TShape* led_;
    QLabel* label_;
};

}  // namespace kv
