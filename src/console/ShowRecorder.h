#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

#include "console/ShowRecord.h"
#include "core/Signal.h"

namespace kv {

class ShowControl;

// Keeps the record of each show the show control plays and writes its report when it ends:
// CSV and PDF, named by the show's start and slot, into ReportsDir. The files are written once
// the show has stopped (from the event loop) and again when the check after it has measured the
// last fired channel.
//
// It adds itself behind the hooks the player and the show control already have (the player's
// state, cue, external stop and check notifications, the show control's tempo and offset
// notifications), so it is made after the window has set its own; the hooks it leaves behind do
// nothing once it is gone. Main thread only.
class ShowRecorder : public QObject {
    Q_OBJECT
public:
    explicit ShowRecorder(ShowControl& show);
    ~ShowRecorder();
    ShowRecorder(const ShowRecorder&) = delete;
    ShowRecorder& operator=(const ShowRecorder&) = delete;

    // Where the reports go; empty: nothing is written (the caller writes Record() itself).
    QString ReportsDir;
    bool WritePdf = true;

    // The show was stopped by the headless tool's interrupt rather than a key.
    void MarkInterrupted() { interrupted_ = true; }
    const ShowRecord& Record() const { return record_; }
    // Writes a report that is due now instead of from the event loop (a program about to end).
    void Flush();
    // The files of the last report written (CSV first), empty before any.
    const QStringList& LastFiles() const { return lastFiles_; }

signals:
    // A report was written: the record and its files. At the show's end and again when the
    // checks after it are in.
    void ReportWritten(const ShowRecord& record, const QStringList& files);

private:
    void StateChanged();
    void Started();
    void Ended();
    void CueDone(int cue, int32_t result, int32_t showMs);
    void Checked(int32_t module, int32_t channel);
    void ManualFire(int32_t module, int32_t channel, int32_t result);
    void Write();
    // The report is written from the event loop: the stop is over by then, and what ended the
    // show is known (an external stop is told after the player stopped).
    void ScheduleWrite();

    ShowControl& show_;
    ShowRecord record_;
    bool running_ = false;
    bool externalStop_ = false;
    bool interrupted_ = false;
    bool converterLost_ = false;
    bool writePending_ = false;
    bool checkWritePending_ = false;
    QStringList lastFiles_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    Connections conns_;  // to the player
};

// The reports folder of a log file: "reports" beside the folder the log is in.
QString ReportsDirForLog(const QString& logFile);

}  // namespace kv
