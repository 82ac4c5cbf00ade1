#pragma once

#include <gtest/gtest.h>

#include "TempDir.h"
#include "core/EventLog.h"
#include "i18n/Localizer.h"

namespace kv {

// A window test starts with an empty event log and the built-in texts (the language file it
// names in its own folder does not exist), and leaves both reset for the next test.
class WindowTestBase : public ::testing::Test {
protected:
    void SetUp() override {
        ResetEventLogForTesting();
        ResetLocalizerForTesting();
        SetLanguageFilePath(dir_.file(QStringLiteral("kelvanex.lng")));
    }
    void TearDown() override {
        ResetEventLogForTesting();
        ResetLocalizerForTesting();
    }

    TempDir dir_;
};

}  // namespace kv
