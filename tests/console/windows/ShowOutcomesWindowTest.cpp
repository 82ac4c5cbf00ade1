// A show that loses cues, as the crew sees it in the window: each cue's row marked as it is
// sent or not, the count of cues not sent beside the show clock, and the device rows greyed
// once the converter is gone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "../../devices/sim/ConsoleSimHarness.h"
#include "OwnedMainForm.h"
#include "SimMainFormTest.h"
#include "console/ShowControl.h"
#include "console/windows/CommandButtons.h"
#include "console/windows/CueListView.h"
#include "console/windows/DevicePanel.h"
#include "console/windows/StatusPanel.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TimePanel.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"

namespace kv {
namespace {

class ShowOutcomesWindowTest : public SimMainFormTest {
protected:
    void SetUp() override {
        SimMainFormTest::SetUp();
        bus_->AddConverter();
        bus_->AddDevice(0, SimModule(5, 0x46B, 16));
        bus_->AddDevice(0, SimOf(SimDeviceKind::MotorModule, 30, 0x165));
        ASSERT_NO_FATAL_FAILURE(OpenForm({5, 30}));
    }
    // A key at the window as the window system delivers it.
    void Click(Qt::Key key) {
        PressAndRelease(key);
        QTest::qWait(2);
    }
    // Armed (F1) and started (F5) through the window's keys.
    void Start() {
        Click(Qt::Key_F1);
        Click(Qt::Key_F5);
        ASSERT_TRUE(form_->Session().Player().IsPlaying());
    }
    bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
        return QTest::qWaitFor(
            [&] {
                while (form_->Session().Wiring().Proto().DispatchPending()) {
                }
                return done();
            },
            ms);
    }
    QString NotSent() const { return form_->Times().NotSentLabel()->text(); }
    bool RowMarked(int row, const QString& mark) const {
        return form_->Cues().item(row, 0)->text().startsWith(mark);
    }
};

TEST_F(ShowOutcomesWindowTest, EachCueIsMarkedAndTheCountIsBesideTheClock) {
    // Cue 2 names channel 17 of a 16-channel module: it cannot leave the console.
    Load("0.1 5 1\n0.2 5 17\n0.3 5 2\n");
    ASSERT_EQ(form_->Cues().rowCount(), 3);
    EXPECT_EQ(NotSent(), QStringLiteral("Не отправлено: 0"));
    Start();
    ASSERT_TRUE(WaitFor([this] { return !form_->Session().Player().IsPlaying(); }));
    const QString sent = CueRowLookFor(CueOutcomes::Outcome::Sent).Mark;
    const QString lost = CueRowLookFor(CueOutcomes::Outcome::NotSent).Mark;
    EXPECT_TRUE(RowMarked(0, sent)) << form_->Cues().item(0, 0)->text().toStdString();
    EXPECT_TRUE(RowMarked(1, lost)) << form_->Cues().item(1, 0)->text().toStdString();
    EXPECT_TRUE(RowMarked(2, sent));
    EXPECT_EQ(form_->Cues().item(1, 0)->background().color(), QColor(0xd0, 0, 0));
    EXPECT_EQ(NotSent(), QStringLiteral("Не отправлено: 1"));
    EXPECT_TRUE(form_->Times().NotSentLabel()->styleSheet().contains(QStringLiteral("#d00000")));

    // F4 (to the beginning) and a new start (still armed) send them again: the marks start
    // afresh.
    Click(Qt::Key_F4);
    Click(Qt::Key_F5);
    ASSERT_TRUE(form_->Session().Player().IsPlaying());
    EXPECT_FALSE(RowMarked(1, lost));
    EXPECT_EQ(form_->Session().Outcomes().NotSentCount(), 0);
    ASSERT_TRUE(WaitFor([this] { return !form_->Session().Player().IsPlaying(); }));
    EXPECT_EQ(NotSent(), QStringLiteral("Не отправлено: 1"));
    // A time cell keeps its own text behind the mark.
    EXPECT_TRUE(form_->Cues().item(0, 0)->text().endsWith(QStringLiteral("0.1")));
}

TEST_F(ShowOutcomesWindowTest, UnpluggedConverterGreysTheRowsAndCountsTheLostCues) {
    Load("0.1 5 1\n1.5 5 2\n1.6 5 3\n");
    Start();
    ASSERT_TRUE(WaitFor(
        [this] { return form_->Session().Outcomes().At(0) != CueOutcomes::Outcome::None; }));
    ASSERT_EQ(form_->Devices().RowCount(), 2);
    EXPECT_FALSE(form_->Devices().RowText(0).contains(QStringLiteral("нет")));
    bus_->Unplug(0);
    ASSERT_TRUE(WaitFor([this] { return !form_->Session().Player().IsPlaying(); }));
    EXPECT_EQ(NotSent(), QStringLiteral("Не отправлено: 2"));
    EXPECT_TRUE(form_->Session().Wiring().ConverterFault());
    EXPECT_TRUE(form_->Devices().RowText(0).contains(QStringLiteral("нет связи")))
        << form_->Devices().RowText(0).toStdString();
    EXPECT_TRUE(form_->Devices().RowStyle(0).contains(QStringLiteral("#b0b0b0")));
    EXPECT_TRUE(form_->Session().Freshness().Stale(5));
    EXPECT_TRUE(form_->Devices().RowText(1).contains(QStringLiteral("нет связи")));
}

TEST_F(ShowOutcomesWindowTest, F2RefusesAMotorCueForAFiringModuleWithItsLineAndReason) {
    dir_.write(QStringLiteral("show.txt"), "1 5 1\n2 5 #C\n3 30 #L#50\n");
    Owned(*form_).Dialogs().ScriptFile = [this] { return dir_.file(QStringLiteral("show.txt")); };
    QString shown;
    QTimer::singleShot(200, form_.get(), [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    Click(Qt::Key_F2);
    EXPECT_EQ(shown, QStringLiteral("Ошибка загрузки сценария (строка: 2). команда мотора для "
                                    "пульта 5, а у него нет мотора"));
    EXPECT_EQ(form_->Cues().rowCount(), 0);
    EXPECT_EQ(form_->Session().Show().CurrentProject().Count(), 0);
}

TEST_F(ShowOutcomesWindowTest, WithoutASoundDeviceTheWindowSaysWhyF3IsGreyedOut) {
    EXPECT_TRUE(form_->Buttons().SoundBtn->toolTip().isEmpty());
    form_->Session().State().SoundReady = false;
    form_->RefreshButtons();
    form_->Times().ShowSound();
    form_->Status().ShowSound();
    EXPECT_FALSE(form_->Buttons().SoundBtn->isEnabled());
    EXPECT_TRUE(form_->Buttons().SoundBtn->toolTip().contains(QStringLiteral("перезапустите")));
    EXPECT_EQ(form_->Times().SoundNameLabel()->text(),
              QStringLiteral("Нет звукового устройства: фонограмма недоступна"));
    EXPECT_TRUE(form_->Times().SoundNameLabel()->isVisible());
}

}  // namespace
}  // namespace kv
