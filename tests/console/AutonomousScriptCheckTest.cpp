#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "ShowControlRig.h"
#include "bus/TPortProto.h"
#include "console/AutonomousArmCheck.h"
#include "console/AutonomousScriptCheck.h"
#include "devices/ScriptTransfer.h"
#include "shows/TProjectList.h"

using namespace kv;

namespace {

// Module 3 keeps one time per channel, 7 a slot list with unanswered writes, 12 the newest.
constexpr const char* kScript = "1 3 1\n2 12 2\n3 7 1\n4 12 3\n5 7 2\n";

struct CheckRig : ShowControlRig {
    CheckRig() {
        Register(3);
        Register(7);
        Register(12);
        LoadScript(kScript);
    }
    // A script as F8 writes it into the modules (the loaded one when none is given).
    void WriteAll(const QByteArray& text = kScript) {
        TProjectList list;
        ASSERT_FALSE(list.LoadFromBytes(text, QStringLiteral("other.txt")));
        std::vector<TScriptCue> cues;
        for (int i = 0; i < list.Count(); ++i) {
            cues.push_back(list.Cue(i));
        }
        ASSERT_EQ(transfer::WriteScript(Controls(), cues), 0);
    }
    QString Lines(const ScriptCheckResult& result) const {
        return ScriptCheckLines(result, show->CurrentProject()).join('|');
    }
};

}  // namespace

TEST(AutonomousScriptCheck, MatchingModulesPass) {
    CheckRig r;
    r.WriteAll();
    const ScriptCheckResult result = CheckModuleScripts(r.Controls(), r.show->CurrentProject());
    EXPECT_TRUE(result.Matches()) << r.Lines(result).toStdString();
    // Five cues, the slot after the last cue of 7 and 12, the 15 unused channels of 3.
    EXPECT_EQ(result.Reads, 22);
}

TEST(AutonomousScriptCheck, OneCueDifferingInOneModuleIsNamedWithItsModule) {
    CheckRig r;
    // The modules hold a script that differs from the loaded one by module 7's last cue.
    r.WriteAll("1 3 1\n2 12 2\n3 7 1\n4 12 3\n5.5 7 2\n");
    const ScriptCheckResult result = CheckModuleScripts(r.Controls(), r.show->CurrentProject());
    EXPECT_FALSE(result.Matches());
    EXPECT_EQ(result.Modules(), std::vector<int>{7});
    EXPECT_EQ(r.Lines(result).toStdString(),
              std::string("module 7: cue 5 (0:05.000, channel 2) differs"));
}

TEST(AutonomousScriptCheck, LeftoverCuesMissingModulesAndSilenceAreDifferences) {
    CheckRig r;
    // Module 12 holds a longer script and module 3 a cue on a channel this one leaves unused;
    // module 40 is scripted and absent; module 7 stops answering.
    r.WriteAll(QByteArray(kScript) + "9 12 10\n9 3 5\n");
    r.show->ToggleScript();  // clears the loaded script; the next click loads another
    r.LoadScript(QByteArray(kScript) + "6 40 1\n");
    ASSERT_EQ(r.show->CurrentProject().Count(), 6);
    {
        auto lock = r.bus->Lock();
        r.bus->Find(7)->SwitchOff();
    }
    const ScriptCheckResult result = CheckModuleScripts(r.Controls(), r.show->CurrentProject());
    EXPECT_EQ(r.Lines(result).toStdString(),
              std::string("module 3: holds cues the script does not have|"
                          "module 7: does not answer|"
                          "module 12: holds cues the script does not have|"
                          "module 40: not on the bus"));
}

TEST(AutonomousScriptCheck, TheProgressCancelStopsTheCheck) {
    CheckRig r;
    r.WriteAll();
    int reports = 0;
    r.Controls().OnTransferProgress = [&](int, int, bool& cancel, int, int) {
        cancel = ++reports == 2;
    };
    const ScriptCheckResult result = CheckModuleScripts(r.Controls(), r.show->CurrentProject());
    EXPECT_EQ(result.Result, ResultCancelled);
    EXPECT_FALSE(result.Matches());
    EXPECT_EQ(reports, 2);
}

namespace {

// The console's arming in autonomous control with the read-back in front of it.
struct ArmRig : CheckRig, ScriptWriter {
    bool WriteScript(const TProjectList&) override {
        ++writes;
        WriteAll();
        return true;
    }
    AutonomousArmCheck check{*wiring};
    QStringList asked;
    AutonomousArmCheck::Choice choice = AutonomousArmCheck::Choice::Cancel;
    bool confirm = false;
    int writes = 0;
    ArmRig() {
        show->SetArmCheck(&check);
        check.SetDialogs(dialogs);
        dialogs.Differences = [this](const QStringList& lines) {
            asked << lines;
            return choice;
        };
        dialogs.ArmAnyway = [this](const QString&) { return confirm; };
        check.SetWriter(this);
        player->ControlMode = TCommonPlayer::ControlAutonomous;
    }
};

}  // namespace

TEST(AutonomousArmCheck, ADifferingModuleKeepsTheConsoleWaitingUnlessTheOperatorSaysSo) {
    ArmRig r;
    r.WriteAll("1 3 1\n2 12 2\n3 7 1\n4 12 3\n5.5 7 2\n");
    r.show->ArmToggle();
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Waiting);
    EXPECT_EQ(r.asked, QStringList{"module 7: cue 5 (0:05.000, channel 2) differs"});
    EXPECT_FALSE(r.wiring->BusHeld());

    // Arm anyway, answered no, then yes: each answer is in the log.
    r.choice = AutonomousArmCheck::Choice::ArmAnyway;
    r.show->ArmToggle();
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Waiting);
    r.confirm = true;
    r.show->ArmToggle();
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Armed);
    EXPECT_EQ(r.log.With(QStringLiteral("Взвести пульт? - Нет")).size(), 1);
    EXPECT_EQ(r.log.With(QStringLiteral("Взвести пульт? - Да")).size(), 1);
}

TEST(AutonomousArmCheck, TheOfferedWriteIsReadBackBeforeArming) {
    ArmRig r;
    r.choice = AutonomousArmCheck::Choice::Write;
    r.show->ArmToggle();  // the modules hold nothing yet
    EXPECT_EQ(r.writes, 1);
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Armed);
    EXPECT_TRUE(r.check.LastResult().Matches());

    // Matching modules arm without a question; direct control reads nothing back.
    r.show->ArmToggle();
    r.asked.clear();
    r.show->ArmToggle();
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Armed);
    EXPECT_TRUE(r.asked.isEmpty());
    r.show->ArmToggle();
    r.player->ControlMode = TCommonPlayer::ControlDirect;
    r.WriteAll("1 3 1\n");  // the modules hold another script now
    r.choice = AutonomousArmCheck::Choice::Cancel;
    r.asked.clear();
    r.show->ArmToggle();
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Armed);
    EXPECT_TRUE(r.asked.isEmpty());
}
