// Shows that must end, and end safely, when the operator's terminal or the bus goes away: the
// kelvanectl program on kelvane-bussim's pseudo-terminals, stopped by a signal or left without
// its converter in the middle of a show.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <memory>
#include <vector>

#include "../bussim/BusSimProcess.h"
#include "TempDir.h"

namespace {

// A firing module and an HV module; the HV module is what must not be left charged.
const char* const kRig =
    "bus pacing=off seed=5\n"
    "converter serial=STOP-A\n"
    "module address=5 version=46B channels=8 ohms=2.2\n"
    "hv address=20 version=46B channels=4 ohms=2.5 energy=15\n";

// One cue at once, the rest long after: the test acts in between.
const char* const kShow = "0.2 5 1\n0.3 20 1\n20 5 2\n21 5 3\n22 20 2\n";

const char* const kStopLogged = "Остановка проекта";

// One kelvanectl process on the simulator's terminals.
class Ctl {
public:
    ~Ctl() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    void Start(const QString& logDir, const std::vector<std::string>& ports,
               const QStringList& command) {
        QStringList args{QStringLiteral("--log-dir"), logDir};
        for (const auto& p : ports) {
            args << QStringLiteral("--port") << QString::fromStdString(p);
        }
        process_.start(QStringLiteral(KV_KELVANECTL_BINARY), args + command);
        process_.waitForStarted();
    }
    bool WaitFor(const QString& text, int ms) {
        QElapsedTimer timer;
        timer.start();
        while (!out_.contains(text) && timer.elapsed() < ms &&
               process_.state() != QProcess::NotRunning) {
            process_.waitForReadyRead(50);
            out_ += QString::fromUtf8(process_.readAllStandardOutput());
        }
        out_ += QString::fromUtf8(process_.readAllStandardOutput());
        return out_.contains(text);
    }
    void Signal(int sig) { ::kill(static_cast<pid_t>(process_.processId()), sig); }
    // The exit status; -1 when it did not end in time (it is then killed) or was killed.
    int Finish(int ms) {
        const bool ended = process_.waitForFinished(ms);
        if (!ended) {
            process_.kill();
            process_.waitForFinished();
        }
        out_ += QString::fromUtf8(process_.readAllStandardOutput());
        err_ += QString::fromUtf8(process_.readAllStandardError());
        return ended && process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    const QString& Out() const { return out_; }
    const QString& Err() const { return err_; }

private:
    QProcess process_;
    QString out_;
    QString err_;
};

class CtlStops : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Start(KV_BUSSIM_BINARY,
                              {"--no-pacing", dir.write("stop.rig", kRig).toStdString()},
                              dir.file("bussim.err").toStdString()));
        ASSERT_TRUE(sim.WaitReady());
        show = dir.write("show.txt", kShow);
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
    // A new run with an empty log folder.
    void Fresh() {
        ctl = std::make_unique<Ctl>();
        QDir(dir.file("logs")).removeRecursively();
    }
    std::string Report() const {
        return (ctl->Out() + ctl->Err() + QStringLiteral("--- log ---\n") + Log()).toStdString();
    }

    TempDir dir;
    kvtest::BusSimProcess sim;
    QString show;
    std::unique_ptr<Ctl> ctl = std::make_unique<Ctl>();
};

}  // namespace

// A closed terminal, `kill` and Ctrl+C all stop the show as the stop key does: the clock stop,
// the end announcement and the HV reset go out, the log says so, and the cues left are counted.
TEST_F(CtlStops, EveryStopSignalRunsTheStopSequence) {
    for (const int sig : {SIGHUP, SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        Fresh();
        ctl->Start(dir.file("logs"), sim.Paths(), {"play", show, "--arm"});
        ASSERT_TRUE(ctl->WaitFor(QStringLiteral("fire module 20 channel 1"), 15000)) << Report();
        ctl->Signal(sig);
        EXPECT_EQ(ctl->Finish(15000), 1) << Report();
        EXPECT_TRUE(Log().contains(QString::fromUtf8(kStopLogged))) << Report();
        EXPECT_TRUE(ctl->Out().contains(QStringLiteral("2 fired, 0 not sent, 3 not played")))
            << Report();
        EXPECT_TRUE(ctl->Err().contains(QStringLiteral("3 cue(s) not played"))) << Report();
    }
}

// Stopped while it waits for another console's start: the start block logged gets its end.
TEST_F(CtlStops, StopWhileWaitingForTheExternalStartEndsTheStartBlock) {
    for (const int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig);
        Fresh();
        ctl->Start(dir.file("logs"), sim.Paths(), {"play", show, "--arm", "--wait-external-start"});
        ASSERT_TRUE(ctl->WaitFor(QStringLiteral("waiting for the start"), 15000)) << Report();
        QThread::msleep(300);
        ctl->Signal(sig);
        EXPECT_EQ(ctl->Finish(15000), 1) << Report();
        EXPECT_TRUE(Log().contains(QString::fromUtf8(kStopLogged))) << Report();
        EXPECT_TRUE(ctl->Out().contains(QStringLiteral("0 fired, 0 not sent, 5 not played")))
            << Report();
    }
}

// The only converter goes for good in the middle of a show: the cues left are not sent, the
// fired channels that cannot be measured are reported so, and the run ends with its summary.
TEST_F(CtlStops, AShowWhoseBusVanishesEndsWithItsSummary) {
    // Firing cues only: nothing to prepare on the HV module, whose measurement a loaded machine
    // can delay past its window.
    const QString firing = dir.write("firing.txt", "0.2 5 1\n0.3 5 2\n20 5 3\n21 5 4\n22 5 5\n");
    ctl->Start(dir.file("logs"), sim.Paths(), {"play", firing, "--arm"});
    ASSERT_TRUE(ctl->WaitFor(QStringLiteral("fire module 5 channel 2"), 15000)) << Report();
    // Holding the terminals keeps their numbers taken: a pseudo-terminal another program opens
    // meanwhile must not turn up under the vanished converter's path.
    std::vector<int> held;
    for (const auto& path : sim.Paths()) {
        held.push_back(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    }
    EXPECT_EQ(sim.Stop(SIGKILL), 128 + SIGKILL);
    QElapsedTimer timer;
    timer.start();
    // The cues left fall due 20 s into the show; the checks give up some seconds later.
    EXPECT_EQ(ctl->Finish(60000), 1) << Report();
    EXPECT_LT(timer.elapsed(), 45000);
    EXPECT_TRUE(ctl->Out().contains(QStringLiteral("not measured module 5 channel 1"))) << Report();
    EXPECT_TRUE(ctl->Out().contains(QStringLiteral("not measured module 5 channel 2"))) << Report();
    EXPECT_TRUE(ctl->Out().contains(QStringLiteral("2 fired, 3 not sent"))) << Report();
    for (const int fd : held) {
        ::close(fd);
    }
}

// A signal during the charge wait of a manual HV fire: nothing fires, and the module is reset
// instead of being left charged.
TEST_F(CtlStops, AStopDuringTheHvChargeWaitFiresNothingAndResets) {
    ctl->Start(dir.file("logs"), sim.Paths(), {"fire", "20", "1", "--arm"});
    ASSERT_TRUE(ctl->WaitFor(QStringLiteral("charging module 20"), 15000)) << Report();
    ctl->Signal(SIGTERM);
    EXPECT_EQ(ctl->Finish(15000), 1) << Report();
    EXPECT_TRUE(ctl->Err().contains(QStringLiteral("stopped by SIGTERM before the fire")))
        << Report();
    EXPECT_FALSE(ctl->Out().contains(QStringLiteral("fired:"))) << Report();
    EXPECT_FALSE(Log().contains(QStringLiteral("Ручной запуск"))) << Report();
}
