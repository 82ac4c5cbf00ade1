#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "QtPrinters.h"
#include "ShowControlRig.h"
#include "console/ShowRecorder.h"
#include "console/ShowReport.h"
#include "devices/ChannelClassifier.h"
#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "sim/SimFiringModule.h"

using namespace kv;

namespace {

// The channel test of the test page for one channel (0-based): measure and classify.
void TestChannel(ShowControlRig& r, int address, int channel) {
    auto* m = dynamic_cast<TCommonControl*>(r.Controls().FindByAddress(address));
    ASSERT_NE(m, nullptr);
    double value = 0;
    ASSERT_EQ(m->MeasureChannel(channel, value), 0);
    ClassifyMeasurement(*m, channel, value, ResistanceThresholds{});
}

// One tick of the show at show time t (ms after the start tick).
void TickAt(ShowControlRig& r, uint32_t startTick, uint32_t t) {
    r.clock.Set(startTick + t);
    r.player->Tick();
}

QStringList Rows(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    QString text = QString::fromUtf8(f.readAll());
    text.chop(2);
    return text.split(QStringLiteral("\r\n"));
}

// Drops the sent and lateness columns, which depend on how long each exchange took.
QString WithoutTimes(const QString& row) {
    QStringList cells = row.split(QLatin1Char(','));
    if (cells.size() >= 7) {
        cells[5] = cells[5].isEmpty() ? QString() : QStringLiteral("S");
        cells[6] = cells[6].isEmpty() ? QString() : QStringLiteral("L");
    }
    return cells.join(QLatin1Char(','));
}

}  // namespace

// A show on the simulated bus: a module that stops answering half-way, a stop in the middle,
// a cue on a channel with no igniter and one on a module that is not on the bus.
TEST(ShowRecorder, AShowWithAFailingModuleAndAStopIsReportedCueByCue) {
    ShowControlRig r;
    ASSERT_NE(r.Register(3), nullptr);
    ASSERT_NE(r.Register(7), nullptr);
    ASSERT_NE(r.Register(12), nullptr);
    {
        auto lock = r.bus->Lock();
        r.bus->FindAs<SimFiringModule>(12)->SetOhms(2, kSimOpenOhms);
    }
    // Module 12 was tested before the show; 3 and 7 were not.
    TestChannel(r, 12, 0);
    TestChannel(r, 12, 2);
    r.player->Thresholds = ResistanceThresholds{};
    r.LoadScript("1 3 1\n1 12 1\n2 12 3\n3 7 1\n4 7 2\n4.5 50 1\n5 3 2\n8 3 3\n");
    ASSERT_EQ(r.show->CurrentProject().Count(), 8);

    ShowRecorder recorder(*r.show);
    recorder.ReportsDir = r.dir.file(QStringLiteral("reports"));
    int writes = 0;
    QObject::connect(&recorder, &ShowRecorder::ReportWritten,
                     [&](const ShowRecord&, const QStringList&) { ++writes; });

    r.show->ArmToggle();
    const uint32_t t0 = r.clock.TickCount();
    ASSERT_TRUE(r.show->Start());
    for (uint32_t t : {1000u, 2000u, 3000u}) {
        TickAt(r, t0, t);
    }
    {
        auto lock = r.bus->Lock();
        r.bus->Find(7)->SwitchOff();
    }
    for (uint32_t t : {4000u, 4500u, 5000u, 6000u}) {
        TickAt(r, t0, t);
    }
    r.show->Stop();
    ASSERT_FALSE(r.show->Playing());
    EXPECT_EQ(writes, 0);  // from the event loop, once the stop is over
    QCoreApplication::processEvents();
    EXPECT_EQ(writes, 1);
    ASSERT_EQ(recorder.LastFiles().size(), 2);
    const QString csv = recorder.LastFiles()[0];
    EXPECT_TRUE(csv.endsWith(QStringLiteral("_slot1.csv"))) << csv.toStdString();
    EXPECT_TRUE(QFile::exists(recorder.LastFiles()[1]));
    // Written at the stop: nothing checked yet.
    EXPECT_EQ(WithoutTimes(Rows(csv)[1]), QStringLiteral("1,1000,3,1,fire,S,L,sent,,"));

    // The check after the show, from the idle cycle.
    for (int i = 0; i < 60 && r.player->HasPendingChecks(); ++i) {
        r.clock.Advance(500);
        r.wiring->PollStep();
        QCoreApplication::processEvents();
    }
    ASSERT_FALSE(r.player->HasPendingChecks());
    EXPECT_EQ(writes, 2);

    const QStringList rows = Rows(csv);
    ASSERT_EQ(rows.size(), 9);
    EXPECT_EQ(rows[0], QLatin1String(kShowReportColumns));
    QStringList plain;
    for (const QString& row : rows.mid(1)) {
        plain << WithoutTimes(row);
    }
    EXPECT_EQ(plain, (QStringList{
                         "1,1000,3,1,fire,S,L,sent,fired,",
                         "2,1000,12,1,fire,S,L,sent,fired,connected",
                         // No igniter: the test page said so before the show.
                         "3,2000,12,3,fire,S,L,sent,fired,unconnected",
                         "4,3000,7,1,fire,S,L,sent,no_answer,",
                         "5,4000,7,2,fire,S,L,sent,no_answer,",
                         "6,4500,50,1,fire,,,not_sent(модуль не найден),,",
                         "7,5000,3,2,fire,S,L,sent,fired,",
                         "8,8000,3,3,fire,,,skipped,,",
                     }))
        << rows.join(QLatin1Char('\n')).toStdString();
    // Sent at its time: the tick ran at the cue's time, so it is late only by the exchanges
    // before it in the same tick.
    EXPECT_EQ(rows[1].split(QLatin1Char(','))[5], QStringLiteral("1000"));
    const int lateness = rows[2].split(QLatin1Char(','))[6].toInt();
    EXPECT_GE(lateness, 0);
    EXPECT_LT(lateness, 100);

    const ShowRecord& record = recorder.Record();
    EXPECT_EQ(record.Header().End, ShowEnd::StopKey);
    EXPECT_EQ(record.Header().EndPosition, 6000);
    EXPECT_EQ(record.Header().Slot, 0);
    EXPECT_EQ(record.Header().ScriptSha256.size(), 64);
    const ShowCounts n = record.Counts();
    EXPECT_EQ(n.Sent, 6);
    EXPECT_EQ(n.NotSent, 1);
    EXPECT_EQ(n.Skipped, 1);
    EXPECT_EQ(n.ChecksFailed, 2);
}

TEST(ShowRecorder, TheEndOfTheScriptAndAnExternalStopAreTold) {
    ShowControlRig r;
    ASSERT_NE(r.Register(3), nullptr);
    r.LoadScript("1 3 1\n2 3 2\n");
    ShowRecorder recorder(*r.show);
    r.show->ArmToggle();
    uint32_t t0 = r.clock.TickCount();
    ASSERT_TRUE(r.show->Start());
    TickAt(r, t0, 1000);
    r.show->TempoStep(5);
    TickAt(r, t0, 2000);
    TickAt(r, t0, 2600);
    ASSERT_FALSE(r.show->Playing());
    EXPECT_EQ(recorder.Record().Header().End, ShowEnd::ScriptEnd);
    ASSERT_EQ(recorder.Record().Header().Changes.size(), 1u);
    EXPECT_EQ(recorder.Record().Header().Changes[0].Value, 1005);

    // The next show, stopped by another console's clock stop.
    r.show->Rewind();
    t0 = r.clock.TickCount();
    ASSERT_TRUE(r.show->Start());
    TickAt(r, t0, 1000);
    r.OtherConsole(
        [](SimConsole& c, SimTimeUs now, SimSegment& s) { c.BroadcastStop(1000, now, s); });
    r.PumpUntil([&] { return !r.show->Playing(); });
    ASSERT_FALSE(r.show->Playing());
    EXPECT_EQ(recorder.Record().Header().End, ShowEnd::ExternalStop);
    EXPECT_EQ(CueResultWord(recorder.Record().Cues()[1].Result), QStringLiteral("skipped"));
    // The window's own hooks still run behind the recorder.
    EXPECT_FALSE(r.redWindow.isEmpty());
}

TEST(ShowRecorder, CuesFiredByHandInTheManualWorkModeAreSent) {
    ShowControlRig r;
    ASSERT_NE(r.Register(3), nullptr);
    r.LoadScript("1 3 1\n2 3 2\n3 3 3\n");
    ShowRecorder recorder(*r.show);
    r.player->WorkMode = TCommonPlayer::WorkManual;
    r.show->ArmToggle();
    ASSERT_TRUE(r.show->Start());
    r.show->StepFire();  // F7: the first cue
    r.show->StepFire();  // and the second
    r.show->Stop();
    const auto& cues = recorder.Record().Cues();
    EXPECT_EQ(cues[0].Result, CueResult::Sent);
    EXPECT_EQ(cues[1].Result, CueResult::Sent);
    EXPECT_EQ(cues[2].Result, CueResult::Skipped);
}

TEST(ShowRecorder, AShowStartedBeforeTheLastReportWasWrittenLeavesBothReports) {
    ShowControlRig r;
    ASSERT_NE(r.Register(3), nullptr);
    r.LoadScript("1 3 1\n2 3 2\n");
    QStringList written;
    {
        ShowRecorder recorder(*r.show);
        recorder.ReportsDir = r.dir.file(QStringLiteral("reports"));
        recorder.WritePdf = false;
        QObject::connect(&recorder, &ShowRecorder::ReportWritten,
                         [&](const ShowRecord& record, const QStringList&) {
                             written << CueResultWord(record.Cues()[0].Result);
                         });
        r.show->ArmToggle();
        ASSERT_TRUE(r.show->Start());
        r.show->Stop();
        // Started again before the event loop ran: the first show's report is written first.
        ASSERT_TRUE(r.show->Start());
        EXPECT_EQ(written, QStringList{QStringLiteral("skipped")});
        r.show->Stop();
        // Closed before the event loop ran: the second show's report is still written.
    }
    EXPECT_EQ(written.size(), 2);
}
