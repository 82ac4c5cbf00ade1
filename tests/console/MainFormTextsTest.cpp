#include "console/MainFormTexts.h"

#include <gtest/gtest.h>

#include "../devices/LogCapture.h"
#include "QtPrinters.h"
#include "i18n/Localizer.h"

namespace kv {
namespace {

class MainFormTexts : public ::testing::Test {
protected:
    void SetUp() override { ResetLocalizerForTesting(); }
    void TearDown() override { ResetLocalizerForTesting(); }
    LogCapture log_;
};

// The header and the closing lines frame every run in the log; their rules differ by one dash
// so that a search for one never finds the other.
TEST_F(MainFormTexts, LogHeaderAndClosingAreFramedByRulesOfDifferentLength) {
    WriteLogHeader(QStringLiteral("1.0.0.0"));
    WriteLogClosing();
    const QStringList lines = log_.Lines();
    ASSERT_EQ(lines.size(), 6) << lines.join(QLatin1Char('\n')).toStdString();
    const QString header(45, QLatin1Char('-'));
    const QString closing(44, QLatin1Char('-'));
    EXPECT_TRUE(lines[0].endsWith(QLatin1Char(' ') + header)) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" 1.0.0.0"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].endsWith(QLatin1Char(' ') + header));
    EXPECT_TRUE(lines[3].endsWith(QLatin1Char(' ') + closing)) << lines[3].toStdString();
    EXPECT_TRUE(lines[4].endsWith(QStringLiteral("Выход из программы")));
    EXPECT_TRUE(lines[5].endsWith(QLatin1Char(' ') + closing));
}

TEST_F(MainFormTexts, CaptionsAndStartKey) {
    EXPECT_EQ(MainCaption(QStringLiteral("1.2.3.4")),
              QStringLiteral("Управление запуском (версия: 1.2.3.4)"));
    EXPECT_EQ(VersionLabelText(QStringLiteral("1.2.3.4")),
              QStringLiteral("версия: 1.2.3.4 (расширенная)"));
    EXPECT_EQ(StartButtonCaptionFor(kSpaceKey), QStringLiteral("<SPACE> Старт"));
    EXPECT_TRUE(StartButtonCaptionFor(13).isEmpty());
}

}  // namespace
}  // namespace kv
