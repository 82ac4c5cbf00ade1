// The questions that stand between the operator and the devices, through the real window: the
// HV charge, the mode commands for all modules with their read-back, the remote control's write
// with modules on or with an empty slot, the file dialogs' filters under a language file, and
// Qt's own buttons in the interface's language.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "../../devices/sim/ConsoleSimHarness.h"
#include "OwnedMainForm.h"
#include "WindowTestBase.h"
#include "console/DeviceMaintenance.h"
#include "console/MemoryOperations.h"
#include "console/ShowControl.h"
#include "console/windows/HvPanel.h"
#include "console/windows/QtTranslations.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TestModePanel.h"
#include "i18n/Localizer.h"
#include "sim/SimHvModule.h"

namespace kv {
namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

// Answers the next modal box or dialog with answer once it is up (looking for it for up to a
// second of events); records its text. No box within that time: nothing is answered, and the
// test's expectations say whether a question was due.
void AnswerNextModal(std::function<void(QWidget*)> answer, QString* text = nullptr,
                     int triesLeft = 100) {
    QTimer::singleShot(10, [answer = std::move(answer), text, triesLeft]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            if (triesLeft > 0) {
                AnswerNextModal(std::move(answer), text, triesLeft - 1);
            }
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal); box != nullptr && text != nullptr) {
            *text = box->text();
        }
        answer(modal);
    });
}

void PressEsc(QWidget* modal) {
    QTest::keyClick(modal, Qt::Key_Escape);
}

void PressEnter(QWidget* modal) {
    QTest::keyClick(modal, Qt::Key_Return);
}

void Click(QMessageBox::StandardButton which, QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        box->button(which)->click();
    }
}

class DeviceQuestionsTest : public WindowTestBase {
protected:
    void TearDown() override {
        form_.reset();
        WindowTestBase::TearDown();
    }

    // The window over a bus with these devices, all registered, shown and active.
    TMainForm& MakeForm(const std::vector<SimDeviceConfig>& devices) {
        bus_->AddConverter();
        for (SimDeviceConfig c : devices) {
            c.recording = true;
            bus_->AddDevice(0, c);
        }
        OwnedMainForm::Options options;
        options.programDir = dir_.path();
        options.backend = bus_;
        options.rig = QStringLiteral("test rig");
        form_ = std::make_unique<OwnedMainForm>(options);
        for (const SimDeviceConfig& c : devices) {
            EXPECT_NE(form_->Session().Wiring().Controls().RegisterDevice(c.address, 0), nullptr);
        }
        form_->show();
        QApplication::setActiveWindow(form_.get());
        form_->RefreshButtons();
        bus_->ClearRecords();
        return *form_;
    }

    // Shift+F8 as the operator presses it: the window is active again once a box has closed.
    static void ShiftF8(TMainForm& form) {
        QApplication::setActiveWindow(&form);
        QTest::keyClick(&form, Qt::Key_F8, Qt::ShiftModifier);
    }

    void Load(const QByteArray& script) {
        Owned(*form_).Dialogs().ScriptFile = [this, script] {
            dir_.write(QStringLiteral("show.txt"), script);
            return dir_.file(QStringLiteral("show.txt"));
        };
        form_->Session().Show().ToggleScript();
        form_->RefreshButtons();
    }

    // Frames the console wrote with this code (-1: any) to this address (-1: any).
    int SentCount(int code, int address = -1) const {
        int n = 0;
        for (const SimRecord& r : bus_->Records(0)) {
            if (r.direction == SimDirection::FromConsole && r.bytes.size() >= 6 &&
                (code < 0 || r.bytes[0] == code) && (address < 0 || r.bytes[5] == address)) {
                ++n;
            }
        }
        return n;
    }

    QStringList LogLines(const QString& text) const {
        QFile f(form_->Session().LogFilePath());
        if (!f.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n")).filter(text);
    }

    FakeClock clock_{5000};
    ScopedClock scopedClock_{clock_};
    std::shared_ptr<SimBus> bus_ = std::make_shared<SimBus>();
    std::unique_ptr<TMainForm> form_;
};

// One click on "Заряд" used to charge the capacitor at once, silently, with the console
// disarmed. Now a question comes first, whose default and Esc leave it uncharged, and a charge
// is logged.
TEST_F(DeviceQuestionsTest, HvChargeAsksFirstAndIsLogged) {
    TMainForm& form = MakeForm({SimOf(SimDeviceKind::HvModule, 20)});
    QTest::keyClick(form.windowHandle(), Qt::Key_Tab);  // test mode; the HV module is selected
    HvPanel& hv = form.TestPage().Hv();
    ASSERT_FALSE(hv.isHidden());
    QPushButton* charge = hv.ChargeButton(0);
    ASSERT_TRUE(charge->isEnabled());
    const auto* module = bus_->FindAs<SimHvModule>(20);

    QString asked;
    AnswerNextModal(PressEsc, &asked);
    QTest::mouseClick(charge, Qt::LeftButton);
    EXPECT_EQ(SentCount(0x84), 0) << "Esc charges nothing";
    EXPECT_EQ(module->TargetVolts(), 0);
    EXPECT_TRUE(asked.contains(U("Пульт: 20, канал: 1, напряжение, В: 1"))) << asked.toStdString();

    AnswerNextModal(PressEnter);
    QTest::mouseClick(charge, Qt::LeftButton);
    EXPECT_EQ(SentCount(0x84), 0) << "the default answer is no";
    EXPECT_TRUE(LogLines(U("Заряд ВВ")).isEmpty());

    AnswerNextModal([](QWidget* m) { Click(QMessageBox::Yes, m); });
    QTest::mouseClick(charge, Qt::LeftButton);
    EXPECT_EQ(SentCount(0x84, 20), 1);
    EXPECT_EQ(module->TargetVolts(), 1);
    EXPECT_EQ(LogLines(U("Заряд ВВ, пульт: 20, канал: 1, напряжение, В: 1")).size(), 1);
}

// F11 sent the mode command and said nothing; HV and motor modules cannot report their mode,
// and a crew must not believe they are in test mode because the console was silent.
TEST_F(DeviceQuestionsTest, F11NamesTheModulesNotSeenInTestMode) {
    TMainForm& form = MakeForm({SimModule(4, 0x46B, 8), SimOf(SimDeviceKind::HvModule, 20),
                                SimOf(SimDeviceKind::MotorModule, 30)});
    QStringList boxes;
    Owned(form).Dialogs().Message = [&](const QString&, const QString& text) { boxes << text; };
    QTest::keyClick(form.windowHandle(), Qt::Key_F11);
    EXPECT_EQ(bus_->FindAs<SimFiringModule>(4)->Mode(), ModeTest);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith(U("Режим не подтвержден, пульты: 20, 30")))
        << boxes[0].toStdString();
    EXPECT_EQ(LogLines(U("Режим не подтвержден, пульты: 20, 30")).size(), 1);
    EXPECT_EQ(LogLines(U("Режим теста, пультов: 3")).size(), 1);
}

// The "switch the modules off" notice had only OK, and Esc went ahead: the remote's cue frames
// then reached modules that take them as their own.
TEST_F(DeviceQuestionsTest, RemoteWriteWithModulesOnSendsNothingOnCancelOrEsc) {
    TMainForm& form =
        MakeForm({SimModule(5, 0x165, 16), SimOf(SimDeviceKind::RemoteControl, 0, 0x146)});
    Load("1 5 3\n2 5 4\n");
    Owned(form).Dialogs().Message = [](const QString&, const QString&) {};
    QString asked;
    AnswerNextModal(PressEsc, &asked);
    ShiftF8(form);
    EXPECT_EQ(asked,
              U("Необходимо выключить подключенные пульты.\nВыключите пульты и нажмите <ОК>."));
    EXPECT_EQ(SentCount(-1, 0), 0) << "nothing to the remote";
    EXPECT_EQ(SentCount(0x91), 0) << "no cue frame on the bus";

    AnswerNextModal(PressEnter);
    ShiftF8(form);
    EXPECT_EQ(SentCount(0x91), 0) << "Enter is the cancel too";

    AnswerNextModal([](QWidget* m) { Click(QMessageBox::Ok, m); });
    ShiftF8(form);
    EXPECT_EQ(SentCount(0x91, 5), 2) << "OK writes the two cues (module 5's address byte)";
}

// Shift+F8 with an empty slot erased a newer remote's script and logged success.
TEST_F(DeviceQuestionsTest, ShiftF8WithAnEmptySlotLeavesTheRemoteAlone) {
    TMainForm& form = MakeForm({SimOf(SimDeviceKind::RemoteControl, 0, 0x146)});
    QStringList boxes;
    Owned(form).Dialogs().Message = [&](const QString&, const QString& text) { boxes << text; };
    ShiftF8(form);
    EXPECT_EQ(SentCount(-1, 0), 0);
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_TRUE(LogLines(U("Успешно")).isEmpty());
    EXPECT_FALSE(form.FindAction(QStringLiteral("SavePDUAction"))->isEnabled());
}

// The script and soundtrack dialogs took their filters from the forcing words (messages 61 and
// 62), so a language file turned them into "включено" and "выключено".
TEST_F(DeviceQuestionsTest, FileDialogFiltersAreTheirOwnTextsUnderALanguageFile) {
    QByteArray strings = "[strings]\n";
    for (int i = 0; i < 63; ++i) {
        const char* text = i == 61 ? "включено" : i == 62 ? "выключено" : "x";
        strings += "s" + QByteArray::number(i) + "=" + text + "\n";
    }
    dir_.write(QStringLiteral("kelvanex.lng"), strings);
    TMainForm& form = MakeForm({});
    form.show();  // translated on first showing, as at start-up
    ASSERT_EQ(LoadedMessageCount(), 63);

    QStringList filters;
    AnswerNextModal([&](QWidget* m) {
        if (auto* dialog = qobject_cast<QFileDialog*>(m)) {
            filters = dialog->nameFilters();
        }
        PressEsc(m);
    });
    Owned(form).Dialogs().AskScriptFile();
    EXPECT_EQ(filters, QStringList{U("Текстовые файлы (*.txt)")});

    AnswerNextModal([&](QWidget* m) {
        if (auto* dialog = qobject_cast<QFileDialog*>(m)) {
            filters = dialog->nameFilters();
        }
        PressEsc(m);
    });
    Owned(form).Dialogs().AskSoundFile();
    ASSERT_EQ(filters.size(), 1);
    EXPECT_TRUE(filters[0].startsWith(U("Аудиофайлы ("))) << filters[0].toStdString();
}

// Qt's own buttons read "Отмена", not "Cancel", in the questions of a Russian console.
TEST(QtTranslationsTest, DialogButtonsReadInTheInterfaceLanguage) {
    if (!InstallQtTranslations(*qApp, QString::fromLatin1(kInterfaceLanguage))) {
        GTEST_SKIP() << "Qt's translations are not installed (qt6-translations-l10n)";
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("t"), QStringLiteral("x"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')), U("Отмена"));
    EXPECT_FALSE(InstallQtTranslations(*qApp, QStringLiteral("xx")));
}

}  // namespace
}  // namespace kv
