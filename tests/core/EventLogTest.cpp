#include "core/EventLog.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
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
    for (const QString& line : lines) {
        EXPECT_TRUE(stamp.match(line).hasMatch()) << line.toStdString();
    }
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

TEST_F(EventLogTest, FirstFailureIsReportedOnceToTheHandler) {
    std::vector<LogFailure> told;
    SetLogFailureHandler([&told](const LogFailure& f) { told.push_back(f); });
    WriteLog(QStringLiteral("written"), 1);
    EXPECT_TRUE(told.empty());
    // A "logs" that is a file, not a folder.
    dir_.write(QStringLiteral("logs"), "x");
    SetLogFileName(dir_.file(QStringLiteral("logs/run.log")));
    WriteLog(QStringLiteral("lost"), 1);
    WriteLog(QStringLiteral("lost too"), 1);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].path, dir_.file(QStringLiteral("logs/run.log")));
    EXPECT_EQ(told[0].error, ENOTDIR);
    EXPECT_TRUE(LogFailureText(told[0]).startsWith(QStringLiteral("журнал не записывается: ")));
    ASSERT_TRUE(FirstLogFailure().has_value());
    EXPECT_EQ(FirstLogFailure()->error, ENOTDIR);

    // A handler set after the failure hears of it at once, and only once.
    int late = 0;
    SetLogFailureHandler([&late](const LogFailure&) { ++late; });
    WriteLog(QStringLiteral("still lost"), 1);
    EXPECT_EQ(late, 1);
    SetLogFailureHandler(nullptr);
}

TEST_F(EventLogTest, FullDiskIsReported) {
    std::optional<LogFailure> told;
    SetLogFailureHandler([&told](const LogFailure& f) { told = f; });
    SetLogFileName(QStringLiteral("/dev/full"));
    WriteLog(QStringLiteral("no room"), 1);
    EXPECT_TRUE(LogDisabled());
    ASSERT_TRUE(told.has_value());
    EXPECT_EQ(told->error, ENOSPC);
}

// A file size limit stands in for a full disk: the write stops part way through a line. The
// signal the limit raises would kill the program; ignored, the write fails and the log says so.
TEST_F(EventLogTest, LineIsWrittenWholeOrNotAtAll) {
    IgnoreFileSizeSignal();
    WriteLog(QStringLiteral("first"), 1);
    WriteLog(QStringLiteral("repeated"), 1);
    const QByteArray before = dir_.read(QStringLiteral("run.log"));
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tight = saved;
    // Room for a few more bytes, not for the " ( X 2 )" of the rewritten line.
    tight.rlim_cur = static_cast<rlim_t>(before.size() + 3);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    std::optional<LogFailure> told;
    SetLogFailureHandler([&told](const LogFailure& f) { told = f; });
    WriteLog(QStringLiteral("repeated"), 1);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_TRUE(LogDisabled());
    ASSERT_TRUE(told.has_value());
    EXPECT_EQ(told->error, EFBIG);
    EXPECT_EQ(dir_.read(QStringLiteral("run.log")), before)
        << "the repeated line is kept as it was";

    // A new line that does not fit leaves no part of itself.
    ResetEventLogForTesting();
    SetLogLevel(1);
    SetLogFileName(dir_.file(QStringLiteral("run.log")));
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    WriteLog(QStringLiteral("a line far longer than the three bytes left"), 1);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_TRUE(LogDisabled());
    EXPECT_EQ(dir_.read(QStringLiteral("run.log")), before);
}

TEST_F(EventLogTest, ConcurrentWritersLoseNoLine) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) {
                WriteLog(QStringLiteral("t%1 m%2").arg(t).arg(i), 1);
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
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
