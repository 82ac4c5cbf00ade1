#pragma once

// A long show on the simulated demo rig under bus faults: noise bytes, lost, late and corrupt
// answers, and converter 0 unplugged and plugged back mid-show. Shared by the soak test (a short
// show) and bench/shows/ShowSoakBench (the long one), which prints the figures.
//
// Only this thread moves the clock, 25 ms a show tick, so simulated minutes pass in seconds; the
// bus worker runs in real time, and the loss and the restore of the converter are waited for in
// real time so that the worker sees them as it would.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "TestThreadClock.h"
#include "bus/TPortProto.h"
#include "console/ConsoleWiring.h"
#include "console/ShowWiring.h"
#include "core/EventLog.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "shows/AudioSystem.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"
#include "sim/SimBus.h"
#include "sim/SimFiringModule.h"
#include "sim/SimRig.h"

namespace kvsoak {

struct SoakOptions {
    uint8_t control = kv::TCommonPlayer::ControlDirect;
    int showMs = 30 * 60 * 1000;
    int cueEveryMs = 2000;
    double noiseShare = 0.01;  // noise bytes per byte on the wire
    double lose = 0.02;        // shares of the answers lost, late and corrupt
    double late = 0.02;
    double corrupt = 0.02;
    int unplugs = 2;  // converter 0 unplugged this often, spread over the show
    int unplugMs = 3000;
    uint32_t seed = 1;
    // After the show: this much pure noise on the idle bus, to measure the frames it makes.
    uint32_t noiseProbeBytes = 0;
};

struct SoakResult {
    int cues = 0;
    int fired = 0;              // cues logged as fired
    int notSent = 0;            // cues logged as not sent
    int unaccounted = 0;        // cues logged neither way, or more than once
    int firedNotOnWire = 0;     // logged as fired, but no fire frame of theirs left the console
    int moduleFirings = 0;      // what the simulated modules fired
    int losses = 0;             // log lines of a lost converter
    int restores = 0;           // and of a restored one
    bool clockStopped = false;  // the show stopped before its last cue, or its clock went back
    int firedEntries = 0;       // the player's list of fired channels
    int checksLogged = 0;       // check lines of fired channels
    int checksLost = 0;
    uint64_t wireBytes = 0;          // during the show
    uint64_t noiseBytes = 0;         // of which noise
    std::map<int, int> falseFrames;  // dispatched frames no device sent, by code, during the show
    uint64_t probeBytes = 0;
    std::map<int, int> probeFrames;  // the same from the noise probe after the show
    long rssStartKb = 0;
    long rssPeakKb = 0;
    double wallSeconds = 0;
    QString firstProblem;
};

inline long ResidentKb() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4 : 0;
}

inline std::vector<std::pair<int, int>> SoakCues(const SoakOptions& o) {
    // Modules 3, 7 and 12 in turn, each through its channels in order. In autonomous control
    // each channel fires once: the oldest module stores one time per channel.
    static constexpr int kModules[3] = {3, 7, 12};
    static constexpr int kChannels[3] = {16, 24, 40};
    std::vector<std::pair<int, int>> cues;
    int next[3] = {0, 0, 0};
    const bool once = o.control == kv::TCommonPlayer::ControlAutonomous;
    for (int t = 1000, i = 0; t < o.showMs; t += o.cueEveryMs, ++i) {
        int m = i % 3;
        if (once) {
            for (int k = 0; k < 3 && next[m] >= kChannels[m]; ++k) {
                m = (m + 1) % 3;
            }
            if (next[m] >= kChannels[m]) {
                break;
            }
        }
        cues.emplace_back(kModules[m], 1 + next[m]);
        next[m] = once ? next[m] + 1 : (next[m] + 1) % kChannels[m];
    }
    return cues;
}

// The cue times: every cueEveryMs from 1 s, or in autonomous control spread over the show.
inline int SoakCueSpacing(const SoakOptions& o) {
    if (o.control != kv::TCommonPlayer::ControlAutonomous) {
        return o.cueEveryMs;
    }
    return std::max(o.cueEveryMs, (o.showMs - 2000) / 80);
}

// The log's lines without their time stamps, a repeated line once per occurrence.
inline QStringList SoakLogLines(const QString& path) {
    QFile f(path);
    QStringList lines;
    if (!f.open(QIODevice::ReadOnly)) {
        return lines;
    }
    static const QRegularExpression repeat(QStringLiteral(" \\( X (\\d+) \\)$"));
    for (const QString& raw : QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"))) {
        if (raw.isEmpty()) {
            continue;
        }
        QString body = raw.mid(raw.indexOf(QStringLiteral(": ")) + 2);
        int times = 1;
        const QRegularExpressionMatch m = repeat.match(body);
        if (m.hasMatch()) {
            times = m.captured(1).toInt();
            body.truncate(m.capturedStart());
        }
        for (int i = 0; i < times; ++i) {
            lines << body;
        }
    }
    return lines;
}

inline SoakResult RunShowSoak(const SoakOptions& o) {
    using namespace kv;
    SoakResult res;
    QElapsedTimer wall;
    wall.start();
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("soak.log"));
    ResetEventLogForTesting();
    SetLogLevel(1);
    SetLogFileName(logPath);
    SelectAudioOutput(AudioOutput::Null);

    TestThreadClock clock(100000);
    ScopedClock useClock(clock);
    SimRig rig = SimRig::Demo();
    rig.options.pacing = false;
    rig.options.seed = o.seed;
    std::shared_ptr<SimBus> bus(rig.Build());
    auto wiring = std::make_unique<ConsoleWiring>(bus, QStringLiteral("demo"));
    wiring->Open();
    auto player = std::make_unique<TExtPlayer>(wiring->Controls());
    auto show = std::make_unique<ShowWiring>(*wiring, *player);
    TProjectList script;
    player->SetScript(&script);

    // Frames handed to the handlers that no device or console wrote: made from noise.
    std::multiset<std::vector<uint8_t>> recent;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> recentOrder;
    std::map<int, int>* falseFrames = &res.falseFrames;
    wiring->AddFrameHandler([&](const BusFrame& f, int) {
        const std::vector<uint8_t> key(f.begin(), f.begin() + 5);
        if (recent.find(key) == recent.end()) {
            ++(*falseFrames)[f[0]];
        }
    });
    auto pumpWorker = [&](int realMs) {
        QElapsedTimer t;
        t.start();
        do {
            bus->Pump();
            while (wiring->Proto().DispatchPending()) {
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            if (realMs > 0) {
                QThread::msleep(1);
            }
        } while (t.elapsed() < realMs);
    };

    for (int a : {3, 7, 12}) {
        TCommonDevice* d = nullptr;
        for (int attempt = 0; attempt < 5 && d == nullptr; ++attempt) {
            d = wiring->Controls().RegisterDevice(a, 0);
        }
        if (d == nullptr) {
            res.firstProblem = QStringLiteral("module %1 not registered").arg(a);
            return res;
        }
    }
    SoakOptions spaced = o;
    spaced.cueEveryMs = SoakCueSpacing(o);
    const auto cues = SoakCues(spaced);
    QByteArray text;
    for (size_t i = 0; i < cues.size(); ++i) {
        text +=
            QByteArray::number(1.0 + static_cast<double>(i) * spaced.cueEveryMs / 1000.0, 'f', 3) +
            ' ' + QByteArray::number(cues[i].first) + ' ' + QByteArray::number(cues[i].second) +
            "\r\n";
    }
    script.LoadFromBytes(text, QStringLiteral("soak.txt"));
    res.cues = script.Count();
    player->ControlMode = o.control;
    if (o.control == TCommonPlayer::ControlAutonomous) {
        // The modules fire by their own clocks from the script stored in them.
        std::vector<TScriptCue> stored;
        for (int i = 0; i < script.Count(); ++i) {
            stored.push_back(script.Cue(i));
        }
        if (const int32_t r = wiring->Controls().WriteScript(stored); r != 0) {
            res.firstProblem = QStringLiteral("script transfer failed: %1").arg(r);
            return res;
        }
    }

    // Faults from here on: the setup above is not what is measured.
    for (int c = 0; c < bus->ConverterTotal(); ++c) {
        auto lock = bus->Lock();
        SimFaults& f = bus->Segment(c).Faults();
        f.loseAnswer = SimFaultPattern::Rate(o.lose);
        f.late = SimFaultPattern::Rate(o.late);
        f.corrupt = SimFaultPattern::Rate(o.corrupt);
    }
    bus->ClearRecords();
    std::mt19937 rng(o.seed);
    double noiseDebt = 0;
    std::map<std::pair<int, int>, int> onWire;  // fire bursts per module and channel
    std::map<std::pair<int, int>, SimTimeUs> lastFire;
    auto takeRecords = [&](uint32_t now) {
        for (const SimRecord& r : bus->TakeRecords()) {
            res.wireBytes += r.bytes.size();
            if (r.direction == SimDirection::Noise) {
                continue;
            }
            if (r.bytes.size() >= 6) {
                std::vector<uint8_t> key(r.bytes.begin(), r.bytes.begin() + 5);
                recent.insert(key);
                recentOrder.emplace_back(now, std::move(key));
            }
            if (r.direction == SimDirection::FromConsole && r.bytes.size() >= 7 &&
                r.bytes[0] == 0x84) {
                const std::pair<int, int> mc{r.bytes[5], r.bytes[1] + 256 * r.bytes[2]};
                // A relay repeats the frame: one burst is one fire.
                auto it = lastFire.find(mc);
                if (it == lastFire.end() || r.timeUs - it->second > 20000) {
                    ++onWire[mc];
                }
                lastFire[mc] = r.timeUs;
            }
        }
        // Frames a device sent within the last two seconds may still come in late.
        size_t drop = 0;
        while (drop < recentOrder.size() && now - recentOrder[drop].first > 2000) {
            recent.erase(recent.find(recentOrder[drop].second));
            ++drop;
        }
        recentOrder.erase(recentOrder.begin(), recentOrder.begin() + static_cast<long>(drop));
    };

    std::vector<int> unplugAt;
    for (int k = 1; k <= o.unplugs; ++k) {
        unplugAt.push_back(static_cast<int>(static_cast<int64_t>(o.showMs) * k / (o.unplugs + 1)));
    }
    size_t nextUnplug = 0;
    int replugAt = -1;
    const int32_t lastTime = script.LastTime();
    res.rssStartKb = res.rssPeakKb = ResidentKb();

    const uint32_t t0 = clock.TickCount();
    player->Start(0);
    int32_t lastPosition = 0;
    uint32_t tick = 0;
    for (uint32_t t = TCommonPlayer::kTickMs; player->IsPlaying(); t += TCommonPlayer::kTickMs) {
        if (static_cast<int32_t>(t0 + t - clock.TickCount()) > 0) {
            clock.Set(t0 + t);
        }
        const int showT = static_cast<int>(clock.TickCount() - t0);
        if (nextUnplug < unplugAt.size() && showT >= unplugAt[nextUnplug]) {
            bus->Unplug(0);
            ++nextUnplug;
            replugAt = showT + o.unplugMs;
            // The worker notices in its own time.
            QElapsedTimer w;
            w.start();
            while (!wiring->ConverterFault() && w.elapsed() < 3000) {
                pumpWorker(2);
            }
        } else if (replugAt >= 0 && showT >= replugAt) {
            bus->Replug(0);
            replugAt = -1;
            QElapsedTimer w;
            w.start();
            while (wiring->ConverterFault() && w.elapsed() < 3000) {
                pumpWorker(2);
            }
        }
        player->Tick();
        pumpWorker(0);
        if (player->IsPlaying() && player->Position < lastPosition) {
            res.clockStopped = true;
            res.firstProblem = QStringLiteral("show clock went back at %1").arg(showT);
        }
        lastPosition = player->Position;
        if (!player->IsPlaying() && player->Position < lastTime) {
            res.clockStopped = true;
            res.firstProblem = QStringLiteral("show stopped at %1 ms").arg(player->Position);
        }
        const uint64_t before = res.wireBytes;
        takeRecords(clock.TickCount());
        noiseDebt += static_cast<double>(res.wireBytes - before) * o.noiseShare;
        if (noiseDebt >= 1 && bus->Plugged(0)) {
            std::vector<uint8_t> noise(static_cast<size_t>(noiseDebt));
            for (uint8_t& b : noise) {
                b = static_cast<uint8_t>(rng());
            }
            noiseDebt -= static_cast<double>(noise.size());
            res.noiseBytes += noise.size();
            bus->InjectNoise(static_cast<int>(rng() % 2), noise);
        }
        if (++tick % 400 == 0) {
            res.rssPeakKb = std::max(res.rssPeakKb, ResidentKb());
        }
    }
    if (replugAt >= 0) {
        bus->Replug(0);
    }
    const uint64_t showWireBytes = res.wireBytes;
    // After the show the idle cycle checks every fired channel.
    for (int i = 0; i < 20000 && (player->HasPendingChecks() || wiring->ConverterFault()); ++i) {
        clock.Advance(TExtPlayer::kCheckDelayMs + 1);
        wiring->PollStep();
        pumpWorker(wiring->ConverterFault() ? 2 : 0);
        takeRecords(clock.TickCount());
    }
    res.rssPeakKb = std::max(res.rssPeakKb, ResidentKb());
    res.firedEntries = player->FiredCount();
    {
        auto lock = bus->Lock();
        for (int a : {3, 7, 12}) {
            if (auto* m = bus->FindAs<SimFiringModule>(a)) {
                // Behind a relay a module hears a fire more than once: one burst is one firing.
                const SimFiringModule::Firing* last = nullptr;
                for (const auto& f : m->Firings()) {
                    if (!last || f.channel != last->channel || f.atUs - last->atUs > 20000) {
                        ++res.moduleFirings;
                    }
                    last = &f;
                }
            }
        }
    }
    res.wireBytes = showWireBytes;
    // Pure noise on the idle bus, read by the worker as any bytes are.
    falseFrames = &res.probeFrames;
    for (uint32_t left = o.noiseProbeBytes; left > 0;) {
        std::vector<uint8_t> noise(std::min<uint32_t>(left, 4096));
        for (uint8_t& b : noise) {
            b = static_cast<uint8_t>(rng());
        }
        left -= static_cast<uint32_t>(noise.size());
        res.probeBytes += noise.size();
        bus->InjectNoise(static_cast<int>(rng() % 2), noise);
        pumpWorker(4);
        takeRecords(clock.TickCount());
    }
    pumpWorker(o.noiseProbeBytes > 0 ? 50 : 0);
    res.wireBytes = showWireBytes;
    show.reset();
    player.reset();
    wiring.reset();

    // Every cue once, fired or not sent; a fired one with its frame on the wire (direct).
    static const QRegularExpression cueLine(
        QStringLiteral("^(Запуск|Запуск не выполнен), пульт: (\\d+), канал: (\\d+)( - .*)?$"));
    static const QRegularExpression checkLine(
        QStringLiteral("^Тест канала, пульт: (\\d+), канал: (\\d+), состояние: "));
    std::map<std::pair<int, int>, int> expected, fired, notSent;
    for (const auto& c : cues) {
        ++expected[c];
    }
    for (const QString& line : SoakLogLines(logPath)) {
        if (const auto m = cueLine.match(line); m.hasMatch()) {
            const std::pair<int, int> mc{m.captured(2).toInt(), m.captured(3).toInt()};
            if (m.captured(1).size() == 6) {
                ++fired[mc];
                ++res.fired;
            } else {
                ++notSent[mc];
                ++res.notSent;
            }
        } else if (checkLine.match(line).hasMatch()) {
            ++res.checksLogged;
        } else if (line == QStringLiteral("Ошибка преобразователя")) {
            ++res.losses;
        } else if (line == QStringLiteral("Преобразователь подключен")) {
            ++res.restores;
        }
    }
    for (const auto& [mc, n] : expected) {
        const int logged = fired[mc] + notSent[mc];
        if (logged != n) {
            res.unaccounted += std::abs(logged - n);
            if (res.firstProblem.isEmpty()) {
                res.firstProblem = QStringLiteral("module %1 channel %2: %3 cues, %4 logged")
                                       .arg(mc.first)
                                       .arg(mc.second)
                                       .arg(n)
                                       .arg(logged);
            }
        }
        if (o.control == TCommonPlayer::ControlDirect && fired[mc] > onWire[mc]) {
            res.firedNotOnWire += fired[mc] - onWire[mc];
        }
    }
    res.checksLost = std::max(0, res.firedEntries - res.checksLogged);
    res.wallSeconds = static_cast<double>(wall.elapsed()) / 1000.0;
    ResetEventLogForTesting();
    return res;
}

inline void PrintSoak(const char* title, const SoakOptions& o, const SoakResult& r) {
    std::printf("%s: %d simulated s in %.1f s wall\n", title, o.showMs / 1000, r.wallSeconds);
    std::printf(
        "  cues %d: fired %d, not sent %d, unaccounted %d, fired but not on the wire %d; "
        "the modules fired %d\n",
        r.cues, r.fired, r.notSent, r.unaccounted, r.firedNotOnWire, r.moduleFirings);
    std::printf("  converter losses logged %d, restores logged %d; show clock %s\n", r.losses,
                r.restores, r.clockStopped ? "STOPPED" : "ran to the end");
    std::printf("  fired channels %d, checks logged %d, lost %d\n", r.firedEntries, r.checksLogged,
                r.checksLost);
    const double mb = static_cast<double>(r.noiseBytes) / (1024.0 * 1024.0);
    std::printf(
        "  wire %llu bytes, noise %llu bytes (%.2f %%)\n",
        static_cast<unsigned long long>(r.wireBytes), static_cast<unsigned long long>(r.noiseBytes),
        r.wireBytes ? 100.0 * static_cast<double>(r.noiseBytes) / static_cast<double>(r.wireBytes)
                    : 0.0);
    std::printf("  false frames dispatched from the noise:");
    if (r.falseFrames.empty()) {
        std::printf(" none");
    }
    for (const auto& [code, n] : r.falseFrames) {
        std::printf(" 0x%02X: %d (%.0f/MB)", code, n, mb > 0 ? n / mb : 0.0);
    }
    if (r.probeBytes > 0) {
        const double probeMb = static_cast<double>(r.probeBytes) / (1024.0 * 1024.0);
        int total = 0;
        for (const auto& [code, n] : r.probeFrames) {
            total += n;
        }
        std::printf(
            "\n  then %.2f MB of noise on the idle bus: %.0f frames dispatched per MB; per "
            "MB by frame code:",
            probeMb, total / probeMb);
        for (int code = 0; code < 256; ++code) {
            if (code % 16 == 0) {
                std::printf("\n    %02X:", code);
            }
            const auto it = r.probeFrames.find(code);
            std::printf(" %5.1f", it == r.probeFrames.end() ? 0.0 : it->second / probeMb);
        }
    }
    std::printf("\n  resident memory %ld kB at the start, %ld kB at most\n", r.rssStartKb,
                r.rssPeakKb);
    if (!r.firstProblem.isEmpty()) {
        std::printf("  first problem: %s\n", r.firstProblem.toUtf8().constData());
    }
}

}  // namespace kvsoak
