// kelvanectl play --timecode: a show on the simulated demo rig (firing modules 3, 7, 12) whose
// clock follows the timecode of a WAV file played in real time. Each run lasts about 3 s.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "CtlCommand.h"
#include "CtlRun.h"
#include "SimulatedBusSetup.h"
#include "sim/SimBus.h"
#include "sim/SimRig.h"
#include "timecode/LtcTestSignal.h"

using namespace kv;

namespace {

class CtlTimecodePlay : public ::testing::Test, public kvtest::CtlRun {
protected:
    static void SetUpTestSuite() { InstallSimulatedBus(); }

    void SetUp() override {
        SimRig rig = SimRig::Demo();
        rig.options.pacing = false;
        bus = std::shared_ptr<SimBus>(rig.Build());
    }
    int Play(const char* script, const QString& wav, QStringList options) {
        const QString path = dir.write(QStringLiteral("show.txt"), QByteArray(script));
        return CtlRun::Run(QStringList{QStringLiteral("--simulate"), QStringLiteral("play"), path,
                                       QStringLiteral("--arm"), QStringLiteral("--timecode"), wav} +
                               options,
                           [this](const QStringList& a, QTextStream& o, QTextStream& e) {
                               return RunKelvanectl(a, o, e, bus, QStringLiteral("demo"));
                           });
    }
    // The timecode from `startMs` after 01:00:00:00 (negative: pre-roll), for lengthMs.
    QString Wav(double startMs, double lengthMs) {
        test::LtcTestSignal signal(48000, TimecodeRate::Fps25);
        signal.AppendTimecodeAt(TimecodeMs(Timecode{1, 0, 0, 0}, TimecodeRate::Fps25) + startMs,
                                lengthMs);
        const QString path = dir.file(QStringLiteral("tc.wav"));
        EXPECT_TRUE(signal.WriteWav(path, 1, 0));
        return path;
    }
    // Show times of the fire lines, per "module/channel".
    std::map<QString, int> Fires() const {
        static const QRegularExpression re(
            QStringLiteral("^fire module (\\d+) channel (\\d+) show (-?\\d+) ms"));
        std::map<QString, int> fires;
        for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const auto m = re.match(line);
            if (m.hasMatch()) {
                fires[m.captured(1) + QLatin1Char('/') + m.captured(2)] = m.captured(3).toInt();
            }
        }
        return fires;
    }

    std::shared_ptr<SimBus> bus;
};

TEST_F(CtlTimecodePlay, StartsAtTheTimecodesZeroAndFiresOnItsTime) {
    const QString wav = Wav(-1000, 2600);
    ASSERT_EQ(Play("0.3 3 1\n1.2 7 2\n", wav,
                   {QStringLiteral("--timecode-start"), QStringLiteral("01:00:00:00")}),
              0)
        << err.toStdString() << out.toStdString();
    const auto fires = Fires();
    ASSERT_EQ(fires.size(), 2u) << out.toStdString();
    EXPECT_NEAR(fires.at(QStringLiteral("3/1")), 300, 30);
    EXPECT_NEAR(fires.at(QStringLiteral("7/2")), 1200, 30);
    const QStringList log = LogLines();
    EXPECT_EQ(log.filter(QString::fromUtf8("Таймкод: синхронизация, кадров/с: 25")).size(), 1);
    EXPECT_EQ(log.filter(QString::fromUtf8("Таймкод: старт шоу")).size(), 1);
}

TEST_F(CtlTimecodePlay, ATimecodeAlreadyPastTheZeroSkipsTheEarlierCuesAndSaysSo) {
    const QString wav = Wav(1000, 1500);
    ASSERT_EQ(Play("0.5 3 1\n1.8 7 2\n", wav,
                   {QStringLiteral("--timecode-start"), QStringLiteral("01:00:00:00")}),
              0)
        << err.toStdString() << out.toStdString();
    const auto fires = Fires();
    ASSERT_EQ(fires.size(), 1u) << out.toStdString();
    EXPECT_NEAR(fires.at(QStringLiteral("7/2")), 1800, 30);
    const QStringList log = LogLines();
    EXPECT_EQ(log.filter(QString::fromUtf8("Таймкод: старт с середины шоу")).size(), 1);
    EXPECT_EQ(log.filter(QString::fromUtf8("Таймкод: пропущено, время: 0.500, пульт: 3, канал: 1"))
                  .size(),
              1);
}

// In autonomous control the modules' clocks start at the timecode's zero and follow it.
TEST_F(CtlTimecodePlay, AutonomousControlFollowsTheTimecode) {
    const QString wav = Wav(-1000, 2600);
    ASSERT_EQ(Play("0.3 3 1\n", wav,
                   {QStringLiteral("--timecode-start"), QStringLiteral("01:00:00:00"),
                    QStringLiteral("--autonomous"), QStringLiteral("--skip-script-check")}),
              0)
        << err.toStdString() << out.toStdString();
    const QStringList log = LogLines();
    EXPECT_EQ(log.filter(QString::fromUtf8("Таймкод: старт шоу")).size(), 1);
    EXPECT_EQ(log.filter(QString::fromUtf8("Запуск, пульт: 3, канал: 1")).size(), 1);
}

TEST_F(CtlTimecodePlay, OptionsThatDoNotGoWithTimecodeAreRefused) {
    const QString wav = Wav(0, 200);
    const QStringList start{QStringLiteral("--timecode-start"), QStringLiteral("01:00:00:00")};
    EXPECT_EQ(Play("1 3 1\n", wav, {}), 2);
    EXPECT_EQ(Play("1 3 1\n", wav, {QStringLiteral("--timecode-start"), QStringLiteral("1:0")}), 2);
    EXPECT_EQ(Play("1 3 1\n", wav, start + QStringList{QStringLiteral("--manual")}), 2);
    EXPECT_EQ(Play("1 3 1\n", wav, start + QStringList{QStringLiteral("--wait-external-start")}),
              2);
    EXPECT_EQ(
        Play("1 3 1\n", wav, start + QStringList{QStringLiteral("--from"), QStringLiteral("5")}),
        2);
    EXPECT_EQ(Play("1 3 1\n", wav,
                   start + QStringList{QStringLiteral("--timecode-loss"), QStringLiteral("maybe")}),
              2);
    EXPECT_EQ(Play("1 3 1\n", dir.file(QStringLiteral("none.wav")), start), 1);
}

}  // namespace
