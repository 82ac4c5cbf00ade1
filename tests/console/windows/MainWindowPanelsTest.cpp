// The main window's panels and warning windows as drawn: the gauge's needle, the red window's
// timer rule, the present-warning dialog's keys, and the window's part of the key hook (what
// reaches the panels after a key) on an empty simulated bus.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "OwnedMainForm.h"
#include "TempDir.h"
#include "WindowTestBase.h"
#include "console/ConsoleWiring.h"
#include "console/KeyHook.h"
#include "console/ShowControl.h"
#include "console/windows/CommandButtons.h"
#include "console/windows/CueListView.h"
#include "console/windows/ManualKeyPanel.h"
#include "console/windows/PointerGauge.h"
#include "console/windows/SlotStrip.h"
#include "console/windows/StatusPanel.h"
#include "console/windows/TIndicator.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TPresentWarningForm.h"
#include "console/windows/TWarningForm.h"
#include "console/windows/TimePanel.h"
#include "core/EventLog.h"
#include "i18n/Localizer.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjects.h"
#include "sim/SimBus.h"

namespace kv {
namespace {

const QColor kNavy(0, 0, 128);

TEST(PointerGaugeTest, NeedleIsDrawnInNavyAtItsXAndNowhereElse) {
    PointerGauge gauge(PointerGauge::Scale::Centred);
    for (int x : {4, 64, 124}) {
        gauge.SetNeedleX(x);
        const QImage image = gauge.Render();
        // The needle's stem runs from y 4 to 19 at x; the triangles reach 4 pixels to each side.
        EXPECT_EQ(image.pixelColor(x, 10), kNavy) << x;
        EXPECT_EQ(image.pixelColor(x - 4, 0), kNavy) << x;
        EXPECT_EQ(image.pixelColor(x + 4, 23), kNavy) << x;
        EXPECT_NE(image.pixelColor(x + 8, 10), kNavy) << x;
    }
}

TEST(TWarningFormTest, SecondShowingReplacesTheTextButKeepsTheFirstDeadline) {
    TWarningForm form;
    form.ShowWarning(QStringLiteral("Экстренная остановка!"));
    ASSERT_TRUE(form.isVisible());
    ASSERT_TRUE(form.Timer().isActive());
    EXPECT_EQ(form.Timer().interval(), 10000);
    QTest::qWait(300);
    const int left = form.Timer().remainingTime();
    form.ShowWarning(QStringLiteral("второй"));
    EXPECT_EQ(form.Text(), QStringLiteral("второй"));
    EXPECT_LE(form.Timer().remainingTime(), left);

    // A key closes it and stops the timer; the next showing counts 10 s afresh.
    QTest::keyClick(&form, Qt::Key_A);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.Timer().isActive());
    form.ShowWarning(QStringLiteral("снова"));
    EXPECT_GT(form.Timer().remainingTime(), left);
    form.CloseWarning();
}

TEST(TPresentWarningFormTest, EnterContinuesAndEscCancels) {
    TPresentWarningForm form;
    QTimer::singleShot(0, &form, [&form] { QTest::keyClick(&form, Qt::Key_Return); });
    EXPECT_TRUE(form.Ask(QStringLiteral("В сценарии обнаружены неподключенные пульты..."),
                         QStringLiteral("4, 9")));
    EXPECT_EQ(form.Modules(), QStringLiteral("4, 9"));
    QTimer::singleShot(0, &form, [&form] { QTest::keyClick(&form, Qt::Key_Escape); });
    EXPECT_FALSE(form.Ask(QStringLiteral("x"), QStringLiteral("1")));
}

class MainWindowKeysTest : public WindowTestBase {
protected:
    void SetUp() override {
        WindowTestBase::SetUp();
        OwnedMainForm::Options options;
        options.programDir = dir_.path();
        options.backend = std::make_shared<SimBus>();
        options.rig = QStringLiteral("test");
        form_ = std::make_unique<OwnedMainForm>(options);
        form_->show();
        QApplication::setActiveWindow(form_.get());
    }
    void TearDown() override {
        form_.reset();
        WindowTestBase::TearDown();
    }

    // Loads a script into the current slot as the file dialog would.
    void Load(const QByteArray& script) {
        Owned(*form_).Dialogs().ScriptFile = [this, script] {
            dir_.write(QStringLiteral("show.txt"), script);
            return dir_.file(QStringLiteral("show.txt"));
        };
        form_->Session().Show().ToggleScript();
    }

    std::unique_ptr<TMainForm> form_;
};

TEST_F(MainWindowKeysTest, LoadingFillsCueListSlotAndButtons) {
    Load("0.5 3 2 first\n1:05.25 7 1\n");
    EXPECT_EQ(form_->Cues().rowCount(), 2);
    EXPECT_EQ(form_->Cues().item(1, 0)->text(), QStringLiteral("1:05.25"));
    EXPECT_EQ(form_->Cues().item(0, 2)->text(), QStringLiteral("2"));
    EXPECT_EQ(form_->Cues().item(0, 3)->text(), QStringLiteral("first"));
    EXPECT_TRUE(form_->Slots().IsCurrent(0));
    EXPECT_EQ(form_->Slots().ScriptText(0), QStringLiteral("0:01:05"));
    EXPECT_TRUE(form_->Buttons().BeginBtn->isEnabled());
    EXPECT_FALSE(form_->Buttons().StartBtn->isEnabled());

    // F1 arms: the start button comes on and "Работа" replaces "Ожидание".
    EXPECT_TRUE(form_->KeyDown(vk::F1));
    EXPECT_EQ(form_->Session().State().LaunchState, ConsoleState::Armed);
    EXPECT_TRUE(form_->Buttons().StartBtn->isEnabled());
    EXPECT_EQ(form_->Status().LookOf(StatusPanel::Lamp::Work), TShape::Look::On);
    EXPECT_FALSE(form_->Buttons().ProjectBtn->isEnabled());
    // Esc disarms.
    EXPECT_TRUE(form_->KeyDown(vk::Escape));
    EXPECT_EQ(form_->Session().State().LaunchState, ConsoleState::Waiting);
    EXPECT_EQ(form_->Status().LookOf(StatusPanel::Lamp::Wait), TShape::Look::On);
}

TEST_F(MainWindowKeysTest, TempoAndOffsetKeysReachLabelsAndGauges) {
    for (int i = 0; i < 5; ++i) {
        form_->KeyDown(vk::Multiply);
    }
    EXPECT_EQ(form_->Times().TempoLabel()->text(), QStringLiteral("+0.5%"));
    EXPECT_EQ(form_->Times().TempoGauge()->NeedleX(), 67);
    for (int i = 0; i < 3; ++i) {
        form_->KeyDown(vk::Subtract);
    }
    EXPECT_EQ(form_->Times().OffsetLabel()->text(), QStringLiteral("-150 мс"));
    EXPECT_EQ(form_->Times().DistanceLabel()->text(), QStringLiteral("~50 м"));
    EXPECT_EQ(form_->Times().OffsetGauge()->NeedleX(), 62);
}

TEST_F(MainWindowKeysTest, WorkModeShowsTheManualKeyboardAndSlotKeysChangeSlots) {
    EXPECT_FALSE(form_->ManualKeys().isVisible());
    form_->FindAction(QStringLiteral("ModeAction"))->trigger();
    EXPECT_TRUE(form_->ManualKeys().isVisible());
    EXPECT_EQ(form_->Status().LookOf(StatusPanel::Lamp::WorkManual), TShape::Look::On);
    // No module selected: every key idle, light grey with a grey letter.
    EXPECT_EQ(form_->ManualKeys().Key(0).shape, QColor(166, 166, 166));
    EXPECT_EQ(form_->ManualKeys().Key(39).letter, QColor(128, 128, 128));

    Load("1 3 1\n");
    EXPECT_TRUE(form_->KeyDown('3'));
    EXPECT_EQ(form_->Session().State().CurrentSlot, 2);
    EXPECT_TRUE(form_->Slots().IsCurrent(2));
    EXPECT_EQ(form_->Cues().rowCount(), 0);
    // Each slot keeps its own modes: slot 2 starts automatic.
    EXPECT_FALSE(form_->ManualKeys().isVisible());
    EXPECT_TRUE(form_->KeyDown('1'));
    EXPECT_EQ(form_->Cues().rowCount(), 1);
    EXPECT_TRUE(form_->ManualKeys().isVisible());
}

TEST_F(MainWindowKeysTest, AnyKeyClosesTheRedWindowAndActsOnlyInTheActiveMainWindow) {
    form_->WarningForm().ShowWarning(QStringLiteral("Экстренная остановка!"));
    ASSERT_TRUE(form_->WarningForm().isVisible());
    form_->KeyDown(vk::F1);
    EXPECT_FALSE(form_->WarningForm().isVisible());
}

TEST_F(MainWindowKeysTest, ExternalStopShowsTheRedWindowAndLogsIt) {
    Load("60 3 1\n");
    form_->KeyDown(vk::F1);
    form_->Session().Player().Start(0);
    ASSERT_TRUE(form_->Session().Player().IsPlaying());
    form_->Session().Wiring().HandleFrame(BusFrame{0x90, 0, 50, 0x00, 0, 0}, 0);
    EXPECT_FALSE(form_->Session().Player().IsPlaying());
    EXPECT_TRUE(form_->WarningForm().isVisible());
    EXPECT_EQ(form_->WarningForm().Text(), QStringLiteral("Экстренная остановка!"));
    form_->WarningForm().CloseWarning();
}

TEST(MainWindowLogTest, ALogThatCannotBeWrittenIsShownInRedAndBesideTheVersion) {
    ResetEventLogForTesting();
    ResetLocalizerForTesting();
    TempDir dir;
    SetLanguageFilePath(dir.file(QStringLiteral("kelvanex.lng")));
    // "logs" is a file: no log can be made there.
    dir.write(QStringLiteral("logs"), "not a folder");
    OwnedMainForm::Options options;
    options.programDir = dir.path();
    options.backend = std::make_shared<SimBus>();
    {
        OwnedMainForm form(options);
        form.show();
        QApplication::processEvents();
        EXPECT_TRUE(form.WarningForm().isVisible());
        EXPECT_TRUE(form.WarningForm().Text().contains(QStringLiteral("журнал не записывается")));
        const QLabel* version = form.findChild<QLabel*>(QStringLiteral("VersionLabel"));
        EXPECT_TRUE(version->text().contains(QStringLiteral("журнал не записывается")));
        form.WarningForm().CloseWarning();
    }
    ResetEventLogForTesting();
    ResetLocalizerForTesting();
}

}  // namespace
}  // namespace kv
