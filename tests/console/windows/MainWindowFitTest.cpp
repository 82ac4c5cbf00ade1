// The main window at the smallest screen it is made for: whatever page, module panel or
// translation it shows, it stays inside the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <memory>

#include "../../devices/sim/ConsoleSimHarness.h"
#include "OwnedMainForm.h"
#include "WindowTestBase.h"
#include "console/windows/CommandButtons.h"
#include "console/windows/HvPanel.h"
#include "console/windows/MotorPanel.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TestModePanel.h"

namespace kv {
namespace {

class MainWindowFitTest : public WindowTestBase {
protected:
    void MakeForm() {
        bus_->AddConverter();
        bus_->AddDevice(0, SimModule(5, 0x46B, 40));
        bus_->AddDevice(0, SimOf(SimDeviceKind::HvModule, 20));
        bus_->AddDevice(0, SimOf(SimDeviceKind::MotorModule, 30, 0x165));
        OwnedMainForm::Options options;
        options.programDir = dir_.path();
        auto bus = bus_;
        options.backend = bus;
        options.rig = QString();
        form_ = std::make_unique<OwnedMainForm>(options);
        for (int address : {5, 20, 30}) {
            ASSERT_NE(form_->Session().Wiring().Controls().RegisterDevice(address, 0), nullptr)
                << address;
        }
        ASSERT_EQ(form_->screen()->availableGeometry(), kScreen);
        form_->setGeometry(kScreen);
        form_->show();
        QApplication::setActiveWindow(form_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    }
    void TearDown() override {
        form_.reset();
        WindowTestBase::TearDown();
    }
    void Click(Qt::Key key) {
        qt_handleKeyEvent(form_->windowHandle(), QEvent::KeyPress, key, Qt::NoModifier, {});
        qt_handleKeyEvent(form_->windowHandle(), QEvent::KeyRelease, key, Qt::NoModifier, {});
        QApplication::processEvents();
        QApplication::processEvents();
    }
    // The window inside the screen's free area, and nothing in it asking for more than that.
    // (The offscreen frame is a thin border a maximised window does not have.)
    void ExpectInside(const char* step) {
        SCOPED_TRACE(step);
        QApplication::processEvents();
        EXPECT_TRUE(kScreen.contains(form_->geometry()))
            << form_->width() << "x" << form_->height();
        EXPECT_LE(form_->width(), kScreen.width());
        EXPECT_LE(form_->height(), kScreen.height());
        EXPECT_LE(form_->minimumSizeHint().width(), kScreen.width());
        EXPECT_LE(form_->minimumSizeHint().height(), kScreen.height());
        EXPECT_LE(form_->minimumWidth(), kScreen.width());
        EXPECT_LE(form_->minimumHeight(), kScreen.height());
    }

    // The offscreen screen of the window tests: the smallest the console is made for.
    static constexpr QRect kScreen{0, 0, 1280, 800};
    std::shared_ptr<SimBus> bus_ = std::make_shared<SimBus>();
    std::unique_ptr<TMainForm> form_;
};

TEST_F(MainWindowFitTest, TestPageAndModulePanelsStayInsideTheScreen) {
    MakeForm();
    ExpectInside("launch page");
    // In and out of test mode, then over the modules (firing, HV, motor) and back again: each
    // module panel replaces the one before it.
    Click(Qt::Key_Tab);
    ExpectInside("test page");
    Click(Qt::Key_Tab);
    ExpectInside("launch page after the test page");
    Click(Qt::Key_Tab);
    // The selection keys act once the page's buttons are refreshed; a loaded machine may take
    // more than the two event rounds of a click for that.
    ASSERT_TRUE(QTest::qWaitFor([this] { return form_->TestPage().DownBtn->isEnabled(); }, 5000));
    bool hvSeen = false;
    bool motorSeen = false;
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Up,
                        Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up}) {
        Click(key);
        // The module panels follow the selection on the window's refresh; give it its turn
        // even on a loaded machine.
        QTest::qWait(250);
        const TestModePanel& page = form_->TestPage();
        EXPECT_FALSE(page.Hv().isVisible() && page.Motor().isVisible());
        hvSeen = hvSeen || page.Hv().isVisible();
        motorSeen = motorSeen || page.Motor().isVisible();
        ExpectInside(key == Qt::Key_Down ? "next module" : "previous module");
    }
    EXPECT_TRUE(hvSeen);
    EXPECT_TRUE(motorSeen);
    Click(Qt::Key_Tab);
    ExpectInside("launch page again");
}

// Translations may be far longer than the built-in texts; the window keeps to the screen.
TEST_F(MainWindowFitTest, LongTranslatedTextsStayInsideTheScreen) {
    const QByteArray longText(160, 'W');
    QByteArray lng = "[labels]\n";
    for (const char* name : {"HvTitleLabel", "HvWarningLabel2", "TestTitleLabel", "EnergyLabel",
                             "SpeedCaption", "NumberCaption"}) {
        lng += QByteArray("TMainForm.") + name + "=" + longText + "\n";
    }
    lng += "[buttons]\n";
    for (const char* name : {"StartBtn", "ChangeIdBtn", "CheckTestBtn", "LeftBtn"}) {
        lng += QByteArray("TMainForm.") + name + "=" + longText + "\n";
    }
    dir_.write(QStringLiteral("kelvanex.lng"), lng);
    MakeForm();
    ASSERT_EQ(form_->findChild<QLabel*>(QStringLiteral("HvTitleLabel"))->text(),
              QString::fromLatin1(longText));
    ASSERT_EQ(form_->Buttons().StartBtn->text(), QString::fromLatin1(longText));
    ExpectInside("launch page");
    Click(Qt::Key_Tab);
    ExpectInside("test page");
    for (int i = 0; i < 4; ++i) {
        Click(Qt::Key_Down);
        ExpectInside("down");
    }
    Click(Qt::Key_Tab);
    ExpectInside("launch page again");
}

}  // namespace
}  // namespace kv
