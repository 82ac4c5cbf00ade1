// Keys through the main window's real event path: key events delivered to its top-level window
// as the window system delivers them (action shortcuts first, then the key hook, then the focused
// control), on a simulated bus whose recorder shows what went out on the wire.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <memory>
#include <thread>

#include "../../devices/sim/ConsoleSimHarness.h"
#include "OwnedMainForm.h"
#include "SimMainFormTest.h"
#include "console/ShowControl.h"
#include "console/windows/CommandButtons.h"
#include "console/windows/CueListView.h"
#include "console/windows/HvPanel.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TWarningForm.h"
#include "console/windows/TestModePanel.h"
#include "core/EventLog.h"
#include "shows/TExtPlayer.h"

namespace kv {
namespace {

constexpr uint8_t kFireCode = 0x84;

class MainFormKeyPathTest : public SimMainFormTest {
protected:
    void SetUp() override {
        SimMainFormTest::SetUp();
        bus_->AddConverter();
        bus_->AddDevice(0, SimModule(5, 0x46B, 40));
        bus_->AddDevice(0, SimOf(SimDeviceKind::HvModule, 20));
        bus_->AddDevice(0, SimOf(SimDeviceKind::MotorModule, 30, 0x165));
        ASSERT_NO_FATAL_FAILURE(OpenForm({5, 20, 30}));
        window_ = form_->windowHandle();
        bus_->ClearRecords();
    }
    // A key pressed and released at the window, as the window system delivers it. Each press
    // gets a time stamp of its own, as a hand typing would give it (chords are tested apart).
    // Modifiers are held already (a hand presses them first), so they are no keys of their own.
    void Click(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        PressAndRelease(key, mods);
        Pause();
    }
    // The keyboard's own repeat of a held key: further key-downs flagged as repeats.
    void Hold(Qt::Key key, int repeats, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        qt_handleKeyEvent(window_, QEvent::KeyPress, key, mods, {}, false);
        for (int i = 0; i < repeats; ++i) {
            Pause();
            qt_handleKeyEvent(window_, QEvent::KeyRelease, key, mods, {}, true);
            qt_handleKeyEvent(window_, QEvent::KeyPress, key, mods, {}, true);
        }
        qt_handleKeyEvent(window_, QEvent::KeyRelease, key, mods, {}, false);
        Pause();
    }
    static void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }

    // Manual work mode (Ctrl+F1), armed (F1), started (F5), module 5 on the manual keyboard.
    void StartManualShow() {
        Click(Qt::Key_F1, Qt::ControlModifier);
        ASSERT_EQ(form_->Session().Player().WorkMode, TCommonPlayer::WorkManual);
        Click(Qt::Key_F1);
        Click(Qt::Key_F5);
        ASSERT_TRUE(form_->Session().Player().IsPlaying());
        Click(Qt::Key_Down);
        ASSERT_EQ(form_->Session().State().ManualDevice, 0);
        bus_->ClearRecords();
    }

    // Fire frames the console sent: all of them, or those for one address.
    int Fires(int address = -1) const {
        int n = 0;
        for (const SimRecord& r : bus_->Records()) {
            if (r.direction == SimDirection::FromConsole && r.bytes.size() >= 6 &&
                r.bytes[0] == kFireCode && (address < 0 || r.bytes[5] == address)) {
                ++n;
            }
        }
        return n;
    }
    int FramesTo(int address) const {
        int n = 0;
        for (const SimRecord& r : bus_->Records()) {
            if (r.direction == SimDirection::FromConsole && r.bytes.size() >= 6 &&
                r.bytes[5] == address) {
                ++n;
            }
        }
        return n;
    }
    int LogLines(const QString& text) const {
        QFile file(form_->Session().LogFilePath());
        if (!file.open(QIODevice::ReadOnly)) {
            return 0;
        }
        return static_cast<int>(QString::fromUtf8(file.readAll()).count(text));
    }

    FakeClock clock_{5000};
    ScopedClock scopedClock_{clock_};
    QWindow* window_ = nullptr;
};

TEST_F(MainFormKeyPathTest, AHeldKeyActsOnceUnlessItOnlyMovesOrSteps) {
    StartManualShow();
    Hold(Qt::Key_Q, 25);
    EXPECT_EQ(Fires(5), 1) << "a held fire key fires once";
    EXPECT_EQ(LogLines(QStringLiteral("Ручной запуск, пульт: 5, канал: 11")), 1);

    // The HV control's output: one charge-and-launch, however long the key is held.
    Click(Qt::Key_Down);
    ASSERT_EQ(form_->Session().State().ManualDevice, 1);
    Hold(Qt::Key_1, 25);
    EXPECT_EQ(form_->Session().Player().PendingManualFires(), 1);

    // Tempo and offset steps repeat while held.
    Hold(Qt::Key_Asterisk, 4, Qt::KeypadModifier);
    EXPECT_EQ(form_->Session().Player().Tempo(), 1005);

    // A held Esc stops the show once; the repeats do not go on to stop the soundtrack or more.
    Hold(Qt::Key_Escape, 5);
    EXPECT_FALSE(form_->Session().Player().IsPlaying());
    EXPECT_EQ(form_->Session().State().LaunchState, ConsoleState::Armed);
}

TEST_F(MainFormKeyPathTest, RepeatsTheWindowSystemDoesNotFlagAreRepeatsToo) {
    StartManualShow();
    // X11 sends a held key as key-downs without releases and without the repeat flag.
    for (int i = 0; i < 10; ++i) {
        qt_handleKeyEvent(window_, QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier,
                          QStringLiteral("q"));
        Pause();
    }
    EXPECT_EQ(Fires(5), 1);
    qt_handleKeyEvent(window_, QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
    Pause();
    Click(Qt::Key_Q);
    EXPECT_EQ(Fires(5), 2) << "released, the key fires again";

    // A key let go while another program had the keyboard is not stuck as held.
    qt_handleKeyEvent(window_, QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(form_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    Click(Qt::Key_Q);
    EXPECT_EQ(Fires(5), 4);
}

TEST_F(MainFormKeyPathTest, AHeldStepOrArmKeyActsOnce) {
    Load("1 5 1\n2 5 2\n3 5 3\n");
    Click(Qt::Key_F1, Qt::ControlModifier);
    Hold(Qt::Key_F1, 5);
    EXPECT_EQ(form_->Session().State().LaunchState, ConsoleState::Armed)
        << "the repeats must not disarm";
    Hold(Qt::Key_F5, 5);
    ASSERT_TRUE(form_->Session().Player().IsPlaying());
    bus_->ClearRecords();
    Hold(Qt::Key_F7, 10);
    EXPECT_EQ(Fires(5), 1);
    EXPECT_EQ(form_->Session().Player().NextCue, 1);
}

TEST_F(MainFormKeyPathTest, KeysWithCtrlAltOrSuperNeverFire) {
    StartManualShow();
    ASSERT_FALSE(form_->ExitAction()->isEnabled());
    Click(Qt::Key_X, Qt::ControlModifier | Qt::AltModifier);
    Click(Qt::Key_C, Qt::ControlModifier);
    Click(Qt::Key_Q, Qt::AltModifier);
    Click(Qt::Key_W, Qt::MetaModifier);
    Click(Qt::Key_F7, Qt::ControlModifier);
    EXPECT_EQ(Fires(), 0);
    EXPECT_TRUE(form_->isVisible()) << "the exit is refused while the show plays";
    EXPECT_TRUE(form_->Session().Player().IsPlaying());

    // Shift+digit fires nothing either: a slip on Shift must not launch.
    Click(Qt::Key_1, Qt::ShiftModifier);
    EXPECT_EQ(Fires(), 0);
    // The plain key still fires.
    Click(Qt::Key_1);
    EXPECT_EQ(Fires(5), 1);
}

TEST_F(MainFormKeyPathTest, ModifiedKeysNeitherStartNorArmNorChangeSlots) {
    Click(Qt::Key_1, Qt::ControlModifier);
    Click(Qt::Key_3, Qt::AltModifier);
    EXPECT_EQ(form_->Session().State().CurrentSlot, 0);
    Click(Qt::Key_F1, Qt::ControlModifier | Qt::AltModifier);
    Click(Qt::Key_F1, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(form_->Session().State().LaunchState, ConsoleState::Waiting);

    Load("1 5 1\n");
    Click(Qt::Key_F1);
    ASSERT_EQ(form_->Session().State().LaunchState, ConsoleState::Armed);
    // Shift+F1 is the disabled control-mode action here; it does not fall through as F1.
    Click(Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_EQ(form_->Session().State().LaunchState, ConsoleState::Armed);
    Click(Qt::Key_F5, Qt::ShiftModifier);
    Click(Qt::Key_F5, Qt::AltModifier);
    EXPECT_FALSE(form_->Session().Player().IsPlaying());
    EXPECT_EQ(Fires(), 0);

    // Shift+F2 is F2 (no action takes it); Shift+Esc disarms as Esc does.
    Click(Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_EQ(form_->Session().State().LaunchState, ConsoleState::Waiting);
    int asked = 0;
    Owned(*form_).Dialogs().ScriptFile = [&asked] {
        ++asked;
        return QString();
    };
    Click(Qt::Key_F2, Qt::ShiftModifier);  // unloads the script
    Click(Qt::Key_F2, Qt::ShiftModifier);  // asks for one
    EXPECT_EQ(asked, 1);
}

// Delivers key-downs to the window as Qt does for the events of one batch: each from the same
// stack slot, with the time stamp the window system gave the chord.
void DeliverBatch(QWindow* window, std::initializer_list<Qt::Key> keys, ulong timestamp) {
    for (Qt::Key key : keys) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString());
        event.setTimestamp(timestamp);
        QGuiApplication::sendEvent(window, &event);
    }
}

TEST_F(MainFormKeyPathTest, EachKeyOfAChordIsDecidedOnce) {
    StartManualShow();
    DeliverBatch(window_, {Qt::Key_Q, Qt::Key_W}, 777);
    EXPECT_EQ(LogLines(QStringLiteral("Ручной запуск, пульт: 5, канал: 11")), 1);
    EXPECT_EQ(LogLines(QStringLiteral("Ручной запуск, пульт: 5, канал: 12")), 1);
    EXPECT_EQ(Fires(5), 2);

    // Pressed together and released together, through the window system.
    qt_handleKeyEvent(window_, QEvent::KeyPress, Qt::Key_E, Qt::NoModifier);
    qt_handleKeyEvent(window_, QEvent::KeyPress, Qt::Key_R, Qt::NoModifier);
    qt_handleKeyEvent(window_, QEvent::KeyRelease, Qt::Key_E, Qt::NoModifier);
    qt_handleKeyEvent(window_, QEvent::KeyRelease, Qt::Key_R, Qt::NoModifier);
    EXPECT_EQ(Fires(5), 4);
}

TEST_F(MainFormKeyPathTest, TypingInTheCueListMovesNeitherSelectionNorStartPoint) {
    Load("1 5 1\n2 5 2\n3.25 5 3\n4 5 4\n");
    CueListView& cues = form_->Cues();
    cues.setFocus();
    cues.SelectCue(0);
    Click(Qt::Key_F1);
    ASSERT_EQ(form_->Session().State().LaunchState, ConsoleState::Armed);
    const int startLines = LogLines(QStringLiteral("Установка точки начала"));

    Click(Qt::Key_3);
    Click(Qt::Key_End, Qt::ControlModifier);
    Click(Qt::Key_Home);
    EXPECT_EQ(cues.SelectedCue(), 0);
    Click(Qt::Key_Return);
    EXPECT_EQ(form_->Session().Player().Position, 1000);
    EXPECT_EQ(form_->Session().Player().NextCue, 0);
    EXPECT_EQ(LogLines(QStringLiteral("Установка точки начала: 3250")), 0);

    // Page Down is the key that moves it, and Enter then takes the start point from there.
    Click(Qt::Key_PageDown);
    EXPECT_EQ(cues.SelectedCue(), 1);
    Click(Qt::Key_Return);
    EXPECT_EQ(form_->Session().Player().Position, 2000);
    EXPECT_EQ(LogLines(QStringLiteral("Установка точки начала")), startLines + 2);
}

TEST_F(MainFormKeyPathTest, ArrowsInAutomaticModeStillMoveTheCueList) {
    Load("1 5 1\n2 5 2\n3 5 3\n");
    CueListView& cues = form_->Cues();
    cues.setFocus();
    cues.SelectCue(0);
    Click(Qt::Key_Down);
    EXPECT_EQ(cues.SelectedCue(), 1);
    // Without a selection Page Down has no cue to move to and the list does not page either.
    cues.clearSelection();
    Click(Qt::Key_PageDown);
    EXPECT_EQ(cues.SelectedCue(), -1);
}

TEST_F(MainFormKeyPathTest, TheFocusedEnergyBoxTakesDigitsInTestMode) {
    Click(Qt::Key_Tab);
    ASSERT_TRUE(form_->Buttons().TestBtn->isChecked());
    form_->Session().Wiring().SetTestSelection(1);  // the HV control
    form_->TestPage().RefreshTestPanel();
    QSpinBox* energy = nullptr;
    for (HvPanel* panel : form_->findChildren<HvPanel*>()) {
        energy = panel->EnergyEdit();
    }
    ASSERT_NE(energy, nullptr);
    ASSERT_TRUE(energy->isVisible());
    energy->setFocus();
    energy->selectAll();
    Click(Qt::Key_7);
    Click(Qt::Key_Q);
    EXPECT_EQ(energy->text(), QStringLiteral("7"));
    EXPECT_EQ(Fires(), 0);
    // Tab is still the test key, not a focus move.
    Click(Qt::Key_Tab);
    EXPECT_FALSE(form_->Buttons().TestBtn->isChecked());
}

TEST_F(MainFormKeyPathTest, F3FollowsItsButtonWithoutAnAudioDevice) {
    form_->Session().State().SoundReady = false;
    form_->RefreshButtons();
    ASSERT_FALSE(form_->Buttons().SoundBtn->isEnabled());
    int asked = 0;
    Owned(*form_).Dialogs().SoundFile = [&asked] {
        ++asked;
        return QString();
    };
    Click(Qt::Key_F3);
    EXPECT_EQ(asked, 0);
}

TEST_F(MainFormKeyPathTest, StepFiringMovesAMotorInsteadOfFiringIt) {
    Load("1 30 #C\n2 5 3\n");
    Click(Qt::Key_F1, Qt::ControlModifier);
    Click(Qt::Key_F1);
    Click(Qt::Key_F5);
    ASSERT_TRUE(form_->Session().Player().IsPlaying());
    bus_->ClearRecords();
    Click(Qt::Key_F7);
    EXPECT_EQ(Fires(30), 0);
    EXPECT_GT(FramesTo(30), 0) << "the motor cue moves the motor";
    EXPECT_EQ(LogLines(QStringLiteral("Пошаговый запуск, пульт: 30")), 0);
    Click(Qt::Key_F7);
    EXPECT_EQ(Fires(5), 1);
    EXPECT_EQ(LogLines(QStringLiteral("Пошаговый запуск, пульт: 5, канал: 3")), 1);
}

TEST_F(MainFormKeyPathTest, KeysInADialogStayThereAndTheRedWindowClosesFirst) {
    StartManualShow();
    // A modal box over the running show takes the keys typed into it.
    bool typed = false;
    QTimer::singleShot(0, form_.get(), [this, &typed] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        QTest::keyClick(box->windowHandle(), Qt::Key_Q);
        QTest::keyClick(box->windowHandle(), Qt::Key_F7);
        typed = true;
        QTest::keyClick(box->windowHandle(), Qt::Key_Escape);
    });
    QMessageBox::warning(form_.get(), QStringLiteral("Ошибка"), QStringLiteral("x"));
    ASSERT_TRUE(typed);
    EXPECT_EQ(Fires(), 0);

    // The red window on screen: a key closes it and then acts in the main window, once.
    QApplication::setActiveWindow(form_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    form_->WarningForm().ShowWarning(QStringLiteral("Экстренная остановка!"));
    QApplication::setActiveWindow(form_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    Click(Qt::Key_Q);
    EXPECT_FALSE(form_->WarningForm().isVisible());
    EXPECT_EQ(Fires(5), 1);
}

}  // namespace
}  // namespace kv
