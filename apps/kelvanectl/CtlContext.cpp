#include "CtlContext.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>
#include <chrono>
#include <cstdio>
#include <thread>

#include "bus/TPortProto.h"
#include "console/BusSelection.h"
#include "console/ConsoleSession.h"
#include "console/ConsoleWiring.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "core/Settings.h"
#include "core/ThreadPriority.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "devices/THVControl.h"
#include "devices/TSoftControl.h"

namespace kv {

namespace {

const char* ResultName(int result) {
    switch (result) {
        case 0:
            return "success";
        case -1:
            return "port or device error";
        case -2:
            return "transfer error";
        case -3:
            return "no answer in time";
        case -10:
            return "not supported by the firmware";
        default:
            return "error";
    }
}

constexpr int kAddressesPerCycle = 256;

}  // namespace

CtlContext::CtlContext(Options options, QTextStream& out, QTextStream& err)
    : options_(std::move(options)), out_(out), err_(err) {}

CtlContext::~CtlContext() {
    session_.reset();
    out_.flush();
    err_.flush();
}

std::shared_ptr<ConverterBackend> CtlContext::Backend() {
    if (!backendTried_) {
        backendTried_ = true;
        if (options_.backend) {
            backend_ = options_.backend;
            simulatedRig_ = options_.simulatedRig;
            return backend_;
        }
        BusOptions bus;
        bus.ports = options_.ports;
        bus.simulate = options_.simulate;
        bus.rig = options_.rig;
        BusSelection chosen = SelectBus(bus);
        if (!chosen.backend) {
            busRefused_ = true;
            err_ << "kelvanectl: " << chosen.error << Qt::endl;
        } else {
            backend_ = chosen.backend;
            simulatedRig_ = chosen.simulatedRig;
            // A converter unplugged now may come back, so the path is kept; but every exchange
            // on it fails meanwhile, and the reason is this, not a device that does not answer.
            for (const QString& port : options_.ports) {
                if (!QFileInfo::exists(port)) {
                    Warn(QStringLiteral("%1: no such device (converter unplugged?)").arg(port));
                }
            }
        }
    }
    return backend_;
}

ConsoleSession* CtlContext::Session() {
    if (!session_ && Backend()) {
        ConsoleSession::Options session;
        session.backend = backend_;
        session.simulatedRig = simulatedRig_;
        // The settings were read (and their unreadable keys logged) before the command; the
        // event log is the tool's own, and no slot follows a timecode of the settings file.
        session.settings = CurrentSettings();
        // The simulated demo plays to the null output; real hardware to the sound card.
        session.audioOutput = options_.simulate ? AudioOutput::Null : AudioOutput::Device;
        session.deferShow = true;
        session_ = std::make_unique<ConsoleSession>(std::move(session));
        ConsoleWiring* wiring = &session_->Wiring();
        // The window's converter lamp: here it only remembers that the bus went away.
        QObject::connect(wiring, &ConsoleWiring::ConverterStateChanged,
                         [this](const QString&, bool fault) {
                             if (fault) {
                                 busLost_ = true;
                             }
                         });
        if (wiring->Simulated()) {
            Info(QStringLiteral("SIMULATED BUS (rig: %1)").arg(wiring->SimulatedRig()));
        }
        // The console shows it in a window; here it goes to stderr (and the wiring logs it).
        QObject::connect(wiring, &ConsoleWiring::ConverterAccessRefused,
                         [this](const QString& message) { Warn(message); });
        session_->Open();
        // Let the worker report a converter that is missing before the first command.
        Pump(20);
        // What the threads that time a show were granted, as the console logs it: the worker
        // asks as it starts. The worker is a real thread: its start is waited for in real time,
        // whatever clock the commands run on.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        while (!FirstSchedulingGrant() && std::chrono::steady_clock::now() < deadline) {
            Pump(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (const auto grant = FirstSchedulingGrant()) {
            Warn(SchedulingGrantText(*grant));
        }
    }
    return session_.get();
}

ConsoleWiring* CtlContext::Wiring() {
    return Session() != nullptr ? &session_->Wiring() : nullptr;
}

TControls& CtlContext::Controls() {
    return Wiring()->Controls();
}

TPortProto& CtlContext::Proto() {
    return Wiring()->Proto();
}

void CtlContext::Pump(int ms) {
    ReportLogFailure();
    const uint32_t start = TickCount();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (session_) {
            while (session_->Wiring().Proto().DispatchPending()) {
            }
        }
        if (ms > 0) {
            SleepMs(2);
        }
    } while (ElapsedSince(start) < static_cast<uint32_t>(ms));
}

void CtlContext::Search(int cycles) {
    ConsoleWiring* w = Wiring();
    if (w == nullptr) {
        return;
    }
    w->StartSearch();
    // Stepped here instead of on the scan timer: the same addresses in the same order, without
    // the timer's gap between them.
    w->Controls().ScanTimer.stop();
    for (int i = 0; i < cycles * kAddressesPerCycle; ++i) {
        w->Controls().ScanStep();
        Pump();
    }
    // Console replies may still be on their way (they come after a random pause of < 150 ms).
    Pump(200);
    w->StopSearch();
}

int CtlContext::Register(int address, TCommonDevice*& device) {
    device = nullptr;
    ConsoleWiring* w = Wiring();
    if (w == nullptr) {
        return -1;
    }
    int converter = -1;
    int version = 0;
    const int result = w->Proto().ProbeVersion(address, converter, version);
    if (result != 0) {
        return result;
    }
    device = w->Controls().RegisterDevice(address, converter);
    if (device == nullptr) {
        return -2;
    }
    w->Controls().SortByAddress();
    return device->LastResult;
}

bool CtlContext::Resolve(const QStringList& args, QList<TCommonDevice*>& devices, int& failure) {
    failure = 0;
    devices.clear();
    if (Wiring() == nullptr) {
        failure = -1;
        return false;
    }
    if (args.isEmpty() || (args.size() == 1 && args[0] == QLatin1String("all"))) {
        Search(1);
        for (int i = 0; i < Controls().Count(); ++i) {
            devices << Controls().Items(i);
        }
        return true;
    }
    for (const QString& a : args) {
        const int address = ParseAddress(a);
        if (address < 0 || address == kConsoleAddress) {
            failure = -1;
            Usage(QStringLiteral("not a device address: %1").arg(a));
            return false;
        }
        TCommonDevice* device = nullptr;
        const int result = Register(address, device);
        if (device == nullptr) {
            failure = result != 0 ? result : -2;
            Fail(QStringLiteral("device %1 does not answer").arg(address), failure);
            return false;
        }
        devices << device;
    }
    return true;
}

void CtlContext::Line(const QString& text) {
    out_ << text << Qt::endl;
}

void CtlContext::Info(const QString& text) {
    (options_.json ? err_ : out_) << text << Qt::endl;
}

void CtlContext::Warn(const QString& text) {
    err_ << "kelvanectl: " << text << Qt::endl;
}

void CtlContext::Json(const QJsonObject& object) {
    out_ << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << Qt::endl;
}

QJsonObject CtlContext::DeviceJson(const TCommonDevice& d, bool withChannels) {
    QJsonObject o;
    o[QStringLiteral("Address")] = d.Address;
    o[QStringLiteral("Kind")] = d.Kind;
    o[QStringLiteral("Version")] = d.Version;
    o[QStringLiteral("RelayId")] = d.RelayId;
    o[QStringLiteral("PortIndex")] = d.PortIndex;
    o[QStringLiteral("LastResult")] = d.LastResult;
    if (d.Kind == KindSoftControl) {
        o[QStringLiteral("ConsoleId")] = static_cast<const TSoftControl&>(d).ConsoleId;
    }
    if (!d.IsModule()) {
        return o;
    }
    const auto& m = static_cast<const TCommonControl&>(d);
    o[QStringLiteral("ChannelCount")] = m.ChannelCount;
    o[QStringLiteral("SupplyVoltage")] = m.SupplyVoltage;
    o[QStringLiteral("OutputVoltage")] = m.OutputVoltage;
    o[QStringLiteral("Forcing")] = m.Forcing;
    o[QStringLiteral("Mode")] = m.Mode;
    o[QStringLiteral("Temperature")] = m.Temperature;
    o[QStringLiteral("LinkQuality")] = m.LinkQuality();
    if (m.Kind == KindHVControl) {
        o[QStringLiteral("Energy")] = static_cast<const THVControl&>(m).Energy;
    }
    if (withChannels) {
        QJsonArray states;
        QJsonArray ohms;
        for (int ch = 0; ch < m.ChannelCount; ++ch) {
            states.append(m.ChannelState[ch]);
            ohms.append(m.ChannelResistance[ch]);
        }
        o[QStringLiteral("ChannelState")] = states;
        o[QStringLiteral("ChannelResistance")] = ohms;
    }
    return o;
}

QString CtlContext::DeviceText(const TCommonDevice& d) {
    QString text = QStringLiteral("%1 kind %2 version %3 relay %4 port %5 result %6")
                       .arg(d.Address, 3)
                       .arg(d.Kind)
                       .arg(d.Version, 3, 16, QLatin1Char('0'))
                       .arg(d.RelayId)
                       .arg(d.PortIndex)
                       .arg(d.LastResult);
    if (d.Kind == KindSoftControl) {
        text += QStringLiteral(" console %1").arg(static_cast<const TSoftControl&>(d).ConsoleId);
    }
    if (d.IsModule()) {
        const auto& m = static_cast<const TCommonControl&>(d);
        text +=
            QStringLiteral(" channels %1 supply %2 output %3 forcing %4 mode %5 temp %6 link %7%")
                .arg(m.ChannelCount)
                .arg(m.SupplyVoltage, 0, 'f', 2)
                .arg(m.OutputVoltage, 0, 'f', 2)
                .arg(m.Forcing)
                .arg(m.Mode)
                .arg(m.Temperature, 0, 'f', 0)
                .arg(m.LinkQuality());
    }
    return text;
}

QString CtlContext::ChannelText(const TCommonDevice& d, int channel) {
    static const char* const kWords[] = {"unknown", "connected", "not connected", "error"};
    const auto& m = static_cast<const TCommonControl&>(d);
    const uint8_t state = m.ChannelState[channel];
    return QStringLiteral("  channel %1: %2 %3 ohm")
        .arg(channel + 1, 3)
        .arg(QString::fromLatin1(state < 4 ? kWords[state] : "?"), -13)
        .arg(m.ChannelResistance[channel], 0, 'f', 1);
}

void CtlContext::PrintDevice(const TCommonDevice& device, bool withChannels) {
    if (options_.json) {
        Json(DeviceJson(device, withChannels));
        return;
    }
    Line(DeviceText(device));
    if (withChannels && device.IsModule()) {
        const auto& m = static_cast<const TCommonControl&>(device);
        for (int ch = 0; ch < m.ChannelCount; ++ch) {
            Line(ChannelText(device, ch));
        }
    }
}

int CtlContext::Fail(const QString& message, int result) {
    err_ << "kelvanectl: " << message << " (result " << result << ": " << ResultName(result) << ")"
         << Qt::endl;
    // Without a bus the options named (a bad rig, a path that is no terminal) the command
    // failed on its input, not on a device: the status of a refused command, as
    // kelvane-bussim gives for the same rig.
    return busRefused_ ? 2 : 1;
}

int CtlContext::FailPlain(const QString& message) {
    err_ << "kelvanectl: " << message << Qt::endl;
    return 1;
}

void CtlContext::NoteFailure(int result, const QString& message) {
    ++failures_;
    lastFailure_ = result;
    failureMessage_ = message;
}

int CtlContext::Finish(int status) {
    // A command that failed on its input (an address that is none, a rig that cannot be read,
    // a port path that is no terminal) has the status of a refused command, whichever way it
    // came back.
    if (status == 1 && (refused_ || busRefused_)) {
        status = 2;
    }
    if (status == 0 && failures_ > 0) {
        status = Fail(failureMessage_, lastFailure_);
    }
    if (status == 0 && busLost_) {
        status = Fail(QStringLiteral("the bus was lost during the command"), -1);
    }
    ReportLogFailure();
    if (FirstLogFailure() && status == 0) {
        status = 1;
    }
    out_.flush();
    err_.flush();
    return status;
}

void CtlContext::ReportLogFailure() {
    if (logFailureReported_) {
        return;
    }
    if (const std::optional<LogFailure> failure = FirstLogFailure()) {
        logFailureReported_ = true;
        err_ << "kelvanectl: " << LogFailureText(*failure) << Qt::endl;
    }
}

int CtlContext::Usage(const QString& message) {
    err_ << "kelvanectl: " << message << Qt::endl;
    refused_ = true;
    return 2;
}

int CtlContext::ParseAddress(const QString& text) {
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    return ok && v >= 0 && v <= 255 ? v : -1;
}

}  // namespace kv
