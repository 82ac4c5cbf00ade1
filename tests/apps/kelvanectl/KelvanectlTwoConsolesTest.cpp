// Two consoles on one bus: kelvane-bussim serves the demo rig with a second terminal on each of
// its wires (--share), console A plays a show in autonomous control through the first two,
// console B sits on the other two. Both are kelvanectl processes, so each draws its own console
// ID, as two consoles on a real bus do. The shows run on the real clock over the paced bus.
#include <gtest/gtest.h>
#include <signal.h>
#include <algorithm>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>
#include <memory>
#include <optional>

#include "../bussim/BusSimProcess.h"
#include "TempDir.h"

namespace {

// A's show: four cues on the demo rig's firing modules over 3.5 s.
const char* const kShowA = "0.5 3 1\n1.5 7 3\n2.5 12 1\n3.5 3 2\n";
const char* const kShowEndA = "show ended at 3500 ms, 4 fired, 0 not sent";
// A stop from the bus: the red window's text is "Экстренная остановка!" (the tool prints this
// instead) and the log gets this line.
const char* const kStoppedPrinted = "stopped by an external stop command";
const char* const kStoppedLogged = "Получена внешняя команда остановки";
const char* const kFiresA[] = {"Запуск, пульт: 3, канал: 1", "Запуск, пульт: 7, канал: 3",
                               "Запуск, пульт: 12, канал: 1", "Запуск, пульт: 3, канал: 2"};

// One chunk of the traffic file.
struct WireFrame {
    double ms = 0;
    int converter = -1;
    QString direction;
    QList<int> bytes;
};

// One kelvanectl process with its own log folder.
class Console {
public:
    explicit Console(QString logDir) : logDir_(std::move(logDir)) {}
    ~Console() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }

    void Start(const QStringList& ports, const QStringList& command) {
        QStringList args{QStringLiteral("--log-dir"), logDir_};
        for (const QString& p : ports) {
            args << QStringLiteral("--port") << p;
        }
        process_.start(QStringLiteral(KV_KELVANECTL_BINARY), args + command);
    }
    // Reads the output until it holds text (false when the time runs out or the program ends).
    bool WaitFor(const QString& text, int ms) {
        QElapsedTimer timer;
        timer.start();
        while (!out_.contains(text)) {
            if (timer.elapsed() > ms || process_.state() == QProcess::NotRunning) {
                out_ += QString::fromUtf8(process_.readAllStandardOutput());
                return out_.contains(text);
            }
            process_.waitForReadyRead(50);
            out_ += QString::fromUtf8(process_.readAllStandardOutput());
        }
        return true;
    }
    // Ctrl+C, as the operator ends a watch.
    void Interrupt() { ::kill(static_cast<pid_t>(process_.processId()), SIGINT); }
    // The exit status; -1 when it did not end in time (it is then interrupted as Ctrl+C does,
    // and killed when that does not end it either).
    int Finish(int ms) {
        bool ended = process_.waitForFinished(ms);
        if (!ended) {
            ::kill(static_cast<pid_t>(process_.processId()), SIGINT);
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished();
            }
        }
        out_ += QString::fromUtf8(process_.readAllStandardOutput());
        err_ += QString::fromUtf8(process_.readAllStandardError());
        if (!ended) {
            return -1;
        }
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    const QString& Out() const { return out_; }
    // The console ID the tool printed ("console N watching ...", "console N waiting ...").
    std::optional<int> ConsoleId() const {
        static const QRegularExpression line(QStringLiteral("^console (\\d+) wa"),
                                             QRegularExpression::MultilineOption);
        const auto m = line.match(out_);
        return m.hasMatch() ? std::optional<int>(m.captured(1).toInt()) : std::nullopt;
    }
    std::string Report() const {
        return (out_ + err_ + QStringLiteral("--- log ---\n") + Log()).toStdString();
    }
    QString Log() const {
        QString all;
        const QDir logs(logDir_);
        for (const QString& name : logs.entryList(QDir::Files, QDir::Name)) {
            QFile f(logs.filePath(name));
            if (f.open(QIODevice::ReadOnly)) {
                all += QString::fromUtf8(f.readAll());
            }
        }
        return all;
    }

private:
    QString logDir_;
    QProcess process_;
    QString out_;
    QString err_;
};

class TwoConsoles : public ::testing::Test {
protected:
    // A fresh bus for one attempt: terminals 0 and 1 for A, 2 and 3 (on the same two wires) for
    // B, links and traffic in the attempt's folder.
    void StartBus(int attempt) {
        run_ = dir_.file(QStringLiteral("run%1").arg(attempt));
        ASSERT_TRUE(QDir().mkpath(run_));
        sim_ = std::make_unique<kvtest::BusSimProcess>();
        ASSERT_TRUE(sim_->Start(KV_BUSSIM_BINARY,
                                {"--demo", "--share", "0", "--share", "1", "--link",
                                 run_.toStdString(), "--traffic", Traffic().toStdString()},
                                (run_ + QStringLiteral("/bussim.err")).toStdString()));
        ASSERT_TRUE(sim_->WaitReady());
        ASSERT_EQ(sim_->Ports().size(), 4u);
        a_ = std::make_unique<Console>(run_ + QStringLiteral("/logsA"));
        b_ = std::make_unique<Console>(run_ + QStringLiteral("/logsB"));
    }
    void StopBus() { EXPECT_EQ(sim_->Stop(), 0); }
    // What each console printed and logged, once, when something failed.
    void ReportOnFailure() const {
        if (HasFailure()) {
            std::printf("=== console A ===\n%s\n=== console B ===\n%s\n", a_->Report().c_str(),
                        b_->Report().c_str());
        }
    }
    // A played its whole show: every cue, the end at the last cue, no stop from the bus.
    void ExpectAPlayedToTheEnd(int status) const {
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(a_->Out().contains(QLatin1String(kShowEndA))) << "A's show was cut short";
        EXPECT_FALSE(a_->Out().contains(QLatin1String(kStoppedPrinted)));
        const QString log = a_->Log();
        for (const char* fire : kFiresA) {
            EXPECT_TRUE(log.contains(QString::fromUtf8(fire))) << fire;
        }
        EXPECT_TRUE(log.contains(QStringLiteral("Остановка проекта")));
        EXPECT_FALSE(log.contains(QString::fromUtf8(kStoppedLogged)));
    }

    QStringList Ports(int first) const {
        return {run_ + QStringLiteral("/kvsim%1").arg(first),
                run_ + QStringLiteral("/kvsim%1").arg(first + 1)};
    }
    QString Script(const char* name, const char* text) const {
        const QString path = run_ + QLatin1Char('/') + QLatin1String(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }
    QString Traffic() const { return run_ + QStringLiteral("/traffic.txt"); }

    std::vector<WireFrame> Frames() const {
        std::vector<WireFrame> frames;
        QFile f(Traffic());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        for (const QByteArray& raw : f.readAll().split('\n')) {
            const QStringList words = QString::fromLatin1(raw).split(QLatin1Char(' '));
            if (words.size() < 4 || words[0].startsWith(QLatin1Char('#'))) {
                continue;
            }
            WireFrame w;
            w.ms = words[0].toDouble();
            w.converter = words[1].toInt();
            w.direction = words[2];
            for (int i = 3; i < words.size(); ++i) {
                w.bytes << words[i].toInt(nullptr, 16);
            }
            frames.push_back(w);
        }
        return frames;
    }
    // The first console frame with this code written by these converters.
    std::optional<WireFrame> FirstSent(int code, int conv1, int conv2) const {
        for (const WireFrame& w : Frames()) {
            if (w.direction == QLatin1String("tx") &&
                (w.converter == conv1 || w.converter == conv2) && w.bytes.size() >= 7 &&
                w.bytes[0] == code) {
                return w;
            }
        }
        return std::nullopt;
    }
    // A's show on the wire: from its first clock frame or announcement to its end announcement.
    std::pair<double, double> ShowOfA() const {
        const auto clock = FirstSent(0x90, 0, 1);
        const auto start = FirstSent(0x10, 0, 1);
        const auto end = FirstSent(0x11, 0, 1);
        EXPECT_TRUE(clock && start && end) << "A's show is not on the wire";
        if (!clock || !start || !end) {
            return {0, 0};
        }
        return {std::min(clock->ms, start->ms), end->ms};
    }
    // Clock frames with the run flag clear ("hold") that B wrote between from and to.
    QStringList HoldsFromB(double from, double to) const {
        QStringList holds;
        for (const WireFrame& w : Frames()) {
            if (w.direction == QLatin1String("tx") && (w.converter == 2 || w.converter == 3) &&
                w.bytes.size() >= 7 && w.bytes[0] == 0x90 && (w.bytes[3] & 0x80) == 0 &&
                w.ms >= from && w.ms <= to) {
                holds << QStringLiteral("%1 ms on converter %2").arg(w.ms).arg(w.converter);
            }
        }
        return holds;
    }
    // A's console ID, from its start announcement on the wire.
    std::optional<int> IdOfA() const {
        const auto announce = FirstSent(0x10, 0, 1);
        return announce ? std::optional<int>(announce->bytes[3]) : std::nullopt;
    }
    // Each process draws its console ID at random: when both drew the same, the run shows
    // nothing about two consoles and is made again.
    static bool SameIds(std::optional<int> a, std::optional<int> b) { return a && b && *a == *b; }

    TempDir dir_;
    QString run_;
    std::unique_ptr<kvtest::BusSimProcess> sim_;
    std::unique_ptr<Console> a_;
    std::unique_ptr<Console> b_;
};

constexpr int kAttempts = 3;

TEST_F(TwoConsoles, AnAutonomousShowPlaysToItsEndBesideAnIdleConsole) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        ASSERT_NO_FATAL_FAILURE(StartBus(attempt));
        // B sits idle until A's run is over (A's channel checks after its stop give B the time
        // to hear the stop). It polls no device: a console's write that meets another console's
        // frame on the wire takes that frame for its own echo and loses it, which would make
        // what B hears a matter of chance.
        b_->Start(Ports(2), {QStringLiteral("watch"), QStringLiteral("60")});
        ASSERT_TRUE(b_->WaitFor(QStringLiteral("watching the bus"), 10000)) << b_->Report();
        a_->Start(Ports(0),
                  {QStringLiteral("play"), Script("a.txt", kShowA), QStringLiteral("--arm"),
                   QStringLiteral("--autonomous"), QStringLiteral("--skip-script-check")});
        const int statusA = a_->Finish(20000);
        b_->Interrupt();
        const int statusB = b_->Finish(5000);
        StopBus();

        const auto idA = IdOfA();
        if (SameIds(idA, b_->ConsoleId()) && attempt + 1 < kAttempts) {
            continue;
        }

        ExpectAPlayedToTheEnd(statusA);
        // B heard A's show and took it for nobody's start command, nor its end for a stop.
        EXPECT_EQ(statusB, 0);
        EXPECT_TRUE(b_->Out().contains(
            QStringLiteral("console %1 announces its show start at 0 ms").arg(idA.value_or(-1))));
        EXPECT_GE(b_->Out().count(QStringLiteral(", running")), 3);
        // Both copies of a frame (one a wire) may not come through: A's show end in any form.
        EXPECT_TRUE(b_->Out().contains(QStringLiteral(" ms, stopped")) ||
                    b_->Out().contains(
                        QStringLiteral("console %1 announces its show end").arg(idA.value_or(-1))));
        const QString logB = b_->Log();
        EXPECT_FALSE(logB.contains(QStringLiteral("Внешняя команда запуска - отменено")));
        EXPECT_FALSE(logB.contains(QString::fromUtf8(kStoppedLogged)));
        EXPECT_FALSE(logB.contains(QStringLiteral("Остановка проекта"))) << "B played no show";
        // On the wire: no hold from B while A's show ran, and no clock stop of its own after it.
        const auto [from, to] = ShowOfA();
        EXPECT_EQ(HoldsFromB(from, to + 2000).join(QStringLiteral(", ")).toStdString(), "");
        ReportOnFailure();
        return;
    }
}

TEST_F(TwoConsoles, AConsoleThatComesOnTheBusDuringAnAutonomousShowLeavesItAlone) {
    // A longer show, so that B is up while A still sends its clock.
    const char* const show = "0.5 3 1\n2.5 7 3\n4.5 12 1\n6.5 3 2\n";
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        ASSERT_NO_FATAL_FAILURE(StartBus(attempt));
        a_->Start(Ports(0),
                  {QStringLiteral("play"), Script("a.txt", show), QStringLiteral("--arm"),
                   QStringLiteral("--autonomous"), QStringLiteral("--skip-script-check")});
        // B starts once A's show runs: it never hears A's start.
        ASSERT_TRUE(a_->WaitFor(QStringLiteral("fire module 3 channel 1"), 10000)) << a_->Report();
        b_->Start(Ports(2), {QStringLiteral("watch"), QStringLiteral("60")});
        const int statusA = a_->Finish(20000);
        b_->Interrupt();
        const int statusB = b_->Finish(5000);
        StopBus();

        const auto idA = IdOfA();
        if (SameIds(idA, b_->ConsoleId()) && attempt + 1 < kAttempts) {
            continue;
        }
        EXPECT_EQ(statusA, 0);
        EXPECT_TRUE(
            a_->Out().contains(QStringLiteral("show ended at 6500 ms, 4 fired, 0 not sent")))
            << "A's show was cut short";
        EXPECT_FALSE(a_->Out().contains(QLatin1String(kStoppedPrinted)));
        EXPECT_FALSE(a_->Log().contains(QString::fromUtf8(kStoppedLogged)));
        EXPECT_EQ(statusB, 0);
        // B heard A's show in the middle, and learnt whose it was.
        EXPECT_TRUE(
            b_->Out().contains(QStringLiteral("console %1 announces").arg(idA.value_or(-1))));
        EXPECT_GE(b_->Out().count(QStringLiteral(", running")), 1);
        EXPECT_FALSE(b_->Log().contains(QStringLiteral("Внешняя команда запуска - отменено")));
        const auto [from, to] = ShowOfA();
        EXPECT_EQ(HoldsFromB(from, to).join(QStringLiteral(", ")).toStdString(), "");
        ReportOnFailure();
        return;
    }
}

TEST_F(TwoConsoles, AConsoleWaitingForTheStartFollowsTheAutonomousShowWithoutStoppingIt) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        ASSERT_NO_FATAL_FAILURE(StartBus(attempt));
        // B's own cues, on other channels, between A's clock frames (a fire frame that meets one
        // on the wire fails its echo check); its last one after A's end.
        b_->Start(Ports(2),
                  {QStringLiteral("play"), Script("b.txt", "1.3 12 4\n2.6 7 4\n4.4 3 4\n"),
                   QStringLiteral("--arm"), QStringLiteral("--wait-external-start")});
        ASSERT_TRUE(b_->WaitFor(QStringLiteral("Ожидание команды запуска..."), 10000))
            << b_->Report();
        a_->Start(Ports(0),
                  {QStringLiteral("play"), Script("a.txt", kShowA), QStringLiteral("--arm"),
                   QStringLiteral("--autonomous"), QStringLiteral("--skip-script-check")});
        const int statusA = a_->Finish(20000);
        const int statusB = b_->Finish(8000);
        StopBus();

        if (SameIds(IdOfA(), b_->ConsoleId()) && attempt + 1 < kAttempts) {
            continue;
        }

        // B started from A's show clock and played its cues.
        EXPECT_TRUE(b_->Log().contains(QStringLiteral("Внешняя команда запуска, время:")));
        EXPECT_TRUE(b_->Out().contains(QStringLiteral("fire module 12 channel 4")));
        EXPECT_TRUE(b_->Out().contains(QStringLiteral("fire module 7 channel 4")));
        EXPECT_EQ(statusB, 0);
        // A was not stopped by it.
        ExpectAPlayedToTheEnd(statusA);
        // Up to A's own clock stop: B follows A's show, so that stop stops B too, and B's stop
        // sequence may reach the wire before A's end announcement does.
        const auto [from, to] = ShowOfA();
        double stopOfA = to;
        for (const WireFrame& w : Frames()) {
            if (w.direction == QLatin1String("tx") && (w.converter == 0 || w.converter == 1) &&
                w.bytes.size() >= 7 && w.bytes[0] == 0x90 && (w.bytes[3] & 0x80) == 0 &&
                w.ms >= from) {
                stopOfA = std::min(stopOfA, w.ms);
            }
        }
        EXPECT_EQ(HoldsFromB(from, stopOfA).join(QStringLiteral(", ")).toStdString(), "");
        ReportOnFailure();
        return;
    }
}

}  // namespace
