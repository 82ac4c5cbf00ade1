#pragma once

#include <QDialog>

namespace kv {

class TLocalizer;

// The developers' debug window; it is never translated, so it carries no localizer.
// Created once at start-up and kept for the whole run; hidden until needed.
class TDebugForm : public QDialog {
    Q_OBJECT
public:
    explicit TDebugForm(QWidget* parent = nullptr);
};

}  // namespace kv
