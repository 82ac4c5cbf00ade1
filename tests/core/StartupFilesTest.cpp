#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kv
