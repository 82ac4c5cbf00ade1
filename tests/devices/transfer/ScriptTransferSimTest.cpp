// The memory transfers against the simulated devices of each firmware generation: what goes on
// the wire, what the devices hold afterwards, and how failures and cancels end an operation.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QtEndian>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "FakeClock.h"
#include "bus/TPortProto.h"
#include "core/Clock.h"
#include "devices/ScriptTransfer.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "devices/TRemoteControl.h"
#include "sim/SimBus.h"
#include "sim/SimFiringModule.h"
#include "sim/SimRemoteControl.h"

namespace kv {
namespace {

struct Report {
    int percent, index, item, address;
};

TScriptCue Fire(int module, int channel, int t) {
    TScriptCue c;
    c.Module = module;
    c.Channel = channel;
    c.Time = t;
    return c;
}

class TransferOnSimBus : public ::testing::Test {
protected:
    void SetUp() override {
        sim_->AddConverter();
        proto_ = std::make_unique<TPortProto>(16, sim_);
        InstallProto(proto_.get());
        ASSERT_TRUE(proto_->OpenPort());
        controls_ = std::make_unique<TControls>(*proto_);
        controls_->OnTransferProgress = [this](int percent, int index, bool& cancel, int item,
                                               int address) {
            reports_.push_back({percent, index, item, address});
            if (cancelWhen_ && cancelWhen_(address)) {
                cancel = true;
            }
        };
    }
    void TearDown() override {
        controls_.reset();
        proto_->ClosePort();
        InstallProto(nullptr);
    }

    SimDevice& Add(SimDeviceKind kind, int address, int version, int channels = 16,
                   char type = 'A') {
        SimDeviceConfig c;
        c.kind = kind;
        c.address = address;
        c.version = version;
        c.channels = channels;
        c.typeLetter = type;
        c.recording = true;
        return sim_->AddDevice(0, c);
    }
    SimFiringModule& Module(int address, int version, int channels = 16) {
        return dynamic_cast<SimFiringModule&>(
            Add(SimDeviceKind::FiringModule, address, version, channels));
    }
    TCommonDevice* Register(int address) {
        TCommonDevice* d = controls_->RegisterDevice(address, 0);
        EXPECT_NE(d, nullptr) << "address " << address;
        return d;
    }
    // Data bytes and address of every frame the console sent with this code.
    std::vector<std::vector<uint8_t>> Sent(uint8_t code) const {
        std::vector<std::vector<uint8_t>> out;
        for (const SimRecord& r : sim_->Records(0)) {
            if (r.direction == SimDirection::FromConsole && r.bytes.size() >= 6 &&
                r.bytes[0] == code) {
                out.emplace_back(r.bytes.begin() + 1, r.bytes.begin() + 6);
            }
        }
        return out;
    }
    bool FinalReported() const {
        return !reports_.empty() && reports_.back().index == -1 && reports_.back().percent == 100;
    }

    // Pauses and answer waits run on simulated time: a black-box read alone is 15872 exchanges.
    FakeClock clock_{1000};
    ScopedClock scopedClock_{clock_};
    std::shared_ptr<SimBus> sim_ = std::make_shared<SimBus>();
    std::unique_ptr<TPortProto> proto_;
    std::unique_ptr<TControls> controls_;
    std::vector<Report> reports_;
    std::function<bool(int address)> cancelWhen_;  // sets cancel at a report
};

TEST_F(TransferOnSimBus, SlotLayoutWritesCuesThenFillsEveryLaterSlot) {
    SimFiringModule& sim = Module(5, 0x160);
    Register(5);
    sim_->ClearRecords();
    std::vector<TScriptCue> cues = {Fire(5, 6, 2000), Fire(5, 2, 1000), Fire(9, 0, 500)};
    ASSERT_EQ(transfer::WriteScript(*controls_, cues), 0);
    EXPECT_EQ(cues[0].Module, 9) << "the project's cues are sorted by time in place";

    const auto writes = Sent(0x91);
    ASSERT_EQ(writes.size(), 16u) << "two cues and fillers for slots 2..15";
    EXPECT_EQ(writes[0][2], 3);  // channel 3 (1-based) first: it is the earlier cue
    EXPECT_EQ(writes[1][2], 7);
    for (size_t i = 2; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i][0], 0xFF);
        EXPECT_EQ(writes[i][1], 0xFF);
        EXPECT_EQ(writes[i][2], i + 1) << "a filler's channel field is its slot";
    }
    const auto held = sim.Memory().Cues();
    ASSERT_EQ(held.size(), 2u);
    EXPECT_EQ(held[0].timeMs, 1000);
    EXPECT_EQ(held[1].channel, 6);
    EXPECT_TRUE(FinalReported());
    EXPECT_EQ(transfer::VerifyScript(*controls_, cues), 0);
}

TEST_F(TransferOnSimBus, PerChannelLayoutLeavesChannelsBelowTheHighestAlone) {
    SimFiringModule& sim = Module(5, 0x140);
    Register(5);
    // An older script left a time on channel 1 (1-based); this write must not touch it.
    ASSERT_TRUE(sim.Memory().Write({0x00, 0x0A, 0x01, 0x00}));
    sim_->ClearRecords();
    std::vector<TScriptCue> cues = {Fire(5, 2, 1000), Fire(5, 6, 2010)};
    ASSERT_EQ(transfer::WriteScript(*controls_, cues), 0);
    const auto writes = Sent(0x91);
    ASSERT_EQ(writes.size(), 2u + 9u) << "two cues, then channels 8..16 emptied";
    EXPECT_EQ(writes[1][3] >> 4, 1) << "tens of ms carried in the high nibble";
    EXPECT_EQ(writes[2][2], 8);
    EXPECT_EQ(writes.back()[2], 16);
    EXPECT_EQ(sim.Memory().Read(1)[1], 0x0A);
    EXPECT_EQ(transfer::VerifyScript(*controls_, cues), 0);
    cues[1].Time = 2100;
    EXPECT_EQ(transfer::VerifyScript(*controls_, cues), ResultScriptMismatch);
    EXPECT_FALSE(FinalReported());
}

// Firmware that does not answer cue writes cannot report a lost one: the write reads the memory
// back, and a write the module never got is a failure, not "done".
TEST_F(TransferOnSimBus, UnansweredWritesThatGotLostAreNotReportedAsSuccess) {
    SimFiringModule& perChannel = Module(5, 0x140);
    SimFiringModule& slotLayout = Module(6, 0x160);
    Register(5);
    Register(6);
    std::vector<TScriptCue> cues = {Fire(5, 1, 1000), Fire(5, 2, 2000), Fire(6, 1, 1000),
                                    Fire(6, 2, 2000)};
    ASSERT_EQ(transfer::WriteScript(*controls_, cues), 0) << "an undisturbed write";
    EXPECT_EQ(transfer::VerifyScript(*controls_, cues), 0);
    for (SimFiringModule* sim : {&perChannel, &slotLayout}) {
        // The ping before the writes goes through; the module's second cue write is lost.
        sim->Faults().dropRequest = SimFaultPattern::Sequence({3});
        reports_.clear();
        cues = {Fire(5, 1, 1500), Fire(5, 2, 2500), Fire(6, 1, 1500), Fire(6, 2, 2500)};
        EXPECT_EQ(transfer::WriteScript(*controls_, cues), ResultScriptMismatch);
        EXPECT_FALSE(FinalReported());
        sim->Faults().dropRequest = SimFaultPattern::Never();
    }
    ASSERT_EQ(transfer::WriteScript(*controls_, cues), 0) << "written again without losses";
}

TEST_F(TransferOnSimBus, AnsweredWritesKeepTwoMillisecondsAndVerifyAgainstWhatWasWritten) {
    Module(5, 0x165);
    Register(5);
    sim_->ClearRecords();
    std::vector<TScriptCue> cues = {Fire(5, 2, 12345)};
    ASSERT_EQ(transfer::WriteScript(*controls_, cues), 0);
    const auto writes = Sent(0x91);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes[0], (std::vector<uint8_t>{0x00, 0x7B, 0x03, 0x44, 5}));
    size_t answers = 0;
    for (const SimRecord& r : sim_->Records(0)) {
        answers += r.direction == SimDirection::FromDevice && r.bytes[0] == 0x6E;
    }
    EXPECT_EQ(answers, writes.size()) << "every cue write is answered from 0x165 on";
    // 12.345 s is stored as 12.344 s; that is a correct write, not a mismatch.
    EXPECT_EQ(transfer::VerifyScript(*controls_, cues), 0);
}

TEST_F(TransferOnSimBus, FastEraseFromNewestFirmwareAndChannelWritesOnOldest) {
    SimFiringModule& fast = Module(3, 0x46B, 8);
    SimFiringModule& old = Module(4, 0x140, 4);
    Register(3);
    Register(4);
    std::vector<TScriptCue> cues = {Fire(3, 0, 100), Fire(4, 1, 100)};
    ASSERT_EQ(transfer::WriteScript(*controls_, cues), 0);
    sim_->ClearRecords();
    reports_.clear();
    ASSERT_EQ(transfer::EraseScripts(*controls_), 0);
    EXPECT_EQ(Sent(0x95).size(), 1u);
    EXPECT_TRUE(Sent(0x8A).empty());
    EXPECT_EQ(Sent(0x91).size(), 4u) << "the old module gets the empty time on each channel";
    EXPECT_TRUE(fast.Memory().Cues().empty());
    EXPECT_TRUE(old.Memory().Cues().empty());
    ASSERT_GE(reports_.size(), 2u);
    EXPECT_EQ(reports_[0].percent, 67);  // 8 of 12 channels
    EXPECT_EQ(reports_[0].item, 8);
    EXPECT_TRUE(FinalReported());
}

TEST_F(TransferOnSimBus, MotorModuleBelowAnsweredWritesIsUnsupported) {
    Add(SimDeviceKind::MotorModule, 6, 0x164, 1, 'P');
    Module(8, 0x165);
    Register(6);
    Register(8);
    sim_->ClearRecords();
    TScriptCue move = Fire(6, 0, 1000);
    move.Kind = ckLeft;
    move.Param1 = 200;
    std::vector<TScriptCue> cues = {move, Fire(8, 0, 2000)};
    EXPECT_EQ(transfer::WriteScript(*controls_, cues), ResultUnsupported);
    EXPECT_TRUE(Sent(0x91).empty()) << "nothing written, and the next module not touched";
    EXPECT_FALSE(FinalReported());
}

TEST_F(TransferOnSimBus, CancelInTheSecondModuleStopsWithoutFinalReport) {
    Module(3, 0x160);
    Module(4, 0x160);
    Register(3);
    Register(4);
    cancelWhen_ = [](int address) { return address == 4; };
    std::vector<TScriptCue> cues = {Fire(3, 0, 100), Fire(4, 0, 200), Fire(4, 1, 300)};
    sim_->ClearRecords();
    EXPECT_EQ(transfer::WriteScript(*controls_, cues), ResultCancelled);
    EXPECT_FALSE(FinalReported());
    // Module 3 complete with its fillers, module 4 only its first cue: no fillers after a cancel.
    EXPECT_EQ(Sent(0x91).size(), 16u + 1u);
}

TEST_F(TransferOnSimBus, BlackBoxRecordsOfTwoModules) {
    Module(3, 0x46B, 8);
    Module(4, 0x165, 16);
    Register(3);
    Register(4);
    QByteArray box;
    ASSERT_EQ(transfer::ReadBlackBox(*controls_, box), 0);
    ASSERT_EQ(box.size(), 63802);
    const char* r1 = box.constData() + transfer::kBlackBoxRecordSize;
    EXPECT_EQ(static_cast<uint8_t>(box[0]), 3);
    EXPECT_EQ(qFromLittleEndian<qint32>(box.constData() + 1), 0x46B);
    EXPECT_EQ(qFromLittleEndian<qint32>(box.constData() + 5), 8);
    EXPECT_EQ(static_cast<uint8_t>(r1[0]), 4);
    EXPECT_EQ(qFromLittleEndian<qint32>(r1 + 5), 16);
    EXPECT_EQ(qFromLittleEndian<qint32>(r1 + 25), 0x0123) << "the length value of the module";
    double started = 0;
    const quint64 bits = qFromLittleEndian<quint64>(box.constData() + 9);
    std::memcpy(&started, &bits, sizeof started);
    EXPECT_GT(started, 46000.0) << "days since 30 December 1899";
    EXPECT_FALSE(FinalReported()) << "the black-box read has no final report";
}

// The words of a record, without its header (which holds the time of the reading).
QByteArray Words(const QByteArray& box, int record) {
    return box.mid(record * transfer::kBlackBoxRecordSize + transfer::kBlackBoxHeaderSize,
                   transfer::kBlackBoxRecordSize - transfer::kBlackBoxHeaderSize);
}

// A lost answer costs a retry of the same word, never the module nor the records read so far.
TEST_F(TransferOnSimBus, BlackBoxAsksALostWordAgain) {
    SimFiringModule& m3 = Module(3, 0x46B, 8);
    Module(4, 0x165, 16);
    Register(3);
    Register(4);
    QByteArray clean;
    ASSERT_EQ(transfer::ReadBlackBox(*controls_, clean), 0);
    // Answer 1 is the length; then one lost answer, and later two in a row on one word.
    m3.Faults().loseAnswer = SimFaultPattern::Sequence({10, 500, 501});
    QByteArray box;
    transfer::BlackBoxReadSummary sum;
    ASSERT_EQ(transfer::ReadBlackBox(*controls_, box, &sum), 0);
    ASSERT_EQ(box.size(), 2 * transfer::kBlackBoxRecordSize);
    EXPECT_EQ(sum.read, 2);
    EXPECT_EQ(sum.retries, 3);
    EXPECT_TRUE(sum.skipped.empty());
    EXPECT_EQ(Words(box, 0), Words(clean, 0)) << "every word in its place";
    EXPECT_EQ(Words(box, 1), Words(clean, 1));
}

// A word that stays unanswered gives the module up: the read goes on with the others, keeps
// what it read, and leaves the dead module out instead of saving a gap as data. With no module
// read, the failure is the result.
TEST_F(TransferOnSimBus, BlackBoxGivesUpADeadModuleAndKeepsTheOthers) {
    SimFiringModule& m3 = Module(3, 0x46B, 8);
    SimFiringModule& m4 = Module(4, 0x165, 16);
    Register(3);
    Register(4);
    m3.Faults().loseAnswer = SimFaultPattern::Sequence({100, 101, 102});
    sim_->ClearRecords();
    QByteArray box;
    transfer::BlackBoxReadSummary sum;
    ASSERT_EQ(transfer::ReadBlackBox(*controls_, box, &sum), 0);
    ASSERT_EQ(box.size(), transfer::kBlackBoxRecordSize);
    EXPECT_EQ(static_cast<uint8_t>(box[0]), 4);
    EXPECT_EQ(sum.skipped, std::vector<int>{3});
    // Three tries of the dead word, and never a later word of that module.
    int tries = 0;
    int beyond = 0;
    for (const auto& f : Sent(0x94)) {
        const int word = ((f[0] << 8 | f[1]) - 0x400) / 4;
        if (f[4] == 3) {
            tries += word == 98 ? 1 : 0;
            beyond += word > 98 ? 1 : 0;
        }
    }
    EXPECT_EQ(tries, 3);
    EXPECT_EQ(beyond, 0);

    m4.Faults().loseAnswer = SimFaultPattern::Always();
    m3.Faults().loseAnswer = SimFaultPattern::Always();
    EXPECT_EQ(transfer::ReadBlackBox(*controls_, box, &sum), BusNoAnswer);
    EXPECT_TRUE(box.isEmpty());
    EXPECT_EQ(sum.skipped, (std::vector<int>{3, 4}));
}

// Between two tries the operator's cancel is seen at once.
TEST_F(TransferOnSimBus, BlackBoxCancelActsBetweenTries) {
    SimFiringModule& m3 = Module(3, 0x46B, 8);
    Register(3);
    m3.Faults().loseAnswer = SimFaultPattern::Always();
    cancelWhen_ = [this](int) { return reports_.size() >= 2; };
    sim_->ClearRecords();
    QByteArray box;
    EXPECT_EQ(transfer::ReadBlackBox(*controls_, box), ResultCancelled);
    EXPECT_EQ(Sent(0x94).size(), 2u) << "cancelled after the second try, before a third";
}

// The converter goes away in the middle of a module and is reopened: the read waits for it and
// goes on where it was.
TEST_F(TransferOnSimBus, BlackBoxWaitsForAConverterBeingReopened) {
    Module(3, 0x46B, 8);
    Register(3);
    QByteArray clean;
    ASSERT_EQ(transfer::ReadBlackBox(*controls_, clean), 0);
    const auto pump = [this] {
        QCoreApplication::processEvents();
        while (proto_->DispatchPending()) {
        }
    };
    // Real time for the worker's loss and reopen, whatever the fake clock does meanwhile.
    const auto waitFor = [&](const std::function<bool()>& done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done() && std::chrono::steady_clock::now() < until) {
            pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    };
    reports_.clear();
    std::size_t unpluggedAt = 0;
    bool replugged = false;
    cancelWhen_ = [&](int) {
        pump();
        if (unpluggedAt == 0 && reports_.size() == 1000) {
            sim_->Unplug(0);
            unpluggedAt = reports_.size();
            EXPECT_TRUE(waitFor([&] { return !proto_->IsOpen(); }));
        } else if (unpluggedAt != 0 && !replugged && reports_.size() >= unpluggedAt + 3) {
            sim_->Replug(0);
            replugged = true;
            EXPECT_TRUE(waitFor([&] { return proto_->IsOpen(); }));
        }
        return false;
    };
    QByteArray box;
    transfer::BlackBoxReadSummary sum;
    ASSERT_EQ(transfer::ReadBlackBox(*controls_, box, &sum), 0);
    EXPECT_TRUE(replugged);
    ASSERT_EQ(box.size(), transfer::kBlackBoxRecordSize);
    EXPECT_EQ(Words(box, 0), Words(clean, 0));
}

TEST_F(TransferOnSimBus, RemoteControlOfBothGenerations) {
    Add(SimDeviceKind::RemoteControl, 0, 0x145, 0);
    auto* remote = dynamic_cast<TRemoteControl*>(Register(0));
    ASSERT_NE(remote, nullptr);
    sim_->ClearRecords();
    EXPECT_EQ(transfer::EraseRemote(*remote), ResultUnsupported);
    EXPECT_TRUE(Sent(0x8A).empty());

    std::vector<Report> reports;
    remote->OnTransferProgress = [&](int p, int i, bool&, int item, int a) {
        reports.push_back({p, i, item, a});
    };
    std::vector<TScriptCue> cues = {Fire(7, 2, 1234), Fire(12, 0, 5000)};
    ASSERT_EQ(transfer::WriteRemoteScript(*remote, cues), 0);
    const auto writes = Sent(0x91);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0][4], 7) << "the address byte carries the cue's module";
    EXPECT_EQ(writes[1][4], 12);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[1].percent, 50);
    EXPECT_EQ(reports[1].address, 12);
    EXPECT_EQ(transfer::VerifyRemoteScript(*remote, cues), 0);
    cues[1].Module = 13;
    EXPECT_EQ(transfer::VerifyRemoteScript(*remote, cues), ResultTransferError);
}

TEST_F(TransferOnSimBus, RemoteEraseFromItsEraseGeneration) {
    auto& sim = dynamic_cast<SimRemoteControl&>(Add(SimDeviceKind::RemoteControl, 0, 0x146, 0));
    auto* remote = dynamic_cast<TRemoteControl*>(Register(0));
    ASSERT_NE(remote, nullptr);
    std::vector<TScriptCue> cues = {Fire(7, 2, 1000)};
    ASSERT_EQ(transfer::WriteRemoteScript(*remote, cues), 0);
    ASSERT_FALSE(sim.Memory().empty());
    EXPECT_EQ(transfer::EraseRemote(*remote), 0);
    EXPECT_TRUE(sim.Memory().empty());
}

TEST_F(TransferOnSimBus, CuesTheBusCannotCarryAreRefusedBeforeAnythingIsSent) {
    SimFiringModule& sim = Module(5, 0x165, 512);
    Register(5);
    // Each of these was written as something else and reported as success: the empty time (the
    // cue vanished), channel 512 (its high bit in the 2 ms bits), a time before zero (at zero).
    for (const TScriptCue& bad : {Fire(5, 0, 6553500), Fire(5, 0, 7200000), Fire(5, 511, 1000),
                                  Fire(5, 0, -100), Fire(5, -1, 1000)}) {
        SCOPED_TRACE(testing::Message() << bad.Channel << " " << bad.Time);
        sim_->ClearRecords();
        std::vector<TScriptCue> cues = {Fire(5, 1, 500), bad};
        EXPECT_EQ(transfer::WriteScript(*controls_, cues), ResultCueNotCarried);
        EXPECT_EQ(transfer::VerifyScript(*controls_, cues), ResultCueNotCarried);
        EXPECT_TRUE(Sent(0x91).empty());
        EXPECT_TRUE(Sent(0x92).empty());
    }
    EXPECT_TRUE(sim.Memory().Cues().empty());
    EXPECT_TRUE(reports_.empty());

    Add(SimDeviceKind::RemoteControl, 0, 0x146, 0);
    auto* remote = dynamic_cast<TRemoteControl*>(Register(0));
    ASSERT_NE(remote, nullptr);
    sim_->ClearRecords();
    // A module above 255 would reach the remote as another module.
    const std::vector<TScriptCue> cues = {Fire(300, 0, 1000)};
    EXPECT_EQ(transfer::WriteRemoteScript(*remote, cues), ResultCueNotCarried);
    EXPECT_EQ(transfer::VerifyRemoteScript(*remote, cues), ResultCueNotCarried);
    EXPECT_TRUE(Sent(0x91).empty());
}

TEST_F(TransferOnSimBus, CuesAtTheEdgesVerifyAgainstWhatWasWrittenOnEveryGeneration) {
    int address = 1;
    for (int version : {0x140, 0x160, 0x165}) {
        SCOPED_TRACE(version);
        Module(address, version, 512);
        Register(address);
        std::vector<TScriptCue> cues = {Fire(address, 0, 0), Fire(address, 510, 6553499),
                                        Fire(address, 7, 12347)};
        EXPECT_EQ(transfer::WriteScript(*controls_, cues), 0);
        EXPECT_EQ(transfer::VerifyScript(*controls_, cues), 0);
        ++address;
    }
    const auto held = dynamic_cast<SimFiringModule*>(sim_->Find(3))->Memory().Cues();
    ASSERT_GE(held.size(), 3u);
    EXPECT_EQ(held[2].channel, 510);
    EXPECT_EQ(held[2].timeMs, 6553498) << "the last time the record carries, to 2 ms";
}

}  // namespace
}  // namespace kv
