// The offset keys during a show, through the main window's real key path: each step moves the
// moment the next cue goes out at once, not only from the show clock's next tick.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWindow>
#include <memory>

#include "../../devices/sim/ConsoleSimHarness.h"
#include "WindowTestBase.h"
#include "console/ShowControl.h"
#include "console/windows/TMainForm.h"
#include "shows/TExtPlayer.h"

namespace kv {
namespace {

class OffsetKeysTest : public WindowTestBase {
protected:
    void SetUp() override {
        WindowTestBase::SetUp();
        bus_->AddConverter();
        bus_->AddDevice(0, SimModule(5, 0x46B, 40));
        TMainForm::Options options;
        options.programDir = dir_.path();
        auto bus = bus_;
        options.makeWiring = [bus] {
            return std::make_unique<ConsoleWiring>(bus, QStringLiteral("test rig"));
        };
        form_ = std::make_unique<TMainForm>(options);
        ASSERT_NE(form_->Wiring().Controls().RegisterDevice(5, 0), nullptr);
        form_->show();
        QApplication::setActiveWindow(form_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        window_ = form_->windowHandle();
    }
    void TearDown() override {
        if (form_ && form_->Player().IsPlaying()) {
            form_->Player().Stop(true);
        }
        form_.reset();
        WindowTestBase::TearDown();
    }
    // Pressed and released at the window, as the window system delivers it (no event loop runs
    // in between, so no show-clock tick can re-aim the cue timer meanwhile).
    void Click(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        const char ascii = QTest::keyToAscii(key);
        const QString text = ascii != 0 ? QString(QLatin1Char(ascii)) : QString();
        qt_handleKeyEvent(window_, QEvent::KeyPress, key, mods, text);
        qt_handleKeyEvent(window_, QEvent::KeyRelease, key, mods, text);
    }

    std::shared_ptr<SimBus> bus_ = std::make_shared<SimBus>();
    std::unique_ptr<TMainForm> form_;
    QWindow* window_ = nullptr;
};

TEST_F(OffsetKeysTest, EachStepReAimsTheNextCueAtOnce) {
    form_->Show().AskScriptFile = [this] {
        dir_.write(QStringLiteral("show.txt"), "20 5 1\n");
        return dir_.file(QStringLiteral("show.txt"));
    };
    form_->Show().ProjectBtnClick();
    Click(Qt::Key_F1);
    Click(Qt::Key_F5);
    TExtPlayer& player = form_->Player();
    ASSERT_TRUE(player.IsPlaying());
    const auto due = player.NextCueDueTick();
    ASSERT_TRUE(due.has_value());

    Click(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(player.Offset, 50);
    ASSERT_TRUE(player.NextCueDueTick().has_value());
    EXPECT_EQ(*player.NextCueDueTick(), *due - 50);
    Click(Qt::Key_Minus);
    Click(Qt::Key_Minus);
    EXPECT_EQ(player.Offset, -50);
    EXPECT_EQ(*player.NextCueDueTick(), *due + 50);
}

}  // namespace
}  // namespace kv
