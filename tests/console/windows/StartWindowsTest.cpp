// The start condition dialog and the countdown window, driven inside their modal loops: a
// passed time is refused and nothing starts, the countdown only says OK once it has run to zero
// and no stop came meanwhile, and the wait for the external start command is cleared by
// "Отмена". Also what must never start or swallow a key around them: the red warning window,
// a memory operation's progress, the soundtrack test left behind by test mode.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTime>
#include <QTimeEdit>
#include <QTimer>
#include <functional>
#include <memory>

#include "FakeClock.h"
#include "OwnedMainForm.h"
#include "TempDir.h"
#include "WindowTestBase.h"
#include "console/ConsoleWiring.h"
#include "console/MemoryOperations.h"
#include "console/ShowControl.h"
#include "console/windows/CommandButtons.h"
#include "console/windows/TExtStartForm.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TMemoryForm.h"
#include "console/windows/TTimerForm.h"
#include "console/windows/TWarningForm.h"
#include "console/windows/TestModePanel.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "devices/TControls.h"
#include "i18n/Localizer.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"
#include "shows/TProjects.h"
#include "sim/SimBus.h"
#include "sim/SimDeviceConfig.h"

namespace kv {
namespace {

// A countdown's view of the show: playing when the test says so, the wait standing unless it
// says otherwise.
struct Watch : CountdownWatch {
    const bool* playing = nullptr;
    bool stands = true;
    bool ShowPlaying() const override { return playing != nullptr && *playing; }
    bool WaitStands() const override { return stands; }
};

constexpr int32_t kNoon = 12 * 3600 * 1000;

// Runs `step` once the modal loop that is about to start processes events.
void Later(std::function<void()> step) {
    QTimer::singleShot(0, std::move(step));
}

class StartWindowsTest : public WindowTestBase {
protected:
    void TearDown() override {
        form_.reset();
        WindowTestBase::TearDown();
    }

    // A console on a simulated bus (firing module 3 when asked), slot 0 holding `script`.
    TMainForm& MakeForm(const QByteArray& script, bool withModule = false) {
        auto bus = std::make_shared<SimBus>();
        if (withModule) {
            bus->AddConverter();
            SimDeviceConfig c;
            c.kind = SimDeviceKind::FiringModule;
            c.address = 3;
            c.version = 0x46B;
            c.channels = 16;
            bus->AddDevice(0, c);
        }
        OwnedMainForm::Options options;
        options.programDir = dir_.path();
        // Named as a rig: a simulated bus plays soundtracks to the null output.
        options.backend = bus;
        options.rig = QStringLiteral("test rig");
        form_ = std::make_unique<OwnedMainForm>(options);
        if (withModule) {
            EXPECT_NE(form_->Session().Wiring().Controls().RegisterDevice(3, 0), nullptr);
        }
        form_->Session().Projects().Project(0).LoadFromBytes(script, "show.txt");
        AtNoon(form_->ExtStartForm());
        return *form_;
    }
    // Shows the window and makes it the active one, as the operator's console is.
    static void ShowActive(TMainForm& form) {
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    // A countdown of ten seconds from noon, driven by `during` inside its window.
    static void CountdownOf10s(TMainForm& form, std::function<void()> during) {
        Later([&form, during = std::move(during)] {
            TExtStartForm& dialog = form.ExtStartForm();
            dialog.RadioButton1->setChecked(true);
            dialog.DateTimePicker1->setTime(QTime(12, 0, 10));
            dialog.StartBtn->click();
            Later(during);
        });
        form.ExtStartActionExecute();
    }

    std::unique_ptr<TMainForm> form_;
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
    const Watch idle;
    EXPECT_TRUE(form.Run(QStringLiteral("Время до запуска:"), 100000, 110000, idle));
    EXPECT_EQ(shown, QStringLiteral("0:00:05.0"));
    EXPECT_FALSE(form.Timer.isActive());

    Later([&] { form.CancelBtn->click(); });
    EXPECT_FALSE(form.Run(QString(), 110000, 120000, idle));
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
    Watch watch;
    watch.playing = &playing;
    EXPECT_TRUE(form.Run(QString(), 100000, 0, watch));
    playing = false;
    Later([&] { form.Tick(); });
    watch.stands = false;
    EXPECT_FALSE(form.Run(QString(), 100000, 0, watch));
}

TEST_F(StartWindowsTest, CtrlF5WaitsForTheCommandAndCancelClearsTheWait) {
    OwnedMainForm::Options options;
    options.programDir = dir_.path();
    options.backend = std::make_shared<SimBus>();
    options.rig = QString();
    OwnedMainForm form(options);
    AtNoon(form.ExtStartForm());
    QAction* action = form.FindAction(QStringLiteral("ExtStartAction"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F5));
    bool waited = false;
    Later([&] {
        form.ExtStartForm().StartBtn->click();  // the external command is preselected
        Later([&] {
            waited = form.Session().Player().WaitingExtStart && form.TimerForm().isVisible();
            EXPECT_EQ(form.TimerForm().Label2->text(),
                      QStringLiteral("Ожидание команды запуска..."));
            form.TimerForm().CancelBtn->click();
        });
    });
    form.ExtStartActionExecute();
    EXPECT_TRUE(waited);
    EXPECT_FALSE(form.Session().Player().WaitingExtStart);
    EXPECT_FALSE(form.Session().Player().IsPlaying());

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
    EXPECT_FALSE(form.Session().Player().IsPlaying());
}

// A stop from the bus, the stop key or a disarm while the clock counts down: at zero nothing
// starts. Standing to the end, the show starts and the main window has the keyboard again.
TEST_F(StartWindowsTest, CountdownIsCancelledByAStopAndChecksTheStartAgainAtZero) {
    TMainForm& form = MakeForm("60 3 1\n");
    ShowActive(form);
    form.Session().State().LaunchState = ConsoleState::Armed;
    form.RefreshButtons();
    ASSERT_TRUE(form.FindAction(QStringLiteral("ExtStartAction"))->isEnabled());

    CountdownOf10s(form, [&] {
        // Another console's stop while it counts.
        form.Session().Wiring().HandleFrame(BusFrame{0x90, 0, 50, 0x00, 0, 0}, 0);
        clock_.Advance(10000);
        form.TimerForm().Tick();
    });
    EXPECT_FALSE(form.TimerForm().isVisible());
    EXPECT_FALSE(form.Session().Player().IsPlaying());
    EXPECT_FALSE(form.Session().Show().CountdownRunning());

    // The stop key pressed in the countdown window ends it at once.
    bool closed = false;
    CountdownOf10s(form, [&] {
        QTest::keyClick(&form.TimerForm(), Qt::Key_F6);
        closed = !form.TimerForm().isVisible();
        if (!closed) {
            form.TimerForm().CancelBtn->click();
        }
    });
    EXPECT_TRUE(closed);
    EXPECT_FALSE(form.Session().Player().IsPlaying());

    // Disarmed meanwhile: armed or not at zero, it does not start.
    CountdownOf10s(form, [&] {
        form.Session().Show().Disarm();
        clock_.Advance(10000);
        form.TimerForm().Tick();
    });
    EXPECT_FALSE(form.Session().Player().IsPlaying());

    form.Session().State().LaunchState = ConsoleState::Armed;
    CountdownOf10s(form, [&] {
        clock_.Advance(10000);
        form.TimerForm().Tick();
    });
    EXPECT_TRUE(form.Session().Player().IsPlaying());
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &form; }, 2000))
        << "the main window has the keyboard again, for the stop key";
    form.Session().Show().Stop();
}

// The red window never takes the keyboard: in the middle of a show the first stop key stops.
TEST_F(StartWindowsTest, WarningWindowLeavesTheStopKeyToTheShow) {
    TMainForm& form = MakeForm("60 3 1\n");
    ShowActive(form);
    form.Session().State().LaunchState = ConsoleState::Armed;
    ASSERT_TRUE(form.Session().Show().Start());
    ASSERT_TRUE(form.Session().Player().IsPlaying());
    form.WarningForm().ShowWarning(QStringLiteral("Ошибка записи журнала"));
    QCoreApplication::processEvents();
    ASSERT_TRUE(form.WarningForm().isVisible());
    // Where the window system activates it all the same, the keyboard comes straight back.
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &form; }, 2000));
    // The key goes to the window that has the keyboard, as the window system delivers it.
    QWidget* active = QApplication::activeWindow();
    ASSERT_NE(active, nullptr);
    ASSERT_NE(active->windowHandle(), nullptr);
    QTest::keyClick(active->windowHandle(), Qt::Key_F6);
    EXPECT_FALSE(form.Session().Player().IsPlaying());
    EXPECT_FALSE(form.WarningForm().isVisible()) << "the key closes it as well";
}

// The progress window's "Отмена" and Esc reach every listener (the operation that runs, and
// whatever else follows the window), once per press, and leave the flag the operation reads.
TEST_F(StartWindowsTest, MemoryFormCancelReachesEveryListener) {
    TMemoryForm form;
    int operation = 0;
    int other = 0;
    QObject::connect(&form, &TMemoryForm::CancelPressed, &form, [&] { ++operation; });
    QObject::connect(&form, &TMemoryForm::CancelPressed, &form, [&] { ++other; });
    form.Begin(QStringLiteral("Запись"));
    EXPECT_FALSE(form.CancelRequested());
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.CancelRequested());
    form.Begin(QStringLiteral("Запись"));
    EXPECT_FALSE(form.CancelRequested());
    QTest::mouseClick(form.CancelButton(), Qt::LeftButton);
    EXPECT_TRUE(form.CancelRequested());
    EXPECT_EQ(operation, 2);
    EXPECT_EQ(other, 2);
    form.End();
}

// While a memory operation writes the modules, its progress window lets the main window's events
// through: the start button is disabled from the operation's first moment, and neither a click
// nor a close gets past it.
TEST_F(StartWindowsTest, NothingStartsOrClosesWhileAMemoryOperationHasTheBus) {
    TMainForm& form = MakeForm("1 3 1\n2 3 2\n", true);
    form.show();
    form.Session().State().LaunchState = ConsoleState::Armed;
    form.RefreshButtons();
    ASSERT_TRUE(form.Buttons().StartBtn->isEnabled());
    // The operation's questions and its result box are answered as they come up.
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->accept();
        }
    });
    boxes.start(5);
    bool startEnabled = true;
    bool closed = true;
    bool seen = false;
    Later([&] {
        seen = form.Session().Memory().Running();
        startEnabled = form.Buttons().StartBtn->isEnabled();
        form.Buttons().StartBtn->click();
        closed = form.close();
    });
    form.Session().RunMemoryOperation(MemoryCommand::Write);
    boxes.stop();
    ASSERT_TRUE(seen) << "the step ran inside the operation";
    EXPECT_FALSE(startEnabled);
    EXPECT_FALSE(form.Session().Player().IsPlaying());
    EXPECT_FALSE(closed);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.Buttons().StartBtn->isEnabled()) << "enabled again when it ends";
}

// The soundtrack test of test mode stops when the operator leaves test mode: the next start
// would otherwise join it and pass over every cue before its position.
TEST_F(StartWindowsTest, LeavingTestModeStopsTheSoundtrackTest) {
    TMainForm& form = MakeForm("1 3 1\n");
    form.show();
    // One second of silence, 8 kHz mono 16-bit.
    const QString wav = dir_.file(QStringLiteral("music.wav"));
    {
        QFile f(wav);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const auto u32 = [&f](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
        const auto u16 = [&f](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
        const uint32_t bytes = 16000;
        f.write("RIFF");
        u32(36 + bytes);
        f.write("WAVEfmt ");
        u32(16);
        u16(1);
        u16(1);
        u32(8000);
        u32(16000);
        u16(2);
        u16(16);
        f.write("data");
        u32(bytes);
        f.write(QByteArray(static_cast<int>(bytes), '\0'));
    }
    ASSERT_TRUE(form.Session().Player().LoadSound(wav));
    form.Buttons().TestBtn->click();
    ASSERT_TRUE(form.Session().Wiring().TestMode());
    form.TestPage().SoundTestBtn->click();
    ASSERT_TRUE(form.Session().Show().SoundPlaying());
    form.Buttons().TestBtn->click();
    EXPECT_FALSE(form.Session().Wiring().TestMode());
    EXPECT_FALSE(form.Session().Show().SoundPlaying());
}

}  // namespace
}  // namespace kv
