#include <gtest/gtest.h>

#include <QFileInfo>

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

// Two programs started at the same moment must not share a file: the name is taken by creating
// the file, so a second call finds it taken even before anything was written to it.
TEST(NextLogFileName, EachCallClaimsAFileOfItsOwn) {
    TempDir dir;
    const QDate day(2026, 12, 8);
    const QString first = NextLogFileName(dir.path(), day);
    const QString second = NextLogFileName(dir.path(), day);
    EXPECT_NE(first, second);
    EXPECT_TRUE(QFileInfo::exists(first));
    EXPECT_EQ(second, dir.file(QStringLiteral("08.12.2026_1.log")));
    EXPECT_EQ(NextLogFileName(dir.file(QStringLiteral("missing")), day),
              dir.file(QStringLiteral("missing/08.12.2026_0.log")))
        << "a folder that cannot take the file still gets its name";
}

TEST(ConsoleSettings, MissingFileGivesDefaults) {
    TempDir dir;
    const ConsoleSettings s = ReadConsoleSettings(dir.file(QStringLiteral("kelvanex.ini")));
    EXPECT_EQ(s.StartKey, 116);
    EXPECT_EQ(s.ConnectResistLo, 1);
    EXPECT_EQ(s.ConnectResist, 20);
    EXPECT_EQ(s.ConnectResistHi, 200);
}

TEST(ConsoleSettings, ThresholdsReadLenientlyAndBadTextKeepsTheDefault) {
    TempDir dir;
    const QString path = dir.write(QStringLiteral("kelvanex.ini"),
                                   "[Keys]\r\nstartbtn = 32\r\n[SETTINGS]\r\n"
                                   "ConnectResistLo=abc\r\nConnectResist=25,5\r\n"
                                   "ConnectResistHi=\r\n");
    const ConsoleSettings s = ReadConsoleSettings(path);
    EXPECT_EQ(s.StartKey, 32);
    EXPECT_EQ(s.ConnectResistLo, 1);
    EXPECT_DOUBLE_EQ(s.ConnectResist, 25.5);
    EXPECT_EQ(s.ConnectResistHi, 200);
    EXPECT_TRUE(s.Invalid.isEmpty());
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

// A value that is no number keeps its default (no overflow either), and the log says once
// which key it was.
TEST(ConsoleSettings, UnreadableKeysAreLoggedOnce) {
    LogCapture log;
    TempDir dir;
    const QString path = dir.write(QStringLiteral("kelvanex.ini"),
                                   "[keys]\nStartBtn=-0x-80000000\n[settings]\n"
                                   "ConnectResist=abc\nConnectResistHi=\n");
    const ConsoleSettings s = ReadConsoleSettings(path);
    EXPECT_EQ(s.StartKey, 116);
    EXPECT_EQ(s.ConnectResist, 20);
    EXPECT_EQ(s.ConnectResistHi, 200);
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

// Values that overflow or are no number at all keep their defaults; bands that cannot tell a
// good igniter from an open or shorted channel are refused with the key named.
TEST(ConsoleSettings, ThresholdsThatMakeNoBandsAreRefused) {
    TempDir dir;
    const QString path = dir.file(QStringLiteral("kelvanex.ini"));
    dir.write(QStringLiteral("kelvanex.ini"),
              "[settings]\nConnectResistLo=nan\nConnectResist=1e309\nConnectResistHi=-inf\n");
    const ConsoleSettings s = ReadConsoleSettings(path);
    EXPECT_EQ(s.ConnectResistLo, 1);
    EXPECT_EQ(s.ConnectResist, 20);
    EXPECT_EQ(s.ConnectResistHi, 200);
    EXPECT_EQ(s.Unreadable.size(), 3);
    EXPECT_TRUE(s.Invalid.isEmpty()) << s.Invalid.join('\n').toStdString();

    const struct {
        const char* text;
        const char* key;
    } bad[] = {
        {"ConnectResist=1e300\n", "ConnectResist=1e+300"},
        {"ConnectResistLo=-1\n", "ConnectResistLo=-1"},
        {"ConnectResist=0.5\n", "ConnectResist=0.5"},
        {"ConnectResistHi=20\n", "ConnectResistHi=20"},
        {"ConnectResistHi=7000\n", "ConnectResistHi=7000"},
    };
    for (const auto& b : bad) {
        dir.write(QStringLiteral("kelvanex.ini"), QByteArray("[settings]\n") + b.text);
        const ConsoleSettings t = ReadConsoleSettings(path);
        ASSERT_FALSE(t.Invalid.isEmpty()) << b.text;
        EXPECT_TRUE(t.Invalid.join('\n').contains(QString::fromLatin1(b.key)))
            << t.Invalid.join('\n').toStdString();
        EXPECT_EQ(t.ConnectResist, 20) << "the tests use the defaults, not half a setting";
        EXPECT_EQ(t.ConnectResistHi, 200);
    }
    dir.write(QStringLiteral("kelvanex.ini"),
              "[settings]\nConnectResistLo=0\nConnectResist=6000\nConnectResistHi=6553.5\n");
    EXPECT_TRUE(ReadConsoleSettings(path).Invalid.isEmpty());
}

}  // namespace
}  // namespace kv
