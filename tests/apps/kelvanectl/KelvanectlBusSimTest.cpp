// The kelvanectl program against kelvane-bussim: the simulator serves a rig over one
// pseudo-terminal per converter, and the tool reaches it through the tty back end with
// --port, as it would reach USB converters. Output, exit status and the event log of each run.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "../bussim/BusSimProcess.h"
#include "TempDir.h"

namespace {

const char* const kRig =
    "bus pacing=off seed=4\n"
    "converter serial=CTL-A\n"
    "module address=5 version=46B channels=8 ohms=2.2 ohm.3=open ohm.6=0.3 temp=19\n"
    "converter serial=CTL-B\n"
    "module address=9 version=160 channels=6 ohms=1.5\n"
    "radio address=240 version=120\n";

struct Result {
    int status = -1;
    QString out;
    QString err;
};

class CtlAgainstBusSim : public ::testing::Test {
protected:
    void SetUp() override {
        const QString rig = dir.write("ctl.rig", kRig);
        ASSERT_TRUE(sim.Start(KV_BUSSIM_BINARY, {"--no-pacing", rig.toStdString()},
                              dir.file("bussim.err").toStdString()));
        ASSERT_TRUE(sim.WaitReady());
        ASSERT_EQ(sim.Ports().size(), 2u);
    }
    void TearDown() override {
        if (!stopped_) {
            EXPECT_EQ(sim.Stop(), 0) << "the simulator ends cleanly on SIGTERM";
        }
    }

    Result Ctl(QStringList args) {
        QStringList all = {QStringLiteral("--log-dir"), dir.file("logs")};
        for (const auto& p : sim.Paths()) {
            all << QStringLiteral("--port") << QString::fromStdString(p);
        }
        all << args;
        QProcess p;
        p.start(QStringLiteral(KV_KELVANECTL_BINARY), all);
        Result r;
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "kelvanectl did not end: " << all.join(' ').toStdString();
            return r;
        }
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    static QList<QJsonObject> Objects(const Result& r) {
        QList<QJsonObject> list;
        for (const QString& line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            list << QJsonDocument::fromJson(line.toUtf8()).object();
        }
        return list;
    }
    QString Log() const {
        QString all;
        const QDir logs(dir.file("logs"));
        for (const QString& name : logs.entryList(QDir::Files, QDir::Name)) {
            QFile f(logs.filePath(name));
            if (f.open(QIODevice::ReadOnly)) {
                all += QString::fromUtf8(f.readAll());
            }
        }
        return all;
    }

    TempDir dir;
    kvtest::BusSimProcess sim;
    bool stopped_ = false;
};

}  // namespace

TEST_F(CtlAgainstBusSim, PortsStatusAndTestThroughThePseudoTerminals) {
    const Result ports = Ctl({QStringLiteral("--json"), QStringLiteral("ports")});
    ASSERT_EQ(ports.status, 0) << ports.err.toStdString();
    EXPECT_EQ(Objects(ports).size(), 2);

    const Result status = Ctl({QStringLiteral("--json"), QStringLiteral("status"),
                               QStringLiteral("5"), QStringLiteral("9"), QStringLiteral("240")});
    ASSERT_EQ(status.status, 0) << status.err.toStdString();
    const auto devices = Objects(status);
    ASSERT_EQ(devices.size(), 3);
    EXPECT_EQ(devices[0][QStringLiteral("Address")].toInt(), 5);
    EXPECT_EQ(devices[0][QStringLiteral("PortIndex")].toInt(), 0);
    EXPECT_EQ(devices[0][QStringLiteral("ChannelCount")].toInt(), 8);
    EXPECT_EQ(devices[0][QStringLiteral("Temperature")].toDouble(), 19);
    EXPECT_EQ(devices[0][QStringLiteral("Version")].toInt(), 0x46B);
    EXPECT_EQ(devices[1][QStringLiteral("PortIndex")].toInt(), 1);
    EXPECT_EQ(devices[1][QStringLiteral("ChannelCount")].toInt(), 6);
    EXPECT_EQ(devices[2][QStringLiteral("Kind")].toInt(), 5) << "radio unit";
    EXPECT_EQ(devices[2][QStringLiteral("PortIndex")].toInt(), 1);
    EXPECT_FALSE(status.err.contains(QStringLiteral("SIMULATED"))) << "a tty bus is not ours";

    const Result test =
        Ctl({QStringLiteral("--json"), QStringLiteral("test"), QStringLiteral("5")});
    ASSERT_EQ(test.status, 0) << test.err.toStdString();
    const auto tested = Objects(test);
    ASSERT_EQ(tested.size(), 1);
    const QJsonArray states = tested[0][QStringLiteral("ChannelState")].toArray();
    ASSERT_EQ(states.size(), 8);
    EXPECT_EQ(states[0].toInt(), 1);
    EXPECT_EQ(states[2].toInt(), 2) << "open";
    EXPECT_EQ(states[5].toInt(), 3) << "short";
    EXPECT_DOUBLE_EQ(tested[0][QStringLiteral("ChannelResistance")].toArray()[0].toDouble(), 2.2);
    EXPECT_TRUE(
        Log().contains(QStringLiteral("Тест каналов, пульт: 5, каналов: 8, подключено: 6")));

    const Result missing = Ctl({QStringLiteral("status"), QStringLiteral("77")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("result -3"))) << missing.err.toStdString();
}

TEST_F(CtlAgainstBusSim, SearchFindsTheRigOnBothConvertersAndFailsOnceTheSimulatorIsGone) {
    const Result search = Ctl({QStringLiteral("search")});
    ASSERT_EQ(search.status, 0) << search.err.toStdString();
    const QStringList lines = search.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[0].trimmed().startsWith(QStringLiteral("5 "))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].trimmed().startsWith(QStringLiteral("9 "))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].trimmed().startsWith(QStringLiteral("240 "))) << lines[2].toStdString();
    for (const char* text : {"Всего подключенных устройств: 3", "Преобразователей: 2", "Пультов: 2",
                             "Блоков радиосвязи: 1", "ПДУ(Р): 0"}) {
        EXPECT_TRUE(search.out.contains(QString::fromUtf8(text))) << text;
        EXPECT_TRUE(Log().contains(QString::fromUtf8(text))) << text;
    }

    ASSERT_EQ(sim.Stop(), 0);
    stopped_ = true;
    const Result gone = Ctl({QStringLiteral("status"), QStringLiteral("5")});
    EXPECT_NE(gone.status, 0) << gone.out.toStdString();
    EXPECT_FALSE(gone.err.isEmpty());
}

// A --port path that is not there is named as such, not as a device that does not answer.
TEST_F(CtlAgainstBusSim, AMissingPortPathIsNamed) {
    QProcess p;
    p.start(QStringLiteral(KV_KELVANECTL_BINARY),
            {QStringLiteral("--log-dir"), dir.file("logs"), QStringLiteral("--port"),
             dir.file("ttyGONE"), QStringLiteral("status"), QStringLiteral("5")});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(dir.file("ttyGONE") + QStringLiteral(": no such device")))
        << err.toStdString();
}
