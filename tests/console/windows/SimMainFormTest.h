#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QTest>
#include <QWindow>
#include <initializer_list>
#include <memory>

#include "OwnedMainForm.h"
#include "WindowTestBase.h"
#include "console/ConsoleWiring.h"
#include "console/ShowControl.h"
#include "console/windows/TMainForm.h"
#include "devices/TControls.h"
#include "shows/TExtPlayer.h"
#include "sim/SimBus.h"

namespace kv {

// The main window on a simulated bus, shown and active. A test adds its devices to bus_ and
// then opens the form (ASSERT_NO_FATAL_FAILURE(OpenForm({...})) in its SetUp).
class SimMainFormTest : public WindowTestBase {
protected:
    // The bus is made here, not with the fixture, so that it reads any clock the test's own
    // members have put in place; it goes in TearDown, while that clock still stands.
    void SetUp() override {
        WindowTestBase::SetUp();
        bus_ = std::make_shared<SimBus>();
    }
    // Builds the form on bus_, registers the devices at `addresses` and makes it the active
    // window.
    void OpenForm(std::initializer_list<int> addresses) {
        OwnedMainForm::Options options;
        options.programDir = dir_.path();
        auto bus = bus_;
        options.backend = bus;
        options.rig = QStringLiteral("test rig");
        form_ = std::make_unique<OwnedMainForm>(options);
        for (int address : addresses) {
            ASSERT_NE(form_->Session().Wiring().Controls().RegisterDevice(address, 0), nullptr)
                << address;
        }
        form_->show();
        QApplication::setActiveWindow(form_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    }
    void TearDown() override {
        if (form_ && form_->Session().Player().IsPlaying()) {
            form_->Session().Player().Stop(true);
        }
        form_.reset();
        bus_.reset();
        WindowTestBase::TearDown();
    }

    // A key pressed and released at the window, as the window system delivers it, with the
    // text the key types (if any).
    void PressAndRelease(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        const char ascii = QTest::keyToAscii(key);
        const QString text = ascii != 0 ? QString(QLatin1Char(ascii)) : QString();
        QWindow* window = form_->windowHandle();
        qt_handleKeyEvent(window, QEvent::KeyPress, key, mods, text);
        qt_handleKeyEvent(window, QEvent::KeyRelease, key, mods, text);
    }

    // Loads a script into the current slot as the file dialog would.
    void Load(const QByteArray& script) {
        Owned(*form_).Dialogs().ScriptFile = [this, script] {
            dir_.write(QStringLiteral("show.txt"), script);
            return dir_.file(QStringLiteral("show.txt"));
        };
        form_->Session().Show().ToggleScript();
    }

    std::shared_ptr<SimBus> bus_;
    std::unique_ptr<TMainForm> form_;
};

}  // namespace kv
