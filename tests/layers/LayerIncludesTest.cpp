#include "LayerIncludes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TempDir.h"

namespace kvlayers {
namespace {

namespace fs = std::filesystem;

// A miniature tree: util below core below console; sim beside core, linked by neither.
constexpr const char* kTable =
    "folder src/util\nallow src/util\nsearch src\n"
    "folder src/core\nallow src/core src/util\nsearch src\n"
    "folder src/sim\nallow src/sim src/util\nsearch src\n"
    "folder src/console\nallow src/console src/core\nsearch src\n"
    "folder src/console\nallow src/util\n";

class LayerIncludes : public ::testing::Test {
protected:
    void Write(const std::string& name, const std::string& text) {
        const fs::path p = root_ / name;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << text;
    }
    CheckResult Check() { return CheckIncludes(root_, ParseLayerTable(kTable)); }

    void SetUp() override {
        Write("src/util/Text.h", "#pragma once\n");
        Write("src/core/Log.h", "#pragma once\n#include \"util/Text.h\"\n");
        Write("src/sim/Bus.h", "#pragma once\n");
        Write("src/console/Panel.h", "#pragma once\n#include \"core/Log.h\"\n");
        Write("tests/support/ScriptedConverter.h", "#pragma once\n");
    }

    TempDir dir_;
    fs::path root_{dir_.path().toStdString()};
};

TEST_F(LayerIncludes, OwnAndLowerLayersBesideAndSystemHeadersPass) {
    Write("src/core/Log.cpp",
          "#include \"Log.h\"\n#include <vector>\n#include <QString>\n"
          "  #  include \"util/Text.h\"\n#include \"core/Log.h\"\n");
    Write("src/console/Panel.cpp", "#include \"console/Panel.h\"\n#include \"util/Text.h\"\n");
    const CheckResult r = Check();
    EXPECT_TRUE(r.violations.empty()) << Describe(r.violations.front());
    EXPECT_EQ(r.files, 6);
    EXPECT_EQ(r.includes, 7);
}

TEST_F(LayerIncludes, HigherLayerIsNamedWithFileLineAndInclude) {
    Write("src/core/Clock.cpp", "#include \"core/Log.h\"\n\n#include \"console/Panel.h\"\n");
    const CheckResult r = Check();
    ASSERT_EQ(r.violations.size(), 1u);
    const Violation& v = r.violations[0];
    EXPECT_EQ(v.file, "src/core/Clock.cpp");
    EXPECT_EQ(v.line, 3);
    EXPECT_EQ(v.include, "console/Panel.h");
    EXPECT_TRUE(Describe(v).starts_with("src/core/Clock.cpp:3: #include \"console/Panel.h\": "))
        << Describe(v);
}

TEST_F(LayerIncludes, UnlinkedNeighbourTestDoubleAndStrayFileFail) {
    Write("src/core/Wire.cpp", "#include \"sim/Bus.h\"\n#include \"ScriptedConverter.h\"\n");
    Write("src/stray/Loose.cpp", "#include \"util/Text.h\"\n");
    const CheckResult r = Check();
    ASSERT_EQ(r.violations.size(), 3u);
    EXPECT_EQ(r.violations[0].include, "sim/Bus.h");
    EXPECT_EQ(r.violations[1].include, "ScriptedConverter.h");
    EXPECT_EQ(r.violations[1].line, 2);
    EXPECT_EQ(r.violations[2].file, "src/stray/Loose.cpp");
}

TEST(LayerTable, FolderNamedTwiceGathersBoth) {
    const LayerTable t = ParseLayerTable(kTable);
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t.at("src/console").allow,
              (std::set<std::string>{"src/console", "src/core", "src/util"}));
    EXPECT_EQ(t.at("src/console").search, std::vector<std::string>{"src"});
}

}  // namespace
}  // namespace kvlayers
