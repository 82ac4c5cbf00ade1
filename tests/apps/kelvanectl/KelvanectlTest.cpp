#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "../../devices/FakeRig.h"
#include "CtlCommand.h"
#include "CtlRun.h"
#include "core/Settings.h"
#include "devices/DeviceKinds.h"
#include "i18n/Localizer.h"

using namespace kv;

namespace {

// One run of the tool over a FakeRig, its output and its event log.
struct Ctl : kvtest::CtlRun {
    FakeClock clock;
    ScopedClock useClock{clock};
    FakeRig rig;

    Ctl() {
        // Five channels: a module reporting four would be taken for an HV module.
        rig.Add({.address = 5, .version = 0x268, .channels = 5});
        for (int ch = 0; ch < 3; ++ch) {
            rig.SetReading(5, ch, 100);
        }
        rig.Add({.address = 3, .type = 'Q', .channels = 4});
        rig.Add({.address = 7, .type = 'P', .channels = 1});
        rig.Add({.address = 244});
    }

    int Run(QStringList args) {
        return CtlRun::Run(std::move(args),
                           [this](const QStringList& a, QTextStream& o, QTextStream& e) {
                               return RunKelvanectl(a, o, e, rig.Converters());
                           });
    }
};

}  // namespace

TEST(Kelvanectl, StatusPrintsEachDeviceAsJsonWithTheModelFields) {
    Ctl c;
    ASSERT_EQ(c.Run({QStringLiteral("--json"), QStringLiteral("status"), QStringLiteral("5"),
                     QStringLiteral("244")}),
              0)
        << c.err.toStdString();
    const auto objects = c.Objects();
    ASSERT_EQ(objects.size(), 2);
    const QJsonObject m = objects[0];
    for (const char* key :
         {"Address", "Kind", "Version", "ChannelCount", "RelayId", "PortIndex", "LastResult",
          "SupplyVoltage", "OutputVoltage", "Forcing", "Mode", "Temperature", "LinkQuality"}) {
        EXPECT_TRUE(m.contains(QString::fromLatin1(key))) << key;
    }
    EXPECT_EQ(m[QStringLiteral("Address")].toInt(), 5);
    EXPECT_EQ(m[QStringLiteral("Kind")].toInt(), KindAutoControl);
    EXPECT_EQ(m[QStringLiteral("ChannelCount")].toInt(), 5);
    EXPECT_FALSE(m.contains(QStringLiteral("ChannelState")));  // only where tested
    EXPECT_EQ(objects[1][QStringLiteral("Kind")].toInt(), KindRadioModule);
}

TEST(Kelvanectl, ADeviceThatDoesNotAnswerFailsWithTheExchangeResult) {
    Ctl c;
    EXPECT_EQ(c.Run({QStringLiteral("status"), QStringLiteral("6")}), 1);
    EXPECT_TRUE(c.err.contains(QStringLiteral("result -3"))) << c.err.toStdString();
    EXPECT_EQ(c.Run({QStringLiteral("status"), QStringLiteral("x")}), 2) << "a usage error";
    EXPECT_EQ(c.Run({QStringLiteral("nonsense")}), 2);
}

TEST(Kelvanectl, TestPrintsChannelsAndLogsAsTheConsole) {
    Ctl c;
    // Channels 4 and 5 have no reading: they do not answer, print as error and fail the command.
    ASSERT_EQ(c.Run({QStringLiteral("--json"), QStringLiteral("test"), QStringLiteral("5")}), 1)
        << c.err.toStdString();
    EXPECT_TRUE(c.err.contains(QStringLiteral("module 5: 2 channel(s) could not be measured")))
        << c.err.toStdString();
    const auto objects = c.Objects();
    ASSERT_EQ(objects.size(), 1);
    const auto states = objects[0][QStringLiteral("ChannelState")].toArray();
    ASSERT_EQ(states.size(), 5);
    EXPECT_EQ(states[0].toInt(), ChannelConnected);
    EXPECT_EQ(states[4].toInt(), ChannelError);
    EXPECT_DOUBLE_EQ(objects[0][QStringLiteral("ChannelResistance")].toArray()[0].toDouble(), 10);
    EXPECT_TRUE(
        c.Log().contains(QStringLiteral("Тест каналов, пульт: 5, каналов: 5, подключено: 3")));
}

TEST(Kelvanectl, ExportWritesTheConnectedChannelsFile) {
    Ctl c;
    const QString file = c.dir.file(QStringLiteral("channels"));
    // The file is written; the two channels without an answer still make the status 1.
    ASSERT_EQ(c.Run({QStringLiteral("export"), file, QStringLiteral("5")}), 1)
        << c.err.toStdString();
    QFile f(file + QStringLiteral(".txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
              QStringLiteral("Пульт, ID=5\r\nПодключенных каналов: 3\r\nКанал № 1\r\nКанал № 2\r\n"
                             "Канал № 3\r\n\r\n\r\n")
                  .toUtf8());
}

TEST(Kelvanectl, FiringAndChargingAreRefusedWithoutArm) {
    Ctl c;
    EXPECT_EQ(c.Run({QStringLiteral("fire"), QStringLiteral("5"), QStringLiteral("2")}), 2);
    EXPECT_EQ(c.Run({QStringLiteral("hv"), QStringLiteral("charge"), QStringLiteral("3"),
                     QStringLiteral("100")}),
              2);
    EXPECT_EQ(c.Run({QStringLiteral("hv"), QStringLiteral("fire"), QStringLiteral("3"),
                     QStringLiteral("1")}),
              2);
    EXPECT_EQ(c.rig.Seen(0x84), 0);
    EXPECT_EQ(c.rig.Seen(0x80), 0);  // nothing was even probed

    ASSERT_EQ(c.Run({QStringLiteral("fire"), QStringLiteral("5"), QStringLiteral("2"),
                     QStringLiteral("--arm")}),
              0)
        << c.err.toStdString();
    EXPECT_EQ(c.rig.LastOf(0x84), (std::vector<uint8_t>{2, 0, 0x80, 0}));
    EXPECT_TRUE(c.Log().contains(QStringLiteral("Ручной запуск, пульт: 5, канал: 2")));
    // A channel the module does not have is refused before anything is sent.
    EXPECT_EQ(c.Run({QStringLiteral("fire"), QStringLiteral("5"), QStringLiteral("9"),
                     QStringLiteral("--arm")}),
              2);
    EXPECT_EQ(c.rig.Seen(0x84), 1);
}

TEST(Kelvanectl, ForcingModeHvAndMotorCommands) {
    Ctl c;
    ASSERT_EQ(c.Run({QStringLiteral("forcing"), QStringLiteral("off"), QStringLiteral("5")}), 0);
    EXPECT_EQ(c.rig.LastOf(0x88)[0], 1);  // test mode, forcing off
    EXPECT_TRUE(c.Log().contains(QStringLiteral("Выключение форсирования, пульт: 5")));
    ASSERT_EQ(c.Run({QStringLiteral("mode"), QStringLiteral("launch"), QStringLiteral("5")}), 0);
    // Each run registers the module anew: its forcing is unknown and counts as off.
    EXPECT_EQ(c.rig.LastOf(0x88)[0], 3);
    ASSERT_EQ(c.Run({QStringLiteral("hv"), QStringLiteral("energy"), QStringLiteral("3"),
                     QStringLiteral("40")}),
              0)
        << c.err.toStdString();
    EXPECT_EQ(c.rig.LastOf(0x81)[2], 40);
    EXPECT_EQ(c.Run({QStringLiteral("hv"), QStringLiteral("energy"), QStringLiteral("5")}), 1);
    ASSERT_EQ(c.Run({QStringLiteral("motor"), QStringLiteral("rotate"), QStringLiteral("left"),
                     QStringLiteral("7"), QStringLiteral("30"), QStringLiteral("100")}),
              0);
    EXPECT_EQ(c.rig.LastOf(0x8C), (std::vector<uint8_t>{0x81, 100, 30, 0}));
    EXPECT_EQ(c.Run({QStringLiteral("motor"), QStringLiteral("up"), QStringLiteral("7")}), 2);
}

TEST(Kelvanectl, SearchListsTheDevicesInAddressOrderWithTheSummary) {
    Ctl c;
    ASSERT_EQ(c.Run({QStringLiteral("search")}), 0) << c.err.toStdString();
    const QStringList lines = c.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 9);
    EXPECT_TRUE(lines[0].trimmed().startsWith(QStringLiteral("3 ")));
    EXPECT_TRUE(lines[1].trimmed().startsWith(QStringLiteral("5 ")));
    EXPECT_TRUE(lines[2].trimmed().startsWith(QStringLiteral("7 ")));
    EXPECT_TRUE(lines[3].trimmed().startsWith(QStringLiteral("244 ")));
    EXPECT_TRUE(c.out.contains(QStringLiteral("Всего подключенных устройств: 4")));
    EXPECT_TRUE(c.out.contains(QStringLiteral("Пультов: 3")));
    EXPECT_TRUE(c.Log().contains(QStringLiteral("Блоков радиосвязи: 1")));
}

TEST(Kelvanectl, ConfigDirAndLogDirSayWhereTheFilesAreAndTheFirstRunLogsThem) {
    Ctl c;
    TempDir config;
    ASSERT_EQ(c.Run({QStringLiteral("--config-dir"), config.path(), QStringLiteral("--help")}), 0);
    EXPECT_TRUE(c.out.contains(QStringLiteral("settings: ") + config.file("kelvanex.ini")));
    EXPECT_TRUE(c.out.contains(QStringLiteral("logs: ") + c.dir.file("logs")));

    // The settings of that folder are the ones read.
    config.write(QStringLiteral("kelvanex.ini"), "[settings]\nConnectResistHi=25\n");
    ASSERT_EQ(c.Run({QStringLiteral("--config-dir"), config.path(), QStringLiteral("status"),
                     QStringLiteral("5")}),
              0);
    EXPECT_DOUBLE_EQ(CurrentSettings().ConnectResistHi, 25);
    const QString locations = QStringLiteral("Файлы программы (настройки, язык, журналы): ");
    ASSERT_FALSE(c.LogLines().isEmpty());
    EXPECT_EQ(c.LogLines().first(), locations + config.file("kelvanex.ini") + QStringLiteral(", ") +
                                        config.file("kelvanex.lng") + QStringLiteral(", ") +
                                        c.dir.file("logs"));
    // Only the run that made the log folder says it.
    ASSERT_EQ(c.Run({QStringLiteral("status"), QStringLiteral("5")}), 0);
    EXPECT_EQ(c.LogLines().filter(locations).size(), 1);
}

// Thresholds that cannot tell a good igniter from an open or shorted channel: nothing runs.
TEST(Kelvanectl, ResistanceThresholdsThatMakeNoBandsAreRefusedWithTheirKey) {
    Ctl c;
    TempDir config;
    config.write(QStringLiteral("kelvanex.ini"), "[settings]\nConnectResist=1e300\n");
    EXPECT_EQ(c.Run({QStringLiteral("--config-dir"), config.path(), QStringLiteral("test"),
                     QStringLiteral("5")}),
              2);
    EXPECT_TRUE(c.err.contains(QStringLiteral("ConnectResist=1e+300"))) << c.err.toStdString();
    EXPECT_TRUE(c.Log().contains(QStringLiteral("ConnectResist=1e+300"))) << c.Log().toStdString();
    EXPECT_TRUE(c.rig.LastOf(0x8C).empty()) << "nothing sent";
    // Unreadable values keep their defaults and the tool runs.
    config.write(QStringLiteral("kelvanex.ini"), "[settings]\nConnectResistLo=nan\n");
    EXPECT_EQ(c.Run({QStringLiteral("--config-dir"), config.path(), QStringLiteral("status"),
                     QStringLiteral("5")}),
              0)
        << c.err.toStdString();
    EXPECT_EQ(CurrentSettings().ConnectResistLo, 1);
}

// The texts the tool shares with the console come from the language file, as the console's do.
TEST(Kelvanectl, TheLanguageFileIsRead) {
    Ctl c;
    TempDir config;
    QByteArray lng = "[strings]\n";
    for (int i = 0; i < 120; ++i) {
        lng +=
            "s" + QByteArray::number(i) + "=" +
            (i == 94 ? QByteArray("Script load error (line:") : "text " + QByteArray::number(i)) +
            "\n";
    }
    config.write(QStringLiteral("kelvanex.lng"), lng);
    const QString bad = c.dir.write(QStringLiteral("bad.txt"), "1 1\n");
    const int status = c.Run({QStringLiteral("--config-dir"), config.path(),
                              QStringLiteral("script"), QStringLiteral("check"), bad});
    ResetLocalizerForTesting();
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(c.out.contains(QStringLiteral("Script load error (line: 1).")))
        << c.out.toStdString();
}

// An address that is none is a usage error (2) whichever command gets it; nothing is sent.
TEST(Kelvanectl, AddressesThatAreNoneAreRefusedWithTwo) {
    Ctl c;
    const QString out = c.dir.file(QStringLiteral("channels"));
    for (const QStringList& args :
         {QStringList{QStringLiteral("status"), QStringLiteral("300")},
          QStringList{QStringLiteral("test"), QStringLiteral("x")},
          QStringList{QStringLiteral("export"), out, QStringLiteral("-1")},
          QStringList{QStringLiteral("forcing"), QStringLiteral("on"), QStringLiteral("256")},
          QStringList{QStringLiteral("mode"), QStringLiteral("test"), QStringLiteral("1.5")}}) {
        EXPECT_EQ(c.Run(args), 2) << args.join(' ').toStdString() << c.err.toStdString();
        EXPECT_TRUE(c.err.contains(QStringLiteral("not a device address"))) << c.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out + QStringLiteral(".txt")));
}

// A log folder that cannot be made is reported with its own reason, not as a missing file.
TEST(Kelvanectl, ALogFolderThatCannotBeMadeSaysWhy) {
    Ctl c;
    const QString file = c.dir.write(QStringLiteral("plain"), "x");
    EXPECT_EQ(c.Run({QStringLiteral("--log-dir"), file + QStringLiteral("/logs"),
                     QStringLiteral("status"), QStringLiteral("5")}),
              1);
    EXPECT_TRUE(c.err.contains(QStringLiteral("the log folder cannot be created: ") + file +
                               QStringLiteral("/logs: Not a directory")))
        << c.err.toStdString();
}
