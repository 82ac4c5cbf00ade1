#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <vector>

namespace kv {

class ConsoleDialogs;

class ConsoleWiring;

// The debug window's test of how well the modules' show clocks keep time with the PC: "Тест"
// programs channel 1 of every module to fire one hour on and starts their show clocks, then
// every 100 ms each module's clock is read against the time since the start; "Стоп" stops the
// clocks. A test left running would fire channel 1 of every module after that hour, so it
// stops whenever the test ends for any reason: "Стоп", the window closed (the window calls
// Stop), the program quitting (the destructor does), or, as a last guard, on its own well
// before the hour. Main thread only; destroy it before the wiring it was given.
// Whether the console's state lets the clock test run now.
class ClockTestPermission {
public:
    virtual bool ClockTestAllowed() const = 0;

protected:
    ~ClockTestPermission() = default;
};

class DebugSyncTest : public QObject {
    Q_OBJECT
public:
    static constexpr int32_t kFireTimeMs = 3600000;  // channel 1 is programmed to fire here
    static constexpr int kIntervalMs = 100;
    // The test ends itself this long before the programmed firing.
    static constexpr uint32_t kAutoStopMs = kFireTimeMs - 5 * 60 * 1000;

    // One row per module, in list order.
    struct Row {
        int address = 0;
        int channels = 0;
        int version = 0;
        QString voltage = QStringLiteral("?");  // "Напряжение, в"
        QString link = QStringLiteral("?");     // "Связь, %"
        QString sync = QStringLiteral("?");     // "Синх., мс": module ahead when positive
    };

    explicit DebugSyncTest(ConsoleWiring& wiring);
    ~DebugSyncTest();
    DebugSyncTest(const DebugSyncTest&) = delete;
    DebugSyncTest& operator=(const DebugSyncTest&) = delete;

    // Opening the window: the rows of the modules on the bus, "?" in the measured columns and
    // the clock at "00:00:00".
    void Reset();
    // "Тест": false when already running or the bus is held by a memory operation, a search or
    // a channel test. Its clock start reaches every device on the bus, and a module in launch
    // mode holding a script would play it: so it is refused (shown as an error) unless the
    // permission says the console may (it waits, nothing plays or counts down) and every module
    // found, asked for its status now, reports test mode (older firmware reports no mode: refused).
    // Then the overwrite question; false when declined.
    bool Start();
    // One 100 ms step (the timer's handler; callable directly).
    void Tick();
    // "Стоп", closing the window, quitting: stops the timer and the modules' clocks, logs that
    // the script must be written again and lets polling resume. Does nothing when not running.
    void Stop();

    bool Running() const { return running_; }
    const std::vector<Row>& Rows() const { return rows_; }
    QString ClockText() const { return clock_; }
    QTimer& Timer() { return timer_; }

    // Whether the console's state lets the test run (ShowControl's rule); unset: never.
    void SetPermission(const ClockTestPermission* permission) { permission_ = permission; }
    // The question before the test overwrites channel 1 in the modules' memory (Confirm), and
    // why a test was refused (ShowError; the text is logged as well). Unset: nobody, who
    // answers no.
    void SetDialogs(ConsoleDialogs& dialogs) { dialogs_ = &dialogs; }

signals:
    // Rows or clock changed: redraw.
    void Changed();

private:
    void Refuse(const QString& text);
    // Polls every module for its status and returns the addresses of those not in test mode.
    std::vector<int> ModulesNotInTestMode();
    void ReleaseBus();
    // The clock test's announcement (start) or end frame to the other consoles.
    void AnnounceTest(bool start);

    ConsoleWiring& wiring_;
    const ClockTestPermission* permission_ = nullptr;
    ConsoleDialogs* dialogs_;
    std::vector<Row> rows_;
    QString clock_;
    QTimer timer_;
    uint32_t startTick_ = 0;
    uint32_t lastAnnounce_ = 0;
    bool running_ = false;
};

}  // namespace kv
