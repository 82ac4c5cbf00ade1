#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cerrno>
#include <cstring>

#include "QtPrinters.h"
#include "TempDir.h"
#include "core/EventLog.h"
#include "devices/BlackBoxFile.h"
#include "devices/MemoryResults.h"
#include "devices/ScriptTransfer.h"

namespace kv {
namespace {

TEST(StoredTime, CutToWhatTheWriteCarries) {
    // 12.345 s: 10 ms writes keep 12.340, the answered write of newer firmware keeps 2 ms steps.
    EXPECT_EQ(transfer::StoredFireTime(12345, false), 12340);
    EXPECT_EQ(transfer::StoredFireTime(12345, true), 12344);
    EXPECT_EQ(transfer::StoredFireTime(12349, true), 12348);
    EXPECT_EQ(transfer::StoredFireTime(12340, true), 12340);
    EXPECT_EQ(transfer::StoredMotorTime(12345), 12300);
    EXPECT_EQ(transfer::StoredFireTime(6553500, true), 6553500);
    // Beyond two bytes of 100 ms steps the write holds the count at its end, and so does the
    // expectation (such cues are refused before a write; this is what the record would say).
    EXPECT_EQ(transfer::StoredFireTime(6553600 + 1230, false), 6553530);
}

TEST(CueSort, StableByTime) {
    std::vector<TScriptCue> cues(4);
    cues[0].Time = 500, cues[0].Channel = 1;
    cues[1].Time = 100, cues[1].Channel = 2;
    cues[2].Time = 500, cues[2].Channel = 3;
    cues[3].Time = 100, cues[3].Channel = 4;
    transfer::SortCuesByTime(cues);
    std::vector<int> order;
    for (const TScriptCue& c : cues) {
        order.push_back(c.Channel);
    }
    EXPECT_EQ(order, (std::vector<int>{2, 4, 1, 3}));
}

TEST(MemoryResults, TextsAndLogLines) {
    EXPECT_EQ(MemoryResultText(0), QStringLiteral("Успешно"));
    EXPECT_EQ(MemoryResultText(-3),
              QStringLiteral("Ошибка передачи данных (истекло время ожидания)."));
    EXPECT_EQ(MemoryResultText(-10), QStringLiteral("Версия прошивки не поддерживает операцию."));
    EXPECT_EQ(MemoryResultText(-100), QStringLiteral("Несовпадение сценария в пультах."));
    EXPECT_EQ(MemoryResultText(-101), QStringLiteral("Операция прервана."));
    EXPECT_EQ(MemoryResultText(-7), QStringLiteral("Успешно"));
    EXPECT_EQ(MemoryResultLogLine(MemoryOperation::WriteModules, 0),
              QStringLiteral("Запись сценария в пульты... Успешно"));
    EXPECT_EQ(MemoryResultLogLine(MemoryOperation::VerifyModules, -100),
              QStringLiteral("Проверка сценария в пультах... Несовпадение сценария в пультах."));
    EXPECT_EQ(MemoryResultMessage(0), QStringLiteral("Операция успешно завершена"));
    EXPECT_EQ(MemoryResultMessage(-2), QStringLiteral("Ошибка передачи данных."));
}

TEST(BlackBoxFile, NameRulesAndContents) {
    EXPECT_EQ(DefaultBlackBoxFileName(QDate(2026, 12, 8)), QStringLiteral("08.12.2026.dat"));
    EXPECT_EQ(BlackBoxFileName(QStringLiteral("/x/show.dat")), QStringLiteral("/x/show.dat"));
    EXPECT_EQ(BlackBoxFileName(QStringLiteral("/x/show.DaT")), QStringLiteral("/x/show.DaT"));
    EXPECT_EQ(BlackBoxFileName(QStringLiteral("/x/show")), QStringLiteral("/x/show.DAT"));
    EXPECT_EQ(BlackBoxFileName(QStringLiteral("/x/show.txt")), QStringLiteral("/x/show.txt.DAT"));

    TempDir dir;
    const QByteArray records(2 * transfer::kBlackBoxRecordSize, '\x5a');
    QString error, written;
    ASSERT_TRUE(SaveBlackBoxFile(dir.file(QStringLiteral("box")), records, error, &written));
    EXPECT_EQ(written, dir.file(QStringLiteral("box.DAT")));
    const QByteArray bytes = dir.read(QStringLiteral("box.DAT"));
    ASSERT_EQ(bytes.size(), 4 + 63802);
    EXPECT_EQ(qFromLittleEndian<qint32>(bytes.constData()), 1);
    EXPECT_EQ(bytes.mid(4), records);
}

TEST(BlackBoxFile, FailureReportsTheSystemErrorAndLeavesNoFile) {
    TempDir dir;
    QString error;
    EXPECT_FALSE(
        SaveBlackBoxFile(dir.file(QStringLiteral("missing/box.dat")), QByteArray(10, 'x'), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("missing/box.dat"))));
}

// A write cut short (the file-size limit here, a full disk in the field) is a failure, and the
// previous file stays as it was: a cut reading never takes its place.
TEST(BlackBoxFile, AWriteCutShortIsAFailureAndKeepsThePreviousFile) {
    TempDir dir;
    const QByteArray previous(200, 'p');
    dir.write(QStringLiteral("box.DAT"), previous);
    IgnoreFileSizeSignal();
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 300;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool saved =
        SaveBlackBoxFile(dir.file(QStringLiteral("box")), QByteArray(600, 'r'), error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(dir.read(QStringLiteral("box.DAT")), previous);
}

// Before a read of minutes the room for the whole reading is asked for, and a shortage is named
// as such, never as "Unknown error".
TEST(BlackBoxFile, TheRoomForTheReadingIsCheckedBeforeTheRead) {
    TempDir dir;
    QString error;
    EXPECT_TRUE(CanSaveBlackBoxFile(dir.file(QStringLiteral("box")), error, BlackBoxFileSize(3)))
        << error.toStdString();
    EXPECT_EQ(BlackBoxFileSize(3), 4 + 3 * 31901);
    EXPECT_FALSE(CanSaveBlackBoxFile(dir.file(QStringLiteral("box")), error, qint64{1} << 60));
    EXPECT_TRUE(error.startsWith(QString::fromLocal8Bit(std::strerror(ENOSPC))))
        << error.toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty()) << "nothing left behind";
}

}  // namespace
}  // namespace kv
