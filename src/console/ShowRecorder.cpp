#include "console/ShowRecorder.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <type_traits>

#include "bus/TPort.h"
#include "console/ConsoleWiring.h"
#include "console/ShowControl.h"
#include "console/ShowReport.h"
#include "core/EventLog.h"
#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"

namespace kv {

namespace {

// The reason part of the player's "not sent" log line, after its last " - ".
QString NotSentReason(int32_t module, int32_t channel, int32_t result) {
    const QString line = TCommonPlayer::FireNotSentText(module, channel, result);
    const qsizetype dash = line.lastIndexOf(QStringLiteral(" - "));
    return dash >= 0 ? line.mid(dash + 3) : line;
}

}  // namespace

QString ReportsDirForLog(const QString& logFile) {
    const QFileInfo log(logFile);
    return QDir::cleanPath(log.absoluteDir().absoluteFilePath(QStringLiteral("../reports")));
}

ShowRecorder::ShowRecorder(ShowControl& show) : show_(show) {
    TExtPlayer& player = show_.Player();
    conns_ += player.OnStateChange.Connect([this] { StateChanged(); });
    conns_ += player.OnCueDone.Connect(
        [this](int cue, int32_t result, int32_t showMs) { CueDone(cue, result, showMs); });
    // The show control's handler runs first: it stops nothing, the player has stopped already.
    conns_ += player.OnExternalStop.Connect([this] {
        externalStop_ = true;
        if (record_.Active() && record_.Ended() && writePending_) {
            record_.SetEndCause(ShowEnd::ExternalStop);
        }
    });
    conns_ += player.OnChannelChecked.Connect(
        [this](int32_t module, int32_t ch) { Checked(module, ch); });
    // In the manual work mode the cues go out by hand (F7, the keyboard): each fire answers the
    // first cue on its channel still waiting.
    conns_ += player.OnFire.Connect(
        [this](int32_t module, int32_t channel) { ManualFire(module, channel, BusOk); });
    conns_ += player.OnFireNotSent.Connect([this](int32_t module, int32_t channel, int32_t result) {
        ManualFire(module, channel, result);
    });
    connect(&show_, &ShowControl::TempoChanged, this, [this] {
        if (running_) {
            record_.Changed(
                {show_.Player().Position, ShowChange::What::Tempo, show_.Player().Tempo()});
        }
    });
    connect(&show_, &ShowControl::OffsetChanged, this, [this] {
        if (running_) {
            record_.Changed(
                {show_.Player().Position, ShowChange::What::Offset, show_.Player().Offset});
        }
    });
}

ShowRecorder::~ShowRecorder() {
    // A console closed right after a show still leaves its report.
    Flush();
    *alive_ = false;
}

void ShowRecorder::StateChanged() {
    const bool playing = show_.Player().IsPlaying();
    if (playing && !running_) {
        Started();
    } else if (!playing && running_) {
        Ended();
    }
}

void ShowRecorder::Started() {
    // The last show's report first, before its record gives way to this one.
    Flush();
    TExtPlayer& player = show_.Player();
    const TProjectList& script = show_.CurrentProject();
    ShowRecordHeader h;
    h.Started = QDateTime::currentDateTime();
    h.ConsoleId = OwnConsoleId;
    h.Slot = show_.State().CurrentSlot;
    h.ScriptFile = script.Path.isEmpty() ? script.Name : script.Path;
    h.ScriptSha256 = script.Sha256;
    h.Soundtrack = show_.SoundLoaded() ? player.Sound().FileName() : QString();
    h.Autonomous = player.ControlMode == TCommonPlayer::ControlAutonomous;
    h.WorkMode = player.WorkMode;
    h.StartPoint = player.Position;
    h.Tempo = player.Tempo();
    h.Offset = player.Offset;
    record_.Begin(h, script);
    // The test page's last word on each scripted channel, as it stands at the start.
    TControls& controls = show_.Wiring().Controls();
    for (ShowRecordCue& c : record_.MutableCues()) {
        const auto* m = dynamic_cast<const TCommonControl*>(controls.FindByAddress(c.Module));
        if (m && !IsMotorCue(c.Kind) && c.Channel >= 0 && c.Channel < kMaxChannels) {
            c.Before = ContinuityOf(m->ChannelState[static_cast<size_t>(c.Channel)]);
        }
    }
    running_ = true;
    externalStop_ = false;
    interrupted_ = false;
    converterLost_ = show_.Wiring().ConverterFault();
}

void ShowRecorder::Ended() {
    running_ = false;
    TExtPlayer& player = show_.Player();
    converterLost_ = converterLost_ || show_.Wiring().ConverterFault();
    ShowEnd how = ShowEnd::StopKey;
    if (externalStop_) {
        how = ShowEnd::ExternalStop;
    } else if (player.RanToEnd()) {
        how = ShowEnd::ScriptEnd;
    } else if (interrupted_) {
        how = ShowEnd::Interrupted;
    } else if (converterLost_) {
        how = ShowEnd::LostConverter;
    }
    record_.End(how, player.Position);
    ScheduleWrite();
}

void ShowRecorder::ScheduleWrite() {
    if (writePending_) {
        return;
    }
    writePending_ = true;
    std::shared_ptr<bool> alive = alive_;
    QTimer::singleShot(0, [this, alive] {
        if (*alive) {
            Flush();
        }
    });
}

void ShowRecorder::Flush() {
    if (writePending_) {
        writePending_ = false;
        Write();
    }
}

void ShowRecorder::CueDone(int cue, int32_t result, int32_t showMs) {
    if (!running_) {
        return;
    }
    TExtPlayer& player = show_.Player();
    if (player.ControlMode == TCommonPlayer::ControlAutonomous) {
        record_.CueAutonomous(cue);
    } else if (result == BusOk) {
        record_.CueSent(cue, showMs);
    } else {
        const ShowRecordCue& c = record_.Cues()[static_cast<size_t>(cue)];
        record_.CueNotSent(cue, NotSentReason(c.Module, c.Channel, result));
        converterLost_ = converterLost_ || result == BusPortError;
    }
}

void ShowRecorder::ManualFire(int32_t module, int32_t channel, int32_t result) {
    TExtPlayer& player = show_.Player();
    if (!running_ || player.WorkMode != TCommonPlayer::WorkManual) {
        return;
    }
    const auto& cues = record_.Cues();
    for (size_t i = 0; i < cues.size(); ++i) {
        const ShowRecordCue& c = cues[i];
        if (c.Result == CueResult::Pending && c.Module == module && c.Channel == channel &&
            !IsMotorCue(c.Kind)) {
            if (result == BusOk) {
                record_.CueSent(static_cast<int>(i), player.Position);
            } else {
                record_.CueNotSent(static_cast<int>(i), NotSentReason(module, channel, result));
            }
            return;
        }
    }
}

void ShowRecorder::Checked(int32_t module, int32_t channel) {
    TExtPlayer& player = show_.Player();
    const auto* m =
        dynamic_cast<const TCommonControl*>(show_.Wiring().Controls().FindByAddress(module));
    const uint8_t state = m && channel >= 0 && channel < kMaxChannels
                              ? m->ChannelState[static_cast<size_t>(channel)]
                              : uint8_t{ChannelUnknown};
    record_.Checked(module, channel, CheckAfterOf(state, player.LastCheckResult == BusOk));
    // The last check of an ended show: the report again, now with every check in it. The
    // player counts the check done after telling it, so the count is read from the event loop.
    if (record_.Ended() && !checkWritePending_) {
        checkWritePending_ = true;
        std::shared_ptr<bool> alive = alive_;
        QTimer::singleShot(0, [this, alive] {
            if (!*alive) {
                return;
            }
            checkWritePending_ = false;
            if (!show_.Player().HasPendingChecks() && !running_) {
                writePending_ = false;
                Write();
            }
        });
    }
}

void ShowRecorder::Write() {
    if (ReportsDir.isEmpty() || !record_.Active()) {
        return;
    }
    const QDir dir(ReportsDir);
    if (!dir.mkpath(QStringLiteral("."))) {
        WriteLog(QStringLiteral("Отчёт о шоу не записан: ") + ReportsDir, 1);
        return;
    }
    const QString base =
        dir.absoluteFilePath(ShowReportBaseName(record_.Header().Started, record_.Header().Slot));
    QStringList files{base + QStringLiteral(".csv")};
    if (WritePdf) {
        files << base + QStringLiteral(".pdf");
    }
    QStringList written;
    for (const QString& f : files) {
        QString error;
        if (WriteShowReport(record_, f, &error)) {
            written << f;
        } else {
            // The operator must learn that the record is missing; the show itself is over.
            WriteLog(QStringLiteral("Отчёт о шоу не записан: ") + f + QStringLiteral(": ") + error,
                     1);
        }
    }
    lastFiles_ = written;
    if (!written.isEmpty()) {
        emit ReportWritten(record_, written);
    }
}

}  // namespace kv
