#pragma once

#include <QString>
#include <optional>

#include "core/Signal.h"
#include "devices/ChannelClassifier.h"

namespace kv {

class TCommonControl;
class TControls;

// The channel test of one module or of all modules in list order, with the operator's stop.
// Each finished module test writes its summary line to the event log, also when stopped.
// Runs on the main thread; the progress hooks let the caller redraw and pump events, which is
// how a stop request gets through.
class ChannelTester {
public:
    explicit ChannelTester(TControls& controls) : controls_(controls) {}

    // The bands to classify with; empty: the settings read at start-up, taken when a test
    // starts (the settings may be read after the tester was created).
    std::optional<ResistanceThresholds> Thresholds;
    // After each measured channel (and once after the channels were cleared, with channel -1).
    Signal<TCommonControl& /*module*/, int /*channel*/> OnProgress;
    // The module under test changed (list index), so that the panel follows it.
    Signal<int /*index*/> OnSelect;

    // Clears and measures every channel of module. True when it ran to the end, false when it
    // was stopped (or refused because a test is already running).
    bool TestModule(TCommonControl& module);
    // Tests every module in list order from the first; ends at the end of the list or after the
    // first stopped module test, and selects the first module again.
    void TestAllModules();
    // The operator's stop: the running test finishes its channel, logs and returns false.
    void Stop() { stopRequested_ = true; }
    bool StopRequested() const { return stopRequested_; }
    // Channels of the last TestModule or TestAllModules whose measurement got no valid answer
    // (their state "error" says nothing about the igniter), and the last such result.
    int FailedMeasurements() const { return failedMeasurements_; }
    int LastFailure() const { return lastFailure_; }
    bool Busy() const { return busy_; }

    // The summary line of a module test.
    static QString SummaryLine(const TCommonControl& module);

private:
    bool RunModule(TCommonControl& module);

    TControls& controls_;
    ResistanceThresholds bands_;
    bool stopRequested_ = false;
    bool busy_ = false;
    int failedMeasurements_ = 0;
    int lastFailure_ = 0;
};

}  // namespace kv
