#include "core/EventLog.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QRegularExpression>
#include <thread>
#include <vector>

#include "QtPrinters.h"
#include "TempDir.h"

namespace kv {
namespace {

class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetEventLogForTesting();
        SetLogLevel(1);
        SetLogFileName(dir_.file(QStringLiteral("run.log")));
    }
    void TearDown() override { ResetEventLogForTesting(); }

    QStringList Lines() const {
        QString text = QString::fromUtf8(dir_.read(QStringLiteral("run.log")));
        QStringList lines = text.split(QStringLiteral("\r\n"));
        EXPECT_EQ(lines.last(), QString()) << "every line ends with CR LF";
        lines.removeLast();
        return lines;
    }
    // The line without its time stamp.
    static QString Body(const QString& line) { return line.section(QStringLiteral(": "), 1); }

    TempDir dir_;
};

TEST_F(EventLogTest, RepeatsCollapseIntoOneLineWithCounter) {
    WriteLog(QStringLiteral("Поиск..."), 1);
    WriteLog(QStringLiteral("Поиск..."), 1);
    WriteLog(QStringLiteral("Поиск..."), 1);
    WriteLog(QStringLiteral("Ожидание"), 1);
    WriteLog(QStringLiteral("Поиск..."), 1);
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(Body(lines[0]), QStringLiteral("Поиск... ( X 3 )"));
    EXPECT_EQ(Body(lines[1]), QStringLiteral("Ожидание"));
    EXPECT_EQ(Body(lines[2]), QStringLiteral("Поиск..."));
    static const QRegularExpression stamp(
        QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4}( \\d{1,2}:\\d\\d:\\d\\d)?: "));
    for (const QString& line : lines)
        EXPECT_TRUE(stamp.match(line).hasMatch()) << line.toStdString();
}

TEST_F(EventLogTest, CaseMattersAndEmptyRepeatWritesNothing) {
    WriteLog(QStringLiteral("a"), 1);
    WriteLog(QStringLiteral("A"), 1);
    WriteLog(QString(), 1);
    WriteLog(QString(), 1);
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(Body(lines[1]), QStringLiteral("A"));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(": ")));
}

TEST_F(EventLogTest, LevelFilter) {
    WriteLog(QStringLiteral("zero"), 0);
    WriteLog(QStringLiteral("two"), 2);
    WriteLog(QStringLiteral("one"), 1);
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(Body(lines[0]), QStringLiteral("one"));
}

TEST_F(EventLogTest, MissingDirectoryDisablesForTheRun) {
    SetLogFileName(dir_.file(QStringLiteral("logs/run.log")));
    WriteLog(QStringLiteral("lost"), 1);
    EXPECT_TRUE(LogDisabled());
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("logs")));
    WriteLog(QStringLiteral("not retried"), 1);
    EXPECT_FALSE(QFileInfo::exists(dir_.file(QStringLiteral("logs/run.log"))));
}

TEST_F(EventLogTest, FileHeldByAnotherWriterDisables) {
    WriteLog(QStringLiteral("first"), 1);
    const int fd =
        ::open(QFile::encodeName(dir_.file(QStringLiteral("run.log"))).constData(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    WriteLog(QStringLiteral("second"), 1);
    ::close(fd);
    EXPECT_TRUE(LogDisabled());
    EXPECT_EQ(Lines().size(), 1);
}

TEST_F(EventLogTest, ConcurrentWritersLoseNoLine) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i)
                WriteLog(QStringLiteral("t%1 m%2").arg(t).arg(i), 1);
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(Lines().size(), 200);
}

TEST(LogTimeStamp, RussianShortDateAndLongTimeMidnightWithoutTime) {
    const QDate d(2026, 3, 7);
    EXPECT_EQ(LogTimeStamp(QDateTime(d, QTime(9, 5, 3))), QStringLiteral("07.03.2026 9:05:03"));
    EXPECT_EQ(LogTimeStamp(QDateTime(d, QTime(23, 59, 59))), QStringLiteral("07.03.2026 23:59:59"));
    EXPECT_EQ(LogTimeStamp(QDateTime(d, QTime(0, 0))), QStringLiteral("07.03.2026"));
    EXPECT_EQ(LogTimeStamp(QDateTime(d, QTime(0, 0, 1))), QStringLiteral("07.03.2026 0:00:01"));
}

}  // namespace
}  // namespace kv
