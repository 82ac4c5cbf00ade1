// "play FILE ...": a show run headless over the bus, with the console's start block in the event
// log and the console's stop sequence at the end. It fires for real: it needs --arm.
// "watch SECONDS": an idle console on the bus for that long (poll cycle, answers to the other
// consoles, external start and stop handling), printing what the other consoles send.
#include <QDateTime>
#include <QFileInfo>
#include <QSet>
#include <cstdio>
#include <memory>

#include "CtlCommand.h"
#include "CtlContext.h"
#include "CtlInterrupt.h"
#include "bus/TPort.h"
#include "console/AutonomousScriptCheck.h"
#include "console/ConsoleDialogs.h"
#include "console/ConsoleSession.h"
#include "console/ConsoleWiring.h"
#include "console/ShowControl.h"
#include "console/ShowRecorder.h"
#include "console/ShowReport.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "devices/ChannelClassifier.h"
#include "devices/DeviceKinds.h"
#include "devices/ScriptTransfer.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "shows/AudioSystem.h"
#include "shows/HvVoltagePreparation.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"
#include "shows/TProjects.h"
#include "timecode/TimecodeShowClock.h"
#include "timecode/WavTimecodeSource.h"
#include "util/SystemUtils.h"

namespace kv {

namespace {

// The fired channels' checks give up when none of them got an answer for this long (the
// converter is gone): the rest are reported as not measured instead of being asked for ever.
constexpr uint32_t kCheckStallMs = 5000;

struct PlayOptions {
    QString script;
    QString sound;
    bool autonomous = false;
    bool skipScriptCheck = false;
    bool manual = false;
    bool waitExternal = false;
    bool armed = false;
    int from = 0;
    int tempo = 1000;
    int offset = 0;
    // The show clock follows the timecode of this file, played in real time as if captured.
    QString timecode;
    int timecodeChannel = 1;
    QString timecodeStart;  // the show's zero
    TimecodeLossAction timecodeLoss = TimecodeLossAction::GoOn;
    bool fromGiven = false;
    QString report;  // the show report's file; ".pdf" writes the printable form
};

bool ParseOptions(const QStringList& args, PlayOptions& o, QString& error) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto number = [&](int& out, int lo, int hi) {
            bool ok = false;
            if (i + 1 < args.size()) {
                out = args[++i].toInt(&ok);
            }
            if (!ok || out < lo || out > hi) {
                error = a + QStringLiteral(" needs a number from %1 to %2").arg(lo).arg(hi);
                return false;
            }
            return true;
        };
        if (a == QLatin1String("--sound") && i + 1 < args.size()) {
            o.sound = args[++i];
        } else if (a == QLatin1String("--report") && i + 1 < args.size()) {
            o.report = args[++i];
        } else if (a == QLatin1String("--autonomous")) {
            o.autonomous = true;
        } else if (a == QLatin1String("--skip-script-check")) {
            o.skipScriptCheck = true;
        } else if (a == QLatin1String("--manual")) {
            o.manual = true;
        } else if (a == QLatin1String("--wait-external-start")) {
            o.waitExternal = true;
        } else if (a == QLatin1String("--arm")) {
            o.armed = true;
        } else if (a == QLatin1String("--from")) {
            if (!number(o.from, 0, 86400000)) {
                return false;
            }
            o.fromGiven = true;
        } else if (a == QLatin1String("--timecode") && i + 1 < args.size()) {
            o.timecode = args[++i];
        } else if (a == QLatin1String("--timecode-channel")) {
            if (!number(o.timecodeChannel, 1, 255)) {
                return false;
            }
        } else if (a == QLatin1String("--timecode-start") && i + 1 < args.size()) {
            o.timecodeStart = args[++i];
        } else if (a == QLatin1String("--timecode-loss") && i + 1 < args.size()) {
            const QString v = args[++i];
            if (v == QLatin1String("stop")) {
                o.timecodeLoss = TimecodeLossAction::Stop;
            } else if (v == QLatin1String("go-on")) {
                o.timecodeLoss = TimecodeLossAction::GoOn;
            } else {
                error = QStringLiteral("--timecode-loss is go-on or stop");
                return false;
            }
        } else if (a == QLatin1String("--tempo")) {
            if (!number(o.tempo, 1, 10000)) {
                return false;
            }
        } else if (a == QLatin1String("--offset")) {
            if (!number(o.offset, -86400000, 86400000)) {
                return false;
            }
        } else if (!a.startsWith(QLatin1String("--")) && o.script.isEmpty()) {
            o.script = a;
        } else {
            error = QStringLiteral("unknown argument: ") + a;
            return false;
        }
    }
    if (o.script.isEmpty()) {
        error = QStringLiteral("no script file");
        return false;
    }
    if (o.timecode.isEmpty() != o.timecodeStart.isEmpty()) {
        error = QStringLiteral("--timecode and --timecode-start go together");
        return false;
    }
    if (!o.timecode.isEmpty()) {
        if (!ParseTimecode(o.timecodeStart)) {
            error = QStringLiteral("--timecode-start needs HH:MM:SS:FF");
            return false;
        }
        // The timecode starts the show, the soundtrack and the module clocks, and says where
        // the show is: a start point of its own, another console's start or the keys' firing
        // would contend with it.
        if (o.manual || o.waitExternal || o.fromGiven) {
            error = QStringLiteral(
                "--timecode does not go with --manual, --wait-external-start or --from");
            return false;
        }
    }
    return true;
}

QString WallClock() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"));
}

// The session's show side as the tool runs it: its player and show control on the bus
// (frames to the player, status answers, external start and stop), made now, with fires, checks
// and an external stop printed. play and watch share it, so both behave as the console does.
class CtlShow {
public:
    CtlShow(CtlContext& ctx, ConsoleSession& session)
        : player((session.BuildShow(), session.Player())),
          show(session.Show()),
          recorder(session.Recorder()) {
        // The modules' scripts are read back by the command itself before anything is sent
        // (CheckAutonomousScripts), with its own refusals: not again at the arming.
        show.SetArmCheck(nullptr);
        QObject::connect(&show, &ShowControl::ChannelFired, &guard,
                         [this, &ctx](int32_t module, int32_t channel) {
                             ctx.Line(QStringLiteral("fire module %1 channel %2 show %3 ms wall %4")
                                          .arg(module)
                                          .arg(static_cast<int64_t>(channel) + 1)
                                          .arg(player.Position)
                                          .arg(WallClock()));
                         });
        // A cue whose frame never left the console is not a fire: it is printed and counted
        // apart.
        conns += player.OnFireNotSent.Connect(
            [this, &ctx](int32_t module, int32_t channel, int32_t result) {
                ctx.Line(QStringLiteral("not sent module %1 channel %2 show %3 ms result %4")
                             .arg(module)
                             .arg(static_cast<int64_t>(channel) + 1)
                             .arg(player.Position)
                             .arg(result));
            });
        QObject::connect(&show, &ShowControl::WarningRaised, &guard, [&ctx](const QString&) {
            ctx.Info(QStringLiteral("stopped by an external stop command"));
        });
        // The check's log line comes from the show control; the terminal gets the state too.
        QObject::connect(
            &show, &ShowControl::ChannelChecked, &guard, [&ctx](int32_t module, int32_t channel) {
                auto* m = dynamic_cast<TCommonControl*>(ctx.Controls().FindByAddress(module));
                ctx.Line(QStringLiteral("check module %1 channel %2 state %3")
                             .arg(module)
                             .arg(channel + 1)
                             .arg(m ? m->ChannelState[static_cast<size_t>(channel)] : 0));
            });
    }

    TExtPlayer& player;
    ShowControl& show;
    ShowRecorder& recorder;
    // The printing ends with the command; the session's objects stay.
    QObject guard;
    Connections conns;
};

// In autonomous control the modules fire what they hold: before the show their scripts are read
// back and compared with the file. A difference refuses the show before anything of it is sent,
// unless the operator said --skip-script-check, which the event log keeps.
bool CheckAutonomousScripts(CtlContext& ctx, const TProjectList& list, bool skip) {
    if (skip) {
        const QString text = QStringLiteral(
            "Проверка сценария в модулях пропущена оператором (--skip-script-check)");
        WriteLog(text, 1);
        ctx.Warn(QStringLiteral("the modules' scripts are not checked (--skip-script-check)"));
        return true;
    }
    TControls& controls = ctx.Controls();
    controls.OnTransferProgress = [&ctx](int, int, bool& cancel, int, int) {
        cancel = CtlInterrupt::Requested();
        ctx.Pump();
    };
    ScriptCheckResult result;
    {
        CtlInterrupt interrupt;
        result = CheckModuleScripts(controls, list);
    }
    controls.OnTransferProgress = nullptr;
    if (result.Result == ResultCancelled) {
        ctx.Warn(QStringLiteral("refused: the script check was stopped; nothing was sent"));
        return false;
    }
    if (result.Result != 0) {
        ctx.Warn(
            QStringLiteral("refused: the script holds a cue the modules cannot store; "
                           "nothing was sent"));
        return false;
    }
    if (!result.Matches()) {
        for (const QString& line : ScriptCheckLines(result, list)) {
            ctx.Warn(line);
        }
        WriteLog(QStringLiteral("Сценарий в модулях отличается от проекта, пульты: ") +
                     AddressListText(result.Modules()),
                 1);
        ctx.Warn(QStringLiteral("refused: the modules' scripts differ from %1; write them with "
                                "\"memory write\" or pass --skip-script-check; nothing was sent")
                     .arg(list.Name));
        return false;
    }
    ctx.Info(QStringLiteral("the modules hold the script (%1 reads)").arg(result.Reads));
    return true;
}

int RunPlay(CtlContext& ctx, const QStringList& args) {
    PlayOptions o;
    QString error;
    if (!ParseOptions(args, o, error)) {
        return ctx.Usage(error);
    }
    if (!o.armed) {
        return ctx.Usage(QStringLiteral("refused: a show fires for real, it needs --arm"));
    }
    // Read once before the bus is opened: a script that does not load opens nothing.
    TProjectList first;
    if (const ScriptLoadError e = first.LoadFromFile(o.script)) {
        return ctx.FailPlain(e.message);
    }
    // The show clock starts at 0 or later: a cue before it never fires. Said before the show,
    // and counted in its end.
    int neverFire = 0;
    if (!o.manual) {
        for (int i = 0; i < first.Count(); ++i) {
            const TScriptCue& cue = first.Cue(i);
            if (cue.Time < 0) {
                ctx.Warn(QStringLiteral("cue at %1 for module %2 is before the show's start: "
                                        "it never fires")
                             .arg(cue.TimeText.isEmpty() ? QString::number(cue.Time / 1000.0)
                                                         : cue.TimeText)
                             .arg(cue.Module));
                ++neverFire;
            }
        }
    }
    ConsoleSession* session = ctx.Session();
    if (session == nullptr) {
        return 1;
    }
    QSet<int> modules;
    for (int i = 0; i < first.Count(); ++i) {
        modules.insert(first.Cue(i).Module);
    }
    QList<int> addresses = modules.values();
    std::sort(addresses.begin(), addresses.end());
    for (int address : addresses) {
        TCommonDevice* device = nullptr;
        if (!IsModuleAddress(address) || ctx.Register(address, device) != 0) {
            ctx.Info(
                QStringLiteral("module %1 does not answer; its cues are skipped").arg(address));
        }
    }
    // The show runs from slot 0 of the session's show control: its start block, its stop and
    // its log lines. Loaded there against the modules that answered, as the console loads a
    // script against its bus: a motor cue for a firing module (or the other way round) is a
    // load error of its line, not a cue that silently does nothing at its time.
    TProjectList& list = session->Projects().Project(0);
    if (const ScriptLoadError e = list.LoadFromFile(o.script)) {
        return ctx.FailPlain(e.message);
    }
    if (o.autonomous && !CheckAutonomousScripts(ctx, list, o.skipScriptCheck)) {
        return 1;
    }
    // No HV output is charged to a voltage nobody computed; a manual launch may fire any.
    const HvPreparation hv =
        PrepareHvVoltages(ctx.Controls(), o.manual ? AllHvOutputs(ctx.Controls())
                                                   : ScriptedHvOutputs(ctx.Controls(), list));
    for (const HvPreparation::Computed& c : hv.ComputedVoltages) {
        ctx.Info(HvComputedLine(c));
    }
    if (!hv.Ok()) {
        ctx.Info(HvRefusedLine(hv));
        return 1;
    }

    // Outlives the player that reads it.
    std::unique_ptr<TimecodeShowClock> timecode;
    ScopedConnection timecodeLog;
    CtlShow run(ctx, *session);
    TExtPlayer& player = run.player;
    ShowControl& show = run.show;
    ShowRecorder& recorder = run.recorder;
    // The session's player outlives this command: it lets go of the clock before the clock goes.
    struct ClockRelease {
        TExtPlayer& player;
        ~ClockRelease() { player.SetClockSource(nullptr); }
    } release{player};
    show.SetDrivesIdleTimer(false);  // no poll cycle here: the run ends with the show
    show.MarkUsedChannels();
    player.WorkMode = o.manual ? TCommonPlayer::WorkManual : TCommonPlayer::WorkAutomatic;
    player.ControlMode =
        o.autonomous ? TCommonPlayer::ControlAutonomous : TCommonPlayer::ControlDirect;
    player.Offset = o.offset;
    player.SetTempo(o.tempo);
    if (!o.sound.isEmpty()) {
        // The soundtrack named on the command line is the file "chosen"; a load error is kept.
        struct SoundChoice : ConsoleDialogs {
            QString file;
            QString error;
            QString AskSoundFile() override { return file; }
            void ShowError(const QString& text) override { error = text; }
        } choice;
        choice.file = o.sound;
        show.SetDialogs(choice);
        show.ToggleSound();
        show.SetDialogs(NoDialogs());
        const QString soundError = choice.error;
        if (!show.SoundLoaded()) {
            // The show was meant to run with its music: it does not start without it.
            const QString text =
                (soundError.isEmpty() ? TCommonPlayer::LoadSoundErrorText() : soundError) +
                QStringLiteral(": ") + o.sound;
            WriteLog(text, 1);
            ctx.Warn(text);
            return ctx.FailPlain(
                QStringLiteral("refused: the show does not start without its "
                               "soundtrack; nothing was sent"));
        }
    }

    if (!o.timecode.isEmpty()) {
        auto source = std::make_unique<WavTimecodeSource>();
        if (!source->Open(o.timecode, o.timecodeChannel - 1)) {
            return ctx.FailPlain(source->Error());
        }
        TimecodeFollowerSettings settings;
        settings.showZero = *ParseTimecode(o.timecodeStart);
        settings.onLoss = o.timecodeLoss;
        timecode = std::make_unique<TimecodeShowClock>(std::move(source), settings);
        timecodeLog = timecode->OnLog.Connect([&ctx](const QString& line) {
            WriteLog(line, 1);
            ctx.Info(line);
        });
        timecode->Arm(list);
        // A timecode lost for good stops the show as the stop key does: the show control
        // listens for that.
        player.SetClockSource(timecode.get());
    }

    CtlInterrupt interrupt;
    show.ArmToggle();  // --arm: the operator's arming
    player.Position = o.from;
    if (timecode && !timecode->Start()) {
        return ctx.FailPlain(timecode->Error());
    }
    if (o.waitExternal) {
        show.LogStartBlock();
        player.WaitingExtStart = true;
        // Which console this is: the others on the bus tell it by this number.
        ctx.Info(QStringLiteral("console %1 waiting for the start").arg(OwnConsoleId));
        ctx.Info(Message(Msg::WaitingForStartCommand));
        while (!player.IsPlaying() && player.WaitingExtStart && !CtlInterrupt::Requested()) {
            ctx.Pump(20);
        }
        const bool stillWaiting = player.WaitingExtStart && !player.IsPlaying();
        player.WaitingExtStart = false;
        if (stillWaiting) {
            // Stopped while waiting: the start block is logged, so its end is too, with the
            // stop sequence the stop key sends.
            show.Stop();
        }
    } else if (!CtlInterrupt::Requested()) {
        show.Start();
    }
    while (player.IsPlaying() && !CtlInterrupt::Requested()) {
        ctx.Pump(5);
    }
    const bool interrupted = CtlInterrupt::Requested();
    // Cues left when the show was stopped early (none when it ran to its end).
    const int unplayed = (interrupted && player.WorkMode != TCommonPlayer::WorkManual
                              ? std::max(0, list.Count() - std::max(0, player.NextCue))
                              : 0) +
                         neverFire;
    if (interrupted) {
        recorder.MarkInterrupted();
    }
    // The stop key: the first stop leaves the soundtrack playing, a second one stops it.
    if (player.IsPlaying()) {
        show.Stop();
    }
    if (show.SoundPlaying()) {
        show.Stop();
    }
    // The fired channels are measured once each, as the console's idle steps do after a show.
    // A stop signal ends the waiting; so does a bus that answers none of the checks.
    uint32_t lastProgress = TickCount();
    int pending = player.PendingChecks();
    while (player.HasPendingChecks() && !CtlInterrupt::Requested() &&
           ElapsedSince(lastProgress) < kCheckStallMs) {
        player.CheckNextFired();
        if (player.PendingChecks() != pending) {
            pending = player.PendingChecks();
            lastProgress = TickCount();
            ctx.Pump();
        } else {
            // Not due yet, or no answer: the next try after a pause, never in a spin.
            ctx.Pump(20);
        }
    }
    int notMeasured = 0;
    while (player.HasPendingChecks()) {
        const TExtPlayer::FiredEntry entry = player.AbandonNextCheck();
        ctx.Line(QStringLiteral("not measured module %1 channel %2")
                     .arg(entry.Module)
                     .arg(static_cast<int64_t>(entry.Channel) + 1));
        ++notMeasured;
    }
    if (notMeasured > 0) {
        ctx.NoteFailure(-3, QStringLiteral("%1 fired channel(s) not measured").arg(notMeasured));
    }
    bool reportFailed = false;
    if (!o.report.isEmpty()) {
        QString reportError;
        if (!recorder.Record().Active()) {
            // The show never started (stopped while waiting): there is nothing to report.
            ctx.Warn(QStringLiteral("no show ran: no report written"));
        } else if (WriteShowReport(recorder.Record(), o.report, &reportError)) {
            ctx.Info(QStringLiteral("report written: ") + o.report);
        } else {
            ctx.Warn(QStringLiteral("report not written: ") + o.report + QStringLiteral(": ") +
                     reportError);
            reportFailed = true;
        }
    }
    if (interrupted) {
        ctx.Warn(QStringLiteral("stopped by %1: %2 cue(s) not played")
                     .arg(CtlInterrupt::SignalName())
                     .arg(unplayed));
    }
    ctx.Info(QStringLiteral("show ended at %1 ms, %2 fired, %3 not sent")
                 .arg(player.Position)
                 .arg(player.FiredCount())
                 .arg(player.NotSentCount()) +
             (unplayed > 0 || interrupted ? QStringLiteral(", %1 not played").arg(unplayed)
                                          : QString()));
    return player.NotSentCount() > 0 || unplayed > 0 || interrupted || reportFailed ? 1 : 0;
}

// What another console sent, in words; empty for frames of devices and of this console. Console
// frames carry the sender's ID in byte 3; the show clock (0x90 to the modules) carries none.
QString OtherConsoleText(const BusFrame& f) {
    const int showMs = (f[1] * 256 + f[2]) * 100;
    if (f[0] == 0x90 && f[5] != kConsoleAddress) {
        return QStringLiteral("show clock %1 ms, %2")
            .arg(showMs)
            .arg(QLatin1String((f[3] & 0x80) != 0 ? "running" : "stopped"));
    }
    if (f[5] != kConsoleAddress || f[3] == OwnConsoleId) {
        return QString();
    }
    const QString who = QStringLiteral("console %1 ").arg(f[3]);
    const QString whom =
        f[4] == 0 ? QStringLiteral("every console") : QStringLiteral("console %1").arg(f[4]);
    switch (f[0]) {
        case 0x01:
            return who + QStringLiteral("asks for ") + whom;
        case 0x02:
            return who + QStringLiteral("answers console %1 (version %2)").arg(f[4]).arg(f[1]);
        case 0x03:
            return who + QStringLiteral("asks for the state of ") + whom;
        case 0x04:
            return who + QStringLiteral("answers console %1: state %2, mode %3")
                             .arg(f[4])
                             .arg(f[1], 2, 16, QLatin1Char('0'))
                             .arg(f[2]);
        case 0x10:
            return who + QStringLiteral("announces its show start at %1 ms").arg(showMs);
        case 0x11:
            return who + QStringLiteral("announces its show end at %1 ms").arg(showMs);
        default:
            return who + QStringLiteral("sent %1").arg(QString::fromLatin1(
                             QByteArray(reinterpret_cast<const char*>(f.data()), 6).toHex(' ')));
    }
}

int RunWatch(CtlContext& ctx, const QStringList& args) {
    bool ok = false;
    const int seconds = args.isEmpty() ? 0 : args[0].toInt(&ok);
    if (!ok || seconds < 1 || seconds > 86400) {
        return ctx.Usage(QStringLiteral("watch needs a number of seconds from 1 to 86400"));
    }
    QList<int> addresses;
    for (const QString& a : args.mid(1)) {
        const int address = CtlContext::ParseAddress(a);
        if (address < 0 || address == kConsoleAddress) {
            return ctx.Usage(QStringLiteral("not a device address: %1").arg(a));
        }
        addresses << address;
    }
    ConsoleWiring* wiring = ctx.Wiring();
    if (wiring == nullptr) {
        return 1;
    }
    // The devices named are polled, as after a search; without any only the consoles speak.
    for (int address : addresses) {
        TCommonDevice* device = nullptr;
        if (ctx.Register(address, device) != 0) {
            ctx.Info(QStringLiteral("device %1 does not answer; it is not polled").arg(address));
        }
    }
    ctx.Line(QStringLiteral("console %1 watching the bus for %2 s").arg(OwnConsoleId).arg(seconds));
    int heard = 0;
    // The wiring outlives this command and keeps its frame handlers: this one is disarmed on
    // the way out.
    auto alive = std::make_shared<bool>(true);
    wiring->AddFrameHandler([&ctx, &heard, alive](const BusFrame& frame, int converter) {
        if (!*alive) {
            return;
        }
        const QString text = OtherConsoleText(frame);
        if (!text.isEmpty()) {
            ++heard;
            ctx.Line(
                QStringLiteral("%1 converter %2: %3").arg(WallClock()).arg(converter).arg(text));
        }
    });
    CtlShow show(ctx, *ctx.Session());
    wiring->StartPolling();

    const uint32_t start = TickCount();
    {
        CtlInterrupt interrupt;
        while (ElapsedSince(start) < static_cast<uint32_t>(seconds) * 1000u &&
               !CtlInterrupt::Requested()) {
            ctx.Pump(20);
        }
    }
    wiring->StopPolling();
    *alive = false;
    ctx.Info(QStringLiteral("watched %1 ms, %2 frames from other consoles")
                 .arg(ElapsedSince(start))
                 .arg(heard));
    return 0;
}

const CtlRegistrar kPlayCommands{
    {QStringLiteral("play"),
     QStringLiteral("FILE --arm [--sound AUDIO] [--autonomous] [--manual] [--from MS] "
                    "[--skip-script-check] [--tempo PERMILLE] [--offset MS] "
                    "[--wait-external-start] [--report FILE.csv|FILE.pdf] "
                    "[--timecode FILE.wav --timecode-start HH:MM:SS:FF "
                    "[--timecode-channel N] [--timecode-loss go-on|stop]]"),
     QStringLiteral("run a show headless: fires with show and wall time, start block in the "
                    "event log, the stop sequence at the end; Ctrl+C stops it"),
     RunPlay},
    {QStringLiteral("watch"), QStringLiteral("SECONDS [ADDRESS...]"),
     QStringLiteral("sit on the bus as an idle console for that long (polling the devices "
                    "named, answering the other consoles, taking their start and stop "
                    "commands) and print what the other consoles send; Ctrl+C ends it"),
     RunWatch}};

}  // namespace

}  // namespace kv
