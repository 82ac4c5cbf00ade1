// The memory commands of the console below their window, against simulated modules and remote
// controls: what each outcome logs and shows, the checks before writing, the black-box file, the
// cues the bus cannot carry, and the guard against a second operation started from inside one.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <utility>
#include <vector>

#include "ConsoleSimHarness.h"
#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "console/MemoryOperations.h"
#include "devices/BlackBoxFile.h"
#include "devices/ScriptTransfer.h"
#include "shows/TProjectList.h"
#include "sim/SimFiringModule.h"
#include "sim/SimRemoteControl.h"

using namespace kv;

namespace {

using Box = std::pair<QString, QString>;

QString U(const char* text) {
    return QString::fromUtf8(text);
}

class MemoryOnSim : public ::testing::Test {
protected:
    // Converter 0 with the given devices, all registered, polling on, the hooks recorded.
    void Start(const std::vector<SimDeviceConfig>& devices) {
        sim_.Bus().AddConverter();
        for (SimDeviceConfig c : devices) {
            c.recording = true;
            sim_.Bus().AddDevice(0, c);
        }
        ASSERT_TRUE(sim_.Open());
        for (const SimDeviceConfig& c : devices) {
            ASSERT_NE(sim_.Controls().RegisterDevice(c.address, 0), nullptr) << c.address;
        }
        sim_.Wiring().StartPolling();
        ops_ = std::make_unique<MemoryOperations>(sim_.Wiring(), dialogs_);
        ops_->SetChecks(&checks_);
        dialogs_.Begin = [this](const QString& title) { titles_ << title; };
        dialogs_.Report = [this](const QString& status, int percent) {
            statuses_ << status;
            percents_.push_back(percent);
            ASSERT_FALSE(sim_.Wiring().IdleTimer().isActive()) << "no poll inside an operation";
            if (onProgress_) {
                onProgress_();
            }
        };
        dialogs_.End = [this] { ++ends_; };
        dialogs_.Message = [this](const QString& caption, const QString& text) {
            boxes_.emplace_back(caption, text);
        };
        dialogs_.Yes = [this](const QString& caption, const QString& question) {
            boxes_.emplace_back(caption, question);
            return confirm_;
        };
        dialogs_.OkCancel = [this](const QString& caption, const QString& text) {
            boxes_.emplace_back(caption, text);
            return okCancel_;
        };
        dialogs_.Overwrite = [this](const QString& file) {
            overwriteAsked_ << file;
            return overwrite_;
        };
        dialogs_.SaveFile = [this](const QString& offered) {
            offered_ = offered;
            return saveAs_;
        };
        sim_.Bus().ClearRecords();
    }
    TProjectList Project(const char* script) {
        TProjectList p;
        EXPECT_FALSE(p.LoadFromBytes(QByteArray(script), QStringLiteral("test.txt")));
        return p;
    }
    SimFiringModule& Module(int address) { return *sim_.Bus().FindAs<SimFiringModule>(address); }
    Box Result(const char* text) { return {U("Сообщение"), U(text)}; }

    ConsoleOnSim sim_;
    // The show control's checks, as the test answers them (unset: they pass).
    struct Checks : TransferChecks {
        std::function<bool()> Present;
        std::function<bool()> Order;
        bool CheckModulesPresent() override { return !Present || Present(); }
        bool CheckCueOrder() override { return !Order || Order(); }
    };
    ScriptedDialogs dialogs_;
    Checks checks_;
    std::unique_ptr<MemoryOperations> ops_;
    QStringList titles_, statuses_;
    std::vector<int> percents_;
    int ends_ = 0;
    std::vector<Box> boxes_;
    bool confirm_ = true;
    bool okCancel_ = true;
    bool overwrite_ = false;
    QStringList overwriteAsked_;
    QString saveAs_, offered_;
    std::function<void()> onProgress_;
};

TEST_F(MemoryOnSim, WriteAndVerifyLogTheirTitleAndResultAndShowTheirBox) {
    Start({SimModule(5, 0x165, 16)});
    QStringList checks;
    checks_.Present = [&] {
        checks << QStringLiteral("present");
        return true;
    };
    checks_.Order = [&] {
        checks << QStringLiteral("order");
        return true;
    };
    const TProjectList project = Project("0.5 5 3\n1.25 5 7\n");

    auto outcome = ops_->WriteModules(project);
    EXPECT_EQ(outcome.status, MemoryOperations::Status::Done);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(checks, (QStringList{"present", "order"}));
    EXPECT_EQ(titles_, QStringList{U("Запись сценария в пульты...")});
    EXPECT_EQ(statuses_.value(1), U("Пульт: 5, канал: 3"));
    EXPECT_EQ(statuses_.last(), QString()) << "the final report has no device";
    EXPECT_EQ(percents_.back(), 100);
    EXPECT_EQ(boxes_, std::vector<Box>{Result("Операция успешно завершена")});
    EXPECT_EQ(ends_, 1);
    EXPECT_EQ(sim_.Log().With(U("Запись сценария в пульты... Успешно")).size(), 1);
    EXPECT_EQ(Module(5).Memory().Cues().size(), 2u);
    EXPECT_TRUE(sim_.Wiring().IdleTimer().isActive()) << "polling restarted";
    EXPECT_FALSE(ops_->Running());

    checks.clear();
    boxes_.clear();
    outcome = ops_->VerifyModules(Project("0.5 5 3\n1.3 5 7\n"));
    EXPECT_EQ(outcome.code, ResultScriptMismatch);
    EXPECT_EQ(checks, QStringList{"present"}) << "the order check is for writing only";
    EXPECT_EQ(boxes_, std::vector<Box>{Result("Несовпадение сценария в пультах.")});
    EXPECT_EQ(sim_.Log()
                  .With(U("Проверка сценария в пультах... Несовпадение сценария в пультах."))
                  .size(),
              1);
    EXPECT_EQ(ops_->VerifyModules(project).code, 0);
}

TEST_F(MemoryOnSim, ModuleThatStopsAnsweringEndsInTheTimeOutMessage) {
    Start({SimModule(5, 0x165, 16)});
    sim_.Bus().SwitchOff(0, 5);
    EXPECT_EQ(ops_->VerifyModules(Project("1 5 1\n")).code, ResultTimeout);
    EXPECT_EQ(boxes_, std::vector<Box>{Result("Ошибка передачи данных (истекло время ожидания).")});
    EXPECT_EQ(sim_.Log()
                  .With(U("Проверка сценария в пультах... Ошибка передачи данных (истекло время "
                          "ожидания)."))
                  .size(),
              1);
}

TEST_F(MemoryOnSim, UnsupportedFirmwareShowsItsOwnMessage) {
    SimDeviceConfig motor = SimOf(SimDeviceKind::MotorModule, 6, 0x164);
    Start({motor});
    EXPECT_EQ(ops_->WriteModules(Project("1 6 #L\n")).code, ResultUnsupported);
    EXPECT_EQ(boxes_, std::vector<Box>{Result("Версия прошивки не поддерживает операцию.")});
}

TEST_F(MemoryOnSim, DeclinedChecksAndEraseQuestionSendNothing) {
    Start({SimModule(5, 0x46B, 8)});
    checks_.Present = [] { return false; };
    EXPECT_EQ(ops_->WriteModules(Project("1 5 1\n")).status, MemoryOperations::Status::Declined);
    EXPECT_EQ(ops_->VerifyModules(Project("1 5 1\n")).status, MemoryOperations::Status::Declined);
    checks_.Present = [] { return true; };
    checks_.Order = [] { return false; };
    EXPECT_EQ(ops_->WriteModules(Project("1 5 1\n")).status, MemoryOperations::Status::Declined);
    confirm_ = false;
    EXPECT_EQ(ops_->EraseModules().status, MemoryOperations::Status::Declined);
    // Each call-off is logged as such, and nothing reads as a result of the operation.
    EXPECT_EQ(sim_.Log().With(U("Запись сценария в пульты... Операция прервана.")).size(), 2);
    EXPECT_EQ(sim_.Log().With(U("Проверка сценария в пультах... Операция прервана.")).size(), 1);
    EXPECT_EQ(sim_.Log().With(U("Удаление сценария в пультах... Операция прервана.")).size(), 1);
    EXPECT_TRUE(sim_.Log().With(U("Успешно")).empty());
    const Box question{U("Подтверждение"),
                       U("Вы действительно хотите удалить сценарий во всех пультах?")};
    EXPECT_EQ(boxes_, std::vector<Box>{question});
    EXPECT_TRUE(sim_.Sent().empty());
    EXPECT_TRUE(titles_.isEmpty()) << "the progress window was never shown";
    EXPECT_TRUE(sim_.Wiring().IdleTimer().isActive());

    confirm_ = true;
    boxes_.clear();
    EXPECT_EQ(ops_->EraseModules().code, 0);
    EXPECT_EQ(sim_.Sent(0, 0x95).size(), 1u);
    EXPECT_EQ(boxes_.back(), Result("Операция успешно завершена"));
    EXPECT_EQ(sim_.Log().With(U("Удаление сценария в пультах... Успешно")).size(), 1);
}

TEST_F(MemoryOnSim, BlackBoxIsSavedUnderTheDatRuleWithItsRecords) {
    Start({SimModule(3, 0x46B, 8), SimModule(4, 0x165, 16)});
    TempDir dir;
    saveAs_ = dir.file(QStringLiteral("box"));
    EXPECT_EQ(ops_->ReadBlackBox().code, 0);
    EXPECT_EQ(offered_, DefaultBlackBoxFileName());
    EXPECT_TRUE(offered_.endsWith(QStringLiteral(".dat")));
    const QFileInfo written(dir.file(QStringLiteral("box.DAT")));
    ASSERT_TRUE(written.exists());
    EXPECT_EQ(written.size(), 4 + 2 * transfer::kBlackBoxRecordSize);
    EXPECT_EQ(boxes_, std::vector<Box>{Result("Операция успешно завершена")});

    // The rest with one module: each read is 7936 exchanges per module.
    sim_.Controls().Delete(1);
    // A name already ending in .dat, in any case, is kept.
    saveAs_ = dir.file(QStringLiteral("kept.Dat"));
    EXPECT_EQ(ops_->ReadBlackBox().code, 0);
    EXPECT_TRUE(QFileInfo::exists(dir.file(QStringLiteral("kept.Dat"))));
    EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("kept.Dat.DAT"))));

    // A dialog cancelled writes nothing, and says that the reading was not saved.
    saveAs_.clear();
    boxes_.clear();
    EXPECT_EQ(ops_->ReadBlackBox().code, ResultCancelled);
    EXPECT_EQ(boxes_, std::vector<Box>{Result("Операция прервана.")});

    // A file that cannot be written is an error, never a success.
    saveAs_ = dir.file(QStringLiteral("missing/folder/box"));
    boxes_.clear();
    EXPECT_EQ(ops_->ReadBlackBox().status, MemoryOperations::Status::FileError);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].first, U("Ошибка"));
}

TEST_F(MemoryOnSim, CancelledBlackBoxOffersNoFile) {
    Start({SimModule(3, 0x46B, 8)});
    saveAs_ = QStringLiteral("/should/not/be/asked");
    onProgress_ = [this] {
        if (percents_.size() == 3) {
            ops_->Cancel();
        }
    };
    EXPECT_EQ(ops_->ReadBlackBox().code, ResultCancelled);
    EXPECT_TRUE(offered_.isEmpty()) << "no save dialog after a cancel";
    EXPECT_EQ(boxes_, std::vector<Box>{Result("Операция прервана.")});
    EXPECT_EQ(sim_.Log().With(U("Чтение показаний \"черного ящика\"... Операция прервана.")).size(),
              1);
    EXPECT_LT(sim_.Sent(0, 0x94).size(), 10u) << "the read stopped at the cancel";
}

TEST_F(MemoryOnSim, NoSecondOperationSearchOrTestStartsInsideARunningOne) {
    Start({SimModule(5, 0x160, 16)});
    const TProjectList project = Project("1 5 1\n2 5 2\n");
    std::vector<MemoryOperations::Status> inner;
    bool searchStarted = false, testRan = true;
    onProgress_ = [&] {
        if (!inner.empty()) {
            return;
        }
        // The operator presses Ctrl+F8, F8, F10 and the channel test while the write runs.
        inner.push_back(ops_->EraseModules().status);
        inner.push_back(ops_->WriteModules(project).status);
        inner.push_back(ops_->ReadBlackBox().status);
        sim_.Wiring().StartSearch();
        searchStarted = sim_.Wiring().Searching();
        testRan = sim_.Wiring().CheckSelected();
    };
    EXPECT_EQ(ops_->WriteModules(project).code, 0);
    EXPECT_EQ(inner, std::vector<MemoryOperations::Status>(3, MemoryOperations::Status::Busy));
    EXPECT_FALSE(searchStarted);
    EXPECT_FALSE(testRan);
    EXPECT_EQ(titles_.size(), 1);
    EXPECT_EQ(boxes_.size(), 1u) << "no question or result of an operation that never ran";
    EXPECT_FALSE(sim_.Wiring().BusHeld());
    EXPECT_TRUE(sim_.Wiring().IdleTimer().isActive());

    // Nor while a search runs.
    onProgress_ = nullptr;
    sim_.Wiring().StartSearch();
    EXPECT_EQ(ops_->EraseModules().status, MemoryOperations::Status::Busy);
    sim_.Wiring().StopSearch();
}

TEST_F(MemoryOnSim, CuesTheBusCannotCarryAreListedAndNothingIsWritten) {
    Start({SimModule(5, 0x165, 16)});
    bool checked = false;
    checks_.Present = [&] { return checked = true; };
    QString message;
    QStringList lines;
    dialogs_.RefusedCues = [&](const QString& m, const QStringList& l) {
        message = m;
        lines = l;
    };
    // 6553.5 s is the empty time; channel 512 does not fit the record's channel bits.
    const TProjectList project = Project("1 5 1\n6553.5 5 2\n2 5 512\n");
    for (int verify = 0; verify < 2; ++verify) {
        const auto outcome = verify ? ops_->VerifyModules(project) : ops_->WriteModules(project);
        EXPECT_EQ(outcome.status, MemoryOperations::Status::CuesRefused);
        EXPECT_EQ(outcome.code, ResultCueNotCarried);
    }
    EXPECT_FALSE(checked);
    EXPECT_TRUE(sim_.Sent().empty());
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(message, U("В сценарии есть команды, которые невозможно передать по шине (пульт, "
                         "канал, время)."));
    EXPECT_EQ(lines, (QStringList{U("Пульт: 5, канал: 512, время: 2"),
                                  U("Пульт: 5, канал: 2, время: 6553.5")}));
    EXPECT_EQ(sim_.Log().With(U("Пульт: 5, канал: 512, время: 2")).size(), 2);
}

TEST_F(MemoryOnSim, RemoteWriteFollowsItsFirmwareAndIsRefusedWithoutARemote) {
    Start({SimModule(5, 0x165, 16)});
    const TProjectList project = Project("1 7 3\n2 12 1\n");
    EXPECT_EQ(ops_->WriteRemote(project).status, MemoryOperations::Status::NoRemote);
    EXPECT_EQ(ops_->VerifyRemote(project).status, MemoryOperations::Status::NoRemote);
    EXPECT_EQ(boxes_.back(), Box(U("Ошибка"), U("ПДУ(Р) не подключен.")));
    EXPECT_TRUE(sim_.Sent().empty());
    EXPECT_TRUE(titles_.isEmpty());

    // An old remote: put into write mode by hand, and out of it afterwards.
    SimDeviceConfig remote = SimOf(SimDeviceKind::RemoteControl, 0, 0x145);
    remote.recording = true;
    sim_.Bus().AddDevice(0, remote);
    ASSERT_NE(sim_.Controls().RegisterDevice(0, 0), nullptr);
    boxes_.clear();
    sim_.Bus().ClearRecords();
    EXPECT_EQ(ops_->WriteRemote(project).code, 0);
    EXPECT_EQ(
        boxes_,
        (std::vector<Box>{
            {U("Предупреждение"),
             U("Необходимо выключить подключенные пульты.\nВыключите пульты и нажмите <ОК>.")},
            {U("Подтверждение"), U("Переведите ПДУР в режим записи и нажмите <ОК>.")},
            {U("Подтверждение"), U("Переведите ПДУР из режима записи и нажмите <ОК>.")},
            Result("Операция успешно завершена"),
        }));
    EXPECT_TRUE(sim_.Sent(0, 0x8A).empty()) << "no erase below 0x146";
    EXPECT_EQ(sim_.Log().With(U("Запись сценария в ПДУ(Р)... Успешно")).size(), 1);
    EXPECT_EQ(ops_->VerifyRemote(project).code, 0);
}

TEST_F(MemoryOnSim, NewerRemoteIsErasedBeforeTheWriteWithoutPrompts) {
    SimDeviceConfig remote = SimOf(SimDeviceKind::RemoteControl, 0, 0x146);
    Start({remote});
    EXPECT_EQ(ops_->WriteRemote(Project("1 7 3\n")).code, 0);
    EXPECT_EQ(sim_.Sent(0, 0x8A).size(), 1u);
    EXPECT_EQ(boxes_, std::vector<Box>{Result("Операция успешно завершена")});
    EXPECT_EQ(statuses_.value(1), U("Пульт: 7, канал: 3"));
}

// The remote's cue frames are the bytes of a module's cue write: with modules registered the
// write waits for the operator's OK, and a cancel (or Esc) sends nothing at all. An empty slot
// never reaches a remote that would be erased for it.
TEST_F(MemoryOnSim, RemoteWriteNeedsTheOperatorsOkWithModulesOnAndAScript) {
    SimDeviceConfig remote = SimOf(SimDeviceKind::RemoteControl, 0, 0x146);
    Start({SimModule(5, 0x165, 16), remote});
    const TProjectList project = Project("1 5 3\n");
    okCancel_ = false;
    EXPECT_EQ(ops_->WriteRemote(project).status, MemoryOperations::Status::Declined);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].first, U("Предупреждение"));
    EXPECT_TRUE(sim_.Sent().empty()) << "no erase, no cue frame the module could take";
    EXPECT_TRUE(titles_.isEmpty());
    EXPECT_EQ(sim_.Log().With(U("Запись сценария в ПДУ(Р)... Операция прервана.")).size(), 1);

    okCancel_ = true;
    EXPECT_EQ(ops_->WriteRemote(project).code, 0);
    EXPECT_EQ(sim_.Sent(0, 0x8A).size(), 1u);

    boxes_.clear();
    sim_.Bus().ClearRecords();
    TProjectList empty;
    EXPECT_EQ(ops_->WriteRemote(empty).status, MemoryOperations::Status::NoScript);
    EXPECT_TRUE(sim_.Sent().empty()) << "the remote's script is not erased for an empty slot";
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(sim_.Log().With(U("Успешно")).size() == 1u) << "only the real write's line";
}

// The overwrite question names the file really written (".DAT" appended), and a no leaves it
// as it was.
TEST_F(MemoryOnSim, BlackBoxAsksBeforeReplacingTheFileItWouldWrite) {
    Start({SimModule(3, 0x46B, 8)});
    TempDir dir;
    const QString written = dir.file(QStringLiteral("box.DAT"));
    {
        QFile old(written);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    {
        QFile typed(dir.file(QStringLiteral("typed")));
        ASSERT_TRUE(typed.open(QIODevice::WriteOnly));
        typed.write("x");
    }
    // "typed" exists but "typed.DAT" does not: nothing to ask, nothing replaced but the new file.
    saveAs_ = dir.file(QStringLiteral("typed"));
    EXPECT_EQ(ops_->ReadBlackBox().code, 0);
    EXPECT_TRUE(overwriteAsked_.isEmpty());
    EXPECT_EQ(QFileInfo(dir.file(QStringLiteral("typed"))).size(), 1);
    EXPECT_TRUE(QFileInfo::exists(dir.file(QStringLiteral("typed.DAT"))));

    saveAs_ = dir.file(QStringLiteral("box"));
    overwrite_ = false;
    EXPECT_EQ(ops_->ReadBlackBox().code, ResultCancelled) << "not saved is no success";
    EXPECT_EQ(overwriteAsked_, QStringList{written});
    EXPECT_EQ(QFileInfo(written).size(), 3) << "declined: the old file stays";

    overwrite_ = true;
    EXPECT_EQ(ops_->ReadBlackBox().code, 0);
    EXPECT_EQ(QFileInfo(written).size(), 4 + transfer::kBlackBoxRecordSize);
}

}  // namespace

TEST_F(MemoryOnSim, CuesTheModulesCannotHoldAreListedAndNothingIsWritten) {
    // Module 5 keeps one time per channel; module 6 has 16 channels; module 7 drives motors.
    Start({SimModule(5, 0x140, 16), SimModule(6, 0x165, 16),
           SimOf(SimDeviceKind::MotorModule, 7, 0x165)});
    QString message;
    QStringList lines;
    dialogs_.RefusedCues = [&](const QString& m, const QStringList& l) {
        message = m;
        lines = l;
    };
    bool checked = false;
    checks_.Present = [&] { return checked = true; };
    const TProjectList project =
        Project("1 5 3\n2 6 40\n3 5 3\n4 6 16\n5 7 #C#100\n6 7 2\n7 9 40\n");
    const auto outcome = ops_->WriteModules(project);
    EXPECT_EQ(outcome.status, MemoryOperations::Status::CuesRefused);
    EXPECT_FALSE(checked);
    EXPECT_TRUE(sim_.Sent().empty()) << "nothing is written";
    EXPECT_TRUE(boxes_.empty()) << "no success box";
    EXPECT_EQ(message, U("Пульты не могут хранить эти команды сценария; ничего не записано:"));
    // Module 9 is not on the bus: the present check speaks for it.
    EXPECT_EQ(lines, (QStringList{U("Пульт: 6, канал: 40, время: 2 - у пульта 16 каналов"),
                                  U("Пульт: 5, канал: 3, время: 3 - канал уже занят: прошивка "
                                    "пульта хранит одно время на канал"),
                                  U("Пульт: 7, канал: 2, время: 6 - запуск канала для блока "
                                    "моторов")}));
    EXPECT_EQ(sim_.Log().With(U("Пульт: 6, канал: 40, время: 2")).size(), 1);

    // The same channel twice is fine where the memory is a list of entries.
    lines.clear();
    const auto fine = ops_->WriteModules(Project("1 6 3\n3 6 3\n"));
    EXPECT_EQ(fine.status, MemoryOperations::Status::Done);
    EXPECT_TRUE(lines.isEmpty());
}
