#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include "TempDir.h"
#include "console/ShowRecord.h"
#include "console/ShowReport.h"
#include "devices/DeviceKinds.h"
#include "devices/TScriptCue.h"

namespace kv {
namespace {

ShowRecordCue Cue(int32_t time, int32_t module, int32_t channel, int32_t kind = ckFire) {
    ShowRecordCue c;
    c.Time = time;
    c.Module = module;
    c.Channel = channel;
    c.Kind = kind;
    return c;
}

ShowRecordHeader Header(int32_t startPoint = 0) {
    ShowRecordHeader h;
    h.Started = QDateTime(QDate(2026, 12, 10), QTime(20, 15, 3));
    h.ConsoleId = 77;
    h.Slot = 2;
    h.ScriptFile = QStringLiteral("/shows/finale.txt");
    h.ScriptSha256 = QStringLiteral("ab12");
    h.StartPoint = startPoint;
    return h;
}

QStringList CsvLines(const ShowRecord& r) {
    QString text = QString::fromUtf8(ShowReportCsv(r));
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    text.chop(2);
    return text.split(QStringLiteral("\r\n"));
}

TEST(ShowRecordTest, OutcomesEndAndChecksMakeTheRows) {
    ShowRecord r;
    std::vector<ShowRecordCue> cues{Cue(500, 3, 0),          Cue(1000, 3, 1), Cue(2000, 4, 0),
                                    Cue(2500, 9, 0, ckLeft), Cue(3000, 3, 2), Cue(4000, 3, 3)};
    cues[1].Before = Continuity::Connected;
    cues[2].Before = Continuity::Unconnected;
    r.Begin(Header(800), cues);
    // Before the start point: skipped from the first moment.
    EXPECT_EQ(r.Cues()[0].Result, CueResult::Skipped);
    r.CueSent(1, 1012);
    r.CueNotSent(2, QStringLiteral("нет ответа, модуль"));
    r.CueSent(3, 2503);
    r.CueSent(4, 2990);
    // A late duplicate outcome does not turn a sent cue into anything else.
    r.CueNotSent(1, QStringLiteral("x"));
    r.CueSent(99, 1);
    r.Changed({2600, ShowChange::What::Tempo, 1100});
    r.End(ShowEnd::StopKey, 3500);
    r.Checked(3, 1, CheckAfter::Fired);
    r.Checked(3, 2, CheckAfter::NoAnswer);
    // A channel that was never sent has no check to speak of.
    r.Checked(4, 0, CheckAfter::Intact);

    const QStringList lines = CsvLines(r);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[0], QLatin1String(kShowReportColumns));
    EXPECT_EQ(lines[1], QStringLiteral("1,500,3,1,fire,,,skipped,,"));
    EXPECT_EQ(lines[2], QStringLiteral("2,1000,3,2,fire,1012,12,sent,fired,connected"));
    EXPECT_EQ(lines[3],
              QStringLiteral("3,2000,4,1,fire,,,\"not_sent(нет ответа, модуль)\",,unconnected"));
    EXPECT_EQ(lines[4], QStringLiteral("4,2500,9,,left,2503,3,sent,,"));
    EXPECT_EQ(lines[5], QStringLiteral("5,3000,3,3,fire,2990,-10,sent,no_answer,"));
    EXPECT_EQ(lines[6], QStringLiteral("6,4000,3,4,fire,,,skipped,,"));

    const ShowCounts n = r.Counts();
    EXPECT_EQ(n.Cues, 6);
    EXPECT_EQ(n.Sent, 3);
    EXPECT_EQ(n.NotSent, 1);
    EXPECT_EQ(n.Skipped, 2);
    EXPECT_EQ(n.CheckedFired, 1);
    EXPECT_EQ(n.ChecksFailed, 1);
    EXPECT_EQ(r.Header().End, ShowEnd::StopKey);
    ASSERT_EQ(r.Header().Changes.size(), 1u);

    // A second end (the stop after the end, say) keeps the first one's cause.
    r.End(ShowEnd::ExternalStop, 9000);
    EXPECT_EQ(r.Header().End, ShowEnd::StopKey);
    EXPECT_EQ(r.Header().EndPosition, 3500);
}

TEST(ShowRecordTest, AutonomousCuesHaveNoSentTimeButTheirCheck) {
    ShowRecord r;
    ShowRecordHeader h = Header();
    h.Autonomous = true;
    r.Begin(h, {Cue(100, 5, 0), Cue(200, 5, 1)});
    r.CueAutonomous(0);
    r.End(ShowEnd::ScriptEnd, 200);
    r.Checked(5, 0, CheckAfter::Intact);
    const QStringList lines = CsvLines(r);
    EXPECT_EQ(lines[1], QStringLiteral("1,100,5,1,fire,,,autonomous,intact,"));
    EXPECT_EQ(lines[2], QStringLiteral("2,200,5,2,fire,,,skipped,,"));
}

TEST(ShowRecordTest, ChannelStatesMapToTheReportWords) {
    EXPECT_EQ(ContinuityOf(ChannelUnknown), Continuity::None);
    EXPECT_EQ(ContinuityWord(ContinuityOf(ChannelConnected)), QStringLiteral("connected"));
    EXPECT_EQ(ContinuityWord(ContinuityOf(ChannelNotConnected)), QStringLiteral("unconnected"));
    EXPECT_EQ(ContinuityWord(ContinuityOf(ChannelError)), QStringLiteral("error"));
    EXPECT_EQ(CheckAfterOf(ChannelNotConnected, true), CheckAfter::Fired);
    EXPECT_EQ(CheckAfterOf(ChannelConnected, true), CheckAfter::Intact);
    EXPECT_EQ(CheckAfterOf(ChannelError, true), CheckAfter::Error);
    // An unanswered check says nothing of the igniter, whatever state the channel was left in.
    EXPECT_EQ(CheckAfterOf(ChannelError, false), CheckAfter::NoAnswer);
    EXPECT_EQ(CheckAfterOf(ChannelNotConnected, false), CheckAfter::NoAnswer);
    EXPECT_EQ(ShowReportBaseName(Header().Started, 2), QStringLiteral("2026-12-10_20-15-03_slot3"));
}

ShowRecord ExampleShow(int cues) {
    ShowRecord r;
    std::vector<ShowRecordCue> list;
    for (int i = 0; i < cues; ++i) {
        list.push_back(Cue(1000 + i * 250, 1 + i % 5, i % 16));
    }
    r.Begin(Header(), list);
    for (int i = 0; i < cues; ++i) {
        if (i % 7 == 3) {
            r.CueNotSent(i, QStringLiteral("модуль не найден"));
        } else if (i < cues - 10) {
            r.CueSent(i, 1000 + i * 250 + (i % 11) * 3);
        }
    }
    r.End(ShowEnd::ExternalStop, 1000 + (cues - 10) * 250);
    for (int i = 0; i < cues; ++i) {
        r.Checked(1 + i % 5, i % 16, i % 13 == 0 ? CheckAfter::Intact : CheckAfter::Fired);
    }
    return r;
}

TEST(ShowReportPdfTest, PagesCarryTheHeaderPlotAndEveryExceptionalCue) {
    const ShowRecord r = ExampleShow(400);
    const std::vector<QImage> pages = ShowReportPageImages(r);
    // Some 60 cues not sent or not fired: the table runs past the first page.
    ASSERT_GE(pages.size(), 2u);
    const QImage& first = pages.front();
    // The plot's points are drawn in blue: the first page holds them.
    int blue = 0;
    for (int y = 0; y < first.height(); y += 2) {
        for (int x = 0; x < first.width(); x += 2) {
            const QRgb p = first.pixel(x, y);
            blue += qBlue(p) > 150 && qRed(p) < 80 ? 1 : 0;
        }
    }
    EXPECT_GT(blue, 100);
    // The table starts under the plot, on the first page: drawn in black, not in the plot's
    // state.
    int darkBelow = 0;
    for (int y = first.height() * 3 / 4; y < first.height(); y += 4) {
        for (int x = 0; x < first.width(); x += 4) {
            darkBelow += qGray(first.pixel(x, y)) < 100 ? 1 : 0;
        }
    }
    EXPECT_GT(darkBelow, 50);
    // The last page is not empty: the table goes on there.
    const QImage& last = pages.back();
    int dark = 0;
    for (int y = 0; y < last.height(); y += 4) {
        for (int x = 0; x < last.width(); x += 4) {
            dark += qGray(last.pixel(x, y)) < 100 ? 1 : 0;
        }
    }
    EXPECT_GT(dark, 50);
    const QString png = qEnvironmentVariable("KV_SHOW_REPORT_PNG");
    if (!png.isEmpty()) {
        for (size_t i = 0; i < pages.size(); ++i) {
            pages[i].save(png.arg(i + 1));
        }
    }
}

TEST(ShowReportPdfTest, TheTableHoldsEveryCueThatNeedsALook) {
    ShowRecord r;
    std::vector<ShowRecordCue> cues{Cue(100, 1, 0), Cue(200, 1, 1), Cue(300, 1, 2), Cue(400, 1, 3),
                                    Cue(500, 1, 4)};
    cues[1].Before = Continuity::Unconnected;
    cues[2].Before = Continuity::Connected;
    r.Begin(Header(), cues);
    for (int i = 0; i < 4; ++i) {
        r.CueSent(i, 100 * (i + 1));
    }
    r.End(ShowEnd::StopKey, 450);
    r.Checked(1, 0, CheckAfter::Fired);
    r.Checked(1, 1, CheckAfter::Fired);  // open before, open after: nothing shows it burnt
    r.Checked(1, 2, CheckAfter::Fired);
    r.Checked(1, 3, CheckAfter::Intact);
    EXPECT_EQ(ShowReportTableCues(r), (std::vector<int>{1, 3, 4}));
}

TEST(ShowReportPdfTest, WritesAPdfAndTheCsvByTheName) {
    TempDir dir;
    const ShowRecord r = ExampleShow(30);
    QString error;
    ASSERT_TRUE(WriteShowReport(r, dir.file(QStringLiteral("show.PDF")), &error))
        << error.toStdString();
    ASSERT_TRUE(WriteShowReport(r, dir.file(QStringLiteral("show.csv")), &error))
        << error.toStdString();
    QFile pdf(dir.file(QStringLiteral("show.PDF")));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF"));
    QFile csv(dir.file(QStringLiteral("show.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll(), ShowReportCsv(r));
    // A folder that cannot be written is a failure with its reason, never a silent success.
    EXPECT_FALSE(WriteShowReport(r, dir.file(QStringLiteral("missing/show.csv")), &error));
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
}  // namespace kv
