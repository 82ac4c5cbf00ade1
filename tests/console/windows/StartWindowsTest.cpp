// The start condition dialog and the countdown window, driven inside their modal loops: a
// passed time is refused and nothing starts, the countdown only says OK once it has run to zero,
// and the wait for the external start command is cleared by "Отмена".
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <QTimeEdit>
#include <QTimer>
#include <functional>
#include <memory>

#include "TempDir.h"
#include "WindowTestBase.h"
#include "console/ConsoleWiring.h"
#include "console/windows/TExtStartForm.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TTimerForm.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "i18n/Localizer.h"
#include "shows/TExtPlayer.h"
#include "sim/SimBus.h"

namespace kv {
namespace {

constexpr int32_t kNoon = 12 * 3600 * 1000;

// Runs `step` once the modal loop that is about to start processes events.
void Later(std::function<void()> step) {
    QTimer::singleShot(0, std::move(step));
}

class StartWindowsTest : public WindowTestBase {
protected:
    void AtNoon(TExtStartForm& form) {
        form.CurrentMsOfDay = [] { return kNoon; };
        form.ShowMessage = [this](const QString&, const QString& text) { messages_ << text; };
    }

    FakeClock clock_{100000};
    ScopedClock scopedClock_{clock_};
    QStringList messages_;
};

TEST_F(StartWindowsTest, ReopenedDialogGivesTheFocusToTheCheckedChoice) {
    // The dialog is kept between uses: the first key must never land on a button the last
    // operator happened to leave the focus on.
    TExtStartForm form;
    AtNoon(form);
    QWidget* focused = nullptr;
    Later([&] {
        form.CancelBtn->setFocus();
        form.CancelBtn->click();
    });
    EXPECT_EQ(form.Ask(), TExtStartForm::Choice::Cancelled);
    Later([&] {
        focused = form.focusWidget();
        form.RadioButton1->setChecked(true);
        form.StartBtn->setFocus();
        form.CancelBtn->click();
    });
    EXPECT_EQ(form.Ask(), TExtStartForm::Choice::Cancelled);
    EXPECT_EQ(focused, form.RadioButton2);
    Later([&] {
        focused = form.focusWidget();
        form.CancelBtn->click();
    });
    form.Ask();
    EXPECT_EQ(focused, form.RadioButton1);
}

TEST_F(StartWindowsTest, PassedTimeIsRefusedAndTheOperatorPicksAgain) {
    TExtStartForm form;
    AtNoon(form);
    bool stillOpen = false;
    Later([&] {
        EXPECT_TRUE(form.RadioButton2->isChecked()) << "the external command is the first choice";
        EXPECT_EQ(form.DateTimePicker1->time(), QTime(12, 0));
        form.RadioButton1->setChecked(true);
        for (const QTime& passed : {QTime(11, 59, 59), QTime(12, 0)}) {
            form.DateTimePicker1->setTime(passed);
            form.StartBtn->click();
        }
        stillOpen = form.isVisible();
        form.DateTimePicker1->setTime(QTime(12, 0, 30));
        form.StartBtn->click();
    });
    EXPECT_EQ(form.Ask(), TExtStartForm::Choice::Clock);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(messages_, QStringList({CountdownPassedMessage(), CountdownPassedMessage()}));
    EXPECT_EQ(form.Plan().targetTick, 100000u + 30000u);

    Later([&] { form.CancelBtn->click(); });
    EXPECT_EQ(form.Ask(), TExtStartForm::Choice::Cancelled);
}

TEST_F(StartWindowsTest, CountdownSaysOkOnlyWhenItReachesZero) {
    TTimerForm form;
    QString shown;
    Later([&] {
        EXPECT_TRUE(form.Timer.isActive());
        EXPECT_EQ(form.Label2->text(), QStringLiteral("Время до запуска:"));
        clock_.Advance(5000);
        form.Tick();
        shown = form.TimeLabel->text();
        EXPECT_TRUE(form.isVisible());
        clock_.Advance(5000);
        form.Tick();
    });
    EXPECT_TRUE(
        form.Run(QStringLiteral("Время до запуска:"), 100000, 110000, [] { return false; }));
    EXPECT_EQ(shown, QStringLiteral("0:00:05.0"));
    EXPECT_FALSE(form.Timer.isActive());

    Later([&] { form.CancelBtn->click(); });
    EXPECT_FALSE(form.Run(QString(), 110000, 120000, [] { return false; }));
    EXPECT_FALSE(form.Timer.isActive());
    // Ticks of a hidden window decide nothing.
    clock_.Advance(20000);
    form.Tick();
    EXPECT_FALSE(form.isVisible());
}

TEST_F(StartWindowsTest, WaitEndsWhenPlayingOrWhenTheWaitIsClearedElsewhere) {
    TTimerForm form;
    bool playing = false;
    Later([&] {
        clock_.Advance(1500);
        form.Tick();
        EXPECT_EQ(form.TimeLabel->text(), QStringLiteral("0:00:01.5"));
        playing = true;
        form.Tick();
    });
    EXPECT_TRUE(form.Run(
        QString(), 100000, 0, [&] { return playing; }, [] { return true; }));
    playing = false;
    Later([&] { form.Tick(); });
    EXPECT_FALSE(form.Run(
        QString(), 100000, 0, [&] { return playing; }, [] { return false; }));
}

TEST_F(StartWindowsTest, CtrlF5WaitsForTheCommandAndCancelClearsTheWait) {
    TMainForm::Options options;
    options.programDir = dir_.path();
    options.makeWiring = [] {
        return std::make_unique<ConsoleWiring>(std::make_shared<SimBus>(), QString());
    };
    TMainForm form(options);
    AtNoon(form.ExtStartForm());
    QAction* action = form.FindAction(QStringLiteral("ExtStartAction"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F5));
    bool waited = false;
    Later([&] {
        form.ExtStartForm().StartBtn->click();  // the external command is preselected
        Later([&] {
            waited = form.Player().WaitingExtStart && form.TimerForm().isVisible();
            EXPECT_EQ(form.TimerForm().Label2->text(),
                      QStringLiteral("Ожидание команды запуска..."));
            form.TimerForm().CancelBtn->click();
        });
    });
    form.ExtStartActionExecute();
    EXPECT_TRUE(waited);
    EXPECT_FALSE(form.Player().WaitingExtStart);
    EXPECT_FALSE(form.Player().IsPlaying());

    // A passed time: refused, then cancelled; neither window starts anything.
    Later([&] {
        TExtStartForm& dialog = form.ExtStartForm();
        dialog.RadioButton1->setChecked(true);
        dialog.DateTimePicker1->setTime(QTime(11, 0));
        dialog.StartBtn->click();
        dialog.CancelBtn->click();
    });
    form.ExtStartActionExecute();
    EXPECT_EQ(messages_, QStringList{CountdownPassedMessage()});
    EXPECT_FALSE(form.TimerForm().isVisible());
    EXPECT_FALSE(form.Player().IsPlaying());
}

}  // namespace
}  // namespace kv
