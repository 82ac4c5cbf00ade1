// What the window marks of a show as it runs: each cue's outcome and the count of cues not sent,
// and which modules' values are out of date.
#include <gtest/gtest.h>

#include "console/CueOutcomes.h"
#include "console/DeviceFreshness.h"

namespace kv {
namespace {

using Outcome = CueOutcomes::Outcome;

TEST(CueOutcomesTest, CountFollowsTheMarksAsCuesAreDoneAndRunAgain) {
    CueOutcomes o;
    o.Reset(4);
    o.CueDone(0, Outcome::Sent);
    o.CueDone(1, Outcome::NotSent);
    o.CueDone(2, Outcome::NotSent);
    EXPECT_EQ(o.NotSentCount(), 2);
    EXPECT_EQ(o.At(1), Outcome::NotSent);
    EXPECT_EQ(o.At(3), Outcome::None);

    // A run from cue 2 sends cue 2 again: its old mark goes, cue 1 stays as it was.
    o.RunStarts(2);
    EXPECT_EQ(o.NotSentCount(), 1);
    EXPECT_EQ(o.At(2), Outcome::None);
    EXPECT_EQ(o.At(1), Outcome::NotSent);
    o.CueDone(2, Outcome::Sent);
    o.CueDone(1, Outcome::Sent);  // a mark replaced is not counted twice
    EXPECT_EQ(o.NotSentCount(), 0);

    // Indices off the script change nothing; a new script clears everything.
    o.CueDone(-1, Outcome::NotSent);
    o.CueDone(4, Outcome::NotSent);
    EXPECT_EQ(o.NotSentCount(), 0);
    o.CueDone(3, Outcome::NotSent);
    o.Reset(2);
    EXPECT_EQ(o.NotSentCount(), 0);
    EXPECT_EQ(o.At(0), Outcome::None);
    EXPECT_EQ(o.Count(), 2);
}

TEST(CueOutcomesTest, NotSentRowsAndCountStandOutSentRowsDoNot) {
    const CueRowLook bad = CueRowLookFor(Outcome::NotSent);
    EXPECT_TRUE(bad.Bold);
    EXPECT_EQ(bad.Background, QStringLiteral("#d00000"));
    EXPECT_FALSE(bad.Mark.isEmpty());
    const CueRowLook good = CueRowLookFor(Outcome::Sent);
    EXPECT_FALSE(good.Bold);
    EXPECT_NE(good.Mark, bad.Mark);
    EXPECT_TRUE(CueRowLookFor(Outcome::None).Mark.isEmpty());
    EXPECT_TRUE(CueRowLookFor(Outcome::None).Background.isEmpty());

    EXPECT_FALSE(NotSentLookFor(0).Alarm);
    EXPECT_TRUE(NotSentLookFor(14).Alarm);
    EXPECT_EQ(NotSentLookFor(14).Text, QStringLiteral("Не отправлено: 14"));
}

TEST(DeviceFreshnessTest, StaleAfterUnansweredPollsUntilTheModuleAnswers) {
    DeviceFreshness f;
    f.SetDevices({3, 7});
    for (int i = 1; i < DeviceFreshness::kStaleAfter; ++i) {
        f.Polled(3, false);
    }
    EXPECT_FALSE(f.Stale(3)) << "one lost answer is no stale module";
    f.Polled(3, false);
    EXPECT_TRUE(f.Stale(3));
    EXPECT_FALSE(f.Stale(7));
    EXPECT_EQ(f.StaleCount(), 1);
    f.Polled(3, true);
    EXPECT_FALSE(f.Stale(3));
    EXPECT_EQ(f.Misses(3), 0);
}

TEST(DeviceFreshnessTest, LostLinkMakesEveryModuleStaleAtOnceAndANewListForgets) {
    DeviceFreshness f;
    f.SetDevices({3, 7, 12});
    f.LinkLost();
    EXPECT_EQ(f.StaleCount(), 3);
    f.Polled(7, true);
    EXPECT_EQ(f.StaleCount(), 2);
    // After a search: 3 is gone, 12 keeps its state, 20 is new and fresh.
    f.SetDevices({12, 20});
    EXPECT_FALSE(f.Stale(3));
    EXPECT_TRUE(f.Stale(12));
    EXPECT_FALSE(f.Stale(20));
    EXPECT_EQ(f.StaleCount(), 1);
}

TEST(DeviceFreshnessTest, StaleRowKeepsAddressDropsTheOldFigures) {
    const QString fresh = QStringLiteral("  3. 16  12.45v  100%   +25") + QChar(0x00B0);
    const QString row = StaleRowText(fresh, 4, false);
    EXPECT_EQ(row.size(), 28);
    EXPECT_TRUE(row.startsWith(QStringLiteral("  3. 16 нет ответа: 4"))) << row.toStdString();
    EXPECT_FALSE(row.contains(QStringLiteral("12.45")));
    EXPECT_TRUE(StaleRowText(fresh, 3, true).contains(QStringLiteral("нет связи")));
    EXPECT_EQ(StaleRowText(fresh, 12345, false).size(), 28);
    EXPECT_EQ(StaleCountSuffix(0), QString());
    EXPECT_EQ(StaleCountSuffix(2), QStringLiteral("\nбез ответа: 2"));
}

}  // namespace
}  // namespace kv
