// The offset keys during a show, through the main window's real key path: each step moves the
// moment the next cue goes out at once, not only from the show clock's next tick.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWindow>
#include <memory>

#include "../../devices/sim/ConsoleSimHarness.h"
#include "SimMainFormTest.h"
#include "console/ShowControl.h"
#include "console/windows/TMainForm.h"
#include "shows/TExtPlayer.h"

namespace kv {
namespace {

class OffsetKeysTest : public SimMainFormTest {
protected:
    void SetUp() override {
        SimMainFormTest::SetUp();
        bus_->AddConverter();
        bus_->AddDevice(0, SimModule(5, 0x46B, 40));
        ASSERT_NO_FATAL_FAILURE(OpenForm({5}));
    }
    // Pressed and released at the window, as the window system delivers it (no event loop runs
    // in between, so no show-clock tick can re-aim the cue timer meanwhile).
    void Click(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        PressAndRelease(key, mods);
    }
};

TEST_F(OffsetKeysTest, EachStepReAimsTheNextCueAtOnce) {
    Load("20 5 1\n");
    Click(Qt::Key_F1);
    Click(Qt::Key_F5);
    TExtPlayer& player = form_->Session().Player();
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
