#include "console/windows/TLocalizer.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <memory>

#include "QtPrinters.h"
#include "TempDir.h"
#include "i18n/Localizer.h"
#include "i18n/MessageTable.h"

namespace kv {
namespace {

class TLocalizerTest : public ::testing::Test {
protected:
    void SetUp() override { ResetLocalizerForTesting(); }
    void TearDown() override { ResetLocalizerForTesting(); }

    // A window that carries a localizer and a label named Label1.
    static std::unique_ptr<QWidget> Window(const char* name) {
        auto window = std::make_unique<QWidget>();
        window->setObjectName(QString::fromLatin1(name));
        new TLocalizer(window.get());
        auto* label = new QLabel(QStringLiteral("built-in"), window.get());
        label->setObjectName(QStringLiteral("Label1"));
        return window;
    }
    static QString LabelText(QWidget& window) {
        return window.findChild<QLabel*>(QStringLiteral("Label1"))->text();
    }

    TempDir dir_;
};

TEST_F(TLocalizerTest, WindowsRegisterInCreationOrderAndLeaveWhenDestroyed) {
    const auto before = TLocalizer::RegisteredWindows().size();
    auto first = Window("TMainForm");
    auto second = Window("TWarningForm");
    auto third = Window("TMemoryForm");
    auto windows = TLocalizer::RegisteredWindows();
    ASSERT_EQ(windows.size(), before + 3);
    EXPECT_EQ(windows[before], first.get());
    EXPECT_EQ(windows[before + 1], second.get());
    EXPECT_EQ(windows[before + 2], third.get());

    second.reset();
    windows = TLocalizer::RegisteredWindows();
    ASSERT_EQ(windows.size(), before + 2);
    EXPECT_EQ(windows[before + 1], third.get());
}

TEST_F(TLocalizerTest, TranslateAllReachesEveryRegisteredWindowButNotOthers) {
    SetLanguageFilePath(dir_.write(QStringLiteral("kelvanex.lng"),
                                   "[labels]\nTMainForm.Label1=main\nTTimerForm.Label1=timer\n"
                                   "TDebugForm.Label1=debug\n"));
    auto main = Window("TMainForm");
    auto timer = Window("TTimerForm");
    // The debug window carries no localizer and is never translated.
    QWidget debug;
    debug.setObjectName(QStringLiteral("TDebugForm"));
    auto* debugLabel = new QLabel(QStringLiteral("built-in"), &debug);
    debugLabel->setObjectName(QStringLiteral("Label1"));

    TLocalizer::Translate();
    EXPECT_EQ(LabelText(*main), QStringLiteral("main"));
    EXPECT_EQ(LabelText(*timer), QStringLiteral("timer"));
    EXPECT_EQ(debugLabel->text(), QStringLiteral("built-in"));
}

// The program's seven windows and its messages share one parse of the language file (a big
// file cost seconds per parse).
TEST_F(TLocalizerTest, TranslatingEveryWindowParsesTheFileOnce) {
    SetLanguageFilePath(dir_.write(QStringLiteral("kelvanex.lng"),
                                   "[labels]\nTMainForm.Label1=main\nTTimerForm.Label1=\"timer\"\n"
                                   "[strings]\na=x\n"));
    std::vector<std::unique_ptr<QWidget>> windows;
    for (const char* name : {"TMainForm", "TWarningForm", "TMemoryForm", "TPresentWarningForm",
                             "TExtStartForm", "TTimerForm", "TOther"}) {
        windows.push_back(Window(name));
    }
    const int before = LanguageFileParseCount();
    TLocalizer::Translate();
    EXPECT_EQ(LanguageFileParseCount() - before, 1);
    EXPECT_EQ(LabelText(*windows[0]), QStringLiteral("main"));
    EXPECT_EQ(LabelText(*windows[5]), QStringLiteral("timer"));
    TLocalizer::Translate(windows[1].get());
    EXPECT_EQ(LanguageFileParseCount() - before, 1) << "the file did not change";
}

TEST_F(TLocalizerTest, MissingLanguageFileKeepsBuiltInTexts) {
    SetLanguageFilePath(dir_.file(QStringLiteral("kelvanex.lng")));
    auto main = Window("TMainForm");
    TLocalizer::Translate(main.get());
    EXPECT_EQ(LabelText(*main), QStringLiteral("built-in"));
    EXPECT_EQ(Message(Msg::LaunchControlVersion), QStringLiteral("Управление запуском (версия:"));
}

TEST_F(TLocalizerTest, FirstTranslateLoadsTheMessagesByPosition) {
    SetLanguageFilePath(dir_.write(QStringLiteral("kelvanex.lng"),
                                   "[strings]\nzzz= \nfirst=Error of audio\nthird=Devices:\n"));
    auto main = Window("TMainForm");
    EXPECT_EQ(Message(Msg::AudioDeviceInitFailed), DefaultMessage(Msg::AudioDeviceInitFailed));

    TLocalizer::Translate(main.get());
    // Key names do not count, only their order.
    EXPECT_EQ(Message(Msg::AudioDeviceInitFailed), QStringLiteral("Error of audio"));
    EXPECT_EQ(Message(Msg::ConnectedDeviceTotal), QStringLiteral("Devices:"));
    EXPECT_EQ(Message(Msg::ConverterCount), DefaultMessage(Msg::ConverterCount));
}

}  // namespace
}  // namespace kv
