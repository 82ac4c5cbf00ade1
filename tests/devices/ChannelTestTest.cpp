#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QDir>
#include <QFile>

#include "FakeRig.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "core/EventLog.h"
#include "devices/ChannelTester.h"
#include "devices/ConnectedChannelsExport.h"
#include "devices/TAutoControl.h"
#include "devices/TControls.h"
#include "devices/THVControl.h"

using namespace kv;

namespace {

// A rig with module 5 (16 channels; 1..14 connected, 15 open, 16 silent) and module 9 (8).
struct TestRig {
    RigBus bus;
    TControls controls{bus.proto};
    ChannelTester tester{controls};

    TestRig() {
        bus.rig.Add({.address = 5, .version = 0x268, .channels = 16});
        for (int ch = 0; ch < 14; ++ch) {
            bus.rig.SetReading(5, ch, 100);  // 10 ohms
        }
        bus.rig.SetReading(5, 14, 5000);  // 500 ohms: not connected
        bus.rig.Add({.address = 9, .version = 0x268, .channels = 8});
        for (int ch = 0; ch < 8; ++ch) {
            bus.rig.SetReading(9, ch, 50);
        }
        controls.RegisterDevice(5, 0);
        controls.RegisterDevice(9, 0);
        controls.SortByAddress();
        tester.Thresholds = ResistanceThresholds{};
    }
    TCommonControl& Module(int index) { return *controls.ModuleAt(index); }
};

}  // namespace

TEST(ChannelTest, ClassifiesEveryChannelAndLogsTheSummary) {
    LogCapture log;
    TestRig t;
    TCommonControl& m = t.Module(0);
    m.ChannelState[3] = ChannelNotConnected;  // an old result is cleared first
    EXPECT_TRUE(t.tester.TestModule(m));
    EXPECT_EQ(m.ConnectedCount(), 14);
    EXPECT_EQ(m.ChannelState[14], ChannelNotConnected);
    EXPECT_EQ(m.ChannelState[15], ChannelError);  // no answer: stays marked as failed
    EXPECT_DOUBLE_EQ(m.ChannelResistance[0], 10.0);
    EXPECT_FALSE(t.tester.Busy());
    EXPECT_EQ(
        log.With(QStringLiteral("Тест каналов, пульт: 5, каналов: 16, подключено: 14")).size(), 1);
}

TEST(ChannelTest, StopFinishesTheChannelLogsAndEndsTheRunOfAllModules) {
    LogCapture log;
    TestRig t;
    std::vector<int> selected;
    Connections conns;
    conns += t.tester.OnSelect.Connect([&](int index) { selected.push_back(index); });
    ScopedConnection stopper = t.tester.OnProgress.Connect([&](TCommonControl& m, int channel) {
        if (m.Address == 5 && channel == 2) {
            t.tester.Stop();
        }
    });
    t.tester.TestAllModules();
    TCommonControl& m = t.Module(0);
    EXPECT_EQ(m.ChannelState[2], ChannelConnected);
    for (int ch = 3; ch < 16; ++ch) {
        EXPECT_EQ(m.ChannelState[ch], ChannelUnknown) << ch;
    }
    // Module 9 was not tested; the selection went back to the first module.
    EXPECT_EQ(t.Module(1).ConnectedCount(), 0);
    EXPECT_EQ(t.bus.rig.Seen(0x83), 3);
    EXPECT_EQ(selected, (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(log.With(QStringLiteral("пульт: 5, каналов: 16, подключено: 3")).size(), 1);
    EXPECT_TRUE(log.With(QStringLiteral("пульт: 9")).isEmpty());

    // The next test starts with the stop flag cleared.
    stopper = ScopedConnection();
    t.tester.TestAllModules();
    EXPECT_EQ(t.Module(1).ConnectedCount(), 8);
    EXPECT_EQ(selected.back(), 0);
}

// F3 pressed while the window draws a module's empty panel (its first progress report), or
// while the selection moves to the next module, stops the run: the flag is cleared only when
// the run starts.
TEST(ChannelTest, StopDuringAModulesFirstRedrawOrItsSelectionIsNotForgotten) {
    for (const bool atSelection : {false, true}) {
        LogCapture log;
        TestRig t;
        Connections conns;
        conns += t.tester.OnSelect.Connect([&](int index) {
            if (atSelection && index == 1) {
                t.tester.Stop();
            }
        });
        conns += t.tester.OnProgress.Connect([&](TCommonControl& m, int channel) {
            if (!atSelection && m.Address == 9 && channel == -1) {
                t.tester.Stop();
            }
        });
        t.tester.TestAllModules();
        EXPECT_EQ(t.Module(0).ConnectedCount(), 14) << atSelection;
        EXPECT_EQ(t.Module(1).ConnectedCount(), 0) << atSelection;
        EXPECT_EQ(t.bus.rig.Seen(0x83), 16) << "no channel of module 9 measured";
        EXPECT_EQ(log.With(QStringLiteral("пульт: 9, каналов: 8, подключено: 8")).size(), 0);
    }
    // The single-module test: a stop during its first redraw ends it at once.
    TestRig t;
    Connections conns;
    conns += t.tester.OnProgress.Connect([&](TCommonControl&, int channel) {
        if (channel == -1) {
            t.tester.Stop();
        }
    });
    EXPECT_FALSE(t.tester.TestModule(t.Module(0)));
    EXPECT_EQ(t.bus.rig.Seen(0x83), 0);
}

TEST(ChannelTest, AModuleWithoutChannelsLogsZeros) {
    LogCapture log;
    RigBus bus;
    bus.rig.Add({.address = 4, .channels = 0});
    TControls controls(bus.proto);
    ChannelTester tester(controls);
    auto* m = static_cast<TCommonControl*>(controls.RegisterDevice(4, 0));
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(tester.TestModule(*m));
    EXPECT_EQ(log.With(QStringLiteral("пульт: 4, каналов: 0, подключено: 0")).size(), 1);
}

TEST(ChannelTest, HvTestReadsTheEnergyAndMarksAnsweringOutputsConnected) {
    RigBus bus;
    bus.rig.Add({.address = 3, .type = 'R', .channels = 4, .energy = 15});
    bus.rig.SetReading(3, 0, 25);
    bus.rig.SetReading(3, 1, 300);
    TControls controls(bus.proto);
    ChannelTester tester(controls);
    auto* hv = static_cast<THVControl*>(controls.RegisterDevice(3, 0));
    ASSERT_NE(hv, nullptr);
    ASSERT_EQ(hv->Kind, KindHVControl);
    hv->Energy = 0;
    tester.TestModule(*hv);
    EXPECT_EQ(hv->Energy, 15);
    EXPECT_EQ(hv->ChannelState[0], ChannelConnected);
    EXPECT_DOUBLE_EQ(hv->ChannelResistance[0], 0.25);
    EXPECT_DOUBLE_EQ(hv->ChannelResistance[1], 3.0);
    EXPECT_EQ(hv->ChannelState[2], ChannelError);
}

TEST(ChannelTest, ASecondTestCannotStartInsideOne) {
    TestRig t;
    bool inner = true;
    Connections conns;
    conns += t.tester.OnProgress.Connect([&](TCommonControl& m, int channel) {
        if (channel == 0) {
            inner = t.tester.TestModule(t.Module(1));
        }
    });
    t.tester.TestModule(t.Module(0));
    EXPECT_FALSE(inner);
    EXPECT_EQ(t.Module(1).ConnectedCount(), 0);
}

TEST(ConnectedChannels, FileHoldsEveryModuleInListOrder) {
    TestRig t;
    TempDir dir;
    t.tester.TestModule(t.Module(0));
    // Module 9 was never tested and appears with 0 connected channels.
    t.Module(0).ChannelState.fill(ChannelUnknown);
    t.Module(0).ChannelState[2] = ChannelConnected;
    t.Module(0).ChannelState[10] = ChannelConnected;
    const QString chosen = dir.file(QStringLiteral("out"));
    QString error;
    ASSERT_TRUE(ConnectedChannelsExport::Write(t.controls, chosen, &error)) << error.toStdString();
    const QByteArray expected =
        QStringLiteral(
            "Пульт, ID=5\r\nПодключенных каналов: 2\r\nКанал № 3\r\nКанал № 11\r\n\r\n\r\n"
            "Пульт, ID=9\r\nПодключенных каналов: 0\r\n\r\n\r\n")
            .toUtf8();
    EXPECT_EQ(dir.read(QStringLiteral("out.txt")), expected);
}

TEST(ConnectedChannels, WithAScriptTheFileEndsWithItsSummary) {
    TestRig t;
    TempDir dir;
    t.Module(0).ChannelState.fill(ChannelUnknown);
    t.Module(0).ChannelState[0] = ChannelConnected;     // scripted: fine
    t.Module(0).ChannelState[1] = ChannelNotConnected;  // scripted: no igniter
    t.Module(0).ChannelState[2] = ChannelError;         // scripted: fault
    t.Module(0).ChannelState[3] = ChannelConnected;     // igniter, no cue
    t.Module(1).ChannelState.fill(ChannelUnknown);
    for (int ch : {0, 1, 2}) {
        t.Module(0).ChannelInScript[static_cast<size_t>(ch)] = 1;
    }
    t.Module(1).ChannelInScript[4] = 1;  // scripted, never tested
    const QString chosen = dir.file(QStringLiteral("out"));
    ASSERT_TRUE(ConnectedChannelsExport::Write(t.controls, chosen));
    const QString text = QString::fromUtf8(dir.read(QStringLiteral("out.txt")));
    // The module lists come first, as before.
    EXPECT_TRUE(text.startsWith(QStringLiteral("Пульт, ID=5\r\nПодключенных каналов: 2\r\n")))
        << text.toStdString();
    const QString summary = text.mid(text.indexOf(QStringLiteral("Сводка по сценарию:")));
    EXPECT_EQ(summary.toStdString(),
              QStringLiteral("Сводка по сценарию:\r\n"
                             "Пульт 5, канал 2: в сценарии, воспламенитель не подключен\r\n"
                             "Пульт 5, канал 3: в сценарии, ошибка\r\n"
                             "Пульт 9, канал 5: в сценарии, не проверен\r\n"
                             "Пульт 5, канал 4: воспламенитель подключен, в сценарии не "
                             "используется\r\n\r\n\r\n")
                  .toStdString());

    // Without a script nothing is added.
    for (int i = 0; i < 2; ++i) {
        t.Module(i).ChannelInScript.fill(0);
    }
    ASSERT_TRUE(ConnectedChannelsExport::Write(t.controls, chosen));
    EXPECT_FALSE(
        QString::fromUtf8(dir.read(QStringLiteral("out.txt"))).contains(QStringLiteral("Сводка")));
}

TEST(ConnectedChannels, NameGetsTxtUnlessItHasIt) {
    EXPECT_EQ(ConnectedChannelsExport::FileName(QStringLiteral("a.TXT")), QStringLiteral("a.TXT"));
    EXPECT_EQ(ConnectedChannelsExport::FileName(QStringLiteral("a.tXt")), QStringLiteral("a.tXt"));
    EXPECT_EQ(ConnectedChannelsExport::FileName(QStringLiteral("a")), QStringLiteral("a.txt"));
    EXPECT_EQ(ConnectedChannelsExport::FileName(QStringLiteral("a.dat")),
              QStringLiteral("a.dat.txt"));
    EXPECT_EQ(ConnectedChannelsExport::ProposedName(), QStringLiteral("подключенные каналы"));
}

// A write that fails half-way (here the file-size limit, as a full disk would) leaves the
// previous file whole.
TEST(ConnectedChannels, AFailedWriteKeepsThePreviousFile) {
    TestRig t;
    TempDir dir;
    t.Module(0).ChannelState.fill(ChannelConnected);
    const QByteArray previous(325, 'x');
    const QString chosen = dir.write(QStringLiteral("out.txt"), previous);
    IgnoreFileSizeSignal();
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool written = ConnectedChannelsExport::Write(t.controls, chosen, &error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(written);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(dir.read(QStringLiteral("out.txt")), previous);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("out.txt")})
        << "no temporary file left behind";
}

TEST(ConnectedChannels, AnUnwritablePathFailsWithTheSystemMessage) {
    TestRig t;
    TempDir dir;
    QString error;
    EXPECT_FALSE(ConnectedChannelsExport::Write(
        t.controls, dir.file(QStringLiteral("missing/dir/x.txt")), &error));
    EXPECT_FALSE(error.isEmpty());
}
