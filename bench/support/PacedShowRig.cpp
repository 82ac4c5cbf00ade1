#include "PacedShowRig.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "devices/TControls.h"

namespace kv::bench {

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

QByteArray CueLine(int ms, int module, int channel) {
    return QByteArray::number(ms / 1000.0, 'f', 3) + ' ' + QByteArray::number(module) + ' ' +
           QByteArray::number(channel) + "\r\n";
}

std::shared_ptr<SimBus> PacedBus(int modules) {
    SimBusOptions options;
    options.pacing = true;
    auto bus = std::make_shared<SimBus>(options);
    bus->AddConverter();
    for (int a = 1; a <= modules; ++a) {
        SimDeviceConfig c;
        c.address = a;
        c.channels = 512;
        bus->AddDevice(0, c);
    }
    return bus;
}

void Settle(int ms) {
    QEventLoop settle;
    QTimer::singleShot(ms, &settle, &QEventLoop::quit);
    settle.exec();
}

void WaitUntilStopped(const TExtPlayer& player) {
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!player.IsPlaying()) {
            loop.quit();
        }
    });
    watch.start(20);
    loop.exec();
}

PacedShowRig::PacedShowRig(std::shared_ptr<SimBus> pacedBus, int modules,
                           const std::function<void(ConsoleWiring&)>& registerMore)
    : bus(std::move(pacedBus)) {
    wiring = std::make_unique<ConsoleWiring>(bus, QStringLiteral("bench"));
    wiring->Open();
    for (int a = 1; a <= modules; ++a) {
        wiring->Controls().RegisterDevice(a, 0);
    }
    if (registerMore) {
        registerMore(*wiring);
    }
    player = std::make_unique<TExtPlayer>(wiring->Controls());
    show = std::make_unique<ShowWiring>(*wiring, *player);
}

PacedShowRig::~PacedShowRig() {
    show.reset();
    player.reset();
    wiring.reset();
}

}  // namespace kv::bench
