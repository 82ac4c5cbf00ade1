#include "OwnedMainForm.h"
#include "WindowTestBase.h"
#include "console/windows/CommandButtons.h"
#include "console/windows/TMainForm.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <memory>

#include "QtPrinters.h"
#include "TempDir.h"
#include "console/ConsoleWiring.h"
#include "core/EventLog.h"
#include "i18n/Localizer.h"
#include "shows/AudioSystem.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjects.h"
#include "sim/SimBus.h"
#include "util/SystemUtils.h"

namespace kv {
namespace {

class TMainFormTest : public WindowTestBase {
protected:
    // A console on an empty simulated bus (no converter), optionally named as a rig.
    std::unique_ptr<TMainForm> MakeForm(const QString& rig = QString()) {
        OwnedMainForm::Options options;
        options.programDir = dir_.path();
        options.backend = std::make_shared<SimBus>();
        options.rig = rig;
        return std::make_unique<OwnedMainForm>(options);
    }

    // The log's messages without their time stamps.
    static QStringList LogMessages(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        QStringList messages;
        for (const QString& line :
             QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"))) {
            if (!line.isEmpty()) {
                messages << line.mid(line.indexOf(QStringLiteral(": ")) + 2);
            }
        }
        return messages;
    }
};

TEST_F(TMainFormTest, CreationMakesTheLogsFolderAndWritesTheHeader) {
    auto form = MakeForm();
    EXPECT_TRUE(QDir(dir_.file(QStringLiteral("logs"))).exists());
    EXPECT_TRUE(form->Session().LogFilePath().endsWith(QStringLiteral("_0.log")));
    const QStringList log = LogMessages(form->Session().LogFilePath());
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log[0], QString(45, QLatin1Char('-')));
    // Message 0 is a single blank, followed at once by the version.
    EXPECT_EQ(log[1], QStringLiteral(" ") + OwnVersion());
    EXPECT_EQ(log[2], QString(45, QLatin1Char('-')));
}

TEST_F(TMainFormTest, NewLogTakesTheLowestFreeNumberOfTheDay) {
    QDir().mkpath(dir_.file(QStringLiteral("logs")));
    auto form0 = MakeForm();
    const QString first = form0->Session().LogFilePath();
    form0.reset();
    // _0 exists now; add _1 and _3 by hand: the next run writes _2.
    const QString stem = first.left(first.size() - QStringLiteral("0.log").size());
    QFile(stem + QStringLiteral("1.log")).open(QIODevice::WriteOnly);
    QFile(stem + QStringLiteral("3.log")).open(QIODevice::WriteOnly);
    auto form = MakeForm();
    EXPECT_EQ(form->Session().LogFilePath(), stem + QStringLiteral("2.log"));
}

TEST_F(TMainFormTest, SettingsAndShowingSetCaptionVersionAndStartButton) {
    dir_.write(QStringLiteral("kelvanex.ini"),
               "[keys]\nStartBtn=32\n[settings]\nConnectResist=25,5\n");
    auto form = MakeForm();
    EXPECT_EQ(form->Session().State().StartKey, 32);
    EXPECT_DOUBLE_EQ(form->Session().Settings().ConnectResist, 25.5);
    EXPECT_DOUBLE_EQ(form->Session().Settings().ConnectResistHi, 200);
    EXPECT_EQ(form->Buttons().StartBtn->text(), QStringLiteral("<F5> Старт"));

    form->show();
    EXPECT_EQ(form->windowTitle(),
              QStringLiteral("Управление запуском (версия: ") + OwnVersion() + QLatin1Char(')'));
    EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("VersionLabel"))->text(),
              QStringLiteral("версия: ") + OwnVersion() + QStringLiteral(" (расширенная)"));
    EXPECT_EQ(form->Buttons().StartBtn->text(), QStringLiteral("<SPACE> Старт"));
    EXPECT_FALSE(form->findChild<QLabel*>(QStringLiteral("SimulatedBusLabel"))->isVisible());
}

TEST_F(TMainFormTest, OtherStartKeysKeepTheF5CaptionEvenWhenTranslated) {
    dir_.write(QStringLiteral("kelvanex.ini"), "[keys]\nStartBtn=13\n");
    dir_.write(QStringLiteral("kelvanex.lng"), "[buttons]\nTMainForm.StartBtn=<F5> Start\n");
    auto form = MakeForm();
    form->show();
    EXPECT_EQ(form->Buttons().StartBtn->text(), QStringLiteral("<F5> Start"));
}

TEST_F(TMainFormTest, SimulatedBusIsNamedInCaptionAndOnScreen) {
    auto form = MakeForm(QStringLiteral("demo"));
    form->show();
    EXPECT_TRUE(form->windowTitle().contains(QStringLiteral("SIMULATED BUS")));
    const QLabel* banner = form->findChild<QLabel*>(QStringLiteral("SimulatedBusLabel"));
    EXPECT_TRUE(banner->isVisible());
    EXPECT_TRUE(banner->text().contains(QStringLiteral("demo")));
}

TEST_F(TMainFormTest, ClosingIsRefusedWhileAShowPlaysAndLogsTheClosingLinesOnce) {
    auto form = MakeForm(QStringLiteral("demo"));
    form->Session().Projects().Project(0).LoadFromBytes("60 3 1\n", "show.txt");
    form->show();
    form->Session().Player().Start(0);
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(
        LogMessages(form->Session().LogFilePath()).contains(QStringLiteral("Выход из программы")));

    form->Session().Player().Stop(true);
    EXPECT_TRUE(form->close());
    form->show();
    form->close();
    const QStringList log = LogMessages(form->Session().LogFilePath());
    ASSERT_GE(log.size(), 3);
    const QString rule(44, QLatin1Char('-'));
    EXPECT_EQ(log.mid(log.size() - 3),
              (QStringList{rule, QStringLiteral("Выход из программы"), rule}));
    EXPECT_EQ(log.count(QStringLiteral("Выход из программы")), 1);
}

TEST_F(TMainFormTest, OwnsThePlayerOnSlotZeroAndRefusesToCloseWhileItPlays) {
    auto form = MakeForm(QStringLiteral("demo"));
    // A demonstration plays its soundtrack to the null output, so audio is ready without a card.
    EXPECT_TRUE(AudioReady());
    EXPECT_EQ(form->Session().Player().Script(), &form->Session().Projects().Project(0));
    EXPECT_FALSE(LogMessages(form->Session().LogFilePath())
                     .contains(QStringLiteral("Ошибка инициализации аудио-устройства")));
    form->Session().Projects().Project(0).LoadFromBytes("60 3 1\n", "show.txt");
    form->show();
    form->Session().Player().Start(0);
    EXPECT_TRUE(form->Session().Wiring().ShowPlaying());
    EXPECT_FALSE(form->close());
    // The other console's stop reaches the player through the bus wiring: closing works again.
    form->Session().Wiring().HandleFrame(BusFrame{0x90, 0, 50, 0x00, 0, 0}, 0);
    EXPECT_FALSE(form->Session().Player().IsPlaying());
    EXPECT_TRUE(form->close());
}

TEST_F(TMainFormTest, ExitActionOnlyWhileWaitingWithoutSearchOrTest) {
    auto form = MakeForm();
    EXPECT_EQ(form->ExitAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_X));
    form->ActionListUpdate();
    EXPECT_TRUE(form->ExitAction()->isEnabled());

    form->Session().State().LaunchState = ConsoleState::Armed;
    form->ActionListUpdate();
    EXPECT_FALSE(form->ExitAction()->isEnabled());
    form->Session().State().LaunchState = ConsoleState::Waiting;

    form->Session().Wiring().SetSearching(true);
    form->ActionListUpdate();
    EXPECT_FALSE(form->ExitAction()->isEnabled());
    // The window's own close command still works during a search.
    form->show();
    EXPECT_TRUE(form->close());
    form->Session().Wiring().SetSearching(false);
}

}  // namespace
}  // namespace kv
