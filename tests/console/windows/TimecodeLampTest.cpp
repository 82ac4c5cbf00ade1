// The timecode lamp beside the show clock, on a rehearsal of the simulated bus whose slots follow
// the timecode of a WAV file, driven through the window's keys. With KV_SCREENSHOT_DIR set it
// also saves the window (1280x800) locked and freewheeling.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <QWindow>
#include <memory>

#include "../../devices/sim/ConsoleSimHarness.h"
#include "OwnedMainForm.h"
#include "WindowTestBase.h"
#include "console/ShowControl.h"
#include "console/windows/TIndicator.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TimePanel.h"
#include "shows/TExtPlayer.h"
#include "timecode/LtcTestSignal.h"

namespace kv {
namespace {

class TimecodeLampTest : public WindowTestBase {
protected:
    void SetUp() override {
        WindowTestBase::SetUp();
        // Two seconds of pre-roll before 01:00:00:00, three of show, then silence.
        test::LtcTestSignal signal(48000, TimecodeRate::Fps25);
        signal.AppendTimecodeAt(3600000.0 - 2000, 5000);
        signal.AppendSilence(10000);
        const QString wav = dir_.file(QStringLiteral("ltc.wav"));
        ASSERT_TRUE(signal.WriteWav(wav, 2, 0));

        if (!Settings().isEmpty()) {
            dir_.write(QStringLiteral("kelvanex.ini"), Settings());
        }

        bus_->AddConverter();
        bus_->AddDevice(0, SimModule(5, 0x46B, 40));
        OwnedMainForm::Options options;
        options.programDir = dir_.path();
        options.timecodeFile = wav;
        auto bus = bus_;
        options.backend = bus;
        options.rig = QStringLiteral("test rig");
        form_ = std::make_unique<OwnedMainForm>(options);
        ASSERT_NE(form_->Session().Wiring().Controls().RegisterDevice(5, 0), nullptr);
        form_->setGeometry(0, 0, 1280, 800);
        form_->show();
        QApplication::setActiveWindow(form_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        Owned(*form_).Dialogs().ScriptFile = [this] {
            return dir_.write(QStringLiteral("finale.txt"), QByteArray("1 5 1\n2.5 5 2\n30 5 3\n"));
        };
        form_->Session().Show().ToggleScript();
    }
    void TearDown() override {
        if (form_ && form_->Session().Player().IsPlaying()) {
            form_->Session().Player().Stop(true);
        }
        form_.reset();
        WindowTestBase::TearDown();
    }
    // The settings file beside the program; none when empty.
    virtual QByteArray Settings() const { return {}; }
    void Click(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        qt_handleKeyEvent(form_->windowHandle(), QEvent::KeyPress, key, mods, {});
        qt_handleKeyEvent(form_->windowHandle(), QEvent::KeyRelease, key, mods, {});
        QApplication::processEvents();
    }
    TIndicator& Lamp() const { return *form_->Times().TimecodeIndicator(); }
    QString Caption() const { return Lamp().Label()->text(); }
    int LogLines(const QString& text) const {
        QFile file(form_->Session().LogFilePath());
        return file.open(QIODevice::ReadOnly)
                   ? static_cast<int>(QString::fromUtf8(file.readAll()).count(text))
                   : 0;
    }
    void Shot(const char* name) const {
        const QByteArray dir = qgetenv("KV_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            QTest::qWait(100);  // the layout follows a caption that grew
            form_->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') +
                               QLatin1String(name));
        }
    }

    std::shared_ptr<SimBus> bus_ = std::make_shared<SimBus>();
    std::unique_ptr<TMainForm> form_;
};

TEST_F(TimecodeLampTest, TheLampFollowsTheSignalFromTheArmingToTheStop) {
    // Greyed until the console arms: it listens only for a show.
    ASSERT_TRUE(Lamp().isVisible());
    EXPECT_EQ(Lamp().Look(), TShape::Look::Off);
    EXPECT_EQ(Caption(), QStringLiteral("LTC"));

    Click(Qt::Key_F1);
    Click(Qt::Key_F5);
    ASSERT_TRUE(form_->Session().Player().IsPlaying());
    ASSERT_TRUE(QTest::qWaitFor([this] { return Lamp().Look() == TShape::Look::On; }, 4000));
    EXPECT_EQ(Caption(), QStringLiteral("LTC 25"));
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return LogLines(QStringLiteral("Запуск, пульт: 5")) == 1; }, 4000));
    EXPECT_TRUE(form_->Times().TimecodeTimeLabel()->text().startsWith(QStringLiteral("01:00:0")))
        << form_->Times().TimecodeTimeLabel()->text().toStdString();
    Shot("console-timecode-locked.png");

    // The tempo keys do nothing while the timecode drives, said once.
    Click(Qt::Key_Asterisk, Qt::KeypadModifier);
    Click(Qt::Key_Asterisk, Qt::KeypadModifier);
    EXPECT_EQ(form_->Session().Player().Tempo(), 1000);
    EXPECT_EQ(LogLines(QStringLiteral("Темп не действует: шоу идет по таймкоду")), 1);

    // The signal ends three seconds into the show: the clock freewheels.
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return Caption() == QStringLiteral("LTC: свободный ход"); }, 6000));
    EXPECT_EQ(Lamp().Look(), TShape::Look::Alarm);
    Shot("console-timecode-freewheeling.png");

    Click(Qt::Key_F6);
    EXPECT_FALSE(form_->Session().Player().IsPlaying());
    EXPECT_EQ(Lamp().Look(), TShape::Look::Off);
    EXPECT_EQ(Caption(), QStringLiteral("LTC"));
}

// Armed, the console listens: the lamp locks on the pre-roll and the timecode starts the show at
// its zero without the start key.
TEST_F(TimecodeLampTest, ArmedTheLampLocksAndTheShowStartsAtTheZeroWithoutTheStartKey) {
    Click(Qt::Key_F1);
    ASSERT_FALSE(form_->Session().Player().IsPlaying());
    EXPECT_EQ(LogLines(QStringLiteral("Пульт взведен: ожидание таймкода")), 1);
    ASSERT_TRUE(QTest::qWaitFor([this] { return Lamp().Look() == TShape::Look::On; }, 2000));
    EXPECT_EQ(Caption(), QStringLiteral("LTC 25"));
    EXPECT_FALSE(form_->Session().Player().IsPlaying());
    EXPECT_TRUE(form_->Times().TimecodeTimeLabel()->text().startsWith(QStringLiteral("00:59:5")))
        << form_->Times().TimecodeTimeLabel()->text().toStdString();

    ASSERT_TRUE(QTest::qWaitFor([this] { return form_->Session().Player().IsPlaying(); }, 3000));
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return LogLines(QStringLiteral("Запуск, пульт: 5")) == 1; }, 3000));
    EXPECT_EQ(LogLines(QStringLiteral("Таймкод: старт шоу")), 1);
}

// Esc while armed closes the capture: the lamp greys and the zero starts nothing.
TEST_F(TimecodeLampTest, DisarmingStopsListening) {
    Click(Qt::Key_F1);
    ASSERT_TRUE(QTest::qWaitFor([this] { return Lamp().Look() == TShape::Look::On; }, 2000));
    Click(Qt::Key_Escape);
    EXPECT_EQ(Lamp().Look(), TShape::Look::Off);
    EXPECT_EQ(Caption(), QStringLiteral("LTC"));
    QTest::qWait(2500);  // past the zero and the first cue
    EXPECT_FALSE(form_->Session().Player().IsPlaying());
    EXPECT_EQ(LogLines(QStringLiteral("Запуск, пульт: 5")), 0);
    EXPECT_EQ(Lamp().Look(), TShape::Look::Off);
}

// The rehearsal on slots set up in the settings file: the file replaces the capture device, the
// slot's own zero, loss choice and freewheel time apply, and a slot with a bad value stays off.
class TimecodeSettingsWindowTest : public TimecodeLampTest {
protected:
    QByteArray Settings() const override {
        return "[timecode1]\r\nOn=1\r\nShowZero=00:59:59:00\r\nOnLoss=Stop\r\n"
               "FreewheelMs=500\r\n"
               "[timecode2]\r\nOn=1\r\nChannel=0\r\n";
    }
};

TEST_F(TimecodeSettingsWindowTest, TheSlotFollowsItsSettingsAndABadOneIsLogged) {
    EXPECT_EQ(LogLines(QStringLiteral("kelvanex.ini: [timecode2] Channel=0: not a channel 1..64")),
              1);
    EXPECT_EQ(
        LogLines(QStringLiteral("kelvanex.ini: [timecode2]: slot 2 does not follow timecode")), 1);
    EXPECT_EQ(LogLines(QStringLiteral("[timecode1]")), 0);
    ASSERT_TRUE(Lamp().isVisible());

    Click(Qt::Key_F1);
    Click(Qt::Key_F5);
    ASSERT_TRUE(form_->Session().Player().IsPlaying());
    // The zero a second before 01:00:00:00: both early cues go out while the signal lasts.
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return LogLines(QStringLiteral("Запуск, пульт: 5")) == 2; }, 6000));
    // Half a second after the signal ends the show stops by itself, as the slot says.
    ASSERT_TRUE(QTest::qWaitFor([this] { return !form_->Session().Player().IsPlaying(); }, 4000));
    EXPECT_EQ(LogLines(QStringLiteral("Таймкод: нет сигнала, шоу остановлено")), 1);
    EXPECT_EQ(LogLines(QStringLiteral("Запуск, пульт: 5")), 2);
}

}  // namespace
}  // namespace kv
