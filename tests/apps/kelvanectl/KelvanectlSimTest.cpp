// kelvanectl on the simulated bus, as an operator runs it with --simulate: the demo rig or a
// rig file, the whole command from its arguments to its exit status, output and event log.
// The clock is fake, so the searches and answer windows cost no wall time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTextStream>
#include <atomic>
#include <cerrno>
#include <functional>
#include <set>

#include "CtlCommand.h"
#include "CtlRun.h"
#include "FakeClock.h"
#include "SimulatedBusSetup.h"
#include "bus/ConverterBackend.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "devices/DeviceKinds.h"
#include "devices/MemoryResults.h"
#include "sim/SimBus.h"
#include "sim/SimFiringModule.h"
#include "sim/SimRemoteControl.h"
#include "sim/SimRig.h"

using namespace kv;

namespace {

class CtlOnSim : public ::testing::Test, public kvtest::CtlRun {
protected:
    static void SetUpTestSuite() { InstallSimulatedBus(); }

    // Runs the tool with the log in its own folder; backend, when given, is a simulated bus
    // kept across runs (so that what one run did to a device shows in the next).
    int Run(QStringList args, std::shared_ptr<SimBus> backend = nullptr) {
        return CtlRun::Run(std::move(args), [&](const QStringList& a, QTextStream& o,
                                                QTextStream& e) {
            return RunKelvanectl(a, o, e, backend, backend ? QStringLiteral("demo") : QString());
        });
    }
    static QJsonObject At(const QList<QJsonObject>& objects, int address) {
        for (const QJsonObject& o : objects) {
            if (o[QStringLiteral("Address")].toInt() == address) {
                return o;
            }
        }
        ADD_FAILURE() << "no object for address " << address;
        return {};
    }

    FakeClock clock{1000};
    ScopedClock useClock{clock};
};

const QStringList kModuleKeys = {QStringLiteral("Address"),       QStringLiteral("Kind"),
                                 QStringLiteral("Version"),       QStringLiteral("ChannelCount"),
                                 QStringLiteral("RelayId"),       QStringLiteral("PortIndex"),
                                 QStringLiteral("LastResult"),    QStringLiteral("SupplyVoltage"),
                                 QStringLiteral("OutputVoltage"), QStringLiteral("Forcing"),
                                 QStringLiteral("Mode"),          QStringLiteral("Temperature"),
                                 QStringLiteral("LinkQuality")};

QSet<QString> KeysOf(const QJsonObject& o) {
    const QStringList keys = o.keys();
    return QSet<QString>(keys.begin(), keys.end());
}

}  // namespace

TEST_F(CtlOnSim, SearchOnTheDemoRigPrintsTheModelFieldsAndSaysTheBusIsSimulated) {
    ASSERT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("--json"), QStringLiteral("search"),
                   QStringLiteral("--cycles"), QStringLiteral("2")}),
              0)
        << err.toStdString();
    const auto objects = Objects();
    std::vector<int> addresses;
    for (const QJsonObject& o : objects) {
        addresses.push_back(o[QStringLiteral("Address")].toInt());
    }
    EXPECT_EQ(addresses, (std::vector<int>{0, 3, 7, 12, 20, 30, 240, 241, 255}));

    const QSet<QString> moduleKeys(kModuleKeys.begin(), kModuleKeys.end());
    EXPECT_EQ(KeysOf(At(objects, 7)), moduleKeys);
    const QJsonObject relayed = At(objects, 12);
    EXPECT_EQ(KeysOf(relayed), moduleKeys);
    EXPECT_EQ(relayed[QStringLiteral("Kind")].toInt(), KindAutoControl);
    EXPECT_EQ(relayed[QStringLiteral("RelayId")].toInt(), 5);
    EXPECT_EQ(relayed[QStringLiteral("PortIndex")].toInt(), 0);
    EXPECT_EQ(relayed[QStringLiteral("ChannelCount")].toInt(), 40);
    EXPECT_EQ(relayed[QStringLiteral("Temperature")].toDouble(), 23);
    EXPECT_EQ(relayed[QStringLiteral("LinkQuality")].toInt(), 100);
    EXPECT_DOUBLE_EQ(At(objects, 30)[QStringLiteral("SupplyVoltage")].toDouble(), 24.1);
    EXPECT_EQ(At(objects, 30)[QStringLiteral("PortIndex")].toInt(), 1);
    EXPECT_EQ(At(objects, 20)[QStringLiteral("Kind")].toInt(), KindHVControl);
    EXPECT_FALSE(relayed.contains(QStringLiteral("ChannelState"))) << "only after a test";
    for (const QJsonObject& o : objects) {
        if (o[QStringLiteral("Address")].toInt() > 199 || o[QStringLiteral("Address")] == 0) {
            EXPECT_FALSE(o.contains(QStringLiteral("ChannelCount"))) << "not a module";
        }
    }

    EXPECT_TRUE(err.contains(QStringLiteral("SIMULATED BUS"))) << err.toStdString();
    const QString log = Log();
    EXPECT_TRUE(log.contains(QStringLiteral("SIMULATED BUS")));
    for (const char* line : {"Всего подключенных устройств: 9", "Преобразователей: 2", "Пультов: 5",
                             "Блоков радиосвязи: 2", "ПДУ(Р): 1"}) {
        EXPECT_TRUE(log.contains(QString::fromUtf8(line))) << line;
        EXPECT_TRUE(err.contains(QString::fromUtf8(line))) << "text goes to stderr with --json";
    }
}

TEST_F(CtlOnSim, SaysOnceWhatSchedulingTheFiringThreadsGot) {
    ASSERT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("search")}), 0)
        << err.toStdString();
    // Real time or not depends on the machine; what was granted is said once either way.
    EXPECT_EQ(err.count(QStringLiteral("Потоки запуска: ")), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("реальное время, приоритет")) ||
                err.contains(QStringLiteral("dialout")))
        << err.toStdString();
}

TEST_F(CtlOnSim, TestAllGivesStatesAndResistancesAndTheConsolesLogLines) {
    ASSERT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("--json"), QStringLiteral("test"),
                   QStringLiteral("all")}),
              0)
        << err.toStdString();
    const auto objects = Objects();
    const QJsonObject newest = At(objects, 12);
    EXPECT_EQ(KeysOf(newest).size(), kModuleKeys.size() + 2);
    const QJsonArray states = newest[QStringLiteral("ChannelState")].toArray();
    const QJsonArray ohms = newest[QStringLiteral("ChannelResistance")].toArray();
    ASSERT_EQ(states.size(), 40);
    ASSERT_EQ(ohms.size(), 40);
    EXPECT_EQ(states[0].toInt(), ChannelConnected);
    EXPECT_DOUBLE_EQ(ohms[0].toDouble(), 2.4);
    EXPECT_EQ(states[2].toInt(), ChannelNotConnected);  // open
    EXPECT_EQ(states[16].toInt(), ChannelError);        // 0.4 ohm: a short
    EXPECT_EQ(states[17].toInt(), ChannelError);        // 120 ohm
    EXPECT_DOUBLE_EQ(ohms[17].toDouble(), 120);
    const QJsonArray old = At(objects, 7)[QStringLiteral("ChannelState")].toArray();
    ASSERT_EQ(old.size(), 24);
    EXPECT_EQ(old[8].toInt(), ChannelNotConnected) << "45 ohm is below the old connect level";
    EXPECT_EQ(old[0].toInt(), ChannelConnected);
    for (const QJsonObject& o : objects) {
        EXPECT_TRUE(o.contains(QStringLiteral("ChannelState"))) << "only the tested modules";
    }

    const QString log = Log();
    for (const char* line : {"Тест каналов, пульт: 3, каналов: 16, подключено: 14",
                             "Тест каналов, пульт: 7, каналов: 24, подключено: 22",
                             "Тест каналов, пульт: 12, каналов: 40, подключено: 36",
                             "Тест каналов, пульт: 20, каналов: 4, подключено: 4"}) {
        EXPECT_TRUE(log.contains(QString::fromUtf8(line))) << line;
    }
}

TEST_F(CtlOnSim, ExportOnARigFileWritesTheConnectedChannels) {
    const QString rig = dir.file(QStringLiteral("small.rig"));
    {
        QFile f(rig);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(
            "bus seed=3\n"
            "converter serial=R1\n"
            "module address=9 version=46B channels=5 ohms=2 ohm.2=open ohm.4=250\n"
            "converter serial=R2\n"
            "module address=4 version=160 channels=3 ohms=1.5 ohm.3=open\n"
            "radio address=242 version=120\n");
    }
    const QString file = dir.file(QStringLiteral("out"));
    ASSERT_EQ(Run({QStringLiteral("--simulate"), rig, QStringLiteral("export"), file}), 0)
        << err.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("SIMULATED BUS (rig: small)"))) << out.toStdString();
    QFile f(file + QStringLiteral(".txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QStringLiteral("Пульт, ID=4\r\nПодключенных каналов: 2\r\nКанал № 1\r\n"
                                          "Канал № 2\r\n\r\n\r\nПульт, ID=9\r\nПодключенных "
                                          "каналов: 3\r\nКанал № 1\r\nКанал № 3\r\nКанал № "
                                          "5\r\n\r\n\r\n")
                               .toUtf8());
}

TEST_F(CtlOnSim, FireIsRefusedWithoutArmAndBurnsTheIgniterWithIt) {
    std::shared_ptr<SimBus> bus(SimRig::Demo().Build());
    EXPECT_EQ(Run({QStringLiteral("fire"), QStringLiteral("7"), QStringLiteral("4")}, bus), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("--arm"))) << err.toStdString();
    {
        auto lock = bus->Lock();
        EXPECT_TRUE(bus->Records().empty()) << "nothing sent, not even a probe";
    }

    ASSERT_EQ(Run({QStringLiteral("fire"), QStringLiteral("7"), QStringLiteral("4"),
                   QStringLiteral("--arm")},
                  bus),
              0)
        << err.toStdString();
    {
        auto lock = bus->Lock();
        auto* sim = bus->FindAs<SimFiringModule>(7);
        ASSERT_NE(sim, nullptr);
        ASSERT_EQ(sim->Firings().size(), 1u);
        EXPECT_EQ(sim->Firings()[0].channel, 3);
    }
    EXPECT_TRUE(Log().contains(QStringLiteral("Ручной запуск, пульт: 7, канал: 4")));

    ASSERT_EQ(Run({QStringLiteral("--json"), QStringLiteral("test"), QStringLiteral("7")}, bus), 0)
        << err.toStdString();
    const auto objects = Objects();
    ASSERT_EQ(objects.size(), 1);
    const QJsonArray states = objects[0][QStringLiteral("ChannelState")].toArray();
    ASSERT_EQ(states.size(), 24);
    EXPECT_EQ(states[3].toInt(), ChannelNotConnected) << "the fired channel reads open";
    EXPECT_EQ(states[4].toInt(), ChannelConnected);
}

// "mode test" printed result 0 for modules whose mode nobody saw change: the exit status and the
// message now name every module not read back in the mode asked for.
TEST_F(CtlOnSim, ModeTestNamesTheModulesNotReadBackInTestMode) {
    std::shared_ptr<SimBus> bus(SimRig::Demo().Build());
    EXPECT_EQ(Run({QStringLiteral("mode"), QStringLiteral("test"), QStringLiteral("12"),
                   QStringLiteral("20"), QStringLiteral("30")},
                  bus),
              1);
    EXPECT_TRUE(out.contains(QStringLiteral("12: mode test, result 0, reads back test")))
        << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("20: mode test, result 0, reads back unknown")))
        << out.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("not confirmed for modules: 20, 30")))
        << err.toStdString();
    {
        auto lock = bus->Lock();
        EXPECT_EQ(bus->FindAs<SimFiringModule>(20)->Mode(), ModeTest);
    }
    EXPECT_EQ(Run({QStringLiteral("mode"), QStringLiteral("launch"), QStringLiteral("12")}, bus), 0)
        << err.toStdString();
}

TEST_F(CtlOnSim, FailuresExitNonZeroWithTheExchangeResult) {
    EXPECT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("status"), QStringLiteral("99")}),
              1);
    EXPECT_TRUE(err.contains(QStringLiteral("99"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("result -3"))) << err.toStdString();

    EXPECT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("status"), QStringLiteral("3"),
                   QStringLiteral("98")}),
              1)
        << "one silent address fails the command";
    EXPECT_TRUE(err.contains(QStringLiteral("result -3"))) << err.toStdString();

    const QString missing = dir.file(QStringLiteral("none.rig"));
    EXPECT_NE(Run({QStringLiteral("--simulate"), missing, QStringLiteral("search")}), 0);
    EXPECT_FALSE(err.isEmpty());

    EXPECT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("--port"), QStringLiteral("/x"),
                   QStringLiteral("ports")}),
              2);
}

TEST_F(CtlOnSim, PortsListsTheRigsConverters) {
    ASSERT_EQ(
        Run({QStringLiteral("--simulate"), QStringLiteral("--json"), QStringLiteral("ports")}), 0);
    const auto objects = Objects();
    ASSERT_EQ(objects.size(), 2);
    EXPECT_EQ(objects[0][QStringLiteral("Index")].toInt(), 0);
    EXPECT_EQ(objects[0][QStringLiteral("Serial")].toString(), QStringLiteral("KVSIM1"));
    EXPECT_EQ(objects[1][QStringLiteral("Description")].toString(),
              QStringLiteral("USB-RS485 (simulated) B"));
}

TEST_F(CtlOnSim, MemoryCommandsRefuseCuesTheBusCannotCarryWithTheirList) {
    std::shared_ptr<SimBus> bus(SimRig::Demo().Build());
    // 7000 s is past the empty time of the cue record; channel 512 does not fit its channel bits.
    const QString script =
        dir.write(QStringLiteral("long.txt"), QByteArray("1 7 1\n7000 7 2\n5 7 512\n"));
    for (const char* command : {"memory", "remote"}) {
        for (const char* action : {"write", "verify"}) {
            SCOPED_TRACE(std::string(command) + " " + action);
            const bool memory = std::string(command) == "memory";
            EXPECT_EQ(Run({QString::fromLatin1(command), QString::fromLatin1(action), script,
                           memory ? QStringLiteral("--force") : QStringLiteral("--yes")},
                          bus),
                      2);
            EXPECT_TRUE(out.contains(QString::fromUtf8("Пульт: 7, канал: 512, время: 5")))
                << out.toStdString();
            EXPECT_TRUE(out.contains(QString::fromUtf8("Пульт: 7, канал: 2, время: 7000")));
            EXPECT_TRUE(err.contains(QStringLiteral("refused"))) << err.toStdString();
        }
    }
    auto lock = bus->Lock();
    EXPECT_TRUE(bus->Records().empty()) << "nothing sent, not even a search";
    EXPECT_TRUE(Log().contains(QString::fromUtf8(
        "Запись сценария в пульты... В сценарии есть команды, которые невозможно передать")));
}

// Address 0 is the radio remote control, not a module: a cue for it would be dropped by every
// module while the write reports success.
TEST_F(CtlOnSim, MemoryCommandsRefuseCuesForAddressesThatAreNoModule) {
    std::shared_ptr<SimBus> bus(SimRig::Demo().Build());
    const QString script =
        dir.write(QStringLiteral("zero.txt"), QByteArray("1 7 1\n2 0 3\n3 240 1\n"));
    for (const char* action : {"write", "verify"}) {
        SCOPED_TRACE(action);
        EXPECT_EQ(Run({QStringLiteral("memory"), QString::fromLatin1(action), script}, bus), 2);
        EXPECT_TRUE(out.contains(QString::fromUtf8("Пульт: 0, канал: 3, время: 2")))
            << out.toStdString();
        EXPECT_TRUE(out.contains(QString::fromUtf8("Пульт: 240, канал: 1, время: 3")));
    }
    auto lock = bus->Lock();
    EXPECT_TRUE(bus->Records().empty()) << "nothing sent, not even a search";
}

// The check the console makes before writing: cues the modules found cannot hold as written are
// listed with their reasons, and nothing is written, so what the memories held stays there.
TEST_F(CtlOnSim, MemoryWriteRefusesCuesTheModulesCannotHold) {
    std::shared_ptr<SimBus> bus(SimRig::Demo().Build());
    const QString good = dir.write(QStringLiteral("good.txt"), QByteArray("1 3 1\n2 7 2\n"));
    ASSERT_EQ(Run({QStringLiteral("memory"), QStringLiteral("write"), good}, bus), 0)
        << err.toStdString();
    // Module 3 keeps one time per channel, module 7 has 24 channels, 30 drives motors, 12 fires.
    const QString bad = dir.write(QStringLiteral("bad.txt"),
                                  QByteArray("1 3 4\n2 3 4\n3 7 40\n4 30 1\n5 12 #C\n6 12 2\n"));
    EXPECT_EQ(Run({QStringLiteral("memory"), QStringLiteral("write"), bad}, bus), 2);
    const QStringList lines = {
        QString::fromUtf8("Пульт: 3, канал: 4, время: 2 - канал уже занят: прошивка пульта хранит "
                          "одно время на канал"),
        QString::fromUtf8("Пульт: 7, канал: 40, время: 3 - у пульта 24 каналов"),
        QString::fromUtf8("Пульт: 30, канал: 1, время: 4 - запуск канала для блока моторов"),
        QString::fromUtf8("Пульт: 12, канал: 1, время: 5 - команда мотора для пульта без мотора")};
    EXPECT_TRUE(err.contains(
        QString::fromUtf8("Пульты не могут хранить эти команды сценария; ничего не записано:")))
        << err.toStdString();
    for (const QString& line : lines) {
        EXPECT_TRUE(err.contains(line)) << line.toStdString() << "\n" << err.toStdString();
        EXPECT_TRUE(LogLines().contains(line)) << line.toStdString();
    }
    EXPECT_FALSE(err.contains(QString::fromUtf8("Пульт: 12, канал: 2")));
    EXPECT_TRUE(err.contains(QStringLiteral("refused"))) << err.toStdString();
    EXPECT_FALSE(out.contains(MemoryResultMessage(0))) << "no success";
    // The script written before is still in the memories: nothing was erased or written.
    auto lock = bus->Lock();
    const auto held = [&](int address) {
        return bus->FindAs<SimFiringModule>(address)->Memory().Cues().size();
    };
    EXPECT_EQ(held(3), 1u);
    EXPECT_EQ(held(7), 1u);
    EXPECT_EQ(held(12), 0u);
}

// A write that stops at a module (here one that stops answering part-way) says, per module,
// what each memory holds now: the ones before are written, that one is half-written, the ones
// after still hold their old script.
TEST_F(CtlOnSim, AWriteThatStopsPartWaySaysWhatEachModuleHolds) {
    QByteArray rig =
        "bus pacing=off seed=3\nconverter\n"
        "module address=3 version=46B channels=8\n"
        "module address=5 version=46B channels=64 lose=seq:40";
    for (int n = 41; n < 400; ++n) {
        rig += "," + QByteArray::number(n);
    }
    rig += "\nmodule address=9 version=46B channels=8\n";
    QByteArray script = "1 3 1\n1 9 1\n";
    for (int ch = 1; ch <= 60; ++ch) {
        script += "2 5 " + QByteArray::number(ch) + "\n";
    }
    EXPECT_EQ(Run({QStringLiteral("--simulate"), dir.write(QStringLiteral("r.rig"), rig),
                   QStringLiteral("memory"), QStringLiteral("write"),
                   dir.write(QStringLiteral("s.txt"), script)}),
              1);
    for (const char* line : {"Пульт: 3 - записан", "Пульт: 5 - записан частично",
                             "Пульт: 9 - не изменён: в памяти прежний сценарий"}) {
        EXPECT_TRUE(err.contains(QString::fromUtf8(line))) << line << "\n" << err.toStdString();
        EXPECT_TRUE(Log().contains(QString::fromUtf8(line))) << line;
    }
}

TEST_F(CtlOnSim, RemoteEraseIsLoggedAsTheRemotesOwnOperation) {
    ASSERT_EQ(
        Run({QStringLiteral("--simulate"), QStringLiteral("remote"), QStringLiteral("erase")}), 0)
        << err.toStdString();
    const QString log = Log();
    EXPECT_TRUE(log.contains(QStringLiteral("Удаление сценария в ПДУ(Р)... Успешно")))
        << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("Удаление сценария в пультах"))) << log.toStdString();
}

// A rig that kelvane-bussim refuses (with exit status 2) is refused here the same way, its
// line named; so is a port path that is no terminal.
TEST_F(CtlOnSim, BadRigsAndNonTerminalPortsAreRefusedWithTwo) {
    std::string seventeen;
    for (int i = 0; i < 17; ++i) {
        seventeen += "converter\n";
    }
    const struct {
        std::string text;
        QString line;
    } rigs[] = {
        {seventeen, QStringLiteral("line 17")},
        {"converter\nmodule address=4 version=-1F\n", QStringLiteral("line 2")},
        {"converter\nmodule address=4 lose=rate:nan\n", QStringLiteral("line 2")},
        {"converter\nmodule address=4\nmodule address=5 colour=red\n", QStringLiteral("line 3")},
    };
    for (const auto& r : rigs) {
        const QString rig = dir.write(QStringLiteral("bad.rig"), QByteArray::fromStdString(r.text));
        EXPECT_EQ(Run({QStringLiteral("--simulate"), rig, QStringLiteral("search")}), 2) << r.text;
        EXPECT_TRUE(err.contains(r.line)) << err.toStdString();
    }
    EXPECT_EQ(Run({QStringLiteral("--port"), QStringLiteral("/dev/zero"), QStringLiteral("ports")}),
              2);
    EXPECT_TRUE(err.contains(QStringLiteral("/dev/zero is not a terminal"))) << err.toStdString();
}

// A rig is read only from a regular file: /dev/zero would fill the memory, a FIFO without a
// writer would wait for ever. A byte-order mark in front of the text is no error.
TEST_F(CtlOnSim, RigsAreReadOnlyFromRegularFilesAndMayStartWithAByteOrderMark) {
    const QString fifo = dir.file(QStringLiteral("rig.fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& rig : {QStringLiteral("/dev/zero"), fifo, dir.path()}) {
        EXPECT_EQ(Run({QStringLiteral("--simulate"), rig, QStringLiteral("search")}), 2)
            << rig.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("not a regular file"))) << err.toStdString();
    }
    const QString bom = dir.write(QStringLiteral("bom.rig"),
                                  "\xEF\xBB\xBF# rig\nconverter\nmodule address=4 channels=8\n");
    EXPECT_EQ(
        Run({QStringLiteral("--simulate"), bom, QStringLiteral("status"), QStringLiteral("4")}), 0)
        << err.toStdString();
}

// The output is checked before the minute of reading, and a file that cannot be written is
// reported with the system's words, not as a device error.
TEST_F(CtlOnSim, BlackBoxIntoAFolderThatIsNotThereFailsBeforeReading) {
    const QString out = dir.file(QStringLiteral("missing/box"));
    EXPECT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("blackbox"), out}), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("box.DAT"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("No such file or directory"))) << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("result -1"))) << err.toStdString();
    EXPECT_FALSE(Log().contains(QStringLiteral("черного ящика"))) << "nothing was read";

    const QString good = dir.file(QStringLiteral("box"));
    EXPECT_EQ(Run({QStringLiteral("--simulate"), QStringLiteral("blackbox"), good}), 0)
        << err.toStdString();
    EXPECT_TRUE(QFile::exists(good + QStringLiteral(".DAT")));
}

namespace {

// The simulated bus, except that every converter is unplugged the moment the first channel
// measurement is written: the converter vanishes between the search and the test. With a
// code and an action, the action runs instead the moment the first frame of that code goes.
class VanishingBus final : public ConverterBackend {
public:
    explicit VanishingBus(std::shared_ptr<SimBus> bus, uint8_t code = 0x83,
                          std::function<void()> action = {})
        : bus_(std::move(bus)), code_(code), action_(std::move(action)) {}
    ConverterStatus CountDevices(uint32_t& count) override { return bus_->CountDevices(count); }
    ConverterStatus SerialNumber(uint32_t i, std::string& s) override {
        return bus_->SerialNumber(i, s);
    }
    ConverterStatus Description(uint32_t i, std::string& d) override {
        return bus_->Description(i, d);
    }
    ConverterStatus Open(uint32_t i, ConverterHandle& h) override { return bus_->Open(i, h); }
    ConverterStatus Close(ConverterHandle h) override { return bus_->Close(h); }
    ConverterStatus SetBaudRate(ConverterHandle h, uint32_t baud) override {
        return bus_->SetBaudRate(h, baud);
    }
    ConverterStatus SetDataCharacteristics(ConverterHandle h, uint8_t w, uint8_t s,
                                           uint8_t p) override {
        return bus_->SetDataCharacteristics(h, w, s, p);
    }
    ConverterStatus SetFlowControl(ConverterHandle h, uint16_t f, uint8_t on,
                                   uint8_t off) override {
        return bus_->SetFlowControl(h, f, on, off);
    }
    ConverterStatus SetTimeouts(ConverterHandle h, uint32_t r, uint32_t w) override {
        return bus_->SetTimeouts(h, r, w);
    }
    ConverterStatus Purge(ConverterHandle h, uint32_t mask) override {
        return bus_->Purge(h, mask);
    }
    ConverterStatus SetDtr(ConverterHandle h) override { return bus_->SetDtr(h); }
    ConverterStatus ClrRts(ConverterHandle h) override { return bus_->ClrRts(h); }
    ConverterStatus Read(ConverterHandle h, uint8_t* b, uint32_t n, uint32_t& got) override {
        return bus_->Read(h, b, n, got);
    }
    ConverterStatus Write(ConverterHandle h, const uint8_t* b, uint32_t n,
                          uint32_t& written) override {
        if (n > 0 && b[0] == code_ && !vanished_) {
            vanished_ = true;
            if (action_) {
                action_();
            } else {
                for (int c = 0; c < bus_->ConverterTotal(); ++c) {
                    bus_->Unplug(c);
                }
            }
        }
        return bus_->Write(h, b, n, written);
    }
    ConverterStatus GetQueueStatus(ConverterHandle h, uint32_t& rx) override {
        return bus_->GetQueueStatus(h, rx);
    }

private:
    std::shared_ptr<SimBus> bus_;
    uint8_t code_;
    std::function<void()> action_;
    std::atomic<bool> vanished_{false};
};

}  // namespace

// The output's folder goes away while the black box is read (a stick pulled out): the reading
// of minutes is not thrown away but kept in the temporary folder, and the command says where.
TEST_F(CtlOnSim, ABlackBoxReadingThatCannotBeSavedIsKept) {
    auto bus = std::shared_ptr<SimBus>(SimRig::Demo().Build());
    const QString folder = dir.file(QStringLiteral("stick"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString temp = dir.file(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkpath(temp));
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", temp.toLocal8Bit());
    // 0x8E starts the reading of each module's black box.
    auto pulled = [folder] { QDir(folder).removeRecursively(); };
    const int status = CtlRun::Run(
        {QStringLiteral("blackbox"), folder + QStringLiteral("/box")},
        [&](const QStringList& a, QTextStream& o, QTextStream& e) {
            return RunKelvanectl(a, o, e, std::make_shared<VanishingBus>(bus, 0x8E, pulled),
                                 QStringLiteral("demo"));
        });
    if (oldTemp.isNull()) {
        qunsetenv("TMPDIR");
    } else {
        qputenv("TMPDIR", oldTemp);
    }
    EXPECT_EQ(status, 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("the reading was kept in ") + temp))
        << err.toStdString();
    const QStringList kept = QDir(temp).entryList({QStringLiteral("kelvane-blackbox-*.DAT")});
    ASSERT_EQ(kept.size(), 1) << err.toStdString();
    EXPECT_GT(QFileInfo(QDir(temp).filePath(kept[0])).size(), 31901);
}

TEST_F(CtlOnSim, TestAllWhoseConverterVanishedFails) {
    auto bus = std::shared_ptr<SimBus>(SimRig::Demo().Build());
    const int status =
        CtlRun::Run({QStringLiteral("test"), QStringLiteral("all")},
                    [&](const QStringList& a, QTextStream& o, QTextStream& e) {
                        return RunKelvanectl(a, o, e, std::make_shared<VanishingBus>(bus),
                                             QStringLiteral("demo"));
                    });
    EXPECT_EQ(status, 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("could not be measured"))) << err.toStdString();
    // The channels read "error" as a short does; only the exit status tells them apart.
    EXPECT_TRUE(out.contains(QStringLiteral("error"))) << out.toStdString();
}

TEST_F(CtlOnSim, EventLogThatCannotBeWrittenIsToldAndFailsTheCommand) {
    // "logs" is a file, so the folder cannot be made and no log file opened.
    dir.write(QStringLiteral("logs"), "not a folder");
    const int status = Run({QStringLiteral("--simulate"), QStringLiteral("search")});
    const std::optional<LogFailure> failure = FirstLogFailure();
    ResetEventLogForTesting();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err.count(QString::fromUtf8("журнал не записывается")), 1) << err.toStdString();
    EXPECT_TRUE(out.contains(QString::fromUtf8("Преобразователей: 2"))) << "the command ran";
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->error, ENOTDIR);
}

// A script file without a cue would have the remote control erased and its write called
// successful: the remote keeps what it holds, and the command is refused.
TEST_F(CtlOnSim, RemoteWriteOfAScriptWithoutCuesLeavesTheRemoteAsItIs) {
    std::shared_ptr<SimBus> bus(SimRig::Demo().Build());
    const QString good = dir.write(QStringLiteral("good.txt"), QByteArray("1 3 1\n2 7 2\n"));
    ASSERT_EQ(
        Run({QStringLiteral("remote"), QStringLiteral("write"), good, QStringLiteral("--yes")},
            bus),
        0)
        << err.toStdString();
    const auto held = [&] {
        auto lock = bus->Lock();
        return bus->FindAs<SimRemoteControl>(0)->Memory().size();
    };
    ASSERT_EQ(held(), 2u);
    const QString empty = dir.write(QStringLiteral("empty.txt"), QByteArray());
    EXPECT_EQ(
        Run({QStringLiteral("remote"), QStringLiteral("write"), empty, QStringLiteral("--yes")},
            bus),
        2);
    EXPECT_TRUE(err.contains(QStringLiteral("refused"))) << err.toStdString();
    EXPECT_FALSE(out.contains(MemoryResultMessage(0))) << "no success";
    EXPECT_EQ(held(), 2u);
}
