// kelvanectl script check and play: whole runs from the arguments to the exit status, the
// printed lines and the event log, on the simulated demo rig (firing modules 3, 7, 12, HV 20,
// motor 30, another console). The shows run on the real clock, as the tool does, and last
// well under a second each.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "CtlCommand.h"
#include "CtlRun.h"
#include "SimulatedBusSetup.h"
#include "sim/SimBus.h"
#include "sim/SimConsole.h"
#include "sim/SimRig.h"

using namespace kv;

namespace {

class CtlShow : public ::testing::Test, public kvtest::CtlRun {
protected:
    static void SetUpTestSuite() { InstallSimulatedBus(); }

    void SetUp() override {
        SimRig rig = SimRig::Demo();
        rig.options.pacing = false;
        bus = std::shared_ptr<SimBus>(rig.Build());
    }

    int Run(QStringList args) {
        return CtlRun::Run(std::move(args),
                           [this](const QStringList& a, QTextStream& o, QTextStream& e) {
                               return RunKelvanectl(a, o, e, bus, QStringLiteral("demo"));
                           });
    }
    int Play(const char* script, QStringList options = {}) {
        const QString path = dir.write(QStringLiteral("show.txt"), QByteArray(script));
        return Run(QStringList{QStringLiteral("--simulate"), QStringLiteral("play"), path,
                               QStringLiteral("--arm")} +
                   options);
    }
    struct Fire {
        int module, channel, showMs;
    };
    // The fire lines printed: module, channel (1-based) and show time.
    std::vector<Fire> Fires() const {
        static const QRegularExpression re(
            QStringLiteral("^fire module (\\d+) channel (\\d+) show (-?\\d+) ms wall "
                           "\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"));
        std::vector<Fire> fires;
        for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const auto m = re.match(line);
            if (m.hasMatch()) {
                fires.push_back(
                    {m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()});
            }
        }
        return fires;
    }
    int FireFramesOnTheWire() const {
        int n = 0;
        for (const auto& r : bus->Records()) {
            n += r.direction == SimDirection::FromConsole && r.bytes.size() >= 7 &&
                 r.bytes[0] == 0x84 && r.bytes[1] != 0;
        }
        return n;
    }
    bool Announced(uint8_t code) const {
        for (const auto& r : bus->Records(0)) {
            if (r.direction == SimDirection::FromConsole && !r.bytes.empty() &&
                r.bytes[0] == code) {
                return true;
            }
        }
        return false;
    }

    std::shared_ptr<SimBus> bus;
};

TEST_F(CtlShow, ScriptCheckListsTheCuesInTimeOrderOrTheLoadErrorWithItsLine) {
    const QString good = dir.write(QStringLiteral("good.txt"), QByteArray("2.5 12 4 Finale\n"
                                                                          "\n"
                                                                          "0.5 3 1 Opening\n"
                                                                          "1 30 #C\n"
                                                                          "0.5 7 2\n"));
    ASSERT_EQ(Run({QStringLiteral("script"), QStringLiteral("check"), good}), 0)
        << err.toStdString();
    QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << out.toStdString();
    EXPECT_EQ(lines.takeFirst(), QStringLiteral("good.txt: 4 cues, last at 2500 ms"));
    // Equal times keep their file order.
    EXPECT_EQ(lines[0], QStringLiteral("500\t3\t1\tfire\t\tOpening"));
    EXPECT_EQ(lines[1], QStringLiteral("500\t7\t2\tfire\t\t"));
    EXPECT_EQ(lines[2], QStringLiteral("1000\t30\t-\tcentre\t255 0\t"));
    EXPECT_EQ(lines[3], QStringLiteral("2500\t12\t4\tfire\t\tFinale"));

    const QString bad =
        dir.write(QStringLiteral("bad.txt"), QByteArray("0.5 3 1\n\n1 30 #X 4\n2 3 2\n"));
    EXPECT_EQ(Run({QStringLiteral("script"), QStringLiteral("check"), bad}), 1);
    EXPECT_TRUE(out.startsWith(QString::fromUtf8("Ошибка загрузки сценария (строка: 3")))
        << out.toStdString();
    EXPECT_EQ(Run({QStringLiteral("script"), QStringLiteral("check")}), 2);
}

TEST_F(CtlShow, PlayFiresEachCueWithItsTimesAndLogsTheStartBlockStopAndChecks) {
    ASSERT_EQ(Play("0.2 3 2\n0.4 12 5\n0.4 7 1\n0.8 20 1\n"), 0) << err.toStdString();
    const auto fires = Fires();
    ASSERT_EQ(fires.size(), 4u) << out.toStdString();
    const int expected[][3] = {{3, 2, 200}, {12, 5, 400}, {7, 1, 400}, {20, 1, 800}};
    for (size_t i = 0; i < fires.size(); ++i) {
        EXPECT_EQ(fires[i].module, expected[i][0]);
        EXPECT_EQ(fires[i].channel, expected[i][1]);
        EXPECT_GE(fires[i].showMs, expected[i][2]);
    }
    EXPECT_GE(FireFramesOnTheWire(), 4);
    EXPECT_TRUE(out.contains(QStringLiteral("show ended at 800 ms, 4 fired, 0 not sent")))
        << out.toStdString();
    // The HV output keeps its igniter reading after a shot; the others burnt through.
    EXPECT_TRUE(out.contains(QStringLiteral("check module 3 channel 2 state 2")));

    const QStringList log = LogLines();
    const int start = log.indexOf(QStringLiteral("Запуск проекта"));
    ASSERT_GE(start, 0) << log.join('\n').toStdString();
    EXPECT_TRUE(log[start + 1].startsWith(QStringLiteral("Проект:")));
    EXPECT_EQ(log.mid(start + 2, 2),
              (QStringList{QStringLiteral("Режимы: автомат, прямое управление"),
                           QStringLiteral("Темп: 100.0%, смещение: 0 ms")}));
    EXPECT_TRUE(log[start + 4].startsWith(QStringLiteral("Точка запуска:")));
    EXPECT_TRUE(log.contains(QStringLiteral("Запуск, пульт: 12, канал: 5")));
    const int stop = log.indexOf(QStringLiteral("Остановка проекта"));
    EXPECT_GT(stop, start);
    // After the stop each fired channel is measured once: the igniters burnt through.
    EXPECT_EQ(log.indexOf(QStringLiteral("Тест канала, пульт: 3, канал: 2, состояние: неподключен"),
                          stop) > stop,
              true);
    EXPECT_EQ(log.filter(QStringLiteral("Тест канала, пульт:")).size(), 4);
    EXPECT_TRUE(log.join('\n').contains(QStringLiteral("SIMULATED BUS")));
}

TEST_F(CtlShow, PlayCountsCuesThatWereNotSentAndFails) {
    // Module 99 is not on the bus and no module has a channel 600: neither cue is fired.
    EXPECT_EQ(Play("0.2 3 2\n0.3 99 1\n0.3 7 600\n"), 1);
    ASSERT_EQ(Fires().size(), 1u) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("show ended at 300 ms, 1 fired, 2 not sent")))
        << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("not sent module 99 channel 1 show")));
    const QStringList log = LogLines();
    EXPECT_FALSE(log.contains(QStringLiteral("Запуск, пульт: 99, канал: 1")));
    EXPECT_TRUE(
        log.contains(QStringLiteral("Запуск не выполнен, пульт: 99, канал: 1 - модуль не найден")))
        << log.join('\n').toStdString();
    EXPECT_TRUE(log.contains(
        QStringLiteral("Запуск не выполнен, пульт: 7, канал: 600 - канал вне диапазона")));

    EXPECT_EQ(Play("0.2 3 2\n"), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("1 fired, 0 not sent"))) << out.toStdString();
}

TEST_F(CtlShow, PlayOptionsAutonomousFromTempoAndTheirRefusals) {
    // Autonomous control: the modules fire what they hold. Holding nothing of this script, they
    // are named and the show is refused before any frame of it is sent.
    const char* script = "0.2 3 2\n0.5 12 5\n";
    EXPECT_EQ(Play(script, {QStringLiteral("--autonomous")}), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("module 12: cue 2 (0:00.500, channel 5) differs")))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("refused: the modules' scripts differ")));
    EXPECT_FALSE(Announced(0x90));
    EXPECT_FALSE(Announced(0x10));
    // Played anyway on the operator's word, which the log keeps: the modules fire by their own
    // clocks, the console sends no fire. (A matching read-back is tested below the tool: a
    // memory write on the simulated rig takes half a minute.)
    bus->ClearRecords();
    ASSERT_EQ(Play(script, {QStringLiteral("--autonomous"), QStringLiteral("--skip-script-check")}),
              0)
        << err.toStdString();
    EXPECT_TRUE(LogLines().contains(
        QStringLiteral("Проверка сценария в модулях пропущена оператором (--skip-script-check)")));
    EXPECT_EQ(Fires().size(), 2u);
    EXPECT_EQ(FireFramesOnTheWire(), 0);
    EXPECT_TRUE(LogLines().contains(QStringLiteral("Режимы: автомат, автономный")));

    // From a later start point the earlier cues are passed over.
    bus->ClearRecords();
    ASSERT_EQ(Play("0.2 3 2\n1.6 12 5\n", {QStringLiteral("--from"), QStringLiteral("1500"),
                                           QStringLiteral("--tempo"), QStringLiteral("2000")}),
              0)
        << err.toStdString();
    const auto fires = Fires();
    ASSERT_EQ(fires.size(), 1u) << out.toStdString();
    EXPECT_EQ(fires[0].module, 12);
    EXPECT_GE(fires[0].showMs, 1600);
    EXPECT_TRUE(LogLines().contains(QStringLiteral("Темп: 200.0%, смещение: 0 ms")));

    // Out of range, missing and unarmed: refused before anything is sent.
    bus->ClearRecords();
    EXPECT_EQ(Play("0.2 3 2\n", {QStringLiteral("--tempo"), QStringLiteral("0")}), 2);
    EXPECT_EQ(Play("0.2 3 2\n", {QStringLiteral("--from")}), 2);
    EXPECT_EQ(Play("0.2 3 2\n", {QStringLiteral("--bogus")}), 2);
    const QString path = dir.write(QStringLiteral("s.txt"), QByteArray("0.2 3 2\n"));
    EXPECT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("play"), path}), 2);
    EXPECT_TRUE((out + err).contains(QStringLiteral("--arm")));
    EXPECT_EQ(Play("0.2 3 #X\n"), 1);
    EXPECT_EQ(FireFramesOnTheWire(), 0);
}

TEST_F(CtlShow, WaitingForTheExternalStartPlaysFromTheOtherConsolesTime) {
    std::atomic<bool> done{false};
    // The other console's operator presses start until our console has taken it (a press
    // before the tool waits is refused and logged as such).
    std::thread operatorThread([&] {
        for (int i = 0; i < 100 && !done.load() && !Announced(0x10); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            bus->Act(1, [](SimSegment& segment, SimTimeUs now) {
                for (const auto& d : segment.Devices()) {
                    if (auto* console = dynamic_cast<SimConsole*>(d.get())) {
                        console->BroadcastStart(1000, now, segment);
                    }
                }
            });
        }
    });
    const int status = Play("0.5 3 2\n1.2 12 5\n", {QStringLiteral("--wait-external-start")});
    done.store(true);
    operatorThread.join();
    ASSERT_EQ(status, 0) << err.toStdString();
    const auto fires = Fires();
    ASSERT_EQ(fires.size(), 1u) << out.toStdString();
    EXPECT_EQ(fires[0].module, 12);
    EXPECT_TRUE(LogLines().contains(QStringLiteral("Внешняя команда запуска, время: 1000")));
}

TEST_F(CtlShow, WatchPollsAnswersTheOtherConsoleAndPrintsWhatItSends) {
    auto polls = [this] {
        int n = 0;
        for (const auto& r : bus->Records(0)) {
            n += r.direction == SimDirection::FromConsole && r.bytes.size() >= 7 &&
                 r.bytes[0] == 0x85 && r.bytes[5] == 3;
        }
        return n;
    };
    auto* other = bus->FindAs<SimConsole>(255, 1);
    ASSERT_NE(other, nullptr);
    std::atomic<bool> done{false};
    // The other console's operator, once our console's poll cycle runs: a probe, a show start
    // and its end.
    std::thread operatorThread([&] {
        for (int i = 0; i < 300 && !done.load() && polls() < 2; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        bus->Act(1, [&](SimSegment& segment, SimTimeUs now) {
            other->BroadcastProbe(now, segment);
            other->BroadcastStart(1500, now, segment);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        bus->Act(1, [&](SimSegment& segment, SimTimeUs now) {
            other->BroadcastStop(2000, now, segment);
        });
    });
    const int status = Run({QStringLiteral("--simulate"), QStringLiteral("watch"),
                            QStringLiteral("3"), QStringLiteral("3")});
    done.store(true);
    operatorThread.join();
    ASSERT_EQ(status, 0) << err.toStdString();
    EXPECT_TRUE(
        out.contains(QRegularExpression(QStringLiteral("^console \\d+ watching the bus for 3 s$"),
                                        QRegularExpression::MultilineOption)))
        << out.toStdString();
    for (const char* text : {"converter 1: console 77 asks for every console",
                             "converter 1: console 77 announces its show start at 1500 ms",
                             "converter 1: show clock 1500 ms, running",
                             "converter 1: console 77 announces its show end at 2000 ms",
                             "converter 1: show clock 2000 ms, stopped"}) {
        EXPECT_TRUE(out.contains(QLatin1String(text))) << text << "\n" << out.toStdString();
    }
    EXPECT_TRUE(out.contains(QStringLiteral("frames from other consoles"))) << out.toStdString();
    // The poll cycle ran (twice a second), and the probe got its answer.
    EXPECT_GE(polls(), 3);
    auto lock = bus->Lock();
    bool answered = false;
    for (const auto& f : other->Heard()) {
        answered = answered || (f[0] == 0x02 && f[4] == 77);
    }
    EXPECT_TRUE(answered);
}

TEST_F(CtlShow, WatchRefusesAMissingTimeAndAddressesThatAreNoDevice) {
    EXPECT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("watch")}), 2);
    EXPECT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("watch"), QStringLiteral("0")}), 2);
    EXPECT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("watch"), QStringLiteral("1"),
                   QStringLiteral("255")}),
              2);
    EXPECT_TRUE(err.contains(QStringLiteral("255"))) << err.toStdString();
}

TEST_F(CtlShow, CtrlCStopsTheShowAsTheStopKeyDoes) {
    std::atomic<bool> done{false};
    std::thread interrupter([&] {
        for (int i = 0; i < 200 && !done.load(); ++i) {
            if (Announced(0x10)) {
                std::raise(SIGINT);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    // A long show: it would run for an hour of show time.
    const int status = Play("0.1 3 2\n3600 12 5\n");
    done.store(true);
    interrupter.join();
    // A show stopped early did not do all it was asked: the cues left are counted (the stop
    // comes as the show starts, so the first cue may or may not have fired).
    ASSERT_EQ(status, 1) << err.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("0 fired, 0 not sent, 2 not played")) ||
                out.contains(QStringLiteral("1 fired, 0 not sent, 1 not played")))
        << out.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("stopped by SIGINT"))) << err.toStdString();
    EXPECT_TRUE(Announced(0x11));
    const QStringList log = LogLines();
    EXPECT_TRUE(log.contains(QStringLiteral("Остановка проекта")));
    EXPECT_FALSE(log.contains(QStringLiteral("Запуск, пульт: 12, канал: 5")));
    EXPECT_TRUE(out.contains(QStringLiteral("show ended at"))) << out.toStdString();
    // The tool's own handlers are gone again: the default ones are back.
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        const auto previous = std::signal(sig, SIG_DFL);
        EXPECT_EQ(previous, SIG_DFL) << sig;
    }
}

// A cue before the show's start never fires: it is named before the show and the run fails.
TEST_F(CtlShow, CuesThatCanNeverFireAreReportedAndFailTheRun) {
    EXPECT_EQ(Play("-1.5 3 1\n0.2 3 2\n"), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("cue at -1.5 for module 3 is before the show's start")))
        << err.toStdString();
    ASSERT_EQ(Fires().size(), 1u) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("1 fired, 0 not sent, 1 not played")))
        << out.toStdString();
}

// A channel the module does not have is not fired, in a show as by the manual commands.
TEST_F(CtlShow, ChannelsPastTheModulesCountAreNotSentAnywhere) {
    // Module 3 has 16 channels, HV module 20 four outputs.
    EXPECT_EQ(Play("0.2 3 17\n0.3 3 16\n"), 1);
    ASSERT_EQ(Fires().size(), 1u) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("not sent module 3 channel 17"))) << out.toStdString();
    const QStringList log = LogLines();
    EXPECT_FALSE(log.contains(QStringLiteral("Запуск, пульт: 3, канал: 17")));
    EXPECT_TRUE(log.contains(
        QStringLiteral("Запуск не выполнен, пульт: 3, канал: 17 - канал вне диапазона")))
        << log.join('\n').toStdString();

    bus->ClearRecords();
    EXPECT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("hv"), QStringLiteral("fire"),
                   QStringLiteral("20"), QStringLiteral("5"), QStringLiteral("--arm")}),
              2);
    EXPECT_TRUE(err.contains(QStringLiteral("module 20 has 4 outputs"))) << err.toStdString();
    EXPECT_FALSE(Log().contains(QStringLiteral("Ручной запуск"))) << Log().toStdString();
    EXPECT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("fire"), QStringLiteral("3"),
                   QStringLiteral("17"), QStringLiteral("--arm")}),
              2);
    EXPECT_EQ(FireFramesOnTheWire(), 0);
}

// A show meant to run with its music does not start silent.
// The script is loaded against the modules that answer, as the console loads it: a cue of the
// wrong kind for its module is a load error of its line, and nothing of the show is sent.
TEST_F(CtlShow, ACueOfTheWrongKindForAModuleOnTheBusIsALoadErrorOfItsLine) {
    EXPECT_EQ(Play("1 3 1\n2 30 #C\n3 12 #L#50\n"), 1);
    EXPECT_TRUE(err.contains(QString::fromUtf8(
        "Ошибка загрузки сценария (строка: 3). команда мотора для пульта 12, а у него нет мотора")))
        << err.toStdString();
    EXPECT_EQ(Play("1 3 1\n2 30 4\n"), 1);
    EXPECT_TRUE(err.contains(QString::fromUtf8(
        "Ошибка загрузки сценария (строка: 2). запуск канала для блока моторов 30")))
        << err.toStdString();
    EXPECT_TRUE(Fires().empty());
    EXPECT_EQ(FireFramesOnTheWire(), 0);
    EXPECT_FALSE(Log().contains(QStringLiteral("Остановка проекта")));
}

TEST_F(CtlShow, ASoundtrackThatCannotBeLoadedStopsTheRunBeforeTheShow) {
    const QString noise = dir.write(QStringLiteral("noise.wav"), QByteArray(64, 'x'));
    EXPECT_EQ(Play("0.2 3 2\n", {QStringLiteral("--sound"), noise}), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("Ошибка загрузки фонограммы: ") + noise))
        << err.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("Ошибка загрузки"))) << out.toStdString();
    EXPECT_TRUE(Log().contains(QStringLiteral("Ошибка загрузки фонограммы")))
        << Log().toStdString();
    EXPECT_TRUE(Fires().empty());
    EXPECT_EQ(FireFramesOnTheWire(), 0);
    EXPECT_FALSE(Announced(0x10)) << "no show started";
}

}  // namespace

TEST_F(CtlShow, PlayWritesTheShowReportInTheFormItsNameAsks) {
    const QString csv = dir.file(QStringLiteral("report.csv"));
    // Module 99 is not on the bus: its row says why it was not sent.
    EXPECT_EQ(Play("0.2 3 2\n0.3 99 1\n", {QStringLiteral("--report"), csv}), 1);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << err.toStdString();
    const QStringList rows = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
    ASSERT_GE(rows.size(), 3);
    EXPECT_EQ(rows[0], QStringLiteral("cue,time_ms,module,channel,kind,sent_ms,lateness_ms,"
                                      "result,check_after,continuity_before"));
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("1,200,3,2,fire,"))) << rows[1].toStdString();
    EXPECT_TRUE(rows[1].endsWith(QStringLiteral(",sent,fired,"))) << rows[1].toStdString();
    EXPECT_EQ(rows[2], QStringLiteral("2,300,99,1,fire,,,not_sent(модуль не найден),,"));

    const QString pdf = dir.file(QStringLiteral("report.PDF"));
    EXPECT_EQ(Play("0.2 3 2\n", {QStringLiteral("--report"), pdf}), 0) << err.toStdString();
    QFile p(pdf);
    ASSERT_TRUE(p.open(QIODevice::ReadOnly));
    EXPECT_TRUE(p.readAll().startsWith("%PDF-"));

    // A report that cannot be written fails the run, after the show.
    EXPECT_EQ(Play("0.2 3 2\n",
                   {QStringLiteral("--report"), dir.file(QStringLiteral("no/such/folder/r.csv"))}),
              1);
    EXPECT_TRUE(err.contains(QStringLiteral("report not written"))) << err.toStdString();
    EXPECT_EQ(Fires().size(), 1u);
}
