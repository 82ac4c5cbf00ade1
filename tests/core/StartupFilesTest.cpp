#include <gtest/gtest.h>

#include "../devices/LogCapture.h"
#include "QtPrinters.h"
#include "TempDir.h"
#include "core/LogName.h"
#include "core/Settings.h"

namespace kv {
namespace {

TEST(NextLogFileName, TakesLowestFreeNumberOfTheDay) {
    TempDir dir;
    const QDate day(2026, 12, 8);
    EXPECT_EQ(NextLogFileName(dir.path(), day), dir.file(QStringLiteral("08.12.2026_0.log")));
    dir.write(QStringLiteral("08.12.2026_0.log"), "");
    dir.write(QStringLiteral("08.12.2026_1.log"), "");
    dir.write(QStringLiteral("08.12.2026_3.log"), "");
    dir.write(QStringLiteral("09.12.2026_2.log"), "");
    EXPECT_EQ(NextLogFileName(dir.path(), day), dir.file(QStringLiteral("08.12.2026_2.log")));
}

TEST(ConsoleSettings, MissingFileGivesDefaults) {
    TempDir dir;
    const ConsoleSettings s = ReadConsoleSettings(dir.file(QStringLiteral("kelvanex.ini")));
    EXPECT_EQ(s.StartKey, 116);
    EXPECT_EQ(s.ConnectResistLo, 1);
    EXPECT_EQ(s.ConnectResist, 20);
    EXPECT_EQ(s.ConnectResistHi, 200);
}

TEST(ConsoleSettings, ThresholdsReadLenientlyAndBadTextIsZero) {
    TempDir dir;
    const QString path = dir.write(QStringLiteral("kelvanex.ini"),
                                   "[Keys]\r\nstartbtn = 32\r\n[SETTINGS]\r\n"
                                   "ConnectResistLo=abc\r\nConnectResist=25,5\r\n"
                                   "ConnectResistHi=\r\n");
    const ConsoleSettings s = ReadConsoleSettings(path);
    EXPECT_EQ(s.StartKey, 32);
    EXPECT_EQ(s.ConnectResistLo, 0);
    EXPECT_DOUBLE_EQ(s.ConnectResist, 25.5);
    EXPECT_EQ(s.ConnectResistHi, 0);
    dir.write(QStringLiteral("kelvanex.ini"),
              "[settings]\nConnectResist=25.5\n[keys]\nStartBtn=x\n");
    const ConsoleSettings t = ReadConsoleSettings(path);
    EXPECT_DOUBLE_EQ(t.ConnectResist, 25.5);
    EXPECT_EQ(t.StartKey, 116);
    EXPECT_EQ(t.ConnectResistLo, 1);
}

TEST(ConsoleSettings, QuotedValuesReadAsTheirText) {
    TempDir dir;
    const QString path = dir.write(QStringLiteral("kelvanex.ini"),
                                   "[keys]\nStartBtn=\"32\"\n[settings]\nConnectResist=\"25.5\"\n"
                                   "ConnectResistLo='0,5'\nConnectResistHi=\"150\"\n");
    const ConsoleSettings s = ReadConsoleSettings(path);
    EXPECT_EQ(s.StartKey, 32);
    EXPECT_DOUBLE_EQ(s.ConnectResist, 25.5);
    EXPECT_DOUBLE_EQ(s.ConnectResistLo, 0.5);
    EXPECT_DOUBLE_EQ(s.ConnectResistHi, 150);
    EXPECT_TRUE(s.Unreadable.isEmpty());
}

// A value that is no number keeps its described result (0 for a threshold, the default for
// the start key, no overflow), and the log says once which key it was.
TEST(ConsoleSettings, UnreadableKeysAreLoggedOnce) {
    LogCapture log;
    TempDir dir;
    const QString path = dir.write(QStringLiteral("kelvanex.ini"),
                                   "[keys]\nStartBtn=-0x-80000000\n[settings]\n"
                                   "ConnectResist=abc\nConnectResistHi=\n");
    const ConsoleSettings s = ReadConsoleSettings(path);
    EXPECT_EQ(s.StartKey, 116);
    EXPECT_EQ(s.ConnectResist, 0);
    EXPECT_EQ(s.ConnectResistHi, 0);
    EXPECT_EQ(s.ConnectResistLo, 1);
    EXPECT_EQ(s.Unreadable, QStringList({QStringLiteral("[keys] StartBtn"),
                                         QStringLiteral("[settings] ConnectResist"),
                                         QStringLiteral("[settings] ConnectResistHi")}));
    const ConsoleSettings before = CurrentSettings();
    SetCurrentSettings(s);
    LogUnreadableSettings();
    LogUnreadableSettings();
    SetCurrentSettings(before);
    const QStringList lines = log.With(QStringLiteral("kelvanex.ini"));
    ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("[keys] StartBtn")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("[settings] ConnectResist")));
    EXPECT_EQ(log.With(QStringLiteral("ConnectResistLo")).size(), 0);
}

}  // namespace
}  // namespace kv
