// F1 in autonomous control through the main window's event path: the modules' scripts are read
// back first, and a difference is put to the operator in a box that the test answers.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <memory>

#include "../../devices/sim/ConsoleSimHarness.h"
#include "OwnedMainForm.h"
#include "SimMainFormTest.h"
#include "console/ShowControl.h"
#include "console/windows/ShowSummaryForm.h"
#include "console/windows/TMainForm.h"
#include "shows/TExtPlayer.h"

namespace kv {
namespace {

class MainFormArmCheckTest : public SimMainFormTest {
protected:
    void SetUp() override {
        SimMainFormTest::SetUp();
        bus_->AddConverter();
        bus_->AddDevice(0, SimModule(5, 0x46B, 40));
        ASSERT_NO_FATAL_FAILURE(OpenForm({5}));
        Owned(*form_).Dialogs().ScriptFile = [this] {
            return dir_.write(QStringLiteral("show.txt"), QByteArray("1 5 1\n2 5 2\n"));
        };
        form_->Session().Show().ToggleScript();
        form_->Session().Player().ControlMode = TCommonPlayer::ControlAutonomous;
    }
    // The form goes as it is, a show still playing or not.
    void TearDown() override {
        form_.reset();
        WindowTestBase::TearDown();
    }

    void PressF1() {
        // The keys act while the main window is active; the boxes of the last press took it.
        QApplication::setActiveWindow(form_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        PressAndRelease(Qt::Key_F1);
    }

    // Answers the modal boxes as they come: by box name, the object name of the button to
    // press. Names seen are recorded.
    void Answer(std::vector<std::pair<QString, QString>> answers) {
        answers_ = std::move(answers);
        seen_.clear();
        auto* timer = new QTimer(form_.get());
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || answers_.empty()) {
                if (answers_.empty()) {
                    timer->deleteLater();
                }
                return;
            }
            seen_ << box->objectName();
            const auto [name, button] = answers_.front();
            answers_.erase(answers_.begin());
            for (QAbstractButton* b : box->buttons()) {
                const bool match = b->objectName() == button ||
                                   (button == QLatin1String("Yes") &&
                                    box->standardButton(b) == QMessageBox::Yes) ||
                                   (button == QLatin1String("Cancel") &&
                                    box->buttonRole(b) == QMessageBox::RejectRole);
                if (match) {
                    b->click();
                    return;
                }
            }
            box->reject();
        });
        timer->start();
    }

    std::vector<std::pair<QString, QString>> answers_;
    QStringList seen_;
};

TEST_F(MainFormArmCheckTest, F1RefusesAModuleHoldingAnotherScriptUntilTheOperatorSaysYes) {
    // The module holds nothing of the script: the box lists it and the console stays waiting.
    Answer({{QStringLiteral("ScriptDiffersBox"), QStringLiteral("Cancel")}});
    PressF1();
    EXPECT_EQ(seen_, QStringList{QStringLiteral("ScriptDiffersBox")});
    EXPECT_EQ(form_->Session().State().LaunchState, ConsoleState::Waiting);

    // Arm anyway, and Yes to the question: armed, with the answer in the log.
    Answer({{QStringLiteral("ScriptDiffersBox"), QStringLiteral("ArmAnywayBtn")},
            {QStringLiteral("ArmAnywayBox"), QStringLiteral("Yes")}});
    PressF1();
    EXPECT_EQ(seen_,
              (QStringList{QStringLiteral("ScriptDiffersBox"), QStringLiteral("ArmAnywayBox")}));
    EXPECT_EQ(form_->Session().State().LaunchState, ConsoleState::Armed);
}

TEST_F(MainFormArmCheckTest, AfterTheShowItsCountsAppearBesideTheMainWindow) {
    form_->Session().Player().ControlMode = TCommonPlayer::ControlDirect;
    form_->Session().Show().ToggleScript();  // clears; the next click loads the show below
    Owned(*form_).Dialogs().ScriptFile = [this] {
        return dir_.write(QStringLiteral("show.txt"), QByteArray("0.1 5 1\n0.2 9 1\n"));
    };
    form_->Session().Show().ToggleScript();
    PressF1();
    ASSERT_EQ(form_->Session().State().LaunchState, ConsoleState::Armed);
    PressAndRelease(Qt::Key_F5);
    ASSERT_TRUE(QTest::qWaitFor([this] { return form_->SummaryForm().isVisible(); }, 5000));
    ShowSummaryForm& summary = form_->SummaryForm();
    EXPECT_TRUE(summary.isVisible());
    // The main window keeps the keys.
    EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get(), 500));
    EXPECT_EQ(QApplication::activeWindow(), form_.get())
        << (QApplication::activeWindow() ? QApplication::activeWindow()->objectName().toStdString()
                                         : std::string("none"));
    EXPECT_EQ(summary.CountsText(), QStringLiteral("Запущено: 1\nНе отправлено: 1\nПропущено: 0\n"
                                                   "Проверка не подтвердила: 0"));
    ASSERT_TRUE(summary.PdfFile().endsWith(QStringLiteral("_slot1.pdf")));
    EXPECT_TRUE(QFile::exists(summary.PdfFile()));
    EXPECT_TRUE(summary.PdfFile().startsWith(dir_.file(QStringLiteral("reports/"))))
        << summary.PdfFile().toStdString();
    QStringList opened;
    summary.OpenFile = [&](const QString& file) {
        opened << file;
        return true;
    };
    summary.activateWindow();
    QTest::keyClick(&summary, Qt::Key_Return);
    EXPECT_EQ(opened, QStringList{summary.PdfFile()});
    const QString png = qEnvironmentVariable("KV_SUMMARY_PNG");
    if (!png.isEmpty()) {
        summary.grab().save(png);
    }
}

}  // namespace
}  // namespace kv
