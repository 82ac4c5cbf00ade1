#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bus/TPort.h"
#include "devices/ChannelTester.h"

namespace kv {

class ConverterBackend;
class TCommonControl;
class TCommonPlayer;
class TControls;
class TPortProto;

// The console below its windows: the bus protocol object and the bus manager, created and
// connected; the converters opened; frames handed to the bus manager first and then to the
// handlers added after it (the show player); lost and restored converters; the 500 ms poll
// cycle; the search command; the channel tests and the module mode commands. The main window
// owns one and draws what it announces through the signals below. Main thread only.
class ConsoleWiring : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxConverters = 16;
    static constexpr int kAnswerTimeoutMs = 70;
    static constexpr int kIdleIntervalMs = 500;

    // backend: the converters (tty or simulated). simulatedRig: empty for real hardware,
    // otherwise the rig's name, which the caption and the log then show.
    ConsoleWiring(std::shared_ptr<ConverterBackend> backend, QString simulatedRig = QString());
    ~ConsoleWiring();
    ConsoleWiring(const ConsoleWiring&) = delete;
    ConsoleWiring& operator=(const ConsoleWiring&) = delete;

    // Sets the answer time-out, opens the bus (the worker starts in any case) and reports the
    // converter count. Returns whether the converters opened.
    bool Open();
    // Starts the idle timer (the window does this when it is first shown, unless searching).
    void StartPolling();
    void StopPolling();
    // Starts the idle timer again after an operation that stopped it, when polling is wanted
    // and no search, channel test or memory operation holds the bus.
    void ResumePolling();

    TPortProto& Proto() const { return *proto_; }
    TControls& Controls() const { return *controls_; }
    ChannelTester& Tester() { return tester_; }
    QTimer& IdleTimer() { return idleTimer_; }

    bool Simulated() const { return !simulatedRig_.isEmpty(); }
    QString SimulatedRig() const { return simulatedRig_; }
    // " [...]" marker for the window caption on a simulated bus; empty on real hardware.
    QString CaptionSuffix() const;
    // "RS485: n" with the open converter count (0 while the converters are lost).
    QString ConverterLabel() const;

    // Frames received outside an exchange go to the bus manager first, then to these in the
    // order they were added (the show player adds its HandleFrame).
    using FrameHandler = std::function<void(const BusFrame& frame, int converter)>;
    void AddFrameHandler(FrameHandler handler);
    void HandleFrame(const BusFrame& frame, int converter);

    // One step of the poll cycle: the device at PollCursor polls its status, then the cursor
    // moves on (round robin), then the refresh hooks run. The show player runs the same step
    // from its idle notification while a show plays.
    void PollStep();

    // The five lines logged when a search ends: all entries, converters, modules, radio units,
    // remote control.
    QStringList SearchSummaryLines() const;

    // The operator's search command: pressed and released.
    void StartSearch();
    void StopSearch();

    // Channel tests. CheckSelected tests the module at TestSelection; TestAll every module.
    // Both stop the idle timer while they run and are refused while another test runs.
    bool CheckSelected();
    void TestAll();
    void StopTest() { tester_.Stop(); }
    // Test mode entered: the first module is selected (-1 when there is none).
    void EnterTestMode();
    void LeaveTestMode();
    void SelectUp();
    void SelectDown();
    TCommonControl* SelectedModule() const;
    // "Режим теста" / "Режим пуска": SetMode on every module in list order.
    void SetModeAll(uint8_t mode);

    // The console state kept here.
    int PollCursor() const { return pollCursor_; }           // the device the next poll step asks
    bool ConverterFault() const { return converterFault_; }  // the converters are lost
    bool Searching() const { return searching_; }
    bool Testing() const { return testing_; }             // a channel test runs
    bool TestMode() const { return testMode_; }           // "<TAB> Тест" is down
    int TestSelection() const { return testSelection_; }  // list index of the test page's module
    // Set while a memory operation or the debug test holds the bus. Such an operation lets the
    // window process its events between exchanges, so the operator's commands still arrive:
    // searches and channel tests are refused meanwhile and polling stays off until it ends.
    bool BusHeld() const { return busHeld_; }
    // The module the test page shows (after a number change, the list is sorted again).
    void SetTestSelection(int index);
    // The poll cycle starts again from the first device.
    void RestartPollCycle() { pollCursor_ = 0; }
    // What the tests and the tools drive directly: a channel test or a search that holds the
    // bus, the test page, the converters lost. Each announces its change as the wiring's own
    // operations do.
    void SetTesting(bool testing);
    void SetSearching(bool searching);
    void SetTestMode(bool on);
    void SetConverterFault(bool fault);
    // Sets BusHeld and announces a change.
    void SetBusHeld(bool held);

    // The player whose show, while it plays, holds back the fired-channel check; null: none.
    void SetPlayer(const TCommonPlayer* player) { player_ = player; }
    bool ShowPlaying() const;

signals:
    void DeviceListChanged();  // list sorted, rebuild the rows
    void SearchProgress(int percent, int address);
    void SearchStateChanged(bool searching);  // buttons, wait indicator
    void SearchEnded();                       // re-apply project marks, lamps, keys
    void ConverterStateChanged(const QString& label, bool fault);
    void ConverterRestored();  // close the warning window
    // A converter that is present but may not be opened by this user: the operator's message
    // (device, group to join), once per device and run. Logged before it is announced.
    void ConverterAccessRefused(const QString& message);
    void DevicePolled(int index);  // refresh that row or lamp
    void SummaryChanged();         // power, link and forcing indicators
    void TestPanelChanged();       // test-mode device panel
    void TestStateChanged();       // buttons while a test starts and ends
    // Step 5 of the poll cycle, between shows and outside tests and searches: the show
    // control's fired-channel check decides whether anything waits.
    void FiredChannelCheckDue();
    void BusHeldChanged();

private:
    void ConverterLost();
    void ConverterBack();
    void ListChanged();
    void LogSearchSummary();
    void RestartPollingAfter();
    void ReportAccessDenied();

    QString simulatedRig_;
    std::shared_ptr<ConverterBackend> backend_;
    std::unique_ptr<TPortProto> proto_;
    std::unique_ptr<TControls> controls_;
    ChannelTester tester_;
    std::vector<FrameHandler> frameHandlers_;
    QTimer idleTimer_;
    bool pollingWanted_ = false;
    std::set<std::string> accessReported_;
    const TCommonPlayer* player_ = nullptr;
    int pollCursor_ = 0;
    bool converterFault_ = false;
    bool searching_ = false;
    bool testing_ = false;
    bool testMode_ = false;
    int testSelection_ = 0;
    bool busHeld_ = false;
};

}  // namespace kv
