#include "i18n/Localizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

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
    EXPECT_EQ(Message(Msg::AudioDeviceInitFailed), DefaultMessage(Msg::AudioDeviceInitFailed))
        << "nothing is looked up before the first load";
    ASSERT_TRUE(EnsureMessagesLoaded());
    EXPECT_EQ(LoadedMessageCount(), 3);
    EXPECT_EQ(Message(Msg::Blank), QStringLiteral("blank"));
    EXPECT_EQ(Message(Msg::AudioDeviceInitFailed), QStringLiteral("Audio failed"));
    EXPECT_EQ(Message(Msg::ConnectedDeviceTotal), QString())
        << "an empty entry is an empty message";
    EXPECT_EQ(Message(Msg::ConverterCount), DefaultMessage(Msg::ConverterCount));
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
    EXPECT_EQ(Message(Msg::Blank), QStringLiteral("one"));
    EXPECT_EQ(LoadedMessageCount(), 1);
}

// A translator's slip (a key name used twice) must not move every later message by one.
TEST_F(LocalizerTest, RepeatedKeyNamesEachCountAsAMessageAndQuotesAreDropped) {
    SetLanguageFilePath(dir_.write(QStringLiteral("kelvanex.lng"),
                                   "[strings]\nm=zero\nm=one\nM=two\nx=\"three\"\n"
                                   "[forms]\nTMainForm=a\nTMainForm=b\n"));
    ASSERT_TRUE(EnsureMessagesLoaded());
    EXPECT_EQ(LoadedMessageCount(), 4);
    EXPECT_EQ(Message(Msg::AudioDeviceInitFailed), QStringLiteral("one"));
    EXPECT_EQ(Message(Msg::ConnectedDeviceTotal), QStringLiteral("two"));
    EXPECT_EQ(Message(Msg::ConverterCount), QStringLiteral("three"));
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
    EXPECT_EQ(Message(Msg::Blank), QStringLiteral("Поиск..."));
}

TEST_F(LocalizerTest, MessageTakesTheFileTextAndFallsBackToTheTable) {
    EXPECT_EQ(Message(Msg::ModuleCount), QStringLiteral("Пультов:"));
    EXPECT_EQ(Message(Msg::EmergencyStop, MsgVariant::Alternative),
              QStringLiteral("Получена внешняя команда остановки"));
    SetLanguageFilePath(
        dir_.write(QStringLiteral("kelvanex.lng"), "[strings]\na= \nb=Audio failed\nc=Devices:\n"));
    ASSERT_TRUE(EnsureMessagesLoaded());
    EXPECT_EQ(Message(Msg::AudioDeviceInitFailed), QStringLiteral("Audio failed"));
    EXPECT_EQ(Message(Msg::ConnectedDeviceTotal, MsgVariant::Alternative),
              QStringLiteral("Devices:"))
        << "the file has one text per number";
    EXPECT_EQ(Message(Msg::ConverterCount), QStringLiteral("Преобразователей:"))
        << "past the file's end the table's default";
}

TEST(MessageTable, OnlyTwoMessagesHaveASecondDefault) {
    EXPECT_EQ(DefaultMessage(Msg::ChannelTestModule), QStringLiteral("Тест канала, пульт:"));
    EXPECT_EQ(DefaultMessage(Msg::ChannelTestModule, MsgVariant::Alternative),
              QStringLiteral("Тест каналов, пульт:"));
    EXPECT_EQ(DefaultMessage(Msg::EmergencyStop), QStringLiteral("Экстренная остановка!"));
    for (const MessageDefault& m : MessageDefaults()) {
        if (m.id != Msg::ChannelTestModule && m.id != Msg::EmergencyStop) {
            EXPECT_EQ(m.alternative, nullptr) << static_cast<int>(m.id);
        }
    }
    EXPECT_EQ(DefaultMessage(Msg::CountdownPassed, MsgVariant::Alternative),
              QStringLiteral("Время запуска уже прошло."));
}

// A value of the enumeration without a name of its own appears as a cast in the function's
// signature, "(kv::Msg)17", with GCC and Clang alike.
template <Msg M>
bool IsEnumerator() {
    return std::string_view(__PRETTY_FUNCTION__).find("(kv::Msg)") == std::string_view::npos;
}

template <std::size_t... N>
std::vector<int> EnumeratorNumbers(std::index_sequence<N...>) {
    std::vector<int> numbers;
    ((IsEnumerator<static_cast<Msg>(N)>() ? numbers.push_back(static_cast<int>(N)) : void()), ...);
    return numbers;
}

// Every message the code can name has its text, and every text can be named: a number added to
// one and not the other would show an empty text or never be shown.
TEST(MessageTable, EveryEnumeratorHasItsTextAndEveryTextItsEnumerator) {
    ASSERT_TRUE(IsEnumerator<Msg::Blank>());
    ASSERT_FALSE(IsEnumerator<static_cast<Msg>(17)>()) << "17 is retired and has no name";
    constexpr int kCheckedBelow = 512;
    const std::vector<int> named = EnumeratorNumbers(std::make_index_sequence<kCheckedBelow>());
    std::vector<int> inTable;
    int last = -1;
    for (const MessageDefault& m : MessageDefaults()) {
        const int number = static_cast<int>(m.id);
        EXPECT_GT(number, last) << "the table is ordered and holds each number once";
        last = number;
        EXPECT_LT(number, kCheckedBelow);
        EXPECT_NE(m.text, nullptr) << number;
        EXPECT_FALSE(DefaultMessage(m.id).isEmpty()) << number;
        inTable.push_back(number);
    }
    for (int n : named) {
        EXPECT_TRUE(std::ranges::find(inTable, n) != inTable.end()) << "no text for " << n;
    }
    for (int n : inTable) {
        EXPECT_TRUE(std::ranges::find(named, n) != named.end()) << "no enumerator for " << n;
    }
    EXPECT_EQ(named.size(), MessageDefaults().size());
    EXPECT_EQ(DefaultMessage(static_cast<Msg>(26)), QString());
    EXPECT_EQ(DefaultMessage(Msg::Blank), QStringLiteral(" "));
    EXPECT_EQ(DefaultMessage(Msg::LtcFreewheel), QStringLiteral("LTC: свободный ход"));
}

}  // namespace
}  // namespace kv
