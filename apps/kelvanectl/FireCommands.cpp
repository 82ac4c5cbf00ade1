// The commands that make something happen at a device: firing a channel, the HV outputs and the
// motors. Firing and charging need --arm on the command line; nothing is sent without it.
#include "CtlCommand.h"
#include "CtlContext.h"
#include "CtlInterrupt.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "devices/THVControl.h"
#include "devices/TMotorControl.h"
#include "i18n/Localizer.h"

namespace kv {

namespace {

// A manual HV shot waits this long for the capacitor to charge.
constexpr uint32_t kManualChargeWaitMs = 2000;

// Takes "--arm" out of args; true when it was there.
bool TakeArm(QStringList& args) {
    return args.removeAll(QStringLiteral("--arm")) > 0;
}

bool Number(const QString& text, int lo, int hi, int& value) {
    bool ok = false;
    value = text.toInt(&ok);
    return ok && value >= lo && value <= hi;
}

// The module at address, registered; nullptr after a message when it cannot be had.
TCommonControl* ModuleAt(CtlContext& ctx, const QString& address, int& status) {
    const int a = CtlContext::ParseAddress(address);
    if (!IsModuleAddress(a)) {
        status = ctx.Usage(QStringLiteral("not a module address: %1").arg(address));
        return nullptr;
    }
    QList<TCommonDevice*> devices;
    int failure = 0;
    if (!ctx.Resolve({address}, devices, failure) || devices.isEmpty()) {
        status = 1;
        return nullptr;
    }
    return static_cast<TCommonControl*>(devices.front());
}

int RunFire(CtlContext& ctx, const QStringList& given) {
    QStringList args = given;
    const bool armed = TakeArm(args);
    int channel = 0;
    if (args.size() != 2 || !Number(args[1], 1, kMaxChannels, channel)) {
        return ctx.Usage(QStringLiteral("fire ADDRESS CHANNEL --arm (channel from 1)"));
    }
    if (!armed) {
        return ctx.Usage(QStringLiteral("refused: firing needs --arm"));
    }
    int status = 0;
    TCommonControl* module = ModuleAt(ctx, args[0], status);
    if (module == nullptr) {
        return status;
    }
    if (channel > module->ChannelCount) {
        return ctx.Usage(QStringLiteral("module %1 has %2 channels")
                             .arg(module->Address)
                             .arg(module->ChannelCount));
    }
    int result = 0;
    if (module->Kind == KindHVControl) {
        // As the console's manual HV launch: charge, let it charge, fire without recharging.
        auto* hv = static_cast<THVControl*>(module);
        hv->ComputeChargeVoltages();
        CtlInterrupt interrupt;
        result = hv->Charge(hv->ChargeVoltage[channel - 1]);
        ctx.Info(QStringLiteral("charging module %1 to %2 V; Ctrl+C stops before the fire")
                     .arg(hv->Address)
                     .arg(hv->ChargeVoltage[channel - 1]));
        const uint32_t charging = TickCount();
        while (ElapsedSince(charging) < kManualChargeWaitMs && !CtlInterrupt::Requested()) {
            SleepMs(10);
        }
        if (CtlInterrupt::Requested()) {
            // Stopped before the fire: nothing fires, and the capacitor is not left charged.
            const int reset = hv->Reset();
            ctx.Warn(QStringLiteral("stopped by %1 before the fire: module %2 reset")
                         .arg(CtlInterrupt::SignalName())
                         .arg(hv->Address));
            return reset != 0 ? ctx.Fail(QStringLiteral("HV reset"), reset) : 1;
        }
        const int fired = hv->FireWithRecharge(channel - 1, 0);
        result = fired != 0 ? fired : result;
    } else {
        result = module->FireChannel(channel - 1);
    }
    WriteLog(Message(Msg::ManualFireModule) + QLatin1Char(' ') + QString::number(module->Address) +
                 Message(Msg::ChannelSuffix) + QLatin1Char(' ') + QString::number(channel),
             1);
    if (result != 0) {
        return ctx.Fail(QStringLiteral("fire %1/%2").arg(module->Address).arg(channel), result);
    }
    ctx.Info(QStringLiteral("fired: module %1, channel %2").arg(module->Address).arg(channel));
    return 0;
}

THVControl* HvAt(CtlContext& ctx, const QString& address, int& status) {
    TCommonControl* m = ModuleAt(ctx, address, status);
    if (m == nullptr) {
        return nullptr;
    }
    if (m->Kind != KindHVControl) {
        status =
            ctx.Fail(QStringLiteral("module %1 is not a high-voltage module").arg(m->Address), -1);
        return nullptr;
    }
    return static_cast<THVControl*>(m);
}

int RunHv(CtlContext& ctx, const QStringList& given) {
    QStringList args = given;
    const bool armed = TakeArm(args);
    const QString usage = QStringLiteral(
        "hv energy ADDRESS [MJ] | hv charge ADDRESS VOLTS --arm | hv fire ADDRESS OUTPUT "
        "[NEXT_VOLTS] --arm");
    if (args.size() < 2) {
        return ctx.Usage(usage);
    }
    const QString what = args[0];
    int status = 0;
    if (what == QLatin1String("energy") && args.size() <= 3) {
        int mj = 0;
        if (args.size() == 3 && !Number(args[2], 0, 255, mj)) {
            return ctx.Usage(QStringLiteral("energy is 0..255 mJ"));
        }
        THVControl* hv = HvAt(ctx, args[1], status);
        if (hv == nullptr) {
            return status;
        }
        if (args.size() == 3) {
            hv->Energy = mj;  // as the panel: the local value follows the operator
            const int r = hv->WriteEnergy(mj);
            if (r != 0) {
                return ctx.Fail(QStringLiteral("energy write"), r);
            }
        }
        ctx.PrintDevice(*hv, false);
        return 0;
    }
    if (what == QLatin1String("charge") && args.size() == 3) {
        int volts = 0;
        if (!Number(args[2], THVControl::kMinChargeVoltage, THVControl::kMaxChargeVoltage, volts)) {
            return ctx.Usage(QStringLiteral("charge voltage is 1..450 V"));
        }
        if (!armed) {
            return ctx.Usage(QStringLiteral("refused: charging needs --arm"));
        }
        THVControl* hv = HvAt(ctx, args[1], status);
        if (hv == nullptr) {
            return status;
        }
        const int r = hv->Charge(volts);
        return r != 0 ? ctx.Fail(QStringLiteral("charge"), r) : 0;
    }
    if (what == QLatin1String("fire") && (args.size() == 3 || args.size() == 4)) {
        int output = 0;
        int next = 0;
        if (!Number(args[2], 1, kMaxChannels, output) ||
            (args.size() == 4 && !Number(args[3], 0, THVControl::kMaxChargeVoltage, next))) {
            return ctx.Usage(usage);
        }
        if (!armed) {
            return ctx.Usage(QStringLiteral("refused: firing needs --arm"));
        }
        THVControl* hv = HvAt(ctx, args[1], status);
        if (hv == nullptr) {
            return status;
        }
        // As fire refuses it: an output the module does not have is not sent, nor logged.
        if (output > hv->ChannelCount) {
            return ctx.Usage(
                QStringLiteral("module %1 has %2 outputs").arg(hv->Address).arg(hv->ChannelCount));
        }
        const int r = hv->FireWithRecharge(output - 1, next);
        WriteLog(Message(Msg::ManualFireModule) + QLatin1Char(' ') + QString::number(hv->Address) +
                     Message(Msg::ChannelSuffix) + QLatin1Char(' ') + QString::number(output),
                 1);
        return r != 0 ? ctx.Fail(QStringLiteral("hv fire"), r) : 0;
    }
    return ctx.Usage(usage);
}

int RunMotor(CtlContext& ctx, const QStringList& args) {
    const QString usage = QStringLiteral(
        "motor left|right|centre ADDRESS [SPEED] | motor rotate left|right ADDRESS [TIME [SPEED]]"
        " (speed 0..255, time in 100 ms steps 0..255)");
    if (args.size() < 2) {
        return ctx.Usage(usage);
    }
    const bool rotate = args[0] == QLatin1String("rotate");
    const QString direction = rotate ? args.value(1) : args[0];
    const QStringList rest = args.mid(rotate ? 2 : 1);
    if (rest.isEmpty() || rest.size() > (rotate ? 3 : 2)) {
        return ctx.Usage(usage);
    }
    int speed = 255;
    int time = 255;
    if (rotate) {
        if ((rest.size() >= 2 && !Number(rest[1], 0, 255, time)) ||
            (rest.size() == 3 && !Number(rest[2], 0, 255, speed))) {
            return ctx.Usage(usage);
        }
    } else if (rest.size() == 2 && !Number(rest[1], 0, 255, speed)) {
        return ctx.Usage(usage);
    }
    const bool known =
        rotate ? (direction == QLatin1String("left") || direction == QLatin1String("right"))
               : (direction == QLatin1String("left") || direction == QLatin1String("right") ||
                  direction == QLatin1String("centre"));
    if (!known) {
        return ctx.Usage(usage);
    }
    int status = 0;
    TCommonControl* m = ModuleAt(ctx, rest[0], status);
    if (m == nullptr) {
        return status;
    }
    if (m->Kind != KindMotorControl) {
        return ctx.Fail(QStringLiteral("module %1 is not a motor module").arg(m->Address), -1);
    }
    auto* motor = static_cast<TMotorControl*>(m);
    int r = 0;
    if (rotate) {
        r = direction == QLatin1String("left") ? motor->RotateLeft(time, speed)
                                               : motor->RotateRight(time, speed);
    } else if (direction == QLatin1String("left")) {
        r = motor->MoveLeft(speed);
    } else if (direction == QLatin1String("right")) {
        r = motor->MoveRight(speed);
    } else {
        r = motor->MoveCentre(speed);
    }
    return r != 0 ? ctx.Fail(QStringLiteral("motor command"), r) : 0;
}

const CtlRegistrar kFireCommands{
    {QStringLiteral("fire"), QStringLiteral("ADDRESS CHANNEL --arm"),
     QStringLiteral("fire one channel (from 1); refused without --arm"), RunFire},
    {QStringLiteral("hv"),
     QStringLiteral("energy ADDRESS [MJ] | charge ADDRESS VOLTS --arm | fire ADDRESS OUTPUT "
                    "[NEXT_VOLTS] --arm"),
     QStringLiteral("high-voltage module: read or set the energy, charge, fire an output"), RunHv},
    {QStringLiteral("motor"),
     QStringLiteral("left|right|centre ADDRESS [SPEED] | rotate left|right ADDRESS [TIME [SPEED]]"),
     QStringLiteral("move a motor module"), RunMotor},
};

}  // namespace

}  // namespace kv
