#pragma once

#include <QPixmap>
#include <QWidget>

namespace kv {

// One of the three pointer gauges (offset, tempo, PC battery): a scale picture with a navy
// needle over it. The needle's x comes from the console's gauge functions; the whole gauge is
// painted into a picture of its own size first and copied in one step, so it never flickers.
class PointerGauge : public QWidget {
    Q_OBJECT
public:
    // Offset and tempo have a centred scale (picture 0), the battery a 0..100 % scale
    // (picture 1).
    enum class Scale { Centred, Percent };

    explicit PointerGauge(Scale scale, QWidget* parent = nullptr);

    void SetNeedleX(int x);
    int NeedleX() const { return needleX_; }
    // The gauge as it is drawn now, at its fixed size.
    QImage Render() const;

    QSize sizeHint() const override { return QSize(kWidth, kHeight); }

    static constexpr int kWidth = 136;
    static constexpr int kHeight = 32;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static QPixmap ScalePicture(Scale scale);

    QPixmap scale_;
    int needleX_ = 64;
};

}  // namespace kv
