// The bus commands of kelvanectl: converters, search, status, channel tests and their export,
// module mode and forcing.
#include <QJsonObject>
#include <algorithm>
#include <string>
#include <vector>

#include "CtlCommand.h"
#include "CtlContext.h"
#include "bus/ConverterBackend.h"
#include "console/ConsoleWiring.h"
#include "console/ConverterAccess.h"
#include "core/EventLog.h"
#include "devices/ChannelTester.h"
#include "devices/ConnectedChannelsExport.h"
#include "devices/ModeChange.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"

namespace kv {

namespace {

int RunPorts(CtlContext& ctx, const QStringList& args) {
    if (!args.isEmpty()) {
        return ctx.Usage(QStringLiteral("ports takes no arguments"));
    }
    auto backend = ctx.Backend();
    if (!backend) {
        return ctx.Fail(QStringLiteral("no converters"), -1);
    }
    uint32_t count = 0;
    if (backend->CountDevices(count) != ConvOk) {
        return ctx.Fail(QStringLiteral("the converters cannot be listed"), -1);
    }
    const std::vector<ConverterAccessDenied> denied = backend->AccessDenied();
    for (uint32_t i = 0; i < count; ++i) {
        std::string serial;
        std::string description;
        backend->SerialNumber(i, serial);
        backend->Description(i, description);
        const auto refused =
            std::find_if(denied.begin(), denied.end(),
                         [i](const ConverterAccessDenied& d) { return d.index == i; });
        if (ctx.Opts().json) {
            QJsonObject object{
                {QStringLiteral("Index"), static_cast<int>(i)},
                {QStringLiteral("Serial"), QString::fromStdString(serial)},
                {QStringLiteral("Description"), QString::fromStdString(description)}};
            if (refused != denied.end()) {
                object.insert(QStringLiteral("AccessDenied"), true);
                object.insert(QStringLiteral("Device"), QString::fromStdString(refused->path));
                object.insert(QStringLiteral("Group"), QString::fromStdString(refused->group));
            }
            ctx.Json(object);
        } else {
            ctx.Line(QStringLiteral("%1 %2 %3")
                         .arg(i)
                         .arg(QString::fromStdString(serial), QString::fromStdString(description)) +
                     (refused != denied.end() ? QStringLiteral(" (no access)") : QString()));
        }
        if (refused != denied.end()) {
            const QString text = ConverterAccessDeniedText(*refused);
            WriteLog(text, 1);
            ctx.Warn(text);
        }
    }
    if (!ctx.Opts().json) {
        ctx.Info(QStringLiteral("%1 converter(s)").arg(count));
    }
    return 0;
}

int RunSearch(CtlContext& ctx, const QStringList& args) {
    int cycles = 1;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--cycles") && i + 1 < args.size()) {
            bool ok = false;
            cycles = args[++i].toInt(&ok);
            if (!ok || cycles < 1) {
                return ctx.Usage(QStringLiteral("--cycles needs a number of at least 1"));
            }
        } else {
            return ctx.Usage(QStringLiteral("search [--cycles N]"));
        }
    }
    ConsoleWiring* w = ctx.Wiring();
    if (w == nullptr) {
        return ctx.Fail(QStringLiteral("no converters"), -1);
    }
    ctx.Search(cycles);
    for (int i = 0; i < w->Controls().Count(); ++i) {
        ctx.PrintDevice(*w->Controls().Items(i), false);
    }
    for (const QString& line : w->SearchSummaryLines()) {
        ctx.Info(line);
    }
    return 0;
}

// Devices of the arguments; failure set when they cannot be had.
int Devices(CtlContext& ctx, const QStringList& args, QList<TCommonDevice*>& devices) {
    int failure = 0;
    if (!ctx.Resolve(args, devices, failure)) {
        return failure == 0 ? -1 : failure;
    }
    return 0;
}

int RunStatus(CtlContext& ctx, const QStringList& args) {
    if (args.isEmpty()) {
        return ctx.Usage(QStringLiteral("status ADDRESS..."));
    }
    QList<TCommonDevice*> devices;
    if (Devices(ctx, args, devices) != 0) {
        return 1;
    }
    int worst = 0;
    for (TCommonDevice* d : devices) {
        ctx.PrintDevice(*d, false);
        if (d->LastResult != 0) {
            worst = d->LastResult;
        }
    }
    if (worst != 0) {
        return ctx.Fail(QStringLiteral("a device did not answer every request"), worst);
    }
    return 0;
}

// Tests every module among devices, as the console's "<F1> Проверка" does for each.
int TestModules(CtlContext& ctx, const QList<TCommonDevice*>& devices, bool print) {
    ConsoleWiring* w = ctx.Wiring();
    int tested = 0;
    for (TCommonDevice* d : devices) {
        if (!d->IsModule()) {
            continue;
        }
        auto* module = static_cast<TCommonControl*>(d);
        w->SetTestSelection(w->Controls().IndexOf(module));
        w->CheckSelected();
        // A channel the module did not answer for is "error" like a short: only the result
        // tells them apart.
        if (w->Tester().FailedMeasurements() > 0) {
            ctx.NoteFailure(w->Tester().LastFailure(),
                            QStringLiteral("module %1: %2 channel(s) could not be measured")
                                .arg(module->Address)
                                .arg(w->Tester().FailedMeasurements()));
        }
        ++tested;
        if (print) {
            ctx.PrintDevice(*module, true);
        }
    }
    return tested;
}

int RunTest(CtlContext& ctx, const QStringList& args) {
    QList<TCommonDevice*> devices;
    if (Devices(ctx, args, devices) != 0) {
        return 1;
    }
    if (TestModules(ctx, devices, true) == 0) {
        return ctx.Fail(QStringLiteral("no firing module to test"), -1);
    }
    return 0;
}

int RunExport(CtlContext& ctx, const QStringList& args) {
    if (args.isEmpty()) {
        return ctx.Usage(QStringLiteral("export FILE [ADDRESS...|all]"));
    }
    QList<TCommonDevice*> devices;
    if (Devices(ctx, args.mid(1), devices) != 0) {
        return 1;
    }
    TestModules(ctx, devices, false);
    QString error;
    if (!ConnectedChannelsExport::Write(ctx.Controls(), args[0], &error)) {
        return ctx.FailPlain(QStringLiteral("cannot write %1: %2")
                                 .arg(ConnectedChannelsExport::FileName(args[0]), error));
    }
    ctx.Info(QStringLiteral("written: %1").arg(ConnectedChannelsExport::FileName(args[0])));
    return 0;
}

int RunMode(CtlContext& ctx, const QStringList& args) {
    if (args.isEmpty() ||
        (args[0] != QLatin1String("test") && args[0] != QLatin1String("launch"))) {
        return ctx.Usage(QStringLiteral("mode test|launch [ADDRESS...]"));
    }
    const uint8_t mode = args[0] == QLatin1String("test") ? ModeTest : ModeLaunch;
    QList<TCommonDevice*> devices;
    if (Devices(ctx, args.mid(1), devices) != 0) {
        return 1;
    }
    std::vector<TCommonControl*> modules;
    for (TCommonDevice* d : devices) {
        if (d->IsModule()) {
            modules.push_back(static_cast<TCommonControl*>(d));
        }
    }
    // The command is unanswered: its result says only that it left the console. What counts
    // is the mode each module reports afterwards.
    const ModeChangeReport report = SetModeAndReadBack(modules, mode);
    int worst = 0;
    for (const ModeReadBack& m : report.modules) {
        worst = m.sent != 0 ? m.sent : (m.polled != 0 ? m.polled : worst);
        ctx.Info(QStringLiteral("%1: mode %2, result %3, reads back %4")
                     .arg(m.address)
                     .arg(args[0])
                     .arg(m.sent != 0 ? m.sent : m.polled)
                     .arg(ModeWord(m.mode)));
    }
    if (!report.Unconfirmed().isEmpty()) {
        return ctx.FailPlain(QStringLiteral("mode %1 not confirmed for modules: %2")
                                 .arg(args[0], report.UnconfirmedText()));
    }
    return worst != 0 ? ctx.Fail(QStringLiteral("a mode command failed"), worst) : 0;
}

int RunForcing(CtlContext& ctx, const QStringList& args) {
    if (args.isEmpty() || args.size() > 2 ||
        (args[0] != QLatin1String("on") && args[0] != QLatin1String("off"))) {
        return ctx.Usage(QStringLiteral("forcing on|off [ADDRESS]"));
    }
    const bool on = args[0] == QLatin1String("on");
    QList<TCommonDevice*> devices;
    if (Devices(ctx, args.mid(1), devices) != 0) {
        return 1;
    }
    int worst = 0;
    for (TCommonDevice* d : devices) {
        if (!d->IsModule()) {
            continue;
        }
        const int r = static_cast<TCommonControl*>(d)->SetForcing(on ? ForcingOn : ForcingOff);
        worst = r != 0 ? r : worst;
        // The console logs the per-module keys, not the command for all modules.
        if (args.size() == 2) {
            WriteLog((on ? Message(Msg::ForcingOnModule) : Message(Msg::ForcingOffModule)) +
                         QLatin1Char(' ') + QString::number(d->Address),
                     1);
        }
        ctx.PrintDevice(*d, false);
    }
    return worst != 0 ? ctx.Fail(QStringLiteral("a forcing command failed"), worst) : 0;
}

const CtlRegistrar kBusCommands{
    {QStringLiteral("ports"), QString(),
     QStringLiteral("the converters found: index, serial number, description"), RunPorts},
    {QStringLiteral("search"), QStringLiteral("[--cycles N]"),
     QStringLiteral("the device list after N full search cycles (default 1)"), RunSearch},
    {QStringLiteral("status"), QStringLiteral("ADDRESS..."),
     QStringLiteral("register those addresses (probe, identify, poll) and print them"), RunStatus},
    {QStringLiteral("test"), QStringLiteral("ADDRESS...|all"),
     QStringLiteral("channel test, then state and resistance per channel"), RunTest},
    {QStringLiteral("export"), QStringLiteral("FILE [ADDRESS...|all]"),
     QStringLiteral("channel test, then the connected-channels file"), RunExport},
    {QStringLiteral("mode"), QStringLiteral("test|launch [ADDRESS...]"),
     QStringLiteral("test or launch mode on the modules (all found when none named)"), RunMode},
    {QStringLiteral("forcing"), QStringLiteral("on|off [ADDRESS]"),
     QStringLiteral("forcing on or off for one module or all found"), RunForcing},
};

}  // namespace

}  // namespace kv
