#pragma once

#include <QImage>
#include <QSize>
#include <QWidget>

#include "console/windows/ModuleSelection.h"

namespace kv {

class TCommonControl;

// The channel grid of the selected firing module: sixteen cells a row, each coloured by the
// channel's state, crossed when the script fires it, with the channel number and, from the
// resistance firmware on, the measured resistance. Drawn off-screen into an image the size of
// the box and copied in one step, so a test redrawing after every channel does not flicker.
class ChannelGraph : public QWidget {
    Q_OBJECT
public:
    explicit ChannelGraph(QWidget* parent = nullptr);

    // Where the module to draw comes from (nullptr: nothing selected, or not a plain module).
    // Asked at every paint, so a module a search removed is never drawn from a stale pointer.
    void SetModuleSource(const ModuleSelection* source);
    // Repaints now (a test redraws after each channel while events are being pumped).
    void Redraw();

    // The grid of module on a white image of size.
    static QImage Render(const TCommonControl* module, QSize size);
    // The height the grid of module needs: its rows of cells and the margin.
    static int HeightFor(const TCommonControl* module);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ModuleSelection* source_ = nullptr;
};

}  // namespace kv
