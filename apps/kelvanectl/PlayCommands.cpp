// "play FILE ...": a show run headless over the bus, with the console's start block in the event
// log and the console's stop sequence at the end. It fires for real: it needs --arm.
#include <QDateTime>
#include <QFileInfo>
#include <QSet>
#include <atomic>
#include <csignal>
#include <cstdio>

#include "CtlCommand.h"
#include "CtlContext.h"
#include "console/ConsoleWiring.h"
#include "console/ShowWiring.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "devices/ChannelClassifier.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "shows/AudioSystem.h"
#include "shows/HvVoltagePreparation.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"
#include "util/SystemUtils.h"

namespace kv {

namespace {

std::atomic<bool> gInterrupted{false};

void OnInterrupt(int) {
    gInterrupted.store(true);
}

struct PlayOptions {
    QString script;
    QString sound;
    bool autonomous = false;
    bool manual = false;
    bool waitExternal = false;
    bool armed = false;
    int from = 0;
    int tempo = 1000;
    int offset = 0;
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
        } else if (a == QLatin1String("--autonomous")) {
            o.autonomous = true;
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
    return true;
}

// The console's start block: what runs, in which modes, from where.
void LogStartBlock(const TExtPlayer& player, TExtPlayer& mutablePlayer, const TProjectList& list) {
    WriteLog(GetLocalizedText(32, Message(32)), 1);
    if (player.WorkMode != TCommonPlayer::WorkManual) {
        WriteLog(GetLocalizedText(33, Message(33)) + ' ' + TimeText(list.LastTime()), 1);
    }
    TBassPlayer& sound = mutablePlayer.Sound();
    if (sound.Loaded()) {
        WriteLog(GetLocalizedText(34, Message(34)) + ' ' + QFileInfo(sound.FileName()).fileName() +
                     QStringLiteral(" [") + TimeText(sound.LengthMs()) + ']',
                 1);
    }
    const QString work = GetLocalizedText(35 + player.WorkMode, Message(35 + player.WorkMode));
    const QString control = player.ControlMode == TCommonPlayer::ControlAutonomous
                                ? GetLocalizedText(38, Message(38))
                                : GetLocalizedText(39, Message(39));
    WriteLog(GetLocalizedText(40, Message(40)) + ' ' + work + QStringLiteral(", ") + control, 1);
    WriteLog(GetLocalizedText(41, Message(41)) + ' ' +
                 QString::number(player.Tempo() / 10.0, 'f', 1) + QStringLiteral("%, ") +
                 GetLocalizedText(42, Message(42)) + ' ' + QString::number(player.Offset) +
                 QStringLiteral(" ms"),
             1);
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
    TProjectList list;
    if (const ScriptLoadError e = list.LoadFromFile(o.script)) {
        ctx.Info(e.message);
        return 1;
    }
    ConsoleWiring* wiring = ctx.Wiring();
    if (wiring == nullptr) {
        return 1;
    }
    QSet<int> modules;
    for (int i = 0; i < list.Count(); ++i) {
        modules.insert(list.Cue(i).Module);
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
    list.MarkUsedChannels(ctx.Controls());
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

    // The simulated demo plays to the null output; real hardware to the sound card.
    SelectAudioOutput(ctx.Opts().simulate ? AudioOutput::Null : AudioOutput::Device);
    TExtPlayer player(ctx.Controls());
    if (!AudioReady()) {
        WriteLog(GetLocalizedText(1, Message(1)), 1);
    }
    ShowWiring showWiring(*wiring, player);
    player.SetScript(&list);
    player.Thresholds = ResistanceThresholds::FromSettings();
    player.WorkMode = o.manual ? TCommonPlayer::WorkManual : TCommonPlayer::WorkAutomatic;
    player.ControlMode =
        o.autonomous ? TCommonPlayer::ControlAutonomous : TCommonPlayer::ControlDirect;
    player.Offset = o.offset;
    player.SetTempo(o.tempo);
    uint8_t launchState = 1;  // armed
    player.LaunchStateSource = [&] { return launchState; };
    if (!o.sound.isEmpty() && !player.LoadSound(o.sound)) {
        ctx.Info(TCommonPlayer::LoadSoundErrorText() + QStringLiteral(": ") + o.sound);
    }
    player.OnFire = [&](int32_t module, int32_t channel) {
        ctx.Line(QStringLiteral("fire module %1 channel %2 show %3 ms wall %4")
                     .arg(module)
                     .arg(static_cast<int64_t>(channel) + 1)
                     .arg(player.Position)
                     .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"))));
    };
    player.OnStateChange = [&] {
        if (player.IsPlaying()) {
            launchState = 2;
        } else {
            WriteLog(GetLocalizedText(45, Message(45)), 1);
            launchState = 1;
        }
    };
    player.OnExternalStop = [&] {
        WriteLog(GetLocalizedText(46, QStringLiteral("Получена внешняя команда остановки")), 1);
        ctx.Info(QStringLiteral("stopped by an external stop command"));
    };
    // The check's log line comes from the show wiring; the terminal gets the state too.
    showWiring.OnChannelChecked = [&](int32_t module, int32_t channel) {
        auto* m = dynamic_cast<TCommonControl*>(ctx.Controls().FindByAddress(module));
        ctx.Line(QStringLiteral("check module %1 channel %2 state %3")
                     .arg(module)
                     .arg(channel + 1)
                     .arg(m ? m->ChannelState[static_cast<size_t>(channel)] : 0));
    };

    gInterrupted.store(false);
    auto previous = std::signal(SIGINT, OnInterrupt);
    LogStartBlock(player, player, list);
    player.Position = o.from;
    if (o.waitExternal) {
        player.WaitingExtStart = true;
        ctx.Info(GetLocalizedText(71, QStringLiteral("Ожидание команды запуска...")));
        while (!player.IsPlaying() && player.WaitingExtStart && !gInterrupted.load()) {
            ctx.Pump(20);
        }
        player.WaitingExtStart = false;
    } else {
        player.Start(o.from);
        WriteLog(GetLocalizedText(44, Message(44)) + ' ' + TimeText(o.from), 1);
    }
    while (player.IsPlaying() && !gInterrupted.load()) {
        ctx.Pump(5);
    }
    if (player.IsPlaying()) {
        player.Stop(false);  // the stop key during a show: the soundtrack plays on
    }
    if (player.Sound().Loaded() && player.Sound().IsSoundPlaying()) {
        player.Stop(true);  // a second stop: the soundtrack too
    }
    // The fired channels are measured once each, as the console's idle steps do after a show.
    while (player.HasPendingChecks() && !gInterrupted.load()) {
        ctx.Pump(TExtPlayer::kCheckDelayMs + 50);
        while (player.HasPendingChecks()) {
            player.CheckNextFired();
        }
    }
    std::signal(SIGINT, previous);
    ctx.Info(QStringLiteral("show ended at %1 ms, %2 fired")
                 .arg(player.Position)
                 .arg(player.FiredCount()));
    return 0;
}

const CtlRegistrar kPlayCommands{
    {QStringLiteral("play"),
     QStringLiteral("FILE --arm [--sound AUDIO] [--autonomous] [--manual] [--from MS] "
                    "[--tempo PERMILLE] [--offset MS] [--wait-external-start]"),
     QStringLiteral("run a show headless: fires with show and wall time, start block in the "
                    "event log, the stop sequence at the end; Ctrl+C stops it"),
     RunPlay}};

}  // namespace

}  // namespace kv
