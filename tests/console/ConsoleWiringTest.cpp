#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <mutex>
#include <vector>

#include "../devices/FakeRig.h"
#include "../devices/LogCapture.h"
#include "bus/TPortProto.h"
#include "console/ConsoleWiring.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"

using namespace kv;

namespace {

// The console wiring over a FakeRig with the fake clock in force.
struct Console {
    FakeClock clock;
    ScopedClock useClock{clock};
    FakeRig rig;
    ConsoleWiring wiring{rig.Converters()};

    // Lets the worker's hand-overs run until done() holds or a second of wall time passed.
    template <class Done>
    bool PumpUntil(Done done) {
        QElapsedTimer wall;
        wall.start();
        while (!done() && wall.elapsed() < 2000) {
            while (wiring.Proto().DispatchPending()) {
            }
            QThread::msleep(1);
        }
        return done();
    }
    void Register(int address) { ASSERT_NE(wiring.Controls().RegisterDevice(address, 0), nullptr); }
};

}  // namespace

TEST(ConsoleWiring, PollsOneDevicePerStepRoundRobin) {
    Console c;
    for (int a : {4, 2, 9}) {
        c.rig.Add({.address = a});
    }
    c.wiring.Open();
    std::vector<int> polled;
    int summaries = 0;
    QObject::connect(&c.wiring, &ConsoleWiring::DevicePolled,
                     [&](int index) { polled.push_back(index); });
    QObject::connect(&c.wiring, &ConsoleWiring::SummaryChanged, [&] { ++summaries; });
    for (int a : {4, 2, 9}) {
        c.Register(a);
    }
    // Registration sorted the list: 2, 4, 9.
    EXPECT_EQ(c.wiring.Controls().Items(0)->Address, 2);
    for (int i = 0; i < 6; ++i) {
        c.wiring.PollStep();
    }
    EXPECT_EQ(polled, (std::vector<int>{0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(summaries, 6);

    // The list shrinks below the cursor: the next step starts again at 0.
    c.wiring.PollStep();
    c.wiring.PollStep();
    ASSERT_EQ(c.wiring.PollCursor(), 2);
    c.wiring.Controls().Delete(2);
    c.wiring.Controls().Delete(1);
    polled.clear();
    c.wiring.PollStep();
    c.wiring.PollStep();
    EXPECT_EQ(polled, (std::vector<int>{0}));
    EXPECT_EQ(c.wiring.PollCursor(), 0);
}

TEST(ConsoleWiring, WithNoDevicesAStepPollsNothingAndStillRefreshes) {
    Console c;
    c.wiring.Open();
    int polled = 0;
    int summaries = 0;
    int fired = 0;
    QObject::connect(&c.wiring, &ConsoleWiring::DevicePolled, [&](int) { ++polled; });
    QObject::connect(&c.wiring, &ConsoleWiring::SummaryChanged, [&] { ++summaries; });
    QObject::connect(&c.wiring, &ConsoleWiring::FiredChannelCheckDue, [&] { ++fired; });
    c.wiring.PollStep();
    EXPECT_EQ(polled, 0);
    EXPECT_EQ(summaries, 1);
    EXPECT_EQ(fired, 1);
    // The fired-channel check waits while a show plays or a test runs.
    TProjectList script;
    ASSERT_FALSE(script.LoadFromBytes("60 3 1\n", QStringLiteral("show.txt")));
    TExtPlayer player(c.wiring.Controls());
    player.SetScript(&script);
    c.wiring.SetPlayer(&player);
    player.Start(0);
    ASSERT_TRUE(c.wiring.ShowPlaying());
    c.wiring.PollStep();
    player.Stop(true);
    c.wiring.SetPlayer(nullptr);
    c.wiring.SetTesting(true);
    c.wiring.PollStep();
    EXPECT_EQ(fired, 1);
}

TEST(ConsoleWiring, FramesGoToTheBusManagerFirstThenToTheAddedHandlers) {
    Console c;
    c.rig.Add({.address = 17, .channels = 8});
    c.wiring.Open();
    std::vector<int> seen;
    c.wiring.AddFrameHandler([&](const BusFrame& f, int) {
        // By now the manager has registered the announcing module.
        seen.push_back(c.wiring.Controls().Count());
        seen.push_back(f[5]);
    });
    c.wiring.Controls().SetSearch(TControls::SearchOn);
    c.wiring.Controls().ScanTimer.stop();
    c.wiring.HandleFrame(BusFrame{0x70, 'O', 'k', 0, 8, 17}, 0);
    EXPECT_EQ(seen, (std::vector<int>{1, 17}));
}

TEST(ConsoleWiring, LostAndRestoredConvertersAreLoggedOnceEach) {
    LogCapture log;
    Console c;
    std::vector<QString> labels;
    QObject::connect(&c.wiring, &ConsoleWiring::ConverterStateChanged,
                     [&](const QString& label, bool) { labels.push_back(label); });
    int restored = 0;
    QObject::connect(&c.wiring, &ConsoleWiring::ConverterRestored, [&] { ++restored; });
    ASSERT_TRUE(c.wiring.Open());
    EXPECT_EQ(labels.back(), QStringLiteral("RS485: 1"));

    c.rig.Converters()->Unplug(-1);
    ASSERT_TRUE(c.PumpUntil([&] { return c.wiring.ConverterFault(); }));
    EXPECT_EQ(labels.back(), QStringLiteral("RS485: 0"));
    c.rig.Converters()->Replug(0);
    ASSERT_TRUE(c.PumpUntil([&] { return !c.wiring.ConverterFault(); }));
    EXPECT_EQ(labels.back(), QStringLiteral("RS485: 1"));
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(log.With(QStringLiteral("Ошибка преобразователя")).size(), 1);
    EXPECT_EQ(log.With(QStringLiteral("Преобразователь подключен")).size(), 1);
}

TEST(ConsoleWiring, SearchStopsPollingAndLogsFiveLinesAtTheEnd) {
    LogCapture log;
    Console c;
    c.rig.Add({.address = 0, .version = 0x146});
    c.rig.Add({.address = 3});
    c.rig.Add({.address = 242});
    c.wiring.Open();
    c.wiring.StartPolling();
    std::vector<bool> states;
    QObject::connect(&c.wiring, &ConsoleWiring::SearchStateChanged,
                     [&](bool s) { states.push_back(s); });
    c.wiring.StartSearch();
    EXPECT_TRUE(c.wiring.Searching());
    EXPECT_FALSE(c.wiring.IdleTimer().isActive());
    c.wiring.Controls().ScanTimer.stop();
    for (int i = 0; i < 256; ++i) {
        c.wiring.Controls().ScanStep();
    }
    c.wiring.StopSearch();
    EXPECT_TRUE(c.wiring.IdleTimer().isActive());
    EXPECT_EQ(states, (std::vector<bool>{true, false}));
    const QStringList lines = log.Lines();
    ASSERT_GE(lines.size(), 5);
    const QStringList tail = lines.mid(lines.size() - 5);
    EXPECT_TRUE(tail[0].endsWith(QStringLiteral("Всего подключенных устройств: 3")));
    EXPECT_TRUE(tail[1].endsWith(QStringLiteral("Преобразователей: 1")));
    EXPECT_TRUE(tail[2].endsWith(QStringLiteral("Пультов: 1")));
    EXPECT_TRUE(tail[3].endsWith(QStringLiteral("Блоков радиосвязи: 1")));
    EXPECT_TRUE(tail[4].endsWith(QStringLiteral("ПДУ(Р): 1")));
}

TEST(ConsoleWiring, TestsStopPollingAndSelectionFollowsTheModules) {
    LogCapture log;
    Console c;
    c.rig.Add({.address = 240});
    c.rig.Add({.address = 3, .channels = 2});
    c.rig.Add({.address = 8, .channels = 2});
    c.wiring.Open();
    for (int a : {240, 3, 8}) {
        c.Register(a);
    }
    c.wiring.StartPolling();
    bool pollingDuringTest = true;
    Connections conns;
    conns += c.wiring.Tester().OnProgress.Connect(
        [&](TCommonControl&, int) { pollingDuringTest = c.wiring.IdleTimer().isActive(); });
    c.wiring.EnterTestMode();
    EXPECT_EQ(c.wiring.TestSelection(), 0);  // the first module (index 0 is address 3)
    c.wiring.SelectDown();
    EXPECT_EQ(c.wiring.TestSelection(), 1);
    c.wiring.SelectDown();
    EXPECT_EQ(c.wiring.TestSelection(), 1);  // already the last module
    EXPECT_TRUE(c.wiring.CheckSelected());
    EXPECT_FALSE(pollingDuringTest);
    EXPECT_TRUE(c.wiring.IdleTimer().isActive());
    EXPECT_EQ(log.With(QStringLiteral("пульт: 8")).size(), 1);

    c.wiring.TestAll();
    EXPECT_EQ(c.wiring.TestSelection(), 0);
    EXPECT_EQ(log.With(QStringLiteral("пульт: 3")).size(), 1);
    EXPECT_FALSE(c.wiring.Testing());

    c.wiring.SetModeAll(ModeLaunch);
    EXPECT_EQ(c.rig.Seen(0x88), 2);  // the two modules, not the radio unit
}

TEST(ConsoleWiring, SimulatedBusIsNamedInCaptionAndLog) {
    LogCapture log;
    FakeClock clock;
    ScopedClock useClock(clock);
    FakeRig rig;
    ConsoleWiring wiring(rig.Converters(), QStringLiteral("demo"));
    EXPECT_TRUE(wiring.Simulated());
    EXPECT_EQ(wiring.SimulatedRig(), QStringLiteral("demo"));
    EXPECT_TRUE(wiring.CaptionSuffix().contains(QStringLiteral("demo")));
    wiring.Open();
    EXPECT_EQ(log.With(QStringLiteral("SIMULATED BUS")).size(), 1);

    ConsoleWiring real(rig.Converters());
    EXPECT_FALSE(real.Simulated());
    EXPECT_TRUE(real.CaptionSuffix().isEmpty());
}

namespace {

// Converters of which some refuse this user.
class RefusingConverters : public ScriptedConverter {
public:
    std::vector<ConverterAccessDenied> AccessDenied() override {
        std::lock_guard lock(m);
        return denied;
    }
    void Refuse(const std::string& path, const std::string& group) {
        std::lock_guard lock(m);
        denied.push_back({0, path, group});
    }

private:
    std::mutex m;
    std::vector<ConverterAccessDenied> denied;
};

}  // namespace

TEST(ConsoleWiring, AConverterRefusingTheUserIsReportedOncePerDevice) {
    LogCapture log;
    FakeClock clock;
    ScopedClock useClock{clock};
    auto converters = std::make_shared<RefusingConverters>();
    converters->Refuse("/dev/ttyUSB0", "dialout");
    ConsoleWiring wiring(converters);
    QStringList shown;
    QObject::connect(&wiring, &ConsoleWiring::ConverterAccessRefused,
                     [&](const QString& text) { shown << text; });
    wiring.Open();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("Нет доступа к преобразователю /dev/ttyUSB0")));
    EXPECT_TRUE(shown[0].contains(QStringLiteral("в группу dialout")));
    EXPECT_EQ(log.With(QStringLiteral("/dev/ttyUSB0")).size(), 1);

    // The worker loses and finds the converters again: the same device says nothing new, one
    // plugged in since (node left to root) is reported with the group the udev rule gives.
    converters->Refuse("/dev/ttyUSB1", "root");
    auto pumpUntil = [&](auto done) {
        for (int i = 0; i < 2000 && !done(); ++i) {
            while (wiring.Proto().DispatchPending()) {
            }
            QThread::msleep(1);
        }
        return done();
    };
    converters->Unplug(-1);
    ASSERT_TRUE(pumpUntil([&] { return wiring.ConverterFault(); }));
    converters->Replug(0);
    ASSERT_TRUE(pumpUntil([&] { return !wiring.ConverterFault(); }));
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[1].contains(QStringLiteral("/dev/ttyUSB1")));
    EXPECT_TRUE(shown[1].contains(QStringLiteral("в группу dialout")));
    EXPECT_EQ(log.With(QStringLiteral("Нет доступа")).size(), 2);
}
