// The console program ended by the system: SIGTERM, SIGINT and SIGHUP go through the window's
// close, so the log of the run ends with its closing lines, as after Ctrl+Alt+X.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include "BusSimProcess.h"
#include "TempDir.h"

namespace {

// The log of the one run in the folder's "logs", empty until it exists.
QString RunLog(const TempDir& dir) {
    const QDir logs(dir.file(QStringLiteral("logs")));
    const QStringList files = logs.entryList(QDir::Files);
    if (files.isEmpty()) {
        return {};
    }
    QFile f(logs.filePath(files.front()));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST(KelvaneSignals, EachTerminationSignalEndsTheRunWithTheClosingLines) {
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        // The program keeps its settings and logs beside itself: a copy in a folder of its own.
        TempDir dir;
        const QString binary = dir.file(QStringLiteral("kelvane"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KV_KELVANE_BINARY), binary));
        // A "logs" folder beside the copy keeps it in the portable layout.
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("logs")));
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        kvtest::BusSimProcess kelvane;
        ASSERT_TRUE(kelvane.Start(binary.toStdString(), {"--simulate"},
                                  dir.file(QStringLiteral("stderr.txt")).toStdString()));
        // Up when the bus is open (the simulated bus says so in the log).
        for (int i = 0; i < 300 && !RunLog(dir).contains(QStringLiteral("ИМИТАЦИЯ ШИНЫ")); ++i) {
            QThread::msleep(20);
        }
        ASSERT_TRUE(RunLog(dir).contains(QStringLiteral("ИМИТАЦИЯ ШИНЫ"))) << sig;
        QThread::msleep(200);
        EXPECT_EQ(kelvane.Stop(sig, 10000), 0) << "ended by the signal instead of closing";
        const QString log = RunLog(dir);
        const QString dashes = QString(44, QLatin1Char('-'));
        EXPECT_TRUE(log.contains(QStringLiteral("Выход из программы"))) << log.toStdString();
        EXPECT_TRUE(log.trimmed().endsWith(dashes)) << log.toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("Получен сигнал завершения"))) << log.toStdString();
    }
}

}  // namespace

namespace {

// Help and version on a machine without a display (an ssh session, a service's shell): the
// window system is never asked for, so nothing aborts.
TEST(KelvaneCommandLine, HelpAndVersionNeedNoDisplay) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(QString::fromLatin1(name));
    }
    const auto run = [&env](const QString& argument, QString& out) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KV_KELVANE_BINARY), {argument});
        EXPECT_TRUE(p.waitForFinished(20000)) << argument.toStdString();
        out = QString::fromLocal8Bit(p.readAllStandardOutput());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QString out;
    EXPECT_EQ(run(QStringLiteral("--help"), out), 0);
    EXPECT_TRUE(out.startsWith(QStringLiteral("usage: kelvane"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Files of this run:")));
    EXPECT_EQ(run(QStringLiteral("--version"), out), 0);
    EXPECT_TRUE(out.startsWith(QStringLiteral("kelvane "))) << out.toStdString();
}

}  // namespace
