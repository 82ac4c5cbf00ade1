#include "i18n/Localizer.h"

#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "TempDir.h"
#include "i18n/MessageTable.h"
#include "util/IniFile.h"

namespace kv {
namespace {

class LocalizerTest : public ::testing::Test {
protected:
    void SetUp() override { ResetLocalizerForTesting(); }
    void TearDown() override { ResetLocalizerForTesting(); }
    TempDir dir_;
};

TEST_F(LocalizerTest, StringsCountByPositionNotByName) {
    SetLanguageFilePath(dir_.write(QStringLiteral("kelvanex.lng"),
                                   "[forms]\r\nTMainForm=Main\r\n[Strings]\r\n"
                                   "zzz= blank \r\nfirst=Audio failed\r\nempty=\r\n"));
    EXPECT_EQ(GetText(1, QStringLiteral("default")), QStringLiteral("default"))
        << "nothing is looked up before the first load";
    ASSERT_TRUE(EnsureMessagesLoaded());
    EXPECT_EQ(LoadedMessageCount(), 3);
    EXPECT_EQ(GetText(0, QStringLiteral("x")), QStringLiteral("blank"));
    EXPECT_EQ(GetLocalizedText(1, QStringLiteral("x")), QStringLiteral("Audio failed"));
    EXPECT_EQ(GetText(2, QStringLiteral("x")), QString()) << "an empty entry is an empty message";
    EXPECT_EQ(GetText(3, QStringLiteral("x")), QStringLiteral("x"));
    EXPECT_EQ(GetText(-1, QStringLiteral("x")), QStringLiteral("x"));
    EXPECT_EQ(Message(4), QStringLiteral("Пультов:"));
}

TEST_F(LocalizerTest, LoadRetriedUntilEntriesFoundThenNeverReloaded) {
    const QString path = dir_.file(QStringLiteral("kelvanex.lng"));
    SetLanguageFilePath(path);
    EXPECT_FALSE(EnsureMessagesLoaded());
    dir_.write(QStringLiteral("kelvanex.lng"), "[strings]\n");
    EXPECT_FALSE(EnsureMessagesLoaded());
    dir_.write(QStringLiteral("kelvanex.lng"), "[strings]\na=one\n");
    EXPECT_TRUE(EnsureMessagesLoaded());
    dir_.write(QStringLiteral("kelvanex.lng"), "[strings]\na=two\nb=three\n");
    EXPECT_TRUE(EnsureMessagesLoaded());
    EXPECT_EQ(GetText(0, QString()), QStringLiteral("one"));
    EXPECT_EQ(LoadedMessageCount(), 1);
}

// A translator's slip (a key name used twice) must not move every later message by one.
TEST_F(LocalizerTest, RepeatedKeyNamesEachCountAsAMessageAndQuotesAreDropped) {
    SetLanguageFilePath(dir_.write(QStringLiteral("kelvanex.lng"),
                                   "[strings]\nm=zero\nm=one\nM=two\nx=\"three\"\n"
                                   "[forms]\nTMainForm=a\nTMainForm=b\n"));
    ASSERT_TRUE(EnsureMessagesLoaded());
    EXPECT_EQ(LoadedMessageCount(), 4);
    EXPECT_EQ(GetText(1, QString()), QStringLiteral("one"));
    EXPECT_EQ(GetText(2, QString()), QStringLiteral("two"));
    EXPECT_EQ(GetText(3, QString()), QStringLiteral("three"));
    ASSERT_NE(LanguageFile(), nullptr);
    EXPECT_EQ(LanguageFile()->Value(QStringLiteral("forms"), QStringLiteral("TMainForm")),
              QStringLiteral("a"))
        << "other sections keep the first of duplicates";
}

TEST_F(LocalizerTest, Windows1251FileIsRead) {
    // "Поиск..." in code page 1251.
    SetLanguageFilePath(dir_.write(QStringLiteral("kelvanex.lng"),
                                   QByteArray("[strings]\na=\xcf\xee\xe8\xf1\xea...\n")));
    ASSERT_TRUE(EnsureMessagesLoaded());
    EXPECT_EQ(GetText(0, QString()), QStringLiteral("Поиск..."));
}

TEST(MessageTable, EveryNumberHasItsDefaultAndGapsAreEmpty) {
    EXPECT_EQ(DefaultMessage(0), QStringLiteral(" "));
    EXPECT_EQ(DefaultMessage(17), QString());
    EXPECT_EQ(DefaultMessage(26), QString());
    EXPECT_EQ(DefaultMessage(21, 1), QStringLiteral("Тест каналов, пульт:"));
    EXPECT_EQ(DefaultMessage(46, 1), QStringLiteral("Получена внешняя команда остановки"));
    EXPECT_EQ(DefaultMessage(96), QStringLiteral("Внешняя команда запуска - отменено"));
    int count = 0;
    for (int n = 0; n < kMessageCount; ++n)
        count += DefaultMessage(n).isEmpty() ? 0 : 1;
    EXPECT_EQ(count, kMessageCount - 2);
}

// The numbers past the language file's first section: each defined once, in order, so a text
// asked for by number never falls back to an empty default.
TEST(MessageTable, LaterNumbersAreDefinedOnceAndInOrder) {
    int last = -1;
    for (const MessageDefault& m : MessageDefaults()) {
        EXPECT_GT(m.number, last) << m.number;
        last = m.number;
    }
    for (int n = 400; n <= 417; ++n) {
        EXPECT_FALSE(DefaultMessage(n).isEmpty()) << n;
    }
    EXPECT_EQ(DefaultMessage(414), QStringLiteral("LTC: свободный ход"));
}

}  // namespace
}  // namespace kv
