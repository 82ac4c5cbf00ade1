#pragma once

#include <QColor>
#include <QWidget>

namespace kv {

// A coloured indicator lamp: the shape of the indicators (on, off, alarm) beside their labels.
// Its hint is the tool tip.
class TShape : public QWidget {
    Q_OBJECT
public:
    enum class Form { Rectangle, Circle };
    enum class Look { Off, On, Alarm };

    explicit TShape(QWidget* parent = nullptr, Form form = Form::Circle);

    void SetLook(Look look);
    Look CurrentLook() const { return look_; }
    // The colour a look is drawn in: lime, the button face, red.
    QColor FillColor() const;

    QSize sizeHint() const override { return QSize(16, 16); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Form form_;
    Look look_ = Look::Off;
};

}  // namespace kv
