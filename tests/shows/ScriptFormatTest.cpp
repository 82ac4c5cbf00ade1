#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <chrono>
#include <future>

#include "TempDir.h"
#include "devices/DeviceKinds.h"
#include "shows/ScriptParser.h"
#include "shows/TProjectList.h"
#include "shows/TProjects.h"
#include "util/TextEncoding.h"

using namespace kv;

namespace {

TScriptCue Line(const QString& text) {
    TScriptCue cue;
    EXPECT_TRUE(ParseScriptLine(text, cue)) << text.toStdString();
    return cue;
}

bool Rejects(const QString& text) {
    TScriptCue cue;
    return !ParseScriptLine(text, cue);
}

}  // namespace

TEST(ScriptTime, ClockForms) {
    EXPECT_EQ(ParseCueTime("75"), 75000);
    EXPECT_EQ(ParseCueTime("1:15"), 75000);
    EXPECT_EQ(ParseCueTime("5"), 5000);
    EXPECT_EQ(ParseCueTime("0:05"), 5000);
    EXPECT_EQ(ParseCueTime("0:00:05"), 5000);
    EXPECT_EQ(ParseCueTime("23:59:59"), 86399000);
    EXPECT_EQ(ParseCueTime("-2"), -2000);
    EXPECT_EQ(ParseCueTime("+3"), 3000);
    // Out of range parts and too many colons are unreadable, which is 0 and no error.
    EXPECT_EQ(ParseCueTime("0:60"), 0);
    EXPECT_EQ(ParseCueTime("24:00:00"), 0);
    EXPECT_EQ(ParseCueTime("1:2:3:4"), 0);
    EXPECT_EQ(ParseCueTime("1:"), 0);
    EXPECT_EQ(ParseCueTime(""), 0);
    EXPECT_EQ(ParseCueTime("abc"), 0);
    // Seconds that do not fit a 32-bit millisecond time do not wrap into some other time.
    EXPECT_EQ(ParseCueTime("3000000"), 0);
    EXPECT_EQ(ParseCueTime("2147483"), 2147483000);
}

TEST(ScriptTime, Fractions) {
    EXPECT_EQ(ParseCueTime("12.345"), 12345);
    EXPECT_EQ(ParseCueTime("3.7"), 3700);
    EXPECT_EQ(ParseCueTime("3.75"), 3750);
    // A fraction with anything but digits is a typo, not a time.
    EXPECT_EQ(ParseCueTime("3.7x"), 0);
    EXPECT_EQ(ParseCueTime("3.x5"), 0);
    EXPECT_EQ(ParseCueTime("3."), 3000);
    EXPECT_EQ(ParseCueTime("3.1234"), 3123);
    EXPECT_EQ(ParseCueTime("x.5"), 0);
    EXPECT_EQ(ParseCueTime("1:15.5"), 75500);
    EXPECT_EQ(ParseCueTime("0:60.5"), 0);
    // The fraction of a negative time lies further from zero.
    EXPECT_EQ(ParseCueTime("-2.5"), -2500);
}

TEST(ScriptTokenizer, BlanksAndRemainder) {
    QString line = "  \t12.5\t\t3  7 rest";
    EXPECT_EQ(NextToken(line), "12.5");
    EXPECT_EQ(line, "\t3  7 rest");
    EXPECT_EQ(NextToken(line), "3");
    EXPECT_EQ(NextToken(line), "7");
    EXPECT_EQ(line, "rest");
    EXPECT_EQ(NextToken(line), "rest");
    EXPECT_EQ(NextToken(line), "");
    EXPECT_TRUE(line.isEmpty());
}

TEST(ScriptLine, FireCueFieldsAndDescription) {
    const TScriptCue c = Line("1:02.5 7 1   Fountain  left\tignored text");
    EXPECT_EQ(c.TimeText, "1:02.5");
    EXPECT_EQ(c.Time, 62500);
    EXPECT_EQ(c.Module, 7);
    EXPECT_EQ(c.Channel, 0);
    EXPECT_EQ(c.Kind, ckFire);
    EXPECT_EQ(c.Description, "Fountain  left");

    EXPECT_EQ(Line("5 7 3").Description, "");
    EXPECT_EQ(Line("5 7 3\t\tafter tabs").Description, "after tabs");
    // Digits after the third of the fraction are ignored: a long time token that still reads.
    EXPECT_EQ(Line("5." + QString(40, '0') + " 1 1").TimeText.size(), kTimeTextLength);
    EXPECT_EQ(Line("1 1 1 " + QString(300, 'd')).Description.size(), kDescriptionLength);
    // Channels outside the module's channel arrays are kept as the file says.
    EXPECT_EQ(Line("1 1 600").Channel, 599);
    EXPECT_EQ(Line("1 1 0").Channel, -1);
}

// A time the loader cannot read would fire the cue at the show's zero: the line is refused.
TEST(ScriptLine, UnreadableTimesAreLoadErrors) {
    for (const char* t :
         {"soon",     "0:60",         "1:75",    "99999999999", "1e400",   "x.5",
          "0:60.5",   "24:00:00",     "1:2:3:4", "1:",          "2147484", "2147483.648",
          "-2147484", "-2147483.649", ".5",      "1.x",         "1..5",    "1.2.3",
          "2.5s",     "1:02.5x",      "0:05.-3", "3.7x",        "1.+5"}) {
        bool ok = true;
        EXPECT_EQ(ParseCueTime(QString::fromLatin1(t), &ok), 0) << t;
        EXPECT_FALSE(ok) << t;
        EXPECT_TRUE(Rejects(QString::fromLatin1(t) + " 1 1")) << t;
    }
    // What the grammar reads keeps loading as before.
    for (const auto& [t, ms] : std::initializer_list<std::pair<const char*, int32_t>>{
             {"5", 5000},
             {"0:05", 5000},
             {"3.7", 3700},
             {"3.", 3000},
             {"1:02.50000", 62500},
             {"-2", -2000},
             {"2147483.647", 2147483647},
             {"-2147483.648", -2147483647 - 1}}) {
        bool ok = false;
        EXPECT_EQ(ParseCueTime(QString::fromLatin1(t), &ok), ms) << t;
        EXPECT_TRUE(ok) << t;
        EXPECT_EQ(Line(QString::fromLatin1(t) + " 1 1").Time, ms) << t;
    }
    // The rotation time of a motor cue is a time too.
    EXPECT_TRUE(Rejects("10 20 #LT#0:60"));
    EXPECT_TRUE(Rejects("10 20 #RT#x.5#50"));
}

TEST(ScriptLine, MissingAndNonNumericFields) {
    EXPECT_TRUE(Rejects("   \t  "));  // a line of blanks has no module
    EXPECT_TRUE(Rejects("5"));
    EXPECT_TRUE(Rejects("5 7"));
    EXPECT_TRUE(Rejects("5 x 3"));
    EXPECT_TRUE(Rejects("5 7 3a"));
    EXPECT_TRUE(Rejects("5 7 99999999999"));
}

TEST(ScriptLine, MotorTokens) {
    TScriptCue c = Line("10 20 #c");
    EXPECT_EQ(c.Kind, ckCentre);
    EXPECT_EQ(c.Param1, 255);
    EXPECT_EQ(c.Param2, 0);
    EXPECT_EQ(c.Channel, 0);

    c = Line("10 20 #R#50 pan");
    EXPECT_EQ(c.Kind, ckRight);
    EXPECT_EQ(c.Param1, 127);
    EXPECT_EQ(c.Description, "pan");
    EXPECT_EQ(Line("10 20 #l#100").Param1, 255);
    EXPECT_EQ(Line("10 20 #L#0").Kind, ckLeft);

    c = Line("10 20 #LT");
    EXPECT_EQ(c.Kind, ckRotateLeft);
    EXPECT_EQ(c.Param1, 255);
    EXPECT_EQ(c.Param2, 255);
    c = Line("10 20 #LT#2.5#50");
    EXPECT_EQ(c.Param1, 25);
    EXPECT_EQ(c.Param2, 127);
    c = Line("10 20 #rt#1");
    EXPECT_EQ(c.Kind, ckRotateRight);
    EXPECT_EQ(c.Param1, 10);
    EXPECT_EQ(c.Param2, 255);

    // Speeds outside 0..100 % and rotations outside 0..25.5 s are load errors: held at the ends
    // they would move the motor otherwise than written, without a word.
    for (const char* t :
         {"10 20 #R#1000", "10 20 #R#101", "10 20 #L#-5", "10 20 #C#-1", "10 20 #RT#-1",
          "10 20 #LT#60", "10 20 #LT#25.6", "10 20 #LT#1#101", "10 20 #RT#1#-1"}) {
        EXPECT_TRUE(Rejects(QString::fromLatin1(t))) << t;
    }
    EXPECT_EQ(Line("10 20 #R#100").Param1, 255);
    EXPECT_EQ(Line("10 20 #R#0").Param1, 0);
    EXPECT_EQ(Line("10 20 #LT#25.5").Param1, 255);
    EXPECT_EQ(Line("10 20 #LT#0#0").Param2, 0);

    EXPECT_TRUE(Rejects("10 20 #X"));
    EXPECT_TRUE(Rejects("10 20 #"));
    EXPECT_TRUE(Rejects("10 20 #R#fast"));
    EXPECT_TRUE(Rejects("10 20 #C#"));
    EXPECT_TRUE(Rejects("10 20 #LT#1#half"));
}

class ScriptFileTest : public ::testing::Test {
protected:
    TempDir dir_;
    TProjectList list_;
};

TEST_F(ScriptFileTest, SortsStablyAndNamesTheProject) {
    const QString path = dir_.write("show.txt",
                                    "10 1 1 a\r\n"
                                    "5 2 1 b\r\n"
                                    "\r\n"
                                    "10 1 2 c\r\n"
                                    "5 2 2 d\r\n"
                                    "1 3 #C\r\n");
    EXPECT_FALSE(list_.LoadFromFile(path));
    EXPECT_EQ(list_.Name, "show.txt");
    ASSERT_EQ(list_.Count(), 5);
    QStringList order;
    for (int i = 0; i < list_.Count(); ++i) {
        order << list_.Cue(i).Description;
    }
    EXPECT_EQ(order, QStringList({"", "b", "d", "a", "c"}));
    EXPECT_EQ(list_.LastTime(), 10000);
    EXPECT_EQ(list_.FirstCueAtOrAfter(5000), 1);
    EXPECT_EQ(list_.FirstCueAtOrAfter(5001), 3);
    EXPECT_EQ(list_.FirstCueAtOrAfter(10001), 5);
}

TEST_F(ScriptFileTest, ErrorLineCountsEmptyLinesAndFreesEverything) {
    list_.LoadFromFile(dir_.write("good.txt", "1 1 1\n"));
    ASSERT_EQ(list_.Count(), 1);
    const QString path = dir_.write("bad.txt", "1 1 1\r\n\r\n\r\n2 2 2\r\n3 x 3\r\n4 4 4\r\n");
    const ScriptLoadError e = list_.LoadFromFile(path);
    EXPECT_EQ(e.kind, ScriptLoadError::Line);
    EXPECT_EQ(e.line, 5);
    EXPECT_EQ(e.message, QString::fromUtf8("Ошибка загрузки сценария (строка: 5). номер пульта "
                                           "«x» не число"));
    EXPECT_EQ(list_.Count(), 0);
    EXPECT_TRUE(list_.Name.isEmpty());
    EXPECT_EQ(list_.LastError().line, 5);

    const ScriptLoadError typo = list_.LoadFromFile(dir_.write("typo.txt", "0:05 1 1\n1:75 1 2\n"));
    EXPECT_EQ(typo.kind, ScriptLoadError::Line);
    EXPECT_EQ(typo.message, QString::fromUtf8("Ошибка загрузки сценария (строка: 2). время «1:75» "
                                              "не читается (пример: 5, 1:05.25, 0:01:05.250)"));
    EXPECT_EQ(list_.Count(), 0);
}

TEST(ScriptLine, LoadErrorsSayWhatIsWrong) {
    const auto reason = [](const char* line) {
        TScriptCue cue;
        QString why;
        EXPECT_FALSE(ParseScriptLine(QString::fromUtf8(line), cue, &why)) << line;
        return why.toStdString();
    };
    EXPECT_EQ(reason("1.x 3 2"), "время «1.x» не читается (пример: 5, 1:05.25, 0:01:05.250)");
    EXPECT_EQ(reason("5"), "нет номера пульта после времени");
    EXPECT_EQ(reason("5 three 2"), "номер пульта «three» не число");
    EXPECT_EQ(reason("5 3"), "нет номера канала после номера пульта");
    EXPECT_EQ(reason("5 3 2a"), "канал «2a» не число");
    EXPECT_EQ(reason("5 30 #R#1000"),
              "команда мотора «#R#1000» не читается (#C, #L#50, #R#50, #LT#2.5#50, #RT#2.5#50: "
              "скорость 0..100 %, время 0..25.5 с)");
}

TEST_F(ScriptFileTest, CueOfTheWrongKindForAModuleOnTheBusIsALoadErrorOfItsLine) {
    // Module 3 fires, module 30 drives motors, module 9 is not on the bus.
    list_.ModuleKindAt = [](int32_t address) {
        return address == 3 ? int{KindAutoControl} : address == 30 ? int{KindMotorControl} : -1;
    };
    ScriptLoadError e = list_.LoadFromBytes("1 3 2\n2 30 #C\n3 3 #L#50\n", "a.txt");
    EXPECT_EQ(e.line, 3);
    EXPECT_EQ(e.message, QString::fromUtf8("Ошибка загрузки сценария (строка: 3). команда мотора "
                                           "для пульта 3, а у него нет мотора"));
    EXPECT_EQ(list_.Count(), 0);
    e = list_.LoadFromBytes("1 30 2\n", "b.txt");
    EXPECT_EQ(e.line, 1);
    EXPECT_TRUE(e.message.endsWith(QString::fromUtf8("запуск канала для блока моторов 30")));
    // A module not on the bus now is not judged here.
    EXPECT_FALSE(list_.LoadFromBytes("1 9 #C\n2 9 4\n2 30 #RT#2.5#50\n", "c.txt"));
    EXPECT_EQ(list_.Count(), 3);
}

TEST_F(ScriptFileTest, EmptyLinesOnlyAndLineEnds) {
    EXPECT_FALSE(list_.LoadFromFile(dir_.write("empty.txt", "\r\n\r\n\n")));
    EXPECT_EQ(list_.Count(), 0);
    EXPECT_EQ(list_.Name, "empty.txt");
    EXPECT_EQ(list_.LastTime(), 0);

    // LF only, a lone CR and no end on the last line all end lines; a blank line fails on its
    // own number.
    EXPECT_FALSE(list_.LoadFromFile(dir_.write("mixed.txt", "1 1 1\n2 1 2\r3 1 3")));
    EXPECT_EQ(list_.Count(), 3);
    const ScriptLoadError e = list_.LoadFromFile(dir_.write("blank.txt", "1 1 1\n\n \n"));
    EXPECT_EQ(e.line, 3);
}

TEST_F(ScriptFileTest, Utf8And1251Descriptions) {
    const QString text = QString::fromUtf8("1 1 1 Залп\r\n");
    EXPECT_FALSE(list_.LoadFromFile(dir_.write("u.txt", text.toUtf8())));
    ASSERT_EQ(list_.Count(), 1);
    EXPECT_EQ(list_.Cue(0).Description, QString::fromUtf8("Залп"));
    EXPECT_FALSE(list_.LoadFromFile(dir_.write("w.txt", TextEncoding::ToCp1251(text))));
    ASSERT_EQ(list_.Count(), 1);
    EXPECT_EQ(list_.Cue(0).Description, QString::fromUtf8("Залп"));
}

TEST_F(ScriptFileTest, MissingFileIsAnIoFailure) {
    list_.LoadFromFile(dir_.write("good.txt", "1 1 1\n"));
    const ScriptLoadError e = list_.LoadFromFile(dir_.file("none.txt"));
    EXPECT_EQ(e.kind, ScriptLoadError::Io);
    EXPECT_EQ(e.line, 0);
    EXPECT_EQ(list_.Count(), 0);
    EXPECT_TRUE(list_.Name.isEmpty());
}

// A FIFO with no writer would block the loader (and the console's window) for ever, /dev/zero
// would fill the memory: what is no regular file is refused at once, and so is a file past the
// size limit.
TEST_F(ScriptFileTest, OnlyRegularFilesOfBoundedSizeAreRead) {
    const QString fifo = dir_.file("fifo.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto pending = std::async(std::launch::async, [&] { return list_.LoadFromFile(fifo); });
    if (pending.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Let the blocked reader go before failing, or the test would hang with it.
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        ::close(fd);
        pending.wait();
        FAIL() << "the load waited on a FIFO without a writer";
    }
    const ScriptLoadError e = pending.get();
    EXPECT_EQ(e.kind, ScriptLoadError::Io);
    EXPECT_TRUE(e.message.contains(QStringLiteral("not a regular file")))
        << e.message.toStdString();

    for (const QString& path : {QStringLiteral("/dev/zero"), dir_.path()}) {
        const ScriptLoadError d = list_.LoadFromFile(path);
        EXPECT_EQ(d.kind, ScriptLoadError::Io) << path.toStdString();
        EXPECT_TRUE(d.message.contains(QStringLiteral("not a regular file")))
            << d.message.toStdString();
    }

    // Empty lines: the limit itself is what is looked at here, not the loading of cues.
    const QByteArray big(TProjectList::kMaxScriptBytes + 1, '\n');
    const ScriptLoadError b = list_.LoadFromFile(dir_.write("big.txt", big));
    EXPECT_EQ(b.kind, ScriptLoadError::Io);
    EXPECT_TRUE(b.message.contains(QStringLiteral("larger than"))) << b.message.toStdString();
    EXPECT_FALSE(list_.LoadFromFile(dir_.write("fits.txt", big.left(big.size() - 1))));
}

TEST(ProjectSlots, EightIndependentSlots) {
    TProjects projects;
    EXPECT_EQ(projects.Count(), 8);
    projects.Project(3).Name = "three";
    EXPECT_TRUE(projects.Project(2).Name.isEmpty());
    EXPECT_EQ(projects.Project(3).Name, "three");
    EXPECT_THROW(projects.Project(8), std::out_of_range);
}
