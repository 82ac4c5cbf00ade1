#include "devices/ScriptTransfer.h"

#include <QDateTime>
#include <QStringList>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <functional>

#include "bus/TPortProto.h"
#include "core/Clock.h"
#include "core/EventLog.h"
#include "devices/CueLimits.h"
#include "devices/TCommonControl.h"
#include "devices/TControls.h"
#include "devices/TRemoteControl.h"
#include "i18n/Localizer.h"
#include "util/SystemUtils.h"

namespace kv::transfer {

namespace {

int Percent(double part, double whole) {
    if (whole <= 0) {
        return 100;  // nothing to do counts as done, and the operation goes on
    }
    return static_cast<int>(RoundHalfAway(part / whole * 100.0));
}

// Reports progress when someone listens; returns the cancel flag.
bool Report(const TransferProgressEvent& event, bool& cancel, int percent, int index, int item,
            int address) {
    if (event) {
        event(percent, index, cancel, item, address);
    }
    return cancel;
}

// The end shared by the module operations: a cancel or a failure ends without the final report,
// a cancel with -101.
int32_t Finish(const TransferProgressEvent& event, bool& cancel, int32_t result) {
    if (cancel || result != 0) {
        return result == 0 ? ResultCancelled : result;
    }
    Report(event, cancel, 100, -1, -1, -1);
    return 0;
}

// Days since 30 December 1899 with the time of day as fraction, the date format of the records.
double RecordDateTime(const QDateTime& now) {
    static const QDate epoch(1899, 12, 30);
    const double days = static_cast<double>(epoch.daysTo(now.date()));
    return days + now.time().msecsSinceStartOfDay() / 86400000.0;
}

void PutInt32(QByteArray& buffer, qsizetype at, int32_t v) {
    qToLittleEndian<qint32>(v, buffer.data() + at);
}

void PutDouble(QByteArray& buffer, qsizetype at, double v) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    qToLittleEndian<quint64>(bits, buffer.data() + at);
}

int32_t VerifyModule(TControls& controls, TCommonControl& m, const std::vector<TScriptCue>& cues,
                     int index, bool& cancel);

// Writes a module's cues with the writes its firmware takes.
int32_t WriteModuleCues(TControls& controls, TCommonControl& m, const std::vector<TScriptCue>& cues,
                        int index, bool& cancel);

// Firmware that does not answer cue writes cannot say that one was lost: its memory is read
// back before the write counts as done, so that a lost write is a failure here instead of a
// surprise at the show. (Motor modules of that firmware are refused as unsupported anyway.)
int32_t WriteModule(TControls& controls, TCommonControl& m, const std::vector<TScriptCue>& cues,
                    int index, bool& cancel) {
    int32_t result = WriteModuleCues(controls, m, cues, index, cancel);
    if (result == 0 && !cancel && m.Kind != KindMotorControl && m.Version < fw::CheckedCueWrite) {
        result = VerifyModule(controls, m, cues, index, cancel);
    }
    return result;
}

int32_t WriteModuleCues(TControls& controls, TCommonControl& m, const std::vector<TScriptCue>& cues,
                        int index, bool& cancel) {
    TPortProto& bus = controls.Bus();
    const TransferProgressEvent& event = controls.OnTransferProgress;
    const double whole = static_cast<double>(cues.size()) * controls.Count();
    const auto percent = [&](size_t i) {
        return Percent(static_cast<double>(cues.size()) * index + static_cast<double>(i), whole);
    };
    m.Ping();  // refreshes ChannelCount
    int32_t result = 0;
    const bool checked = m.Version >= fw::CheckedCueWrite;
    if (m.Kind == KindMotorControl) {
        for (size_t i = 0; i < cues.size() && result == 0 && !cancel; ++i) {
            const TScriptCue& c = cues[i];
            if (c.Module != m.Address) {
                continue;
            }
            result = checked ? bus.WriteMotorCue(m.Address, c.Time, m.RelayId, m.PortIndex,
                                                 c.Param1, c.Param2, c.Kind)
                             : ResultUnsupported;
            Report(event, cancel, percent(i), index, 1, m.Address);
        }
        return result;
    }
    const auto writeCue = [&](int channel, int32_t t) {
        return checked ? bus.WriteCueChecked(m.Address, channel, m.RelayId, m.PortIndex, t)
                       : bus.WriteCue(m.Address, channel, m.RelayId, m.PortIndex, t);
    };
    if (m.Version >= fw::SlotMemory) {
        int slot = 0;
        for (size_t i = 0; i < cues.size() && result == 0 && !cancel; ++i) {
            const TScriptCue& c = cues[i];
            if (c.Module != m.Address) {
                continue;
            }
            result = writeCue(c.Channel, c.Time);
            ++slot;
            Report(event, cancel, percent(i), index, c.Channel + 1, m.Address);
        }
        if (result == 0 && !cancel) {
            // The slots after the last cue are emptied so that an older, longer script stored
            // there cannot fire; in this layout the channel field of a filler is its slot.
            for (; slot < m.ChannelCount; ++slot) {
                writeCue(slot, TPortProto::kEmptyTime);
            }
        }
        return result;
    }
    int highest = -1;
    for (size_t i = 0; i < cues.size() && result == 0 && !cancel; ++i) {
        const TScriptCue& c = cues[i];
        if (c.Module != m.Address) {
            continue;
        }
        result = bus.WriteCue(m.Address, c.Channel, m.RelayId, m.PortIndex, c.Time);
        highest = std::max(highest, c.Channel);
        Report(event, cancel, percent(i), index, c.Channel + 1, m.Address);
    }
    if (result == 0 && !cancel) {
        for (int ch = highest + 1; ch < m.ChannelCount; ++ch) {
            bus.WriteCue(m.Address, ch, m.RelayId, m.PortIndex, TPortProto::kEmptyTime);
        }
    }
    return result;
}

int32_t VerifyModule(TControls& controls, TCommonControl& m, const std::vector<TScriptCue>& cues,
                     int index, bool& cancel) {
    TPortProto& bus = controls.Bus();
    const TransferProgressEvent& event = controls.OnTransferProgress;
    const double whole = static_cast<double>(cues.size()) * controls.Count();
    const auto percent = [&](size_t i) {
        return Percent(static_cast<double>(cues.size()) * index + static_cast<double>(i), whole);
    };
    m.Ping();
    int32_t result = 0;
    const bool fine = m.Version >= fw::CheckedCueWrite;
    int slot = 0;
    for (size_t i = 0; i < cues.size() && result == 0 && !cancel; ++i) {
        const TScriptCue& c = cues[i];
        if (c.Module != m.Address) {
            continue;
        }
        int item = c.Channel + 1;
        if (m.Kind == KindMotorControl) {
            item = 1;
            if (!fine) {
                result = ResultUnsupported;
            } else {
                int t = 0, kind = 0, p1 = 0, p2 = 0;
                result = bus.ReadMotorCue(m.Address, slot, m.RelayId, m.PortIndex, t, kind, p1, p2);
                if (result == 0 && (t != StoredMotorTime(c.Time) || kind != c.Kind ||
                                    p1 != c.Param1 || p2 != c.Param2)) {
                    result = ResultScriptMismatch;
                }
            }
        } else if (m.Version >= fw::SlotMemory) {
            int t = 0, channel = -1;
            result = fine ? bus.ReadCueFine(m.Address, slot, m.RelayId, m.PortIndex, t, channel)
                          : bus.ReadCue(m.Address, slot, m.RelayId, m.PortIndex, t, channel);
            if (result == 0 && (t != StoredFireTime(c.Time, fine) || channel != c.Channel)) {
                result = ResultScriptMismatch;
            }
        } else {
            int t = 0;
            result = bus.ReadChannelTime(m.Address, c.Channel, m.RelayId, m.PortIndex, t);
            if (result == 0 && t != StoredFireTime(c.Time, false)) {
                result = ResultScriptMismatch;
            }
        }
        ++slot;
        Report(event, cancel, percent(i), index, item, m.Address);
    }
    return result;
}

}  // namespace

int32_t StoredFireTime(int32_t t, bool fineTime) {
    return TPortProto::CueFrameTime(TPortProto::CueFrame(0, 0, t, fineTime), fineTime);
}

int32_t StoredMotorTime(int32_t t) {
    // Motor records carry only the 100 ms steps of the cue record.
    const BusFrame f = TPortProto::CueFrame(0, 0, t, false);
    return f[1] * 25600 + f[2] * 100;
}

void SortCuesByTime(std::vector<TScriptCue>& cues) {
    std::stable_sort(cues.begin(), cues.end(),
                     [](const TScriptCue& a, const TScriptCue& b) { return a.Time < b.Time; });
}

// The module loop that write and verify share: sorted cues, modules in list order, stop at the
// first failure or cancel, then the common end.
using ModuleStep = int32_t (*)(TControls&, TCommonControl&, const std::vector<TScriptCue>&, int,
                               bool&);

static int32_t EachModule(TControls& controls, std::vector<TScriptCue>& cues, ModuleStep step) {
    if (!CuesTheBusCannotCarry(cues, CueTarget::Modules).empty()) {
        return ResultCueNotCarried;
    }
    SortCuesByTime(cues);
    bool cancel = false;
    int32_t result = 0;
    for (int i = 0; i < controls.Count() && result == 0 && !cancel; ++i) {
        TCommonControl* m = controls.ModuleAt(i);
        if (m && m->IsModule()) {
            result = step(controls, *m, cues, i, cancel);
        }
    }
    return Finish(controls.OnTransferProgress, cancel, result);
}

int32_t WriteScript(TControls& controls, std::vector<TScriptCue>& cues) {
    return EachModule(controls, cues, WriteModule);
}

int32_t VerifyScript(TControls& controls, std::vector<TScriptCue>& cues) {
    return EachModule(controls, cues, VerifyModule);
}

int32_t EraseScripts(TControls& controls) {
    TPortProto& bus = controls.Bus();
    const TransferProgressEvent& event = controls.OnTransferProgress;
    double total = 0;
    for (int i = 0; i < controls.Count(); ++i) {
        const TCommonControl* m = controls.ModuleAt(i);
        if (m && m->IsModule()) {
            total += m->ChannelCount;
        }
    }
    double done = 0;
    bool cancel = false;
    int32_t result = 0;
    for (int i = 0; i < controls.Count() && result == 0 && !cancel; ++i) {
        TCommonControl* m = controls.ModuleAt(i);
        if (!m || !m->IsModule()) {
            continue;
        }
        result = m->Ping();
        if (result != 0) {
            break;
        }
        if (m->Version >= fw::SlotMemory) {
            // The erase commands raise the answer window themselves (3 s and 5 s of device work).
            result = m->Version >= fw::FastErase
                         ? bus.EraseScriptFast(m->Address, m->RelayId, m->PortIndex)
                         : bus.EraseScript(m->Address, m->RelayId, m->PortIndex);
            done += m->ChannelCount;
            Report(event, cancel, Percent(done, total), i, m->ChannelCount, m->Address);
        } else {
            for (int ch = 0; ch < m->ChannelCount && result == 0 && !cancel; ++ch) {
                result =
                    bus.WriteCue(m->Address, ch, m->RelayId, m->PortIndex, TPortProto::kEmptyTime);
                done += 1;
                Report(event, cancel, Percent(done, total), i, ch + 1, m->Address);
            }
        }
    }
    return Finish(event, cancel, result);
}

namespace {

enum class WordRead { Read, Dead, Cancelled };

// One memory word, asked again after a failure. The answer names no word, so the read never
// moves on past a word it did not get: a late answer would be taken for the next word. A
// converter that is being reopened (a port error) is waited for, and those attempts are no
// tries. `between` runs between attempts (progress, the operator's cancel).
WordRead ReadWordWithRetries(TPortProto& bus, const TCommonControl& m, int w, uint8_t (&b)[4],
                             int& retries, int32_t& failure, const std::function<bool()>& between) {
    int tries = 0;
    bool waiting = false;
    uint32_t waitingSince = 0;
    for (;;) {
        const int32_t r =
            bus.ReadLogWord(m.Address, w, m.RelayId, m.PortIndex, b[0], b[1], b[2], b[3]);
        if (r == 0) {
            return WordRead::Read;
        }
        failure = r;
        if (r != BusNoAnswer) {
            // The frame did not go out right: the converter may be going away. A moment lets
            // the bus worker see it before the next try.
            if (between()) {
                return WordRead::Cancelled;
            }
            SleepMs(kBlackBoxBackOffMs);
        }
        if (r == BusPortError || !bus.IsOpen()) {
            if (!waiting) {
                waiting = true;
                waitingSince = TickCount();
            }
            if (ElapsedSince(waitingSince) < kBlackBoxReopenWaitMs) {
                if (between()) {
                    return WordRead::Cancelled;
                }
                SleepMs(kBlackBoxReopenPollMs);
                continue;
            }
        }
        waiting = false;
        if (++tries >= kBlackBoxTries) {
            return WordRead::Dead;
        }
        ++retries;
        if (between()) {
            return WordRead::Cancelled;
        }
    }
}

QString BlackBoxModuleText(int address) {
    return Message(Msg::BlackBoxModule) + QLatin1Char(' ') + QString::number(address);
}

}  // namespace

int32_t ReadBlackBox(TControls& controls, QByteArray& buffer, BlackBoxReadSummary* summary) {
    TPortProto& bus = controls.Bus();
    const TransferProgressEvent& event = controls.OnTransferProgress;
    buffer = QByteArray(static_cast<qsizetype>(controls.ModuleCount()) * kBlackBoxRecordSize, '\0');
    const double whole = static_cast<double>(controls.Count()) * kBlackBoxWords;
    BlackBoxReadSummary sum;
    bool cancel = false;
    int32_t failure = 0;
    qsizetype record = 0;
    for (int i = 0; i < controls.Count() && !cancel; ++i) {
        TCommonControl* m = controls.ModuleAt(i);
        if (!m || !m->IsModule()) {
            continue;
        }
        if ((record + 1) * kBlackBoxRecordSize > buffer.size()) {
            break;  // list changed under us
        }
        const qsizetype at = record * kBlackBoxRecordSize;
        std::fill(buffer.begin() + at, buffer.begin() + at + kBlackBoxRecordSize, '\0');
        buffer[at] = static_cast<char>(m->Address & 0xFF);
        PutInt32(buffer, at + 1, m->Version);
        PutInt32(buffer, at + 5, m->ChannelCount);
        PutDouble(buffer, at + 9, RecordDateTime(QDateTime::currentDateTime()));
        PutDouble(buffer, at + 17, RecordDateTime(QDateTime::currentDateTime()));
        int length = 0;
        for (int t = 0; t < kBlackBoxTries; ++t) {
            if (bus.ReadLogLength(m->Address, m->RelayId, m->PortIndex, length) == 0) {
                break;
            }
        }
        PutInt32(buffer, at + 25, length);
        int w = 0;
        int retries = 0;
        int lastPercent = 0;
        const auto between = [&] { return Report(event, cancel, lastPercent, i, -1, m->Address); };
        for (; w < kBlackBoxWords && !cancel; ++w) {
            uint8_t b[4] = {0, 0, 0, 0};
            const WordRead got = ReadWordWithRetries(bus, *m, w, b, retries, failure, between);
            if (got != WordRead::Read) {
                break;
            }
            std::memcpy(buffer.data() + at + kBlackBoxHeaderSize + 4 * w, b, sizeof b);
            lastPercent = Percent(static_cast<double>(i) * kBlackBoxWords + w, whole);
            Report(event, cancel, lastPercent, i, -1, m->Address);
        }
        sum.retries += retries;
        if (retries > 0) {
            WriteLog(BlackBoxModuleText(m->Address) + Message(Msg::RetriesSuffix) +
                         QLatin1Char(' ') + QString::number(retries),
                     1);
        }
        if (cancel) {
            break;
        }
        if (w < kBlackBoxWords) {
            // Given up: its record is left out rather than saved with a gap that reads as data.
            sum.skipped.push_back(m->Address);
            WriteLog(BlackBoxModuleText(m->Address) + Message(Msg::UnreadWordSuffix) +
                         QLatin1Char(' ') + QString::number(w),
                     1);
            continue;
        }
        ++record;
    }
    buffer.truncate(record * kBlackBoxRecordSize);
    sum.read = static_cast<int>(record);
    if (summary) {
        *summary = sum;
    }
    if (cancel) {
        return ResultCancelled;
    }
    if (!sum.skipped.empty()) {
        if (record == 0) {
            return failure;
        }
        QStringList addresses;
        for (int a : sum.skipped) {
            addresses << QString::number(a);
        }
        WriteLog(Message(Msg::BlackBoxIncomplete) + QLatin1Char(' ') +
                     addresses.join(QStringLiteral(", ")),
                 1);
    }
    return 0;
}

int32_t WriteRemoteScript(TRemoteControl& remote, const std::vector<TScriptCue>& cues) {
    if (!CuesTheBusCannotCarry(cues, CueTarget::RemoteControl).empty()) {
        return ResultCueNotCarried;
    }
    TPortProto& bus = remote.Bus();
    bool cancel = false;
    for (size_t i = 0; i < cues.size() && !cancel; ++i) {
        const TScriptCue& c = cues[i];
        const int32_t result =
            bus.WriteRemoteCue(c.Module, c.Channel, remote.RelayId, remote.PortIndex, c.Time);
        if (result != 0) {
            return result;
        }
        Report(remote.OnTransferProgress, cancel,
               Percent(static_cast<double>(i), static_cast<double>(cues.size())),
               static_cast<int>(i), c.Channel + 1, c.Module);
    }
    if (cancel) {
        return ResultCancelled;
    }
    Report(remote.OnTransferProgress, cancel, 100, -1, -1, -1);
    return 0;
}

int32_t VerifyRemoteScript(TRemoteControl& remote, const std::vector<TScriptCue>& cues) {
    if (!CuesTheBusCannotCarry(cues, CueTarget::RemoteControl).empty()) {
        return ResultCueNotCarried;
    }
    TPortProto& bus = remote.Bus();
    if (remote.Version >= fw::RemoteErase) {
        const int32_t ping = remote.Ping();
        if (ping != 0) {
            return ping;
        }
    }
    bool cancel = false;
    for (size_t i = 0; i < cues.size() && !cancel; ++i) {
        const TScriptCue& c = cues[i];
        int module = 0, channel = -1, t = 0;
        int32_t result = bus.ReadRemoteCue(static_cast<int>(i), remote.RelayId, remote.PortIndex,
                                           module, channel, t);
        if (result == 0 &&
            (module != c.Module || channel != c.Channel || t != StoredFireTime(c.Time, false))) {
            result = ResultTransferError;
        }
        if (result != 0) {
            return result;
        }
        Report(remote.OnTransferProgress, cancel,
               Percent(static_cast<double>(i), static_cast<double>(cues.size())),
               static_cast<int>(i), channel + 1, module);
    }
    if (cancel) {
        return ResultCancelled;
    }
    Report(remote.OnTransferProgress, cancel, 100, -1, -1, -1);
    return 0;
}

int32_t EraseRemote(TRemoteControl& remote) {
    return remote.Bus().EraseRemote(remote.PortIndex, remote.Version);
}

}  // namespace kv::transfer
