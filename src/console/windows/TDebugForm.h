#pragma once

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace kv {

class ClockTestPermission;
class ConsoleDialogs;
class ConsoleWiring;
class DebugSyncTest;

// The developers' debug window; it is never translated, so it carries no localizer.
// Created once at start-up and kept for the whole run; hidden until needed.
// It shows the modules' clock test: one row per module, the time since "Тест", and the
// buttons "Тест", "Стоп" and "Закрыть". However it closes, the test stops with it.
class TDebugForm : public QDialog {
    Q_OBJECT
public:
    explicit TDebugForm(QWidget* parent = nullptr);
    ~TDebugForm() override;

    // The bus the test runs on. Detach (or destroying the window) before the wiring goes.
    void Attach(ConsoleWiring& wiring, const ClockTestPermission& permission);
    void Detach();
    // Ctrl+Alt+D: fresh rows of the modules on the bus, then the window shows modally; returns
    // when it is closed (the test stopped with it).
    void Open();
    // The test behind the window; nullptr before Attach.
    DebugSyncTest* Test() const { return test_.get(); }

    QTreeWidget* DeviceList = nullptr;
    QLabel* ClockLabel = nullptr;
    QPushButton* TestBtn = nullptr;
    QPushButton* StopBtn = nullptr;
    QPushButton* CloseBtn = nullptr;

protected:
    void done(int result) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Redraw();
    // The default button and the focus on the button the test's state calls for next.
    void FollowTest();

    std::unique_ptr<ConsoleDialogs> dialogs_;
    std::unique_ptr<DebugSyncTest> test_;
};

}  // namespace kv
